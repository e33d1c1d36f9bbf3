// The RTF writer: the document model as RTF 1.9 that Word and LibreOffice open.
//
// What it writes:
// - header: \ansicpg1252, \uc1, font table (family, charset, pitch, \falt),
//   a colour table built from every colour the document uses, document
//   defaults ({\*\defchp} {\*\defpap} \deftab), the style sheet (paragraph
//   \sN, character \*\csN, table \*\tsN, with \sbasedon and \snext), list
//   table and list overrides, the revision authors ({\*\revtbl}), {\info},
//   page setup, and where notes go and
//   how they are numbered (\fet, \ftnbj/\ftntj, \aenddoc/\aendnotes,
//   \ftnstart, \ftnrstcont/\ftnrestart/\ftnrstpg, \ftnnar..., and the
//   same with \aftn for endnotes);
// - sections with their page setup, columns, page numbering, note numbering
//   (\sftn..., \saftn...), breaks and headers/footers (first page, odd/even
//   when facing pages);
// - paragraphs with every paragraph property of the model, list numbers
//   (\lsN\ilvlN plus a {\listtext} fallback computed here), runs with every
//   character property, tabs, line/page/column breaks, fields, bookmarks and
//   pictures (PNG, JPEG, EMF, WMF); tracked changes on runs and paragraph
//   marks (\revised \revauth \revdttm, \deleted \revauthdel \revdttmdel);
// - tables with row and cell properties, vertical merges, and tables nested to
//   any depth (\itap, \nestcell, \nestrow);
// - footnotes and endnotes as Word writes them: the mark (\chftn, or a custom
//   mark's text) and {\footnote ...} (with \ftnalt for endnotes) in one group
//   with the mark's formatting; the note's first paragraph opens with the mark
//   again, its last has no \par;
// - comments: {\*\atrfstart N}...{\*\atrfend N} around the commented text,
//   then {\*\atnid}{\*\atnauthor}\chatn{\*\annotation{\*\atnref N}
//   {\*\atndate DTTM}...};
// - text boxes as shapes: {\shp{\*\shpinst ... shapeType 202 ...{\shptxt ...}}
//   {\shprslt ...}}, size and position in twips (\shpleft..., \shpbx...,
//   \shpby..., posrelh/posrelv), wrap (\shpwr), line and fill, and a box
//   without a height that grows with its text (fFitShapeToText). The result
//   holds the box's paragraphs in place for readers without shapes. Word and
//   LibreOffice both read the shape back as a text frame; positioned
//   paragraphs (\posx, \absw) would read back too, but cannot hold tables
//   or keep the box's line and fill apart from its paragraphs.
//
// Where Word keeps no such thing (notes outside the body, comments in
// headers, footers and comments, text boxes inside notes, comments and text
// boxes), notes and text boxes are written as their text in place and
// comments are left out. A range is written only with both its ends and its
// comment.
//
// Formatting in the model is resolved, so the writer states each property
// outright: a property is left out only when RTF's own default, the document
// default and the style in force all agree with it. Style numbers in the RTF
// are the style's index in Document::styles; list N is \ls(N+1).
//
// Left out: horizontal cell merges become one wider cell (RTF readers disagree
// on \clmgf); a paragraph cannot switch off keep-with-next, keep-together,
// page-break-before, contextual spacing or tabs that its style turns on, as
// RTF has no word for that (a list it can: \ls0).
#pragma once

#include <string>
#include <string_view>

#include "model/Document.h"

namespace orvane {

// One-method output sink, so tests write to memory and the server to a file.
class Sink {
public:
    virtual ~Sink() = default;
    // Returns false when the data could not be written; the writer then stops.
    virtual bool write(std::string_view data) = 0;
};

class StringSink : public Sink {
public:
    bool write(std::string_view data) override {
        m_text.append(data);
        return true;
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

// Writes the document as RTF. Returns false when the sink failed.
bool writeRtf(const model::Document& document, Sink& sink);

}  // namespace orvane

namespace orvane::rtf {

// The highlight colour RTF readers can show that is nearest to `color`:
// highlighting is limited to the 16 classic colours.
model::Rgb nearestHighlightColor(model::Rgb color);

}  // namespace orvane::rtf
