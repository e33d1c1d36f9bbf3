// The document's header after its first line: the font and colour tables, the
// document defaults, the style sheet, the revision table (and the revision marks
// on text, which name its entries), {\info}, the page setup, and where notes go
// and how they are numbered. The list tables are in RtfLists.cpp.

#include "writer/RtfWriterState.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace orvane::rtf::writer {

void Writer::fontTableToRtf() {
    static constexpr std::string_view kFamilies[] = {"fnil", "froman", "fswiss", "fmodern",
                                                     "fscript", "fdecor", "ftech", "fbidi"};
    group("fonttbl");
    endLine();
    if (m_doc.fonts.empty()) {
        // A model without fonts still needs the \deff0 the header names.
        open();
        word("f", 0);
        word("froman");
        word("fcharset", 0);
        word("fprq", 2);
        text("Times New Roman;");
        close();
        endLine();
    }
    for (std::size_t i = 0; i < m_doc.fonts.size(); ++i) {
        const Font& font = m_doc.fonts[i];
        open();
        word("f", static_cast<long long>(i));
        const auto family = static_cast<std::size_t>(font.family);
        word(family < std::size(kFamilies) ? kFamilies[family] : "fnil");
        word("fcharset", font.charset);
        if (font.pitch != 0) word("fprq", font.pitch);
        // ';' ends a font entry, so it cannot be part of a name.
        std::string name = font.name;
        std::erase(name, ';');
        text(name);
        if (!font.altName.empty()) {
            std::string alt = font.altName;
            std::erase(alt, ';');
            ignorableGroup("falt");
            text(alt);
            close();
        }
        m_out.push_back(';');
        m_needDelimiter = false;
        close();
        endLine();
    }
    close();
    endLine();
}

void Writer::colorTableToRtf() {
    if (m_colors.empty()) return;
    group("colortbl");
    m_out.push_back(';');  // entry 0: automatic
    m_needDelimiter = false;
    for (Rgb c : m_colors) {
        word("red", (c >> 16) & 0xFF);
        word("green", (c >> 8) & 0xFF);
        word("blue", c & 0xFF);
        m_out.push_back(';');
        m_needDelimiter = false;
    }
    close();
    endLine();
}

void Writer::defaultsToRtf() {
    ignorableGroup("defchp");
    charPropsToRtf(m_doc.defaultChars, Baselines<CharProps>(m_plainChars));
    close();
    ignorableGroup("defpap");
    paraPropsToRtf(m_doc.defaultPara, Baselines<ParaProps>(m_plainPara));
    close();
    endLine();
}

namespace {

// The styles in an order where each comes after the style it is based on:
// readers that meet \sbasedon before the base is defined (LibreOffice does)
// lose what the style inherits. Numbers stay as they are.
std::vector<std::size_t> basesFirst(const std::vector<Style>& styles) {
    std::vector<std::size_t> order;
    order.reserve(styles.size());
    std::vector<char> placed(styles.size(), 0);
    std::vector<std::size_t> chain;
    for (std::size_t i = 0; i < styles.size(); ++i) {
        // Walk up to the first base already placed (or the root, or a loop),
        // then place the chain from the top down.
        chain.clear();
        for (std::size_t at = i; !placed[at];) {
            placed[at] = 1;
            chain.push_back(at);
            const auto& base = styles[at].basedOn;
            if (!base || *base < 0 || static_cast<std::size_t>(*base) >= styles.size()) break;
            at = static_cast<std::size_t>(*base);
        }
        order.insert(order.end(), chain.rbegin(), chain.rend());
    }
    return order;
}

}  // namespace

void Writer::styleSheetToRtf() {
    if (m_doc.styles.empty()) return;
    group("stylesheet");
    endLine();
    for (const std::size_t i : basesFirst(m_doc.styles)) {
        const Style& s = m_doc.styles[i];
        const auto number = static_cast<long long>(i);
        const Style* parent = style(s.basedOn, s.type);
        switch (s.type) {
        case StyleType::Paragraph:
            open();
            word("s", number);
            break;
        case StyleType::Character:
            ignorableGroup("cs");
            m_out.append(std::to_string(number));
            word("additive");
            break;
        case StyleType::Table:
            ignorableGroup("ts");
            m_out.append(std::to_string(number));
            word("tsrowd");
            break;
        }
        if (s.type != StyleType::Character) {
            ParaProps para = s.para;
            para.style.reset();  // the style's own number is already written
            paraPropsToRtf(para, Baselines<ParaProps>(m_plainPara)
                                     .add(&m_doc.defaultPara)
                                     .add(parent ? &parent->para : nullptr));
        }
        CharProps chars = s.chars;
        chars.charStyle.reset();
        charPropsToRtf(chars,
                       Baselines<CharProps>(m_plainChars).add(&m_doc.defaultChars).add(parent ? &parent->chars : nullptr),
                       true);
        if (parent) word("sbasedon", *s.basedOn);
        if (s.type != StyleType::Character && style(s.next, s.type)) word("snext", *s.next);
        std::string name = s.name;
        std::erase(name, ';');
        text(name.empty() ? std::string("Style ") + std::to_string(i) : name);
        m_out.push_back(';');
        m_needDelimiter = false;
        close();
        endLine();
    }
    close();
    endLine();
}

void Writer::revisionTableToRtf() {
    if (m_authors.empty() && !m_hasRevisions) return;
    ignorableGroup("revtbl");
    open();
    text("Unknown;");
    close();
    for (const std::string& author : m_authors) {
        open();
        text(author);
        m_out.push_back(';');
        close();
    }
    close();
    endLine();
}

