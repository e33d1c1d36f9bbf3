// Border words: a side word (\brdrt ... \brdrbtw, \box, \clbrdrt ...,
// \trbrdrt ... \trbrdrv) names the border that the words after it describe:
// its kind (\brdrs, \brdrdb, ...), width (\brdrw), colour (\brdrcf) and
// distance from the text (\brdrsp). Paragraph borders live in the group's
// paragraph properties; cell and row borders in the row definition.
#include <algorithm>
#include <cstdint>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

namespace {

std::optional<BorderStyle> styleOf(Kw k) {
    switch (k) {
    case Kw::k_brdrs: case Kw::k_brdrsh: case Kw::k_brdrframe: return BorderStyle::Single;
    case Kw::k_brdrth: return BorderStyle::Thick;
    case Kw::k_brdrdb: return BorderStyle::Double;
    case Kw::k_brdrdot: return BorderStyle::Dotted;
    case Kw::k_brdrdash: return BorderStyle::Dashed;
    case Kw::k_brdrdashd: return BorderStyle::DotDash;
    case Kw::k_brdrdashdd: return BorderStyle::DotDotDash;
    case Kw::k_brdrtriple: return BorderStyle::Triple;
    case Kw::k_brdrtnthsg: return BorderStyle::ThinThickSmall;
    case Kw::k_brdrthtnsg: return BorderStyle::ThickThinSmall;
    case Kw::k_brdrtnthtnsg: return BorderStyle::ThinThickThinSmall;
    case Kw::k_brdrtnthmg: return BorderStyle::ThinThickMedium;
    case Kw::k_brdrthtnmg: return BorderStyle::ThickThinMedium;
    case Kw::k_brdrtnthtnmg: return BorderStyle::ThinThickThinMedium;
    case Kw::k_brdrtnthlg: return BorderStyle::ThinThickLarge;
    case Kw::k_brdrthtnlg: return BorderStyle::ThickThinLarge;
    case Kw::k_brdrtnthtnlg: return BorderStyle::ThinThickThinLarge;
    case Kw::k_brdrwavy: return BorderStyle::Wave;
    case Kw::k_brdrwavydb: return BorderStyle::DoubleWave;
    case Kw::k_brdrdashsm: return BorderStyle::DashSmall;
    case Kw::k_brdrdashdotstr: return BorderStyle::DashDotStroked;
    case Kw::k_brdremboss: return BorderStyle::Emboss;
    case Kw::k_brdrengrave: return BorderStyle::Engrave;
    case Kw::k_brdroutset: return BorderStyle::Outset;
    case Kw::k_brdrinset: return BorderStyle::Inset;
    case Kw::k_brdrhair: return BorderStyle::Hairline;
    default: return std::nullopt;
    }
}

}  // namespace

// Sets the border the target names (every side of a \box). The reference is
// looked up each time: the row definitions and the group stack may move.
void Reader::setBorder(GroupState& g, const std::optional<Border>& value) {
    switch (m_borderTarget) {
    case BorderTarget::None: return;
    case BorderTarget::ParaTop: g.para.borders.top = value; return;
    case BorderTarget::ParaLeft: g.para.borders.left = value; return;
    case BorderTarget::ParaBottom: g.para.borders.bottom = value; return;
    case BorderTarget::ParaRight: g.para.borders.right = value; return;
    case BorderTarget::ParaBetween: g.para.borders.between = value; return;
    case BorderTarget::ParaBox:
        g.para.borders.top = g.para.borders.left = g.para.borders.bottom = g.para.borders.right = value;
        return;
    case BorderTarget::CellTop: currentRowDef().pending.borders.top = value; return;
    case BorderTarget::CellLeft: currentRowDef().pending.borders.left = value; return;
    case BorderTarget::CellBottom: currentRowDef().pending.borders.bottom = value; return;
    case BorderTarget::CellRight: currentRowDef().pending.borders.right = value; return;
    case BorderTarget::RowTop: currentRowDef().outer.top = value; return;
    case BorderTarget::RowLeft: currentRowDef().outer.left = value; return;
    case BorderTarget::RowBottom: currentRowDef().outer.bottom = value; return;
    case BorderTarget::RowRight: currentRowDef().outer.right = value; return;
    case BorderTarget::RowInsideH: currentRowDef().insideH = value; return;
    case BorderTarget::RowInsideV: currentRowDef().insideV = value; return;
    }
}

