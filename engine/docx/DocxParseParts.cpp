// Whole definition parts (styles, numbering, fonts, theme, settings, core
// properties) into their mirror structures.
#include <algorithm>

#include "docx/DocxParse.h"

namespace orvane::docx {

namespace {

std::string_view wName(pugi::xml_node n) {
    const char* name = n.name();
    if (name[0] == 'w' && name[1] == ':') return std::string_view(name + 2);
    return {};
}

Opt<model::NumberFormat> numberFormat(std::string_view v) {
    using F = model::NumberFormat;
    if (v == "decimal" || v == "decimalZero" || v == "decimalEnclosedCircle" ||
        v == "decimalEnclosedFullstop" || v == "decimalEnclosedParen" || v == "decimalFullWidth" ||
        v == "decimalHalfWidth" || v == "cardinalText")
        return F::Decimal;
    if (v == "upperRoman") return F::UpperRoman;
    if (v == "lowerRoman") return F::LowerRoman;
    if (v == "upperLetter") return F::UpperLetter;
    if (v == "lowerLetter") return F::LowerLetter;
    if (v == "ordinal" || v == "ordinalText") return F::Ordinal;
    if (v == "bullet") return F::Bullet;
    if (v == "none") return F::None;
    if (v.empty()) return std::nullopt;
    return F::Decimal;  // other scripts' numerals: the number still shows
}

LevelDef parseLevel(pugi::xml_node lvl, ParseContext& ctx) {
    LevelDef d;
    d.present = true;
    for (pugi::xml_node n = lvl.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        if (name == "start") {
            if (auto v = intAttr(n, "w:val")) d.start = std::clamp(*v, 0, 32767);
        } else if (name == "numFmt") {
            d.format = numberFormat(attr(n, "w:val"));
        } else if (name == "lvlText") {
            d.text = attr(n, "w:val");
        } else if (name == "lvlPicBulletId") {
            // A picture bullet: shown as a plain bullet.
            d.format = model::NumberFormat::Bullet;
            d.text = "\xE2\x80\xA2";
        } else if (name == "pStyle") {
            d.pStyle = attr(n, "w:val");
        } else if (name == "pPr") {
            d.pPr = parseParaPr(n);
        } else if (name == "rPr") {
            d.rPr = parseRunPr(n, ctx);
        }
    }
    return d;
}

TableRegion regionOf(std::string_view type) {
    if (type == "firstRow") return TableRegion::FirstRow;
    if (type == "lastRow") return TableRegion::LastRow;
    if (type == "firstCol") return TableRegion::FirstColumn;
    if (type == "lastCol") return TableRegion::LastColumn;
    return TableRegion::Count;
}

std::string childVal(pugi::xml_node parent, const char* child) {
    return parent.child(child).attribute("w:val").value();
}

}  // namespace

void parseStyles(const xml::Part& part, ParseContext& ctx, StylesDef& out) {
    pugi::xml_node root = part.root();
    if (pugi::xml_node defaults = root.child("w:docDefaults")) {
        if (pugi::xml_node rPr = defaults.child("w:rPrDefault").child("w:rPr"))
            out.defaultRun = parseRunPr(rPr, ctx);
        if (pugi::xml_node pPr = defaults.child("w:pPrDefault").child("w:pPr"))
            out.defaultPara = parseParaPr(pPr);
    }
    // Styles are large: reserve once rather than move them all on growth.
    std::size_t count = 0;
    for (pugi::xml_node s = root.child("w:style"); s; s = s.next_sibling("w:style")) ++count;
    out.styles.reserve(out.styles.size() + count);
    for (pugi::xml_node s = root.child("w:style"); s; s = s.next_sibling("w:style")) {
        const std::string_view id = attr(s, "w:styleId");
        if (id.empty() || out.byId.count(std::string(id))) continue;
        StyleDef& d = out.styles.emplace_back();  // filled in place: a style is large to move
        d.id = id;
        std::string_view type = attr(s, "w:type");
        if (type == "character") d.type = model::StyleType::Character;
        else if (type == "table") d.type = model::StyleType::Table;
        else if (type == "numbering") d.numbering = true;
        else d.type = model::StyleType::Paragraph;
        d.isDefault = parseOnOff(attr(s, "w:default")).value_or(false);
        for (pugi::xml_node n = s.first_child(); n; n = n.next_sibling()) {
            const std::string_view name = wName(n);
            if (name == "name") {
                d.name = attr(n, "w:val");
            } else if (name == "basedOn") {
                d.basedOn = attr(n, "w:val");
            } else if (name == "next") {
                d.next = attr(n, "w:val");
            } else if (name == "pPr") {
                d.pPr = parseParaPr(n);
            } else if (name == "rPr") {
                d.rPr = parseRunPr(n, ctx);
            } else if (name == "tblPr") {
                d.tblPr = parseTablePr(n);
            } else if (name == "tcPr" && d.type == model::StyleType::Table) {
                // Cell properties of the whole table: kept as the table region.
                CellPr c = parseCellPr(n);
                auto& whole = d.regions[static_cast<int>(TableRegion::WholeTable)];
                whole.present = true;
                whole.cellShading = c.shading;
                whole.cellBorders = c.borders;
            } else if (name == "tblStylePr") {
                const TableRegion region = regionOf(attr(n, "w:type"));
                if (region == TableRegion::Count) continue;
                TableRegionPr& r = d.regions[static_cast<int>(region)];
                r.present = true;
                if (pugi::xml_node pPr = n.child("w:pPr")) r.pPr = parseParaPr(pPr);
                if (pugi::xml_node rPr = n.child("w:rPr")) r.rPr = parseRunPr(rPr, ctx);
                if (pugi::xml_node tcPr = n.child("w:tcPr")) {
                    CellPr c = parseCellPr(tcPr);
                    r.cellShading = c.shading;
                    r.cellBorders = c.borders;
                }
            }
        }
        if (d.name.empty()) d.name = d.id;
        const int index = static_cast<int>(out.styles.size()) - 1;
        if (d.isDefault && !d.numbering) {
            Opt<int>* slot = d.type == model::StyleType::Paragraph   ? &out.defaultParagraph
                             : d.type == model::StyleType::Character ? &out.defaultCharacter
                                                                     : &out.defaultTable;
            if (!*slot) *slot = index;
        }
        out.byId.emplace(d.id, index);
    }
}

void parseNumbering(const xml::Part& part, ParseContext& ctx, NumberingDef& out) {
    pugi::xml_node root = part.root();
    for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = wName(n);
        if (name == "abstractNum") {
            auto id = intAttr(n, "w:abstractNumId");
            if (!id || out.abstracts.count(*id)) continue;
            AbstractNumDef a;
            for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
                const std::string_view cname = wName(c);
                if (cname == "lvl") {
                    auto ilvl = intAttr(c, "w:ilvl");
                    if (!ilvl || *ilvl < 0 || *ilvl > 8) continue;
                    a.levels[static_cast<std::size_t>(*ilvl)] = parseLevel(c, ctx);
                } else if (cname == "numStyleLink") {
                    a.numStyleLink = attr(c, "w:val");
                }
            }
            out.abstracts.emplace(*id, std::move(a));
        } else if (name == "num") {
            auto numId = intAttr(n, "w:numId");
            if (!numId) continue;
            NumDef d;
            d.abstractId = intAttr(n.child("w:abstractNumId"), "w:val").value_or(-1);
            for (pugi::xml_node o = n.child("w:lvlOverride"); o; o = o.next_sibling("w:lvlOverride")) {
                auto ilvl = intAttr(o, "w:ilvl");
                if (!ilvl || *ilvl < 0 || *ilvl > 8) continue;
                const auto level = static_cast<std::size_t>(*ilvl);
                if (pugi::xml_node start = o.child("w:startOverride"))
                    d.startOverride[level] = intAttr(start, "w:val");
                if (pugi::xml_node lvl = o.child("w:lvl")) d.levelOverride[level] = parseLevel(lvl, ctx);
            }
            out.nums.emplace_back(*numId, std::move(d));
        }
    }
}