// Word's packed date: RtfWriterState.h says how it is packed.
std::optional<long long> packedDate(const std::string& iso) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    const int got = std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d", &y, &mo, &d, &h, &mi);
    if (got < 3 || y < 1900 || y > 2411 || mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
    if (got < 5 || h < 0 || h > 23 || mi < 0 || mi > 59) h = mi = 0;
    const std::chrono::year_month_day date{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(mo)),
                                           std::chrono::day(static_cast<unsigned>(d))};
    if (!date.ok()) return std::nullopt;  // 31 April and the like
    return static_cast<long long>(mi) | (static_cast<long long>(h) << 6) | (static_cast<long long>(d) << 11) |
           (static_cast<long long>(mo) << 16) | (static_cast<long long>(y - 1900) << 20);
}

// Inserted text says who inserted it and when, deleted text who deleted it
// and when; Word writes both sets for text inserted and then deleted, which
// the model does not keep.
void Writer::revisionToRtf(const Revision& revision) {
    const auto it = m_authorIndex.find(revision.author);
    const int author = it == m_authorIndex.end() ? 0 : it->second;
    const auto date = packedDate(revision.date);
    if (revision.kind == Revision::Kind::Insertion) {
        word("revised");
        word("revauth", author);
        if (date) word("revdttm", *date);
    } else {
        word("deleted");
        word("revauthdel", author);
        if (date) word("revdttmdel", *date);
    }
}

void Writer::dateToRtf(std::string_view name, const std::string& iso) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const int got = std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    if (got < 3 || y <= 0 || mo < 1 || mo > 12 || d < 1 || d > 31) return;
    group(name);
    word("yr", y);
    word("mo", mo);
    word("dy", d);
    if (got >= 5) {
        word("hr", h);
        word("min", mi);
    }
    if (got >= 6) word("sec", s);
    close();
}

void Writer::infoToRtf() {
    const DocumentInfo& info = m_doc.info;
    const std::pair<std::string_view, const std::string*> fields[] = {
        {"title", &info.title},     {"subject", &info.subject},  {"author", &info.author},
        {"keywords", &info.keywords}, {"doccomm", &info.comments},
    };
    group("info");
    for (const auto& [name, value] : fields) {
        if (value->empty()) continue;
        group(name);
        text(*value);
        close();
    }
    if (!info.created.empty()) dateToRtf("creatim", info.created);
    if (!info.modified.empty()) dateToRtf("revtim", info.modified);
    close();
    endLine();
}

void Writer::pageSetupToRtf() {
    const SectionProps first = m_doc.sections.empty() ? SectionProps{} : m_doc.sections.front().props;
    word("paperw", first.pageWidth);
    word("paperh", first.pageHeight);
    word("margl", first.marginLeft);
    word("margr", first.marginRight);
    word("margt", first.marginTop);
    word("margb", first.marginBottom);
    if (first.landscape) word("landscape");
    if (m_doc.facingPages) word("facingp");
    word("deftab", m_doc.defaultTab > 0 ? m_doc.defaultTab : 720);
    if (m_doc.defaultPara.widowControl) word("widowctrl");
    if (m_doc.htmlAutoSpacing) word("htmautsp");
    endLine();
    noteSettingsToRtf();
}

void Writer::noteNumberingToRtf(const NoteNumbering& n, bool endnotes, std::string_view prefix) {
    // prefix: "" for the document, "s" for a section; endnotes add "a".
    const std::string base = std::string(prefix) + (endnotes ? "aftn" : "ftn");
    word(base + "start", n.start);
    switch (n.restart) {
    case NoteRestart::Continuous: word(base + "rstcont"); break;
    case NoteRestart::EachSection: word(base + "restart"); break;
    case NoteRestart::EachPage:
        // Endnotes have no page to restart on.
        word(endnotes ? base + "rstcont" : base + "rstpg");
        break;
    }
    switch (n.format) {
    case NoteNumberFormat::Decimal: word(base + "nar"); break;
    case NoteNumberFormat::UpperRoman: word(base + "nruc"); break;
    case NoteNumberFormat::LowerRoman: word(base + "nrlc"); break;
    case NoteNumberFormat::UpperLetter: word(base + "nauc"); break;
    case NoteNumberFormat::LowerLetter: word(base + "nalc"); break;
    case NoteNumberFormat::Chicago: word(base + "nchi"); break;
    }
}

void Writer::noteSettingsToRtf() {
    const NoteSettings& notes = m_doc.notes;
    const bool overrides = std::any_of(m_doc.sections.begin(), m_doc.sections.end(), [](const Section& s) {
        return s.props.footnoteNumbering || s.props.endnoteNumbering;
    });
    if (!m_hasFootnotes && !m_hasEndnotes && !overrides && notes == NoteSettings{}) return;
    // \fet says which kinds of notes there are. With endnotes only, older
    // readers take every note for a footnote, so the footnote position words
    // then say where the endnotes go.
    const int kinds = m_hasEndnotes ? (m_hasFootnotes ? 2 : 1) : 0;
    word("fet", kinds);
    if (kinds == 1) {
        word(notes.endnotesPerSection ? "endnotes" : "enddoc");
    } else {
        word(notes.footnotesBeneathText ? "ftntj" : "ftnbj");
    }
    word(notes.endnotesPerSection ? "aendnotes" : "aenddoc");
    noteNumberingToRtf(notes.footnotes, false, "");
    noteNumberingToRtf(notes.endnotes, true, "");
    endLine();
}

}  // namespace orvane::rtf::writer
