// The body walk: paragraphs, headings, lists, tables, sections, fields,
// frames, notes and annotations, straight from the XML tree into the model.
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "picture/PictureConvert.h"
#include "encoding/Encoding.h"
#include "odt/OdtConverter.h"
#include "odt/OdtXml.h"

namespace orvane::odt {

using model::Block;
using model::Inline;

namespace {

bool named(pugi::xml_node n, const char* name) { return std::strcmp(n.name(), name) == 0; }

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Valid UTF-8 without control characters: what the model promises its text is.
void appendClean(std::string& out, std::string_view in) { encoding::appendCleanText(out, in, '\n'); }

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string percentDecoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const auto hex = [](char h) {
                if (h >= '0' && h <= '9') return h - '0';
                if (h >= 'a' && h <= 'f') return h - 'a' + 10;
                if (h >= 'A' && h <= 'F') return h - 'A' + 10;
                return -1;
            };
            const int hi = hex(s[i + 1]), lo = hex(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

bool base64Decode(std::string_view in, std::string& out, std::size_t limit) {
    static const auto table = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        const char* chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(chars[i])] = static_cast<signed char>(i);
        return t;
    }();
    out.clear();
    out.reserve(std::min(in.size() / 4 * 3, limit));
    unsigned buffer = 0;
    int bits = 0;
    for (const char ch : in) {
        const signed char v = table[static_cast<unsigned char>(ch)];
        if (v < 0) {
            if (ch == '=') break;
            continue;  // line breaks and blanks
        }
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
            if (out.size() > limit) return false;
        }
    }
    return true;
}

enum class Sniffed { Png, Jpeg, Emf, Wmf, Gif, Bmp, Tiff, Svg, Svm, Unknown };

Sniffed sniff(const std::string& d) {
    const auto* b = reinterpret_cast<const unsigned char*>(d.data());
    const std::size_t n = d.size();
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return Sniffed::Png;
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return Sniffed::Jpeg;
    if (n >= 44 && b[0] == 1 && b[1] == 0 && b[2] == 0 && b[3] == 0 && std::memcmp(b + 40, " EMF", 4) == 0)
        return Sniffed::Emf;
    if (n >= 4 && b[0] == 0xD7 && b[1] == 0xCD && b[2] == 0xC6 && b[3] == 0x9A) return Sniffed::Wmf;
    if (n >= 4 && (b[0] == 1 || b[0] == 2) && b[1] == 0 && b[2] == 9 && b[3] == 0) return Sniffed::Wmf;
    if (n >= 4 && std::memcmp(b, "GIF8", 4) == 0) return Sniffed::Gif;
    if (n >= 2 && b[0] == 'B' && b[1] == 'M') return Sniffed::Bmp;
    if (n >= 4 && (std::memcmp(b, "II*\0", 4) == 0 || std::memcmp(b, "MM\0*", 4) == 0)) return Sniffed::Tiff;
    if (n >= 6 && std::memcmp(b, "VCLMTF", 6) == 0) return Sniffed::Svm;
    if (d.substr(0, 1024).find("<svg") != std::string::npos) return Sniffed::Svg;
    return Sniffed::Unknown;
}

bool isShape(pugi::xml_node n) {
    static constexpr const char* kShapes[] = {
        "draw:custom-shape", "draw:rect",      "draw:ellipse",         "draw:circle",  "draw:polygon",
        "draw:polyline",     "draw:path",      "draw:line",            "draw:connector", "draw:caption",
        "draw:measure",      "draw:regular-polygon", "draw:g",         "draw:a",       "draw:frame",
        "dr3d:scene",
    };
    for (const char* s : kShapes) {
        if (named(n, s)) return true;
    }
    return false;
}

// Elements whose content is never part of the text where they stand.
bool skippedInline(pugi::xml_node n) {
    static constexpr const char* kSkipped[] = {
        "text:toc-mark",
        "text:user-index-mark", "text:alphabetical-index-mark", "text:soft-page-break", "office:annotation-end",
        "text:ruby-text",      "draw:control",             "office:binary-data",     "svg:title",
        "svg:desc",            "text:tracked-changes",     "text:reference-mark-end", "text:alphabetical-index-mark-end",
        "text:toc-mark-end",   "text:user-index-mark-end", "text:toc-mark-start",    "text:user-index-mark-start",
        "text:alphabetical-index-mark-start", "text:variable-decls", "text:sequence-decls", "text:user-field-decls",
        "text:dde-connection-decls", "office:forms",       "text:note-citation",     "text:note-body",
    };
    for (const char* s : kSkipped) {
        if (named(n, s)) return true;
    }
    const std::string_view name = n.name();
    return startsWith(name, "form:") || startsWith(name, "dc:") || startsWith(name, "presentation:") ||
           startsWith(name, "script:") || startsWith(name, "office:event-listeners");
}

// Block-level elements that hold no text of the document.
bool skippedBlock(pugi::xml_node n) {
    static constexpr const char* kSkipped[] = {
        "text:tracked-changes", "text:sequence-decls", "text:variable-decls", "text:user-field-decls",
        "text:dde-connection-decls", "office:forms", "table:calculation-settings", "text:soft-page-break",
        "text:alphabetical-index-auto-mark-file", "table:content-validations", "table:label-ranges",
        "office:annotation-end", "text:page-sequence",
        "table:table-source", "text:section-source", "office:event-listeners", "svg:title", "svg:desc",
        "text:table-of-content-source", "text:illustration-index-source", "text:table-index-source",
        "text:object-index-source", "text:user-index-source", "text:alphabetical-index-source",
        "text:bibliography-source",
    };
    for (const char* s : kSkipped) {
        if (named(n, s)) return true;
    }
    const std::string_view name = n.name();
    return startsWith(name, "dc:") || startsWith(name, "meta:") || startsWith(name, "form:");
}

bool isIndex(pugi::xml_node n) {
    static constexpr const char* kIndexes[] = {
        "text:table-of-content", "text:illustration-index", "text:table-index", "text:object-index",
        "text:user-index",       "text:alphabetical-index", "text:bibliography",
    };
    for (const char* s : kIndexes) {
        if (named(n, s)) return true;
    }
    return false;
}

// Column widths as written, before they are fitted to the table.
struct ColumnSpec {
    Opt<int> width;
    Opt<double> rel;
};

}  // namespace

// ---------------------------------------------------------------------------
// Blocks

std::vector<Block>& OdtConverter::blocks(BlockOut out) {
    return out ? *out : m_doc.sections[static_cast<std::size_t>(m_sectionIndex)].blocks;
}

void OdtConverter::convertBlocks(pugi::xml_node parent, BlockOut out, int depth) {
    checkDepth(depth);
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        convertBlock(child, out, depth + 1);
    }
}

