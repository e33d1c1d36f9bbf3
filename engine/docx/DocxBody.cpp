// The body walk: blocks, paragraphs, runs, fields and tables, straight from
// the XML tree into the model.
#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "docx/DocxConverter.h"
#include "docx/DocxUtil.h"

namespace orvane::docx {

using model::Block;
using model::CharProps;
using model::Inline;

namespace {

constexpr std::size_t kOpenFieldLimit = 1000;

}  // namespace

// ---------------------------------------------------------------------------
// Blocks

std::vector<Block>& DocxConverter::blocks(BlockOut out) {
    return out ? *out : m_doc.sections[static_cast<std::size_t>(m_sectionIndex)].blocks;
}

pugi::xml_node DocxConverter::chooseAlternate(pugi::xml_node alternate) const {
    // The namespaces whose content this reader understands; a Choice that
    // needs anything else falls back. Only one branch is ever taken.
    static constexpr std::string_view kUnderstood[] = {"wps", "wpg", "wpc", "wp14", "w14", "w15",
                                                       "a14", "v",   "o",   "w10",  "m",   "pic",
                                                       "a",   "wp",  "w",   "r"};
    for (pugi::xml_node choice = alternate.child("mc:Choice"); choice;
         choice = choice.next_sibling("mc:Choice")) {
        std::string_view requires_ = choice.attribute("Requires").value();
        bool ok = true;
        while (!requires_.empty() && ok) {
            const auto space = requires_.find(' ');
            const std::string_view prefix = requires_.substr(0, space);
            requires_ = space == std::string_view::npos ? std::string_view() : requires_.substr(space + 1);
            if (prefix.empty()) continue;
            ok = std::find(std::begin(kUnderstood), std::end(kUnderstood), prefix) !=
                 std::end(kUnderstood);
        }
        if (ok) return choice;
    }
    return alternate.child("mc:Fallback");
}

void DocxConverter::convertBlocks(pugi::xml_node parent, BlockOut out, bool body, int depth) {
    checkDepth(depth);
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const char* name = child.name();
        if (is(name, "w:p")) {
            convertParagraph(child, out, body, depth + 1);
        } else if (is(name, "w:tbl")) {
            convertTable(child, out, depth + 1);
        } else if (is(name, "w:sdt")) {
            convertBlocks(child.child("w:sdtContent"), out, body, depth + 1);
        } else if (is(name, "w:customXml") || is(name, "w:ins") || is(name, "w:moveTo") ||
                   is(name, "w:smartTag")) {
            convertBlocks(child, out, body, depth + 1);
        } else if (is(name, "mc:AlternateContent")) {
            convertBlocks(chooseAlternate(child), out, body, depth + 1);
        } else if (is(name, "w:bookmarkStart")) {
            std::string bookmark = child.attribute("w:name").value();
            if (!bookmark.empty() && bookmark != "_GoBack") {
                m_bookmarkNames[child.attribute("w:id").value()] = bookmark;
                m_pendingInlines.push_back(Inline{model::Bookmark{std::move(bookmark), true}});
            }
        } else if (is(name, "w:bookmarkEnd")) {
            auto it = m_bookmarkNames.find(child.attribute("w:id").value());
            if (it != m_bookmarkNames.end()) {
                m_pendingInlines.push_back(Inline{model::Bookmark{it->second, false}});
                m_bookmarkNames.erase(it);
            }
        } else if (is(name, "w:commentRangeStart") || is(name, "w:commentRangeEnd")) {
            commentRange(child, is(name, "w:commentRangeStart"), true);
        } else if (is(name, "w:altChunk")) {
            warnOnce("An embedded foreign document (altChunk) was left out");
        }
    }
}

// A paragraph mark inserted or deleted (or moved) as a tracked change.
std::optional<model::Revision> DocxConverter::markRevision(pugi::xml_node rPr) const {
    for (pugi::xml_node change = rPr.first_child(); change; change = change.next_sibling()) {
        const char* name = change.name();
        const bool deleted = is(name, "w:del") || is(name, "w:moveFrom");
        if (deleted || is(name, "w:ins") || is(name, "w:moveTo")) {
            return model::Revision{deleted ? model::Revision::Kind::Deletion : model::Revision::Kind::Insertion,
                                   change.attribute("w:author").value(), change.attribute("w:date").value()};
        }
    }
    return std::nullopt;
}

