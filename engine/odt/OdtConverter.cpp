// Setting up the conversion: styles resolved into model formatting, fonts,
// list definitions, page layouts and master pages into sections, metadata.
#include "odt/OdtConverter.h"

#include <algorithm>
#include <cstring>

#include "odt/OdtXml.h"

namespace orvane::odt {

namespace {

// Work units a document may spend: a paragraph or an inline item costs one, a
// table cell four, 64 bytes of text one. Repeated rows, columns and spaces pay
// for every copy, so a small file that repeats a row a billion times stops long
// before it could exhaust the memory. The budget grows with what the package
// may expand to: 4 million units for the default 512 MB.
std::size_t workBudget(const ReadLimits& limits) {
    return std::max<std::size_t>(limits.maxExpandedBytes / 128, 65536);
}

constexpr int kMaxChain = 32;  // parent styles followed before a chain counts as a loop

pugi::xml_node child(pugi::xml_node node, const char* name) { return node ? node.child(name) : pugi::xml_node(); }

std::string nodeText(pugi::xml_node n) {
    std::string out;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) out += c.value();
    }
    return std::string(trim(out));
}

model::NumberFormat numberFormat(std::string_view f) {
    if (f.empty()) return model::NumberFormat::None;
    if (f == "a") return model::NumberFormat::LowerLetter;
    if (f == "A") return model::NumberFormat::UpperLetter;
    if (f == "i") return model::NumberFormat::LowerRoman;
    if (f == "I") return model::NumberFormat::UpperRoman;
    return model::NumberFormat::Decimal;
}

// Bullets from a symbol font's private area mean nothing elsewhere; they
// become the common bullet.
std::string bulletText(std::string_view bullet, bool& privateUse) {
    privateUse = false;
    if (bullet.empty()) return "\xE2\x80\xA2";
    const auto b = reinterpret_cast<const unsigned char*>(bullet.data());
    if (bullet.size() >= 3 && b[0] == 0xEE) privateUse = true;                      // U+E000..U+EFFF
    if (bullet.size() >= 3 && b[0] == 0xEF && b[1] >= 0x80 && b[1] <= 0xA3) privateUse = true;  // ..U+F8FF
    if (privateUse) return "\xE2\x80\xA2";
    return std::string(bullet);
}

}  // namespace

OdtConverter::OdtConverter(const OdtSources& sources, const ReadLimits& limits, std::vector<std::string>& warnings)
    : m_src(sources), m_limits(limits), m_warnings(warnings) {}

void OdtConverter::warnOnce(const std::string& message) {
    if (m_warned.insert(message).second) m_warnings.push_back(message);
}

void OdtConverter::spend(std::size_t units) {
    if (units > m_budget) {
        throw OdtError("The document is too large to convert: it repeats its rows, columns or spaces beyond the "
                       "engine's limits");
    }
    m_budget -= units;
}

void OdtConverter::checkDepth(int depth) const {
    if (depth > m_limits.maxNesting) {
        throw OdtError("The document is nested more than " + std::to_string(m_limits.maxNesting) + " levels deep");
    }
}

// ---------------------------------------------------------------------------
// Styles

void OdtConverter::loadStyles() {
    const pugi::xml_node stylesRoot = m_src.styles;
    const pugi::xml_node contentRoot = m_src.content;
    parseFontFaces(child(stylesRoot, "office:font-face-decls"), m_faces);
    if (contentRoot != stylesRoot) parseFontFaces(child(contentRoot, "office:font-face-decls"), m_faces);
    parseStyles(child(stylesRoot, "office:styles"), m_common);
    // The distance between default tab stops is the default paragraph style's.
    for (pugi::xml_node d = child(stylesRoot, "office:styles").child("style:default-style"); d;
         d = d.next_sibling("style:default-style")) {
        if (attr(d, "style:family") != "paragraph") continue;
        if (auto tab = lengthAttr(d.child("style:paragraph-properties"), "style:tab-stop-distance"); tab && *tab > 0)
            m_doc.defaultTab = std::min(*tab, 31680);
    }
    parseStyles(child(stylesRoot, "office:automatic-styles"), m_stylesAuto);
    parseStyles(child(contentRoot, "office:automatic-styles"), m_contentAuto);
    // Some producers put common styles into content.xml too.
    if (contentRoot != stylesRoot) {
        StyleSheet extra;
        parseStyles(child(contentRoot, "office:styles"), extra);
        for (auto& [key, def] : extra.styles) {
            if (!m_common.styles.count(key)) {
                m_common.orderFamilies.push_back(key);
                m_common.styles.emplace(key, std::move(def));
            }
        }
        for (auto& [name, def] : extra.lists) m_common.lists.emplace(name, std::move(def));
    }
    parseMasterPages(child(stylesRoot, "office:master-styles"), m_masters);
}