void OdtConverter::convertBlock(pugi::xml_node child, BlockOut out, int depth) {
    checkDepth(depth);
    if (named(child, "text:p")) {
        convertParagraph(child, out, depth, false);
    } else if (named(child, "text:h")) {
        convertParagraph(child, out, depth, true);
    } else if (named(child, "text:list")) {
        convertList(child, out, depth);
    } else if (named(child, "text:numbered-paragraph")) {
        convertNumberedParagraph(child, out, depth);
    } else if (named(child, "table:table")) {
        convertTable(child, out, depth);
    } else if (named(child, "text:section")) {
        convertSection(child, out, depth);
    } else if (named(child, "text:table-of-content")) {
        convertTableOfContents(child, out, depth);
    } else if (isIndex(child)) {
        // An index keeps the text it showed when last updated.
        convertBlocks(child.child("text:index-body"), out, depth);
    } else if (named(child, "text:bookmark") || named(child, "text:bookmark-start")) {
        m_pendingBookmarks.push_back(Inline{model::Bookmark{std::string(attr(child, "text:name")), true}});
        if (named(child, "text:bookmark"))
            m_pendingBookmarks.push_back(Inline{model::Bookmark{std::string(attr(child, "text:name")), false}});
    } else if (named(child, "text:bookmark-end")) {
        m_pendingBookmarks.push_back(Inline{model::Bookmark{std::string(attr(child, "text:name")), false}});
    } else if (isShape(child) || named(child, "office:annotation")) {
        // Anchored to the page or standing between paragraphs: it gets a
        // paragraph of its own, and its text follows.
        model::Paragraph para{m_doc.defaultPara, m_doc.defaultChars, {}};
        auto* savedContent = m_content;
        const TextPr savedText = m_text;
        const Opt<int> savedStyle = m_charStyle;
        m_content = &para.content;
        m_text = m_defaultResolved.text;
        m_charStyle.reset();
        convertInline(child, depth);
        m_content = savedContent;
        m_text = savedText;
        m_charStyle = savedStyle;
        if (!para.content.empty()) {
            if (m_inBody && !out) {
                resumePageColumns();
                m_anyBodyBlock = true;
            }
            blocks(out).push_back(Block{std::move(para)});
        }
    } else if (named(child, "text:change") || named(child, "text:change-start") || named(child, "text:change-end")) {
        changeMark(child, true, out, depth);
    } else if (skippedBlock(child)) {
        return;
    } else {
        // A wrapper this reader does not know (an index title, a change
        // region, a producer's own element): its paragraphs still count.
        convertBlocks(child, out, depth);
    }
}

// A table of contents keeps the text it showed when last updated, as a TOC
// field over its entries' paragraphs (its title stays outside, as Word has
// it), so that it can be updated again. Its levels become \o "1-N".
void OdtConverter::convertTableOfContents(pugi::xml_node toc, BlockOut out, int depth) {
    const pugi::xml_node body = toc.child("text:index-body");
    const int section = m_sectionIndex;
    std::optional<std::size_t> start;
    for (pugi::xml_node child = body.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        if (!start && !named(child, "text:index-title")) start = blocks(out).size();
        convertBlock(child, out, depth + 1);
    }
    std::vector<Block>& converted = blocks(out);
    if (!start || *start >= converted.size() || (!out && m_sectionIndex != section)) return;
    auto* first = std::get_if<model::Paragraph>(&converted[*start].value);
    auto* last = std::get_if<model::Paragraph>(&converted.back().value);
    if (!first || !last) return;  // a table at either end: no field could hold it
    long long levels = 10;
    if (auto l = parseInteger(attr(toc.child("text:table-of-content-source"), "text:outline-level")); l && *l >= 1)
        levels = *l;
    const std::string instruction = "TOC \\o \"1-" + std::to_string(std::min(levels, 9LL)) + "\" \\h";
    first->content.insert(first->content.begin(), Inline{model::FieldStart{instruction}});
    last->content.push_back(Inline{model::FieldEnd{}});
}

bool OdtConverter::startsSectionHere(const std::string& masterPage, bool hasMasterPage, Opt<int> pageNumber) {
    bool started = false;
    const MasterPageDef* master = hasMasterPage && !masterPage.empty() ? findMaster(masterPage) : nullptr;
    // A new page style brings its own columns; otherwise the page's columns
    // come back after a text section that had others.
    if (master) m_resumeColumns.reset();
    else resumePageColumns();
    if (master) {
        if (!m_anyBodyBlock) {
            if (master != m_currentMaster) startSection(master, model::SectionBreak::NextPage, true);
        } else {
            startSection(master, model::SectionBreak::NextPage, false);
        }
        started = true;
        if (pageNumber && *pageNumber > 0)
            m_doc.sections[static_cast<std::size_t>(m_sectionIndex)].props.pageNumberStart = *pageNumber;
    }
    m_anyBodyBlock = true;
    return started;
}

void OdtConverter::convertParagraph(pugi::xml_node p, BlockOut out, int depth, bool heading) {
    checkDepth(depth);
    spend(1);
    const std::string styleName = std::string(attr(p, "text:style-name"));
    const Resolved rs = resolve(Family::Paragraph, styleName);
    const bool body = m_inBody && !out;
    bool pageBreakBefore = false;
    if (body) {
        const bool started = startsSectionHere(rs.masterPage, rs.hasMasterPage, rs.para.pageNumber);
        if (m_breakAfterPending && !started) pageBreakBefore = true;
        m_breakAfterPending = false;
    }

    ParaPr merged = rs.para;
    Opt<model::ListRef> listRef;
    const ListLevelDef* levelDef = nullptr;
    bool inList = false;
    int level = 0;

    // Numbering: the list being read, or the outline numbering of headings.
    if (!m_lists.empty()) {
        ListFrame& frame = m_lists.back();
        inList = true;
        level = std::min(frame.level, 8);
        if (frame.style) levelDef = &frame.style->levels[static_cast<std::size_t>(level)];
        const bool numbered = m_firstInItem && !m_listHeader && frame.style;
        if (numbered) {
            ListInstance& instance = m_listInstances[static_cast<std::size_t>(frame.instance)];
            if (instance.modelList < 0 || m_itemStart) {
                // A restart (text:start-value) is a new list from this item on.
                instance.modelList = modelListFor(*frame.style);
                if (m_itemStart) m_doc.lists[static_cast<std::size_t>(instance.modelList)]
                                     .levels[static_cast<std::size_t>(level)].start = *m_itemStart;
            }
            listRef = model::ListRef{instance.modelList, level};
        }
        m_firstInItem = false;
        m_itemStart.reset();
    }
    Opt<int> outline;
    if (heading) {
        if (auto l = parseInteger(attr(p, "text:outline-level")); l && *l >= 1) outline = static_cast<int>(std::min(*l, 10LL));
        else if (rs.outlineLevel && *rs.outlineLevel >= 1) outline = *rs.outlineLevel;
        else outline = 1;
    } else if (rs.outlineLevel && *rs.outlineLevel >= 1) {
        outline = *rs.outlineLevel;
    }
    // Outline numbering reaches headings whose style chain names no list
    // style of its own (an empty name switches numbering off).
    if (heading && !inList && outline && m_common.outline && !rs.hasListStyle &&
        attr(p, "text:is-list-header") != "true") {
        const ListLevelDef& d = m_common.outline->levels[static_cast<std::size_t>(std::min(*outline, 9) - 1)];
        if (d.defined && d.kind == LevelKind::Number && (!d.numFormat.empty() || !d.prefix.empty() || !d.suffix.empty())) {
            if (m_outlineList < 0) m_outlineList = modelListFor(*m_common.outline);
            level = std::min(*outline, 9) - 1;
            listRef = model::ListRef{m_outlineList, level};
            levelDef = &d;
        }
    }
    // The list's indents, unless the paragraph sets its own.
    if (levelDef && levelDef->defined && (inList || listRef)) {
        const StyleDef* own = m_auto ? m_auto->find(Family::Paragraph, styleName) : nullptr;
        if (!(own && own->para.left)) {
            if (levelDef->labelAlignment) {
                merged.left = levelDef->marginLeft;
                merged.firstLine = listRef ? levelDef->textIndent : 0;
            } else {
                merged.left = merged.left.value_or(0) + levelDef->spaceBefore + levelDef->minLabelWidth;
                merged.firstLine = listRef ? -levelDef->minLabelWidth : 0;
            }
        }
    }

    model::Paragraph para;
    para.props = finishPara(merged);
    para.props.style = rs.modelStyle;
    if (outline) para.props.outlineLevel = std::clamp(*outline - 1, 0, 8);
    if (listRef) para.props.list = listRef;
    if (pageBreakBefore) para.props.pageBreakBefore = true;
    para.markProps = finishChars(rs.text);
    para.markProps.charStyle.reset();

    if (!m_pendingBookmarks.empty()) {
        for (auto& b : m_pendingBookmarks) para.content.push_back(std::move(b));
        m_pendingBookmarks.clear();
    }
    if (merged.breakBeforeColumn.value_or(false)) para.content.push_back(Inline{model::Break{model::BreakKind::Column, para.markProps}});

    auto* savedContent = m_content;
    const TextPr savedText = m_text;
    const Opt<int> savedStyle = m_charStyle;
    const bool savedNumbered = m_numbered;
    m_content = &para.content;
    m_text = rs.text;
    m_charStyle.reset();
    m_lastSpace = true;
    m_collapsedTail = false;
    m_numbered = listRef.has_value();

    convertInlines(p, depth);

    // White space at the paragraph's end is not part of it.
    if (m_collapsedTail && !para.content.empty()) {
        if (auto* run = std::get_if<model::TextRun>(&para.content.back().value)) {
            if (!run->text.empty() && run->text.back() == ' ') run->text.pop_back();
            if (run->text.empty()) para.content.pop_back();
        }
    }
    if (merged.breakAfterColumn.value_or(false))
        para.content.push_back(Inline{model::Break{model::BreakKind::Column, para.markProps}});

    m_content = savedContent;
    m_text = savedText;
    m_charStyle = savedStyle;
    m_numbered = savedNumbered;

    blocks(out).push_back(Block{std::move(para)});
    if (body && merged.breakAfterPage.value_or(false)) m_breakAfterPending = true;
}

