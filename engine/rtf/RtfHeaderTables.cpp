// The tables at the head of a document: the font table (and \deff, the
// default font), the colour table, the style sheet, and the authors of
// tracked changes ({\*\revtbl}).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

bool Reader::handleHeaderTableWord(Kw k, const RtfToken& t, GroupState& g) {
    const std::int32_t p = t.param;
    switch (k) {
    // Font table
    case Kw::k_fonttbl:
        g.dest = Dest::FontTable;
        if (g.role == Role::None) g.role = Role::FontTable;
        return true;
    case Kw::k_fnil: case Kw::k_froman: case Kw::k_fswiss: case Kw::k_fmodern: case Kw::k_fscript:
    case Kw::k_fdecor: case Kw::k_ftech: case Kw::k_fbidi:
        if (g.dest == Dest::FontTable && m_fontEntry.open) {
            static const FontFamily families[] = {FontFamily::Nil, FontFamily::Roman, FontFamily::Swiss,
                                                  FontFamily::Modern, FontFamily::Script, FontFamily::Decor,
                                                  FontFamily::Tech, FontFamily::Bidi};
            m_fontEntry.font.family = families[static_cast<int>(k) - static_cast<int>(Kw::k_fnil)];
        }
        return true;
    case Kw::k_fcharset:
        if (g.dest == Dest::FontTable && m_fontEntry.open) m_fontEntry.font.charset = p >= 0 && p <= 255 ? p : 0;
        return true;
    case Kw::k_fprq:
        if (g.dest == Dest::FontTable && m_fontEntry.open) m_fontEntry.font.pitch = std::clamp(p, 0, 2);
        return true;
    case Kw::k_cpg:
        if (g.dest == Dest::FontTable && m_fontEntry.open && p > 0) {
            m_fontEntry.codePage = p;
            m_fontEntry.hasCodePage = true;
        }
        return true;
    case Kw::k_falt:
        if (g.dest == Dest::FontTable) g.dest = Dest::FontAlt;
        else skipGroup();
        return true;
    case Kw::k_deff:
        m_deffNumber = p;
        m_haveDeff = true;
        return true;

    // Colour table
    case Kw::k_colortbl:
        g.dest = Dest::ColorTable;
        m_colorAny = false;
        m_red = m_green = m_blue = 0;
        return true;
    case Kw::k_red: case Kw::k_green: case Kw::k_blue:
        if (g.dest == Dest::ColorTable) {
            const int v = std::clamp(p, 0, 255);
            (k == Kw::k_red ? m_red : k == Kw::k_green ? m_green : m_blue) = v;
            m_colorAny = true;
        }
        return true;

    // Style sheet
    case Kw::k_stylesheet:
        g.dest = Dest::StyleSheet;
        if (g.role == Role::None) g.role = Role::StyleSheet;
        return true;
    case Kw::k_s:
        if (g.dest == Dest::StyleEntry) {
            m_styleEntry.number = p;
            m_styleEntry.type = StyleType::Paragraph;
        } else {
            const auto it = m_styleIndex.find(p);
            if (it != m_styleIndex.end() && m_doc.styles[it->second].type == StyleType::Paragraph)
                g.para.style = it->second;
            else
                g.para.style.reset();
        }
        return true;
    case Kw::k_cs:
        if (g.dest == Dest::StyleEntry) {
            m_styleEntry.number = p;
            m_styleEntry.type = StyleType::Character;
        } else {
            const auto it = m_styleIndex.find(p);
            if (it != m_styleIndex.end() && m_doc.styles[it->second].type == StyleType::Character)
                g.chars.charStyle = it->second;
            else
                g.chars.charStyle.reset();
            m_propsDirty = true;
        }
        return true;
    case Kw::k_ts:
        if (g.dest == Dest::StyleEntry) {
            m_styleEntry.number = p;
            m_styleEntry.type = StyleType::Table;
        }
        return true;
    case Kw::k_ds:
        if (g.dest == Dest::StyleEntry) m_styleEntry.skip = true;
        return true;
    case Kw::k_sbasedon:
        if (g.dest == Dest::StyleEntry) m_styleEntry.basedOn = p;
        return true;
    case Kw::k_snext:
        if (g.dest == Dest::StyleEntry) m_styleEntry.next = p;
        return true;

    // Revision authors
    case Kw::k_revtbl:
        if (g.role == Role::None && g.dest != Dest::RevisionTable) {
            g.dest = Dest::RevisionTable;
            m_revisionAuthors.clear();
            m_revisionEntry.clear();
        } else {
            skipGroup();
        }
        return true;
    default:
        return false;
    }
}

int Reader::fontIndexOf(int number) const {
    const auto it = m_fontIndex.find(number);
    return it == m_fontIndex.end() ? 0 : it->second;
}

void Reader::finishFontEntry() {
    if (!m_fontEntry.open) return;
    m_fontEntry.open = false;
    Font font = std::move(m_fontEntry.font);
    font.name = trimmed(font.name);
    font.altName = trimmed(font.altName);
    int page = m_fontEntry.hasCodePage ? m_fontEntry.codePage : encoding::codePageForCharset(font.charset);
    if (page == 1252 && !m_fontEntry.hasCodePage) page = 0;
    const auto it = m_fontIndex.find(m_fontEntry.number);
    if (it != m_fontIndex.end()) {
        m_doc.fonts[it->second] = std::move(font);
        m_fontCodePages[it->second] = page;
        return;
    }
    m_fontIndex[m_fontEntry.number] = static_cast<int>(m_doc.fonts.size());
    m_doc.fonts.push_back(std::move(font));
    m_fontNumbers.push_back(m_fontEntry.number);
    m_fontCodePages.push_back(page);
}