void parseFontTable(const xml::Part& part, FontRegistry& fonts) {
    for (pugi::xml_node f = part.root().child("w:font"); f; f = f.next_sibling("w:font")) {
        model::Font font;
        font.name = attr(f, "w:name");
        if (font.name.empty()) continue;
        font.altName = childVal(f, "w:altName");
        if (pugi::xml_node cs = f.child("w:charset")) {
            if (auto v = parseHex(attr(cs, "w:val"))) font.charset = static_cast<int>(*v & 0xFF);
        }
        std::string family = childVal(f, "w:family");
        using FF = model::FontFamily;
        if (family == "roman") font.family = FF::Roman;
        else if (family == "swiss") font.family = FF::Swiss;
        else if (family == "modern") font.family = FF::Modern;
        else if (family == "script") font.family = FF::Script;
        else if (family == "decorative") font.family = FF::Decor;
        std::string pitch = childVal(f, "w:pitch");
        if (pitch == "fixed") font.pitch = 1;
        else if (pitch == "variable") font.pitch = 2;
        fonts.declare(std::move(font));
    }
}

namespace {

// The script a language is written in, as themes name it.
std::string_view scriptForLanguage(std::string_view lang) {
    auto starts = [&](std::string_view p) { return lang.substr(0, p.size()) == p; };
    if (starts("ja")) return "Jpan";
    if (starts("zh-TW") || starts("zh-HK") || starts("zh-MO")) return "Hant";
    if (starts("zh")) return "Hans";
    if (starts("ko")) return "Hang";
    if (starts("ar") || starts("fa") || starts("ur")) return "Arab";
    if (starts("he") || starts("yi")) return "Hebr";
    if (starts("th")) return "Thai";
    return {};
}

void readThemeFont(pugi::xml_node font, const Settings& settings, std::string& latin,
                   std::string& eastAsia, std::string& bidi) {
    latin = font.child("a:latin").attribute("typeface").value();
    eastAsia = font.child("a:ea").attribute("typeface").value();
    bidi = font.child("a:cs").attribute("typeface").value();
    const std::string_view eaScript = scriptForLanguage(settings.themeLangEastAsia);
    const std::string_view bidiScript = scriptForLanguage(settings.themeLangBidi);
    for (pugi::xml_node f = font.child("a:font"); f; f = f.next_sibling("a:font")) {
        std::string_view script = f.attribute("script").value();
        if (eastAsia.empty() && !eaScript.empty() && script == eaScript)
            eastAsia = f.attribute("typeface").value();
        if (bidi.empty() && !bidiScript.empty() && script == bidiScript)
            bidi = f.attribute("typeface").value();
    }
}

}  // namespace

