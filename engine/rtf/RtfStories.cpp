// Text outside the body's own flow, each read into a text context of its own:
// headers and footers, footnotes and endnotes with their marks, comments with
// their details and the range of text they are about, and the text of text
// boxes; and what becomes of each when its group ends.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

bool Reader::handleStoryWord(Kw k, GroupState& g) {
    const bool body = g.dest == Dest::Body;
    switch (k) {
    // Headers, footers, notes, text boxes
    case Kw::k_header: case Kw::k_headerr: case Kw::k_headerl: case Kw::k_headerf:
    case Kw::k_footer: case Kw::k_footerr: case Kw::k_footerl: case Kw::k_footerf:
    case Kw::k_footnote: case Kw::k_annotation: case Kw::k_shptxt: case Kw::k_dptxbx: {
        if ((g.dest != Dest::Body && g.dest != Dest::NoText) || g.role != Role::None) {
            skipGroup();
            return true;
        }
        ContextKind kind = ContextKind::Aside;
        switch (k) {
        case Kw::k_header: case Kw::k_headerr: kind = ContextKind::Header; break;
        case Kw::k_headerl: kind = ContextKind::HeaderEven; break;
        case Kw::k_headerf: kind = ContextKind::HeaderFirst; break;
        case Kw::k_footer: case Kw::k_footerr: kind = ContextKind::Footer; break;
        case Kw::k_footerl: kind = ContextKind::FooterEven; break;
        case Kw::k_footerf: kind = ContextKind::FooterFirst; break;
        default: break;
        }
        if (kind != ContextKind::Aside && g.ctx != 0) {
            skipGroup();  // a header inside a note or a header makes no sense
            return true;
        }
        if (k == Kw::k_footnote) kind = ContextKind::Note;
        if (k == Kw::k_annotation) kind = ContextKind::Comment;
        if (k == Kw::k_shptxt && !m_shapes.empty()) kind = ContextKind::ShapeText;
        auto ctx = std::make_unique<TextContext>();
        ctx->kind = kind;
        TextContext& parent = ctxOf(g);
        if (k == Kw::k_footnote) {
            ++m_noteCounter;
            if (parent.markPending) {
                ctx->markProps = parent.markProps;
            } else if (!parent.runText.empty() && m_stack.size() >= 4 &&
                       parent.runProps.verticalAlign == VerticalAlign::Superscript) {
                // (Superscript, as marks are, and not text of the document's
                // own group: that is the text the note is about.)
                // No \chftn: the text just before the note is its own mark,
                // if short, as in "{\super *{\footnote ...}}".
                const GroupState& outer = m_stack[m_stack.size() - 2];
                const std::size_t now = inlineTarget(parent).size();
                const std::size_t from = now == outer.openContent ? std::min(outer.openRun, parent.runText.size()) : 0;
                if (parent.runText.size() - from <= 16) {
                    ctx->customMark = parent.runText.substr(from);
                    ctx->customMarkSet = true;
                    ctx->markProps = parent.runProps;
                    parent.runText.resize(from);
                }
            }
            parent.markPending = false;
        } else if (k == Kw::k_annotation) {
            ctx->initials = std::move(m_atnInitials);
            ctx->author = std::move(m_atnAuthor);
            m_atnInitials.clear();
            m_atnAuthor.clear();
        }
        flushRun(parent);
        m_contexts.push_back(std::move(ctx));
        g.ctx = static_cast<int>(m_contexts.size() - 1);
        g.role = Role::Context;
        g.dest = Dest::Body;
        g.intbl = false;
        g.itap = 0;
        g.inNestProps = false;
        return true;
    }
    case Kw::k_chftn:
        if (body) {
            TextContext& ctx = ctxOf(g);
            if (ctx.kind == ContextKind::Note || ctx.kind == ContextKind::Aside) {
                // The mark opening a note's text is the writer's to put back;
                // one further in is the note's number as text.
                if (ctx.blocks.empty() && ctx.content.empty() && ctx.runText.empty()) return true;
                appendBodyText(std::to_string(std::max(m_noteCounter, 1)));
                return true;
            }
            ctx.markPending = true;
            ctx.markProps = g.chars;
        }
        return true;
    case Kw::k_chatn:
        return true;
    case Kw::k_atnid: beginCapture(g, Capture::Initials); return true;
    case Kw::k_atnauthor: beginCapture(g, Capture::Author); return true;
    case Kw::k_atnref: beginCapture(g, Capture::Ref); return true;
    case Kw::k_atndate: beginCapture(g, Capture::Date); return true;
    case Kw::k_atrfstart: beginCapture(g, Capture::RangeStart); return true;
    case Kw::k_atrfend: beginCapture(g, Capture::RangeEnd); return true;
    default:
        return false;
    }
}

// A comment's details ({\*\atnid}, {\*\atnauthor} ...) and a shape's property
// names and values: short text kept until its group ends.
void Reader::beginCapture(GroupState& g, Capture what) {
    if (g.role != Role::None || (g.dest != Dest::Body && g.dest != Dest::NoText)) {
        skipGroup();
        return;
    }
    g.role = Role::Capture;
    g.roleData = static_cast<int>(what);
    g.destData = g.dest == Dest::Body ? 1 : 0;
    g.dest = Dest::Capture;
    m_capture.clear();
}

