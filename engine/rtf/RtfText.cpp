// Text: plain text, \'hh bytes and \uN characters decoded in the current
// font's code page (or as a symbol font's glyphs), surrogate pairs joined,
// each character put where the group being read keeps its text; the special
// characters (\tab, \emdash, \~ ...) and the words that choose the code page.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

const CodePage* Reader::pageByNumber(int number) {
    if (const CodePage* page = CodePage::get(number)) return page;
    warnOnce("Text in code page " + std::to_string(number) + " was read as Windows-1252");
    return CodePage::get(1252);
}

const CodePage* Reader::codePageFor(const GroupState& g, bool& symbol) {
    int font = g.chars.font;
    if (g.charClass == 3 && g.chars.eastAsiaFont) font = *g.chars.eastAsiaFont;
    int page = 0;
    if (font >= 0 && static_cast<std::size_t>(font) < m_fontCodePages.size()) page = m_fontCodePages[font];
    symbol = page == -1;
    if (symbol) return nullptr;
    return pageByNumber(page == 0 ? m_docCodePage : page);
}

void Reader::handleText(std::string_view text) {
    if (m_ucSkip > 0) {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(m_ucSkip), text.size());
        text.remove_prefix(n);
        m_ucSkip -= static_cast<int>(n);
        if (text.empty()) return;
    }
    GroupState& g = top();
    switch (g.dest) {
    case Dest::Pict: {
        if (!m_pict.active) return;
        for (const char c : text) {
            int v;
            if (c >= '0' && c <= '9') v = c - '0';
            else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
            else continue;
            if (m_pict.hexHigh < 0) {
                m_pict.hexHigh = v;
            } else {
                m_pict.data.push_back(static_cast<char>(m_pict.hexHigh * 16 + v));
                m_pict.hexHigh = -1;
            }
        }
        return;
    }
    case Dest::Skip: case Dest::NoText: case Dest::Info: case Dest::ListTable: case Dest::List:
    case Dest::ListLevel: case Dest::ListOverrideTable: case Dest::ListOverride:
    case Dest::StyleSheet: case Dest::Defaults: case Dest::InfoTime:
        return;
    case Dest::ColorTable:
        for (const char c : text) {
            if (c == ';') {
                m_colors.push_back(m_colorAny ? std::optional<Rgb>(Rgb((m_red << 16) | (m_green << 8) | m_blue))
                                              : std::nullopt);
                m_colorAny = false;
                m_red = m_green = m_blue = 0;
            }
        }
        return;
    default:
        break;
    }
    if (g.dest == Dest::Body && m_pendingLead < 0 && m_highSurrogate == 0) {
        // The common case: plain ASCII text goes into the run in one piece.
        bool plain = true;
        for (const char c : text) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x20 || b >= 0x7F) {
                plain = false;
                break;
            }
        }
        if (plain) {
            appendBodyText(text);
            return;
        }
    }
    for (const char c : text) handleByte(static_cast<std::uint8_t>(c), false);
}

void Reader::handleByte(std::uint8_t byte, bool fromHex) {
    GroupState& g = top();
    if (g.dest == Dest::Pict || g.dest == Dest::Skip || g.dest == Dest::NoText) return;
    if (m_pendingLead >= 0) {
        const char32_t c = m_pendingLeadPage->decode(static_cast<std::uint8_t>(m_pendingLead), byte);
        m_pendingLead = -1;
        emit(c ? c : 0xFFFD);
        return;
    }
    if (!fromHex) {
        if (byte == '\t') {
            emit('\t');
            return;
        }
        if (byte < 0x20) return;
        if (byte < 0x80) {
            emit(byte);
            return;
        }
    }
    bool symbol = false;
    const CodePage* page = codePageFor(g, symbol);
    if (symbol) {
        // Symbol fonts index glyphs by byte; Unicode keeps them at U+F0xx.
        emit(byte < 0x20 || (!fromHex && byte < 0x80) ? byte : 0xF000 + byte);
        return;
    }
    if (page->isDoubleByte() && page->isLeadByte(byte)) {
        m_pendingLead = byte;
        m_pendingLeadPage = page;
        return;
    }
    emit(page->decode(byte));
}

