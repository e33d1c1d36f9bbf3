// What the document uses, gathered before anything is written: every colour
// in order of first use (for the colour table), the revision authors (for the
// revision table), which kinds of notes there are, and the comment ranges that
// are written: those with both ends and their comment.

#include "writer/RtfWriterState.h"

namespace orvane::rtf::writer {

void Writer::addColor(std::optional<Rgb> color) {
    if (!color) return;
    const Rgb c = *color & 0xFFFFFF;
    if (m_colorIndex.count(c)) return;
    m_colors.push_back(c);
    m_colorIndex.emplace(c, static_cast<int>(m_colors.size()));  // 0 is "automatic"
}

void Writer::addBorderColors(const BoxBorders& b) {
    for (const auto* side : {&b.top, &b.left, &b.bottom, &b.right})
        if (*side) addColor((*side)->color);
}

void Writer::collectPara(const ParaProps& p) {
    addColor(p.shading);
    addBorderColors(p.borders);
    if (p.borders.between) addColor(p.borders.between->color);
}

void Writer::collectChars(const CharProps& c) {
    addColor(c.color);
    if (c.highlight) addColor(rtf::nearestHighlightColor(*c.highlight));
    addColor(c.shading);
}

// Revision authors: \revauth N names entry N of \revtbl, whose entry 0 is
// Word's "Unknown" (revisions without an author).
void Writer::addAuthor(const std::string& author) {
    if (author.empty() || m_authorIndex.count(author)) return;
    m_authors.push_back(author);
    m_authorIndex.emplace(author, static_cast<int>(m_authors.size()));
}

void Writer::collectInlines(const std::vector<Inline>& inlines, int depth) {
    if (depth > kMaxDepth) return;
    for (const Inline& item : inlines) {
        if (const auto* run = std::get_if<TextRun>(&item.value)) {
            collectChars(run->props);
            if (run->revision) {
                m_hasRevisions = true;
                addAuthor(run->revision->author);
            }
        } else if (const auto* brk = std::get_if<Break>(&item.value)) {
            collectChars(brk->props);
        } else if (const auto* field = std::get_if<Field>(&item.value)) {
            collectInlines(field->result, depth + 1);
        } else if (const auto* note = std::get_if<Note>(&item.value)) {
            collectChars(note->referenceProps);
            if (notesAllowed()) {
                (note->kind == Note::Kind::Endnote ? m_hasEndnotes : m_hasFootnotes) = true;
                StoryScope scope(*this, Story::Note);
                collectBlocks(note->blocks, depth + 1);
            } else {
                collectBlocks(note->blocks, depth + 1);
            }
        } else if (const auto* comment = std::get_if<Comment>(&item.value)) {
            if (commentsAllowed()) {
                if (comment->range) m_commentRanges.insert(*comment->range);
                StoryScope scope(*this, Story::Comment);
                collectBlocks(comment->blocks, depth + 1);
            }
        } else if (const auto* range = std::get_if<CommentRange>(&item.value)) {
            if (commentsAllowed()) (range->start ? m_rangeStarts : m_rangeEnds).insert(range->id);
        } else if (const auto* frame = std::get_if<Frame>(&item.value)) {
            StoryScope scope(*this, framesAllowed() ? Story::Frame : m_story);
            collectBlocks(frame->blocks, depth + 1);
        }
    }
}

void Writer::collectBlocks(const std::vector<Block>& blocks, int depth) {
    if (depth > kMaxDepth) return;
    for (const Block& block : blocks) {
        if (const auto* p = std::get_if<Paragraph>(&block.value)) {
            collectPara(p->props);
            collectChars(p->markProps);
            if (p->markRevision) {
                m_hasRevisions = true;
                addAuthor(p->markRevision->author);
            }
            collectInlines(p->content, depth + 1);
        } else if (const auto* t = std::get_if<Table>(&block.value)) {
            for (const TableRow& row : t->rows) {
                for (const TableCell& cell : row.cells) {
                    addColor(cell.shading);
                    addBorderColors(cell.borders);
                    collectBlocks(cell.blocks, depth + 1);
                }
            }
        }
    }
}

void Writer::collectColors() {
    collectChars(m_doc.defaultChars);
    collectPara(m_doc.defaultPara);
    for (const Style& s : m_doc.styles) {
        collectChars(s.chars);
        collectPara(s.para);
    }
    for (const Section& section : m_doc.sections) {
        for (const auto* story : {&section.header, &section.headerFirst, &section.headerEven, &section.footer,
                                  &section.footerFirst, &section.footerEven}) {
            m_inHeaderFooter = true;
            StoryScope scope(*this, Story::HeaderFooter);
            collectBlocks(*story, 0);
        }
        m_inHeaderFooter = false;
        collectBlocks(section.blocks, 0);
    }
    // A range is written only when both its ends and its comment will be.
    for (int id : m_commentRanges) {
        if (m_rangeStarts.count(id) && m_rangeEnds.count(id)) m_ranges.insert(id);
    }
}

}  // namespace orvane::rtf::writer
