// Footnotes, endnotes and comments: each becomes inline content where its
// reference stands, holding the blocks of its own text.
#include "docx/DocxConverter.h"
#include "docx/DocxUtil.h"

namespace orvane::docx {

using model::Block;
using model::Inline;

namespace {

// Rough size of converted content (text and picture bytes), what copying it costs.
std::size_t inlineSize(const std::vector<Inline>& inlines, int depth);

std::size_t blockSize(const std::vector<Block>& blocks, int depth) {
    std::size_t n = 0;
    for (const Block& b : blocks) {
        n += 64;
        if (const auto* p = std::get_if<model::Paragraph>(&b.value)) {
            n += inlineSize(p->content, depth);
        } else if (const auto* t = std::get_if<model::Table>(&b.value); t && depth < 64) {
            for (const auto& row : t->rows)
                for (const auto& cell : row.cells) n += blockSize(cell.blocks, depth + 1);
        }
    }
    return n;
}

std::size_t inlineSize(const std::vector<Inline>& inlines, int depth) {
    std::size_t n = 0;
    for (const Inline& in : inlines) {
        n += 16;
        if (depth >= 64) continue;
        if (const auto* run = std::get_if<model::TextRun>(&in.value)) n += run->text.size();
        else if (const auto* image = std::get_if<model::Image>(&in.value)) n += image->data.size();
        else if (const auto* field = std::get_if<model::Field>(&in.value))
            n += field->instruction.size() + inlineSize(field->result, depth + 1);
        else if (const auto* note = std::get_if<model::Note>(&in.value)) n += blockSize(note->blocks, depth + 1);
        else if (const auto* comment = std::get_if<model::Comment>(&in.value))
            n += blockSize(comment->blocks, depth + 1);
        else if (const auto* frame = std::get_if<model::Frame>(&in.value)) n += blockSize(frame->blocks, depth + 1);
    }
    return n;
}

}  // namespace

std::size_t contentSize(const std::vector<Block>& blocks) { return blockSize(blocks, 0); }

DocxConverter::NotePart& DocxConverter::notePart(NoteKind kind) {
    NotePart& part = m_noteParts[static_cast<std::size_t>(kind)];
    if (part.loaded) return part;
    part.loaded = true;
    const char* relKind = kind == NoteKind::Footnote ? "footnotes"
                          : kind == NoteKind::Endnote ? "endnotes"
                                                      : "comments";
    const char* element = kind == NoteKind::Footnote ? "w:footnote"
                          : kind == NoteKind::Endnote ? "w:endnote"
                                                      : "w:comment";
    std::string warning;
    const Relationships& mainRels = m_pkg.relationships(m_mainPart, warning);
    part.xml = readRelatedPart(mainRels, relKind);
    if (!part.xml) return part;
    part.rels = &m_pkg.relationships(part.xml->name, warning);
    if (m_pkg.refused()) throw DocxError(warning);
    for (pugi::xml_node n = part.xml->root().child(element); n; n = n.next_sibling(element))
        part.byId.emplace(n.attribute("w:id").value(), n);
    return part;
}

std::vector<Block> DocxConverter::noteBlocks(NoteKind kind, const std::string& id, int depth) {
    const auto key = std::make_pair(static_cast<int>(kind), id);
    if (auto cached = m_noteCache.find(key); cached != m_noteCache.end()) {
        // Cited again: a copy, paid for out of the growth allowance.
        if (!charge(contentSize(cached->second), "notes")) return {};
        return cached->second;
    }
    // A note that cites itself (directly or through others) is cut there.
    if (m_notesInProgress.count(key)) return {};
    NotePart& part = notePart(kind);
    auto found = part.byId.find(id);
    if (found == part.byId.end()) {
        warnOnce(kind == NoteKind::Comment ? "A comment's text is missing" : "A note's text is missing");
        return {};
    }
    if (m_growth >= m_limits.maxExpandedBytes) return {};

    m_notesInProgress.insert(key);
    const PartScope savedScope = m_scope;
    InlineState saved = takeInlineState();
    m_scope = PartScope{part.xml->name, part.rels};
    std::vector<Block> blocks;
    convertBlocks(found->second, &blocks, false, depth + 1);
    m_scope = savedScope;
    restoreInlineState(std::move(saved));
    m_notesInProgress.erase(key);

    if (!charge(contentSize(blocks), "notes")) return {};
    // Converting is paid once more; from the third citation on, copies serve.
    if (++m_noteConversions[key] >= 2) m_noteCache.emplace(key, blocks);
    return blocks;
}

void DocxConverter::noteReference(pugi::xml_node ref, NoteKind kind, const model::CharProps& props,
                                  std::string customMark, int depth) {
    model::Note note;
    note.kind = kind == NoteKind::Endnote ? model::Note::Kind::Endnote : model::Note::Kind::Footnote;
    note.customMark = std::move(customMark);
    note.referenceProps = props;
    note.blocks = noteBlocks(kind, ref.attribute("w:id").value(), depth);
    emitInline(Inline{std::move(note)});
}

namespace {

int commentIdFor(std::unordered_map<std::string, int>& ids, const std::string& key) {
    auto [it, inserted] = ids.emplace(key, static_cast<int>(ids.size()));
    return it->second;
}

}  // namespace

void DocxConverter::commentReference(pugi::xml_node ref, int depth) {
    const std::string id = ref.attribute("w:id").value();
    NotePart& part = notePart(NoteKind::Comment);
    model::Comment comment;
    if (auto found = part.byId.find(id); found != part.byId.end()) {
        comment.author = found->second.attribute("w:author").value();
        comment.initials = found->second.attribute("w:initials").value();
        comment.date = found->second.attribute("w:date").value();
    }
    comment.blocks = noteBlocks(NoteKind::Comment, id, depth);
    const int modelId = commentIdFor(m_commentIds, id);
    if (m_commentRangesStarted.count(modelId)) comment.range = modelId;
    emitInline(Inline{std::move(comment)});
}

void DocxConverter::commentRange(pugi::xml_node mark, bool start, bool blockLevel) {
    const int id = commentIdFor(m_commentIds, mark.attribute("w:id").value());
    if (start) {
        m_commentRangesStarted.insert(id);
    } else if (!m_commentRangesStarted.count(id)) {
        return;  // an end without a start marks nothing
    }
    Inline range{model::CommentRange{id, start}};
    if (blockLevel) m_pendingInlines.push_back(std::move(range));
    else emitInline(std::move(range));
}

}  // namespace orvane::docx
