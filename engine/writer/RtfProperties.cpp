// Character and paragraph properties, for text, styles and the document
// defaults: each one stated unless RTF's own default, the document default and
// the styles in force all agree with it.

#include "writer/RtfWriterState.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace orvane::rtf::writer {

namespace {

// True when `get` gives a value for `value` that some baseline does not share,
// so leaving the property out could change it.
template <class P, class Get>
bool differs(const P& value, const Baselines<P>& base, Get get) {
    const auto v = get(value);
    for (int i = 0; i < base.count; ++i) {
        if (!(get(*base.items[i]) == v)) return true;
    }
    return false;
}

}  // namespace

void Writer::runPropsToRtf(const CharProps& c, const CharProps* paraStyleChars) {
    const Style* charStyle = style(c.charStyle, StyleType::Character);
    charPropsToRtf(c, Baselines<CharProps>(m_plainChars)
                          .add(&m_doc.defaultChars)
                          .add(paraStyleChars)
                          .add(charStyle ? &charStyle->chars : nullptr));
}

void Writer::charPropsToRtf(const CharProps& c, const Baselines<CharProps>& base, bool inStyleSheet) {
    const auto has = [&](auto get) { return differs(c, base, get); };
    if (style(c.charStyle, StyleType::Character)) word("cs", *c.charStyle);
    // Fonts for other scripts: \af after \rtlch names the complex-script font,
    // \af after \dbch the East Asian one; \loch leaves \f for Latin text.
    if (c.complexFont) {
        word("rtlch");
        word("fcs", 1);
        word("af", fontIndex(*c.complexFont));
        word("afs", c.sizeHalfPoints);
        word("ltrch");
        word("fcs", 0);
    }
    if (c.eastAsiaFont) {
        word("hich");
        word("af", fontIndex(c.font));
        word("dbch");
        word("af", fontIndex(*c.eastAsiaFont));
        word("loch");
    }
    if (!inStyleSheet || has([](const CharProps& x) { return x.font; })) word("f", fontIndex(c.font));
    if (!inStyleSheet || has([](const CharProps& x) { return x.sizeHalfPoints; })) word("fs", c.sizeHalfPoints);
    if (c.bold || has([](const CharProps& x) { return x.bold; })) word(c.bold ? "b" : "b0");
    if (c.italic || has([](const CharProps& x) { return x.italic; })) word(c.italic ? "i" : "i0");
    if (c.underline != Underline::None || has([](const CharProps& x) { return x.underline; })) {
        switch (c.underline) {
        case Underline::None: word("ulnone"); break;
        case Underline::Single: word("ul"); break;
        case Underline::Words: word("ulw"); break;
        case Underline::Double: word("uldb"); break;
        case Underline::Dotted: word("uld"); break;
        case Underline::Dash: word("uldash"); break;
        case Underline::DotDash: word("uldashd"); break;
        case Underline::DotDotDash: word("uldashdd"); break;
        case Underline::Thick: word("ulth"); break;
        case Underline::Wave: word("ulwave"); break;
        }
    }
    if (c.strike || has([](const CharProps& x) { return x.strike; })) word(c.strike ? "strike" : "strike0");
    if (c.doubleStrike || has([](const CharProps& x) { return x.doubleStrike; })) {
        word("striked", c.doubleStrike ? 1 : 0);
    }
    if (c.color || has([](const CharProps& x) { return x.color; })) {
        word("cf", c.color ? colorIndex(*c.color & 0xFFFFFF) : 0);
    }
    if (c.highlight || has([](const CharProps& x) { return x.highlight; })) {
        word("highlight", c.highlight ? colorIndex(rtf::nearestHighlightColor(*c.highlight)) : 0);
    }
    if (c.shading || has([](const CharProps& x) { return x.shading; })) {
        word("chshdng", 0);
        word("chcbpat", c.shading ? colorIndex(*c.shading & 0xFFFFFF) : 0);
    }
    if (c.verticalAlign != VerticalAlign::Baseline || has([](const CharProps& x) { return x.verticalAlign; })) {
        switch (c.verticalAlign) {
        case VerticalAlign::Baseline: word("nosupersub"); break;
        case VerticalAlign::Superscript: word("super"); break;
        case VerticalAlign::Subscript: word("sub"); break;
        }
    }
    if (c.caps || has([](const CharProps& x) { return x.caps; })) word(c.caps ? "caps" : "caps0");
    if (c.smallCaps || has([](const CharProps& x) { return x.smallCaps; })) word(c.smallCaps ? "scaps" : "scaps0");
    if (c.hidden || has([](const CharProps& x) { return x.hidden; })) word(c.hidden ? "v" : "v0");
    if (c.spacing != 0 || has([](const CharProps& x) { return x.spacing; })) {
        word("expnd", c.spacing / 5);  // quarter points, for older readers
        word("expndtw", c.spacing);
    }
    if (c.lang > 0 && (!inStyleSheet || has([](const CharProps& x) { return x.lang; }))) word("lang", c.lang);
    // The direction last, so it is the one in force for the text.
    if (c.rtl) {
        word("rtlch");
    } else if (has([](const CharProps& x) { return x.rtl; })) {
        word("ltrch");
    }
}