int OdtConverter::listInstanceFor(pugi::xml_node list, const std::string& styleName) {
    int instance = -1;
    if (const pugi::xml_attribute continueList = list.attribute("text:continue-list")) {
        if (auto it = m_instanceByXmlId.find(continueList.value()); it != m_instanceByXmlId.end()) instance = it->second;
    }
    if (instance < 0 && attr(list, "text:continue-numbering") == "true") {
        if (auto it = m_lastInstanceByStyle.find(styleName); it != m_lastInstanceByStyle.end()) instance = it->second;
    }
    if (instance < 0) {
        m_listInstances.push_back(ListInstance{-1, styleName});
        instance = static_cast<int>(m_listInstances.size() - 1);
    }
    m_lastInstanceByStyle[styleName] = instance;
    if (const pugi::xml_attribute id = list.attribute("xml:id")) m_instanceByXmlId[id.value()] = instance;
    return instance;
}

void OdtConverter::convertList(pugi::xml_node list, BlockOut out, int depth) {
    checkDepth(depth);
    ListFrame frame;
    const std::string styleName = std::string(attr(list, "text:style-name"));
    if (m_lists.empty()) {
        frame.styleName = styleName;
        frame.style = findListStyle(styleName);
        frame.level = 0;
        frame.instance = listInstanceFor(list, styleName);
    } else {
        // A nested list numbers on in its outer list, at the next level.
        const ListFrame& outer = m_lists.back();
        frame = outer;
        frame.level = outer.level + 1;
        if (!frame.style && !styleName.empty()) {
            frame.style = findListStyle(styleName);
            frame.styleName = styleName;
        }
    }
    m_lists.push_back(frame);
    for (pugi::xml_node item = list.first_child(); item; item = item.next_sibling()) {
        if (item.type() != pugi::node_element) continue;
        const bool header = named(item, "text:list-header");
        if (!header && !named(item, "text:list-item")) {
            convertBlock(item, out, depth + 1);
            continue;
        }
        m_firstInItem = true;
        m_listHeader = header;
        m_itemStart.reset();
        if (auto start = parseInteger(attr(item, "text:start-value")))
            m_itemStart = static_cast<int>(std::clamp(*start, 0LL, 32767LL));
        convertBlocks(item, out, depth + 1);
        m_firstInItem = false;
        m_listHeader = false;
        m_itemStart.reset();
    }
    m_lists.pop_back();
}

void OdtConverter::convertNumberedParagraph(pugi::xml_node np, BlockOut out, int depth) {
    checkDepth(depth);
    ListFrame frame;
    const std::string styleName = std::string(attr(np, "text:style-name"));
    frame.styleName = styleName;
    frame.style = findListStyle(styleName);
    const auto level = parseInteger(attr(np, "text:level"));
    frame.level = level ? static_cast<int>(std::clamp(*level - 1, 0LL, 9LL)) : 0;
    const std::string listId = std::string(attr(np, "text:list-id"));
    if (auto it = m_instanceByXmlId.find(listId); !listId.empty() && it != m_instanceByXmlId.end()) {
        frame.instance = it->second;
    } else {
        m_listInstances.push_back(ListInstance{-1, styleName});
        frame.instance = static_cast<int>(m_listInstances.size() - 1);
        if (!listId.empty()) m_instanceByXmlId[listId] = frame.instance;
    }
    auto savedLists = std::move(m_lists);
    m_lists.clear();
    m_lists.push_back(frame);
    m_firstInItem = true;
    m_listHeader = false;
    m_itemStart.reset();
    if (auto start = parseInteger(attr(np, "text:start-value"))) m_itemStart = static_cast<int>(std::clamp(*start, 0LL, 32767LL));
    convertBlocks(np, out, depth);
    m_firstInItem = false;
    m_itemStart.reset();
    m_lists = std::move(savedLists);
}

void OdtConverter::convertSection(pugi::xml_node section, BlockOut out, int depth) {
    checkDepth(depth);
    if (attr(section, "text:display") == "none") return;  // a hidden section shows nothing
    const bool top = m_inBody && !out && !m_inTextSection;
    const StyleDef* style = findStyle(Family::Section, std::string(attr(section, "text:style-name")), m_auto);
    const int columns = style && style->section.columns ? *style->section.columns : 1;
    model::Section& current = m_doc.sections[static_cast<std::size_t>(m_sectionIndex)];
    if (!top || columns == current.props.columns) {
        const bool saved = m_inTextSection;
        m_inTextSection = m_inTextSection || top;
        convertBlocks(section, out, depth);
        m_inTextSection = saved;
        return;
    }
    // Columns that differ from the page's: a continuous section of their own,
    // and, once more text follows, another one that returns to the page's.
    const int pageColumns = m_resumeColumns ? m_resumeColumns->first : current.props.columns;
    const model::Twips pageGap = m_resumeColumns ? m_resumeColumns->second : current.props.columnSpacing;
    m_resumeColumns.reset();
    continuousSection(columns, style && style->section.columnGap ? std::clamp(*style->section.columnGap, 0, 31680) : pageGap);
    m_inTextSection = true;
    convertBlocks(section, out, depth);
    m_inTextSection = false;
    m_resumeColumns = std::make_pair(pageColumns, pageGap);
}

void OdtConverter::continuousSection(int columns, model::Twips gap) {
    model::Section& cur = m_doc.sections[static_cast<std::size_t>(m_sectionIndex)];
    if (cur.blocks.empty()) {
        cur.props.columns = columns;
        cur.props.columnSpacing = gap;
        return;
    }
    model::Section next;
    next.props = cur.props;
    next.props.columns = columns;
    next.props.columnSpacing = gap;
    next.props.breakKind = model::SectionBreak::Continuous;
    next.props.pageNumberStart.reset();
    // It starts no page, so it has no first page of its own.
    next.props.titlePage = false;
    next.header = cur.header;
    next.headerEven = cur.headerEven;
    next.footer = cur.footer;
    next.footerEven = cur.footerEven;
    m_doc.sections.push_back(std::move(next));
    m_sectionIndex = static_cast<int>(m_doc.sections.size() - 1);
}

void OdtConverter::resumePageColumns() {
    if (!m_resumeColumns || m_inTextSection) return;
    const auto [columns, gap] = *m_resumeColumns;
    m_resumeColumns.reset();
    continuousSection(columns, gap);
}

// ---------------------------------------------------------------------------
// Tables

