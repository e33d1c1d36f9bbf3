#include "encoding/CodePages.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvane::encoding {

namespace {

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

std::vector<std::uint8_t> decodeBase64(const char* text) {
    std::vector<std::uint8_t> out;
    std::uint32_t acc = 0;
    int bits = 0;
    for (const char* p = text; *p; ++p) {
        const int v = base64Value(*p);
        if (v < 0) continue;
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
        }
    }
    return out;
}

// Expands the generator's stream: per cell a varint, 0 for "no character",
// otherwise 1 + the zig-zagged distance from the previous character minus one,
// so runs of consecutive code points cost one byte each.
std::vector<std::uint16_t> expandPairs(const char* stream, std::size_t cells) {
    const std::vector<std::uint8_t> bytes = decodeBase64(stream);
    std::vector<std::uint16_t> table(cells, 0);
    std::size_t pos = 0;
    std::int32_t prev = 0;
    for (std::size_t cell = 0; cell < cells && pos < bytes.size(); ++cell) {
        std::uint32_t v = 0;
        int shift = 0;
        while (pos < bytes.size()) {
            const std::uint8_t b = bytes[pos++];
            v |= static_cast<std::uint32_t>(b & 0x7F) << shift;
            shift += 7;
            if (!(b & 0x80) || shift > 28) break;
        }
        if (v == 0) continue;
        const std::uint32_t z = v - 1;
        const std::int32_t d = (z & 1) ? -static_cast<std::int32_t>((z + 1) >> 1)
                                       : static_cast<std::int32_t>(z >> 1);
        prev = prev + 1 + d;
        table[cell] = static_cast<std::uint16_t>(prev);
    }
    return table;
}

struct Registry {
    std::vector<std::unique_ptr<CodePage>> pages;
};

const Registry& registry() {
    static const Registry reg = [] {
        Registry r;
        for (std::size_t i = 0; i < data::kSingleByteCount; ++i) {
            const auto& e = data::kSingleByte[i];
            r.pages.push_back(std::make_unique<CodePage>(e.number, e.high));
        }
        for (std::size_t i = 0; i < data::kDoubleByteCount; ++i) {
            const auto& e = data::kDoubleByte[i];
            r.pages.push_back(std::make_unique<CodePage>(e.number, e.high, e.leadLo1, e.leadHi1,
                                                         e.leadLo2, e.leadHi2, e.trailLo, e.trailHi,
                                                         e.stream));
        }
        return r;
    }();
    return reg;
}

}  // namespace

CodePage::CodePage(int number, const std::uint16_t* high, std::uint8_t leadLo1, std::uint8_t leadHi1,
                   std::uint8_t leadLo2, std::uint8_t leadHi2, std::uint8_t trailLo,
                   std::uint8_t trailHi, const char* stream)
    : m_number(number), m_high(high), m_leadLo1(leadLo1), m_leadHi1(leadHi1), m_leadLo2(leadLo2),
      m_leadHi2(leadHi2), m_trailLo(trailLo), m_trailHi(trailHi), m_stream(stream) {}

char32_t CodePage::decode(std::uint8_t lead, std::uint8_t trail) const {
    if (!m_stream || trail < m_trailLo || trail > m_trailHi) return 0;
    // The double-byte tables are big and most documents never need them, so
    // they stay compressed in the binary until a document first asks.
    std::call_once(m_expandOnce, [this] {
        std::size_t leads = static_cast<std::size_t>(m_leadHi1 - m_leadLo1 + 1);
        if (m_leadHi2 >= m_leadLo2) leads += static_cast<std::size_t>(m_leadHi2 - m_leadLo2 + 1);
        m_pairs = expandPairs(m_stream, leads * static_cast<std::size_t>(m_trailHi - m_trailLo + 1));
    });
    std::size_t leadIndex;
    if (lead >= m_leadLo1 && lead <= m_leadHi1) {
        leadIndex = lead - m_leadLo1;
    } else if (lead >= m_leadLo2 && lead <= m_leadHi2) {
        leadIndex = static_cast<std::size_t>(m_leadHi1 - m_leadLo1 + 1) + (lead - m_leadLo2);
    } else {
        return 0;
    }
    const std::size_t trails = static_cast<std::size_t>(m_trailHi - m_trailLo + 1);
    return m_pairs[leadIndex * trails + (trail - m_trailLo)];
}

const CodePage* CodePage::get(int number) {
    if (number == 10001) number = 932;  // Mac Japanese: close enough to Shift-JIS for text
    if (number == 20936) number = 936;
    if (number == 51949) number = 949;
    for (const auto& page : registry().pages) {
        if (page->number() == number) return page.get();
    }
    return nullptr;
}

int codePageForCharset(int charset) {
    switch (charset) {
    case 0: return 0;        // ANSI: the document's code page
    case 1: return 0;        // default
    case 2: return -1;       // symbol
    case 77: return 10000;   // Mac Roman
    case 78: return 932;     // Mac Shift-JIS
    case 79: return 949;     // Mac Hangul
    case 80: return 936;     // Mac GB2312
    case 81: return 950;     // Mac Big5
    case 83: return 1255;    // Mac Hebrew (close enough)
    case 84: return 1256;    // Mac Arabic (close enough)
    case 85: return 10006;   // Mac Greek
    case 86: return 10081;   // Mac Turkish
    case 87: return 874;     // Mac Thai
    case 88: return 10029;   // Mac East Europe
    case 89: return 10007;   // Mac Russian
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
    }
}

}  // namespace orvane::encoding
