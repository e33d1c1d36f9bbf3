#include "writer/RtfEscape.h"

#include <charconv>

#include "encoding/Encoding.h"

namespace orvane::rtf {

namespace {

const char kHex[] = "0123456789abcdef";

// One UTF-16 unit as \uN plus its one-character fallback.
void appendUnit(std::string& out, char32_t unit, int fallbackByte) {
    // RTF numbers are signed 16-bit, so units from 0x8000 up are written negative.
    const int value = unit >= 0x8000 ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit);
    char buffer[16] = {'\\', 'u'};
    char* end = std::to_chars(buffer + 2, buffer + sizeof buffer, value).ptr;
    if (fallbackByte >= 0) {
        *end++ = '\\';
        *end++ = '\'';
        *end++ = kHex[(fallbackByte >> 4) & 0xF];
        *end++ = kHex[fallbackByte & 0xF];
    } else {
        *end++ = '?';
    }
    out.append(buffer, end);
}

}  // namespace

void appendText(std::string& out, std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const unsigned char c = static_cast<unsigned char>(utf8[pos]);
        if (c < 0x80) {
            ++pos;
            switch (c) {
            case '{': out += "\\{"; break;
            case '}': out += "\\}"; break;
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\tab "; break;
            case '\n': out += "\\line "; break;
            default:
                if (c >= 0x20 && c != 0x7F) out.push_back(static_cast<char>(c));
                break;
            }
            continue;
        }
        const char32_t cp = encoding::decodeUtf8(utf8, pos);
        if (cp >= 0x80 && cp <= 0x9F) continue;  // C1 controls, like the C0 ones
        if (cp > 0xFFFF) {
            const char32_t v = cp - 0x10000;
            appendUnit(out, 0xD800 + (v >> 10), -1);
            appendUnit(out, 0xDC00 + (v & 0x3FF), -1);
        } else {
            appendUnit(out, cp, encoding::unicodeToCp1252(cp));
        }
    }
}

std::string escapeText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 8);
    appendText(out, utf8);
    return out;
}

}  // namespace orvane::rtf