void OdtConverter::loadSettings() {
    const pugi::xml_node settings = child(m_src.settings, "office:settings");
    if (!settings) return;
    const auto item = [&](const char* name) {
        return settings.find_node([name](pugi::xml_node n) {
            return std::strcmp(n.name(), "config:config-item") == 0 &&
                   std::strcmp(n.attribute("config:name").value(), name) == 0;
        });
    };
    if (const pugi::xml_node tabs = item("TabsRelativeToIndent")) m_tabsRelativeToIndent = nodeText(tabs) != "false";
    // Without "add spacing between paragraphs" the larger of two spacings
    // counts, not their sum: the rule RTF states as HTML auto spacing.
    if (const pugi::xml_node add = item("AddParaTableSpacing")) m_doc.htmlAutoSpacing = nodeText(add) == "false";
}

void OdtConverter::loadMeta() {
    const pugi::xml_node meta = child(m_src.meta, "office:meta");
    if (!meta) return;
    model::DocumentInfo& info = m_doc.info;
    std::string creator;
    for (pugi::xml_node n = meta.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_element) continue;
        const std::string_view name = n.name();
        const std::string text = nodeText(n);
        if (name == "dc:title") info.title = text;
        else if (name == "dc:subject") info.subject = text;
        else if (name == "meta:initial-creator") info.author = text;
        else if (name == "dc:creator") creator = text;
        else if (name == "dc:description") info.comments = text;
        else if (name == "meta:creation-date") info.created = isoDate(text);
        else if (name == "dc:date") info.modified = isoDate(text);
        else if (name == "meta:keyword" && !text.empty()) {
            if (!info.keywords.empty()) info.keywords += ", ";
            info.keywords += text;
        }
    }
    if (info.author.empty()) info.author = creator;
}

const StyleDef* OdtConverter::findStyle(Family family, const std::string& name, const StyleSheet* automatic) const {
    if (name.empty()) return nullptr;
    if (automatic) {
        if (const StyleDef* s = automatic->find(family, name)) return s;
    }
    return m_common.find(family, name);
}

const OdtConverter::Resolved& OdtConverter::resolve(Family family, const std::string& name) {
    static const Resolved kNone{};
    const StyleSheet* sheet = nullptr;
    const StyleDef* style = nullptr;
    if (m_auto) {
        style = m_auto->find(family, name);
        if (style) sheet = m_auto;
    }
    if (!style) {
        style = m_common.find(family, name);
        if (style) sheet = &m_common;
    }
    if (!style) return family == Family::Paragraph ? m_defaultResolved : kNone;
    const auto key = std::make_pair(sheet, std::make_pair(family, name));
    if (auto it = m_resolved.find(key); it != m_resolved.end()) return it->second;
    Resolved r = resolveChain(family, style, 0);
    return m_resolved.emplace(key, std::move(r)).first->second;
}

