// Splits RTF bytes into tokens: group braces, control words, control symbols,
// \'hh bytes and runs of plain text. It never allocates: names and text are
// views into the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvane::rtf {

struct RtfToken {
    enum class Kind : std::uint8_t { End, GroupOpen, GroupClose, Word, Symbol, Hex, Text };
    Kind kind = Kind::End;
    std::string_view text;    // Word: the name; Text: the run (never holds CR, LF or NUL)
    std::int32_t param = 0;   // Word: the numeric parameter, clamped to 32 bits
    bool hasParam = false;
    char symbol = 0;          // Symbol: the character after the backslash
    std::uint8_t byte = 0;    // Hex: the byte value
};

class RtfTokenizer {
public:
    explicit RtfTokenizer(std::string_view input) : m_in(input) {}

    RtfToken next();

    // After a '{' was returned: skips the rest of that group, nested groups
    // and \binN data included, and consumes its closing '}'. Stops quietly at
    // the end of the input.
    void skipGroup();

    // The raw bytes after \binN: at most `count`, never past the end.
    std::string_view takeBinary(std::int64_t count);

    std::size_t position() const { return m_pos; }
    std::size_t size() const { return m_in.size(); }
    bool atEnd() const { return m_pos >= m_in.size(); }
    // True when nothing but white space and NULs is left.
    bool onlyBlankLeft() const;

private:
    // Reads the rest of a control word whose first letter is at m_pos.
    RtfToken readWord();

    std::string_view m_in;
    std::size_t m_pos = 0;
};

}  // namespace orvane::rtf