void DocxConverter::convertParagraph(pugi::xml_node p, BlockOut out, bool body, int depth) {
    checkDepth(depth);
    pugi::xml_node pPr = p.child("w:pPr");
    ParaPr direct = pPr ? parseParaPr(pPr) : ParaPr{};
    const Opt<int> styleIdx = styleIndex(direct.style, m_styles.defaultParagraph);
    static const ResolvedStyle kNoStyle{};
    const ResolvedStyle& rs = styleIdx ? resolvedStyle(*styleIdx) : kNoStyle;

    // Numbering: direct numPr wins over the style's; numId 0 switches it off.
    Opt<int> numId;
    int ilvl = 0;
    bool numDirect = false;
    if (rs.pPr.numPr) {
        numId = rs.pPr.numPr->numId;
        ilvl = rs.pPr.numPr->ilvl.value_or(0);
    }
    if (direct.numPr) {
        if (direct.numPr->numId) {
            numId = direct.numPr->numId;
            numDirect = true;
        }
        if (direct.numPr->ilvl) ilvl = *direct.numPr->ilvl;
    }
    Opt<int> listIndex;
    if (numId) listIndex = listFor(*numId);

    // Paragraph properties, lowest layer first. A list's indents sit below
    // the style when the style brings the list, above it when the paragraph
    // does.
    ParaPr merged = m_styles.defaultPara;
    if (m_cell) mergeParaPr(merged, m_cell->pPr);
    const ParaPr* levelPPr =
        listIndex ? &m_listLevelPPr[static_cast<std::size_t>(*listIndex)][static_cast<std::size_t>(ilvl)]
                  : nullptr;
    if (levelPPr && !numDirect) mergeParaPr(merged, *levelPPr);
    mergeParaPr(merged, rs.pPr);
    if (levelPPr && numDirect) mergeParaPr(merged, *levelPPr);
    mergeParaPr(merged, direct);

    model::Paragraph para;
    applyParaPr(para.props, merged);
    para.props.style = modelStyle(styleIdx);
    if (listIndex) para.props.list = model::ListRef{*listIndex, ilvl};

    // Run formatting base: defaults, table layer, paragraph style.
    CharState base = m_defaultChars;
    if (m_cell) applyRunPr(base, m_cell->rPr, true);
    applyRunPr(base, rs.rPr, true);

    // The paragraph mark's own formatting.
    {
        CharState mark = base;
        if (pugi::xml_node rPr = pPr.child("w:rPr")) {
            ParseContext ctx{m_fonts, m_theme};
            RunPr markPr = parseRunPr(rPr, ctx);
            if (markPr.style) {
                if (auto cs = styleIndex(markPr.style, std::nullopt)) {
                    applyRunPr(mark, resolvedStyle(*cs).rPr, true);
                    mark.c.charStyle = modelStyle(cs);
                }
            }
            applyRunPr(mark, markPr, false);
            para.markRevision = markRevision(rPr);
        }
        para.markProps = finish(mark);
    }

    auto* savedContent = m_content;
    const CharState savedChars = m_paraChars;
    // A note or text box in a tracked change has marks of its own.
    const std::optional<model::Revision> savedRevision = std::exchange(m_revision, std::nullopt);
    m_content = &para.content;
    m_paraChars = base;

    if (!m_pendingInlines.empty()) {
        for (auto& b : m_pendingInlines) para.content.push_back(std::move(b));
        m_pendingInlines.clear();
    }
    convertInlines(p, depth + 1);
    // Fields still open at the paragraph's end (a table of contents, say)
    // cannot be one Field: what they showed so far stays here as content,
    // after a FieldStart for the outermost one.
    dissolveOpenFields();

    m_content = savedContent;
    m_paraChars = savedChars;
    m_revision = savedRevision;

    pugi::xml_node sectPr = body ? pPr.child("w:sectPr") : pugi::xml_node();
    blocks(out).push_back(Block{std::move(para)});

    if (sectPr) {
        finishSection(parseSectPr(sectPr));
        m_doc.sections.emplace_back();
        ++m_sectionIndex;
    }
}

// ---------------------------------------------------------------------------
// Tables

