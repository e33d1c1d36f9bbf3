// Small character-encoding helpers shared by the readers and the RTF writer:
// lenient UTF-8 decoding (bad bytes become U+FFFD, never an error), UTF-8
// encoding, and the Windows-1252 table in both directions.
//
// Header-only and constexpr tables, so nothing runs at start-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane::encoding {

inline constexpr char32_t kReplacement = 0xFFFD;

// Decodes the code point at `pos` and moves `pos` past it. A malformed
// sequence yields U+FFFD and consumes its longest valid-looking prefix (at
// least one byte), so one bad byte never swallows the good text after it.
// Surrogates and values above U+10FFFF are malformed in UTF-8.
inline char32_t decodeUtf8(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        ++pos;
        return kReplacement;
    }
    std::size_t i = pos + 1;
    for (int n = 1; n < length; ++n, ++i) {
        if (i >= s.size()) {
            pos = i;
            return kReplacement;
        }
        const unsigned char b = byte(i);
        const unsigned char lo = n == 1 ? low : 0x80;
        const unsigned char hi = n == 1 ? high : 0xBF;
        if (b < lo || b > hi) {
            pos = i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    pos = i;
    return cp;
}

inline bool isValidUtf8(std::string_view s) {
    std::size_t pos = 0;
    while (pos < s.size()) {
        const std::size_t before = pos;
        if (decodeUtf8(s, pos) == kReplacement) {
            // U+FFFD itself is valid when it was really spelled EF BF BD.
            if (pos - before != 3 || s.substr(before, 3) != "\xEF\xBF\xBD") return false;
        }
    }
    return true;
}

// Appends `cp` as UTF-8; surrogates and out-of-range values become U+FFFD.
inline void appendUtf8(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Appends `in` as the model keeps text: valid UTF-8 (malformed bytes become
// U+FFFD) without control characters. Tabs stay; line feeds and carriage
// returns become `lineBreak` (0: dropped); other C0 controls, DEL and the C1
// controls go.
inline void appendCleanText(std::string& out, std::string_view in, char lineBreak) {
    std::size_t pos = 0;
    while (pos < in.size()) {
        const unsigned char c = static_cast<unsigned char>(in[pos]);
        if (c < 0x80) {
            // Plain ASCII, the common case, without decoding.
            if (c >= 0x20 && c != 0x7F) out.push_back(static_cast<char>(c));
            else if (c == '\t') out.push_back('\t');
            else if ((c == '\n' || c == '\r') && lineBreak) out.push_back(lineBreak);
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        const char32_t cp = decodeUtf8(in, pos);
        if (cp >= 0x80 && cp <= 0x9F) continue;
        if (cp == kReplacement) {
            out.append("\xEF\xBF\xBD");
        } else {
            out.append(in.substr(start, pos - start));
        }
    }
}

// Windows-1252 bytes 0x80..0x9F. The five bytes Windows leaves undefined map
// to the C1 control with the same value, as Windows itself converts them.
inline constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

inline char32_t cp1252ToUnicode(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) return kCp1252High[b - 0x80];
    return b;
}

// The Windows-1252 byte for `cp`, or -1 when the code page has no such
// character. Only real characters count: the C1 controls that stand in for
// undefined bytes are not given a byte.
inline int unicodeToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    // The high half's characters all lie in these three ranges.
    if (cp < 0x0152 || (cp > 0x0192 && cp < 0x02C6) || (cp > 0x02DC && cp < 0x2013) || cp > 0x2122) return -1;
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == cp && !(cp >= 0x80 && cp <= 0x9F)) return 0x80 + i;
    }
    return -1;
}

}  // namespace orvane::encoding