void Reader::flushPendingLead() {
    if (m_pendingLead < 0) return;
    m_pendingLead = -1;
    emit(0xFFFD);
}

void Reader::emit(char32_t c) {
    if (m_highSurrogate) {
        const char32_t high = m_highSurrogate;
        m_highSurrogate = 0;
        if (c >= 0xDC00 && c <= 0xDFFF) {
            emitChar(0x10000 + ((high - 0xD800) << 10) + (c - 0xDC00));
            return;
        }
        emitChar(0xFFFD);
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
        m_highSurrogate = c;
        return;
    }
    if ((c >= 0xDC00 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    emitChar(c);
}

void Reader::emitChar(char32_t c) {
    GroupState& g = top();
    switch (g.dest) {
    case Dest::Body: {
        if (c < 0x20 && c != '\t' && c != '\n') return;
        char buf[4];
        std::size_t n;
        if (c < 0x80) {
            buf[0] = static_cast<char>(c);
            n = 1;
        } else {
            std::string tmp;
            appendUtf8(tmp, c);
            n = tmp.size();
            std::copy(tmp.begin(), tmp.end(), buf);
        }
        appendBodyText(std::string_view(buf, n));
        return;
    }
    case Dest::FontTable:
        if (!m_fontEntry.open) return;
        if (c == ';') finishFontEntry();
        else if (c >= 0x20) appendUtf8(m_fontEntry.font.name, c);
        return;
    case Dest::FontAlt:
        if (m_fontEntry.open && c >= 0x20 && c != ';') appendUtf8(m_fontEntry.font.altName, c);
        return;
    case Dest::StyleEntry:
        if (c == ';') m_styleEntry.nameDone = true;
        else if (!m_styleEntry.nameDone && c >= 0x20) appendUtf8(m_styleEntry.name, c);
        return;
    case Dest::LevelText:
        appendUtf8(m_levelText, c);
        return;
    case Dest::InfoText: {
        if (c < 0x20) return;
        std::string* field = nullptr;
        switch (static_cast<InfoField>(g.destData)) {
        case InfoField::Title: field = &m_doc.info.title; break;
        case InfoField::Subject: field = &m_doc.info.subject; break;
        case InfoField::Author: field = &m_doc.info.author; break;
        case InfoField::Keywords: field = &m_doc.info.keywords; break;
        case InfoField::Comments: field = &m_doc.info.comments; break;
        }
        appendUtf8(*field, c);
        return;
    }
    case Dest::FieldInst: {
        TextContext& ctx = ctxOf(g);
        if (ctx.fields.empty() || c < 0x20) return;
        appendUtf8(ctx.fields.back().instruction, c);
        return;
    }
    case Dest::Bookmark:
        if (c >= 0x20) appendUtf8(m_bookmarkName, c);
        return;
    case Dest::Capture:
        if (c >= 0x20 && m_capture.size() < 4096) appendUtf8(m_capture, c);
        return;
    case Dest::RevisionTable:
        if (c == ';' && g.role != Role::RevisionEntry) {
            // Entries written without groups of their own end at each ';'.
            if (m_revisionAuthors.size() < kMaxRevisionAuthors) m_revisionAuthors.push_back(m_revisionEntry);
            m_revisionEntry.clear();
        } else if (c >= 0x20 && m_revisionEntry.size() < 4096) {
            appendUtf8(m_revisionEntry, c);
        }
        return;
    case Dest::ColorTable:
        if (c == ';') {
            m_colors.push_back(m_colorAny ? std::optional<Rgb>(Rgb((m_red << 16) | (m_green << 8) | m_blue))
                                          : std::nullopt);
            m_colorAny = false;
            m_red = m_green = m_blue = 0;
        }
        return;
    default:
        return;
    }
}

void Reader::appendBodyText(std::string_view utf8) {
    GroupState& g = top();
    TextContext& ctx = ctxOf(g);
    m_lastWasShppict = false;
    if (ctx.runText.empty()) {
        ctx.runProps = g.chars;
        ctx.runRevision = g.revision;
    } else if (m_propsDirty && (!(ctx.runProps == g.chars) || !(ctx.runRevision == g.revision))) {
        flushRun(ctx);
        ctx.runProps = g.chars;
        ctx.runRevision = g.revision;
    }
    m_propsDirty = false;
    ctx.runText.append(utf8);
}

void Reader::handleSymbol(char symbol) {
    switch (symbol) {
    case '\\': case '{': case '}':
        emit(static_cast<unsigned char>(symbol));
        return;
    case '~':
        emit(0x00A0);
        return;
    case '-':
        emit(0x00AD);
        return;
    case '_':
        emit(0x2011);
        return;
    case '*':
        top().starPending = true;
        return;
    case '\t':
        emit('\t');
        return;
    default:
        return;  // \: (index subentry), \| (formula) and unknown symbols
    }
}

bool Reader::handleSpecialChar(Kw k, GroupState& g) {
    char32_t c = 0;
    switch (k) {
    case Kw::k_par:
        if (g.dest == Dest::Body) endParagraph(ctxOf(g), -1);
        return true;
    case Kw::k_page: case Kw::k_column:
        if (g.dest == Dest::Body) {
            Break b;
            b.kind = k == Kw::k_page ? BreakKind::Page : BreakKind::Column;
            b.props = g.chars;
            insertInline(ctxOf(g), std::move(b));
        }
        return true;
    case Kw::k_tab: c = '\t'; break;
    case Kw::k_line: case Kw::k_lbr: c = '\n'; break;
    case Kw::k_emdash: c = 0x2014; break;
    case Kw::k_endash: c = 0x2013; break;
    case Kw::k_bullet: c = 0x2022; break;
    case Kw::k_lquote: c = 0x2018; break;
    case Kw::k_rquote: c = 0x2019; break;
    case Kw::k_ldblquote: c = 0x201C; break;
    case Kw::k_rdblquote: c = 0x201D; break;
    case Kw::k_emspace: c = 0x2003; break;
    case Kw::k_enspace: c = 0x2002; break;
    case Kw::k_qmspace: c = 0x2005; break;
    case Kw::k_zwj: c = 0x200D; break;
    case Kw::k_zwnj: c = 0x200C; break;
    case Kw::k_ltrmark: c = 0x200E; break;
    case Kw::k_rtlmark: c = 0x200F; break;
    case Kw::k_zwbo: c = 0x200B; break;
    case Kw::k_zwnbo: c = 0x2060; break;
    default: return false;
    }
    emit(c);
    return true;
}

// The document's code page (\ansi, \ansicpgN ...), and \uN with the number
// of fallback characters after it (\ucN), or in \upr only its {\*\ud} copy.
bool Reader::handleTextWord(Kw k, const RtfToken& t, GroupState& g) {
    const std::int32_t p = t.param;
    switch (k) {
    case Kw::k_ansi: m_docCodePage = 1252; return true;
    case Kw::k_mac: m_docCodePage = 10000; return true;
    case Kw::k_pc: m_docCodePage = 437; return true;
    case Kw::k_pca: m_docCodePage = 850; return true;
    case Kw::k_ansicpg:
        if (t.hasParam && p > 0) m_docCodePage = p;
        return true;
    case Kw::k_uc:
        g.uc = std::clamp(p, 0, 64);
        return true;
    case Kw::k_u: {
        const std::int64_t v = p < 0 ? std::int64_t(p) + 65536 : std::int64_t(p);
        emit(v < 0 || v > 0x10FFFF ? 0xFFFD : static_cast<char32_t>(v));
        m_ucSkip = g.uc;
        return true;
    }
    case Kw::k_upr:
        g.isUpr = true;
        return true;
    case Kw::k_ud:
        return true;
    default:
        return false;
    }
}

}  // namespace orvane::rtf::reader