// The chain's layers from the root down. Parents are common styles; an
// automatic style's parent is looked up among the automatic ones only when
// no common style has the name.
OdtConverter::Resolved OdtConverter::resolveChain(Family family, const StyleDef* style, int depth) {
    std::vector<const StyleDef*> chain;
    std::set<const StyleDef*> seen;
    const StyleDef* s = style;
    while (s && static_cast<int>(chain.size()) < kMaxChain + depth && seen.insert(s).second) {
        chain.push_back(s);
        if (s->parent.empty()) break;
        const StyleDef* parent = m_common.find(family, s->parent);
        if (!parent && m_auto) parent = m_auto->find(family, s->parent);
        s = parent;
    }
    Resolved r = family == Family::Paragraph ? m_defaultResolved : Resolved{};
    r.masterPage.clear();
    r.hasMasterPage = false;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const StyleDef* layer = *it;
        mergeTextPr(r.text, layer->text);
        mergeParaPr(r.para, layer->para);
        if (auto m = m_modelStyleByName.find({family, layer->name});
            m != m_modelStyleByName.end() && m_common.find(family, layer->name) == layer) {
            r.modelStyle = m->second;
        }
        if (layer->hasListStyle) {
            r.listStyle = layer->listStyle;
            r.hasListStyle = true;
        }
        if (layer->outlineLevel) r.outlineLevel = layer->outlineLevel;
    }
    r.masterPage = style->masterPage;
    r.hasMasterPage = style->hasMasterPage;
    return r;
}

TextPr OdtConverter::textChain(const std::string& name, int depth) {
    std::vector<const StyleDef*> chain;
    const StyleDef* s = findStyle(Family::Text, name, m_auto);
    while (s && static_cast<int>(chain.size()) < kMaxChain + depth) {
        if (std::find(chain.begin(), chain.end(), s) != chain.end()) break;
        chain.push_back(s);
        if (s->parent.empty()) break;
        const StyleDef* parent = m_common.find(Family::Text, s->parent);
        if (!parent && m_auto) parent = m_auto->find(Family::Text, s->parent);
        s = parent;
    }
    TextPr t;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) mergeTextPr(t, (*it)->text);
    return t;
}

int OdtConverter::fontIndex(const std::string& name) {
    if (auto it = m_fontByName.find(name); it != m_fontByName.end()) return it->second;
    model::Font font;
    if (auto face = m_faces.find(name); face != m_faces.end()) {
        font = face->second;
    } else {
        // fo:font-family names the family itself; a declaration of that
        // family still knows its kind and pitch.
        font.name = name;
        for (const auto& [declared, face] : m_faces) {
            if (face.name == name) {
                font = face;
                break;
            }
        }
    }
    if (font.name.empty()) font.name = "Times New Roman";
    // Two declarations of one family (LibreOffice writes "Arial" and "Arial1")
    // are one font to RTF.
    for (std::size_t i = 0; i < m_doc.fonts.size(); ++i) {
        model::Font& known = m_doc.fonts[i];
        if (known.name == font.name && known.charset == font.charset) {
            // The more telling declaration fills in what the other left open.
            if (known.family == model::FontFamily::Nil) known.family = font.family;
            if (known.pitch == 0) known.pitch = font.pitch;
            m_fontByName.emplace(name, static_cast<int>(i));
            return static_cast<int>(i);
        }
    }
    m_doc.fonts.push_back(std::move(font));
    const int index = static_cast<int>(m_doc.fonts.size() - 1);
    m_fontByName.emplace(name, index);
    return index;
}

model::CharProps OdtConverter::finishChars(const TextPr& t) {
    model::CharProps c;
    c.font = t.font ? fontIndex(*t.font) : 0;
    if (t.fontAsian) c.eastAsiaFont = fontIndex(*t.fontAsian);
    if (t.fontComplex) c.complexFont = fontIndex(*t.fontComplex);
    if (t.sizeHalfPoints) c.sizeHalfPoints = *t.sizeHalfPoints;
    else if (t.sizePercent) c.sizeHalfPoints = std::clamp(static_cast<int>(24 * *t.sizePercent / 100.0 + 0.5), 1, 3276);
    c.bold = t.bold.value_or(false);
    c.italic = t.italic.value_or(false);
    c.underline = t.underline.value_or(model::Underline::None);
    c.strike = t.strike.value_or(false);
    c.doubleStrike = t.doubleStrike.value_or(false);
    if (t.color) c.color = *t.color;
    if (t.background) c.shading = *t.background;
    c.verticalAlign = t.position.value_or(model::VerticalAlign::Baseline);
    c.caps = t.caps.value_or(false);
    c.smallCaps = t.smallCaps.value_or(false);
    c.hidden = t.hidden.value_or(false);
    c.spacing = t.spacing.value_or(0);
    c.lang = t.lang.value_or(0);
    return c;
}

