// Reader for OpenDocument text: packaged (.odt, .ott) and flat XML (.fodt).
//
// Supported: the package (mimetype, manifest, content, styles, meta,
// settings) and the flat single-file form; common, automatic and default
// styles with parent inheritance into paragraph and character formatting and
// the style sheet (fonts with families, pitch and symbol charset; sizes,
// relative sizes, bold, italic, underline kinds, strike, colours, background,
// raised and lowered text, caps, small caps, hidden text, languages;
// alignment, indents, spacing, line height, keeps, breaks, widow control,
// right-to-left paragraphs, tab stops with leaders, paragraph background);
// headings with their outline level and outline numbering; lists (numbered,
// bulleted, nested, continued, restarted, headers) into list definitions;
// hyperlinks, bookmarks and reference marks; fields (page number, page count,
// date, time, sequence, references, document properties) with their shown
// text; indexes (table of contents and others) as the text they last showed;
// tables (column widths with repeats, spans in both directions, covered cells,
// header rows, row heights, nested tables, cell, row and table background,
// vertical alignment, borders on or off); pictures (PNG, JPEG, EMF, WMF, and
// GIF and BMP turned into PNG; in the package or embedded as base64 in flat
// files; the first usable of a frame's alternatives; links on pictures);
// footnotes and endnotes with their numbering settings; comments with their
// authors, dates and ranges; text boxes and drawing shapes with text as frames
// with their size, position, wrapping, border and fill; page layout (size,
// orientation, margins, header and footer areas, columns, page number format);
// master pages with their headers and footers (default, left, first, and a
// first page that hands over to another page style) into sections; text
// sections with their own columns; document properties; tracked insertions
// and deletions as revisions with their authors and dates (a deletion's
// paragraph breaks inside a paragraph become line breaks; format changes keep
// the new formatting).
//
// Rendered partly: floating pictures are placed inline where they are
// anchored; a border's line kinds are solid, double, dotted, dashed and the
// 3-D ones; a table's cells share the first cell's padding; a table of contents is the text
// it last showed, not a field; numbered headings are list paragraphs.
//
// Left out (with a warning): SVM and TIFF pictures, SVG without a fallback,
// linked pictures, embedded objects without a replacement picture. Form
// controls and page backgrounds are left out silently.
// Encrypted documents are refused.
#pragma once

#include <string_view>

#include "reader/Reader.h"

namespace orvane {

ReadResult readOdt(std::string_view bytes, const ReadLimits& limits);

// The entry in the engine's table of readers.
extern const ReaderInfo kOdtReader;

}  // namespace orvane
