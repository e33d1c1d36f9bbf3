// The RTF reader's entry point and its main loop: tokens in, groups opened and
// closed (each group's ending handed to the part that began it), and control
// words handed to the part of the reader they belong to.
#include "RtfReader.h"

#include <exception>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>

#include "rtf/RtfReaderState.h"

namespace orvane {

namespace rtf::reader {

namespace {

const std::unordered_map<std::string_view, Kw>& keywordTable() {
    static const std::unordered_map<std::string_view, Kw> table = [] {
        std::unordered_map<std::string_view, Kw> t;
#define ORVANE_RTF_ENTRY(name) t.emplace(#name, Kw::k_##name);
        ORVANE_RTF_KEYWORDS(ORVANE_RTF_ENTRY)
#undef ORVANE_RTF_ENTRY
        return t;
    }();
    return table;
}

Kw lookup(std::string_view name) {
    const auto& t = keywordTable();
    const auto it = t.find(name);
    return it == t.end() ? Kw::Unknown : it->second;
}

}  // namespace

// ---------------------------------------------------------------------------
// The main loop

ReadResult Reader::run() {
    m_stack.emplace_back();
    m_contexts.push_back(std::make_unique<TextContext>());
    while (!m_failed) {
        const RtfToken t = m_tz.next();
        if (t.kind == RtfToken::Kind::End) break;
        handleToken(t);
    }
    if (m_failed) return ReadResult::failure(m_error);
    // A file that stops early still closes its groups, so what was read counts.
    while (m_stack.size() > 1) closeGroup();
    finishDocument();
    ReadResult result;
    result.document = std::move(m_doc);
    result.warnings = std::move(m_warnings);
    return result;
}

void Reader::handleToken(const RtfToken& t) {
    using K = RtfToken::Kind;
    if (m_stack.size() > 1 && t.kind != K::GroupClose) {
        GroupState& g = top();
        if (g.uprChild) {
            // Inside \upr only the {\*\ud} copy counts; the 8-bit copy goes.
            if (t.kind == K::Symbol && t.symbol == '*') return;
            if (t.kind == K::Word && t.text == "ud") {
                g.uprChild = false;
                return;
            }
            skipGroup();
            return;
        }
        if (g.starPending && t.kind != K::Word) {
            skipGroup();
            return;
        }
    }
    switch (t.kind) {
    case K::GroupOpen:
        m_ucSkip = 0;
        flushPendingLead();
        if (static_cast<int>(m_stack.size()) > m_limits.maxNesting) {
            fail("The file's groups nest too deeply");
            return;
        }
        openGroup();
        return;
    case K::GroupClose:
        m_ucSkip = 0;
        flushPendingLead();
        if (m_stack.size() <= 1) return;  // an extra '}'
        // The document's own group closing with more text after it: that
        // brace was one too many, so keep reading inside the document.
        if (m_stack.size() == 2 && !m_tz.onlyBlankLeft()) return;
        closeGroup();
        return;
    case K::Text:
        handleText(t.text);
        return;
    case K::Hex:
        if (m_ucSkip > 0) {
            --m_ucSkip;
            return;
        }
        handleByte(t.byte, true);
        return;
    case K::Symbol:
        if (m_ucSkip > 0) {
            --m_ucSkip;
            return;
        }
        flushPendingLead();
        handleSymbol(t.symbol);
        return;
    case K::Word:
        if (m_ucSkip > 0) {
            --m_ucSkip;
            if (t.text == "bin" && t.hasParam) m_tz.takeBinary(t.param);
            return;
        }
        flushPendingLead();
        handleWord(t);
        return;
    case K::End:
        return;
    }
}

void Reader::openGroup() {
    GroupState s = top();
    s.role = Role::None;
    s.roleData = 0;
    s.starPending = false;
    s.uprChild = top().isUpr;
    s.isUpr = false;
    s.sawShapeInstance = false;
    if (s.dest == Dest::Body) {
        const TextContext& ctx = ctxOf(s);
        s.openRun = ctx.runText.size();
        s.openContent = (!ctx.fields.empty() && !ctx.fields.back().broken) ? ctx.fields.back().result.size()
                                                                              : ctx.content.size();
    }
    if (top().role == Role::FontTable) {
        s.role = Role::FontEntry;
    } else if (top().dest == Dest::RevisionTable && top().role == Role::None) {
        s.role = Role::RevisionEntry;
        m_revisionEntry.clear();
    } else if (top().dest == Dest::StyleSheet) {
        s.dest = Dest::StyleEntry;
        s.role = Role::StyleEntry;
        resetChars(s);
        resetPara(s);
        m_styleEntry = StyleEntry{};
    }
    m_stack.push_back(std::move(s));
    m_propsDirty = true;
}

void Reader::skipGroup() {
    // Only a group of its own is skipped: a \* or an \upr straight in the
    // document's group (or after it) does not end the document.
    if (m_stack.size() <= 2) {
        top().starPending = false;
        top().uprChild = false;
        return;
    }
    m_tz.skipGroup();
    closeGroup();
}

void Reader::closeGroup() {
    if (m_stack.size() <= 1) return;  // the reader's own base state stays
    GroupState& g = top();
    if (m_stack.size() == 2) {
        // The document's group: a last paragraph without \par still counts.
        TextContext& body = *m_contexts[0];
        if (hasPendingParagraph(body)) endParagraph(body, -1);
    }
    switch (g.role) {
    case Role::None:
        break;
    case Role::FontTable:
        finishFontEntry();
        orderFonts();
        break;
    case Role::FontEntry:
        finishFontEntry();
        break;
    case Role::StyleSheet:
        orderStyles();
        break;
    case Role::StyleEntry:
        finishStyleEntry(g);
        break;
    case Role::List:
        finishList();
        break;
    case Role::ListLevel:
        finishListLevel(g);
        break;
    case Role::LevelText:
        finishLevelText();
        break;
    case Role::ListOverride:
        finishListOverride();
        break;
    case Role::InfoTime:
        finishInfoTime(g);
        break;
    case Role::Field:
        finishField(g);
        break;
    case Role::Bookmark:
        finishBookmark(g);
        break;
    case Role::Pict:
        finishPict(g);
        break;
    case Role::Context:
        finishContext(g);
        break;
    case Role::DefChp:
        finishDefaultChars(g);
        break;
    case Role::DefPap:
        finishDefaultPara(g);
        break;
    case Role::Shppict:
        m_lastWasShppict = true;
        break;
    case Role::Shape:
        finishShape(g);
        break;
    case Role::ShapePicture:
        if (!m_shapes.empty()) m_shapes.back().inPicture = false;
        break;
    case Role::Capture:
        finishCapture(g);
        break;
    case Role::RevisionEntry:
        finishRevisionEntry();
        break;
    }
    if (g.dest == Dest::ColorTable) finishColorTableGroup(g);
    m_stack.pop_back();
    m_propsDirty = true;
}

// ---------------------------------------------------------------------------
// Control words

void Reader::handleWord(const RtfToken& t) {
    const Kw k = lookup(t.text);
    GroupState& g = top();
    if (g.starPending) {
        g.starPending = false;
        const bool styleWord = g.dest == Dest::StyleEntry && (k == Kw::k_cs || k == Kw::k_ts || k == Kw::k_ds);
        if (!isKnownDestination(k) && !styleWord) {
            skipGroup();
            return;
        }
    }
    if (isSkippedDestination(k)) {
        skipGroup();
        return;
    }
    if (k == Kw::Unknown) {
        const std::string_view name = t.text;
        handleNoteSettingWord(name, t) || handleShapeWord(name, t);
        return;
    }
    const bool body = g.dest == Dest::Body;

    if (handleCharWord(k, t, g)) return;
    if (handleParaWord(k, t, g)) return;
    if (handleBorderWord(k, t, g)) return;
    if (handleSectionWord(k, t)) return;
    if (body && handleTableWord(k, t, g)) return;
    if (handleSpecialChar(k, g)) return;

    // The other parts: each takes the words it knows, and no word is known to two.
    if (handleTextWord(k, t, g)) return;
    if (handleHeaderTableWord(k, t, g)) return;
    if (handleListWord(k, t, g)) return;
    if (handleDocumentWord(k, t, g)) return;
    if (handleStoryWord(k, g)) return;
    if (handleObjectWord(k, g)) return;
    if (handleFieldWord(k, g)) return;
    if (handlePictureWord(k, t, g)) return;
    // Document text words outside the body mean nothing.
}

}  // namespace rtf::reader

ReadResult readRtf(std::string_view bytes, const ReadLimits& limits) {
    std::size_t start = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
    while (start < bytes.size() && (bytes[start] == ' ' || bytes[start] == '\r' || bytes[start] == '\n' ||
                                    bytes[start] == '\t'))
        ++start;
    if (bytes.substr(start, 5) != "{\\rtf") return ReadResult::failure("The file is not an RTF document");
    try {
        rtf::reader::Reader reader(bytes.substr(start), limits);
        return reader.run();
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("The file is too large to read");
    } catch (const std::exception& e) {
        return ReadResult::failure(std::string("The file could not be read: ") + e.what());
    }
}

namespace {
bool recognisesRtf(const Probe& probe) { return probe.text.starts_with("{\\rtf"); }
}  // namespace

const ReaderInfo kRtfReader{InputFormat::Rtf, &recognisesRtf, &readRtf};

}  // namespace orvane
