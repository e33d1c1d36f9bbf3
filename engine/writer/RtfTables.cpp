// Tables: each row's definition (gap, indent, alignment, padding, height, and
// each cell's merge, alignment, borders, shading and width), then its cells,
// with tables nested in cells to any depth.

#include "writer/RtfWriterState.h"

#include <algorithm>

namespace orvane::rtf::writer {

constexpr Twips kCellGap = 108;   // half the space between cells, Word's usual

void Writer::rowDefinitionToRtf(const Table& table, const TableRow& row, Twips available) {
    word("trowd");
    const CellPadding& pad = table.padding;
    const bool usualPadding = pad == CellPadding{};
    word("trgaph", usualPadding ? kCellGap : (pad.left + pad.right) / 2);
    word("trleft", table.indent);
    if (table.alignment == Alignment::Center) word("trqc");
    if (table.alignment == Alignment::Right) word("trqr");
    if (!usualPadding) {
        // Each side in twips (fts 3); \trgaph alone cannot tell left from right.
        word("trpaddl", pad.left);
        word("trpaddr", pad.right);
        word("trpaddt", pad.top);
        word("trpaddb", pad.bottom);
        word("trpaddfl", 3);
        word("trpaddfr", 3);
        word("trpaddft", 3);
        word("trpaddfb", 3);
    }
    if (row.height != 0) word("trrh", row.height);
    if (row.header) word("trhdr");

    // Cells without a width share what the known widths leave of the line.
    Twips known = 0;
    int unknownColumns = 0;
    for (const TableCell& cell : row.cells) {
        if (cell.width > 0) {
            known += cell.width;
        } else {
            unknownColumns += std::max(cell.gridSpan, 1);
        }
    }
    const Twips share = unknownColumns > 0 ? std::max<Twips>((available - known) / unknownColumns, 360) : 0;

    Twips right = table.indent;
    for (const TableCell& cell : row.cells) {
        if (cell.vmerge == VMerge::Start) word("clvmgf");
        if (cell.vmerge == VMerge::Continue) word("clvmrg");
        if (cell.valign == CellVAlign::Center) word("clvertalc");
        if (cell.valign == CellVAlign::Bottom) word("clvertalb");
        const std::pair<std::string_view, const Rare<Border>*> sides[] = {
            {"clbrdrt", &cell.borders.top}, {"clbrdrl", &cell.borders.left},
            {"clbrdrb", &cell.borders.bottom}, {"clbrdrr", &cell.borders.right}};
        for (const auto& [side, border] : sides) {
            if (!*border) continue;
            word(side);
            borderToRtf(**border, false);
        }
        if (cell.shading) word("clcbpat", colorIndex(*cell.shading & 0xFFFFFF));
        // A cell spanning grid columns is simply one cell as wide as they are.
        const Twips width = cell.width > 0 ? cell.width : share * std::max(cell.gridSpan, 1);
        word("clftsWidth", 3);
        word("clwWidth", width);
        right += width;
        word("cellx", right);
    }
}

void Writer::tableToRtf(const Table& table, int itap, Twips available, int depth) {
    if (depth > kMaxDepth) return;
    for (const TableRow& row : table.rows) {
        if (m_failed) return;
        if (row.cells.empty()) continue;  // a row needs at least one cell
        if (itap == 1) {
            rowDefinitionToRtf(table, row, available);
            endLine();
        }
        for (const TableCell& cell : row.cells) {
            // Nested tables are as wide as the cell that holds them, less its gaps.
            const Twips saved = m_textWidth;
            m_textWidth = std::max<Twips>((cell.width > 0 ? cell.width : available / static_cast<Twips>(row.cells.size())) -
                                              table.padding.left - table.padding.right,
                                          360);
            blocksToRtf(cell.blocks, itap, itap == 1 ? Ending::Cell : Ending::NestCell, depth + 1);
            m_textWidth = saved;
        }
        if (itap == 1) {
            word("row");
        } else {
            // Nested rows carry their definition at their end; readers that do
            // not know nesting see one paragraph per row instead.
            word("pard");
            word("plain");
            word("intbl");
            word("itap", itap);
            ignorableGroup("nesttableprops");
            rowDefinitionToRtf(table, row, available);
            word("nestrow");
            close();
            group("nonesttables");
            word("par");
            close();
        }
        endLine();
        flushIfFull();
    }
}

}  // namespace orvane::rtf::writer
