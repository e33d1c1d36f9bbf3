// The style definitions of an OpenDocument text as written: every property
// optional, set only where the XML sets it, so that inheritance (default style
// -> parent styles -> style -> automatic style) is resolved by layering them.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "model/Document.h"

namespace orvane::odt {

template <class T>
using Opt = std::optional<T>;

// style:text-properties.
struct TextPr {
    Opt<std::string> font, fontAsian, fontComplex;  // font face names
    Opt<int> sizeHalfPoints;
    Opt<double> sizePercent;                        // relative to what lies below
    Opt<bool> bold, italic;
    Opt<model::Underline> underline;
    Opt<bool> strike, doubleStrike;
    Opt<Opt<model::Rgb>> color;                     // inner nullopt: automatic
    Opt<Opt<model::Rgb>> background;                // inner nullopt: transparent
    Opt<model::VerticalAlign> position;
    Opt<bool> caps, smallCaps, hidden;
    Opt<int> spacing;
    Opt<int> lang;
};

// The four sides (top, left, bottom, right) as a style names them: the line,
// or none; unnamed sides are left to what lies below.
using SideBorders = std::array<Opt<Opt<model::Border>>, 4>;

// The lines of the sides that have one.
inline model::BoxBorders boxBorders(const SideBorders& sides) {
    model::BoxBorders b;
    const auto line = [&](std::size_t i) { return sides[i] ? *sides[i] : std::nullopt; };
    b.top = line(0);
    b.left = line(1);
    b.bottom = line(2);
    b.right = line(3);
    return b;
}

struct TabDef {
    model::TabStop stop;  // position relative to the paragraph's indent or margin
};

// style:paragraph-properties.
// fo:text-align: start and end follow the writing direction.
enum class Align { Start, End, Left, Right, Center, Justify };

struct ParaPr {
    Opt<Align> align;
    Opt<int> left, right, firstLine, before, after;
    Opt<int> lineSpacing;
    Opt<model::LineRule> lineRule;
    Opt<bool> keepNext, keepLines, widowControl, rtl, contextualSpacing;
    Opt<bool> breakBeforePage, breakBeforeColumn, breakAfterPage, breakAfterColumn;
    Opt<std::vector<model::TabStop>> tabs;
    Opt<Opt<model::Rgb>> background;
    Opt<int> pageNumber;       // style:page-number: restart at this number
    SideBorders borders;       // fo:border*, with fo:padding* as the room to the text
};

// style:table-properties, -column-, -row-, -cell-properties.
struct TablePr {
    Opt<int> width;
    Opt<double> relWidth;      // percent of the text width
    Opt<model::Alignment> align;
    Opt<int> marginLeft;
    Opt<Opt<model::Rgb>> background;
};
struct ColumnPr {
    Opt<int> width;
    Opt<double> relWidth;      // "1234*": share of the table
};
struct RowPr {
    Opt<int> height;           // exact
    Opt<int> minHeight;        // at least
    Opt<Opt<model::Rgb>> background;
};
struct CellPr {
    Opt<Opt<model::Rgb>> background;
    Opt<model::CellVAlign> valign;
    SideBorders borders;
    std::array<Opt<int>, 4> padding;  // fo:padding*, same order
};

// style:graphic-properties: how a frame or shape sits among the text.
struct GraphicPr {
    Opt<std::string> wrap;             // style:wrap
    Opt<bool> background;              // style:run-through="background"
    Opt<bool> contour;                 // style:wrap-contour
    Opt<std::string> horizontalPos, horizontalRel, verticalPos, verticalRel;
    Opt<Opt<model::Rgb>> border;       // inner nullopt: no line
    Opt<Opt<model::Rgb>> fill;         // inner nullopt: transparent
};

// style:section-properties.
struct SectionPr {
    Opt<int> columns;
    Opt<int> columnGap;
};

enum class Family { Paragraph, Text, Table, TableColumn, TableRow, TableCell, Section, Graphic, Other };

struct StyleDef {
    std::string name;
    std::string displayName;
    Family family = Family::Other;
    std::string parent;
    std::string next;
    std::string listStyle;     // style:list-style-name
    bool hasListStyle = false; // an empty name switches a list off
    std::string masterPage;    // style:master-page-name
    bool hasMasterPage = false;
    Opt<int> outlineLevel;     // style:default-outline-level, 1-based
    TextPr text;
    ParaPr para;
    TablePr table;
    ColumnPr column;
    RowPr row;
    CellPr cell;
    SectionPr section;
    GraphicPr graphic;
};

enum class LevelKind { Number, Bullet, Image, None };

struct ListLevelDef {
    LevelKind kind = LevelKind::None;
    std::string numFormat;     // "1", "a", "A", "i", "I", "" ...
    std::string prefix, suffix;
    Opt<std::string> listFormat; // loext:num-list-format, "%1%.%2%)": the whole label
    int displayLevels = 1;
    int start = 1;
    std::string bullet;        // the bullet character, UTF-8
    std::string textStyle;     // character style of the label
    Opt<std::string> font;     // the label's own font face
    // Indents: label alignment (margin/text indent) or the older
    // space-before/min-label-width pair.
    bool labelAlignment = false;
    int marginLeft = 0, textIndent = 0;
    int spaceBefore = 0, minLabelWidth = 0;
    bool defined = false;
};

struct ListStyleDef {
    std::string name;
    std::array<ListLevelDef, 10> levels;
    bool outline = false;      // text:outline-style
};

struct PageLayoutDef {
    Opt<int> width, height;
    Opt<bool> landscape;
    Opt<int> marginLeft, marginRight, marginTop, marginBottom;
    Opt<int> columns, columnGap;
    // header and footer areas: their height and spacing to the body
    Opt<int> headerHeight, headerSpacing, footerHeight, footerSpacing;
    Opt<model::PageNumberFormat> numberFormat;
};

struct MasterPageDef {
    std::string name;
    std::string pageLayout;
    std::string next;          // style:next-style-name
    pugi::xml_node header, headerLeft, headerFirst;
    pugi::xml_node footer, footerLeft, footerFirst;
};

struct FontFace {
    model::Font font;
};

// Everything one styles container holds; the reader keeps one for the common
// styles and one per stream for automatic styles.
struct StyleSheet {
    std::map<std::pair<Family, std::string>, StyleDef> styles;
    std::map<Family, StyleDef> defaults;  // style:default-style
    std::map<std::string, ListStyleDef> lists;
    Opt<ListStyleDef> outline;
    std::map<std::string, PageLayoutDef> pageLayouts;
    std::vector<std::pair<Family, std::string>> orderFamilies;  // styles in document order
    Opt<model::NoteNumbering> footnotes, endnotes;                // text:notes-configuration
    Opt<bool> footnotesBeneathText;
    Opt<bool> endnotesPerSection;

    const StyleDef* find(Family family, const std::string& name) const {
        auto it = styles.find({family, name});
        return it == styles.end() ? nullptr : &it->second;
    }
};

Family parseFamily(std::string_view name);

// Reads office:font-face-decls into `fonts` (name -> face).
void parseFontFaces(pugi::xml_node decls, std::map<std::string, model::Font>& fonts);
// Reads office:styles or office:automatic-styles into `sheet`.
void parseStyles(pugi::xml_node container, StyleSheet& sheet);
// Reads office:master-styles.
void parseMasterPages(pugi::xml_node container, std::vector<MasterPageDef>& out);

TextPr parseTextPr(pugi::xml_node props);
ParaPr parseParaPr(pugi::xml_node props);
ListStyleDef parseListStyle(pugi::xml_node listStyle);

// Later layers win, property by property.
void mergeTextPr(TextPr& base, const TextPr& over);
void mergeParaPr(ParaPr& base, const ParaPr& over);
void mergeGraphicPr(GraphicPr& base, const GraphicPr& over);

// The first family name of "'Liberation Serif', serif".
std::string firstFamilyName(std::string_view families);

}  // namespace orvane::odt
