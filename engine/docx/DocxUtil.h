// Small text helpers the conversion files share.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/Document.h"
#include "encoding/Encoding.h"

namespace orvane::docx {

// Element names are short and compared by the million: inline, not a libc call.
inline bool is(const char* name, const char* expected) {
    while (*name && *name == *expected) {
        ++name;
        ++expected;
    }
    return *name == *expected;
}

using encoding::appendUtf8;
// Run text as the model wants it: valid UTF-8, tabs kept, line ends and other
// control characters (which w:t cannot meaningfully hold) turned into spaces
// or dropped.
std::string cleanText(std::string_view in);
std::string_view trimmed(std::string_view s);
// The text of inline content, fields' results included.
void appendPlainText(std::string& out, const std::vector<model::Inline>& inlines, int depth);
// Quotes a field argument the way Word writes it.
std::string quoted(std::string_view s);

}  // namespace orvane::docx
