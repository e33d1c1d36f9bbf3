// Lists: the list table and list overrides of the header, and the number a
// list paragraph shows in {\listtext} to readers without lists, counted here as
// the paragraphs are written.

#include "writer/RtfWriterState.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "writer/RtfEscape.h"

namespace orvane::rtf::writer {

namespace {

std::string romanNumeral(int n, bool upper) {
    if (n <= 0 || n >= 4000) return std::to_string(n);
    static constexpr std::pair<int, const char*> kParts[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    std::string out;
    for (const auto& [value, letters] : kParts) {
        while (n >= value) {
            out += letters;
            n -= value;
        }
    }
    if (upper) std::transform(out.begin(), out.end(), out.begin(), [](char c) { return c - 'a' + 'A'; });
    return out;
}

std::string formatNumber(int n, NumberFormat format) {
    switch (format) {
    case NumberFormat::Decimal: return std::to_string(n);
    case NumberFormat::UpperRoman: return romanNumeral(n, true);
    case NumberFormat::LowerRoman: return romanNumeral(n, false);
    case NumberFormat::UpperLetter:
    case NumberFormat::LowerLetter: {
        // Word's way: A..Z, then AA..ZZ, AAA..
        if (n <= 0) return std::to_string(n);
        const char base = format == NumberFormat::UpperLetter ? 'A' : 'a';
        const int repeat = std::min((n - 1) / 26 + 1, 50);
        return std::string(static_cast<std::size_t>(repeat), static_cast<char>(base + (n - 1) % 26));
    }
    case NumberFormat::Ordinal: {
        const int lastTwo = n % 100;
        const char* suffix = "th";
        if (lastTwo < 11 || lastTwo > 13) {
            switch (n % 10) {
            case 1: suffix = "st"; break;
            case 2: suffix = "nd"; break;
            case 3: suffix = "rd"; break;
            default: break;
            }
        }
        return std::to_string(n) + suffix;
    }
    case NumberFormat::Bullet:
    case NumberFormat::None: return {};
    }
    return {};
}

}  // namespace

void Writer::listLevelToRtf(const ListLevel& level) {
    int nfc = 0;
    switch (level.format) {
    case NumberFormat::Decimal: nfc = 0; break;
    case NumberFormat::UpperRoman: nfc = 1; break;
    case NumberFormat::LowerRoman: nfc = 2; break;
    case NumberFormat::UpperLetter: nfc = 3; break;
    case NumberFormat::LowerLetter: nfc = 4; break;
    case NumberFormat::Ordinal: nfc = 5; break;
    case NumberFormat::Bullet: nfc = 23; break;
    case NumberFormat::None: nfc = 255; break;
    }
    group("listlevel");
    word("levelnfc", nfc);
    word("levelnfcn", nfc);
    word("leveljc", 0);
    word("leveljcn", 0);
    word("levelfollow", 0);
    word("levelstartat", level.start);

    // \leveltext starts with its length, then the text with each level number
    // as the byte 0..8; \levelnumbers lists where those bytes are (1-based).
    std::string body;
    std::string numbers;
    int length = 0;
    const std::string& t = level.text;
    for (std::size_t i = 0; i < t.size() && length < 255;) {
        if (level.format != NumberFormat::Bullet && t[i] == '%' && i + 1 < t.size() && t[i + 1] >= '1' &&
            t[i + 1] <= '9') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\'%02x", t[i + 1] - '1');
            body += buf;
            ++length;
            std::snprintf(buf, sizeof buf, "\\'%02x", length);
            numbers += buf;
            i += 2;
            continue;
        }
        // One character at a time, counted in UTF-16 units as readers count them.
        std::size_t next = i + 1;
        while (next < t.size() && (static_cast<unsigned char>(t[next]) & 0xC0) == 0x80) ++next;
        const std::string_view ch(t.data() + i, next - i);
        if (ch == ";") {
            body += "\\'3b";  // a bare ';' would end the text
        } else {
            rtf::appendText(body, ch);
        }
        length += ch.size() == 4 ? 2 : 1;
        i = next;
    }
    char lengthByte[8];
    std::snprintf(lengthByte, sizeof lengthByte, "\\'%02x", std::min(length, 255));
    group("leveltext");
    m_out.append(lengthByte);
    m_out.append(body);
    m_out.push_back(';');
    close();
    group("levelnumbers");
    m_out.append(numbers);
    m_out.push_back(';');
    close();
    if (level.font) word("f", fontIndex(*level.font));
    word("fi", level.firstLineIndent);
    word("li", level.leftIndent);
    word("lin", level.leftIndent);
    close();
    endLine();
}

void Writer::listTablesToRtf() {
    if (m_doc.lists.empty()) return;
    ignorableGroup("listtable");
    endLine();
    for (std::size_t i = 0; i < m_doc.lists.size(); ++i) {
        const List& list = m_doc.lists[i];
        group("list");
        word("listtemplateid", static_cast<long long>(i + 1));
        if (list.levels.size() == 1) word("listsimple");
        endLine();
        for (const ListLevel& level : list.levels) listLevelToRtf(level);
        group("listname");
        m_out.push_back(';');
        close();
        word("listid", static_cast<long long>(i + 1));
        close();
        endLine();
    }
    close();
    endLine();
    ignorableGroup("listoverridetable");
    endLine();
    for (std::size_t i = 0; i < m_doc.lists.size(); ++i) {
        group("listoverride");
        word("listid", static_cast<long long>(i + 1));
        word("listoverridecount", 0);
        word("ls", static_cast<long long>(i + 1));
        close();
        endLine();
    }
    close();
    endLine();
}

std::string Writer::listText(const ListRef& ref) {
    const List& list = m_doc.lists[ref.listId];
    ListCounter& counter = m_listCounters[ref.listId];
    const int level = ref.level;
    for (int deeper = level + 1; deeper < 9; ++deeper) counter.started[deeper] = false;
    if (!counter.started[level]) {
        counter.started[level] = true;
        counter.value[level] = list.levels[level].start;
    } else {
        ++counter.value[level];
    }
    const ListLevel& current = list.levels[level];
    if (current.format == NumberFormat::Bullet) return current.text;

    std::string out;
    const std::string& t = current.text;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '%' && i + 1 < t.size() && t[i + 1] >= '1' && t[i + 1] <= '9') {
            const int n = t[i + 1] - '1';
            if (n <= level && static_cast<std::size_t>(n) < list.levels.size()) {
                const int value = counter.started[n] ? counter.value[n] : list.levels[n].start;
                out += formatNumber(value, list.levels[n].format);
            }
            ++i;
        } else {
            out.push_back(t[i]);
        }
    }
    return out;
}

void Writer::listTextToRtf(const Paragraph& paragraph) {
    const ListRef& ref = *paragraph.props.list;
    const ListLevel& level = *listLevel(ref);
    // What readers without list support show instead of the number.
    CharProps chars = paragraph.markProps;
    chars.charStyle.reset();
    if (level.font) chars.font = *level.font;
    group("listtext");
    word("plain");
    charPropsToRtf(chars, Baselines<CharProps>(m_plainChars));
    text(listText(ref));
    word("tab");
    close();
}

}  // namespace orvane::rtf::writer
