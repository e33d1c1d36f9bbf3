#include "odt/OdtStyles.h"

#include <algorithm>
#include <cstring>

#include "encoding/Languages.h"
#include "odt/OdtXml.h"

namespace orvane::odt {

namespace {

template <class T>
void take(Opt<T>& base, const Opt<T>& over) {
    if (over) base = over;
}

bool named(pugi::xml_node node, const char* name) { return std::strcmp(node.name(), name) == 0; }

Opt<bool> boolValue(std::string_view v) {
    v = trim(v);
    if (v == "true") return true;
    if (v == "false") return false;
    return std::nullopt;
}

// fo:font-weight: "bold", "normal" or 100..900.
Opt<bool> weight(std::string_view v) {
    v = trim(v);
    if (v.empty()) return std::nullopt;
    if (v == "bold") return true;
    if (v == "normal") return false;
    if (auto n = parseInteger(v)) return *n >= 600;
    return std::nullopt;
}

Opt<bool> posture(std::string_view v) {
    v = trim(v);
    if (v == "italic" || v == "oblique") return true;
    if (v == "normal") return false;
    return std::nullopt;
}

// A font size: a length or a percentage of what lies below.
void fontSize(std::string_view v, Opt<int>& halfPoints, Opt<double>& percent) {
    if (v.empty()) return;
    if (auto pct = parsePercent(v)) {
        if (*pct > 0 && *pct <= 10000) {
            percent = *pct;
            halfPoints.reset();
        }
        return;
    }
    if (auto twips = parseLength(v)) {
        halfPoints = std::clamp((*twips + 5) / 10, 1, 3276);
        percent.reset();
    }
}

Opt<model::Underline> underline(pugi::xml_node p) {
    const std::string_view style = attr(p, "style:text-underline-style");
    const std::string_view type = attr(p, "style:text-underline-type");
    const std::string_view width = attr(p, "style:text-underline-width");
    const std::string_view mode = attr(p, "style:text-underline-mode");
    if (style.empty() && type.empty()) return std::nullopt;
    if (style == "none" || type == "none") return model::Underline::None;
    if (type == "double") return model::Underline::Double;
    if (style == "wave") return model::Underline::Wave;
    if (style == "dotted") return model::Underline::Dotted;
    if (style == "dash" || style == "long-dash") return model::Underline::Dash;
    if (style == "dot-dash") return model::Underline::DotDash;
    if (style == "dot-dot-dash") return model::Underline::DotDotDash;
    if (width == "bold" || width == "thick") return model::Underline::Thick;
    if (mode == "skip-white-space") return model::Underline::Words;
    return model::Underline::Single;
}

Opt<model::TabLeader> leader(std::string_view text, std::string_view style) {
    if (!text.empty()) {
        if (text == ".") return model::TabLeader::Dots;
        if (text == "-") return model::TabLeader::Hyphens;
        if (text == "_") return model::TabLeader::Underline;
        if (text == "=") return model::TabLeader::Equals;
        if (text == "\xC2\xB7") return model::TabLeader::MiddleDots;  // U+00B7
        if (text == " ") return model::TabLeader::None;
    }
    if (style.empty() || style == "none") return model::TabLeader::None;
    if (style == "dotted") return model::TabLeader::Dots;
    if (style == "solid") return model::TabLeader::Underline;
    if (style == "dash" || style == "long-dash" || style == "dot-dash" || style == "dot-dot-dash")
        return model::TabLeader::Hyphens;
    if (style == "wave") return model::TabLeader::ThickLine;
    return model::TabLeader::Dots;
}

std::vector<model::TabStop> tabStops(pugi::xml_node container) {
    std::vector<model::TabStop> stops;
    for (pugi::xml_node t = container.child("style:tab-stop"); t; t = t.next_sibling("style:tab-stop")) {
        auto position = lengthAttr(t, "style:position");
        if (!position) continue;
        model::TabStop stop;
        stop.position = std::clamp(*position, -31680, 31680 * 2);
        const std::string_view type = attr(t, "style:type");
        if (type == "center") stop.kind = model::TabKind::Center;
        else if (type == "right") stop.kind = model::TabKind::Right;
        else if (type == "char") stop.kind = model::TabKind::Decimal;
        stop.leader = leader(attr(t, "style:leader-text"), attr(t, "style:leader-style")).value_or(model::TabLeader::None);
        stops.push_back(stop);
        if (stops.size() >= 64) break;  // RTF readers keep no more than that
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const model::TabStop& a, const model::TabStop& b) { return a.position < b.position; });
    return stops;
}

// "#RRGGBB" or "transparent".
Opt<Opt<model::Rgb>> background(pugi::xml_node p) {
    const pugi::xml_attribute a = p.attribute("fo:background-color");
    if (!a) return std::nullopt;
    const std::string_view v = trim(a.value());
    if (v == "transparent") return Opt<model::Rgb>{};
    if (auto c = parseColor(v)) return Opt<model::Rgb>{*c};
    return std::nullopt;
}

// A border value ("0.5pt solid #000000", "none"): the line, or none when it
// says none or has no width; nullopt when it says nothing.
Opt<Opt<model::Border>> parseBorderValue(std::string_view v) {
    v = trim(v);
    if (v.empty()) return std::nullopt;
    if (v == "none" || v == "hidden" || v.find("none") != std::string_view::npos) return Opt<model::Border>{};
    model::Border b;
    bool widthSeen = false;
    std::size_t at = 0;
    while (at < v.size()) {
        while (at < v.size() && v[at] == ' ') ++at;
        std::size_t end = v.find(' ', at);
        if (end == std::string_view::npos) end = v.size();
        const std::string_view word = v.substr(at, end - at);
        at = end;
        if (word.empty()) continue;
        if (word.front() == '#') {
            b.color = parseColor(word);
        } else if (word == "solid") {
            b.style = model::BorderStyle::Single;
        } else if (word == "double") {
            b.style = model::BorderStyle::Double;
        } else if (word == "dotted") {
            b.style = model::BorderStyle::Dotted;
        } else if (word == "dashed") {
            b.style = model::BorderStyle::Dashed;
        } else if (word == "groove") {
            b.style = model::BorderStyle::Engrave;
        } else if (word == "ridge") {
            b.style = model::BorderStyle::Emboss;
        } else if (word == "inset") {
            b.style = model::BorderStyle::Inset;
        } else if (word == "outset") {
            b.style = model::BorderStyle::Outset;
        } else if (word == "thin") {
            b.width = 15, widthSeen = true;
        } else if (word == "medium") {
            b.width = 30, widthSeen = true;
        } else if (word == "thick") {
            b.width = 60, widthSeen = true;
        } else if (auto w = parseLength(word)) {
            b.width = std::clamp(*w, 0, 255);
            widthSeen = true;
        }
    }
    if (widthSeen && b.width == 0) return Opt<model::Border>{};
    // A double line's width is both lines and the gap: each line a third.
    if (b.style == model::BorderStyle::Double) b.width = std::max(1, b.width / 3);
    b.width = std::max(1, b.width);
    return Opt<model::Border>{b};
}

// fo:border and its sides, with fo:padding and its sides as each line's room
// to the text when `space` is set.
SideBorders parseSideBorders(pugi::xml_node p, bool space) {
    SideBorders sides;
    const auto all = parseBorderValue(attr(p, "fo:border"));
    const Opt<int> pad = space ? lengthAttr(p, "fo:padding") : Opt<int>{};
    static constexpr const char* kBorder[] = {"fo:border-top", "fo:border-left", "fo:border-bottom", "fo:border-right"};
    static constexpr const char* kPadding[] = {"fo:padding-top", "fo:padding-left", "fo:padding-bottom", "fo:padding-right"};
    for (std::size_t i = 0; i < 4; ++i) {
        auto side = parseBorderValue(attr(p, kBorder[i]));
        if (!side) side = all;
        if (side && *side && space) {
            const Opt<int> sidePad = lengthAttr(p, kPadding[i]);
            if (auto room = sidePad ? sidePad : pad) (*side)->space = std::clamp(*room, 0, 31 * 20);
        }
        sides[i] = side;
    }
    return sides;
}

Opt<bool> drawsBorder(std::string_view v) {
    const auto b = parseBorderValue(v);
    if (!b) return std::nullopt;
    return b->has_value();
}

// The colour of a border value ("0.06pt solid #000000"), or none for "none".
Opt<Opt<model::Rgb>> borderColor(pugi::xml_node p) {
    Opt<Opt<model::Rgb>> result;
    for (const char* name : {"fo:border", "fo:border-left", "fo:border-right", "fo:border-top", "fo:border-bottom"}) {
        const std::string_view v = trim(attr(p, name));
        if (v.empty()) continue;
        if (!drawsBorder(v).value_or(false)) {
            if (!result) result = Opt<model::Rgb>{};
            continue;
        }
        Opt<model::Rgb> color = model::Rgb{0};
        const auto hash = v.find('#');
        if (hash != std::string_view::npos) {
            if (auto c = parseColor(v.substr(hash, 7))) color = *c;
        }
        return Opt<Opt<model::Rgb>>{color};
    }
    return result;
}

GraphicPr parseGraphicPr(pugi::xml_node p) {
    GraphicPr g;
    if (!p) return g;
    if (const pugi::xml_attribute a = p.attribute("style:wrap")) g.wrap = a.value();
    if (const pugi::xml_attribute a = p.attribute("style:run-through")) g.background = std::string_view(a.value()) == "background";
    if (const pugi::xml_attribute a = p.attribute("style:wrap-contour")) g.contour = boolValue(a.value());
    if (const pugi::xml_attribute a = p.attribute("style:horizontal-pos")) g.horizontalPos = a.value();
    if (const pugi::xml_attribute a = p.attribute("style:horizontal-rel")) g.horizontalRel = a.value();
    if (const pugi::xml_attribute a = p.attribute("style:vertical-pos")) g.verticalPos = a.value();
    if (const pugi::xml_attribute a = p.attribute("style:vertical-rel")) g.verticalRel = a.value();
    g.border = borderColor(p);
    const std::string_view fill = attr(p, "draw:fill");
    if (fill == "none") {
        g.fill = Opt<model::Rgb>{};
    } else if (fill == "solid") {
        if (auto c = parseColor(attr(p, "draw:fill-color"))) g.fill = Opt<model::Rgb>{*c};
    }
    if (auto bg = background(p); bg && !g.fill) g.fill = bg;
    return g;
}

Opt<model::NoteNumberFormat> noteFormat(std::string_view v) {
    if (v == "1") return model::NoteNumberFormat::Decimal;
    if (v == "i") return model::NoteNumberFormat::LowerRoman;
    if (v == "I") return model::NoteNumberFormat::UpperRoman;
    if (v == "a") return model::NoteNumberFormat::LowerLetter;
    if (v == "A") return model::NoteNumberFormat::UpperLetter;
    return std::nullopt;
}

Opt<model::PageNumberFormat> pageNumberFormat(std::string_view v) {
    if (v == "1") return model::PageNumberFormat::Decimal;
    if (v == "i") return model::PageNumberFormat::LowerRoman;
    if (v == "I") return model::PageNumberFormat::UpperRoman;
    if (v == "a") return model::PageNumberFormat::LowerLetter;
    if (v == "A") return model::PageNumberFormat::UpperLetter;
    return std::nullopt;
}

void parseMargins(pugi::xml_node p, Opt<int>& left, Opt<int>& right, Opt<int>& top, Opt<int>& bottom) {
    if (auto all = lengthAttr(p, "fo:margin")) left = right = top = bottom = *all;
    if (auto v = lengthAttr(p, "fo:margin-left")) left = v;
    if (auto v = lengthAttr(p, "fo:margin-right")) right = v;
    if (auto v = lengthAttr(p, "fo:margin-top")) top = v;
    if (auto v = lengthAttr(p, "fo:margin-bottom")) bottom = v;
}

void parseListLevelProps(pugi::xml_node level, ListLevelDef& def) {
    const pugi::xml_node props = level.child("style:list-level-properties");
    if (props) {
        def.spaceBefore = lengthAttr(props, "text:space-before").value_or(0);
        def.minLabelWidth = std::max(0, lengthAttr(props, "text:min-label-width").value_or(0));
        if (attr(props, "text:list-level-position-and-space-mode") == "label-alignment") {
            def.labelAlignment = true;
            const pugi::xml_node align = props.child("style:list-level-label-alignment");
            def.marginLeft = lengthAttr(align, "fo:margin-left").value_or(0);
            def.textIndent = lengthAttr(align, "fo:text-indent").value_or(0);
        }
    }
    const pugi::xml_node text = level.child("style:text-properties");
    if (text) {
        if (const pugi::xml_attribute a = text.attribute("style:font-name")) def.font = a.value();
        else if (const pugi::xml_attribute f = text.attribute("fo:font-family")) def.font = firstFamilyName(f.value());
    }
    def.textStyle = attr(level, "text:style-name");
}

void parseNumberLevel(pugi::xml_node level, ListLevelDef& def) {
    def.kind = LevelKind::Number;
    def.numFormat = attr(level, "style:num-format");
    def.prefix = attr(level, "style:num-prefix");
    def.suffix = attr(level, "style:num-suffix");
    if (const pugi::xml_attribute f = level.attribute("loext:num-list-format")) def.listFormat = f.value();
    if (auto d = parseInteger(attr(level, "text:display-levels"))) def.displayLevels = static_cast<int>(std::clamp(*d, 1LL, 10LL));
    if (auto s = parseInteger(attr(level, "text:start-value"))) def.start = static_cast<int>(std::clamp(*s, 0LL, 32767LL));
}

}  // namespace