model::ParaProps OdtConverter::finishPara(const ParaPr& p) {
    model::ParaProps r;
    r.rtl = p.rtl.value_or(false);
    switch (p.align.value_or(Align::Start)) {
    case Align::Start: r.alignment = r.rtl ? model::Alignment::Right : model::Alignment::Left; break;
    case Align::End: r.alignment = r.rtl ? model::Alignment::Left : model::Alignment::Right; break;
    case Align::Left: r.alignment = model::Alignment::Left; break;
    case Align::Right: r.alignment = model::Alignment::Right; break;
    case Align::Center: r.alignment = model::Alignment::Center; break;
    case Align::Justify: r.alignment = model::Alignment::Justify; break;
    }
    const auto clampLen = [](Opt<int> v, int lo, int hi) { return std::clamp(v.value_or(0), lo, hi); };
    r.leftIndent = clampLen(p.left, -31680, 31680);
    r.rightIndent = clampLen(p.right, -31680, 31680);
    r.firstLineIndent = clampLen(p.firstLine, -31680, 31680);
    r.spaceBefore = clampLen(p.before, 0, 31680);
    r.spaceAfter = clampLen(p.after, 0, 31680);
    if (p.lineRule) {
        r.lineRule = *p.lineRule;
        r.lineSpacing = p.lineSpacing.value_or(240);
    }
    r.keepNext = p.keepNext.value_or(false);
    r.contextualSpacing = p.contextualSpacing.value_or(false);
    r.keepLines = p.keepLines.value_or(false);
    r.pageBreakBefore = p.breakBeforePage.value_or(false);
    r.widowControl = p.widowControl.value_or(true);
    if (p.tabs) {
        r.tabs = *p.tabs;
        if (m_tabsRelativeToIndent) {
            for (model::TabStop& t : r.tabs) t.position = std::clamp(t.position + r.leftIndent, -31680, 31680 * 2);
        }
    }
    if (p.background) r.shading = *p.background;
    static_cast<model::BoxBorders&>(r.borders) = boxBorders(p.borders);
    return r;
}

void OdtConverter::buildModelStyles() {
    // RTF calls a paragraph without a style number style 0, so the default
    // paragraph style ("Standard") goes first; a document without one gets one
    // made of the defaults. Indexes come first, so that a style may name a
    // parent defined after it.
    const std::pair<Family, std::string> standard{Family::Paragraph, "Standard"};
    std::vector<std::pair<Family, std::string>> keys;
    bool anyParagraphStyle = false;
    for (const auto& key : m_common.orderFamilies) {
        if (key.first == Family::Paragraph) anyParagraphStyle = true;
    }
    const bool hasStandard = m_common.find(Family::Paragraph, "Standard") != nullptr;
    const bool synthetic = anyParagraphStyle && !hasStandard;
    if (hasStandard) keys.push_back(standard);
    for (const auto& key : m_common.orderFamilies) {
        if (key.first != Family::Paragraph && key.first != Family::Text) continue;
        if (key == standard) continue;
        keys.push_back(key);
    }
    const std::size_t offset = synthetic ? 1 : 0;
    for (std::size_t i = 0; i < keys.size(); ++i) m_modelStyleByName[keys[i]] = static_cast<int>(i + offset);
    m_doc.styles.resize(keys.size() + offset);
    if (synthetic) {
        model::Style& style = m_doc.styles[0];
        style.name = "Standard";
        style.para = m_doc.defaultPara;
        style.para.style = 0;
        style.chars = m_doc.defaultChars;
    }
    const StyleSheet* saved = m_auto;
    m_auto = nullptr;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const std::size_t i = k + offset;
        const StyleDef& def = *m_common.find(keys[k].first, keys[k].second);
        model::Style& style = m_doc.styles[i];
        style.name = def.displayName.empty() ? decodeStyleName(def.name) : def.displayName;
        style.type = def.family == Family::Paragraph ? model::StyleType::Paragraph : model::StyleType::Character;
        if (auto it = m_modelStyleByName.find({def.family, def.parent}); it != m_modelStyleByName.end() &&
                                                                         it->second != static_cast<int>(i))
            style.basedOn = it->second;
        if (auto it = m_modelStyleByName.find({def.family, def.next}); it != m_modelStyleByName.end())
            style.next = it->second;
        if (def.family == Family::Paragraph) {
            const Resolved& r = resolve(Family::Paragraph, def.name);
            style.para = finishPara(r.para);
            style.chars = finishChars(r.text);
            if (r.outlineLevel && *r.outlineLevel >= 1) style.para.outlineLevel = std::min(*r.outlineLevel, 9) - 1;
            style.para.style = static_cast<int>(i);
        } else {
            TextPr t = m_defaultResolved.text;
            mergeTextPr(t, textChain(def.name, 0));
            style.chars = finishChars(t);
            style.chars.charStyle = static_cast<int>(i);
        }
    }
    m_auto = saved;
}

