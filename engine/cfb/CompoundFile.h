// Compound files (the container of .doc files): header, sector allocation
// table and its extension (DIFAT), the mini allocation table for small streams,
// the directory tree, and reading streams by name.
//
// Supported: versions 3 and 4 (512- and 4096-byte sectors), streams in the
// mini stream, storages nested to any depth (bounded by the entry count),
// files cut short (a missing tail reads as absent, never past the end).
// Damage is reported, never followed: a chain that loops, leaves the file or
// runs longer than its stream's size allows stops the read with a message, and
// a directory tree that loops is cut where it loops.
// Left out: writing, and the transaction and state bits nobody uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::cfb {

enum class EntryType { Empty = 0, Storage = 1, Stream = 2, Root = 5 };

struct Entry {
    std::string name;            // UTF-8
    EntryType type = EntryType::Empty;
    std::uint32_t left = 0xFFFFFFFF;
    std::uint32_t right = 0xFFFFFFFF;
    std::uint32_t child = 0xFFFFFFFF;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
};

class CompoundFile {
public:
    static constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;

    // Reads the header, the allocation tables and the directory. Returns false
    // with `error` set (a sentence for the user) when the file is not a usable
    // compound file. Streams larger than `maxStreamBytes` are refused when read.
    bool open(std::string_view bytes, std::size_t maxStreamBytes, std::string& error);

    const std::vector<Entry>& entries() const { return m_entries; }
    // The children of a storage (or of the root, index 0), in directory order.
    std::vector<std::uint32_t> children(std::uint32_t storage) const;
    // The entry named `name` (any letter case) under `storage`, or kNoEntry.
    std::uint32_t find(std::uint32_t storage, std::string_view name) const;
    // A stream under the root by name; false when it does not exist.
    bool has(std::string_view name) const { return find(0, name) != kNoEntry; }

    // Reads a stream's bytes. False with `error` set for a damaged chain.
    bool read(std::uint32_t entry, std::string& out, std::string& error) const;
    bool read(std::string_view name, std::string& out, std::string& error) const;

private:
    bool readChain(const std::vector<std::uint32_t>& table, std::uint32_t start, std::uint64_t size,
                   bool mini, std::string& out, std::string& error) const;
    std::string_view sector(std::uint32_t index) const;

    std::string_view m_bytes;
    std::size_t m_maxStream = 0;
    std::uint32_t m_sectorSize = 512;
    std::uint32_t m_miniSectorSize = 64;
    std::uint32_t m_miniCutoff = 4096;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::vector<Entry> m_entries;
    std::string m_miniStream;
};

}  // namespace orvane::cfb