void Writer::paraPropsToRtf(const ParaProps& p, const Baselines<ParaProps>& base) {
    const auto has = [&](auto get) { return differs(p, base, get); };
    if (style(p.style, StyleType::Paragraph)) word("s", *p.style);
    if (p.alignment != Alignment::Left || has([](const ParaProps& x) { return x.alignment; })) {
        switch (p.alignment) {
        case Alignment::Left: word("ql"); break;
        case Alignment::Center: word("qc"); break;
        case Alignment::Right: word("qr"); break;
        case Alignment::Justify: word("qj"); break;
        case Alignment::Distribute: word("qd"); break;
        }
    }
    if (p.rtl) {
        word("rtlpar");
    } else if (has([](const ParaProps& x) { return x.rtl; })) {
        word("ltrpar");
    }
    if (p.leftIndent != 0 || has([](const ParaProps& x) { return x.leftIndent; })) word("li", p.leftIndent);
    if (p.rightIndent != 0 || has([](const ParaProps& x) { return x.rightIndent; })) word("ri", p.rightIndent);
    if (p.firstLineIndent != 0 || has([](const ParaProps& x) { return x.firstLineIndent; })) {
        word("fi", p.firstLineIndent);
    }
    if (p.spaceBefore != 0 || has([](const ParaProps& x) { return x.spaceBefore; })) word("sb", p.spaceBefore);
    if (p.spaceAfter != 0 || has([](const ParaProps& x) { return x.spaceAfter; })) word("sa", p.spaceAfter);
    if (p.autoSpaceBefore || has([](const ParaProps& x) { return x.autoSpaceBefore; })) word("sbauto", p.autoSpaceBefore);
    if (p.autoSpaceAfter || has([](const ParaProps& x) { return x.autoSpaceAfter; })) word("saauto", p.autoSpaceAfter);
    const bool singleSpaced = p.lineRule == LineRule::Auto && p.lineSpacing == 240;
    if (!singleSpaced || has([](const ParaProps& x) { return std::pair(x.lineSpacing, x.lineRule); })) {
        switch (p.lineRule) {
        case LineRule::Auto:
            word("sl", p.lineSpacing);
            word("slmult", 1);
            break;
        case LineRule::AtLeast:
            word("sl", std::abs(p.lineSpacing));
            word("slmult", 0);
            break;
        case LineRule::Exact:
            word("sl", -std::abs(p.lineSpacing));
            word("slmult", 0);
            break;
        }
    }
    if (p.keepNext) word("keepn");
    if (p.contextualSpacing) word("contextualspace");
    if (p.keepLines) word("keep");
    if (p.pageBreakBefore) word("pagebb");
    word(p.widowControl ? "widctlpar" : "nowidctlpar");
    if (p.outlineLevel) {
        word("outlinelevel", std::clamp(*p.outlineLevel, 0, 8));
    } else if (has([](const ParaProps& x) { return x.outlineLevel; })) {
        word("outlinelevel", 9);  // body text
    }
    for (const TabStop& tab : p.tabs) {
        switch (tab.kind) {
        case TabKind::Left: break;
        case TabKind::Center: word("tqc"); break;
        case TabKind::Right: word("tqr"); break;
        case TabKind::Decimal: word("tqdec"); break;
        case TabKind::Bar: break;
        }
        switch (tab.leader) {
        case TabLeader::None: break;
        case TabLeader::Dots: word("tldot"); break;
        case TabLeader::Hyphens: word("tlhyph"); break;
        case TabLeader::Underline: word("tlul"); break;
        case TabLeader::ThickLine: word("tlth"); break;
        case TabLeader::Equals: word("tleq"); break;
        case TabLeader::MiddleDots: word("tlmdot"); break;
        }
        word(tab.kind == TabKind::Bar ? "tb" : "tx", tab.position);
    }
    if (p.list && listLevel(*p.list)) {
        word("ls", p.list->listId + 1);
        word("ilvl", p.list->level);
    } else if (has([](const ParaProps& x) { return x.list.has_value(); })) {
        // Numbering the style brings is switched off here; readers that take
        // the style's list would number the paragraph without this.
        word("ls", 0);
    }
    if (p.shading) word("cbpat", colorIndex(*p.shading & 0xFFFFFF));
    // The sides with a border; a side the style (or default) has a border on
    // and this paragraph has none says \brdrnone.
    using Side = Rare<Border> ParaBorders::*;
    const std::pair<std::string_view, Side> sides[] = {
        {"brdrt", &BoxBorders::top}, {"brdrl", &BoxBorders::left}, {"brdrb", &BoxBorders::bottom},
        {"brdrr", &BoxBorders::right}, {"brdrbtw", &ParaBorders::between}};
    for (const auto& entry : sides) {
        const std::string_view side = entry.first;
        const Side member = entry.second;  // not a structured binding: clang 14 cannot capture those
        const Rare<Border>& border = p.borders.*member;
        if (border) {
            word(side);
            borderToRtf(*border, true);
        } else if (has([member](const ParaProps& x) { return (x.borders.*member).has_value(); })) {
            word(side);
            word("brdrnone");
        }
    }
}