// ---------------------------------------------------------------------------
// Lists

const ListStyleDef* OdtConverter::findListStyle(const std::string& name) const {
    if (name.empty()) return nullptr;
    if (m_auto) {
        if (auto it = m_auto->lists.find(name); it != m_auto->lists.end()) return &it->second;
    }
    if (auto it = m_common.lists.find(name); it != m_common.lists.end()) return &it->second;
    return nullptr;
}

int OdtConverter::modelListFor(const ListStyleDef& style) {
    model::List list;
    for (std::size_t l = 0; l < 9; ++l) {
        const ListLevelDef& d = style.levels[l];
        model::ListLevel level;
        if (!d.defined || d.kind == LevelKind::None) {
            level.format = model::NumberFormat::None;
        } else if (d.kind == LevelKind::Number) {
            level.format = numberFormat(d.numFormat);
            level.start = d.start;
            std::string text = d.prefix;
            if (d.listFormat) {
                // LibreOffice's own spelling of the label, which wins over the
                // levels shown: "%1%.%2%)" -> "%1.%2)".
                text.clear();
                const std::string& f = *d.listFormat;
                for (std::size_t i = 0; i < f.size() && text.size() < 200; ++i) {
                    if (f[i] == '%' && i + 2 < f.size() && f[i + 1] >= '1' && f[i + 1] <= '9' && f[i + 2] == '%') {
                        if (f[i + 1] - '1' <= static_cast<int>(l)) text += f.substr(i, 2);
                        i += 2;
                    } else if (f[i] == '%' && i + 3 < f.size() && f[i + 1] == '1' && f[i + 2] == '0' && f[i + 3] == '%') {
                        i += 3;  // a tenth level the model does not have
                    } else {
                        text.push_back(f[i]);
                    }
                }
            } else if (level.format != model::NumberFormat::None) {
                std::string numbers;
                const int first = std::max(0, static_cast<int>(l) - d.displayLevels + 1);
                for (int k = first; k <= static_cast<int>(l); ++k) {
                    // A higher level whose own format is "none" shows nothing.
                    const ListLevelDef& above = style.levels[static_cast<std::size_t>(k)];
                    if (k < static_cast<int>(l) && above.kind == LevelKind::Number && above.numFormat.empty()) continue;
                    if (!numbers.empty()) numbers += ".";
                    numbers += "%" + std::to_string(k + 1);
                }
                text += numbers;
            }
            if (!d.listFormat) text += d.suffix;
            level.text = std::move(text);
        } else {
            level.format = model::NumberFormat::Bullet;
            bool privateUse = false;
            level.text = d.kind == LevelKind::Bullet ? bulletText(d.bullet, privateUse) : "\xE2\x80\xA2";
            Opt<std::string> font = d.font;
            if (!font && !d.textStyle.empty()) font = textChain(d.textStyle, 0).font;
            if (font && !privateUse) level.font = fontIndex(*font);
        }
        if (d.labelAlignment) {
            level.leftIndent = std::clamp(d.marginLeft, -31680, 31680);
            level.firstLineIndent = std::clamp(d.textIndent, -31680, 31680);
        } else {
            level.leftIndent = std::clamp(d.spaceBefore + d.minLabelWidth, -31680, 31680);
            level.firstLineIndent = -std::clamp(d.minLabelWidth, 0, 31680);
        }
        list.levels.push_back(std::move(level));
    }
    m_doc.lists.push_back(std::move(list));
    return static_cast<int>(m_doc.lists.size() - 1);
}

