// Tables: the row definition (\trowd, \cellx and the cell and row words
// before it), cells and rows as \cell and \row end them, nested tables
// (\itap, \nestcell, \nestrow, {\*\nesttableprops}), and the finished table
// with its horizontal merges and grid spans.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

RowDef& Reader::currentRowDef() {
    if (m_rowDefs.empty()) {
        m_rowDefs.emplace_back();
        m_rowDefLevel = 0;
    }
    return m_rowDefs[std::min(m_rowDefLevel, m_rowDefs.size() - 1)];
}

bool Reader::handleTableWord(Kw k, const RtfToken& t, GroupState& g) {
    const std::int32_t p = t.param;
    switch (k) {
    case Kw::k_trowd: {
        // A row definition inside {\*\nesttableprops} belongs to a nested
        // table; everywhere else to the outermost one.
        const std::size_t level = g.inNestProps ? static_cast<std::size_t>(std::max(2, itapOf(g))) : 1;
        if (m_rowDefs.size() < level) m_rowDefs.resize(level);
        m_rowDefs[level - 1] = RowDef{};
        m_rowDefLevel = level - 1;
        m_borderTarget = BorderTarget::None;
        return true;
    }
    case Kw::k_cellx: {
        RowDef& def = currentRowDef();
        def.pending.right = clampTwips(p);
        if (def.cells.size() < kMaxCellDefs) def.cells.push_back(def.pending);
        def.pending = CellDef{};
        m_borderTarget = BorderTarget::None;
        return true;
    }
    case Kw::k_clvmgf: currentRowDef().pending.vmerge = VMerge::Start; return true;
    case Kw::k_clvmrg: currentRowDef().pending.vmerge = VMerge::Continue; return true;
    case Kw::k_clmgf: currentRowDef().pending.mergeFirst = true; return true;
    case Kw::k_clmrg: currentRowDef().pending.mergeContinue = true; return true;
    case Kw::k_clvertalt: currentRowDef().pending.valign = CellVAlign::Top; return true;
    case Kw::k_clvertalc: currentRowDef().pending.valign = CellVAlign::Center; return true;
    case Kw::k_clvertalb: currentRowDef().pending.valign = CellVAlign::Bottom; return true;
    case Kw::k_clcbpat: currentRowDef().pending.shading = p > 0 ? color(p) : std::nullopt; return true;
    case Kw::k_trrh: currentRowDef().height = clampTwips(p); return true;
    case Kw::k_trhdr: currentRowDef().header = true; return true;
    case Kw::k_trleft: currentRowDef().left = clampTwips(p); return true;
    case Kw::k_trgaph: currentRowDef().gap = std::clamp(p, 0, 31680); return true;
    case Kw::k_trpaddl: currentRowDef().padding[0] = std::clamp(p, 0, 31680); return true;
    case Kw::k_trpaddt: currentRowDef().padding[1] = std::clamp(p, 0, 31680); return true;
    case Kw::k_trpaddr: currentRowDef().padding[2] = std::clamp(p, 0, 31680); return true;
    case Kw::k_trpaddb: currentRowDef().padding[3] = std::clamp(p, 0, 31680); return true;
    case Kw::k_trpaddfl: currentRowDef().paddingUnits[0] = p; return true;
    case Kw::k_trpaddft: currentRowDef().paddingUnits[1] = p; return true;
    case Kw::k_trpaddfr: currentRowDef().paddingUnits[2] = p; return true;
    case Kw::k_trpaddfb: currentRowDef().paddingUnits[3] = p; return true;
    case Kw::k_trql: currentRowDef().alignment = Alignment::Left; return true;
    case Kw::k_trqc: currentRowDef().alignment = Alignment::Center; return true;
    case Kw::k_trqr: currentRowDef().alignment = Alignment::Right; return true;
    case Kw::k_cell: endCell(ctxOf(g), std::max(1, itapOf(g))); return true;
    case Kw::k_nestcell: endCell(ctxOf(g), std::max(2, itapOf(g))); return true;
    case Kw::k_row: endRow(ctxOf(g), 1); return true;
    case Kw::k_nestrow: endRow(ctxOf(g), std::max(2, itapOf(g))); return true;
    case Kw::k_nesttableprops: g.inNestProps = true; return true;
    default: return false;
    }
}

namespace {

bool isEmptyParagraphOnly(const std::vector<Block>& blocks) {
    if (blocks.size() != 1) return blocks.empty();
    const auto* para = std::get_if<Paragraph>(&blocks[0].value);
    return para && para->content.empty();
}

// Grid spans from the cell edges of every row, so a cell spanning two
// columns of the rows around it says so.
void computeSpans(Table& table) {
    std::vector<Twips> edges;
    for (const TableRow& row : table.rows) {
        std::int64_t x = table.indent;
        edges.push_back(clampTwips(x));
        for (const TableCell& cell : row.cells) {
            x += cell.width;
            edges.push_back(clampTwips(x));
        }
    }
    std::sort(edges.begin(), edges.end());
    std::vector<Twips> grid;
    for (const Twips e : edges) {
        if (grid.empty() || e - grid.back() > 10) grid.push_back(e);  // writers round differently
    }
    const auto column = [&grid](Twips x) {
        const auto it = std::lower_bound(grid.begin(), grid.end(), x - 10);
        return it - grid.begin();
    };
    for (TableRow& row : table.rows) {
        std::int64_t x = table.indent;
        for (TableCell& cell : row.cells) {
            const auto a = column(clampTwips(x));
            x += cell.width;
            const auto b = column(clampTwips(x));
            cell.gridSpan = static_cast<int>(std::max<std::ptrdiff_t>(1, b - a));
        }
    }
}

}  // namespace

