// Structures that mirror WordprocessingML as written: every property optional,
// set only where the XML sets it, so that style inheritance can be resolved by
// layering them (defaults -> styles -> direct formatting) before anything
// reaches the model.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "model/Document.h"

namespace orvane::docx {

template <class T>
using Opt = std::optional<T>;

// w:rPr. Fonts are already indexes into the document's font list.
struct RunPr {
    Opt<int> fontAscii, fontHAnsi, fontEastAsia, fontCs;
    Opt<bool> bold, italic, boldCs, italicCs;
    Opt<bool> caps, smallCaps, strike, doubleStrike, hidden, rtl, complexScript;
    Opt<model::Underline> underline;
    Opt<Opt<model::Rgb>> color;       // inner nullopt: "auto"
    Opt<Opt<model::Rgb>> highlight;   // inner nullopt: "none"
    Opt<Opt<model::Rgb>> shading;     // inner nullopt: clear
    Opt<model::VerticalAlign> vertAlign;
    Opt<int> spacing;
    Opt<int> size, sizeCs;
    Opt<int> lang, langEastAsia, langBidi;
    Opt<std::string> style;           // w:rStyle
};

// Later layers win, property by property.
void mergeRunPr(RunPr& base, const RunPr& over);

struct TabDef {
    model::TabStop stop;
    bool clear = false;  // removes an inherited stop at this position
};

struct NumPr {
    Opt<int> numId;
    Opt<int> ilvl;
};

// Border sides of a table, cell or paragraph: set when the XML names the
// side; the value is the line, or none. A paragraph's "between" sits where a
// table's insideH does.
enum BorderSide { BorderTop, BorderLeft, BorderBottom, BorderRight, BorderInsideH, BorderInsideV };
using Borders = std::array<Opt<Opt<model::Border>>, 6>;
void mergeBorders(Borders& base, const Borders& over);

// w:pPr.
struct ParaPr {
    Opt<std::string> style;           // w:pStyle
    Opt<model::Alignment> alignment;
    Opt<int> left, right, firstLine;  // firstLine negative for hanging
    Opt<int> before, after;
    Opt<bool> beforeAuto, afterAuto;
    Opt<int> line;
    Opt<model::LineRule> lineRule;
    Opt<bool> keepNext, keepLines, pageBreakBefore, widowControl, bidi, contextualSpacing;
    Opt<int> outlineLevel;
    std::vector<TabDef> tabs;         // applied in order over the inherited stops
    Opt<NumPr> numPr;
    Opt<Opt<model::Rgb>> shading;
    Borders borders;                  // w:pBdr (between as insideH)
};

void mergeParaPr(ParaPr& base, const ParaPr& over);
// Applies tab definitions over a sorted list of stops.
void applyTabs(std::vector<model::TabStop>& stops, const std::vector<TabDef>& defs);


// w:tblPr.
struct TablePr {
    Opt<std::string> style;
    Opt<model::Alignment> alignment;
    Opt<int> indent;
    Borders borders;
    Opt<Opt<model::Rgb>> shading;
    Opt<int> look;                    // w:tblLook flags (firstRow 0x20, lastRow 0x40, ...)
    Opt<int> marginLeft, marginRight, marginTop, marginBottom;  // w:tblCellMar, twips
};

void mergeTablePr(TablePr& base, const TablePr& over);

// Conditional formatting of a table style (w:tblStylePr).
enum class TableRegion { WholeTable, FirstRow, LastRow, FirstColumn, LastColumn, Count };

struct TableRegionPr {
    bool present = false;
    ParaPr pPr;
    RunPr rPr;
    Opt<Opt<model::Rgb>> cellShading;
    Borders cellBorders;
};

// w:tcPr.
struct CellPr {
    Opt<int> width;                   // twips (dxa widths only)
    int gridSpan = 1;
    model::VMerge vmerge = model::VMerge::None;
    bool hmergeContinue = false;      // legacy horizontal merge
    Opt<model::CellVAlign> valign;
    Opt<Opt<model::Rgb>> shading;
    Borders borders;
};

// w:trPr.
struct RowPr {
    int height = 0;                   // model convention: negative exact
    bool header = false;
    int gridBefore = 0, gridAfter = 0;
    Opt<int> widthBefore, widthAfter;
};

enum class HeaderKind { Default, First, Even };

struct HeaderRef {
    bool footer = false;
    HeaderKind kind = HeaderKind::Default;
    std::string relId;
};

// w:sectPr.
struct SectPr {
    model::SectionProps props;
    std::vector<HeaderRef> refs;
    // Note numbering of the section, applied over the document's by the converter.
    pugi::xml_node footnotePr, endnotePr;
};

struct StyleDef {
    std::string id;
    std::string name;
    model::StyleType type = model::StyleType::Paragraph;
    bool numbering = false;           // a numbering style: not a model style
    bool isDefault = false;
    Opt<std::string> basedOn, next;
    ParaPr pPr;
    RunPr rPr;
    TablePr tblPr;
    std::array<TableRegionPr, static_cast<int>(TableRegion::Count)> regions;
    Opt<int> modelIndex;              // index in Document::styles
};

struct StylesDef {
    RunPr defaultRun;
    ParaPr defaultPara;
    std::vector<StyleDef> styles;
    std::unordered_map<std::string, int> byId;
    Opt<int> defaultParagraph, defaultCharacter, defaultTable;

    const StyleDef* find(const std::string& id) const {
        auto it = byId.find(id);
        return it == byId.end() ? nullptr : &styles[static_cast<std::size_t>(it->second)];
    }
};

struct LevelDef {
    bool present = false;
    Opt<int> start;
    Opt<model::NumberFormat> format;
    Opt<std::string> text;
    Opt<std::string> pStyle;
    ParaPr pPr;
    RunPr rPr;
};

struct AbstractNumDef {
    std::array<LevelDef, 9> levels;
    Opt<std::string> numStyleLink;    // the levels live in the list a numbering style names
};

struct NumDef {
    int abstractId = -1;
    std::array<Opt<int>, 9> startOverride;
    std::array<LevelDef, 9> levelOverride;
};

struct NumberingDef {
    std::unordered_map<int, AbstractNumDef> abstracts;
    std::vector<std::pair<int, NumDef>> nums;  // in document order
};

struct ThemeFonts {
    std::string majorLatin, majorEastAsia, majorBidi;
    std::string minorLatin, minorEastAsia, minorBidi;
};

struct Settings {
    bool evenAndOddHeaders = false;
    int defaultTab = 720;               // w:defaultTabStop
    bool htmlAutoSpacing = true;        // no w:compat/w:doNotUseHTMLParagraphAutoSpacing
    model::NoteSettings notes;
    std::string themeLangEastAsia;    // w:themeFontLang, picks script-specific theme fonts
    std::string themeLangBidi;
};

}  // namespace orvane::docx