namespace {

void collectChildren(pugi::xml_node parent, const char* wanted, std::vector<pugi::xml_node>& out,
                     const std::function<pugi::xml_node(pugi::xml_node)>& choose, int depth) {
    if (depth > 16) return;
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        const char* name = c.name();
        if (is(name, wanted)) {
            out.push_back(c);
        } else if (is(name, "w:sdt")) {
            collectChildren(c.child("w:sdtContent"), wanted, out, choose, depth + 1);
        } else if (is(name, "w:customXml") || is(name, "w:ins") || is(name, "w:moveTo")) {
            collectChildren(c, wanted, out, choose, depth + 1);
        } else if (is(name, "mc:AlternateContent")) {
            collectChildren(choose(c), wanted, out, choose, depth + 1);
        }
    }
}

}  // namespace

void DocxConverter::convertTable(pugi::xml_node tbl, BlockOut out, int depth) {
    checkDepth(depth);
    const TablePr direct = parseTablePr(tbl.child("w:tblPr"));
    const Opt<int> styleIdx = styleIndex(direct.style, m_styles.defaultTable);
    static const ResolvedStyle kNoStyle{};
    const ResolvedStyle& rs = styleIdx ? resolvedStyle(*styleIdx) : kNoStyle;
    TablePr eff = rs.tblPr;
    mergeTablePr(eff, direct);
    const int look = eff.look.value_or(0);

    std::vector<int> grid;
    for (pugi::xml_node g = tbl.child("w:tblGrid").child("w:gridCol"); g;
         g = g.next_sibling("w:gridCol")) {
        grid.push_back(std::clamp(twipsAttr(g, "w:w").value_or(0), 0, 31680));
    }
    auto gridWidth = [&](int from, int span) {
        int sum = 0;
        for (int i = from; i < from + span; ++i) {
            if (i < 0 || i >= static_cast<int>(grid.size())) return 0;
            sum += grid[static_cast<std::size_t>(i)];
        }
        return sum;
    };
    auto choose = [this](pugi::xml_node n) { return chooseAlternate(n); };

    std::vector<pugi::xml_node> rowNodes;
    collectChildren(tbl, "w:tr", rowNodes, choose, 0);
    // Accepting tracked changes drops deleted rows.
    rowNodes.erase(std::remove_if(rowNodes.begin(), rowNodes.end(),
                                  [](pugi::xml_node tr) {
                                      return static_cast<bool>(tr.child("w:trPr").child("w:del"));
                                  }),
                   rowNodes.end());

    model::Table table;
    table.alignment = eff.alignment.value_or(model::Alignment::Left);
    table.indent = eff.indent.value_or(0);
    table.padding.left = eff.marginLeft.value_or(table.padding.left);
    table.padding.right = eff.marginRight.value_or(table.padding.right);
    table.padding.top = eff.marginTop.value_or(table.padding.top);
    table.padding.bottom = eff.marginBottom.value_or(table.padding.bottom);

    const TableRegionPr& whole = rs.regions[static_cast<int>(TableRegion::WholeTable)];
    auto region = [&](TableRegion r) -> const TableRegionPr* {
        const TableRegionPr& reg = rs.regions[static_cast<int>(r)];
        return reg.present ? &reg : nullptr;
    };

    const CellLayer* savedCell = m_cell;
    std::vector<pugi::xml_node> cellNodes;
    for (std::size_t ri = 0; ri < rowNodes.size(); ++ri) {
        pugi::xml_node tr = rowNodes[ri];
        const RowPr rowPr = parseRowPr(tr.child("w:trPr"));
        model::TableRow row;
        row.height = rowPr.height;
        row.header = rowPr.header;
        cellNodes.clear();
        collectChildren(tr, "w:tc", cellNodes, choose, 0);
        if (cellNodes.empty()) continue;

        int col = 0;
        if (rowPr.gridBefore > 0) {
            // Cells skipped at the row's start keep their room as an empty,
            // borderless cell.
            model::TableCell spacer;
            spacer.gridSpan = rowPr.gridBefore;
            spacer.width = gridWidth(0, rowPr.gridBefore);
            if (spacer.width == 0) spacer.width = rowPr.widthBefore.value_or(0);
            spacer.blocks.push_back(Block{model::Paragraph{m_defaultPara, finish(m_defaultChars), {}}});
            if (spacer.width > 0) row.cells.push_back(std::move(spacer));
            col = rowPr.gridBefore;
        }
        const bool firstRow = ri == 0 && (look & 0x20);
        const bool lastRow = ri + 1 == rowNodes.size() && (look & 0x40);
        for (std::size_t ci = 0; ci < cellNodes.size(); ++ci) {
            pugi::xml_node tc = cellNodes[ci];
            const CellPr cellPr = parseCellPr(tc.child("w:tcPr"));
            const int span = cellPr.gridSpan;
            int width = gridWidth(col, span);
            if (width == 0) width = cellPr.width.value_or(0);
            if (width == 0) width = 9360 / static_cast<int>(cellNodes.size());

            const bool firstCol = ci == 0 && (look & 0x80);
            const bool lastCol = ci + 1 == cellNodes.size() && (look & 0x100);
            CellLayer layer;
            layer.pPr = rs.pPr;
            layer.rPr = rs.rPr;
            layer.pPr.numPr.reset();
            Opt<Opt<model::Rgb>> shading = whole.cellShading;
            Borders regionBorders = whole.cellBorders;
            for (auto [on, which] : {std::pair{firstCol, TableRegion::FirstColumn},
                                     std::pair{lastCol, TableRegion::LastColumn},
                                     std::pair{firstRow, TableRegion::FirstRow},
                                     std::pair{lastRow, TableRegion::LastRow}}) {
                if (!on) continue;
                if (const TableRegionPr* r = region(which)) {
                    mergeParaPr(layer.pPr, r->pPr);
                    mergeRunPr(layer.rPr, r->rPr);
                    if (r->cellShading) shading = r->cellShading;
                    mergeBorders(regionBorders, r->cellBorders);
                }
            }

            model::TableCell cell;
            cell.width = width;
            cell.gridSpan = span;
            cell.vmerge = cellPr.vmerge;
            cell.valign = cellPr.valign.value_or(model::CellVAlign::Top);
            if (cellPr.shading) cell.shading = *cellPr.shading;
            else if (shading) cell.shading = *shading;
            else if (eff.shading) cell.shading = *eff.shading;

            // Lines around the cell: the table's outer or inner sides, then the
            // style's region, then the cell's own.
            const Borders& tb = eff.borders;
            Borders sides;
            const bool lastRowIndex = ri + 1 == rowNodes.size();
            const bool lastCellIndex = ci + 1 == cellNodes.size();
            sides[BorderTop] = ri == 0 ? tb[BorderTop] : tb[BorderInsideH];
            sides[BorderBottom] = lastRowIndex ? tb[BorderBottom] : tb[BorderInsideH];
            sides[BorderLeft] = ci == 0 ? tb[BorderLeft] : tb[BorderInsideV];
            sides[BorderRight] = lastCellIndex ? tb[BorderRight] : tb[BorderInsideV];
            for (int s = 0; s < 4; ++s) {
                if (regionBorders[static_cast<std::size_t>(s)])
                    sides[static_cast<std::size_t>(s)] = regionBorders[static_cast<std::size_t>(s)];
                if (cellPr.borders[static_cast<std::size_t>(s)])
                    sides[static_cast<std::size_t>(s)] = cellPr.borders[static_cast<std::size_t>(s)];
            }
            const auto line = [&](BorderSide s) { return sides[static_cast<std::size_t>(s)].value_or(std::nullopt); };
            cell.borders.top = line(BorderTop);
            cell.borders.left = line(BorderLeft);
            cell.borders.bottom = line(BorderBottom);
            cell.borders.right = line(BorderRight);

            m_cell = &layer;
            convertBlocks(tc, &cell.blocks, false, depth + 1);
            m_cell = savedCell;
            if (cell.blocks.empty())
                cell.blocks.push_back(Block{model::Paragraph{m_defaultPara, finish(m_defaultChars), {}}});

            if (cellPr.hmergeContinue && !row.cells.empty()) {
                // A legacy horizontal merge: the cell widens its left neighbour.
                model::TableCell& prev = row.cells.back();
                prev.gridSpan += span;
                prev.width += width;
            } else {
                row.cells.push_back(std::move(cell));
            }
            col += span;
        }
        table.rows.push_back(std::move(row));
    }
    m_cell = savedCell;
    if (table.rows.empty()) return;
    blocks(out).push_back(Block{std::move(table)});
}

