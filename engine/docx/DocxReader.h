// Reader for Office Open XML word-processing documents (.docx, .docm, .dotx,
// .dotm), transitional or strict.
//
// Supported: the package (content types, relationships, any main part name);
// styles with basedOn inheritance, document defaults and toggle properties;
// fonts (font table, theme fonts, charsets, families, pitch); paragraph and run
// formatting; tabs; lists (numbering definitions, overrides, list styles);
// simple and complex fields (nested, spanning paragraphs), hyperlinks,
// bookmarks; tables (grid widths, spans, vertical merges, row heights, header
// rows, shading, borders on/off, nested tables, table style regions);
// pictures (PNG, JPEG, EMF, WMF, the PNG fallback of SVG pictures; DrawingML
// and VML); sections with page setup, columns, page numbering and their
// headers and footers; document properties; tracked changes accepted.
//
// Rendered partly: text boxes and shapes become ordinary paragraphs after the
// paragraph that anchors them; footnotes, endnotes and comments follow the body
// as paragraphs, their references shown as superscript marks; floating
// pictures are placed inline; equations become their plain text; border
// styles and colours reduce to "lines or none"; list numbering continued
// across separate list instances restarts.
//
// Left out (with a warning): GIF, BMP, TIFF and other picture formats, charts,
// linked pictures, embedded foreign documents (altChunk), OLE object contents
// (their preview picture is kept).
#pragma once

#include <string_view>

#include "Engine.h"

namespace orvane {

ReadResult readDocx(std::string_view bytes, const ReadLimits& limits);

}  // namespace orvane
