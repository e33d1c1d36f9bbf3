#include "cfb/StreamNames.h"

#include <algorithm>
#include <cctype>

namespace orvane::cfb {

namespace {

// Whether `bytes` holds `name` in UTF-16LE, the way compound files spell
// their stream names, in any letter case (some writers use lower case).
bool containsUtf16Name(std::string_view bytes, std::string_view name) {
    // ASCII folding inline: the scan may run over megabytes.
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    const std::size_t length = name.size() * 2;
    if (name.empty() || bytes.size() < length) return name.empty();
    const char first = lower(name[0]);
    const std::size_t last = bytes.size() - length;
    for (std::size_t i = 0; i <= last; ++i) {
        if (bytes[i + 1] != '\0' || lower(bytes[i]) != first) continue;
        std::size_t k = 1;
        while (k < name.size() && bytes[i + 2 * k + 1] == '\0' && lower(bytes[i + 2 * k]) == lower(name[k])) ++k;
        if (k == name.size()) return true;
    }
    return false;
}

}  // namespace

bool looksLikeCompoundFile(std::string_view bytes) {
    return bytes.starts_with(std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
}

StreamNames::StreamNames(std::string_view bytes) : m_bytes(bytes) {
    std::string error;
    m_directoryRead = m_file.open(bytes, 0, error);
}

bool StreamNames::holds(std::string_view name) const {
    if (!m_directoryRead) return containsUtf16Name(m_bytes, name);
    const auto sameLetters = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    for (const Entry& entry : m_file.entries()) {
        if (entry.type != EntryType::Empty && entry.name.size() == name.size() &&
            std::equal(name.begin(), name.end(), entry.name.begin(), sameLetters))
            return true;
    }
    return false;
}

}  // namespace orvane::cfb