template <typename Change>
void Reader::changeBorder(GroupState& g, Change change) {
    std::optional<Border> current;
    switch (m_borderTarget) {
    case BorderTarget::None: return;
    case BorderTarget::ParaTop: case BorderTarget::ParaBox: current = g.para.borders.top; break;
    case BorderTarget::ParaLeft: current = g.para.borders.left; break;
    case BorderTarget::ParaBottom: current = g.para.borders.bottom; break;
    case BorderTarget::ParaRight: current = g.para.borders.right; break;
    case BorderTarget::ParaBetween: current = g.para.borders.between; break;
    case BorderTarget::CellTop: current = currentRowDef().pending.borders.top; break;
    case BorderTarget::CellLeft: current = currentRowDef().pending.borders.left; break;
    case BorderTarget::CellBottom: current = currentRowDef().pending.borders.bottom; break;
    case BorderTarget::CellRight: current = currentRowDef().pending.borders.right; break;
    case BorderTarget::RowTop: current = currentRowDef().outer.top; break;
    case BorderTarget::RowLeft: current = currentRowDef().outer.left; break;
    case BorderTarget::RowBottom: current = currentRowDef().outer.bottom; break;
    case BorderTarget::RowRight: current = currentRowDef().outer.right; break;
    case BorderTarget::RowInsideH: current = currentRowDef().insideH; break;
    case BorderTarget::RowInsideV: current = currentRowDef().insideV; break;
    }
    Border b = current.value_or(Border{});
    change(b);
    setBorder(g, b);
}

bool Reader::handleBorderWord(Kw k, const RtfToken& t, GroupState& g) {
    const auto target = [&](BorderTarget which) {
        m_borderTarget = which;
        // A side word on its own draws nothing: its kind comes after it.
        setBorder(g, std::nullopt);
        if (which >= BorderTarget::CellTop && which <= BorderTarget::CellRight) currentRowDef().pending.bordersGiven = true;
        return true;
    };
    const bool table = g.dest == Dest::Body;
    switch (k) {
    case Kw::k_brdrt: return target(BorderTarget::ParaTop);
    case Kw::k_brdrl: return target(BorderTarget::ParaLeft);
    case Kw::k_brdrb: return target(BorderTarget::ParaBottom);
    case Kw::k_brdrr: return target(BorderTarget::ParaRight);
    case Kw::k_brdrbtw: return target(BorderTarget::ParaBetween);
    case Kw::k_box: return target(BorderTarget::ParaBox);
    case Kw::k_brdrbar:
        m_borderTarget = BorderTarget::None;  // a bar in the margin: not kept
        return true;
    case Kw::k_clbrdrt: return table ? target(BorderTarget::CellTop) : true;
    case Kw::k_clbrdrl: return table ? target(BorderTarget::CellLeft) : true;
    case Kw::k_clbrdrb: return table ? target(BorderTarget::CellBottom) : true;
    case Kw::k_clbrdrr: return table ? target(BorderTarget::CellRight) : true;
    case Kw::k_trbrdrt: return table ? target(BorderTarget::RowTop) : true;
    case Kw::k_trbrdrl: return table ? target(BorderTarget::RowLeft) : true;
    case Kw::k_trbrdrb: return table ? target(BorderTarget::RowBottom) : true;
    case Kw::k_trbrdrr: return table ? target(BorderTarget::RowRight) : true;
    case Kw::k_trbrdrh: return table ? target(BorderTarget::RowInsideH) : true;
    case Kw::k_trbrdrv: return table ? target(BorderTarget::RowInsideV) : true;
    case Kw::k_brdrnone: case Kw::k_brdrnil: case Kw::k_brdrtbl:
        setBorder(g, std::nullopt);
        return true;
    case Kw::k_brdrw: {
        const Twips width = std::clamp<std::int32_t>(t.param, 0, 255);
        changeBorder(g, [width](Border& b) { b.width = width; });
        return true;
    }
    case Kw::k_brdrcf: {
        const std::optional<Rgb> c = t.param > 0 ? color(t.param) : std::nullopt;
        changeBorder(g, [c](Border& b) { b.color = c; });
        return true;
    }
    case Kw::k_brdrsp: {
        const Twips space = std::clamp<std::int32_t>(t.param, 0, 31 * 20);
        changeBorder(g, [space](Border& b) { b.space = space; });
        return true;
    }
    default:
        if (const auto style = styleOf(k)) {
            changeBorder(g, [&](Border& b) { b.style = *style; });
            return true;
        }
        return false;
    }
}

}  // namespace orvane::rtf::reader
