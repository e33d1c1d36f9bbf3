// Read-only access to a ZIP archive held in memory, with hard limits on what
// inflating it may cost.
//
// The sizes an archive declares are only used to reject it early; the bytes
// actually inflated are counted as they come, so an archive that lies about its
// sizes still stops at the limits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reader/Reader.h"

typedef struct zip zip_t;

namespace orvane::zip {

class ZipArchive {
public:
    // Opens the archive in `bytes`, which are not copied and must outlive the
    // archive. Returns null with `error` set (a message for the user) on failure.
    static std::unique_ptr<ZipArchive> open(std::string_view bytes, const ReadLimits& limits,
                                            std::string& error);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Member names as stored.
    const std::vector<std::string>& names() const { return m_names; }
    // Whether a member exists; names match exactly, else ignoring ASCII case
    // (package part names are case-insensitive).
    bool contains(std::string_view name) const { return find(name) >= 0; }
    // Inflates one member into `out`. False with `error` set when the member is
    // missing, damaged, encrypted or beyond the limits.
    bool read(std::string_view name, std::string& out, std::string& error);
    // Bytes inflated so far, over all reads.
    std::size_t expandedBytes() const { return m_expanded; }
    // Whether a read stopped at the size limits: the whole file must then be
    // refused, not just the one part.
    bool limitHit() const { return m_limitHit; }

private:
    ZipArchive() = default;
    std::int64_t find(std::string_view name) const;

    zip_t* m_zip = nullptr;
    ReadLimits m_limits;
    std::vector<std::string> m_names;
    std::vector<std::uint64_t> m_compressedSizes;
    std::unordered_map<std::string, std::int64_t> m_byName;
    std::unordered_map<std::string, std::int64_t> m_byLowerName;
    std::size_t m_expanded = 0;
    bool m_limitHit = false;
};

}  // namespace orvane::zip
