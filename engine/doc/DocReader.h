// Reader for Word 97-2003 documents (.doc, .dot) and, in part, Word 6 and
// Word 95 documents, from the compound file up.
//
// Supported: the compound file (Cfb.h); the text through the piece table,
// fast-saved files included, 8-bit text in the code page of its font or
// language (Windows 1250-1258, 874 and the East Asian double-byte pages);
// the stylesheet with inheritance; character and paragraph formatting from
// the formatting pages and the pieces' own modifiers; fonts with charsets;
// sections with page setup, columns and page numbering; headers and footers
// (default, first page, even pages); footnotes, endnotes and comments;
// bookmarks; fields with instruction and result (hyperlinks included; fields
// that span paragraphs keep their result as plain content); lists with their
// levels and overrides; tables with widths, horizontal and vertical merges,
// shading, header rows and nested tables; inline pictures (PNG, JPEG, EMF,
// WMF) and floating pictures from the drawing layer; text boxes; symbols and
// special characters; tracked changes accepted; the summary (title, author).
//
// Rendered partly: footnotes, endnotes and comments follow the body as
// paragraphs led by their marks; floating pictures are placed inline at their
// anchor; text boxes become paragraphs after the paragraph that anchors them;
// border styles reduce to "lines or none". Word 6/95 files: text, paragraph
// and character formatting, styles, tables, sections, notes and fields.
//
// Left out (with a warning): DIB, TIFF and PICT pictures, drawing shapes that
// are neither pictures nor text boxes, Word 6/95 headers, pictures and lists.
// Refused with a message: password-protected files and Word 2 files.
#pragma once

#include <string_view>

#include "Engine.h"

namespace orvane {

ReadResult readDoc(std::string_view bytes, const ReadLimits& limits);

}  // namespace orvane