void OdtConverter::convertTable(pugi::xml_node table, BlockOut out, int depth) {
    checkDepth(depth);
    spend(1);
    const StyleDef* ts = findStyle(Family::Table, std::string(attr(table, "table:style-name")), m_auto);
    if (m_inBody && !out) {
        if (ts) startsSectionHere(ts->masterPage, ts->hasMasterPage, std::nullopt);
        else startsSectionHere({}, false, std::nullopt);
        m_breakAfterPending = false;  // a table cannot take the page break over
    }

    // Columns, with their repeats.
    std::vector<ColumnSpec> columns;
    const std::function<void(pugi::xml_node, int)> collectColumns = [&](pugi::xml_node parent, int d) {
        checkDepth(d);
        for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
            if (named(c, "table:table-column")) {
                const StyleDef* cs = findStyle(Family::TableColumn, std::string(attr(c, "table:style-name")), m_auto);
                ColumnSpec spec;
                if (cs) {
                    spec.width = cs->column.width;
                    spec.rel = cs->column.relWidth;
                }
                long long repeat = parseInteger(attr(c, "table:number-columns-repeated")).value_or(1);
                repeat = std::clamp(repeat, 1LL, 1024LL);
                for (long long i = 0; i < repeat && columns.size() < 1024; ++i) columns.push_back(spec);
            } else if (named(c, "table:table-columns") || named(c, "table:table-header-columns") ||
                       named(c, "table:table-column-group")) {
                collectColumns(c, d + 1);
            }
        }
    };
    collectColumns(table, depth + 1);

    // Fit the widths to the table.
    const model::Twips available = m_width > 0 ? m_width : textWidth();
    long long known = 0;
    double relSum = 0;
    bool allKnown = !columns.empty(), allRel = !columns.empty();
    for (const ColumnSpec& c : columns) {
        if (c.width) known += *c.width;
        else allKnown = false;
        if (c.rel) relSum += *c.rel;
        else allRel = false;
    }
    model::Twips tableWidth = available;
    if (ts && ts->table.width && *ts->table.width > 0) tableWidth = *ts->table.width;
    else if (ts && ts->table.relWidth && *ts->table.relWidth > 0) tableWidth = static_cast<model::Twips>(available * *ts->table.relWidth / 100.0);
    else if (allKnown && known > 0) tableWidth = static_cast<model::Twips>(std::min<long long>(known, 31680 * 2));
    tableWidth = std::clamp(tableWidth, 360, 31680 * 2);
    std::vector<model::Twips> widths(columns.size(), 0);
    if (!columns.empty()) {
        if (allRel && relSum > 0 && !(allKnown && known > 0)) {
            for (std::size_t i = 0; i < columns.size(); ++i)
                widths[i] = static_cast<model::Twips>(tableWidth * *columns[i].rel / relSum);
        } else {
            int missing = 0;
            for (const ColumnSpec& c : columns) {
                if (!c.width) ++missing;
            }
            const long long rest = std::max<long long>(tableWidth - known, 0);
            for (std::size_t i = 0; i < columns.size(); ++i) {
                widths[i] = columns[i].width ? std::clamp(*columns[i].width, 0, 31680 * 2)
                                             : static_cast<model::Twips>(missing ? rest / missing : 0);
            }
        }
    }

    model::Table result;
    if (ts) {
        if (ts->table.align) result.alignment = *ts->table.align;
        if (ts->table.marginLeft && result.alignment == model::Alignment::Left)
            result.indent = std::clamp(*ts->table.marginLeft, -31680, 31680);
    }

    // Rows, wherever the groups put them.
    struct RowRef {
        pugi::xml_node node;
        bool header;
    };
    std::vector<RowRef> rows;
    const std::function<void(pugi::xml_node, bool, int)> collectRows = [&](pugi::xml_node parent, bool header, int d) {
        checkDepth(d);
        for (pugi::xml_node r = parent.first_child(); r; r = r.next_sibling()) {
            if (named(r, "table:table-row")) rows.push_back({r, header});
            else if (named(r, "table:table-header-rows")) collectRows(r, true, d + 1);
            else if (named(r, "table:table-rows") || named(r, "table:table-row-group")) collectRows(r, header, d + 1);
        }
    };
    collectRows(table, false, depth + 1);

    // Vertical spans in progress, by the column they start in.
    struct VSpan {
        long long remaining = 0;
        int span = 1;
        model::BoxBorders borders;
        Opt<model::Rgb> shading;
        model::CellVAlign valign = model::CellVAlign::Top;
    };
    std::vector<VSpan> vspans;
    bool paddingSet = false;
    const auto widthOf = [&](std::size_t col, int span) {
        long long w = 0;
        for (std::size_t i = col; i < col + static_cast<std::size_t>(span) && i < widths.size(); ++i) w += widths[i];
        return static_cast<model::Twips>(std::min<long long>(w, 31680 * 2));
    };

    // Reading a table is a little body of its own: no list goes on in it.
    auto savedLists = std::move(m_lists);
    m_lists.clear();
    const bool savedFirst = m_firstInItem;
    const model::Twips savedWidth = m_width;

    for (const RowRef& ref : rows) {
        const StyleDef* rs = findStyle(Family::TableRow, std::string(attr(ref.node, "table:style-name")), m_auto);
        model::TableRow row;
        row.header = ref.header;
        if (rs) {
            if (rs->row.height && *rs->row.height > 0) row.height = -std::min(*rs->row.height, 31680);
            else if (rs->row.minHeight && *rs->row.minHeight > 0) row.height = std::min(*rs->row.minHeight, 31680);
        }
        // A cell without a background of its own shows the row's, or the table's.
        Opt<model::Rgb> rowBackground = ts && ts->table.background ? *ts->table.background : Opt<model::Rgb>{};
        if (rs && rs->row.background) rowBackground = *rs->row.background;
        std::size_t col = 0;
        int skipCovered = 0;
        for (pugi::xml_node c = ref.node.first_child(); c; c = c.next_sibling()) {
            const bool covered = named(c, "table:covered-table-cell");
            if (!covered && !named(c, "table:table-cell")) continue;
            long long repeat = parseInteger(attr(c, "table:number-columns-repeated")).value_or(1);
            repeat = std::clamp(repeat, 1LL, 1024LL);
            for (long long k = 0; k < repeat && col < 4096; ++k) {
                spend(4);
                if (vspans.size() <= col) vspans.resize(col + 1);
                if (covered) {
                    if (skipCovered > 0) {
                        --skipCovered;  // beside a cell that spans columns
                        ++col;
                    } else if (vspans[col].remaining > 0) {
                        // Under a cell that spans rows: the merge goes on.
                        model::TableCell cell;
                        cell.gridSpan = vspans[col].span;
                        cell.width = widthOf(col, cell.gridSpan);
                        cell.vmerge = model::VMerge::Continue;
                        cell.borders = vspans[col].borders;
                        cell.shading = vspans[col].shading;
                        cell.valign = vspans[col].valign;
                        cell.blocks.push_back(Block{model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}}});
                        --vspans[col].remaining;
                        skipCovered = cell.gridSpan - 1;
                        ++col;
                        row.cells.push_back(std::move(cell));
                    } else {
                        // A covered cell nothing covers: an empty cell keeps the grid.
                        model::TableCell cell;
                        cell.width = widthOf(col, 1);
                        cell.blocks.push_back(Block{model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}}});
                        row.cells.push_back(std::move(cell));
                        ++col;
                    }
                    continue;
                }
                // A producer that left out the covered cells beside a span:
                // the grid moves on anyway.
                col += static_cast<std::size_t>(skipCovered);
                skipCovered = 0;
                if (vspans.size() <= col) vspans.resize(col + 1);
                model::TableCell cell;
                const long long span = std::clamp(parseInteger(attr(c, "table:number-columns-spanned")).value_or(1), 1LL, 1024LL);
                const long long down = std::clamp(parseInteger(attr(c, "table:number-rows-spanned")).value_or(1), 1LL, 1000000LL);
                cell.gridSpan = static_cast<int>(span);
                cell.width = widthOf(col, cell.gridSpan);
                const StyleDef* cs = findStyle(Family::TableCell, std::string(attr(c, "table:style-name")), m_auto);
                if (cs) {
                    cell.borders = boxBorders(cs->cell.borders);
                    // The model has one padding for the table: the first cell's.
                    if (!paddingSet) {
                        const auto& pad = cs->cell.padding;
                        const auto clampPad = [](Opt<int> v, model::Twips fallback) {
                            return v ? std::clamp(*v, 0, 31680) : fallback;
                        };
                        result.padding = model::CellPadding{clampPad(pad[1], result.padding.left),
                                                            clampPad(pad[3], result.padding.right),
                                                            clampPad(pad[0], result.padding.top),
                                                            clampPad(pad[2], result.padding.bottom)};
                        paddingSet = true;
                    }
                }
                if (cs && cs->cell.valign) cell.valign = *cs->cell.valign;
                if (cs && cs->cell.background) cell.shading = *cs->cell.background;
                else cell.shading = rowBackground;
                if (down > 1) {
                    cell.vmerge = model::VMerge::Start;
                    vspans[col] = VSpan{down - 1, cell.gridSpan, cell.borders, cell.shading, cell.valign};
                } else {
                    vspans[col] = VSpan{};
                }
                m_width = std::max<model::Twips>(cell.width - 216, 360);
                if (cell.width <= 0) m_width = std::max<model::Twips>(available / 4, 360);
                m_firstInItem = false;
                convertBlocks(c, &cell.blocks, depth + 1);
                if (cell.blocks.empty())
                    cell.blocks.push_back(Block{model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}}});
                skipCovered = cell.gridSpan - 1;
                ++col;
                row.cells.push_back(std::move(cell));
            }
        }
        if (row.cells.empty()) continue;
        long long repeat = parseInteger(attr(ref.node, "table:number-rows-repeated")).value_or(1);
        repeat = std::clamp(repeat, 1LL, 100000LL);
        // Copies cost what they hold, so that a repeated row full of text
        // cannot grow the document past the limits.
        const std::size_t weight = 4 * row.cells.size() + contentWeight(row);
        for (long long k = 1; k < repeat; ++k) {
            spend(weight);
            result.rows.push_back(row);
        }
        result.rows.push_back(std::move(row));
    }
    m_lists = std::move(savedLists);
    m_firstInItem = savedFirst;
    m_width = savedWidth;

    if (!result.rows.empty()) blocks(out).push_back(Block{std::move(result)});
}