// ---------------------------------------------------------------------------
// Sections

const MasterPageDef* OdtConverter::findMaster(const std::string& name) const {
    for (const MasterPageDef& m : m_masters) {
        if (m.name == name) return &m;
    }
    return nullptr;
}

model::Twips OdtConverter::textWidth() const {
    const model::SectionProps& p = m_doc.sections[static_cast<std::size_t>(m_sectionIndex)].props;
    const int width = p.pageWidth - p.marginLeft - p.marginRight;
    return std::max(width / std::max(p.columns, 1), 720);
}

std::vector<model::Block> OdtConverter::convertHeaderFooter(pugi::xml_node node) {
    if (!node) return {};
    // Headers are read with the styles stream's automatic styles.
    const StyleSheet* savedAuto = m_auto;
    m_auto = &m_stylesAuto;
    std::vector<model::Block> out = convertStory(node, 4);  // office:master-styles/style:master-page/style:header
    m_auto = savedAuto;
    return out;
}

void OdtConverter::fillSection(model::Section& section, const MasterPageDef* master) {
    model::SectionProps& p = section.props;
    if (!master) return;
    const PageLayoutDef* layout = nullptr;
    if (auto it = m_stylesAuto.pageLayouts.find(master->pageLayout); it != m_stylesAuto.pageLayouts.end())
        layout = &it->second;
    else if (auto common = m_common.pageLayouts.find(master->pageLayout); common != m_common.pageLayouts.end())
        layout = &common->second;

    // A master page that hands over to another after its first page (a
    // "First Page" style) is a title page: its own header on page one, the
    // next one's on the others.
    const MasterPageDef* rest = master;
    if (!master->next.empty() && master->next != master->name) {
        if (const MasterPageDef* next = findMaster(master->next)) rest = next;
    }
    const bool headerShown = rest->header || master->header;
    const bool footerShown = rest->footer || master->footer;

    if (layout) {
        const auto len = [](Opt<int> v, int fallback, int lo, int hi) { return std::clamp(v.value_or(fallback), lo, hi); };
        p.pageWidth = len(layout->width, p.pageWidth, 720, 31680 * 2);
        p.pageHeight = len(layout->height, p.pageHeight, 720, 31680 * 2);
        p.landscape = layout->landscape.value_or(p.pageWidth > p.pageHeight);
        p.marginLeft = len(layout->marginLeft, 1134, 0, 31680);
        p.marginRight = len(layout->marginRight, 1134, 0, 31680);
        const int top = len(layout->marginTop, 1134, 0, 31680);
        const int bottom = len(layout->marginBottom, 1134, 0, 31680);
        // The page's top margin reaches the header; the body starts below
        // the header and its spacing, which is where RTF measures.
        p.marginTop = top;
        p.headerDistance = std::min(top, 720);
        if (headerShown) {
            p.headerDistance = top;
            p.marginTop = std::clamp(top + layout->headerHeight.value_or(0) + layout->headerSpacing.value_or(0), 0, 31680);
        }
        p.marginBottom = bottom;
        p.footerDistance = std::min(bottom, 720);
        if (footerShown) {
            p.footerDistance = bottom;
            p.marginBottom =
                std::clamp(bottom + layout->footerHeight.value_or(0) + layout->footerSpacing.value_or(0), 0, 31680);
        }
        p.columns = std::clamp(layout->columns.value_or(1), 1, 20);
        if (layout->columnGap) p.columnSpacing = std::clamp(*layout->columnGap, 0, 31680);
        if (layout->numberFormat) p.pageNumberFormat = *layout->numberFormat;
    }

    section.header = convertHeaderFooter(rest->header);
    section.footer = convertHeaderFooter(rest->footer);
    if (rest->headerLeft || rest->footerLeft) {
        section.headerEven = convertHeaderFooter(rest->headerLeft ? rest->headerLeft : rest->header);
        section.footerEven = convertHeaderFooter(rest->footerLeft ? rest->footerLeft : rest->footer);
        m_doc.facingPages = true;
    }
    if (rest != master) {
        p.titlePage = true;
        section.headerFirst = convertHeaderFooter(master->header);
        section.footerFirst = convertHeaderFooter(master->footer);
    } else if (master->headerFirst || master->footerFirst) {
        p.titlePage = true;
        section.headerFirst = convertHeaderFooter(master->headerFirst ? master->headerFirst : master->header);
        section.footerFirst = convertHeaderFooter(master->footerFirst ? master->footerFirst : master->footer);
    }
}

