// The RTF reader: RTF bytes into the document model.
//
// Reads:
// - the header: \ansi/\mac/\pc/\pca, \ansicpgN, \deff, the font table (family,
//   charset, pitch, \falt; \upr pairs take the {\*\ud} Unicode copy), the colour
//   table, {\*\defchp} and {\*\defpap}, the style sheet (paragraph \sN, character
//   \csN, table \tsN with \sbasedon and \snext and each style's own formatting),
//   the list and list override tables, {\info} (title, subject, author,
//   keywords, comments, creation and revision times as ISO 8601), page setup;
// - sections (\sect, \sectd, breaks, columns, page numbering, first-page
//   headers, header/footer distances) with default, first-page and even-page
//   headers and footers, and facing pages;
// - paragraphs and characters: every paragraph and character property the
//   model has, stored as the RTF states them (a paragraph's \sN names its style
//   but the explicit properties after it are the effective ones, as in Word);
// - text: \'hh in the current font's code page (Windows, DOS and Mac single-byte
//   pages, and Shift-JIS, GBK, Unified Hangul and Big5 double-byte pairs),
//   symbol fonts as U+F0xx, \uN with \ucN fallback skipping, surrogate pairs,
//   special characters (\tab, \line, dashes, quotes, \~, \-, \_ ...);
// - fields (instruction and result), bookmarks, pictures (PNG, JPEG, EMF, WMF,
//   hex or \bin; {\*\shppict} preferred), tables with vertical merges, shading,
//   borders (the cell's own, else the row's \trbrdr*), row height, header rows,
//   indent and alignment, nested to any depth; paragraph borders (\brdrt ...
//   \brdrbtw, \box) of every kind with width, colour and spacing;
// - footnotes and endnotes (\footnote, \ftnalt) as notes with the \chftn's or
//   the custom mark's formatting, without the mark that opens their text;
//   numbering and placement (\fet, \ftn..., \aftn..., section \sftn...);
// - comments (\chatn with {\*\atnid}, {\*\atnauthor}, {\*\annotation},
//   {\*\atndate} as ISO 8601) and the text they are about
//   ({\*\atrfstart}/{\*\atrfend} with {\*\atnref});
// - tracked changes on runs and paragraph marks (\revised \revauth \revdttm,
//   \deleted \revauthdel \revdttmdel) with their authors from {\*\revtbl};
// - shapes: one with text ({\shptxt}) becomes a frame with its place, size,
//   wrapping, line and fill; one with a picture (pib) becomes that picture;
//   {\shprslt} is left out after a {\*\shpinst}.
//
// Renders partly:
// - the text boxes of old drawing objects ({\*\do} \dptxbx): their paragraphs
//   follow the paragraph that holds them; a custom note mark is found only
//   when it is superscript and stands in the note's own group
//   ("{\super *{\footnote ...}}");
// - a field result that spans paragraphs keeps the field only in its first
//   paragraph; the rest of the result stays as plain text;
// - horizontal merges (\clmgf/\clmrg) become one wider cell; grid spans are
//   worked out from the cell edges of all rows of a table;
// - \chpgn becomes a PAGE field; objects keep their \result;
// - associated fonts: \af after \rtlch is the complex-script font, after \dbch
//   the East Asian one.
//
// Leaves out: old Word 6 paragraph numbering (\pn; its {\pntext} is kept as text
// when the document has no list table), drawing objects other than their text,
// Mac PICT and device-dependent bitmaps (a warning says so), bar borders,
// revision marks, form field data, and page borders.
#pragma once

#include <string_view>

#include "reader/Reader.h"

namespace orvane {

ReadResult readRtf(std::string_view bytes, const ReadLimits& limits);

// The entry in the engine's table of readers.
extern const ReaderInfo kRtfReader;

}  // namespace orvane
