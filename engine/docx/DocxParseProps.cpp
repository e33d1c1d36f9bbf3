// Property elements (w:rPr, w:pPr, w:tblPr, w:tcPr, w:trPr, w:sectPr) into
// their mirror structures, and the layering of those structures.
#include <algorithm>
#include <cstring>

#include "docx/DocxParse.h"
#include "encoding/Languages.h"

namespace orvane::docx {

using model::Rgb;

namespace {

template <class T>
void take(Opt<T>& base, const Opt<T>& over) {
    if (over) base = over;
}

std::string_view wName(pugi::xml_node n) {
    const char* name = n.name();
    if (name[0] == 'w' && name[1] == ':') return std::string_view(name + 2);
    return {};
}

Opt<Rgb> parseRgb(std::string_view v) {
    if (v.size() != 6) return std::nullopt;
    auto hex = parseHex(v);
    if (!hex) return std::nullopt;
    return static_cast<Rgb>(*hex & 0xFFFFFFu);
}

Rgb blend(Rgb fg, Rgb bg, int percentTenths) {
    auto channel = [&](int shift) {
        const int f = static_cast<int>((fg >> shift) & 0xFF);
        const int b = static_cast<int>((bg >> shift) & 0xFF);
        return static_cast<Rgb>((f * percentTenths + b * (1000 - percentTenths)) / 1000) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Layering

void mergeRunPr(RunPr& b, const RunPr& o) {
    take(b.fontAscii, o.fontAscii);
    take(b.fontHAnsi, o.fontHAnsi);
    take(b.fontEastAsia, o.fontEastAsia);
    take(b.fontCs, o.fontCs);
    take(b.bold, o.bold);
    take(b.italic, o.italic);
    take(b.boldCs, o.boldCs);
    take(b.italicCs, o.italicCs);
    take(b.caps, o.caps);
    take(b.smallCaps, o.smallCaps);
    take(b.strike, o.strike);
    take(b.doubleStrike, o.doubleStrike);
    take(b.hidden, o.hidden);
    take(b.rtl, o.rtl);
    take(b.complexScript, o.complexScript);
    take(b.underline, o.underline);
    take(b.color, o.color);
    take(b.highlight, o.highlight);
    take(b.shading, o.shading);
    take(b.vertAlign, o.vertAlign);
    take(b.spacing, o.spacing);
    take(b.size, o.size);
    take(b.sizeCs, o.sizeCs);
    take(b.lang, o.lang);
    take(b.langEastAsia, o.langEastAsia);
    take(b.langBidi, o.langBidi);
    take(b.style, o.style);
}

void mergeParaPr(ParaPr& b, const ParaPr& o) {
    take(b.style, o.style);
    take(b.alignment, o.alignment);
    take(b.left, o.left);
    take(b.right, o.right);
    take(b.firstLine, o.firstLine);
    take(b.before, o.before);
    take(b.after, o.after);
    take(b.beforeAuto, o.beforeAuto);
    take(b.afterAuto, o.afterAuto);
    take(b.line, o.line);
    take(b.lineRule, o.lineRule);
    take(b.keepNext, o.keepNext);
    take(b.contextualSpacing, o.contextualSpacing);
    take(b.keepLines, o.keepLines);
    take(b.pageBreakBefore, o.pageBreakBefore);
    take(b.widowControl, o.widowControl);
    take(b.bidi, o.bidi);
    take(b.outlineLevel, o.outlineLevel);
    b.tabs.insert(b.tabs.end(), o.tabs.begin(), o.tabs.end());
    if (o.numPr) {
        if (!b.numPr) b.numPr = NumPr{};
        take(b.numPr->numId, o.numPr->numId);
        take(b.numPr->ilvl, o.numPr->ilvl);
    }
    take(b.shading, o.shading);
    mergeBorders(b.borders, o.borders);
}

void applyTabs(std::vector<model::TabStop>& stops, const std::vector<TabDef>& defs) {
    for (const TabDef& d : defs) {
        auto same = [&](const model::TabStop& s) { return s.position == d.stop.position; };
        stops.erase(std::remove_if(stops.begin(), stops.end(), same), stops.end());
        if (!d.clear) stops.push_back(d.stop);
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const model::TabStop& a, const model::TabStop& b) {
                         return a.position < b.position;
                     });
}

void mergeBorders(Borders& base, const Borders& over) {
    for (std::size_t i = 0; i < base.size(); ++i) take(base[i], over[i]);
}

void mergeTablePr(TablePr& b, const TablePr& o) {
    take(b.style, o.style);
    take(b.alignment, o.alignment);
    take(b.indent, o.indent);
    mergeBorders(b.borders, o.borders);
    take(b.shading, o.shading);
    take(b.look, o.look);
    take(b.marginLeft, o.marginLeft);
    take(b.marginRight, o.marginRight);
    take(b.marginTop, o.marginTop);
    take(b.marginBottom, o.marginBottom);
}

// ---------------------------------------------------------------------------
// Small value parsers

Opt<Rgb> highlightColor(std::string_view name) {
    struct Named {
        std::string_view name;
        Rgb rgb;
    };
    static constexpr Named kColors[] = {
        {"black", 0x000000},     {"blue", 0x0000FF},        {"cyan", 0x00FFFF},
        {"green", 0x00FF00},     {"magenta", 0xFF00FF},     {"red", 0xFF0000},
        {"yellow", 0xFFFF00},    {"white", 0xFFFFFF},       {"darkBlue", 0x000080},
        {"darkCyan", 0x008080},  {"darkGreen", 0x008000},   {"darkMagenta", 0x800080},
        {"darkRed", 0x800000},   {"darkYellow", 0x808000},  {"darkGray", 0x808080},
        {"lightGray", 0xC0C0C0},
    };
    for (const auto& c : kColors) {
        if (c.name == name) return c.rgb;
    }
    return std::nullopt;
}

Opt<Rgb> parseShading(pugi::xml_node shd) {
    std::string_view val = attr(shd, "w:val");
    std::string_view colorText = attr(shd, "w:color");
    std::string_view fillText = attr(shd, "w:fill");
    const Opt<Rgb> color = parseRgb(colorText);
    const Opt<Rgb> fill = parseRgb(fillText);
    if (val == "nil") return std::nullopt;
    if (val == "solid") return color.value_or(0x000000);
    if (val.substr(0, 3) == "pct") {
        auto pct = parseInteger(val.substr(3));
        if (pct && *pct > 0 && *pct <= 100) {
            // pct125-style values are tenths of a percent; pct5..pct95 whole percents.
            const int tenths = *pct > 100 ? static_cast<int>(*pct) : static_cast<int>(*pct) * 10;
            return blend(color.value_or(0x000000), fill.value_or(0xFFFFFF), tenths);
        }
    }
    return fill;
}

namespace {

model::Underline underlineKind(std::string_view v) {
    using U = model::Underline;
    if (v == "single") return U::Single;
    if (v == "words") return U::Words;
    if (v == "double" || v == "wavyDouble") return v == "double" ? U::Double : U::Wave;
    if (v == "thick") return U::Thick;
    if (v == "dotted" || v == "dottedHeavy") return U::Dotted;
    if (v == "dash" || v == "dashedHeavy" || v == "dashLong" || v == "dashLongHeavy") return U::Dash;
    if (v == "dotDash" || v == "dashDotHeavy") return U::DotDash;
    if (v == "dotDotDash" || v == "dashDotDotHeavy") return U::DotDotDash;
    if (v == "wave" || v == "wavyHeavy") return U::Wave;
    if (v == "none" || v.empty()) return v.empty() ? U::Single : U::None;
    return U::Single;
}

Opt<model::Alignment> alignmentOf(std::string_view v) {
    using A = model::Alignment;
    if (v == "left" || v == "start") return A::Left;
    if (v == "center") return A::Center;
    if (v == "right" || v == "end") return A::Right;
    if (v == "both" || v == "lowKashida" || v == "mediumKashida" || v == "highKashida")
        return A::Justify;
    if (v == "distribute" || v == "thaiDistribute") return A::Distribute;
    return std::nullopt;
}

bool symbolFontName(std::string_view name) {
    return name == "Symbol" || name.substr(0, 9) == "Wingdings" || name == "Webdings" ||
           name == "Marlett" || name == "MT Extra" || name == "ZapfDingbats" ||
           name == "Zapf Dingbats";
}

const std::string* themeFont(std::string_view which, const ThemeFonts& t) {
    const std::string* r = nullptr;
    if (which == "majorAscii" || which == "majorHAnsi") r = &t.majorLatin;
    else if (which == "majorEastAsia") r = &t.majorEastAsia;
    else if (which == "majorBidi") r = &t.majorBidi;
    else if (which == "minorAscii" || which == "minorHAnsi") r = &t.minorLatin;
    else if (which == "minorEastAsia") r = &t.minorEastAsia;
    else if (which == "minorBidi") r = &t.minorBidi;
    return r && !r->empty() ? r : nullptr;
}

// w:rFonts, read in one pass over its attributes (runs repeat it by the
// thousand). In each slot the theme attribute wins over the explicit one; the
// complex-script slot also knows the lower-case spelling "w:cstheme", tried
// before the explicit name and "w:csTheme" after it.
void readFonts(pugi::xml_node rFonts, ParseContext& ctx, RunPr& r) {
    enum Slot { Ascii, HAnsi, EastAsia, Cs, SlotCount };
    const char* given[SlotCount] = {};
    const char* themed[SlotCount] = {};
    const char* csThemeLower = nullptr;
    const auto keep = [](const char*& slot, const char* value) {
        if (!slot) slot = value;  // the first of two equal names, as a lookup by name finds it
    };
    for (pugi::xml_attribute a = rFonts.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view n = a.name();
        if (n == "w:ascii") keep(given[Ascii], a.value());
        else if (n == "w:hAnsi") keep(given[HAnsi], a.value());
        else if (n == "w:eastAsia") keep(given[EastAsia], a.value());
        else if (n == "w:cs") keep(given[Cs], a.value());
        else if (n == "w:asciiTheme") keep(themed[Ascii], a.value());
        else if (n == "w:hAnsiTheme") keep(themed[HAnsi], a.value());
        else if (n == "w:eastAsiaTheme") keep(themed[EastAsia], a.value());
        else if (n == "w:csTheme") keep(themed[Cs], a.value());
        else if (n == "w:cstheme") keep(csThemeLower, a.value());
    }
    const auto fromTheme = [&](const char* value) -> Opt<int> {
        if (value) {
            if (const std::string* name = themeFont(value, ctx.theme)) return ctx.fonts.index(*name);
        }
        return std::nullopt;
    };
    const auto slot = [&](const char* theme, const char* explicitName) -> Opt<int> {
        if (Opt<int> f = fromTheme(theme)) return f;
        if (explicitName && *explicitName) return ctx.fonts.index(explicitName);
        return std::nullopt;
    };
    r.fontAscii = slot(themed[Ascii], given[Ascii]);
    r.fontHAnsi = slot(themed[HAnsi], given[HAnsi]);
    r.fontEastAsia = slot(themed[EastAsia], given[EastAsia]);
    r.fontCs = slot(csThemeLower, given[Cs]);
    if (!r.fontCs) r.fontCs = fromTheme(themed[Cs]);
}

void readColor(pugi::xml_node n, Opt<Opt<Rgb>>& into) {
    std::string_view v = attr(n, "w:val");
    if (v == "auto") into.emplace(std::nullopt);
    else if (auto rgb = parseRgb(v)) into.emplace(*rgb);
}

}  // namespace

std::string latinFontName(pugi::xml_node rFonts, const ThemeFonts& theme) {
    for (const char* t : {"w:asciiTheme", "w:hAnsiTheme"}) {
        if (pugi::xml_attribute a = rFonts.attribute(t)) {
            if (const std::string* name = themeFont(a.value(), theme)) return *name;
        }
    }
    for (const char* e : {"w:ascii", "w:hAnsi"}) {
        if (pugi::xml_attribute a = rFonts.attribute(e)) {
            if (*a.value()) return a.value();
        }
    }
    return {};
}

// ---------------------------------------------------------------------------
// FontRegistry

void FontRegistry::declare(model::Font font) {
    if (font.name.empty() || m_declaredByName.count(font.name)) return;
    m_declaredByName.emplace(font.name, m_declared.size());
    m_declared.push_back(std::move(font));
}

void FontRegistry::registerDeclared() {
    for (const model::Font& f : m_declared) index(f.name);
}

int FontRegistry::index(std::string_view name) {
    std::string key(name);
    if (auto it = m_byName.find(key); it != m_byName.end()) return it->second;
    model::Font font;
    if (auto d = m_declaredByName.find(key); d != m_declaredByName.end()) {
        font = m_declared[d->second];
    } else {
        font.name = key;
        if (symbolFontName(key)) {
            font.charset = 2;
            font.family = model::FontFamily::Decor;
        }
    }
    const int idx = static_cast<int>(m_fonts.size());
    m_fonts.push_back(std::move(font));
    m_byName.emplace(std::move(key), idx);
    return idx;
}

// ---------------------------------------------------------------------------
// Property elements

RunPr parseRunPr(pugi::xml_node rPr, ParseContext& ctx) {
    RunPr r;
    for (pugi::xml_node n = rPr.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        if (name.empty()) continue;
        switch (name[0]) {
        case 'b':
            if (name == "b") r.bold = onOff(n);
            else if (name == "bCs") r.boldCs = onOff(n);
            break;
        case 'i':
            if (name == "i") r.italic = onOff(n);
            else if (name == "iCs") r.italicCs = onOff(n);
            break;
        case 'c':
            if (name == "caps") r.caps = onOff(n);
            else if (name == "color") readColor(n, r.color);
            else if (name == "cs") r.complexScript = onOff(n);
            break;
        case 's':
            if (name == "sz") {
                if (auto v = intAttr(n, "w:val")) r.size = std::clamp(*v, 1, 3276);
            } else if (name == "szCs") {
                if (auto v = intAttr(n, "w:val")) r.sizeCs = std::clamp(*v, 1, 3276);
            } else if (name == "smallCaps") {
                r.smallCaps = onOff(n);
            } else if (name == "strike") {
                r.strike = onOff(n);
            } else if (name == "shd") {
                r.shading = parseShading(n);
            } else if (name == "spacing") {
                if (auto v = twipsAttr(n, "w:val")) r.spacing = std::clamp(*v, -31680, 31680);
            }
            break;
        case 'd':
            if (name == "dstrike") r.doubleStrike = onOff(n);
            break;
        case 'v':
            if (name == "vanish") {
                r.hidden = onOff(n);
            } else if (name == "vertAlign") {
                std::string_view v = attr(n, "w:val");
                if (v == "superscript") r.vertAlign = model::VerticalAlign::Superscript;
                else if (v == "subscript") r.vertAlign = model::VerticalAlign::Subscript;
                else r.vertAlign = model::VerticalAlign::Baseline;
            }
            break;
        case 'r':
            if (name == "rFonts") {
                readFonts(n, ctx, r);
            } else if (name == "rStyle") {
                r.style = attr(n, "w:val");
            } else if (name == "rtl") {
                r.rtl = onOff(n);
            }
            break;
        case 'u':
            if (name == "u") r.underline = underlineKind(attr(n, "w:val"));
            break;
        case 'h':
            if (name == "highlight") r.highlight = highlightColor(attr(n, "w:val"));
            break;
        case 'l':
            if (name == "lang") {
                if (pugi::xml_attribute a = n.attribute("w:val")) r.lang = encoding::languageId(a.value());
                if (pugi::xml_attribute a = n.attribute("w:eastAsia"))
                    r.langEastAsia = encoding::languageId(a.value());
                if (pugi::xml_attribute a = n.attribute("w:bidi")) r.langBidi = encoding::languageId(a.value());
            }
            break;
        default:
            break;
        }
    }
    // Fonts given only for one of ascii/hAnsi stand for both.
    if (r.fontAscii && !r.fontHAnsi) r.fontHAnsi = r.fontAscii;
    if (r.fontHAnsi && !r.fontAscii) r.fontAscii = r.fontHAnsi;
    return r;
}

namespace {

// ST_Border: the line kinds RTF has; art borders become single lines.
model::BorderStyle borderStyle(std::string_view val) {
    using S = model::BorderStyle;
    struct Named {
        std::string_view name;
        S style;
    };
    static constexpr Named kStyles[] = {
        {"single", S::Single}, {"thick", S::Thick}, {"double", S::Double}, {"dotted", S::Dotted},
        {"dashed", S::Dashed}, {"dotDash", S::DotDash}, {"dotDotDash", S::DotDotDash}, {"triple", S::Triple},
        {"thinThickSmallGap", S::ThinThickSmall}, {"thickThinSmallGap", S::ThickThinSmall},
        {"thinThickThinSmallGap", S::ThinThickThinSmall}, {"thinThickMediumGap", S::ThinThickMedium},
        {"thickThinMediumGap", S::ThickThinMedium}, {"thinThickThinMediumGap", S::ThinThickThinMedium},
        {"thinThickLargeGap", S::ThinThickLarge}, {"thickThinLargeGap", S::ThickThinLarge},
        {"thinThickThinLargeGap", S::ThinThickThinLarge}, {"wave", S::Wave}, {"doubleWave", S::DoubleWave},
        {"dashSmallGap", S::DashSmall}, {"dashDotStroked", S::DashDotStroked}, {"threeDEmboss", S::Emboss},
        {"threeDEngrave", S::Engrave}, {"outset", S::Outset}, {"inset", S::Inset},
    };
    for (const Named& n : kStyles)
        if (n.name == val) return n.style;
    return S::Single;
}

}  // namespace

Opt<model::Border> parseBorder(pugi::xml_node n) {
    const std::string_view val = attr(n, "w:val");
    if (val == "none" || val == "nil" || val.empty()) return std::nullopt;
    model::Border b;
    b.style = borderStyle(val);
    // w:sz in eighths of a point (2 to 96), w:space in points.
    if (auto sz = intAttr(n, "w:sz")) b.width = clampInt((std::clamp(*sz, 0, 96) * 5 + 1) / 2, 1, 255);
    else b.width = 10;
    const std::string_view color = attr(n, "w:color");
    if (color != "auto") b.color = parseRgb(color);
    if (auto space = intAttr(n, "w:space")) b.space = clampInt(*space * 20LL, 0, 31 * 20);
    return b;
}

Borders parseBorders(pugi::xml_node borders) {
    Borders b;
    for (pugi::xml_node n = borders.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        int side = -1;
        if (name == "top") side = BorderTop;
        else if (name == "left" || name == "start") side = BorderLeft;
        else if (name == "bottom") side = BorderBottom;
        else if (name == "right" || name == "end") side = BorderRight;
        else if (name == "insideH" || name == "between") side = BorderInsideH;
        else if (name == "insideV") side = BorderInsideV;
        if (side < 0) continue;
        b[static_cast<std::size_t>(side)] = parseBorder(n);
    }
    return b;
}

ParaPr parseParaPr(pugi::xml_node pPr) {
    ParaPr p;
    for (pugi::xml_node n = pPr.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        if (name.empty()) continue;
        if (name == "pStyle") {
            p.style = attr(n, "w:val");
        } else if (name == "jc") {
            p.alignment = alignmentOf(attr(n, "w:val"));
        } else if (name == "ind") {
            if (auto v = twipsAttr(n, "w:start")) p.left = v;
            else if (auto v2 = twipsAttr(n, "w:left")) p.left = v2;
            if (auto v = twipsAttr(n, "w:end")) p.right = v;
            else if (auto v2 = twipsAttr(n, "w:right")) p.right = v2;
            if (auto v = twipsAttr(n, "w:hanging")) p.firstLine = -*v;
            else if (auto v2 = twipsAttr(n, "w:firstLine")) p.firstLine = v2;
        } else if (name == "spacing") {
            if (auto v = twipsAttr(n, "w:before")) p.before = std::max(0, *v);
            if (auto v = twipsAttr(n, "w:after")) p.after = std::max(0, *v);
            // Spacing in hundredths of a line wins over the absolute value.
            if (auto v = intAttr(n, "w:beforeLines"); v && *v > 0) p.before = *v * 12 / 5;
            if (auto v = intAttr(n, "w:afterLines"); v && *v > 0) p.after = *v * 12 / 5;
            if (pugi::xml_attribute a = n.attribute("w:beforeAutospacing"))
                p.beforeAuto = parseOnOff(a.value()).value_or(false);
            if (pugi::xml_attribute a = n.attribute("w:afterAutospacing"))
                p.afterAuto = parseOnOff(a.value()).value_or(false);
            if (auto v = twipsAttr(n, "w:line")) p.line = *v;
            if (pugi::xml_attribute a = n.attribute("w:lineRule")) {
                std::string_view rule = a.value();
                if (rule == "exact") p.lineRule = model::LineRule::Exact;
                else if (rule == "atLeast") p.lineRule = model::LineRule::AtLeast;
                else p.lineRule = model::LineRule::Auto;
            }
        } else if (name == "keepNext") {
            p.keepNext = onOff(n);
        } else if (name == "contextualSpacing") {
            p.contextualSpacing = onOff(n);
        } else if (name == "keepLines") {
            p.keepLines = onOff(n);
        } else if (name == "pageBreakBefore") {
            p.pageBreakBefore = onOff(n);
        } else if (name == "widowControl") {
            p.widowControl = onOff(n);
        } else if (name == "bidi") {
            p.bidi = onOff(n);
        } else if (name == "outlineLvl") {
            if (auto v = intAttr(n, "w:val")) p.outlineLevel = std::clamp(*v, 0, 9);
        } else if (name == "numPr") {
            NumPr num;
            if (pugi::xml_node id = n.child("w:numId")) num.numId = intAttr(id, "w:val");
            if (pugi::xml_node lvl = n.child("w:ilvl")) {
                if (auto v = intAttr(lvl, "w:val")) num.ilvl = std::clamp(*v, 0, 8);
            }
            p.numPr = num;
        } else if (name == "shd") {
            p.shading = parseShading(n);
        } else if (name == "pBdr") {
            p.borders = parseBorders(n);
        } else if (name == "tabs") {
            for (pugi::xml_node t = n.child("w:tab"); t; t = t.next_sibling("w:tab")) {
                TabDef d;
                auto pos = twipsAttr(t, "w:pos");
                if (!pos) continue;
                d.stop.position = *pos;
                std::string_view val = attr(t, "w:val");
                using K = model::TabKind;
                if (val == "clear") d.clear = true;
                else if (val == "center") d.stop.kind = K::Center;
                else if (val == "right" || val == "end") d.stop.kind = K::Right;
                else if (val == "decimal") d.stop.kind = K::Decimal;
                else if (val == "bar") d.stop.kind = K::Bar;
                std::string_view leader = attr(t, "w:leader");
                using L = model::TabLeader;
                if (leader == "dot") d.stop.leader = L::Dots;
                else if (leader == "hyphen") d.stop.leader = L::Hyphens;
                else if (leader == "underscore") d.stop.leader = L::Underline;
                else if (leader == "heavy") d.stop.leader = L::ThickLine;
                else if (leader == "middleDot") d.stop.leader = L::MiddleDots;
                p.tabs.push_back(d);
            }
        }
    }
    return p;
}

TablePr parseTablePr(pugi::xml_node tblPr) {
    TablePr t;
    for (pugi::xml_node n = tblPr.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        if (name == "tblStyle") {
            t.style = attr(n, "w:val");
        } else if (name == "jc") {
            t.alignment = alignmentOf(attr(n, "w:val"));
        } else if (name == "tblInd") {
            std::string_view type = attr(n, "w:type");
            if (type.empty() || type == "dxa") t.indent = twipsAttr(n, "w:w");
        } else if (name == "tblBorders") {
            t.borders = parseBorders(n);
        } else if (name == "tblCellMar") {
            for (pugi::xml_node side = n.first_child(); side; side = side.next_sibling()) {
                const std::string_view type = attr(side, "w:type");
                if (!type.empty() && type != "dxa") continue;
                const Opt<int> w = twipsAttr(side, "w:w");
                if (!w) continue;
                const int margin = std::clamp(*w, 0, 31680);
                const std::string_view which = wName(side);
                if (which == "left" || which == "start") t.marginLeft = margin;
                else if (which == "right" || which == "end") t.marginRight = margin;
                else if (which == "top") t.marginTop = margin;
                else if (which == "bottom") t.marginBottom = margin;
            }
        } else if (name == "shd") {
            t.shading = parseShading(n);
        } else if (name == "tblLook") {
            if (pugi::xml_attribute v = n.attribute("w:val")) {
                if (auto hex = parseHex(v.value())) t.look = static_cast<int>(*hex);
            } else {
                int look = 0;
                if (parseOnOff(attr(n, "w:firstRow")).value_or(false)) look |= 0x20;
                if (parseOnOff(attr(n, "w:lastRow")).value_or(false)) look |= 0x40;
                if (parseOnOff(attr(n, "w:firstColumn")).value_or(false)) look |= 0x80;
                if (parseOnOff(attr(n, "w:lastColumn")).value_or(false)) look |= 0x100;
                t.look = look;
            }
        }
    }
    return t;
}

CellPr parseCellPr(pugi::xml_node tcPr) {
    CellPr c;
    for (pugi::xml_node n = tcPr.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        if (name == "tcW") {
            std::string_view type = attr(n, "w:type");
            if (type.empty() || type == "dxa") {
                if (auto w = twipsAttr(n, "w:w"); w && *w > 0) c.width = std::min(*w, 31680);
            }
        } else if (name == "gridSpan") {
            if (auto v = intAttr(n, "w:val")) c.gridSpan = std::clamp(*v, 1, 63);
        } else if (name == "vMerge") {
            std::string_view v = attr(n, "w:val");
            c.vmerge = v == "restart" ? model::VMerge::Start : model::VMerge::Continue;
        } else if (name == "hMerge") {
            c.hmergeContinue = attr(n, "w:val") != std::string_view("restart");
        } else if (name == "vAlign") {
            std::string_view v = attr(n, "w:val");
            if (v == "center") c.valign = model::CellVAlign::Center;
            else if (v == "bottom") c.valign = model::CellVAlign::Bottom;
            else c.valign = model::CellVAlign::Top;
        } else if (name == "shd") {
            c.shading = parseShading(n);
        } else if (name == "tcBorders") {
            c.borders = parseBorders(n);
        }
    }
    return c;
}

RowPr parseRowPr(pugi::xml_node trPr) {
    RowPr r;
    for (pugi::xml_node n = trPr.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        if (name == "trHeight") {
            const int h = std::clamp(twipsAttr(n, "w:val").value_or(0), 0, 31680);
            std::string_view rule = attr(n, "w:hRule");
            if (rule == "exact") r.height = -h;
            else if (rule == "auto") r.height = 0;
            else r.height = h;
        } else if (name == "tblHeader") {
            r.header = onOff(n).value_or(false);
        } else if (name == "gridBefore") {
            r.gridBefore = std::clamp(intAttr(n, "w:val").value_or(0), 0, 63);
        } else if (name == "gridAfter") {
            r.gridAfter = std::clamp(intAttr(n, "w:val").value_or(0), 0, 63);
        } else if (name == "wBefore") {
            r.widthBefore = twipsAttr(n, "w:w");
        } else if (name == "wAfter") {
            r.widthAfter = twipsAttr(n, "w:w");
        }
    }
    return r;
}

model::NoteNumbering parseNoteNumbering(pugi::xml_node notePr, model::NoteNumbering base) {
    using F = model::NoteNumberFormat;
    if (pugi::xml_node fmt = notePr.child("w:numFmt")) {
        std::string_view v = attr(fmt, "w:val");
        if (v == "decimal") base.format = F::Decimal;
        else if (v == "upperRoman") base.format = F::UpperRoman;
        else if (v == "lowerRoman") base.format = F::LowerRoman;
        else if (v == "upperLetter") base.format = F::UpperLetter;
        else if (v == "lowerLetter") base.format = F::LowerLetter;
        else if (v == "chicago") base.format = F::Chicago;
    }
    if (auto start = intAttr(notePr.child("w:numStart"), "w:val")) base.start = std::clamp(*start, 0, 32767);
    if (pugi::xml_node restart = notePr.child("w:numRestart")) {
        std::string_view v = attr(restart, "w:val");
        if (v == "eachSect") base.restart = model::NoteRestart::EachSection;
        else if (v == "eachPage") base.restart = model::NoteRestart::EachPage;
        else base.restart = model::NoteRestart::Continuous;
    }
    return base;
}

SectPr parseSectPr(pugi::xml_node sectPr) {
    SectPr s;
    model::SectionProps& p = s.props;
    for (pugi::xml_node n = sectPr.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        if (name == "pgSz") {
            if (auto w = twipsAttr(n, "w:w"); w && *w > 0) p.pageWidth = std::min(*w, 31680);
            if (auto h = twipsAttr(n, "w:h"); h && *h > 0) p.pageHeight = std::min(*h, 31680);
            p.landscape = std::string_view(attr(n, "w:orient")) == "landscape";
        } else if (name == "pgMar") {
            auto margin = [&](const char* a, model::Twips& into) {
                if (auto v = twipsAttr(n, a)) into = std::clamp(std::abs(*v), 0, 31680);
            };
            margin("w:top", p.marginTop);
            margin("w:bottom", p.marginBottom);
            margin("w:left", p.marginLeft);
            margin("w:right", p.marginRight);
            margin("w:header", p.headerDistance);
            margin("w:footer", p.footerDistance);
        } else if (name == "cols") {
            int count = 0;
            for (pugi::xml_node c = n.child("w:col"); c; c = c.next_sibling("w:col")) ++count;
            if (auto num = intAttr(n, "w:num")) p.columns = std::clamp(*num, 1, 45);
            else if (count > 0) p.columns = std::clamp(count, 1, 45);
            if (auto space = twipsAttr(n, "w:space")) p.columnSpacing = std::clamp(*space, 0, 31680);
        } else if (name == "type") {
            std::string_view v = attr(n, "w:val");
            using B = model::SectionBreak;
            if (v == "continuous") p.breakKind = B::Continuous;
            else if (v == "evenPage") p.breakKind = B::EvenPage;
            else if (v == "oddPage") p.breakKind = B::OddPage;
            else if (v == "nextColumn") p.breakKind = B::Column;
            else p.breakKind = B::NextPage;
        } else if (name == "pgNumType") {
            std::string_view fmt = attr(n, "w:fmt");
            using F = model::PageNumberFormat;
            if (fmt == "upperRoman") p.pageNumberFormat = F::UpperRoman;
            else if (fmt == "lowerRoman") p.pageNumberFormat = F::LowerRoman;
            else if (fmt == "upperLetter") p.pageNumberFormat = F::UpperLetter;
            else if (fmt == "lowerLetter") p.pageNumberFormat = F::LowerLetter;
            if (auto start = intAttr(n, "w:start")) p.pageNumberStart = std::clamp(*start, 0, 32767);
        } else if (name == "footnotePr") {
            s.footnotePr = n;
        } else if (name == "endnotePr") {
            s.endnotePr = n;
        } else if (name == "titlePg") {
            p.titlePage = onOff(n).value_or(false);
        } else if (name == "headerReference" || name == "footerReference") {
            HeaderRef ref;
            ref.footer = name == "footerReference";
            std::string_view type = attr(n, "w:type");
            if (type == "first") ref.kind = HeaderKind::First;
            else if (type == "even") ref.kind = HeaderKind::Even;
            ref.relId = attr(n, "r:id");
            s.refs.push_back(std::move(ref));
        }
    }
    return s;
}

}  // namespace orvane::docx
