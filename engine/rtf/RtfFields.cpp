// Fields: \field with its {\*\fldinst} instruction and {\fldrslt} result, a
// result that runs over paragraph marks (FieldStart ... FieldEnd), \chpgn as
// a PAGE field; and bookmarks ({\*\bkmkstart}, {\*\bkmkend}).
#include <string>
#include <utility>
#include <vector>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

bool Reader::handleFieldWord(Kw k, GroupState& g) {
    const bool body = g.dest == Dest::Body;
    switch (k) {
    // Fields and bookmarks
    case Kw::k_field:
        if (g.dest == Dest::FieldInst) {
            g.fieldInInstruction = true;
        } else if (body && g.role == Role::None) {
            TextContext& ctx = ctxOf(g);
            flushRun(ctx);
            if (static_cast<int>(ctx.fields.size()) >= m_limits.maxNesting) {
                skipGroup();
                return true;
            }
            ctx.fields.emplace_back();
            g.role = Role::Field;
            g.fieldInInstruction = false;
        }
        return true;
    case Kw::k_fldinst:
        if (g.dest == Dest::FieldInst) {
            if (g.fieldInInstruction) skipGroup();  // a nested field's own instruction
            return true;
        }
        if (!body || ctxOf(g).fields.empty()) {
            skipGroup();
            return true;
        }
        g.dest = Dest::FieldInst;
        return true;
    case Kw::k_fldrslt:
        return true;
    case Kw::k_bkmkstart: case Kw::k_bkmkend:
        if (g.role != Role::None) {
            skipGroup();
            return true;
        }
        g.role = Role::Bookmark;
        g.roleData = (k == Kw::k_bkmkstart ? 1 : 0) | (body ? 2 : 0);
        g.dest = Dest::Bookmark;
        m_bookmarkName.clear();
        return true;

    case Kw::k_chpgn:
        if (body) {
            Field f;
            f.instruction = "PAGE";
            insertInline(ctxOf(g), std::move(f));
        }
        return true;
    default:
        return false;
    }
}

void Reader::breakFields(TextContext& ctx) {
    // A field result that runs on past the paragraph's end. At the top level
    // of the paragraph it becomes a FieldStart where it began, its result
    // flowing on as content up to the FieldEnd where its group closes.
    // Inside another field's result it stays in this paragraph with the
    // result so far, the rest becomes plain text.
    for (std::size_t i = ctx.fields.size(); i-- > 0;) {
        FieldFrame& frame = ctx.fields[i];
        if (frame.broken) break;
        const bool topLevel = i == 0 || ctx.fields[i - 1].broken;
        if (topLevel && !trimmed(frame.instruction).empty()) {
            appendInline(ctx.content, FieldStart{frame.instruction});
            for (Inline& item : frame.result) ctx.content.push_back(std::move(item));
            frame.result.clear();
            frame.broken = true;
            frame.spanning = true;
            break;
        }
        Field field;
        field.instruction = frame.instruction;
        field.result = std::move(frame.result);
        frame.result.clear();
        frame.broken = true;
        std::vector<Inline>& target = (i > 0 && !ctx.fields[i - 1].broken) ? ctx.fields[i - 1].result : ctx.content;
        appendInline(target, std::move(field));
    }
}

void Reader::finishField(GroupState& g) {
    TextContext& ctx = ctxOf(g);
    if (ctx.fields.empty()) return;
    flushRun(ctx);
    FieldFrame frame = std::move(ctx.fields.back());
    ctx.fields.pop_back();
    if (frame.spanning) {
        // Closed right after a paragraph mark, as Word ends a table of
        // contents: the field ends with that paragraph.
        std::vector<Inline>* target = nullptr;
        if (ctx.content.empty() && !ctx.paraStarted) target = lastParagraphContent(ctx);
        appendInline(target ? *target : inlineTarget(ctx), FieldEnd{});
        return;
    }
    if (frame.broken) return;
    Field field;
    field.instruction = std::move(frame.instruction);
    field.result = std::move(frame.result);
    appendInline(inlineTarget(ctx), std::move(field));
}

void Reader::finishBookmark(GroupState& g) {
    if (g.roleData & 2) {
        Bookmark b;
        b.name = trimmed(m_bookmarkName);
        b.start = (g.roleData & 1) != 0;
        if (!b.name.empty()) insertInline(ctxOf(g), std::move(b));
    }
}

}  // namespace orvane::rtf::reader