// ---------------------------------------------------------------------------
// Inline content

std::vector<Inline>* DocxConverter::target() {
    if (!m_fields.empty()) {
        FieldFrame& f = m_fields.back();
        if (!f.dissolved) return f.inResult ? &f.result : nullptr;
    }
    return m_content;
}

void DocxConverter::emitText(std::string_view text, const CharProps& props) {
    emitText(text, props, m_revision);
}

void DocxConverter::emitText(std::string_view text, const CharProps& props,
                             const std::optional<model::Revision>& revision) {
    if (text.empty()) return;
    std::vector<Inline>* t = target();
    if (!t) {
        if (!m_fields.empty() && !m_fields.back().dissolved) m_fields.back().instruction += text;
        return;
    }
    if (!t->empty()) {
        if (auto* run = std::get_if<model::TextRun>(&t->back().value);
            run && run->props == props && run->revision == revision) {
            run->text += text;
            return;
        }
    }
    t->push_back(Inline{model::TextRun{std::string(text), props, revision}});
}

void DocxConverter::emitInline(Inline item) {
    std::vector<Inline>* t = target();
    if (t) {
        t->push_back(std::move(item));
        return;
    }
    // Inside a field's instruction only text counts (a nested field's result).
    if (!m_fields.empty() && !m_fields.back().dissolved) {
        if (const auto* field = std::get_if<model::Field>(&item.value))
            appendPlainText(m_fields.back().instruction, field->result, 0);
    }
}

