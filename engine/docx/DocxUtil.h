// Small text helpers the conversion files share.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "model/Document.h"
#include "model/Encoding.h"

namespace orvane::docx {

inline bool is(const char* name, const char* expected) { return std::strcmp(name, expected) == 0; }

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