void Reader::finishRow(TableLevel& tl, int level) {
    if (tl.rowCells.empty()) return;
    const RowDef* def = static_cast<std::size_t>(level) <= m_rowDefs.size() ? &m_rowDefs[level - 1] : nullptr;
    TableRow row;
    Twips left = 0;
    if (def) {
        row.height = def->height;
        row.header = def->header;
        left = def->left;
    }
    std::int64_t prev = left;
    const std::size_t n = tl.rowCells.size();
    Twips fallback = static_cast<Twips>(9360 / static_cast<std::int64_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        TableCell cell = std::move(tl.rowCells[i]);
        if (def && i < def->cells.size()) {
            const CellDef& cd = def->cells[i];
            cell.width = static_cast<Twips>(std::max<std::int64_t>(0, cd.right - prev));
            prev = cd.right;
            cell.vmerge = cd.vmerge;
            cell.valign = cd.valign;
            cell.shading = cd.shading;
            if (cd.bordersGiven) {
                cell.borders = cd.borders;
            } else {
                // No border words of its own: the row's, outside and in.
                const std::size_t last = std::min(n, def->cells.size()) - 1;
                cell.borders.top = tl.table.rows.empty() ? def->outer.top : (def->insideH ? def->insideH : def->outer.top);
                cell.borders.bottom = def->outer.bottom;
                cell.borders.left = i == 0 ? def->outer.left : def->insideV;
                cell.borders.right = i == last ? def->outer.right : def->insideV;
            }
            fallback = cell.width > 0 ? cell.width : fallback;
            if (cd.mergeContinue && !row.cells.empty()) {
                // A horizontally merged cell: one wider cell, keeping any text.
                TableCell& into = row.cells.back();
                into.width += cell.width;
                if (!isEmptyParagraphOnly(cell.blocks))
                    for (Block& b : cell.blocks) into.blocks.push_back(std::move(b));
                continue;
            }
        } else {
            cell.width = fallback;
        }
        row.cells.push_back(std::move(cell));
    }
    if (tl.table.rows.empty()) {
        tl.table.indent = left;
        tl.table.alignment = def ? def->alignment : Alignment::Left;
        if (def) tl.table.padding = def->cellPadding();
    }
    tl.table.rows.push_back(std::move(row));
    tl.rowCells.clear();
}

void Reader::closeTables(TextContext& ctx, std::size_t keep) {
    if (ctx.tables.size() > keep && ctx.lastParaLevel > static_cast<int>(keep)) ctx.lastParaLevel = -1;
    while (ctx.tables.size() > keep) {
        TableLevel tl = std::move(ctx.tables.back());
        ctx.tables.pop_back();
        const int level = static_cast<int>(ctx.tables.size()) + 1;
        if (!tl.cellBlocks.empty()) {
            TableCell cell;
            cell.blocks = std::move(tl.cellBlocks);
            tl.rowCells.push_back(std::move(cell));
        }
        finishRow(tl, level);
        if (tl.table.rows.empty()) continue;
        computeSpans(tl.table);
        std::vector<Block>& into = ctx.tables.empty() ? ctx.blocks : ctx.tables.back().cellBlocks;
        into.push_back(Block{std::move(tl.table)});
    }
}

void Reader::endCell(TextContext& ctx, int level) {
    level = std::clamp(level, 1, m_limits.maxNesting);
    endParagraph(ctx, level);
    TableLevel& tl = ctx.tables[static_cast<std::size_t>(level) - 1];
    TableCell cell;
    cell.blocks = std::move(tl.cellBlocks);
    tl.cellBlocks.clear();
    tl.rowCells.push_back(std::move(cell));
    ctx.lastParaLevel = -1;  // its paragraphs are out of reach now
}

void Reader::endRow(TextContext& ctx, int level) {
    level = std::clamp(level, 1, m_limits.maxNesting);
    if (!ctx.content.empty() || ctx.runText.find_first_not_of(' ') != std::string::npos) {
        endCell(ctx, level);  // text after the last \cell still belongs to the row
    } else {
        ctx.runText.clear();
    }
    ctx.paraStarted = false;  // the \pard\intbl before a row's end starts nothing
    if (ctx.tables.size() < static_cast<std::size_t>(level)) return;
    closeTables(ctx, static_cast<std::size_t>(level));
    TableLevel& tl = ctx.tables[static_cast<std::size_t>(level) - 1];
    if (!tl.cellBlocks.empty()) {
        TableCell cell;
        cell.blocks = std::move(tl.cellBlocks);
        tl.cellBlocks.clear();
        tl.rowCells.push_back(std::move(cell));
    }
    finishRow(tl, level);
    ctx.lastParaLevel = -1;
}

}  // namespace orvane::rtf::reader