void DocxConverter::emitField(model::Field field) {
    if (field.instruction.empty()) {
        // Nothing to compute: the result is plain content.
        for (Inline& in : field.result) {
            if (auto* run = std::get_if<model::TextRun>(&in.value)) emitText(run->text, run->props, run->revision);
            else emitInline(std::move(in));
        }
        return;
    }
    emitInline(Inline{std::move(field)});
}

void DocxConverter::beginField(bool structural, std::string instruction) {
    FieldFrame f;
    f.instruction = std::move(instruction);
    f.structural = structural;
    f.inResult = structural;
    m_fields.push_back(std::move(f));
}

void DocxConverter::endField() {
    if (m_fields.empty()) return;
    FieldFrame f = std::move(m_fields.back());
    m_fields.pop_back();
    if (f.spanning) {
        if (std::vector<Inline>* t = target()) t->push_back(Inline{model::FieldEnd{}});
        return;
    }
    if (f.dissolved) return;
    model::Field field;
    field.instruction = std::string(trimmed(f.instruction));
    field.result = std::move(f.result);
    emitField(std::move(field));
}

void DocxConverter::closeFieldsDownTo(std::size_t size) {
    while (m_fields.size() > size) endField();
}

void DocxConverter::dissolveOpenFields() {
    // Dissolved frames lie at the bottom of the stack: only those above them
    // need work, so a paragraph's end costs nothing once they are done.
    std::size_t live = m_fields.size();
    while (live > 0 && !m_fields[live - 1].dissolved) --live;
    for (std::size_t i = live; i < m_fields.size(); ++i) {
        FieldFrame& f = m_fields[i];
        // The field at the paragraph's top level (below it only dissolved
        // ones) goes on past the paragraph: it starts where it began, its
        // result so far and what follows is the content up to its end.
        // Fields nested in its result or still in their instruction do not.
        const std::string_view instruction = trimmed(f.instruction);
        if (i == live && m_content && f.inResult && !f.structural && !instruction.empty()) {
            m_content->push_back(Inline{model::FieldStart{std::string(instruction)}});
            f.spanning = true;
        }
        if (m_content) {
            for (Inline& in : f.result) m_content->push_back(std::move(in));
        }
        f.result.clear();
        f.dissolved = true;
    }
}

std::string DocxConverter::hyperlinkInstruction(std::string_view relId, std::string_view anchor) const {
    std::string instruction;
    if (!relId.empty() && m_scope.rels) {
        if (const Relationship* rel = m_scope.rels->byId(relId))
            instruction = "HYPERLINK " + quoted(rel->rawTarget);
    }
    if (!anchor.empty()) {
        instruction += instruction.empty() ? "HYPERLINK \\l " : " \\l ";
        instruction += quoted(anchor);
    }
    return instruction;
}