// What a row's copies cost beyond their cells: its text and inline items.
std::size_t OdtConverter::contentWeight(const model::TableRow& row) {
    std::size_t weight = 0;
    const std::function<void(const std::vector<Block>&, int)> blocksWeight = [&](const std::vector<Block>& bs, int d) {
        if (d > 64) return;
        for (const Block& b : bs) {
            if (const auto* p = std::get_if<model::Paragraph>(&b.value)) {
                weight += 1 + p->content.size();
                for (const Inline& in : p->content) {
                    if (const auto* run = std::get_if<model::TextRun>(&in.value)) weight += run->text.size() / 64;
                    else if (const auto* img = std::get_if<model::Image>(&in.value)) weight += img->data.size() / 64;
                    else if (const auto* f = std::get_if<model::Frame>(&in.value)) blocksWeight(f->blocks, d + 1);
                    else if (const auto* n = std::get_if<model::Note>(&in.value)) blocksWeight(n->blocks, d + 1);
                    else if (const auto* c = std::get_if<model::Comment>(&in.value)) blocksWeight(c->blocks, d + 1);
                }
            } else if (const auto* t = std::get_if<model::Table>(&b.value)) {
                for (const model::TableRow& r : t->rows) {
                    weight += 4 * r.cells.size();
                    for (const model::TableCell& c : r.cells) blocksWeight(c.blocks, d + 1);
                }
            }
        }
    };
    for (const model::TableCell& c : row.cells) blocksWeight(c.blocks, 0);
    return weight;
}

// Pictures are copied where they are used; all copies together stay within
// what the package may expand to.
bool OdtConverter::spendImage(std::size_t bytes, std::string& problem) {
    if (bytes > m_imageBudget) {
        problem = "Pictures beyond the engine's size limits were left out";
        return false;
    }
    m_imageBudget -= bytes;
    return true;
}

// ---------------------------------------------------------------------------
// Inline content

void OdtConverter::convertInlines(pugi::xml_node parent, int depth) {
    checkDepth(depth);
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
            emitText(n.value(), true);
        } else if (n.type() == pugi::node_element) {
            convertInline(n, depth + 1);
        }
    }
}

void OdtConverter::convertInline(pugi::xml_node n, int depth) {
    checkDepth(depth);
    const std::string_view name = n.name();
    if (name == "text:span") {
        const TextPr saved = m_text;
        const Opt<int> savedStyle = m_charStyle;
        applyTextStyle(std::string(attr(n, "text:style-name")));
        convertInlines(n, depth);
        m_text = saved;
        m_charStyle = savedStyle;
    } else if (name == "text:s") {
        const long long count = std::clamp(parseInteger(attr(n, "text:c")).value_or(1), 1LL, 10000LL);
        spend(static_cast<std::size_t>(count) / 64 + 1);
        emitText(std::string(static_cast<std::size_t>(count), ' '), false);
    } else if (name == "text:tab") {
        emitText("\t", false);
    } else if (name == "text:line-break") {
        emitText("\n", false);
    } else if (name == "text:a") {
        const std::string href = std::string(attr(n, "xlink:href"));
        const TextPr saved = m_text;
        const Opt<int> savedStyle = m_charStyle;
        applyTextStyle(std::string(attr(n, "text:style-name")));
        if (href.empty()) {
            convertInlines(n, depth);
        } else if (href.front() == '#') {
            emitField("HYPERLINK \\l " + quoted(percentDecoded(href.substr(1))), n, depth);
        } else {
            emitField("HYPERLINK " + quoted(href), n, depth);
        }
        m_text = saved;
        m_charStyle = savedStyle;
    } else if (name == "text:bookmark" || name == "text:reference-mark") {
        emitBookmark(std::string(attr(n, "text:name")), true);
        emitBookmark(std::string(attr(n, "text:name")), false);
    } else if (name == "text:bookmark-start" || name == "text:reference-mark-start") {
        emitBookmark(std::string(attr(n, "text:name")), true);
    } else if (name == "text:bookmark-end" || name == "text:reference-mark-end") {
        emitBookmark(std::string(attr(n, "text:name")), false);
    } else if (name == "text:note") {
        convertNote(n, depth);
    } else if (name == "office:annotation") {
        convertAnnotation(n, depth);
    } else if (name == "office:annotation-end") {
        endAnnotation(n);
    } else if (name == "draw:frame") {
        convertFrame(n, depth);
    } else if (name == "draw:a") {
        // A linked picture or shape: the link holds what it shows.
        const std::string href = std::string(attr(n, "xlink:href"));
        if (href.empty()) convertInlines(n, depth);
        else if (href.front() == '#') emitField("HYPERLINK \\l " + quoted(percentDecoded(href.substr(1))), n, depth);
        else emitField("HYPERLINK " + quoted(href), n, depth);
    } else if (isShape(n)) {
        convertShape(n, depth);
    } else if (name == "text:number") {
        // The label as last shown; the list numbers the paragraph itself.
        if (!m_numbered) convertInlines(n, depth);
    } else if (name == "text:page-number") {
        emitField("PAGE", n, depth);
    } else if (name == "text:page-count") {
        emitField("NUMPAGES", n, depth);
    } else if (name == "text:date" || name == "text:time") {
        if (attr(n, "text:fixed") == "true") convertInlines(n, depth);
        else emitField(name == "text:date" ? "DATE" : "TIME", n, depth);
    } else if (name == "text:sequence") {
        std::string seq = std::string(attr(n, "text:name"));
        std::erase_if(seq, [](char c) { return c == ' ' || c == '"' || c == '\\'; });
        if (seq.empty()) convertInlines(n, depth);
        else emitField("SEQ " + seq + " \\* ARABIC", n, depth);
    } else if (name == "text:bookmark-ref" || name == "text:reference-ref" || name == "text:sequence-ref") {
        const std::string target = std::string(attr(n, "text:ref-name"));
        if (target.empty()) convertInlines(n, depth);
        else emitField("REF " + quoted(target) + " \\h", n, depth);
    } else if (name == "text:title") {
        emitField("TITLE", n, depth);
    } else if (name == "text:subject") {
        emitField("SUBJECT", n, depth);
    } else if (name == "text:author-name" || name == "text:initial-creator") {
        emitField("AUTHOR", n, depth);
    } else if (name == "text:file-name") {
        emitField("FILENAME", n, depth);
    } else if (name == "text:word-count") {
        emitField("NUMWORDS", n, depth);
    } else if (name == "text:character-count") {
        emitField("NUMCHARS", n, depth);
    } else if (name == "text:keywords") {
        emitField("KEYWORDS", n, depth);
    } else if (name == "text:description") {
        emitField("COMMENTS", n, depth);
    } else if (name == "text:creation-date") {
        emitField("CREATEDATE", n, depth);
    } else if (name == "text:modification-date") {
        emitField("SAVEDATE", n, depth);
    } else if (name == "text:ruby") {
        convertInlines(n.child("text:ruby-base"), depth);
    } else if (name == "text:change" || name == "text:change-start" || name == "text:change-end") {
        changeMark(n, false, nullptr, depth);
    } else if (name == "text:hidden-text") {
        const TextPr saved = m_text;
        if (attr(n, "text:is-hidden") != "false") m_text.hidden = true;
        convertInlines(n, depth);
        m_text = saved;
    } else if (skippedInline(n)) {
        return;
    } else {
        // Fields this reader does not name and producers' own wrappers: what
        // they show is still text of the paragraph.
        convertInlines(n, depth);
    }
}