Family parseFamily(std::string_view name) {
    if (name == "paragraph") return Family::Paragraph;
    if (name == "text") return Family::Text;
    if (name == "table") return Family::Table;
    if (name == "table-column") return Family::TableColumn;
    if (name == "table-row") return Family::TableRow;
    if (name == "table-cell") return Family::TableCell;
    if (name == "section") return Family::Section;
    if (name == "graphic") return Family::Graphic;
    return Family::Other;
}

std::string firstFamilyName(std::string_view families) {
    std::string_view s = trim(families);
    if (!s.empty() && (s.front() == '\'' || s.front() == '"')) {
        const char quote = s.front();
        const auto end = s.find(quote, 1);
        return std::string(s.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
    }
    const auto comma = s.find(',');
    return std::string(trim(s.substr(0, comma)));
}

TextPr parseTextPr(pugi::xml_node p) {
    TextPr t;
    if (!p) return t;
    if (const pugi::xml_attribute a = p.attribute("style:font-name")) t.font = a.value();
    else if (const pugi::xml_attribute f = p.attribute("fo:font-family")) t.font = firstFamilyName(f.value());
    if (const pugi::xml_attribute a = p.attribute("style:font-name-asian")) t.fontAsian = a.value();
    else if (const pugi::xml_attribute f = p.attribute("style:font-family-asian")) t.fontAsian = firstFamilyName(f.value());
    if (const pugi::xml_attribute a = p.attribute("style:font-name-complex")) t.fontComplex = a.value();
    else if (const pugi::xml_attribute f = p.attribute("style:font-family-complex")) t.fontComplex = firstFamilyName(f.value());
    fontSize(attr(p, "fo:font-size"), t.sizeHalfPoints, t.sizePercent);
    t.bold = weight(attr(p, "fo:font-weight"));
    t.italic = posture(attr(p, "fo:font-style"));
    t.underline = underline(p);
    {
        const std::string_view style = attr(p, "style:text-line-through-style");
        const std::string_view type = attr(p, "style:text-line-through-type");
        if (!style.empty() || !type.empty()) {
            const bool on = style != "none" && type != "none";
            t.strike = on && type != "double";
            t.doubleStrike = on && type == "double";
        }
    }
    if (boolValue(attr(p, "style:use-window-font-color")).value_or(false)) {
        t.color = Opt<model::Rgb>{};
    } else if (auto c = parseColor(attr(p, "fo:color"))) {
        t.color = Opt<model::Rgb>{*c};
    }
    t.background = background(p);
    if (const pugi::xml_attribute a = p.attribute("style:text-position")) {
        std::string_view v = trim(a.value());
        const std::string_view first = v.substr(0, v.find(' '));
        if (first == "super") t.position = model::VerticalAlign::Superscript;
        else if (first == "sub") t.position = model::VerticalAlign::Subscript;
        else if (auto pct = parsePercent(first)) {
            t.position = *pct > 0 ? model::VerticalAlign::Superscript
                                  : (*pct < 0 ? model::VerticalAlign::Subscript : model::VerticalAlign::Baseline);
        }
    }
    {
        const std::string_view v = attr(p, "fo:text-transform");
        if (v == "uppercase") t.caps = true;
        else if (v == "none" || v == "lowercase" || v == "capitalize") t.caps = false;
    }
    {
        const std::string_view v = attr(p, "fo:font-variant");
        if (v == "small-caps") t.smallCaps = true;
        else if (v == "normal") t.smallCaps = false;
    }
    {
        const std::string_view v = attr(p, "text:display");
        if (v == "none") t.hidden = true;
        else if (v == "true") t.hidden = false;
    }
    if (const pugi::xml_attribute a = p.attribute("fo:letter-spacing")) {
        if (trim(a.value()) == "normal") t.spacing = 0;
        else if (auto l = parseLength(a.value())) t.spacing = std::clamp(*l, -2000, 2000);
    }
    if (const pugi::xml_attribute a = p.attribute("fo:language")) {
        const std::string_view language = trim(a.value());
        if (language == "zxx" || language == "none") {
            t.lang = 0;
        } else {
            std::string tag(language);
            const std::string_view country = trim(attr(p, "fo:country"));
            if (!country.empty() && country != "none") tag += "-" + std::string(country);
            t.lang = encoding::languageId(tag);
        }
    }
    return t;
}

ParaPr parseParaPr(pugi::xml_node p) {
    ParaPr r;
    if (!p) return r;
    {
        const std::string_view v = trim(attr(p, "fo:text-align"));
        if (v == "start") r.align = Align::Start;
        else if (v == "end") r.align = Align::End;
        else if (v == "left") r.align = Align::Left;
        else if (v == "right") r.align = Align::Right;
        else if (v == "center") r.align = Align::Center;
        else if (v == "justify") r.align = Align::Justify;
    }
    parseMargins(p, r.left, r.right, r.before, r.after);
    if (auto v = lengthAttr(p, "fo:text-indent")) r.firstLine = v;
    if (const pugi::xml_attribute a = p.attribute("fo:line-height")) {
        const std::string_view v = trim(a.value());
        if (v == "normal") {
            r.lineSpacing = 240;
            r.lineRule = model::LineRule::Auto;
        } else if (auto pct = parsePercent(v)) {
            r.lineSpacing = static_cast<int>(std::clamp(*pct * 2.4, 24.0, 2400.0));
            r.lineRule = model::LineRule::Auto;
        } else if (auto l = parseLength(v)) {
            r.lineSpacing = std::clamp(*l, 1, 31680);
            r.lineRule = model::LineRule::Exact;
        }
    }
    if (auto l = lengthAttr(p, "style:line-height-at-least")) {
        r.lineSpacing = std::clamp(*l, 0, 31680);
        r.lineRule = model::LineRule::AtLeast;
    }
    {
        const std::string_view v = attr(p, "fo:keep-with-next");
        if (v == "always") r.keepNext = true;
        else if (v == "auto") r.keepNext = false;
    }
    {
        const std::string_view v = attr(p, "style:contextual-spacing");
        if (v == "true") r.contextualSpacing = true;
        else if (v == "false") r.contextualSpacing = false;
    }
    {
        const std::string_view v = attr(p, "fo:keep-together");
        if (v == "always") r.keepLines = true;
        else if (v == "auto") r.keepLines = false;
    }
    if (auto w = parseInteger(attr(p, "fo:widows"))) r.widowControl = *w > 0;
    else if (auto o = parseInteger(attr(p, "fo:orphans"))) r.widowControl = *o > 0;
    {
        const std::string_view v = attr(p, "style:writing-mode");
        if (v == "rl-tb" || v == "rl") r.rtl = true;
        else if (v == "lr-tb" || v == "lr") r.rtl = false;
    }
    {
        const std::string_view v = attr(p, "fo:break-before");
        if (!v.empty()) {
            r.breakBeforePage = v == "page";
            r.breakBeforeColumn = v == "column";
        }
        const std::string_view after = attr(p, "fo:break-after");
        if (!after.empty()) {
            r.breakAfterPage = after == "page";
            r.breakAfterColumn = after == "column";
        }
    }
    if (const pugi::xml_node tabs = p.child("style:tab-stops")) r.tabs = tabStops(tabs);
    r.background = background(p);
    r.borders = parseSideBorders(p, true);
    if (auto n = parseInteger(attr(p, "style:page-number"))) r.pageNumber = static_cast<int>(std::clamp(*n, 0LL, 32767LL));
    return r;
}

ListStyleDef parseListStyle(pugi::xml_node listStyle) {
    ListStyleDef def;
    def.name = attr(listStyle, "style:name");
    def.outline = named(listStyle, "text:outline-style");
    for (pugi::xml_node level = listStyle.first_child(); level; level = level.next_sibling()) {
        if (level.type() != pugi::node_element) continue;
        const auto index = parseInteger(attr(level, "text:level"));
        if (!index || *index < 1 || *index > 10) continue;
        ListLevelDef& d = def.levels[static_cast<std::size_t>(*index - 1)];
        d = ListLevelDef{};
        if (named(level, "text:list-level-style-number") || named(level, "text:outline-level-style")) {
            parseNumberLevel(level, d);
        } else if (named(level, "text:list-level-style-bullet")) {
            d.kind = LevelKind::Bullet;
            d.bullet = attr(level, "text:bullet-char");
            d.prefix = attr(level, "style:num-prefix");
            d.suffix = attr(level, "style:num-suffix");
        } else if (named(level, "text:list-level-style-image")) {
            d.kind = LevelKind::Image;
        } else {
            continue;
        }
        parseListLevelProps(level, d);
        d.defined = true;
    }
    return def;
}

void mergeTextPr(TextPr& b, const TextPr& o) {
    take(b.font, o.font);
    take(b.fontAsian, o.fontAsian);
    take(b.fontComplex, o.fontComplex);
    if (o.sizeHalfPoints) {
        b.sizeHalfPoints = o.sizeHalfPoints;
        b.sizePercent.reset();
    } else if (o.sizePercent) {
        // A percentage on top of a known size is that size scaled.
        if (b.sizeHalfPoints) {
            b.sizeHalfPoints = std::clamp(static_cast<int>(*b.sizeHalfPoints * *o.sizePercent / 100.0 + 0.5), 1, 3276);
        } else {
            b.sizePercent = b.sizePercent.value_or(100.0) * *o.sizePercent / 100.0;
        }
    }
    take(b.bold, o.bold);
    take(b.italic, o.italic);
    take(b.underline, o.underline);
    take(b.strike, o.strike);
    take(b.doubleStrike, o.doubleStrike);
    take(b.color, o.color);
    take(b.background, o.background);
    take(b.position, o.position);
    take(b.caps, o.caps);
    take(b.smallCaps, o.smallCaps);
    take(b.hidden, o.hidden);
    take(b.spacing, o.spacing);
    take(b.lang, o.lang);
}

void mergeParaPr(ParaPr& b, const ParaPr& o) {
    take(b.align, o.align);
    take(b.left, o.left);
    take(b.right, o.right);
    take(b.firstLine, o.firstLine);
    take(b.before, o.before);
    take(b.after, o.after);
    if (o.lineRule) {
        b.lineRule = o.lineRule;
        b.lineSpacing = o.lineSpacing;
    }
    take(b.keepNext, o.keepNext);
    take(b.contextualSpacing, o.contextualSpacing);
    take(b.keepLines, o.keepLines);
    take(b.widowControl, o.widowControl);
    take(b.rtl, o.rtl);
    take(b.breakBeforePage, o.breakBeforePage);
    take(b.breakBeforeColumn, o.breakBeforeColumn);
    take(b.breakAfterPage, o.breakAfterPage);
    take(b.breakAfterColumn, o.breakAfterColumn);
    take(b.tabs, o.tabs);
    take(b.background, o.background);
    take(b.pageNumber, o.pageNumber);
    for (std::size_t i = 0; i < b.borders.size(); ++i) take(b.borders[i], o.borders[i]);
}

void mergeGraphicPr(GraphicPr& b, const GraphicPr& o) {
    take(b.wrap, o.wrap);
    take(b.background, o.background);
    take(b.contour, o.contour);
    take(b.horizontalPos, o.horizontalPos);
    take(b.horizontalRel, o.horizontalRel);
    take(b.verticalPos, o.verticalPos);
    take(b.verticalRel, o.verticalRel);
    take(b.border, o.border);
    take(b.fill, o.fill);
}

void parseFontFaces(pugi::xml_node decls, std::map<std::string, model::Font>& fonts) {
    for (pugi::xml_node f = decls.child("style:font-face"); f; f = f.next_sibling("style:font-face")) {
        const std::string name(attr(f, "style:name"));
        if (name.empty()) continue;
        model::Font font;
        font.name = firstFamilyName(attr(f, "svg:font-family"));
        if (font.name.empty()) font.name = name;
        const std::string_view generic = attr(f, "style:font-family-generic");
        if (generic == "roman") font.family = model::FontFamily::Roman;
        else if (generic == "swiss") font.family = model::FontFamily::Swiss;
        else if (generic == "modern") font.family = model::FontFamily::Modern;
        else if (generic == "script") font.family = model::FontFamily::Script;
        else if (generic == "decorative") font.family = model::FontFamily::Decor;
        const std::string_view pitch = attr(f, "style:font-pitch");
        font.pitch = pitch == "fixed" ? 1 : (pitch == "variable" ? 2 : 0);
        if (attr(f, "style:font-charset") == "x-symbol") font.charset = 2;
        fonts.emplace(name, std::move(font));
    }
}

void parseStyles(pugi::xml_node container, StyleSheet& sheet) {
    for (pugi::xml_node s = container.first_child(); s; s = s.next_sibling()) {
        if (s.type() != pugi::node_element) continue;
        const bool isDefault = named(s, "style:default-style");
        if (named(s, "style:style") || isDefault) {
            StyleDef def;
            def.name = attr(s, "style:name");
            def.displayName = attr(s, "style:display-name");
            def.family = parseFamily(attr(s, "style:family"));
            def.parent = attr(s, "style:parent-style-name");
            def.next = attr(s, "style:next-style-name");
            if (const pugi::xml_attribute a = s.attribute("style:list-style-name")) {
                def.listStyle = a.value();
                def.hasListStyle = true;
            }
            if (const pugi::xml_attribute a = s.attribute("style:master-page-name")) {
                def.masterPage = a.value();
                def.hasMasterPage = true;
            }
            if (auto level = parseInteger(attr(s, "style:default-outline-level")))
                def.outlineLevel = static_cast<int>(std::clamp(*level, 0LL, 10LL));
            def.text = parseTextPr(s.child("style:text-properties"));
            def.para = parseParaPr(s.child("style:paragraph-properties"));
            if (const pugi::xml_node t = s.child("style:table-properties")) {
                def.table.width = lengthAttr(t, "style:width");
                def.table.relWidth = parsePercent(attr(t, "style:rel-width"));
                const std::string_view align = attr(t, "table:align");
                if (align == "center") def.table.align = model::Alignment::Center;
                else if (align == "right") def.table.align = model::Alignment::Right;
                else if (align == "left" || align == "margins") def.table.align = model::Alignment::Left;
                def.table.marginLeft = lengthAttr(t, "fo:margin-left");
                def.table.background = background(t);
            }
            if (const pugi::xml_node c = s.child("style:table-column-properties")) {
                def.column.width = lengthAttr(c, "style:column-width");
                std::string_view rel = trim(attr(c, "style:rel-column-width"));
                if (!rel.empty() && rel.back() == '*') rel.remove_suffix(1);
                if (auto v = parseNumber(rel); v && *v > 0) def.column.relWidth = *v;
            }
            if (const pugi::xml_node r = s.child("style:table-row-properties")) {
                def.row.height = lengthAttr(r, "style:row-height");
                def.row.minHeight = lengthAttr(r, "style:min-row-height");
                def.row.background = background(r);
            }
            if (const pugi::xml_node c = s.child("style:table-cell-properties")) {
                def.cell.background = background(c);
                const std::string_view v = attr(c, "style:vertical-align");
                if (v == "top") def.cell.valign = model::CellVAlign::Top;
                else if (v == "middle") def.cell.valign = model::CellVAlign::Center;
                else if (v == "bottom") def.cell.valign = model::CellVAlign::Bottom;
                def.cell.borders = parseSideBorders(c, false);
                static constexpr const char* kPadding[] = {"fo:padding-top", "fo:padding-left", "fo:padding-bottom",
                                                           "fo:padding-right"};
                const Opt<int> pad = lengthAttr(c, "fo:padding");
                for (std::size_t i = 0; i < 4; ++i) {
                    const Opt<int> side = lengthAttr(c, kPadding[i]);
                    def.cell.padding[i] = side ? side : pad;
                }
            }
            def.graphic = parseGraphicPr(s.child("style:graphic-properties"));
            if (const pugi::xml_node sp = s.child("style:section-properties")) {
                if (const pugi::xml_node cols = sp.child("style:columns")) {
                    if (auto n = parseInteger(attr(cols, "fo:column-count")))
                        def.section.columns = static_cast<int>(std::clamp(*n, 1LL, 20LL));
                    def.section.columnGap = lengthAttr(cols, "fo:column-gap");
                }
            }
            if (isDefault) {
                sheet.defaults[def.family] = std::move(def);
            } else if (!def.name.empty()) {
                const auto key = std::make_pair(def.family, def.name);
                if (!sheet.styles.count(key)) sheet.orderFamilies.push_back(key);
                sheet.styles[key] = std::move(def);
            }
        } else if (named(s, "text:list-style")) {
            ListStyleDef def = parseListStyle(s);
            if (!def.name.empty()) sheet.lists[def.name] = std::move(def);
        } else if (named(s, "text:notes-configuration")) {
            const bool endnotes = attr(s, "text:note-class") == "endnote";
            model::NoteNumbering n;
            if (endnotes) n.format = model::NoteNumberFormat::LowerRoman;
            if (auto f = noteFormat(attr(s, "style:num-format"))) n.format = *f;
            // Counted from zero: 0 is the first note's number 1.
            if (auto start = parseInteger(attr(s, "text:start-value")))
                n.start = static_cast<int>(std::clamp(*start + 1, 1LL, 32767LL));
            const std::string_view at = attr(s, "text:start-numbering-at");
            if (at == "chapter") n.restart = model::NoteRestart::EachSection;
            else if (at == "page" && !endnotes) n.restart = model::NoteRestart::EachPage;
            const std::string_view position = attr(s, "text:footnotes-position");
            if (endnotes) {
                sheet.endnotes = n;
                if (position == "section") sheet.endnotesPerSection = true;
            } else {
                sheet.footnotes = n;
                if (position == "text") sheet.footnotesBeneathText = true;
            }
        } else if (named(s, "text:outline-style")) {
            sheet.outline = parseListStyle(s);
        } else if (named(s, "style:page-layout")) {
            PageLayoutDef def;
            const pugi::xml_node p = s.child("style:page-layout-properties");
            def.width = lengthAttr(p, "fo:page-width");
            def.height = lengthAttr(p, "fo:page-height");
            const std::string_view orientation = attr(p, "style:print-orientation");
            if (orientation == "landscape") def.landscape = true;
            else if (orientation == "portrait") def.landscape = false;
            parseMargins(p, def.marginLeft, def.marginRight, def.marginTop, def.marginBottom);
            if (const pugi::xml_node cols = p.child("style:columns")) {
                if (auto n = parseInteger(attr(cols, "fo:column-count")))
                    def.columns = static_cast<int>(std::clamp(*n, 1LL, 20LL));
                def.columnGap = lengthAttr(cols, "fo:column-gap");
            }
            def.numberFormat = pageNumberFormat(attr(p, "style:num-format"));
            const auto area = [](pugi::xml_node style, Opt<int>& height, Opt<int>& spacing, const char* spacingName) {
                const pugi::xml_node hf = style.child("style:header-footer-properties");
                if (!hf) return;
                height = lengthAttr(hf, "fo:min-height");
                if (!height) height = lengthAttr(hf, "svg:height");
                spacing = lengthAttr(hf, spacingName);
            };
            area(s.child("style:header-style"), def.headerHeight, def.headerSpacing, "fo:margin-bottom");
            area(s.child("style:footer-style"), def.footerHeight, def.footerSpacing, "fo:margin-top");
            sheet.pageLayouts[std::string(attr(s, "style:name"))] = std::move(def);
        }
    }
}

void parseMasterPages(pugi::xml_node container, std::vector<MasterPageDef>& out) {
    for (pugi::xml_node m = container.child("style:master-page"); m; m = m.next_sibling("style:master-page")) {
        MasterPageDef def;
        def.name = attr(m, "style:name");
        def.pageLayout = attr(m, "style:page-layout-name");
        def.next = attr(m, "style:next-style-name");
        const auto shown = [](pugi::xml_node n) {
            return n && attr(n, "style:display") != "false" ? n : pugi::xml_node();
        };
        def.header = shown(m.child("style:header"));
        def.headerLeft = shown(m.child("style:header-left"));
        def.headerFirst = shown(m.child("style:header-first"));
        if (!def.headerFirst) def.headerFirst = shown(m.child("loext:header-first"));
        def.footer = shown(m.child("style:footer"));
        def.footerLeft = shown(m.child("style:footer-left"));
        def.footerFirst = shown(m.child("style:footer-first"));
        if (!def.footerFirst) def.footerFirst = shown(m.child("loext:footer-first"));
        out.push_back(std::move(def));
    }
}

}  // namespace orvane::odt
