// Character, paragraph, table-row and section properties as a .doc describes
// them, and the property modifiers (sprms) that change them. A property list
// is applied on top of what the style, the formatting page and the piece
// already set; modifiers this reader has no use for are skipped by their size.
#pragma once

#include <cstdint>
#include <functional>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "model/Document.h"

namespace orvane::doc {

struct Chp {
    bool bold = false, italic = false, strike = false, dstrike = false, caps = false, smallCaps = false;
    bool vanish = false, outline = false, shadow = false, boldBi = false, italicBi = false;
    bool bidi = false, complexScript = false;
    bool deleted = false;        // tracked deletion (sprmCFRMarkDel)
    bool inserted = false;       // tracked insertion (sprmCFRMarkIns)
    int authorIns = 0, authorDel = 0;         // entries of the revision authors (SttbfRMark)
    std::uint32_t dateIns = 0, dateDel = 0;   // when, as Word's packed date (DTTM)
    bool spec = false;           // a special character (picture, note reference, ...)
    bool data = false, ole2 = false, obj = false, fldVanish = false;
    int ftcAscii = 0, ftcFE = 0, ftcOther = 0, ftcBi = 0;
    int hps = 20, hpsBi = 20;
    int kul = 0;
    int ico = 0;
    std::optional<model::Rgb> cv;
    int highlight = 0;
    std::optional<model::Rgb> shading;
    int iss = 0;
    int hpsPos = 0;              // raised (+) or lowered (-) text, in half-points
    int dxaSpace = 0;
    int lid = 0x0400, lidFE = 0x0400, lidBi = 0x0400;
    int istd = 10;               // character style (10: the default paragraph font)
    std::optional<std::uint32_t> picLocation;
    int symbolFont = -1;
    char32_t symbolChar = 0;
};

// A border as a cell or table states it: unset when it says nothing (the
// table's border stands in), the line, or none.
using StatedBorder = std::optional<std::optional<model::Border>>;

struct TableCellDef {
    bool firstMerged = false, merged = false, vertMerge = false, vertRestart = false;
    int vertAlign = 0;
    std::optional<model::Rgb> shading;
    std::array<StatedBorder, 4> borders;  // top, left, bottom, right
};

struct Tap {
    bool defined = false;
    int jc = 0;
    int dxaLeft = 0;             // from sprmTDxaLeft: the left edge of the first cell's text
    int dxaGapHalf = 0;
    int rowHeight = 0;
    bool header = false;
    std::vector<int> centers;    // cell boundaries, itcMac + 1 of them
    std::vector<TableCellDef> cells;
    // The table's borders: top, left, bottom, right, inside horizontal and vertical.
    std::array<std::optional<model::Border>, 6> borders;
};

struct Pap {
    int istd = 0;
    model::ParaBorders borders;
    int jc = 0;
    int dxaLeft = 0, dxaRight = 0, dxaLeft1 = 0;
    int dyaBefore = 0, dyaAfter = 0;
    bool dyaBeforeAuto = false, dyaAfterAuto = false;  // HTML auto spacing
    int dyaLine = 240;
    bool multLine = true;
    bool keep = false, keepFollow = false, pageBreakBefore = false, widowControl = true, bidi = false;
    bool contextualSpacing = false;
    int outlineLevel = 9;
    std::vector<model::TabStop> tabs;
    int ilfo = 0, ilvl = 0;
    bool inTable = false, ttp = false, innerCell = false, innerTtp = false;
    int itap = 0;
    std::optional<model::Rgb> shading;
    std::optional<std::uint32_t> hugePapx;  // sprms kept in the Data stream
    std::string_view anld;       // Word 6/95 numbering of the paragraph (ANLD), empty none
    int nLvlAnm = 0;
    Tap tap;
};

struct Sep {
    model::SectionProps props;
    int bkc = 2;
    bool restartNumbering = false;
    int headerFlags = 0;         // Word 6/95: which header and footer stories the section has
    int pageNumberStart = 1;
    Sep() {
        props.marginLeft = 1800;
        props.marginRight = 1800;
    }
};

struct Sprm {
    std::uint16_t code = 0;      // the Word 97 code (older files' codes are translated)
    std::string_view operand;    // for variable-length modifiers: after the length
};

// Calls `fn` for each modifier of a property list; stops at the first that
// runs past the end. Word 6/95 lists have one-byte codes, translated here.
void forEachSprm(std::string_view grpprl, bool word6, const std::function<void(const Sprm&)>& fn);
// The modifier a piece's one-byte property (Prm0) stands for.
bool prm0Sprm(std::uint16_t prm, std::uint16_t& code, std::uint8_t& operand);

model::Rgb icoColor(int ico);
std::optional<model::Rgb> colorRef(std::uint32_t cv);

// `base` is the character formatting a toggle compares with (the style's).
void applyChp(Chp& chp, const Sprm& sprm, const Chp& base);
void applyPap(Pap& pap, const Sprm& sprm, bool word6);
void applySep(Sep& sep, const Sprm& sprm);

}  // namespace orvane::doc