ThemeFonts parseTheme(const xml::Part& part, const Settings& settings) {
    ThemeFonts t;
    pugi::xml_node scheme = part.root().child("a:themeElements").child("a:fontScheme");
    readThemeFont(scheme.child("a:majorFont"), settings, t.majorLatin, t.majorEastAsia, t.majorBidi);
    readThemeFont(scheme.child("a:minorFont"), settings, t.minorLatin, t.minorEastAsia, t.minorBidi);
    return t;
}

Settings parseSettings(const xml::Part& part) {
    Settings s;
    pugi::xml_node root = part.root();
    s.evenAndOddHeaders = onOff(root.child("w:evenAndOddHeaders")).value_or(false);
    if (auto tab = twipsAttr(root.child("w:defaultTabStop"), "w:val"); tab && *tab > 0) s.defaultTab = *tab;
    s.htmlAutoSpacing = !onOff(root.child("w:compat").child("w:doNotUseHTMLParagraphAutoSpacing")).value_or(false);
    pugi::xml_node footnotePr = root.child("w:footnotePr");
    pugi::xml_node endnotePr = root.child("w:endnotePr");
    s.notes.footnotes = parseNoteNumbering(footnotePr, s.notes.footnotes);
    s.notes.endnotes = parseNoteNumbering(endnotePr, s.notes.endnotes);
    s.notes.footnotesBeneathText = std::string_view(attr(footnotePr.child("w:pos"), "w:val")) == "beneathText";
    s.notes.endnotesPerSection = std::string_view(attr(endnotePr.child("w:pos"), "w:val")) == "sectEnd";
    if (pugi::xml_node lang = root.child("w:themeFontLang")) {
        s.themeLangEastAsia = attr(lang, "w:eastAsia");
        s.themeLangBidi = attr(lang, "w:bidi");
    }
    return s;
}

model::DocumentInfo parseCoreProperties(const xml::Part& part) {
    model::DocumentInfo info;
    for (pugi::xml_node n = part.root().first_child(); n; n = n.next_sibling()) {
        const std::string_view name = n.name();
        std::string value = n.text().get();
        if (name == "dc:title") info.title = std::move(value);
        else if (name == "dc:subject") info.subject = std::move(value);
        else if (name == "dc:creator") info.author = std::move(value);
        else if (name == "cp:keywords") info.keywords = std::move(value);
        else if (name == "dc:description") info.comments = std::move(value);
        else if (name == "dcterms:created") info.created = std::move(value);
        else if (name == "dcterms:modified") info.modified = std::move(value);
    }
    return info;
}

}  // namespace orvane::docx
