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
    for (const auto& member : members) {
        const std::string& name = member.first;
        const std::string& data = member.second;
        const auto offset = static_cast<std::uint32_t>(out.size());
        const auto crc = static_cast<std::uint32_t>(
            ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        const auto size = static_cast<std::uint32_t>(data.size());
        // The local header, then the same fields in the central directory's entry.
        const auto header = [&](std::string& into, bool central) {
            put(into, central ? 0x02014b50 : 0x04034b50, 4);
            if (central) put(into, 20, 2);  // made by
            put(into, 20, 2);               // version needed
            put(into, 0, 2);                // flags
            put(into, 0, 2);                // stored
            put(into, 0, 4);                // time and date
            put(into, crc, 4);
            put(into, size, 4);
            put(into, size, 4);
            put(into, static_cast<std::uint32_t>(name.size()), 2);
            put(into, 0, 2);
            if (central) {
                put(into, 0, 2);  // comment, disk, attributes
                put(into, 0, 2);
                put(into, 0, 2);
                put(into, 0, 4);
                put(into, offset, 4);
            }
            into += name;
        };
        header(out, false);
        out += data;
        header(directory, true);
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