void Reader::finishCapture(GroupState& g) {
    std::string text = trimmed(m_capture);
    m_capture.clear();
    TextContext& ctx = ctxOf(g);
    switch (static_cast<Capture>(g.roleData)) {
    case Capture::Initials: m_atnInitials = std::move(text); break;
    case Capture::Author: m_atnAuthor = std::move(text); break;
    case Capture::Ref: if (ctx.kind == ContextKind::Comment) ctx.commentRef = std::move(text); break;
    case Capture::Date: if (ctx.kind == ContextKind::Comment) ctx.commentDate = std::move(text); break;
    case Capture::RangeStart:
    case Capture::RangeEnd:
        if (g.destData == 1 && !text.empty()) {
            CommentRange range;
            range.id = rangeId(text);
            m_rangesSeen.insert(range.id);
            range.start = static_cast<Capture>(g.roleData) == Capture::RangeStart;
            insertInline(ctx, range);
        }
        break;
    case Capture::PropName:
    case Capture::PropValue:
        finishShapeCapture(static_cast<Capture>(g.roleData), std::move(text));
        break;
    }
}

int Reader::rangeId(const std::string& name) {
    // Numbers stay as they are; other names get numbers of their own.
    if (!name.empty() && name.size() <= 9 && name.find_first_not_of("0123456789") == std::string::npos)
        return std::stoi(name);
    const auto it = m_rangeIds.find(name);
    if (it != m_rangeIds.end()) return it->second;
    const int id = 1000000000 + static_cast<int>(m_rangeIds.size());
    m_rangeIds.emplace(name, id);
    return id;
}

void Reader::finishContext(GroupState& g) {
    if (static_cast<std::size_t>(g.ctx) + 1 != m_contexts.size() || g.ctx == 0) return;
    finishContextBlocks(*m_contexts.back());
    // Taken off the stack but kept alive: what it noted (a note's mark, a
    // comment's author) is read below.
    const std::unique_ptr<TextContext> owned = std::move(m_contexts.back());
    m_contexts.pop_back();
    TextContext& ctx = *owned;
    std::vector<Block> blocks = std::move(ctx.blocks);
    const ContextKind kind = ctx.kind;
    switch (kind) {
    case ContextKind::Header: m_header = std::move(blocks); break;
    case ContextKind::HeaderFirst: m_headerFirst = std::move(blocks); break;
    case ContextKind::HeaderEven: m_headerEven = std::move(blocks); break;
    case ContextKind::Footer: m_footer = std::move(blocks); break;
    case ContextKind::FooterFirst: m_footerFirst = std::move(blocks); break;
    case ContextKind::FooterEven: m_footerEven = std::move(blocks); break;
    case ContextKind::Note: {
        Note note;
        note.kind = ctx.endnote ? Note::Kind::Endnote : Note::Kind::Footnote;
        note.customMark = ctx.customMark;
        note.referenceProps = ctx.markProps;
        note.blocks = std::move(blocks);
        // A custom mark opens the note's text as plain text: the writer puts it back.
        if (ctx.customMarkSet && !note.customMark.empty() && !note.blocks.empty()) {
            if (auto* first = std::get_if<Paragraph>(&note.blocks.front().value); first && !first->content.empty()) {
                if (auto* r = std::get_if<TextRun>(&first->content.front().value);
                    r && r->text.starts_with(note.customMark)) {
                    r->text.erase(0, note.customMark.size());
                    if (r->text.empty()) first->content.erase(first->content.begin());
                }
            }
        }
        insertInline(*m_contexts.back(), std::move(note));
        break;
    }
    case ContextKind::Comment: {
        Comment comment;
        comment.initials = ctx.initials;
        comment.author = ctx.author;
        // Only a range that is there: the writer leaves out a reference to none.
        if (!ctx.commentRef.empty() && m_rangesSeen.count(rangeId(ctx.commentRef))) comment.range = rangeId(ctx.commentRef);
        char* end = nullptr;
        const long long v = std::strtoll(ctx.commentDate.c_str(), &end, 10);
        if (end && end != ctx.commentDate.c_str() && v > 0) comment.date = isoFromPackedDate(v);
        comment.blocks = std::move(blocks);
        insertInline(*m_contexts.back(), std::move(comment));
        break;
    }
    case ContextKind::ShapeText:
        if (!m_shapes.empty()) {
            m_shapes.back().hasText = true;
            m_shapes.back().text = std::move(blocks);
        }
        break;
    case ContextKind::Aside: {
        // Old drawing objects' text boxes have no place of their own here:
        // their paragraphs follow the paragraph they belong to.
        TextContext& parent = *m_contexts.back();
        for (Block& b : blocks) parent.asides.push_back(std::move(b));
        break;
    }
    case ContextKind::Body:
        break;
    }
}

}  // namespace orvane::rtf::reader