void OdtConverter::applyTextStyle(const std::string& name) {
    if (name.empty()) return;
    mergeTextPr(m_text, textChain(name, 0));
    // The character style the span names, or the common one it derives from.
    const StyleDef* s = findStyle(Family::Text, name, m_auto);
    for (int guard = 0; s && guard < 32; ++guard) {
        if (m_common.find(Family::Text, s->name) == s) {
            if (auto it = m_modelStyleByName.find({Family::Text, s->name}); it != m_modelStyleByName.end()) {
                m_charStyle = it->second;
                return;
            }
        }
        if (s->parent.empty()) return;
        s = m_common.find(Family::Text, s->parent);
    }
}

void OdtConverter::emitText(std::string_view text, bool collapse) {
    if (!m_content || text.empty()) return;
    std::string clean;
    if (collapse) {
        std::string collapsed;
        collapsed.reserve(text.size());
        for (const char c : text) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                if (m_lastSpace) continue;
                collapsed.push_back(' ');
                m_lastSpace = true;
                m_collapsedTail = true;
            } else {
                collapsed.push_back(c);
                m_lastSpace = false;
                m_collapsedTail = false;
            }
        }
        appendClean(clean, collapsed);
    } else {
        appendClean(clean, text);
        m_lastSpace = false;
        m_collapsedTail = false;
    }
    if (clean.empty()) return;
    spend(clean.size() / 64);
    model::CharProps props = finishChars(m_text);
    props.charStyle = m_charStyle;
    if (!m_content->empty()) {
        if (auto* run = std::get_if<model::TextRun>(&m_content->back().value);
            run && run->props == props && run->revision == m_revision) {
            run->text += clean;
            return;
        }
    }
    m_content->push_back(Inline{model::TextRun{std::move(clean), props, m_revision}});
}

void OdtConverter::emitInline(Inline item) {
    spend(1);
    if (m_content) m_content->push_back(std::move(item));
    m_lastSpace = false;
    m_collapsedTail = false;
}

void OdtConverter::emitField(std::string instruction, pugi::xml_node resultFrom, int depth) {
    if (!m_content) return;
    model::Field field;
    field.instruction = std::move(instruction);
    auto* saved = m_content;
    m_content = &field.result;
    convertInlines(resultFrom, depth);
    m_content = saved;
    m_content->push_back(Inline{std::move(field)});
    m_collapsedTail = false;  // the trailing-space trim does not reach into results
}

void OdtConverter::emitBookmark(std::string name, bool start) {
    if (name.empty()) return;
    if (!m_content) {
        m_pendingBookmarks.push_back(Inline{model::Bookmark{std::move(name), start}});
        return;
    }
    m_content->push_back(Inline{model::Bookmark{std::move(name), start}});
}

// Text that belongs to a paragraph but does not flow in it (a note, a
// comment, a text box) is a little story of its own: no list, run or
// paragraph of the text around it goes on inside.
std::vector<Block> OdtConverter::convertStory(pugi::xml_node container, int depth) {
    std::vector<Block> out;
    auto savedLists = std::move(m_lists);
    m_lists.clear();
    const bool savedFirst = m_firstInItem;
    const bool savedHeader = m_listHeader;
    const Opt<int> savedStart = m_itemStart;
    const bool savedLastSpace = m_lastSpace;
    const bool savedTail = m_collapsedTail;
    const bool savedInBody = m_inBody;
    const bool savedNumbered = m_numbered;
    const int savedStory = m_story;
    auto* savedContent = m_content;
    const TextPr savedText = m_text;
    const Opt<int> savedStyle = m_charStyle;
    auto savedBookmarks = std::move(m_pendingBookmarks);
    m_pendingBookmarks.clear();
    // A note or comment in a changed region has marks of its own.
    const std::optional<model::Revision> savedRevision = std::exchange(m_revision, std::nullopt);
    const std::string savedRevisionId = std::exchange(m_revisionId, std::string());
    m_firstInItem = false;
    m_inBody = false;
    m_story = ++m_stories;
    convertBlocks(container, &out, depth);
    finishStory(out);
    m_lists = std::move(savedLists);
    m_firstInItem = savedFirst;
    m_listHeader = savedHeader;
    m_itemStart = savedStart;
    m_lastSpace = savedLastSpace;
    m_collapsedTail = savedTail;
    m_inBody = savedInBody;
    m_numbered = savedNumbered;
    m_story = savedStory;
    m_content = savedContent;
    m_text = savedText;
    m_charStyle = savedStyle;
    m_pendingBookmarks = std::move(savedBookmarks);
    m_revision = savedRevision;
    m_revisionId = savedRevisionId;
    return out;
}

// ---------------------------------------------------------------------------
// Tracked changes
//
// text:tracked-changes lists the changed regions with who changed them and
// when. Inserted text stays in place between text:change-start and
// text:change-end; deleted text lives in its region, and text:change marks
// where it stood. Format changes keep the new formatting.

void OdtConverter::loadTrackedChanges(pugi::xml_node text) {
    const pugi::xml_node changes = text.child("text:tracked-changes");
    std::size_t count = 0;
    for (pugi::xml_node region = changes.child("text:changed-region"); region;
         region = region.next_sibling("text:changed-region")) {
        if (++count > 1000000) break;
        std::string id = std::string(attr(region, "text:id"));
        if (id.empty()) id = std::string(attr(region, "xml:id"));
        if (id.empty()) continue;
        ChangedRegion c;
        pugi::xml_node what = region.child("text:insertion");
        if (!what) {
            what = region.child("text:deletion");
            if (!what) continue;  // a format change
            c.revision.kind = model::Revision::Kind::Deletion;
            c.deleted = what;
        }
        const pugi::xml_node info = what.child("office:change-info");
        appendClean(c.revision.author, trim(info.child("dc:creator").text().get()));
        c.revision.date = isoDate(info.child("dc:date").text().get());
        spend(1);
        m_changes.emplace(std::move(id), std::move(c));
    }
}