void DocxConverter::withHyperlink(const std::string& instruction, const std::function<void()>& body) {
    if (instruction.empty()) {
        body();
        return;
    }
    beginField(true, instruction);
    const std::size_t mine = m_fields.size();
    body();
    closeFieldsDownTo(mine);
    // A link around nothing that shows (a text box moved out, a picture left
    // out) is dropped.
    if (m_fields.size() == mine && m_fields.back().result.empty()) {
        m_fields.pop_back();
        return;
    }
    endField();
}

model::CharProps DocxConverter::runProps(const RunPr& direct) {
    CharState s = m_paraChars;
    if (direct.style) {
        if (auto cs = styleIndex(direct.style, std::nullopt)) {
            const StyleDef& def = m_styles.styles[static_cast<std::size_t>(*cs)];
            if (def.type == model::StyleType::Character) {
                applyRunPr(s, resolvedStyle(*cs).rPr, true);
                s.c.charStyle = def.modelIndex;
            }
        }
    }
    applyRunPr(s, direct, false);
    return finish(s);
}

void DocxConverter::convertInlines(pugi::xml_node parent, int depth) {
    checkDepth(depth);
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const char* name = child.name();
        if (is(name, "w:r")) {
            convertRun(child, depth + 1);
        } else if (is(name, "w:hyperlink")) {
            const std::string instruction =
                hyperlinkInstruction(child.attribute("r:id").value(), child.attribute("w:anchor").value());
            withHyperlink(instruction, [&] { convertInlines(child, depth + 1); });
        } else if (is(name, "w:fldSimple")) {
            beginField(true, child.attribute("w:instr").value());
            const std::size_t mine = m_fields.size();
            convertInlines(child, depth + 1);
            closeFieldsDownTo(mine);
            endField();
        } else if (is(name, "w:ins") || is(name, "w:moveTo")) {
            convertTrackedChange(child, model::Revision::Kind::Insertion, depth + 1);
        } else if (is(name, "w:del") || is(name, "w:moveFrom")) {
            convertTrackedChange(child, model::Revision::Kind::Deletion, depth + 1);
        } else if (is(name, "w:smartTag") || is(name, "w:customXml") || is(name, "w:dir") || is(name, "w:bdo")) {
            convertInlines(child, depth + 1);
        } else if (is(name, "w:sdt")) {
            convertInlines(child.child("w:sdtContent"), depth + 1);
        } else if (is(name, "mc:AlternateContent")) {
            convertInlines(chooseAlternate(child), depth + 1);
        } else if (is(name, "w:bookmarkStart")) {
            std::string bookmark = child.attribute("w:name").value();
            if (!bookmark.empty() && bookmark != "_GoBack") {
                m_bookmarkNames[child.attribute("w:id").value()] = bookmark;
                emitInline(Inline{model::Bookmark{std::move(bookmark), true}});
            }
        } else if (is(name, "w:bookmarkEnd")) {
            auto it = m_bookmarkNames.find(child.attribute("w:id").value());
            if (it != m_bookmarkNames.end()) {
                emitInline(Inline{model::Bookmark{it->second, false}});
                m_bookmarkNames.erase(it);
            }
        } else if (is(name, "w:commentRangeStart") || is(name, "w:commentRangeEnd")) {
            commentRange(child, is(name, "w:commentRangeStart"), false);
        } else if (is(name, "m:oMath") || is(name, "m:oMathPara")) {
            convertMath(child, finish(m_paraChars), depth + 1);
        }
    }
}

// Runs inserted or deleted while changes were tracked (a move is a deletion
// here and an insertion there). A change inside another change is the inner
// one's; text that was inserted and then deleted is deleted.
void DocxConverter::convertTrackedChange(pugi::xml_node change, model::Revision::Kind kind, int depth) {
    const std::optional<model::Revision> outer = m_revision;
    if (!outer || outer->kind != model::Revision::Kind::Deletion || kind == model::Revision::Kind::Deletion) {
        m_revision = model::Revision{kind, change.attribute("w:author").value(), change.attribute("w:date").value()};
    }
    convertInlines(change, depth);
    m_revision = outer;
}

void DocxConverter::convertRun(pugi::xml_node r, int depth) {
    RunPr direct;
    if (pugi::xml_node rPr = r.child("w:rPr")) {
        ParseContext ctx{m_fonts, m_theme};
        direct = parseRunPr(rPr, ctx);
    }
    convertRunContent(r, runProps(direct), depth);
}