void Writer::borderToRtf(const Border& b, bool withSpace) {
    switch (b.style) {
    case BorderStyle::Single: word(b.width > 75 ? "brdrth" : "brdrs"); break;
    case BorderStyle::Thick: word("brdrth"); break;
    case BorderStyle::Double: word("brdrdb"); break;
    case BorderStyle::Dotted: word("brdrdot"); break;
    case BorderStyle::Dashed: word("brdrdash"); break;
    case BorderStyle::DotDash: word("brdrdashd"); break;
    case BorderStyle::DotDotDash: word("brdrdashdd"); break;
    case BorderStyle::Triple: word("brdrtriple"); break;
    case BorderStyle::ThinThickSmall: word("brdrtnthsg"); break;
    case BorderStyle::ThickThinSmall: word("brdrthtnsg"); break;
    case BorderStyle::ThinThickThinSmall: word("brdrtnthtnsg"); break;
    case BorderStyle::ThinThickMedium: word("brdrtnthmg"); break;
    case BorderStyle::ThickThinMedium: word("brdrthtnmg"); break;
    case BorderStyle::ThinThickThinMedium: word("brdrtnthtnmg"); break;
    case BorderStyle::ThinThickLarge: word("brdrtnthlg"); break;
    case BorderStyle::ThickThinLarge: word("brdrthtnlg"); break;
    case BorderStyle::ThinThickThinLarge: word("brdrtnthtnlg"); break;
    case BorderStyle::Wave: word("brdrwavy"); break;
    case BorderStyle::DoubleWave: word("brdrwavydb"); break;
    case BorderStyle::DashSmall: word("brdrdashsm"); break;
    case BorderStyle::DashDotStroked: word("brdrdashdotstr"); break;
    case BorderStyle::Emboss: word("brdremboss"); break;
    case BorderStyle::Engrave: word("brdrengrave"); break;
    case BorderStyle::Outset: word("brdroutset"); break;
    case BorderStyle::Inset: word("brdrinset"); break;
    case BorderStyle::Hairline: word("brdrhair"); break;
    }
    // A single line wider than RTF's 75 twips is written as a thick one of
    // half the width, which readers draw twice as wide.
    const Twips width = std::clamp<Twips>(b.style == BorderStyle::Single && b.width > 75 ? b.width / 2 : b.width, 1, 255);
    word("brdrw", width);
    if (b.color) word("brdrcf", colorIndex(*b.color & 0xFFFFFF));
    if (withSpace && b.space > 0) word("brdrsp", std::min<Twips>(b.space, 31 * 20));
}

}  // namespace orvane::rtf::writer
