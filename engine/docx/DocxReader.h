// Reader for Office Open XML word-processing documents (.docx, .docm, .dotx,
// .dotm), transitional or strict.
//
// Supported: the package (content types, relationships, any main part name);
// styles with basedOn inheritance, document defaults and toggle properties;
// fonts (font table, theme fonts, charsets, families, pitch); paragraph and run
// formatting; tabs; lists (numbering definitions, overrides, list styles);
// simple and complex fields (nested, spanning paragraphs), hyperlinks,
// bookmarks; tables (grid widths, spans, vertical merges, row heights, header
// rows, shading, borders (kind, width, colour) of cells and paragraphs, nested
// tables, table style regions);
// pictures (PNG, JPEG, EMF, WMF, the PNG fallback of SVG pictures; DrawingML
// and VML); sections with page setup, columns, page numbering and their
// headers and footers; document properties; tracked insertions and
// deletions (moves too) of runs and paragraph marks as revisions with their
// authors and dates.
//
// Footnotes and endnotes (with their numbering settings, document-wide and
// per section, and custom marks), comments with their ranges, and text boxes
// (DrawingML and VML, with size, position, wrapping, line and fill) come
// across as the model's notes, comments and frames, where they stand.
//
// Rendered partly: anchored pictures are placed inline; positions given as
// alignments (centred, right) rather than offsets count as 0; equations
// become their plain text; art borders become single lines; GIF and BMP pictures are converted to PNG (the first frame of an
// animation).
//
// Left out (with a warning): TIFF and other picture formats, charts, linked
// pictures, embedded foreign documents (altChunk), OLE object contents (their
// preview picture is kept). Formatting changes keep the new formatting and
// deleted table rows are dropped, as when the change is accepted.
#pragma once

#include <string_view>

#include "reader/Reader.h"

namespace orvane {

ReadResult readDocx(std::string_view bytes, const ReadLimits& limits);

// The entry in the engine's table of readers.
extern const ReaderInfo kDocxReader;

}  // namespace orvane
