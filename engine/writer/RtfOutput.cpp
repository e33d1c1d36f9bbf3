// The writer's output: control words, groups, text and picture data go into
// one buffer, cut into lines (readers ignore line ends), and the buffer goes to
// the sink in pieces. The small primitives are inline in RtfWriterState.h.

#include "writer/RtfWriterState.h"

#include <algorithm>
#include <array>

#include "writer/RtfEscape.h"

namespace orvane::rtf::writer {

constexpr std::size_t kHexBytesPerLine = 64;  // 128 hex digits per line of picture data

void Writer::text(std::string_view utf8) {
    if (utf8.empty()) return;
    // A control word just written takes one space as its delimiter.
    if (m_needDelimiter) m_out.push_back(' ');
    m_needDelimiter = false;
    // Long text is cut into lines, before a space where there is one. Readers
    // ignore line ends in RTF text, and each escaped piece ends delimited, so
    // a line end between two pieces never changes the text.
    constexpr std::size_t kLongestPiece = 32;
    std::size_t start = 0;
    while (start < utf8.size() && !m_failed) {
        // The next space is looked for only as far as a piece may reach, so
        // text without spaces costs the same per byte as any other.
        const std::size_t space = utf8.substr(start + 1, kLongestPiece).find(' ');
        std::size_t end = space == std::string_view::npos ? utf8.size() : start + 1 + space;
        if (end - start > kLongestPiece) {
            // No space near: cut before a character's first byte (a malformed
            // sequence never runs past one, so the decoding stays the same).
            end = start + kLongestPiece;
            while (end > start + 1 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
        }
        rtf::appendText(m_out, utf8.substr(start, end - start));
        start = end;
        if (start < utf8.size() && lineLength() > kSoftLineLength) {
            m_out.push_back('\n');
            m_lineStart = m_out.size();
            m_lineCarry = 0;
            flushIfFull();  // a run of megabytes goes out as it is written
        }
    }
}

void Writer::hex(std::string_view bytes) {
    // Both digits of every byte value, looked up at once: pictures are the
    // bulk of many documents.
    static constexpr auto kPairs = [] {
        constexpr char digits[] = "0123456789abcdef";
        std::array<char, 512> pairs{};
        for (std::size_t b = 0; b < 256; ++b) {
            pairs[2 * b] = digits[b >> 4];
            pairs[2 * b + 1] = digits[b & 0xF];
        }
        return pairs;
    }();
    endLine();
    for (std::size_t i = 0; i < bytes.size() && !m_failed; i += kHexBytesPerLine) {
        const std::size_t n = std::min(kHexBytesPerLine, bytes.size() - i);
        const std::size_t at = m_out.size();
        m_out.resize(at + 2 * n);
        char* to = m_out.data() + at;
        for (std::size_t k = 0; k < n; ++k) {
            const char* pair = &kPairs[2 * static_cast<unsigned char>(bytes[i + k])];
            to[2 * k] = pair[0];
            to[2 * k + 1] = pair[1];
        }
        endLine();
        flushIfFull();
    }
}

void Writer::flush() {
    if (m_failed || m_out.empty()) return;
    const std::size_t pending = m_out.size() - m_lineStart;
    if (!m_sink.write(m_out)) m_failed = true;
    m_lineCarry += pending;
    m_out.clear();
    m_lineStart = 0;
}

}  // namespace orvane::rtf::writer
