#include "writer/RtfWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <exception>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "writer/RtfEscape.h"
#include "writer/RtfWriterState.h"

namespace orvane {

namespace rtf {

model::Rgb nearestHighlightColor(model::Rgb color) {
    // The colours Word offers for highlighting; anything else is shown as the nearest.
    static constexpr model::Rgb kHighlights[] = {
        0x000000, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0xFFFF00, 0xFFFFFF,
        0x000080, 0x008080, 0x008000, 0x800080, 0x800000, 0x808000, 0x808080, 0xC0C0C0,
    };
    model::Rgb best = kHighlights[0];
    long bestDistance = -1;
    for (model::Rgb h : kHighlights) {
        const long dr = static_cast<long>((h >> 16) & 0xFF) - static_cast<long>((color >> 16) & 0xFF);
        const long dg = static_cast<long>((h >> 8) & 0xFF) - static_cast<long>((color >> 8) & 0xFF);
        const long db = static_cast<long>(h & 0xFF) - static_cast<long>(color & 0xFF);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = h;
        }
    }
    return best;
}

}  // namespace rtf

namespace rtf::writer {

namespace {

constexpr int kMaxOpenFields = 20;              // spanning fields nested deeper are left out, their content kept
constexpr Twips kCellGap = 108;                 // half the space between cells, Word's usual
constexpr int kBorderWidth = 10;                // single cell borders, in twips

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

// A first guess at the height of a box that grows with its text: a line per
// paragraph, or its tallest picture in line, and a line per table row. Word
// and LibreOffice grow the box from there (LibreOffice stretches a picture in
// a box to the box, so a box too short for it squashes it).
Twips grownBoxHeight(const std::vector<Block>& blocks) {
    constexpr Twips kLine = 360;
    constexpr Twips kMost = 31680;
    Twips total = 0;
    for (const Block& block : blocks) {
        if (total >= kMost) break;
        if (const auto* p = std::get_if<Paragraph>(&block.value)) {
            Twips tallest = kLine;
            for (const Inline& item : p->content) {
                if (const auto* image = std::get_if<Image>(&item.value)) {
                    if (!image->position) tallest = std::max(tallest, image->height);
                }
            }
            total += std::min(tallest, kMost);
        } else if (const auto* t = std::get_if<Table>(&block.value)) {
            total += kLine * static_cast<Twips>(std::min<std::size_t>(t->rows.size(), 100));
        }
    }
    return std::clamp(total, kLine, kMost);
}

// Shapes give colours as 0xBBGGRR.
long long shapeColor(Rgb c) {
    return static_cast<long long>(((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16));
}

}  // namespace

// ---------------------------------------------------------------------------
// Document and header

bool Writer::documentToRtf() {
    collectColors();
    m_listCounters.resize(m_doc.lists.size());

    open();
    word("rtf", 1);
    word("ansi");
    word("ansicpg", 1252);
    word("uc", 1);
    word("deff", 0);
    if (m_doc.defaultChars.lang > 0) word("deflang", m_doc.defaultChars.lang);
    endLine();
    fontTableToRtf();
    colorTableToRtf();
    defaultsToRtf();
    styleSheetToRtf();
    listTablesToRtf();
    revisionTableToRtf();
    ignorableGroup("generator");
    text("Orvane;");
    close();
    endLine();
    infoToRtf();
    pageSetupToRtf();
    flushIfFull();

    if (m_doc.sections.empty()) {
        word("sectd");
        endLine();
    }
    for (std::size_t i = 0; i < m_doc.sections.size() && !m_failed; ++i) {
        sectionToRtf(m_doc.sections[i], i > 0 ? &m_doc.sections[i - 1] : nullptr, i + 1 == m_doc.sections.size());
    }
    close();
    endLine();
    flush();
    return !m_failed;
}

// ---------------------------------------------------------------------------
// Sections, stories and blocks

void Writer::sectionToRtf(const Section& section, const Section* previous, bool last) {
    const SectionProps& p = section.props;
    word("sectd");
    switch (p.breakKind) {
    case SectionBreak::NextPage: break;  // \sectd's own default
    case SectionBreak::Continuous: word("sbknone"); break;
    case SectionBreak::Column: word("sbkcol"); break;
    case SectionBreak::EvenPage: word("sbkeven"); break;
    case SectionBreak::OddPage: word("sbkodd"); break;
    }
    word("pgwsxn", p.pageWidth);
    word("pghsxn", p.pageHeight);
    word("marglsxn", p.marginLeft);
    word("margrsxn", p.marginRight);
    word("margtsxn", p.marginTop);
    word("margbsxn", p.marginBottom);
    word("headery", p.headerDistance);
    word("footery", p.footerDistance);
    if (p.landscape) word("lndscpsxn");
    if (p.columns > 1) {
        word("cols", p.columns);
        word("colsx", p.columnSpacing);
    }
    switch (p.pageNumberFormat) {
    case PageNumberFormat::Decimal: break;
    case PageNumberFormat::UpperRoman: word("pgnucrm"); break;
    case PageNumberFormat::LowerRoman: word("pgnlcrm"); break;
    case PageNumberFormat::UpperLetter: word("pgnucltr"); break;
    case PageNumberFormat::LowerLetter: word("pgnlcltr"); break;
    }
    if (p.pageNumberStart) {
        word("pgnstarts", *p.pageNumberStart);
        word("pgnrestart");
    }
    if (p.titlePage) word("titlepg");
    if (p.footnoteNumbering) noteNumberingToRtf(*p.footnoteNumbering, false, "s");
    if (p.endnoteNumbering) noteNumberingToRtf(*p.endnoteNumbering, true, "s");
    endLine();

    m_textWidth = std::max<Twips>(p.pageWidth - p.marginLeft - p.marginRight, 720);
    m_sectionWidth = m_textWidth;
    // With facing pages \headerr is the odd-page header and \headerl the even
    // one; without, \header serves every page.
    const auto story = [&](std::string_view destination, std::vector<Block> Section::*member) {
        m_inHeaderFooter = true;
        StoryScope scope(*this, Story::HeaderFooter);
        storyToRtf(destination, section.*member, previous ? &(previous->*member) : nullptr);
        m_inHeaderFooter = false;
    };
    story(m_doc.facingPages ? "headerr" : "header", &Section::header);
    story("headerl", &Section::headerEven);
    story("headerf", &Section::headerFirst);
    story(m_doc.facingPages ? "footerr" : "footer", &Section::footer);
    story("footerl", &Section::footerEven);
    story("footerf", &Section::footerFirst);

    // The document's last paragraph ends with \par like any other, as Word
    // writes it: without one its mark's properties would be lost, and readers
    // take "A\par B\par}" for two paragraphs, not three.
    blocksToRtf(section.blocks, 0, last ? Ending::Par : Ending::Sect, 0);
    endLine();
}

void Writer::storyToRtf(std::string_view destination, const std::vector<Block>& blocks,
                        const std::vector<Block>* previous) {
    if (m_failed) return;
    if (blocks.empty()) {
        // A section without a header of its own shows the previous section's;
        // an empty group says this one has none.
        if (previous && !previous->empty()) {
            group(destination);
            close();
            endLine();
        }
        return;
    }
    group(destination);
    endLine();
    blocksToRtf(blocks, 0, Ending::Par, 0);
    close();
    endLine();
}

void Writer::blocksToRtf(const std::vector<Block>& blocks, int itap, Ending last, int depth) {
    if (depth > kMaxDepth) return;
    // Fields spanning paragraphs stay within these blocks: whatever is still
    // open at their end, or when a table comes (a field group must not hold
    // rows and cells), is closed there.
    const int outerFields = std::exchange(m_openFields, 0);
    const int outerSkipped = std::exchange(m_skippedFields, 0);
    for (std::size_t i = 0; i < blocks.size() && !m_failed; ++i) {
        if (std::holds_alternative<Table>(blocks[i].value) && m_openFields > 0) {
            closeFields();
            endLine();
        }
        blockToRtf(blocks[i], itap, i + 1 == blocks.size() ? last : Ending::Par, depth);
    }
    // A cell or a section needs a paragraph to end with; a table cannot end it.
    const bool endsInParagraph = !blocks.empty() && std::holds_alternative<Paragraph>(blocks.back().value);
    if (!endsInParagraph && last != Ending::Par && last != Ending::None) emptyParagraphToRtf(itap, last);
    closeFields();
    m_openFields = outerFields;
    m_skippedFields = outerSkipped;
}

void Writer::closeFields() {
    m_skippedFields = 0;
    for (; m_openFields > 0; --m_openFields) {
        close();  // \fldrslt
        close();  // \field
    }
}

void Writer::fieldStartToRtf(const FieldStart& start) {
    group("field");
    ignorableGroup("fldinst");
    text(start.instruction);
    close();
    group("fldrslt");
    ++m_openFields;
}

void Writer::blockToRtf(const Block& block, int itap, Ending ending, int depth) {
    if (const auto* p = std::get_if<Paragraph>(&block.value)) {
        paragraphToRtf(*p, itap, ending, depth);
    } else if (const auto* t = std::get_if<Table>(&block.value)) {
        tableToRtf(*t, itap + 1, m_textWidth, depth + 1);
    }
    flushIfFull();
}

void Writer::endingToRtf(Ending ending) {
    switch (ending) {
    case Ending::Par: word("par"); break;
    case Ending::Sect: word("sect"); break;
    case Ending::Cell: word("cell"); break;
    case Ending::NestCell: word("nestcell"); break;
    case Ending::None: break;
    case Ending::StoryEnd: break;
    }
}

void Writer::emptyParagraphToRtf(int itap, Ending ending) {
    word("pard");
    word("plain");
    if (itap > 0) word("intbl");
    if (itap > 1) word("itap", itap);
    if (ending != Ending::None && ending != Ending::StoryEnd) {
        open();
        endingToRtf(ending);
        close();
    }
    endLine();
}

void Writer::paragraphStateToRtf(const Paragraph& paragraph, int itap) {
    const ParaProps& p = paragraph.props;
    const Style* paraStyle = style(p.style, StyleType::Paragraph);
    word("pard");
    word("plain");
    if (itap > 0) word("intbl");
    if (itap > 1) word("itap", itap);
    paraPropsToRtf(p, Baselines<ParaProps>(m_plainPara)
                          .add(&m_doc.defaultPara)
                          .add(paraStyle ? &paraStyle->para : nullptr));
}

void Writer::paragraphToRtf(const Paragraph& paragraph, int itap, Ending ending, int depth) {
    const ParaProps& p = paragraph.props;
    const Style* paraStyle = style(p.style, StyleType::Paragraph);
    paragraphStateToRtf(paragraph, itap);
    if (p.list && listLevel(*p.list)) listTextToRtf(paragraph);
    m_itap = itap;
    m_paragraphEmpty = true;
    if (m_noteMark) {
        // A note's text opens with its mark.
        const Note* note = m_noteMark;
        m_noteMark = nullptr;
        noteMarkToRtf(*note, paraStyle ? &paraStyle->chars : nullptr);
        m_paragraphEmpty = false;
    }
    // Fields spanning paragraphs open and close here, at the paragraph's top
    // level. Word ends such a field after the mark of its last paragraph;
    // one ending inside a paragraph takes the paragraph's properties with
    // its group, so they are written again.
    const CharProps* paraStyleChars = paraStyle ? &paraStyle->chars : nullptr;
    const std::vector<Inline>& content = paragraph.content;
    std::size_t tail = content.size();
    while (tail > 0 && std::holds_alternative<FieldEnd>(content[tail - 1].value)) --tail;
    const bool endsAfterMark = ending == Ending::Par;
    int endAfterMark = 0;
    bool stateLost = false;
    for (std::size_t i = 0; i < content.size() && !m_failed; ++i) {
        const Inline& item = content[i];
        if (std::holds_alternative<FieldEnd>(item.value)) {
            if (m_skippedFields > 0) {
                --m_skippedFields;
                continue;
            }
            if (m_openFields - endAfterMark <= 0) continue;  // nothing open to end
            if (i >= tail && endsAfterMark) {
                ++endAfterMark;
            } else {
                close();
                close();
                --m_openFields;
                stateLost = true;
            }
            continue;
        }
        if (stateLost) {
            paragraphStateToRtf(paragraph, itap);
            stateLost = false;
        }
        if (const auto* start = std::get_if<FieldStart>(&item.value)) {
            if (m_openFields >= kMaxOpenFields) ++m_skippedFields;
            else fieldStartToRtf(*start);
            continue;
        }
        inlineToRtf(item, paraStyleChars, depth + 1);
        if (!std::holds_alternative<Bookmark>(item.value) && !std::holds_alternative<CommentRange>(item.value)) {
            m_paragraphEmpty = false;
        }
    }
    if (ending == Ending::None || ending == Ending::StoryEnd) {
        endLine();
        return;
    }
    // Only a \par may stand inside a field's result: before a section's,
    // a cell's or a row's end the fields still open are closed.
    if (ending != Ending::Par && m_openFields > 0) {
        closeFields();
        stateLost = true;
    }
    if (stateLost) paragraphStateToRtf(paragraph, itap);
    // The paragraph mark takes the character properties in force at it.
    open();
    runPropsToRtf(paragraph.markProps, paraStyleChars);
    if (paragraph.markRevision) revisionToRtf(*paragraph.markRevision);
    endingToRtf(ending);
    close();
    for (; endAfterMark > 0; --endAfterMark, --m_openFields) {
        close();
        close();
    }
    endLine();
}

// ---------------------------------------------------------------------------
// Tables

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
        if (cell.borders) {
            for (std::string_view side : {"clbrdrt", "clbrdrl", "clbrdrb", "clbrdrr"}) {
                word(side);
                word("brdrs");
                word("brdrw", kBorderWidth);
            }
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

// ---------------------------------------------------------------------------
// Inline content

void Writer::inlinesToRtf(const std::vector<Inline>& inlines, const CharProps* paraStyleChars, int depth) {
    if (depth > kMaxDepth) return;
    for (const Inline& item : inlines) {
        if (m_failed) return;
        inlineToRtf(item, paraStyleChars, depth);
        if (!std::holds_alternative<Bookmark>(item.value) && !std::holds_alternative<CommentRange>(item.value) &&
            !std::holds_alternative<FieldStart>(item.value) && !std::holds_alternative<FieldEnd>(item.value)) {
            m_paragraphEmpty = false;
        }
    }
}

void Writer::inlineToRtf(const Inline& item, const CharProps* paraStyleChars, int depth) {
    // Each run is a group of its own, so the paragraph's state stays \plain
    // between runs. (LibreOffice also mishandles \plain after \super: it
    // splits the paragraph or drops text.)
    if (const auto* run = std::get_if<TextRun>(&item.value)) {
        if (run->text.empty()) return;
        open();
        runPropsToRtf(run->props, paraStyleChars);
        if (run->revision) revisionToRtf(*run->revision);
        text(run->text);
        close();
    } else if (const auto* brk = std::get_if<Break>(&item.value)) {
        open();
        runPropsToRtf(brk->props, paraStyleChars);
        word(brk->kind == BreakKind::Page ? "page" : "column");
        close();
    } else if (const auto* field = std::get_if<Field>(&item.value)) {
        group("field");
        ignorableGroup("fldinst");
        text(field->instruction);
        close();
        group("fldrslt");
        inlinesToRtf(field->result, paraStyleChars, depth + 1);
        close();
        close();
    } else if (const auto* image = std::get_if<Image>(&item.value)) {
        imageToRtf(*image);
    } else if (const auto* mark = std::get_if<Bookmark>(&item.value)) {
        ignorableGroup(mark->start ? "bkmkstart" : "bkmkend");
        text(mark->name);
        close();
    } else if (const auto* note = std::get_if<Note>(&item.value)) {
        noteToRtf(*note, paraStyleChars, depth);
    } else if (const auto* comment = std::get_if<Comment>(&item.value)) {
        commentToRtf(*comment, depth);
    } else if (const auto* range = std::get_if<CommentRange>(&item.value)) {
        if (commentsAllowed() && m_ranges.count(range->id)) {
            ignorableGroup(range->start ? "atrfstart" : "atrfend");
            text(std::to_string(range->id));
            close();
        }
    } else if (const auto* frame = std::get_if<Frame>(&item.value)) {
        frameToRtf(*frame, depth);
    }
}

// ---------------------------------------------------------------------------
// Notes, comments and frames

// The blocks of a note, comment or text box: never without a paragraph, the
// last one without \par.
void Writer::storyBlocksToRtf(const std::vector<Block>& blocks, int depth) {
    if (blocks.empty()) {
        paragraphToRtf(Paragraph{}, 0, Ending::StoryEnd, depth);
        return;
    }
    blocksToRtf(blocks, 0, Ending::StoryEnd, depth);
}

void Writer::noteMarkToRtf(const Note& note, const CharProps* paraStyleChars) {
    open();
    runPropsToRtf(note.referenceProps, paraStyleChars);
    if (note.customMark.empty()) {
        word("chftn");
    } else {
        text(note.customMark);
    }
    close();
}

void Writer::noteToRtf(const Note& note, const CharProps* paraStyleChars, int depth) {
    if (depth > kMaxDepth) return;
    if (!notesAllowed()) {
        // No notes in headers, notes, comments or text boxes: the mark and
        // the text stay where the note was.
        if (!note.customMark.empty()) noteMarkToRtf(note, paraStyleChars);
        noteTextInPlace(note.blocks, paraStyleChars, depth + 1);
        return;
    }
    // As Word writes it: the mark, then the note, in one group with the mark's
    // formatting. A custom mark is its text with no \chftn; LibreOffice takes
    // superscript text right before \footnote for one.
    open();
    runPropsToRtf(note.referenceProps, paraStyleChars);
    if (note.customMark.empty()) {
        word("chftn");
    } else {
        text(note.customMark);
    }
    // Nothing may come between \footnote and \ftnalt: LibreOffice looks for
    // the endnote's \ftnalt right there.
    open();
    m_out.append(note.kind == Note::Kind::Endnote ? "\\footnote\\ftnalt" : "\\footnote");
    m_needDelimiter = true;
    endLine();
    {
        StoryScope scope(*this, Story::Note);
        m_textWidth = m_sectionWidth;
        m_noteMark = &note;
        storyBlocksToRtf(note.blocks, depth + 1);
        m_noteMark = nullptr;
    }
    close();
    close();
}

// A note's text as runs of the paragraph it stands in, a space between its paragraphs.
void Writer::noteTextInPlace(const std::vector<Block>& blocks, const CharProps* paraStyleChars, int depth) {
    if (depth > kMaxDepth) return;
    for (const Block& block : blocks) {
        if (m_failed) return;
        if (const auto* p = std::get_if<Paragraph>(&block.value)) {
            open();
            text(" ");
            close();
            inlinesToRtf(p->content, paraStyleChars, depth + 1);
        } else if (const auto* t = std::get_if<Table>(&block.value)) {
            for (const TableRow& row : t->rows) {
                for (const TableCell& cell : row.cells) noteTextInPlace(cell.blocks, paraStyleChars, depth + 1);
            }
        }
    }
}

void Writer::commentToRtf(const Comment& comment, int depth) {
    // Comments are not text: where Word cannot keep one, it is left out.
    if (depth > kMaxDepth || !commentsAllowed()) return;
    open();
    ignorableGroup("atnid");
    text(comment.initials);
    close();
    if (!comment.author.empty()) {
        ignorableGroup("atnauthor");
        text(comment.author);
        close();
    }
    word("chatn");
    ignorableGroup("annotation");
    if (comment.range && m_ranges.count(*comment.range)) {
        ignorableGroup("atnref");
        text(std::to_string(*comment.range));
        close();
    }
    if (const auto date = packedDate(comment.date)) {
        ignorableGroup("atndate");
        text(std::to_string(*date));
        close();
    }
    endLine();
    {
        StoryScope scope(*this, Story::Comment);
        m_textWidth = m_sectionWidth;
        storyBlocksToRtf(comment.blocks, depth + 1);
    }
    close();
    close();
}

void Writer::shapePropertyToRtf(std::string_view name, long long value) {
    group("sp");
    group("sn");
    text(name);
    close();
    group("sv");
    text(std::to_string(value));
    close();
    close();
}

// A text box's paragraphs where it stands, splitting the paragraph around
// it, in a group so that the paragraph goes on as it was after them.
void Writer::frameTextInPlace(const Frame& frame, int depth) {
    if (!m_paragraphEmpty) word("par");
    endLine();
    const int itap = m_itap;
    StoryScope scope(*this, m_story == Story::Body || m_story == Story::HeaderFooter ? Story::Fallback : m_story);
    blocksToRtf(frame.blocks, itap, Ending::Par, depth + 1);
}

void Writer::frameToRtf(const Frame& frame, int depth) {
    if (depth > kMaxDepth) return;
    if (!framesAllowed()) {
        if (frame.blocks.empty()) return;  // a drawn box has nothing to show in line
        open();
        frameTextInPlace(frame, depth);
        close();
        return;
    }
    // Word's text box: a shape of type 202 with its text in \shptxt. A frame
    // without a position stands at its paragraph's top left, the text below it.
    // A frame without text is a drawn box: a rectangle with nothing inside.
    const bool hasText = !frame.blocks.empty();
    const Twips width = frame.width > 0 ? frame.width : m_textWidth;
    const Twips height = frame.height > 0 ? frame.height : grownBoxHeight(frame.blocks);
    shapeStart(hasText ? 202 : 1, frame.position, frame.position ? frame.wrap : FrameWrap::TopBottom, width, height);
    if (frame.height <= 0) shapePropertyToRtf("fFitShapeToText", 1);
    shapePropertyToRtf("fLine", frame.border ? 1 : 0);
    if (frame.border) shapePropertyToRtf("lineColor", shapeColor(*frame.border));
    shapePropertyToRtf("fFilled", frame.fill ? 1 : 0);
    if (frame.fill) shapePropertyToRtf("fillColor", shapeColor(*frame.fill));
    shapeEnd(frame.position ? frame.wrap : FrameWrap::TopBottom);
    endLine();
    if (hasText) {
        group("shptxt");
        endLine();
        {
            StoryScope scope(*this, Story::Frame);
            m_textWidth = std::max<Twips>(width - 2 * 144, 360);  // less the box's inner margins
            storyBlocksToRtf(frame.blocks, depth + 1);
        }
        close();
    }
    close();
    // Readers without shapes read the result instead: the text in place.
    if (hasText) {
        group("shprslt");
        frameTextInPlace(frame, depth);
        close();
    }
    close();
}

// A floating picture: a picture shape (type 75) holding the picture, and the
// picture in line as the result for readers without shapes.
void Writer::pictureShapeToRtf(const Image& image) {
    const Twips width = image.width > 0 ? image.width : image.pixelWidth * 15;
    const Twips height = image.height > 0 ? image.height : image.pixelHeight * 15;
    shapeStart(75, image.position, image.wrap, width, height);
    shapeEnd(image.wrap);
    open();
    word("sp");
    group("sn");
    text("pib");
    close();
    group("sv");
    pictToRtf(image);
    close();
    close();
    close();
    group("shprslt");
    pictToRtf(image);
    close();
    close();
}

// Opens a \shp and its \shpinst: the place, size and wrapping, the shape's
// type and what its place is measured from. The caller writes the rest of
// the properties and closes both groups.
void Writer::shapeStart(int type, const std::optional<FramePosition>& position, FrameWrap wrap, Twips width,
                        Twips height) {
    const FramePosition at = position.value_or(FramePosition{});
    const auto relative = [](FrameRelative r, bool horizontal) -> std::pair<std::string_view, int> {
        switch (r) {
        case FrameRelative::Margin: return {horizontal ? "shpbxmargin" : "shpbymargin", 0};
        case FrameRelative::Page: return {horizontal ? "shpbxpage" : "shpbypage", 1};
        case FrameRelative::Text: break;
        }
        return {horizontal ? "shpbxcolumn" : "shpbypara", 2};
    };
    const auto [bx, posrelh] = relative(at.horizontal, true);
    const auto [by, posrelv] = relative(at.vertical, false);
    int wr = 2;
    switch (wrap) {
    case FrameWrap::Square: wr = 2; break;
    case FrameWrap::TopBottom: wr = 1; break;
    case FrameWrap::Tight: wr = 4; break;
    case FrameWrap::Through: wr = 5; break;
    case FrameWrap::InFront:
    case FrameWrap::Behind: wr = 3; break;
    }
    const int id = m_shapes++;

    open();
    word("shp");
    ignorableGroup("shpinst");
    word("shpleft", at.x);
    word("shptop", at.y);
    word("shpright", static_cast<long long>(at.x) + width);
    word("shpbottom", static_cast<long long>(at.y) + height);
    word("shpfhdr", m_inHeaderFooter ? 1 : 0);
    word(bx);
    word(by);
    word("shpwr", wr);
    word("shpwrk", 0);
    word("shpfblwtxt", wrap == FrameWrap::Behind ? 1 : 0);
    word("shpz", id);
    word("shplid", 1025 + static_cast<long long>(id));
    endLine();
    shapePropertyToRtf("shapeType", type);
    shapePropertyToRtf("posrelh", posrelh);
    shapePropertyToRtf("posrelv", posrelv);
}

// The properties every shape ends with: behind the text or not, and kept in
// its table cell.
void Writer::shapeEnd(FrameWrap wrap) {
    if (wrap == FrameWrap::Behind) shapePropertyToRtf("fBehindDocument", 1);
    shapePropertyToRtf("fLayoutInCell", 1);
}

void Writer::imageToRtf(const Image& image) {
    if (image.data.empty()) return;
    if (image.position && framesAllowed()) {
        pictureShapeToRtf(image);
    } else {
        pictToRtf(image);
    }
}

void Writer::pictToRtf(const Image& image) {
    std::string_view data = image.data;
    if (data.empty()) return;
    // Twips for the shown size; pixels (at 96 dpi, 15 twips each) when only those are known.
    const Twips width = image.width > 0 ? image.width : image.pixelWidth * 15;
    const Twips height = image.height > 0 ? image.height : image.pixelHeight * 15;
    int picw = 0, pich = 0;
    std::string_view kind;
    switch (image.format) {
    case ImageFormat::Png:
    case ImageFormat::Jpeg:
        kind = image.format == ImageFormat::Png ? "pngblip" : "jpegblip";
        picw = image.pixelWidth > 0 ? image.pixelWidth : width / 15;
        pich = image.pixelHeight > 0 ? image.pixelHeight : height / 15;
        break;
    case ImageFormat::Emf:
    case ImageFormat::Wmf:
        kind = image.format == ImageFormat::Emf ? "emfblip" : "wmetafile";
        // Metafiles give their size in hundredths of a millimetre.
        picw = static_cast<int>(static_cast<long long>(width) * 2540 / 1440);
        pich = static_cast<int>(static_cast<long long>(height) * 2540 / 1440);
        // RTF carries the bare metafile, without the 22-byte placeable header.
        if (image.format == ImageFormat::Wmf && data.size() > 22 && data.substr(0, 4) == "\xD7\xCD\xC6\x9A") {
            data.remove_prefix(22);
        }
        break;
    }
    group("pict");
    if (image.format == ImageFormat::Wmf) {
        word("wmetafile", 8);
    } else {
        word(kind);
    }
    word("picw", picw);
    word("pich", pich);
    if (width > 0) word("picwgoal", width);
    if (height > 0) word("pichgoal", height);
    hex(data);
    close();
}

// ---------------------------------------------------------------------------
// Properties

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
}

}  // namespace rtf::writer

bool writeRtf(const model::Document& document, Sink& sink) {
    // Running out of memory mid-document must not take the process down; the
    // caller treats false as "no usable output" and discards what was written.
    try {
        rtf::writer::Writer writer(document, sink);
        return writer.documentToRtf();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace orvane
