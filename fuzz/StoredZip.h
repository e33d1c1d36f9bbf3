// A ZIP archive of uncompressed members, made in memory, so that the XML fuzz
// targets can mutate a package's parts as text while the reader still gets a
// real package.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <zlib.h>

#include "Engine.h"

namespace orvane::fuzzing {

inline void put(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline std::string storedZip(const std::vector<std::pair<std::string, std::string>>& members) {
    std::string out, directory;
    for (const auto& [name, data] : members) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        const auto crc = static_cast<std::uint32_t>(
            ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        const auto size = static_cast<std::uint32_t>(data.size());
        put(out, 0x04034b50, 4);
        put(out, 20, 2);  // version needed
        put(out, 0, 2);   // flags
        put(out, 0, 2);   // stored
        put(out, 0, 4);   // time and date
        put(out, crc, 4);
        put(out, size, 4);
        put(out, size, 4);
        put(out, static_cast<std::uint32_t>(name.size()), 2);
        put(out, 0, 2);
        out += name;
        out += data;
        put(directory, 0x02014b50, 4);
        put(directory, 20, 2);
        put(directory, 20, 2);
        put(directory, 0, 2);
        put(directory, 0, 2);
        put(directory, 0, 4);
        put(directory, crc, 4);
        put(directory, size, 4);
        put(directory, size, 4);
        put(directory, static_cast<std::uint32_t>(name.size()), 2);
        put(directory, 0, 2);
        put(directory, 0, 2);
        put(directory, 0, 2);
        put(directory, 0, 2);
        put(directory, 0, 4);
        put(directory, offset, 4);
        directory += name;
    }
    const auto directoryAt = static_cast<std::uint32_t>(out.size());
    out += directory;
    put(out, 0x06054b50, 4);
    put(out, 0, 2);
    put(out, 0, 2);
    put(out, static_cast<std::uint32_t>(members.size()), 2);
    put(out, static_cast<std::uint32_t>(members.size()), 2);
    put(out, static_cast<std::uint32_t>(directory.size()), 4);
    put(out, directoryAt, 4);
    put(out, 0, 2);
    return out;
}

// The input cut at NUL bytes into at most `parts` pieces.
inline std::vector<std::string> splitAtNul(std::string_view input, std::size_t parts) {
    std::vector<std::string> out;
    while (out.size() + 1 < parts) {
        const std::size_t nul = input.find('\0');
        if (nul == std::string_view::npos) break;
        out.emplace_back(input.substr(0, nul));
        input.remove_prefix(nul + 1);
    }
    out.emplace_back(input);
    return out;
}

// Reads a package the way every XML target does, with the fuzzing limits,
// and writes what it reads as RTF.
template <typename Read>
int readAndWrite(const std::string& package, Read read) {
    ReadLimits limits;
    limits.maxExpandedBytes = 64u * 1024 * 1024;
    limits.maxEntryBytes = 32u * 1024 * 1024;
    const ReadResult result = read(package, limits);
    if (result.ok()) {
        StringSink sink;
        writeRtf(*result.document, sink);
    }
    return 0;
}

}  // namespace orvane::fuzzing