void DocxConverter::convertRunContent(pugi::xml_node container, const CharProps& props, int depth) {
    checkDepth(depth);
    for (pugi::xml_node child = container.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const char* name = child.name();
        if (name[0] == 'w' && name[1] == ':') {
            const char* n = name + 2;
            if (is(n, "t") || is(n, "delText")) {
                emitText(cleanText(child.child_value()), props);
            } else if (is(n, "tab") || is(n, "ptab")) {
                emitText("\t", props);
            } else if (is(n, "br")) {
                std::string_view type = child.attribute("w:type").value();
                if (type == "page") emitInline(Inline{model::Break{model::BreakKind::Page, props}});
                else if (type == "column") emitInline(Inline{model::Break{model::BreakKind::Column, props}});
                else emitText("\n", props);
            } else if (is(n, "cr")) {
                emitText("\n", props);
            } else if (is(n, "noBreakHyphen")) {
                emitText("\xE2\x80\x91", props);
            } else if (is(n, "softHyphen")) {
                emitText("\xC2\xAD", props);
            } else if (is(n, "sym")) {
                auto code = parseHex(child.attribute("w:char").value());
                if (!code || *code == 0 || *code > 0x10FFFF) continue;
                CharProps symbol = props;
                if (const char* font = child.attribute("w:font").value(); *font)
                    symbol.font = m_fonts.index(font);
                std::string text;
                appendUtf8(text, static_cast<char32_t>(*code));
                emitText(text, symbol);
            } else if (is(n, "fldChar")) {
                std::string_view type = child.attribute("w:fldCharType").value();
                // Fields nest a few levels in real documents; beyond the cap
                // their markers are only counted, and their content flows on.
                if (type == "begin") {
                    if (m_fields.size() >= kOpenFieldLimit) ++m_fieldOverflow;
                    else beginField(false, {});
                } else if (m_fieldOverflow > 0) {
                    if (type == "end") --m_fieldOverflow;
                } else if (type == "separate") {
                    if (!m_fields.empty() && !m_fields.back().structural) m_fields.back().inResult = true;
                } else if (type == "end") {
                    if (!m_fields.empty() && !m_fields.back().structural) endField();
                }
            } else if (is(n, "instrText") || is(n, "delInstrText")) {
                if (!m_fields.empty()) {
                    FieldFrame& f = m_fields.back();
                    if (!f.structural && !f.inResult && !f.dissolved) f.instruction += child.child_value();
                }
            } else if (is(n, "drawing") || is(n, "pict") || is(n, "object")) {
                convertGraphic(child, props, Anchor{}, depth + 1);
            } else if (is(n, "footnoteReference") || is(n, "endnoteReference")) {
                const pugi::xml_node ref = child;
                const NoteKind kind = is(n, "footnoteReference") ? NoteKind::Footnote : NoteKind::Endnote;
                // A custom mark is the text right after the reference; it is
                // the note's mark, not text of its own.
                std::string customMark;
                if (parseOnOff(ref.attribute("w:customMarkFollows").value()).value_or(false)) {
                    for (pugi::xml_node next = ref.next_sibling(); next; next = next.next_sibling()) {
                        if (next.type() != pugi::node_element) continue;
                        if (!is(next.name(), "w:t")) break;
                        customMark += cleanText(next.child_value());
                        child = next;
                    }
                }
                noteReference(ref, kind, props, std::move(customMark), depth + 1);
            } else if (is(n, "commentReference")) {
                commentReference(child, depth + 1);
            } else if (is(n, "pgNum")) {
                emitField(model::Field{"PAGE", {}});
            } else if (is(n, "ruby")) {
                convertInlines(child.child("w:rubyBase"), depth + 1);
            }
        } else if (is(name, "mc:AlternateContent")) {
            convertRunContent(chooseAlternate(child), props, depth + 1);
        }
    }
}

void DocxConverter::convertMath(pugi::xml_node node, const CharProps& props, int depth) {
    checkDepth(depth);
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        std::string_view name = child.name();
        if (name == "m:t") {
            emitText(cleanText(child.child_value()), props);
        } else if (name.size() > 2 && name.substr(name.size() - 2) == "Pr") {
            continue;  // property elements carry no text
        } else {
            convertMath(child, props, depth + 1);
        }
    }
}

}  // namespace orvane::docx
