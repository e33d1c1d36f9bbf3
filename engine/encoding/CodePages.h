// Legacy code pages for the RTF reader: turns the bytes of \'hh escapes (and the
// rare raw 8-bit text) into Unicode.
//
// Supported: the Windows single-byte pages 874 and 1250-1258, the DOS pages
// 437, 850, 852 and 866, the Mac pages 10000 (Roman), 10006, 10007, 10029,
// 10081, and the double-byte pages 932 (Shift-JIS), 936 (GBK), 949 (Unified
// Hangul / EUC-KR) and 950 (Big5), whose tables are expanded on first use.
// Anything else is decoded as 1252 by the caller's choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace orvane::encoding {

class CodePage {
public:
    // The table for `number`, or nullptr when this build does not know it.
    static const CodePage* get(int number);

    int number() const { return m_number; }
    bool isDoubleByte() const { return m_stream != nullptr; }
    bool isLeadByte(std::uint8_t byte) const {
        return (byte >= m_leadLo1 && byte <= m_leadHi1) || (byte >= m_leadLo2 && byte <= m_leadHi2);
    }
    // One byte on its own; ASCII maps to itself, unmapped bytes to U+FFFD.
    char32_t decode(std::uint8_t byte) const {
        return byte < 0x80 ? byte : m_high[byte - 0x80];
    }
    // A lead byte and the byte after it; 0 when the pair is not a character.
    char32_t decode(std::uint8_t lead, std::uint8_t trail) const;

    CodePage(int number, const std::uint16_t* high) : m_number(number), m_high(high) {}
    CodePage(int number, const std::uint16_t* high, std::uint8_t leadLo1, std::uint8_t leadHi1,
             std::uint8_t leadLo2, std::uint8_t leadHi2, std::uint8_t trailLo, std::uint8_t trailHi,
             const char* stream);

private:
    int m_number;
    const std::uint16_t* m_high;
    // Lead byte ranges; empty ranges (lo > hi) for single-byte pages.
    std::uint8_t m_leadLo1 = 1, m_leadHi1 = 0, m_leadLo2 = 1, m_leadHi2 = 0;
    std::uint8_t m_trailLo = 0, m_trailHi = 0;
    const char* m_stream = nullptr;
    mutable std::once_flag m_expandOnce;
    mutable std::vector<std::uint16_t> m_pairs;  // [leadIndex * trailCount + trail - trailLo]
};

// The Windows code page for an RTF \fcharset number; 0 when the charset means
// "whatever the document's code page is", -1 for the symbol charset.
int codePageForCharset(int charset);

namespace data {
struct SingleByteEntry {
    int number;
    const std::uint16_t* high;
};
struct DoubleByteEntry {
    int number;
    const std::uint16_t* high;
    std::uint8_t leadLo1, leadHi1, leadLo2, leadHi2, trailLo, trailHi;
    const char* stream;  // base64 of the delta/varint coded pair table
};
extern const SingleByteEntry kSingleByte[];
extern const std::size_t kSingleByteCount;
extern const DoubleByteEntry kDoubleByte[];
extern const std::size_t kDoubleByteCount;
}  // namespace data

}  // namespace orvane::encoding
