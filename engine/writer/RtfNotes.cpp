// Footnotes, endnotes and comments: a note as its mark and {\footnote} in one
// group, a comment as {\*\annotation} after the commented text, and a note's
// text in place where Word keeps no notes.

#include "writer/RtfWriterState.h"

#include <string>

namespace orvane::rtf::writer {

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

}  // namespace orvane::rtf::writer
