// Setting up the conversion: definitions, resolved styles, lists, sections,
// headers and footers, notes and comments.
#include "docx/DocxConverter.h"

#include <algorithm>

namespace orvane::docx {

using model::Block;
using model::Inline;

namespace {

constexpr int kStyleChainLimit = 64;
constexpr std::size_t kListLimit = 10000;

}  // namespace

DocxConverter::DocxConverter(Package& package, std::string mainPart,
                             std::vector<std::string>& warnings)
    : m_pkg(package), m_limits(package.limits()), m_mainPart(std::move(mainPart)),
      m_warnings(warnings) {}

void DocxConverter::warnOnce(const std::string& message) {
    if (m_warned.insert(message).second) m_warnings.push_back(message);
}

void DocxConverter::checkDepth(int depth) const {
    if (depth > m_limits.maxNesting) {
        throw DocxError("The document is nested more than " + std::to_string(m_limits.maxNesting) +
                        " levels deep");
    }
}

std::unique_ptr<xml::Part> DocxConverter::readRelatedPart(const Relationships& rels,
                                                        std::string_view kind) {
    const Relationship* rel = rels.byKind(kind);
    if (!rel || rel->external || !m_pkg.hasPart(rel->target)) return nullptr;
    std::string error;
    std::unique_ptr<xml::Part> part = m_pkg.readXml(rel->target, error);
    if (!part) {
        if (m_pkg.refused()) throw DocxError(error);
        warnOnce(error + "; it was left out");
    }
    return part;
}

// ---------------------------------------------------------------------------
// Definitions

void DocxConverter::loadDefinitions() {
    std::string warning;
    const Relationships& rels = m_pkg.relationships(m_mainPart, warning);
    if (m_pkg.refused()) throw DocxError(warning);
    if (!warning.empty()) warnOnce(warning);
    m_scope = PartScope{m_mainPart, &rels};

    if (auto part = readRelatedPart(rels, "settings")) m_settings = parseSettings(*part);
    if (auto part = readRelatedPart(rels, "theme")) m_theme = parseTheme(*part, m_settings);
    if (auto part = readRelatedPart(rels, "fontTable")) parseFontTable(*part, m_fonts);

    ParseContext ctx{m_fonts, m_theme};
    std::unique_ptr<xml::Part> styles = readRelatedPart(rels, "styles");
    // The default font takes index 0, ahead of everything the styles name.
    std::string defaultFont;
    if (styles) {
        defaultFont = latinFontName(
            styles->root().child("w:docDefaults").child("w:rPrDefault").child("w:rPr").child(
                "w:rFonts"),
            m_theme);
    }
    if (defaultFont.empty()) defaultFont = m_theme.minorLatin;
    if (defaultFont.empty()) defaultFont = "Times New Roman";
    m_fonts.index(defaultFont);
    m_fonts.registerDeclared();
    if (styles) parseStyles(*styles, ctx, m_styles);
    if (auto part = readRelatedPart(rels, "numbering")) parseNumbering(*part, ctx, m_numbering);

    // Document defaults: Word's own (10 pt, the default font) under docDefaults.
    CharState d;
    d.c.font = 0;
    d.c.sizeHalfPoints = 20;
    applyRunPr(d, m_styles.defaultRun, false);
    d.c.font = m_styles.defaultRun.fontAscii.value_or(0);
    m_defaultChars = d;
    m_defaultPara = model::ParaProps{};
    ParaPr merged = m_styles.defaultPara;
    merged.numPr.reset();
    applyParaPr(m_defaultPara, merged);
    m_resolved.resize(m_styles.styles.size());
}

const DocxConverter::ResolvedStyle& DocxConverter::resolvedStyle(int index, int depth) {
    ResolvedStyle& r = m_resolved[static_cast<std::size_t>(index)];
    if (r.done || r.busy) return r;  // busy: a basedOn loop, cut here
    r.busy = true;
    const StyleDef& def = m_styles.styles[static_cast<std::size_t>(index)];
    if (def.basedOn && depth < kStyleChainLimit) {
        auto it = m_styles.byId.find(*def.basedOn);
        if (it != m_styles.byId.end() && it->second != index) {
            const StyleDef& base = m_styles.styles[static_cast<std::size_t>(it->second)];
            if (base.type == def.type && base.numbering == def.numbering) {
                const ResolvedStyle& b = resolvedStyle(it->second, depth + 1);
                if (!b.busy) {
                    r.pPr = b.pPr;
                    r.rPr = b.rPr;
                    r.tblPr = b.tblPr;
                    r.regions = b.regions;
                }
            }
        }
    }
    mergeParaPr(r.pPr, def.pPr);
    mergeRunPr(r.rPr, def.rPr);
    mergeTablePr(r.tblPr, def.tblPr);
    for (std::size_t i = 0; i < r.regions.size(); ++i) {
        const TableRegionPr& own = def.regions[i];
        if (!own.present) continue;
        TableRegionPr& into = r.regions[i];
        into.present = true;
        mergeParaPr(into.pPr, own.pPr);
        mergeRunPr(into.rPr, own.rPr);
        if (own.cellShading) into.cellShading = own.cellShading;
        mergeBorders(into.cellBorders, own.cellBorders);
    }
    r.busy = false;
    r.done = true;
    return r;
}

Opt<int> DocxConverter::styleIndex(const Opt<std::string>& id, Opt<int> fallback) const {
    if (id) {
        auto it = m_styles.byId.find(*id);
        if (it != m_styles.byId.end()) return it->second;
    }
    return fallback;
}

Opt<int> DocxConverter::modelStyle(Opt<int> index) const {
    if (!index) return std::nullopt;
    return m_styles.styles[static_cast<std::size_t>(*index)].modelIndex;
}

void DocxConverter::buildLists() {
    for (const auto& [id, def] : m_numbering.nums) m_numById.emplace(id, &def);
}

// Lists come into the model as paragraphs or styles use them, so that unused
// definitions (documents carry hundreds) cost nothing.
Opt<int> DocxConverter::listFor(int numId) {
    if (numId == 0) return std::nullopt;
    if (auto known = m_listByNumId.find(numId); known != m_listByNumId.end()) {
        if (known->second < 0) return std::nullopt;
        return known->second;
    }
    auto found = m_numById.find(numId);
    if (found == m_numById.end()) {
        m_listByNumId.emplace(numId, -1);
        return std::nullopt;
    }
    if (m_doc.lists.size() >= kListLimit) {
        warnOnce("The document uses too many lists; the rest lost their numbers");
        m_listByNumId.emplace(numId, -1);
        return std::nullopt;
    }
    const NumDef& num = *found->second;
    auto abstractIt = m_numbering.abstracts.find(num.abstractId);
    const AbstractNumDef* abstract =
        abstractIt == m_numbering.abstracts.end() ? nullptr : &abstractIt->second;
    // A list that only points at a numbering style: follow the style to the
    // list that holds the levels.
    for (int hop = 0; hop < 8 && abstract && abstract->numStyleLink; ++hop) {
        const StyleDef* style = m_styles.find(*abstract->numStyleLink);
        if (!style || !style->pPr.numPr || !style->pPr.numPr->numId) break;
        auto linked = m_numById.find(*style->pPr.numPr->numId);
        if (linked == m_numById.end()) break;
        auto next = m_numbering.abstracts.find(linked->second->abstractId);
        if (next == m_numbering.abstracts.end() || &next->second == abstract) break;
        abstract = &next->second;
    }
    if (!abstract) {
        warnOnce("A list refers to a numbering definition that is missing; its numbers are "
                 "left out");
        m_listByNumId.emplace(numId, -1);
        return std::nullopt;
    }
    // Instances of one definition without overrides share their counters in
    // Word (a list interrupted by other text carries on): one model list.
    const bool plain =
        std::none_of(num.startOverride.begin(), num.startOverride.end(), [](const Opt<int>& o) { return o.has_value(); }) &&
        std::none_of(num.levelOverride.begin(), num.levelOverride.end(), [](const LevelDef& l) { return l.present; });
    if (plain) {
        if (auto shared = m_listByAbstract.find(abstract); shared != m_listByAbstract.end()) {
            m_listByNumId.emplace(numId, shared->second);
            return shared->second;
        }
    }
    model::List list;
    std::array<ParaPr, 9> levelPPr;
    for (std::size_t i = 0; i < 9; ++i) {
        const LevelDef& level =
            num.levelOverride[i].present ? num.levelOverride[i] : abstract->levels[i];
        model::ListLevel out;
        if (level.present) {
            out.format = level.format.value_or(model::NumberFormat::Decimal);
            out.start = level.start.value_or(0);
            out.text = level.text.value_or(std::string());
            out.leftIndent = level.pPr.left.value_or(0);
            out.firstLineIndent = level.pPr.firstLine.value_or(0);
            out.font = level.rPr.fontAscii;
            levelPPr[i] = level.pPr;
            levelPPr[i].style.reset();
            levelPPr[i].numPr.reset();
        } else {
            // A level the definition leaves out: Word counts it as decimal.
            out.format = model::NumberFormat::Decimal;
            out.text = "%" + std::to_string(i + 1) + ".";
            out.leftIndent = static_cast<model::Twips>(720 * (i + 1));
            out.firstLineIndent = -360;
            levelPPr[i].left = out.leftIndent;
            levelPPr[i].firstLine = out.firstLineIndent;
        }
        if (num.startOverride[i]) out.start = std::clamp(*num.startOverride[i], 0, 32767);
        list.levels.push_back(std::move(out));
    }
    const int index = static_cast<int>(m_doc.lists.size());
    m_listByNumId.emplace(numId, index);
    if (plain) m_listByAbstract.emplace(abstract, index);
    m_doc.lists.push_back(std::move(list));
    m_listLevelPPr.push_back(std::move(levelPPr));
    return index;
}

bool DocxConverter::charge(std::size_t bytes, const char* what) {
    if (m_growth + bytes > m_limits.maxExpandedBytes) {
        warnOnce(std::string("The document repeats too much content; some ") + what +
                 " were left out");
        return false;
    }
    m_growth += bytes;
    return true;
}

DocxConverter::InlineState DocxConverter::takeInlineState() {
    InlineState s;
    s.fields = std::move(m_fields);
    s.fieldOverflow = m_fieldOverflow;
    s.content = m_content;
    s.paraChars = m_paraChars;
    s.cell = m_cell;
    s.pendingInlines = std::move(m_pendingInlines);
    m_fields.clear();
    m_fieldOverflow = 0;
    m_content = nullptr;
    m_cell = nullptr;
    m_pendingInlines.clear();
    return s;
}

void DocxConverter::restoreInlineState(InlineState&& s) {
    m_fields = std::move(s.fields);
    m_fieldOverflow = s.fieldOverflow;
    m_content = s.content;
    m_paraChars = s.paraChars;
    m_cell = s.cell;
    m_pendingInlines = std::move(s.pendingInlines);
}

void DocxConverter::buildStyles() {
    int next = 0;
    for (StyleDef& s : m_styles.styles) {
        if (!s.numbering) s.modelIndex = next++;
    }
    m_doc.styles.reserve(static_cast<std::size_t>(next));
    for (std::size_t i = 0; i < m_styles.styles.size(); ++i) {
        const StyleDef& def = m_styles.styles[i];
        if (def.numbering) continue;
        const ResolvedStyle& rs = resolvedStyle(static_cast<int>(i));
        model::Style out;
        out.name = def.name;
        out.type = def.type;
        if (def.basedOn) {
            auto it = m_styles.byId.find(*def.basedOn);
            if (it != m_styles.byId.end() && it->second != static_cast<int>(i))
                out.basedOn = modelStyle(it->second);
        }
        if (def.next) {
            auto it = m_styles.byId.find(*def.next);
            if (it != m_styles.byId.end()) out.next = modelStyle(it->second);
        }
        CharState chars = m_defaultChars;
        applyRunPr(chars, rs.rPr, true);
        out.chars = finish(chars);
        ParaPr merged = m_styles.defaultPara;
        merged.numPr.reset();
        Opt<model::ListRef> list;
        if (def.type == model::StyleType::Paragraph && rs.pPr.numPr && rs.pPr.numPr->numId) {
            if (Opt<int> l = listFor(*rs.pPr.numPr->numId)) {
                const int level = rs.pPr.numPr->ilvl.value_or(0);
                list = model::ListRef{*l, level};
                mergeParaPr(merged, m_listLevelPPr[static_cast<std::size_t>(*l)][static_cast<std::size_t>(level)]);
            }
        }
        if (def.type != model::StyleType::Character) mergeParaPr(merged, rs.pPr);
        out.para = model::ParaProps{};
        applyParaPr(out.para, merged);
        out.para.list = list;
        if (def.type == model::StyleType::Paragraph) out.para.style = def.modelIndex;
        if (def.type == model::StyleType::Character) out.chars.charStyle = def.modelIndex;
        m_doc.styles.push_back(std::move(out));
    }
}

// ---------------------------------------------------------------------------
// Formatting layers

DocxConverter::CharState DocxConverter::defaultCharState() const { return m_defaultChars; }

void DocxConverter::applyRunPr(CharState& s, const RunPr& r, bool toggle) const {
    // In styles the on/off properties toggle what the layers below set;
    // direct formatting sets them outright.
    auto flag = [toggle](bool& into, const Opt<bool>& v) {
        if (!v) return;
        if (toggle) {
            if (*v) into = !into;
        } else {
            into = *v;
        }
    };
    model::CharProps& c = s.c;
    if (r.fontAscii) c.font = *r.fontAscii;
    if (r.fontEastAsia) c.eastAsiaFont = *r.fontEastAsia;
    if (r.fontCs) c.complexFont = *r.fontCs;
    if (r.size) c.sizeHalfPoints = *r.size;
    if (r.sizeCs) {
        s.sizeCs = *r.sizeCs;
        s.sizeCsSet = true;
    }
    flag(c.bold, r.bold);
    flag(c.italic, r.italic);
    flag(s.boldCs, r.boldCs);
    flag(s.italicCs, r.italicCs);
    flag(c.caps, r.caps);
    flag(c.smallCaps, r.smallCaps);
    flag(c.strike, r.strike);
    flag(c.doubleStrike, r.doubleStrike);
    flag(c.hidden, r.hidden);
    if (r.rtl) c.rtl = *r.rtl;
    if (r.complexScript) s.complexScript = *r.complexScript;
    if (r.underline) c.underline = *r.underline;
    if (r.color) c.color = *r.color;
    if (r.highlight) c.highlight = *r.highlight;
    if (r.shading) c.shading = *r.shading;
    if (r.vertAlign) c.verticalAlign = *r.vertAlign;
    if (r.spacing) c.spacing = *r.spacing;
    if (r.lang) c.lang = *r.lang;
    if (r.langBidi) s.langBidi = *r.langBidi;
}

model::CharProps DocxConverter::finish(const CharState& s) const {
    model::CharProps c = s.c;
    if (c.rtl || s.complexScript) {
        // Right-to-left and complex-script runs show their own variants.
        c.bold = s.boldCs;
        c.italic = s.italicCs;
        // Producers that never set a complex-script size mean the plain one.
        if (s.sizeCsSet) c.sizeHalfPoints = s.sizeCs;
        if (s.langBidi) c.lang = s.langBidi;
    }
    return c;
}

void DocxConverter::applyParaPr(model::ParaProps& p, const ParaPr& x) const {
    if (x.alignment) p.alignment = *x.alignment;
    if (x.left) p.leftIndent = *x.left;
    if (x.right) p.rightIndent = *x.right;
    if (x.firstLine) p.firstLineIndent = *x.firstLine;
    if (x.before) p.spaceBefore = *x.before;
    if (x.after) p.spaceAfter = *x.after;
    // Automatic spacing (from HTML): 14 pt under the HTML rules, otherwise
    // the fixed 5 pt before and 10 pt after.
    if (x.beforeAuto) {
        p.autoSpaceBefore = *x.beforeAuto;
        if (p.autoSpaceBefore) p.spaceBefore = m_settings.htmlAutoSpacing ? 280 : 100;
    }
    if (x.afterAuto) {
        p.autoSpaceAfter = *x.afterAuto;
        if (p.autoSpaceAfter) p.spaceAfter = m_settings.htmlAutoSpacing ? 280 : 200;
    }
    if (x.lineRule) p.lineRule = *x.lineRule;
    if (x.line) p.lineSpacing = *x.line;
    if (p.lineRule == model::LineRule::Auto && p.lineSpacing <= 0) p.lineSpacing = 240;
    if (x.keepNext) p.keepNext = *x.keepNext;
    if (x.contextualSpacing) p.contextualSpacing = *x.contextualSpacing;
    if (x.keepLines) p.keepLines = *x.keepLines;
    if (x.pageBreakBefore) p.pageBreakBefore = *x.pageBreakBefore;
    if (x.widowControl) p.widowControl = *x.widowControl;
    if (x.bidi) p.rtl = *x.bidi;
    if (x.outlineLevel) {
        if (*x.outlineLevel >= 9) p.outlineLevel.reset();
        else p.outlineLevel = *x.outlineLevel;
    }
    if (!x.tabs.empty()) applyTabs(p.tabs, x.tabs);
    if (x.shading) p.shading = *x.shading;
    const auto side = [&](model::Rare<model::Border>& into, BorderSide from) {
        if (const auto& b = x.borders[static_cast<std::size_t>(from)]) into = *b;
    };
    side(p.borders.top, BorderTop);
    side(p.borders.left, BorderLeft);
    side(p.borders.bottom, BorderBottom);
    side(p.borders.right, BorderRight);
    side(p.borders.between, BorderInsideH);
}

// ---------------------------------------------------------------------------
// Sections, headers and footers

void DocxConverter::finishSection(const SectPr& sect) {
    model::Section& section = m_doc.sections[static_cast<std::size_t>(m_sectionIndex)];
    section.props = sect.props;
    if (sect.footnotePr)
        section.props.footnoteNumbering = parseNoteNumbering(sect.footnotePr, m_settings.notes.footnotes);
    if (sect.endnotePr)
        section.props.endnoteNumbering = parseNoteNumbering(sect.endnotePr, m_settings.notes.endnotes);
    struct Slot {
        bool footer;
        HeaderKind kind;
        std::vector<Block> model::Section::*member;
    };
    static constexpr Slot kSlots[] = {
        {false, HeaderKind::Default, &model::Section::header},
        {false, HeaderKind::First, &model::Section::headerFirst},
        {false, HeaderKind::Even, &model::Section::headerEven},
        {true, HeaderKind::Default, &model::Section::footer},
        {true, HeaderKind::First, &model::Section::footerFirst},
        {true, HeaderKind::Even, &model::Section::footerEven},
    };
    for (const Slot& slot : kSlots) {
        const HeaderRef* ref = nullptr;
        for (const HeaderRef& r : sect.refs) {
            if (r.footer == slot.footer && r.kind == slot.kind) ref = &r;
        }
        std::vector<Block> blocks;
        if (ref) {
            if (m_growth < m_limits.maxExpandedBytes) {
                blocks = convertHeaderPart(ref->relId);
                if (!charge(contentSize(blocks), "headers and footers")) blocks.clear();
            }
        } else if (m_sectionIndex > 0) {
            // Sections without their own header carry on the previous one.
            const auto& previous = m_doc.sections[static_cast<std::size_t>(m_sectionIndex - 1)].*(slot.member);
            if (charge(contentSize(previous), "headers and footers")) blocks = previous;
        }
        // Re-fetch: converting a header never adds sections, but be explicit.
        m_doc.sections[static_cast<std::size_t>(m_sectionIndex)].*(slot.member) = std::move(blocks);
    }
}

std::vector<Block> DocxConverter::convertHeaderPart(const std::string& relId) {
    std::vector<Block> out;
    const Relationship* rel = m_scope.rels ? m_scope.rels->byId(relId) : nullptr;
    if (!rel || rel->external) return out;
    std::string error;
    std::unique_ptr<xml::Part> part = m_pkg.readXml(rel->target, error);
    if (!part) {
        if (m_pkg.refused()) throw DocxError(error);
        warnOnce(error + "; that header or footer was left out");
        return out;
    }
    std::string warning;
    const Relationships& rels = m_pkg.relationships(rel->target, warning);
    if (m_pkg.refused()) throw DocxError(warning);

    const PartScope savedScope = m_scope;
    InlineState saved = takeInlineState();
    m_scope = PartScope{rel->target, &rels};
    convertBlocks(part->root(), &out, false, 1);
    m_scope = savedScope;
    restoreInlineState(std::move(saved));
    return out;
}

// ---------------------------------------------------------------------------

model::Document DocxConverter::convert() {
    loadDefinitions();
    buildLists();
    buildStyles();

    std::string error;
    std::unique_ptr<xml::Part> main = m_pkg.readXml(m_mainPart, error);
    if (!main) throw DocxError(error);
    pugi::xml_node body = main->root().child("w:body");
    if (!body) {
        throw DocxError("The main document part holds no document body");
    }

    m_doc.sections.emplace_back();
    m_sectionIndex = 0;
    convertBlocks(body, nullptr, true, 1);
    dissolveOpenFields();
    m_fields.clear();

    // Marks after the last paragraph close inside it.
    if (!m_pendingInlines.empty()) {
        for (auto it = m_doc.sections.rbegin(); it != m_doc.sections.rend(); ++it) {
            if (!it->blocks.empty()) {
                if (auto* p = std::get_if<model::Paragraph>(&it->blocks.back().value)) {
                    for (auto& b : m_pendingInlines) p->content.push_back(std::move(b));
                }
                break;
            }
        }
        m_pendingInlines.clear();
    }

    SectPr last;
    if (pugi::xml_node sect = body.child("w:sectPr")) last = parseSectPr(sect);
    finishSection(last);

    m_doc.fonts = m_fonts.take();
    if (m_doc.fonts.empty()) {
        model::Font font;
        font.name = "Times New Roman";
        m_doc.fonts.push_back(std::move(font));
    }
    m_doc.defaultChars = finish(m_defaultChars);
    m_doc.defaultPara = m_defaultPara;
    m_doc.facingPages = m_settings.evenAndOddHeaders;
    m_doc.defaultTab = std::min(m_settings.defaultTab, 31680);
    m_doc.htmlAutoSpacing = m_settings.htmlAutoSpacing;
    m_doc.notes = m_settings.notes;

    std::string warning;
    const Relationships& pkgRels = m_pkg.relationships("", warning);
    const Relationship* core = pkgRels.byKind("core-properties");
    const std::string corePart = core && !core->external ? core->target : "docProps/core.xml";
    if (m_pkg.hasPart(corePart)) {
        std::unique_ptr<xml::Part> xml = m_pkg.readXml(corePart, error);
        if (xml) m_doc.info = parseCoreProperties(*xml);
        else if (m_pkg.refused()) throw DocxError(error);
    }
    return std::move(m_doc);
}

}  // namespace orvane::docx