void OdtConverter::changeMark(pugi::xml_node mark, bool block, BlockOut out, int depth) {
    const std::string id = std::string(attr(mark, "text:change-id"));
    const auto it = m_changes.find(id);
    if (it == m_changes.end()) return;
    ChangedRegion& region = it->second;
    const std::string_view name = mark.name();
    if (region.revision.kind == model::Revision::Kind::Insertion) {
        if (name == "text:change-start") {
            m_revision = region.revision;
            m_revisionId = id;
        } else if (name == "text:change-end" && m_revisionId == id) {
            m_revision.reset();
            m_revisionId.clear();
        }
        return;
    }
    if (name != "text:change" || !region.deleted || region.read) return;
    // The deleted text where it stood: whole paragraphs between paragraphs,
    // inline text (its paragraph ends as line breaks) inside one. Each region
    // is read once, so regions that name each other cannot multiply the text.
    region.read = true;
    const std::optional<model::Revision> saved = std::exchange(m_revision, region.revision);
    if (block) {
        convertBlocks(region.deleted, out, depth + 1);
    } else {
        bool first = true;
        convertDeletedInlines(region.deleted, first, depth + 1);
    }
    m_revision = saved;
}

void OdtConverter::convertDeletedInlines(pugi::xml_node parent, bool& first, int depth) {
    checkDepth(depth);
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_element || named(n, "office:change-info")) continue;
        if (named(n, "text:p") || named(n, "text:h")) {
            if (!first) emitText("\n", false);
            first = false;
            convertInlines(n, depth + 1);
        } else {
            convertDeletedInlines(n, first, depth + 1);  // lists, tables, sections: their paragraphs
        }
    }
}

// Bookmarks and comments still open when a story ends land in its last
// paragraph, so that nothing is lost.
void OdtConverter::finishStory(std::vector<Block>& out) {
    std::vector<Inline> tail;
    for (auto& b : m_pendingBookmarks) tail.push_back(std::move(b));
    m_pendingBookmarks.clear();
    const auto [first, last] = m_openByStory.equal_range(m_story);
    for (auto it = first; it != last; ++it) {
        auto open = m_openComments.find(it->second);
        if (open == m_openComments.end() || open->second.story != m_story) continue;
        tail.push_back(Inline{model::CommentRange{open->second.id, false}});
        tail.push_back(Inline{std::move(open->second.comment)});
        m_openComments.erase(open);
    }
    m_openByStory.erase(first, last);
    if (tail.empty()) return;
    model::Paragraph* p = out.empty() ? nullptr : std::get_if<model::Paragraph>(&out.back().value);
    if (!p) {
        out.push_back(Block{model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}}});
        p = std::get_if<model::Paragraph>(&out.back().value);
    }
    for (Inline& in : tail) p->content.push_back(std::move(in));
}

void OdtConverter::convertNote(pugi::xml_node note, int depth) {
    model::Note result;
    result.kind = attr(note, "text:note-class") == "endnote" ? model::Note::Kind::Endnote : model::Note::Kind::Footnote;
    // A label the author typed replaces the number.
    const pugi::xml_node citation = note.child("text:note-citation");
    appendClean(result.customMark, trim(attr(citation, "text:label")));
    result.referenceProps = finishChars(m_text);
    result.referenceProps.charStyle = m_charStyle;
    result.referenceProps.verticalAlign = model::VerticalAlign::Superscript;
    result.blocks = convertStory(note.child("text:note-body"), depth + 1);
    if (result.blocks.empty()) result.blocks.push_back(Block{model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}}});
    emitInline(Inline{std::move(result)});
}

void OdtConverter::convertAnnotation(pugi::xml_node annotation, int depth) {
    model::Comment comment;
    for (pugi::xml_node c = annotation.first_child(); c; c = c.next_sibling()) {
        if (named(c, "dc:creator")) appendClean(comment.author, trim(c.text().get()));
        else if (named(c, "meta:creator-initials") || named(c, "loext:sender-initials"))
            appendClean(comment.initials, trim(c.text().get()));
        else if (named(c, "dc:date")) comment.date = isoDate(c.text().get());
    }
    comment.blocks = convertStory(annotation, depth);
    if (comment.blocks.empty()) comment.blocks.push_back(Block{model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}}});
    // A named comment covers the text up to its office:annotation-end; the
    // comment itself stands at that end.
    const std::string name = std::string(attr(annotation, "office:name"));
    if (!name.empty() && !m_openComments.count(name)) {
        const int id = m_nextCommentId++;
        comment.range = id;
        emitInline(Inline{model::CommentRange{id, true}});
        m_openComments.emplace(name, OpenComment{id, m_story, std::move(comment)});
        m_openByStory.emplace(m_story, name);
        return;
    }
    emitInline(Inline{std::move(comment)});
}

void OdtConverter::endAnnotation(pugi::xml_node end) {
    auto it = m_openComments.find(std::string(attr(end, "office:name")));
    if (it == m_openComments.end() || it->second.story != m_story) return;
    emitInline(Inline{model::CommentRange{it->second.id, false}});
    emitInline(Inline{std::move(it->second.comment)});
    m_openComments.erase(it);
}

GraphicPr OdtConverter::graphicChain(const std::string& name) {
    std::vector<const StyleDef*> chain;
    const StyleDef* s = findStyle(Family::Graphic, name, m_auto);
    while (s && chain.size() < 32) {
        if (std::find(chain.begin(), chain.end(), s) != chain.end()) break;
        chain.push_back(s);
        if (s->parent.empty()) break;
        const StyleDef* parent = m_common.find(Family::Graphic, s->parent);
        if (!parent && m_auto) parent = m_auto->find(Family::Graphic, s->parent);
        s = parent;
    }
    GraphicPr g;
    if (auto it = m_common.defaults.find(Family::Graphic); it != m_common.defaults.end()) g = it->second.graphic;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) mergeGraphicPr(g, (*it)->graphic);
    return g;
}

// The box a frame or shape makes: size, place, wrapping and looks.
model::Frame OdtConverter::frameFor(pugi::xml_node node, std::string_view anchor) {
    model::Frame f;
    const GraphicPr g = graphicChain(std::string(attr(node, "draw:style-name")));
    f.width = std::clamp(lengthAttr(node, "svg:width").value_or(lengthAttr(node, "fo:min-width").value_or(0)), 0, 31680 * 2);
    Opt<int> h = lengthAttr(node, "svg:height");
    if (!h) h = lengthAttr(node, "fo:min-height");
    if (!h) h = lengthAttr(node.child("draw:text-box"), "fo:min-height");
    f.height = std::clamp(h.value_or(0), 0, 31680 * 2);
    if (anchor != "as-char") {
        const auto relative = [](const Opt<std::string>& rel, bool page) {
            const std::string r = rel.value_or(page ? "page" : "paragraph");
            if (r == "page" || r == "page-start-margin" || r == "page-end-margin") return model::FrameRelative::Page;
            if (r == "page-content") return model::FrameRelative::Margin;
            return model::FrameRelative::Text;
        };
        const bool page = anchor == "page";
        model::FramePosition pos;
        pos.horizontal = relative(g.horizontalRel, page);
        pos.vertical = relative(g.verticalRel, page);
        const model::SectionProps& sp = m_doc.sections[static_cast<std::size_t>(m_sectionIndex)].props;
        const int areaWidth = pos.horizontal == model::FrameRelative::Page ? sp.pageWidth : textWidth();
        const std::string hpos = g.horizontalPos.value_or("from-left");
        if (hpos == "center") pos.x = (areaWidth - f.width) / 2;
        else if (hpos == "right" || hpos == "outside") pos.x = areaWidth - f.width;
        else if (hpos == "from-left" || hpos == "from-inside") pos.x = lengthAttr(node, "svg:x").value_or(0);
        const std::string vpos = g.verticalPos.value_or("from-top");
        if (vpos == "from-top") {
            pos.y = lengthAttr(node, "svg:y").value_or(0);
        } else if (pos.vertical == model::FrameRelative::Page) {
            if (vpos == "middle" || vpos == "center") pos.y = (sp.pageHeight - f.height) / 2;
            else if (vpos == "bottom") pos.y = sp.pageHeight - f.height;
        }
        pos.x = std::clamp(pos.x, -31680, 31680 * 2);
        pos.y = std::clamp(pos.y, -31680, 31680 * 2);
        f.position = pos;
    }
    const std::string wrap = g.wrap.value_or("parallel");
    if (wrap == "none") f.wrap = model::FrameWrap::TopBottom;
    else if (wrap == "run-through") f.wrap = g.background.value_or(false) ? model::FrameWrap::Behind : model::FrameWrap::InFront;
    else f.wrap = g.contour.value_or(false) ? model::FrameWrap::Tight : model::FrameWrap::Square;
    if (g.border) f.border = *g.border;
    if (g.fill) f.fill = *g.fill;
    return f;
}

