// The plain-text reader.
//
// Supports: UTF-8 (with or without byte-order mark), UTF-16 little and big
// endian (recognised by their byte-order mark), and Windows-1252 for anything
// that is not valid UTF-8. Each line (ended by CR LF, CR, LF, NEL or U+2029)
// becomes a paragraph; U+2028 is a line break inside the paragraph; a form
// feed is a page break; tabs stay tabs.
// Renders partly: malformed UTF-8 and unpaired UTF-16 surrogates become U+FFFD.
// Leaves out: NUL and other control characters; UTF-16 without a byte-order
// mark and UTF-32 are not recognised.
#pragma once

#include <string_view>

#include "reader/Reader.h"

namespace orvane {

ReadResult readText(std::string_view bytes, const ReadLimits& limits);

// The entry in the engine's table of readers.
extern const ReaderInfo kTextReader;

}  // namespace orvane