void Reader::orderFonts() {
    // The model keeps the default font at index 0.
    if (m_fontsOrdered) return;
    m_fontsOrdered = true;
    if (!m_haveDeff) return;
    const auto it = m_fontIndex.find(m_deffNumber);
    if (it == m_fontIndex.end() || it->second == 0) return;
    const std::size_t from = static_cast<std::size_t>(it->second);
    std::rotate(m_doc.fonts.begin(), m_doc.fonts.begin() + from, m_doc.fonts.begin() + from + 1);
    std::rotate(m_fontNumbers.begin(), m_fontNumbers.begin() + from, m_fontNumbers.begin() + from + 1);
    std::rotate(m_fontCodePages.begin(), m_fontCodePages.begin() + from, m_fontCodePages.begin() + from + 1);
    m_fontIndex.clear();
    for (std::size_t i = 0; i < m_fontNumbers.size(); ++i) m_fontIndex[m_fontNumbers[i]] = static_cast<int>(i);
}

std::optional<Rgb> Reader::color(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_colors.size()) return std::nullopt;
    return m_colors[static_cast<std::size_t>(index)];
}

// A group of the colour table ends: when it is the table's own group, a last
// colour without its ';' still counts.
void Reader::finishColorTableGroup(const GroupState& g) {
    if (g.role == Role::None && m_stack.size() >= 2 && m_stack[m_stack.size() - 2].dest != Dest::ColorTable &&
        m_colorAny) {
        m_colors.push_back(Rgb((m_red << 16) | (m_green << 8) | m_blue));
        m_colorAny = false;
    }
}

void Reader::finishStyleEntry(GroupState& g) {
    if (m_styleEntry.skip) return;
    Style style;
    style.name = trimmed(m_styleEntry.name);
    // A style needs a name to be listed or chosen; one without gets the name
    // other programs show for it (and this program's writer gives it).
    if (style.name.empty()) style.name = "Style " + std::to_string(m_doc.styles.size());
    style.type = m_styleEntry.type;
    style.para = g.para;
    style.para.style.reset();
    style.para.list.reset();
    style.chars = g.chars;
    style.chars.charStyle.reset();
    m_styleIndex[m_styleEntry.number] = static_cast<int>(m_doc.styles.size());
    m_doc.styles.push_back(std::move(style));
    m_pendingStyles.push_back(PendingStyle{m_styleEntry.number, m_styleEntry.basedOn, m_styleEntry.next, g.lsNum, g.ilvl});
}

// At the style sheet's end: the styles in the order of their numbers, which
// need not be the order they were defined in (a style comes after its base).
void Reader::orderStyles() {
    std::vector<std::size_t> order(m_doc.styles.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return m_pendingStyles[a].number < m_pendingStyles[b].number;
    });
    std::vector<Style> styles;
    std::vector<PendingStyle> pending;
    styles.reserve(order.size());
    pending.reserve(order.size());
    m_styleIndex.clear();
    for (const std::size_t i : order) {
        m_styleIndex[m_pendingStyles[i].number] = static_cast<int>(styles.size());
        styles.push_back(std::move(m_doc.styles[i]));
        pending.push_back(m_pendingStyles[i]);
    }
    m_doc.styles = std::move(styles);
    m_pendingStyles = std::move(pending);
}

// At the document's end: a style's \sbasedon and \snext become the indices
// of those styles, and its \ls the list, now that all of them are known.
void Reader::resolveStyles() {
    for (std::size_t i = 0; i < m_pendingStyles.size() && i < m_doc.styles.size(); ++i) {
        const PendingStyle& ps = m_pendingStyles[i];
        Style& style = m_doc.styles[i];
        const auto find = [this](std::optional<int> number) -> std::optional<int> {
            if (!number) return std::nullopt;
            const auto it = m_styleIndex.find(*number);
            if (it == m_styleIndex.end()) return std::nullopt;
            return it->second;
        };
        style.basedOn = find(ps.basedOn);
        if (style.basedOn == static_cast<int>(i)) style.basedOn.reset();
        // "The style after this one" only means something for paragraph styles.
        if (style.type == StyleType::Paragraph) style.next = find(ps.next);
        if (ps.lsNum != 0) {
            // The style sheet comes before the list table, so a style's list is
            // only known now.
            const auto it = m_lsIndex.find(ps.lsNum);
            if (it != m_lsIndex.end()) style.para.list = ListRef{it->second, ps.ilvl};
        }
    }
}

void Reader::finishRevisionEntry() {
    // "{Name;}": the name is everything before the entry's last ';'.
    if (!m_revisionEntry.empty() && m_revisionEntry.back() == ';') m_revisionEntry.pop_back();
    if (m_revisionAuthors.size() < kMaxRevisionAuthors) m_revisionAuthors.push_back(std::move(m_revisionEntry));
    m_revisionEntry.clear();
}

}  // namespace orvane::rtf::reader