void OdtConverter::startSection(const MasterPageDef* master, model::SectionBreak kind, bool first) {
    if (first) {
        model::Section& s = m_doc.sections.front();
        std::vector<model::Block> keep = std::move(s.blocks);
        s = model::Section{};
        fillSection(s, master);
        s.blocks = std::move(keep);
        m_sectionIndex = 0;
    } else {
        model::Section s;
        fillSection(s, master);
        s.props.breakKind = kind;
        m_doc.sections.push_back(std::move(s));
        m_sectionIndex = static_cast<int>(m_doc.sections.size() - 1);
    }
    m_currentMaster = master;
}

// ---------------------------------------------------------------------------
// The whole document

model::Document OdtConverter::convert() {
    m_budget = workBudget(m_limits);
    m_imageBudget = std::max<std::size_t>(m_limits.maxExpandedBytes, 64u * 1024 * 1024);
    loadStyles();
    loadSettings();

    // The default paragraph style is the bottom layer of every paragraph.
    if (auto it = m_common.defaults.find(Family::Paragraph); it != m_common.defaults.end()) {
        m_defaultResolved.text = it->second.text;
        m_defaultResolved.para = it->second.para;
    }
    fontIndex(m_defaultResolved.text.font.value_or("Times New Roman"));
    m_doc.defaultChars = finishChars(m_defaultResolved.text);
    m_doc.defaultPara = finishPara(m_defaultResolved.para);
    buildModelStyles();
    loadMeta();
    if (m_common.footnotes) m_doc.notes.footnotes = *m_common.footnotes;
    if (m_common.endnotes) m_doc.notes.endnotes = *m_common.endnotes;
    m_doc.notes.footnotesBeneathText = m_common.footnotesBeneathText.value_or(false);
    m_doc.notes.endnotesPerSection = m_common.endnotesPerSection.value_or(false);

    const pugi::xml_node body = child(m_src.content, "office:body");
    const pugi::xml_node text = body.child("office:text");
    if (!text) {
        if (body.child("office:spreadsheet"))
            throw OdtError("The file is an OpenDocument spreadsheet, not a text document");
        if (body.child("office:presentation"))
            throw OdtError("The file is an OpenDocument presentation, not a text document");
        if (body.child("office:drawing"))
            throw OdtError("The file is an OpenDocument drawing, not a text document");
        throw OdtError("The file is damaged: its content holds no text body");
    }

    m_doc.sections.emplace_back();
    const MasterPageDef* master = findMaster("Standard");
    if (!master && !m_masters.empty()) master = &m_masters.front();
    startSection(master, model::SectionBreak::NextPage, true);

    m_auto = &m_contentAuto;
    m_inBody = true;
    loadTrackedChanges(text);
    // Depths count XML levels, as the parser did: office:text is the third.
    convertBlocks(text, nullptr, 3);

    m_story = 0;
    finishStory(m_doc.sections.back().blocks);
    if (m_doc.fonts.empty()) fontIndex("Times New Roman");
    return std::move(m_doc);
}

}  // namespace orvane::odt
