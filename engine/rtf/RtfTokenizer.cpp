#include "RtfTokenizer.h"

#include <cstdint>

namespace orvane::rtf {

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
bool endsText(char c) { return c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n' || c == '\0'; }

}  // namespace

RtfToken RtfTokenizer::readWord() {
    RtfToken t;
    t.kind = RtfToken::Kind::Word;
    const std::size_t start = m_pos;
    while (m_pos < m_in.size() && isLetter(m_in[m_pos])) ++m_pos;
    t.text = m_in.substr(start, m_pos - start);
    bool negative = false;
    if (m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    if (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
        // Parameters are 32-bit signed; longer digit strings saturate rather
        // than wrap, so an absurd value stays absurd instead of turning small.
        std::int64_t value = 0;
        while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
            if (value < 0x100000000LL) value = value * 10 + (m_in[m_pos] - '0');
            ++m_pos;
        }
        if (negative) value = -value;
        if (value > INT32_MAX) value = INT32_MAX;
        if (value < INT32_MIN) value = INT32_MIN;
        t.param = static_cast<std::int32_t>(value);
        t.hasParam = true;
    }
    if (m_pos < m_in.size() && m_in[m_pos] == ' ') ++m_pos;  // the delimiting space
    return t;
}

RtfToken RtfTokenizer::next() {
    while (m_pos < m_in.size()) {
        const char c = m_in[m_pos];
        if (c == '\r' || c == '\n' || c == '\0') {
            ++m_pos;
            continue;
        }
        RtfToken t;
        if (c == '{') {
            ++m_pos;
            t.kind = RtfToken::Kind::GroupOpen;
            return t;
        }
        if (c == '}') {
            ++m_pos;
            t.kind = RtfToken::Kind::GroupClose;
            return t;
        }
        if (c == '\\') {
            ++m_pos;
            if (m_pos >= m_in.size()) break;
            const char d = m_in[m_pos];
            if (isLetter(d)) return readWord();
            ++m_pos;
            if (d == '\'') {
                const int hi = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
                const int lo = m_pos + 1 < m_in.size() ? hexValue(m_in[m_pos + 1]) : -1;
                if (hi < 0 || lo < 0) {
                    // A broken escape stands for nothing; its one good digit goes with it.
                    if (hi >= 0) ++m_pos;
                    continue;
                }
                m_pos += 2;
                t.kind = RtfToken::Kind::Hex;
                t.byte = static_cast<std::uint8_t>(hi * 16 + lo);
                return t;
            }
            if (d == '\r' || d == '\n') {
                // A backslash before a line break is an old spelling of \par.
                t.kind = RtfToken::Kind::Word;
                t.text = "par";
                return t;
            }
            t.kind = RtfToken::Kind::Symbol;
            t.symbol = d;
            return t;
        }
        const std::size_t start = m_pos;
        while (m_pos < m_in.size() && !endsText(m_in[m_pos])) ++m_pos;
        t.kind = RtfToken::Kind::Text;
        t.text = m_in.substr(start, m_pos - start);
        return t;
    }
    return RtfToken{};
}

void RtfTokenizer::skipGroup() {
    std::size_t depth = 1;  // a counter, not a stack: skipped groups cost no memory however deep
    while (m_pos < m_in.size()) {
        const char c = m_in[m_pos++];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0) return;
        } else if (c == '\\' && m_pos < m_in.size()) {
            if (isLetter(m_in[m_pos])) {
                const RtfToken word = readWord();
                if (word.text == "bin" && word.hasParam) takeBinary(word.param);
            } else {
                ++m_pos;  // \{ \} \\ and friends are not braces
            }
        }
    }
}

std::string_view RtfTokenizer::takeBinary(std::int64_t count) {
    if (count <= 0) return {};
    const std::size_t left = m_in.size() - m_pos;
    const std::size_t n = static_cast<std::uint64_t>(count) < left ? static_cast<std::size_t>(count) : left;
    std::string_view data = m_in.substr(m_pos, n);
    m_pos += n;
    return data;
}

bool RtfTokenizer::onlyBlankLeft() const {
    for (std::size_t i = m_pos; i < m_in.size(); ++i) {
        const char c = m_in[i];
        if (c != ' ' && c != '\r' && c != '\n' && c != '\t' && c != '\0') return false;
    }
    return true;
}

}  // namespace orvane::rtf
