// Reader for Word 97-2003 documents (.doc, .dot) and, in part, Word 6 and
// Word 95 documents, from the compound file up.
//
// Supported: the compound file (Cfb.h); the text through the piece table,
// fast-saved files included, 8-bit text of older files in the code page of
// its font or language (Windows 1250-1258, 874 and the East Asian double-byte
// pages); the stylesheet with inheritance; character and paragraph formatting
// from the formatting pages and the pieces' own modifiers; fonts with their
// charsets; sections with page setup, columns and page numbering; headers and
// footers (default, first page, even pages); footnotes and endnotes (custom
// marks too) and comments with their ranges, as notes and comments of the
// model; bookmarks; fields with instruction and result (hyperlinks included);
// lists with their levels and overrides; tables with widths, spans on the
// table's grid, vertical merges, shading, header rows and nested tables;
// inline pictures (PNG, JPEG, EMF, WMF, bitmaps turned into PNG), pictures of
// embedded objects, floating pictures from the drawing layer; text boxes and
// other drawing shapes as frames at their anchors; symbols and special
// characters; tracked insertions and deletions as revisions with their
// authors (SttbfRMark; none in Word 6/95 files) and dates, of runs and
// paragraph marks; the summary (title, author, dates).
//
// Rendered partly: fields that span paragraphs (a table of contents) keep
// their result as plain content; drawing shapes become empty frames of their
// size and colours; WordArt becomes a frame with its text; art borders
// become single lines, and Word 6/95 paragraphs have no borders. Word 6/95: text, character and paragraph
// formatting, styles, tables, sections, headers and footers, notes, fields,
// numbered and bulleted paragraphs (one list level each);
// header stories no section flag accounts for go to the first header.
//
// Left out (with a warning): TIFF and PICT pictures, pictures only linked to
// a file (their INCLUDEPICTURE field stays), the outline levels of Word 6/95
// numbering. Refused with a message: password-protected files,
// Word 2 files, compound files without a Word document.
#pragma once

#include <string_view>

#include "reader/Reader.h"

namespace orvane {

ReadResult readDoc(std::string_view bytes, const ReadLimits& limits);

// The entry in the engine's table of readers.
extern const ReaderInfo kDocReader;

}  // namespace orvane
