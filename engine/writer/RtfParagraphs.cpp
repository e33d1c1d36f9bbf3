// Blocks, paragraphs and runs: the blocks of a section, cell or story, each
// paragraph with its properties, list number, content and mark, what stands in
// a paragraph (runs, breaks, fields, bookmarks, and the notes, comments, frames
// and pictures written elsewhere), and the fields that span paragraphs.

#include "writer/RtfWriterState.h"

#include <utility>

namespace orvane::rtf::writer {

constexpr int kMaxOpenFields = 20;  // spanning fields nested deeper are left out, their content kept

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

// The blocks of a note, comment or text box: never without a paragraph, the
// last one without \par.
void Writer::storyBlocksToRtf(const std::vector<Block>& blocks, int depth) {
    if (blocks.empty()) {
        paragraphToRtf(Paragraph{}, 0, Ending::StoryEnd, depth);
        return;
    }
    blocksToRtf(blocks, 0, Ending::StoryEnd, depth);
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
        // A page break that opens a paragraph puts the whole paragraph on the
        // next page, its mark too: the paragraph starts a page. Readers that
        // split the paragraph at an inline \page lose the line that opens the
        // new page, so it is written as the paragraph's property.
        const Break* opening = p->content.empty() ? nullptr : std::get_if<Break>(&p->content.front().value);
        if (opening && opening->kind == BreakKind::Page && itap == 0 && m_story == Story::Body) {
            Paragraph rest{p->props, p->markProps, {p->content.begin() + 1, p->content.end()}, p->markRevision};
            rest.props.pageBreakBefore = true;
            paragraphToRtf(rest, itap, ending, depth);
        } else {
            paragraphToRtf(*p, itap, ending, depth);
        }
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

}  // namespace orvane::rtf::writer
