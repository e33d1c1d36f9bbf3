// Lists: the list table ({\*\listtable}: each list's levels with their number
// format, start, text, indents and font), the list override table whose
// entries \lsN names, and the paragraph's \ls, \ilvl and Word 6 {\pntext}.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

namespace {

std::vector<char32_t> decodeUtf8(std::string_view s) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (i + len > s.size()) len = 1;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(c);
        i += len;
    }
    return out;
}

}  // namespace

bool Reader::handleListWord(Kw k, const RtfToken& t, GroupState& g) {
    const std::int32_t p = t.param;
    switch (k) {
    case Kw::k_listtable:
        g.dest = Dest::ListTable;
        m_haveListTable = true;
        return true;
    case Kw::k_list:
        if (g.dest == Dest::ListTable && g.role == Role::None) {
            g.dest = Dest::List;
            g.role = Role::List;
            m_list = List{};
            m_listId = 0;
        }
        return true;
    case Kw::k_listid:
        if (g.dest == Dest::List) m_listId = p;
        else if (g.dest == Dest::ListOverride) m_overrideListId = p;
        return true;
    case Kw::k_listlevel:
        if (g.dest == Dest::List && g.role == Role::None) {
            g.dest = Dest::ListLevel;
            g.role = Role::ListLevel;
            resetChars(g);
            resetPara(g);
            g.fontSeen = false;
            m_level = ListLevel{};
            m_levelNfc = 0;
        } else {
            skipGroup();
        }
        return true;
    case Kw::k_levelnfc: case Kw::k_levelnfcn:
        if (g.dest == Dest::ListLevel) m_levelNfc = p;
        return true;
    case Kw::k_levelstartat:
        if (g.dest == Dest::ListLevel) m_level.start = p;
        return true;
    case Kw::k_leveltext:
        if (g.dest == Dest::ListLevel && g.role == Role::None) {
            g.dest = Dest::LevelText;
            g.role = Role::LevelText;
            m_levelText.clear();
        } else {
            skipGroup();
        }
        return true;
    case Kw::k_listoverridetable:
        g.dest = Dest::ListOverrideTable;
        return true;
    case Kw::k_listoverride:
        if (g.dest == Dest::ListOverrideTable && g.role == Role::None) {
            g.dest = Dest::ListOverride;
            g.role = Role::ListOverride;
            m_overrideListId = 0;
            m_overrideLs = 0;
        }
        return true;
    case Kw::k_ls:
        if (g.dest == Dest::ListOverride) m_overrideLs = p;
        else g.lsNum = p;
        return true;
    case Kw::k_ilvl:
        g.ilvl = std::clamp(p, 0, kMaxListLevels - 1);
        return true;
    case Kw::k_pntext:
        // Word 6 numbering: the number as text. With a list table the list
        // itself is read, so the text would show the number twice.
        if (m_haveListTable) skipGroup();
        return true;
    default:
        return false;
    }
}

void Reader::finishList() {
    m_listIdIndex[m_listId] = static_cast<int>(m_doc.lists.size());
    m_doc.lists.push_back(std::move(m_list));
    m_list = List{};
}

void Reader::finishListLevel(GroupState& g) {
    if (m_list.levels.size() >= static_cast<std::size_t>(kMaxListLevels)) return;
    switch (m_levelNfc) {
    case 1: m_level.format = NumberFormat::UpperRoman; break;
    case 2: m_level.format = NumberFormat::LowerRoman; break;
    case 3: m_level.format = NumberFormat::UpperLetter; break;
    case 4: m_level.format = NumberFormat::LowerLetter; break;
    case 5: m_level.format = NumberFormat::Ordinal; break;
    case 23: m_level.format = NumberFormat::Bullet; break;
    case 255: m_level.format = NumberFormat::None; break;
    default: m_level.format = NumberFormat::Decimal; break;
    }
    m_level.leftIndent = g.para.leftIndent;
    m_level.firstLineIndent = g.para.firstLineIndent;
    if (g.fontSeen) m_level.font = g.chars.font;
    m_list.levels.push_back(std::move(m_level));
    m_level = ListLevel{};
}

void Reader::finishLevelText() {
    // The first character is the text's length; characters below 9 stand
    // for the numbers of levels 1-9.
    const std::vector<char32_t> cps = decodeUtf8(m_levelText);
    std::size_t count = 0;
    if (!cps.empty()) {
        count = cps[0] < cps.size() ? cps[0] : cps.size() - 1;
        if (cps[0] >= cps.size() && count > 0 && cps[count] == ';') --count;
    }
    std::string text;
    for (std::size_t i = 1; i <= count && i < cps.size(); ++i) {
        if (cps[i] < 9) {
            text.push_back('%');
            text.push_back(static_cast<char>('1' + cps[i]));
        } else {
            appendUtf8(text, cps[i]);
        }
    }
    m_level.text = std::move(text);
}

void Reader::finishListOverride() {
    if (m_overrideLs != 0) {
        const auto it = m_listIdIndex.find(m_overrideListId);
        if (it != m_listIdIndex.end()) m_lsIndex[m_overrideLs] = it->second;
    }
}

}  // namespace orvane::rtf::reader
