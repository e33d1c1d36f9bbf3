#include "zip/MemberNames.h"

#include <algorithm>
#include <cstdint>

namespace orvane::zip {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kLocalHeader = "PK\x03\x04"sv;

std::uint32_t le16(std::string_view s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

std::uint32_t le32(std::string_view s, std::size_t at) {
    return le16(s, at) | le16(s, at + 2) << 16;
}

}  // namespace

bool looksLikeArchive(std::string_view bytes) { return bytes.starts_with(kLocalHeader); }

MemberNames::MemberNames(std::string_view bytes) {
    constexpr std::size_t kNameAt = 30;
    if (bytes.size() > kNameAt) {
        const std::size_t nameLength = le16(bytes, 26);
        const std::size_t extraLength = le16(bytes, 28);
        m_firstMember = bytes.substr(kNameAt, nameLength);
        m_firstContent = bytes.substr(std::min(bytes.size(), kNameAt + nameLength + extraLength), 80);
    }
    // The central directory at the end lists every member; find it through
    // the end-of-directory record (which may be followed by a comment).
    bool listed = false;
    const std::size_t searchFrom = bytes.size() > 65557 ? bytes.size() - 65557 : 0;
    for (std::size_t at = bytes.size() >= 22 ? bytes.size() - 22 : std::string_view::npos;
         at != std::string_view::npos && at >= searchFrom; --at) {
        if (bytes.substr(at, 4) != "PK\x05\x06"sv) {
            if (at == 0) break;
            continue;
        }
        const std::size_t entries = le16(bytes, at + 10);
        std::size_t pos = le32(bytes, at + 16);
        for (std::size_t n = 0; n < entries && pos + 46 <= bytes.size(); ++n) {
            if (bytes.substr(pos, 4) != "PK\x01\x02"sv) break;
            const std::size_t nameLength = le16(bytes, pos + 28);
            const std::size_t extra = le16(bytes, pos + 30);
            const std::size_t comment = le16(bytes, pos + 32);
            m_names.push_back(bytes.substr(pos + 46, nameLength));
            listed = true;
            pos += 46 + nameLength + extra + comment;
        }
        break;
    }
    if (!listed) {
        // No usable directory: walk the local headers.
        std::size_t pos = 0;
        for (int n = 0; n < 10000 && pos + 30 <= bytes.size() && bytes.substr(pos, 4) == kLocalHeader; ++n) {
            const std::size_t nameLength = le16(bytes, pos + 26);
            const std::size_t extra = le16(bytes, pos + 28);
            const std::uint32_t flags = le16(bytes, pos + 6);
            const std::size_t compressed = le32(bytes, pos + 18);
            m_names.push_back(bytes.substr(pos + 30, nameLength));
            if (flags & 0x08) break;  // the size follows the data, so the next header cannot be found
            pos += 30 + nameLength + extra + compressed;
        }
    }
}

bool MemberNames::holds(std::string_view name) const {
    return std::find(m_names.begin(), m_names.end(), name) != m_names.end();
}

bool MemberNames::holdsUnder(std::string_view folder) const {
    return std::any_of(m_names.begin(), m_names.end(), [&](std::string_view n) { return n.starts_with(folder); });
}

}  // namespace orvane::zip
