// Turning UTF-8 text into RTF text: the one place that decides how characters
// are spelled in the RTF we write.
#pragma once

#include <string>
#include <string_view>

namespace orvane::rtf {

// Appends `utf8` to `out` as RTF text:
// - '{', '}' and '\' are escaped with a backslash; other printable ASCII is
//   written as is;
// - '\t' becomes \tab and '\n' becomes \line; other control characters are
//   dropped, since RTF has no way to carry them as text;
// - every other character becomes \uN (N a signed 16-bit number) followed by
//   one fallback for readers that ignore \u: the Windows-1252 byte as \'hh
//   when that code page has the character, '?' otherwise. The writer declares
//   \uc1 once, so readers skip exactly one fallback;
// - characters above U+FFFF become a surrogate pair of two \u;
// - malformed UTF-8 becomes U+FFFD.
// Control words it writes end with their delimiting space, so the caller may
// follow the text with anything.
void appendText(std::string& out, std::string_view utf8);

// The same as a value, for tests and small strings.
std::string escapeText(std::string_view utf8);

}  // namespace orvane::rtf