bool OdtConverter::loadImage(pugi::xml_node image, model::Image& out, std::string& problem) {
    std::string data;
    std::string key;
    if (const pugi::xml_node binary = image.child("office:binary-data")) {
        if (!base64Decode(binary.text().get(), data, m_limits.maxEntryBytes)) {
            problem = "A picture larger than the engine's limits was left out";
            return false;
        }
    } else {
        std::string href = std::string(attr(image, "xlink:href"));
        if (href.empty()) {
            problem = "A picture without data was left out";
            return false;
        }
        if (href.find("://") != std::string::npos || startsWith(href, "/") || startsWith(href, "file:") ||
            startsWith(href, "../")) {
            problem = "A linked picture (stored outside the document) was left out";
            return false;
        }
        if (startsWith(href, "./")) href.erase(0, 2);
        key = percentDecoded(href);
        if (auto it = m_images.find(key); it != m_images.end()) {
            if (!spendImage(it->second.data.size(), problem)) return false;
            out = it->second;
            return true;
        }
        if (!m_src.readMember) {
            problem = "A picture that refers to a package member was left out (a flat file has no package)";
            return false;
        }
        std::string error;
        if (!m_src.readMember(key, data, error)) {
            problem = "A picture could not be read (" + error + ") and was left out";
            return false;
        }
    }
    Sniffed kind = sniff(data);
    if (kind == Sniffed::Gif || kind == Sniffed::Bmp) {
        // RTF carries neither; as PNG they keep their place and look.
        picture::PngImage png;
        const picture::Conversion outcome =
            kind == Sniffed::Gif ? picture::gifToPng(data, m_pixels, png) : picture::bmpToPng(data, m_pixels, png);
        if (outcome != picture::Conversion::Converted) {
            problem = picture::leftOutWarning(outcome, kind == Sniffed::Gif ? "GIF" : "BMP", png, m_pixels);
            return false;
        }
        data = std::move(png.data);
        kind = Sniffed::Png;
    }
    switch (kind) {
    case Sniffed::Png:
    case Sniffed::Jpeg:
    case Sniffed::Emf:
    case Sniffed::Wmf: {
        model::Image img;
        img.format = kind == Sniffed::Png    ? model::ImageFormat::Png
                     : kind == Sniffed::Jpeg ? model::ImageFormat::Jpeg
                     : kind == Sniffed::Emf  ? model::ImageFormat::Emf
                                             : model::ImageFormat::Wmf;
        if (!spendImage(data.size(), problem)) return false;
        img.data = std::move(data);
        picture::pixelSize(img.data, img.format, img.pixelWidth, img.pixelHeight);
        if (!key.empty()) m_images.emplace(key, img);
        out = std::move(img);
        return true;
    }
    case Sniffed::Svm: problem = "A picture in StarView metafile format (SVM) was left out"; break;
    case Sniffed::Gif:
    case Sniffed::Bmp: break;  // converted above, or left out with a warning of their own
    case Sniffed::Tiff: problem = "A TIFF picture was left out"; break;
    case Sniffed::Svg: problem = "An SVG picture without a fallback picture was left out"; break;
    case Sniffed::Unknown: problem = "A picture in an unknown format was left out"; break;
    }
    return false;
}

void OdtConverter::convertFrame(pugi::xml_node frame, int depth, std::string_view anchor) {
    checkDepth(depth);
    spend(1);
    if (const pugi::xml_attribute a = frame.attribute("text:anchor-type")) anchor = a.value();
    if (const pugi::xml_node box = frame.child("draw:text-box")) {
        model::Frame f = frameFor(frame, anchor);
        // Tables in the box are fitted to the box.
        const model::Twips savedWidth = m_width;
        if (f.width > 0) m_width = std::max<model::Twips>(f.width, 360);
        f.blocks = convertStory(box, depth + 1);
        m_width = savedWidth;
        if (f.blocks.empty()) return;
        emitInline(Inline{std::move(f)});
        return;
    }
    // The first picture that can be carried wins: producers put the
    // preferred format first and fallbacks after it.
    std::string problem;
    for (pugi::xml_node image = frame.child("draw:image"); image; image = image.next_sibling("draw:image")) {
        model::Image img;
        std::string why;
        if (!loadImage(image, img, why)) {
            if (problem.empty()) problem = why;
            continue;
        }
        Opt<int> w = lengthAttr(frame, "svg:width");
        Opt<int> h = lengthAttr(frame, "svg:height");
        if (!w) w = lengthAttr(frame, "fo:min-width");
        if (!h) h = lengthAttr(frame, "fo:min-height");
        if ((!w || *w <= 0) && img.pixelWidth > 0) w = img.pixelWidth * 15;
        if ((!h || *h <= 0) && img.pixelHeight > 0) h = img.pixelHeight * 15;
        img.width = std::clamp(w.value_or(1440), 1, 31680 * 2);
        img.height = std::clamp(h.value_or(1440), 1, 31680 * 2);
        if (anchor != "as-char") {
            // Anchored to the paragraph, a character or the page: it floats.
            const model::Frame placed = frameFor(frame, anchor);
            img.position = placed.position;
            img.wrap = placed.wrap;
        }
        emitInline(Inline{std::move(img)});
        return;
    }
    if (!problem.empty()) {
        warnOnce(problem);
    } else if (frame.child("draw:object") || frame.child("draw:object-ole")) {
        warnOnce("An embedded object (a chart, formula or OLE object) without a picture was left out");
    } else if (frame.child("draw:plugin") || frame.child("draw:applet") || frame.child("draw:floating-frame")) {
        warnOnce("A plug-in, applet or floating frame was left out");
    }
}

void OdtConverter::convertShape(pugi::xml_node shape, int depth, std::string_view anchor) {
    checkDepth(depth);
    spend(1);
    if (const pugi::xml_attribute a = shape.attribute("text:anchor-type")) anchor = a.value();
    if (named(shape, "draw:frame")) {
        convertFrame(shape, depth, anchor);
        return;
    }
    // Groups and linked shapes hold shapes; other shapes may hold text.
    bool hasText = false;
    for (pugi::xml_node c = shape.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        if (isShape(c)) convertShape(c, depth + 1, anchor);
        else if (named(c, "text:p") || named(c, "text:h") || named(c, "text:list")) hasText = true;
    }
    if (!hasText) return;
    model::Frame f = frameFor(shape, anchor);
    {
        std::vector<Block> text = convertStory(shape, depth);
        // A shape's empty paragraph is no text worth a box.
        const bool empty = std::all_of(text.begin(), text.end(), [](const Block& b) {
            const auto* p = std::get_if<model::Paragraph>(&b.value);
            return p && p->content.empty();
        });
        if (empty) return;
        f.blocks = std::move(text);
    }
    emitInline(Inline{std::move(f)});
}

}  // namespace orvane::odt
