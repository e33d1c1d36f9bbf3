// Character formatting: \plain and the character words (fonts and associated
// fonts, size, emphasis, underlines, colours, positions, spacing, language),
// and tracked changes as the characters mark them (\revised, \deleted, their
// authors and dates), turned into the model's revisions.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

// Word's packed date (DTTM): minutes, hours, day, month, years since 1900;
// the weekday in the top bits is left out. Empty when it is no date.
std::string isoFromPackedDate(std::int64_t v) {
    const int mi = static_cast<int>(v & 63), h = static_cast<int>((v >> 6) & 31);
    const int d = static_cast<int>((v >> 11) & 31), mo = static_cast<int>((v >> 16) & 15);
    const int y = static_cast<int>((v >> 20) & 511) + 1900;
    if (v <= 0 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59) return {};
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:00Z", y, mo, d, h, mi);
    return buf;
}

// Deleted wins: text inserted and then deleted is shown as deleted. Authors
// are looked up in the revision table; entry 0 is Word's "Unknown".
std::optional<Revision> Reader::revisionOf(const RevisionMarks& marks) const {
    if (!marks.inserted && !marks.deleted) return std::nullopt;
    Revision r;
    r.kind = marks.deleted ? Revision::Kind::Deletion : Revision::Kind::Insertion;
    const int author = marks.deleted ? marks.deleteAuthor : marks.author;
    if (author >= 0 && static_cast<std::size_t>(author) < m_revisionAuthors.size() &&
        !(author == 0 && m_revisionAuthors[0] == "Unknown")) {
        r.author = m_revisionAuthors[static_cast<std::size_t>(author)];
    }
    r.date = isoFromPackedDate(marks.deleted ? marks.deleteDate : marks.date);
    return r;
}

void Reader::resetChars(GroupState& g) {
    g.chars = m_defaultChars;
    g.revision = RevisionMarks{};
    g.charClass = 0;
    g.rtlch = false;
    m_propsDirty = true;
}

bool Reader::handleCharWord(Kw k, const RtfToken& t, GroupState& g) {
    const std::int32_t p = t.param;
    const bool on = !t.hasParam || p != 0;
    CharProps& c = g.chars;
    switch (k) {
    case Kw::k_plain: resetChars(g); return true;
    case Kw::k_f: {
        if (g.dest == Dest::FontTable) {
            finishFontEntry();
            m_fontEntry = FontEntry{};
            m_fontEntry.open = true;
            m_fontEntry.number = p;
            return true;
        }
        if (g.dest == Dest::FontAlt) return true;
        const int index = fontIndexOf(p);
        if (g.charClass == 3) c.eastAsiaFont = index;
        else c.font = index;
        g.fontSeen = true;
        break;
    }
    case Kw::k_af: {
        // An associated font: for right-to-left text after \rtlch, for East
        // Asian text after \dbch, for Latin text after \loch or \hich.
        const int index = fontIndexOf(p);
        if (g.rtlch) c.complexFont = index;
        else if (g.charClass == 3) c.eastAsiaFont = index;
        else if (g.charClass == 1 || g.charClass == 2) c.font = index;
        else c.complexFont = index;
        break;
    }
    case Kw::k_loch: g.charClass = 1; break;
    case Kw::k_hich: g.charClass = 2; break;
    case Kw::k_dbch: g.charClass = 3; break;
    case Kw::k_fs: c.sizeHalfPoints = p > 0 ? std::min(p, 3276) : 24; break;
    case Kw::k_b: c.bold = on; break;
    case Kw::k_i: c.italic = on; break;
    case Kw::k_ul: c.underline = on ? Underline::Single : Underline::None; break;
    case Kw::k_ulw: c.underline = on ? Underline::Words : Underline::None; break;
    case Kw::k_uldb: c.underline = on ? Underline::Double : Underline::None; break;
    case Kw::k_uld: case Kw::k_ulthd: c.underline = on ? Underline::Dotted : Underline::None; break;
    case Kw::k_uldash: case Kw::k_ulthdash: case Kw::k_ulldash: case Kw::k_ulthldash:
        c.underline = on ? Underline::Dash : Underline::None;
        break;
    case Kw::k_uldashd: case Kw::k_ulthdashd: c.underline = on ? Underline::DotDash : Underline::None; break;
    case Kw::k_uldashdd: case Kw::k_ulthdashdd: c.underline = on ? Underline::DotDotDash : Underline::None; break;
    case Kw::k_ulth: c.underline = on ? Underline::Thick : Underline::None; break;
    case Kw::k_ulwave: case Kw::k_ulhwave: case Kw::k_ululdbwave:
        c.underline = on ? Underline::Wave : Underline::None;
        break;
    case Kw::k_ulnone: c.underline = Underline::None; break;
    case Kw::k_strike: c.strike = on; break;
    case Kw::k_striked: c.doubleStrike = on; break;
    case Kw::k_cf: c.color = color(p); break;
    case Kw::k_highlight: c.highlight = p > 0 ? color(p) : std::nullopt; break;
    case Kw::k_chcbpat: case Kw::k_cb: c.shading = p > 0 ? color(p) : std::nullopt; break;
    case Kw::k_super: c.verticalAlign = on ? VerticalAlign::Superscript : VerticalAlign::Baseline; break;
    case Kw::k_sub: c.verticalAlign = on ? VerticalAlign::Subscript : VerticalAlign::Baseline; break;
    case Kw::k_nosupersub: c.verticalAlign = VerticalAlign::Baseline; break;
    case Kw::k_caps: c.caps = on; break;
    case Kw::k_scaps: c.smallCaps = on; break;
    case Kw::k_v: c.hidden = on; break;
    case Kw::k_rtlch: c.rtl = true; g.rtlch = true; break;
    case Kw::k_ltrch: c.rtl = false; g.rtlch = false; break;
    case Kw::k_expnd: c.spacing = clampTwips(std::int64_t(p) * 5); break;  // quarter points
    case Kw::k_expndtw: c.spacing = clampTwips(p); break;
    case Kw::k_lang: c.lang = std::clamp(p, 0, 0xFFFF); break;
    case Kw::k_revised: g.revision.inserted = on; break;
    case Kw::k_deleted: g.revision.deleted = on; break;
    case Kw::k_revauth: g.revision.author = p; break;
    case Kw::k_revauthdel: g.revision.deleteAuthor = p; break;
    case Kw::k_revdttm: g.revision.date = static_cast<std::uint32_t>(p); break;
    case Kw::k_revdttmdel: g.revision.deleteDate = static_cast<std::uint32_t>(p); break;
    default: return false;
    }
    m_propsDirty = true;
    return true;
}

}  // namespace orvane::rtf::reader
