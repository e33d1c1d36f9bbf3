// The document as a whole: page setup and sections (\sect, \sectd and the
// section words) with their headers and footers, the settings of notes,
// {\info}, the document defaults ({\*\defchp}, {\*\defpap}), \facingp, and
// what is left to do when the document ends.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

bool Reader::handleDocumentWord(Kw k, const RtfToken& t, GroupState& g) {
    const std::int32_t p = t.param;
    switch (k) {
    case Kw::k_facingp:
        m_doc.facingPages = true;
        return true;
    case Kw::k_deftab:
        if (t.hasParam && p > 0 && p <= 31680) m_doc.defaultTab = p;
        return true;
    case Kw::k_htmautsp:
        m_doc.htmlAutoSpacing = true;
        return true;

    // Info
    case Kw::k_info:
        g.dest = Dest::Info;
        return true;
    case Kw::k_title: case Kw::k_subject: case Kw::k_author: case Kw::k_keywords: case Kw::k_doccomm:
        if (g.dest == Dest::Info) {
            g.dest = Dest::InfoText;
            const InfoField f = k == Kw::k_title ? InfoField::Title : k == Kw::k_subject ? InfoField::Subject
                                : k == Kw::k_author ? InfoField::Author : k == Kw::k_keywords ? InfoField::Keywords
                                : InfoField::Comments;
            g.destData = static_cast<int>(f);
            switch (f) {
            case InfoField::Title: m_doc.info.title.clear(); break;
            case InfoField::Subject: m_doc.info.subject.clear(); break;
            case InfoField::Author: m_doc.info.author.clear(); break;
            case InfoField::Keywords: m_doc.info.keywords.clear(); break;
            case InfoField::Comments: m_doc.info.comments.clear(); break;
            }
        } else {
            skipGroup();
        }
        return true;
    case Kw::k_creatim: case Kw::k_revtim:
        if (g.dest == Dest::Info && g.role == Role::None) {
            g.dest = Dest::InfoTime;
            g.role = Role::InfoTime;
            g.roleData = k == Kw::k_creatim ? 0 : 1;
            m_time = TimeParts{};
        } else {
            skipGroup();
        }
        return true;
    case Kw::k_yr: case Kw::k_mo: case Kw::k_dy: case Kw::k_hr: case Kw::k_min: case Kw::k_sec:
        if (g.dest == Dest::InfoTime) {
            const int v = std::clamp(p, 0, 9999);
            (k == Kw::k_yr ? m_time.yr : k == Kw::k_mo ? m_time.mo : k == Kw::k_dy ? m_time.dy
             : k == Kw::k_hr ? m_time.hr : k == Kw::k_min ? m_time.min : m_time.sec) = v;
        }
        return true;

    // Document defaults
    case Kw::k_defchp: case Kw::k_defpap:
        if (g.role != Role::None) return true;
        g.dest = Dest::Defaults;
        g.role = k == Kw::k_defchp ? Role::DefChp : Role::DefPap;
        g.chars = CharProps{};
        g.charClass = 0;
        g.rtlch = false;
        g.para = ParaProps{};
        g.slValue = 0;
        g.slMult = false;
        return true;
    default:
        return false;
    }
}

void Reader::finishInfoTime(GroupState& g) {
    if (m_time.yr > 0) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", m_time.yr,
                      std::clamp(m_time.mo, 1, 12), std::clamp(m_time.dy, 1, 31),
                      std::clamp(m_time.hr, 0, 23), std::clamp(m_time.min, 0, 59),
                      std::clamp(m_time.sec, 0, 59));
        (g.roleData == 0 ? m_doc.info.created : m_doc.info.modified) = buf;
    }
}

void Reader::finishDefaultChars(GroupState& g) {
    m_defaultChars = g.chars;
    m_defaultChars.charStyle.reset();
}

void Reader::finishDefaultPara(GroupState& g) {
    m_defaultPara = g.para;
    m_defaultPara.style.reset();
    m_defaultPara.list.reset();
}

bool Reader::handleSectionWord(Kw k, const RtfToken& t) {
    const Twips v = clampTwips(t.param);
    SectionProps& s = m_sect;
    switch (k) {
    // Document-wide page setup is also the first section's, until \sectd says otherwise.
    case Kw::k_paperw: m_docSect.pageWidth = s.pageWidth = std::max<Twips>(v, 1); return true;
    case Kw::k_paperh: m_docSect.pageHeight = s.pageHeight = std::max<Twips>(v, 1); return true;
    case Kw::k_margl: m_docSect.marginLeft = s.marginLeft = v; return true;
    case Kw::k_margr: m_docSect.marginRight = s.marginRight = v; return true;
    case Kw::k_margt: m_docSect.marginTop = s.marginTop = v; return true;
    case Kw::k_margb: m_docSect.marginBottom = s.marginBottom = v; return true;
    case Kw::k_landscape: m_docSect.landscape = s.landscape = true; return true;
    case Kw::k_sectd:
        m_sect = m_docSect;
        m_pgnRestart = false;
        m_pgnStart = 1;
        return true;
    case Kw::k_sect:
        if (top().dest == Dest::Body && top().ctx == 0) endSection(false);
        return true;
    case Kw::k_sbknone: s.breakKind = SectionBreak::Continuous; return true;
    case Kw::k_sbkcol: s.breakKind = SectionBreak::Column; return true;
    case Kw::k_sbkpage: s.breakKind = SectionBreak::NextPage; return true;
    case Kw::k_sbkeven: s.breakKind = SectionBreak::EvenPage; return true;
    case Kw::k_sbkodd: s.breakKind = SectionBreak::OddPage; return true;
    case Kw::k_cols: s.columns = std::clamp(t.param, 1, 100); return true;
    case Kw::k_colsx: s.columnSpacing = std::max<Twips>(0, v); return true;
    case Kw::k_pgndec: s.pageNumberFormat = PageNumberFormat::Decimal; return true;
    case Kw::k_pgnucrm: s.pageNumberFormat = PageNumberFormat::UpperRoman; return true;
    case Kw::k_pgnlcrm: s.pageNumberFormat = PageNumberFormat::LowerRoman; return true;
    case Kw::k_pgnucltr: s.pageNumberFormat = PageNumberFormat::UpperLetter; return true;
    case Kw::k_pgnlcltr: s.pageNumberFormat = PageNumberFormat::LowerLetter; return true;
    case Kw::k_pgnstarts: m_pgnStart = std::clamp(t.param, 0, 1 << 20); return true;
    case Kw::k_pgnrestart: m_pgnRestart = true; return true;
    case Kw::k_pgncont: m_pgnRestart = false; return true;
    case Kw::k_titlepg: s.titlePage = true; return true;
    case Kw::k_headery: s.headerDistance = std::max<Twips>(0, v); return true;
    case Kw::k_footery: s.footerDistance = std::max<Twips>(0, v); return true;
    case Kw::k_pgwsxn: s.pageWidth = std::max<Twips>(v, 1); return true;
    case Kw::k_pghsxn: s.pageHeight = std::max<Twips>(v, 1); return true;
    case Kw::k_marglsxn: s.marginLeft = v; return true;
    case Kw::k_margrsxn: s.marginRight = v; return true;
    case Kw::k_margtsxn: s.marginTop = v; return true;
    case Kw::k_margbsxn: s.marginBottom = v; return true;
    case Kw::k_lndscpsxn: s.landscape = true; return true;
    default: return false;
    }
}

void Reader::endSection(bool last) {
    TextContext& body = *m_contexts[0];
    finishContextBlocks(body);
    if (last && body.blocks.empty() && !m_doc.sections.empty()) return;  // a trailing \sect
    Section section;
    section.props = m_sect;
    if (m_pgnRestart) section.props.pageNumberStart = m_pgnStart;
    section.blocks = std::move(body.blocks);
    body.blocks.clear();
    body.lastParaLevel = -1;
    // Only the headers this section defines: one without shows the previous
    // section's, and the model says so by leaving them empty.
    section.header = std::move(m_header);
    section.headerFirst = std::move(m_headerFirst);
    section.headerEven = std::move(m_headerEven);
    section.footer = std::move(m_footer);
    section.footerFirst = std::move(m_footerFirst);
    section.footerEven = std::move(m_footerEven);
    for (auto* h : {&m_header, &m_headerFirst, &m_headerEven, &m_footer, &m_footerFirst, &m_footerEven}) h->clear();
    m_doc.sections.push_back(std::move(section));
}

// Words of the document's note settings (\fet, \ftn..., \aftn...) and of a
// section's (\sftn..., \saftn...).
bool Reader::handleNoteSettingWord(std::string_view name, const RtfToken& t) {
    NoteSettings& notes = m_doc.notes;
    if (name == "fet") {
        m_noteTypeEndnotesOnly = t.param == 1;
        return true;
    }
    if (name == "ftntj") { notes.footnotesBeneathText = true; return true; }
    if (name == "ftnbj") { notes.footnotesBeneathText = false; return true; }
    if (name == "aendnotes") { notes.endnotesPerSection = true; return true; }
    if (name == "aenddoc") { notes.endnotesPerSection = false; return true; }
    // With endnotes only, the footnote words say where the endnotes go.
    if (name == "endnotes" || name == "enddoc") {
        if (m_noteTypeEndnotesOnly) notes.endnotesPerSection = name == "endnotes";
        return true;
    }
    NoteNumbering* target = nullptr;
    std::string_view rest;
    const auto starts = [&](std::string_view prefix) {
        if (name.substr(0, prefix.size()) != prefix) return false;
        rest = name.substr(prefix.size());
        return true;
    };
    if (starts("saftn")) {
        if (!m_sect.endnoteNumbering) m_sect.endnoteNumbering = notes.endnotes;
        target = &*m_sect.endnoteNumbering;
    } else if (starts("sftn")) {
        if (!m_sect.footnoteNumbering) m_sect.footnoteNumbering = notes.footnotes;
        target = &*m_sect.footnoteNumbering;
    } else if (starts("aftn")) {
        target = &notes.endnotes;
    } else if (starts("ftn")) {
        target = &notes.footnotes;
    } else {
        return false;
    }
    if (rest == "start") target->start = std::clamp(t.hasParam ? t.param : 1, 0, 1 << 20);
    else if (rest == "rstcont") target->restart = NoteRestart::Continuous;
    else if (rest == "restart") target->restart = NoteRestart::EachSection;
    else if (rest == "rstpg") target->restart = NoteRestart::EachPage;
    else if (rest == "nar") target->format = NoteNumberFormat::Decimal;
    else if (rest == "nalc") target->format = NoteNumberFormat::LowerLetter;
    else if (rest == "nauc") target->format = NoteNumberFormat::UpperLetter;
    else if (rest == "nrlc") target->format = NoteNumberFormat::LowerRoman;
    else if (rest == "nruc") target->format = NoteNumberFormat::UpperRoman;
    else if (rest == "nchi") target->format = NoteNumberFormat::Chicago;
    else if (rest == "alt") {
        TextContext& ctx = ctxOf(top());
        if (ctx.kind == ContextKind::Note) ctx.endnote = true;
    }
    return true;
}

void Reader::finishDocument() {
    endSection(true);
    if (m_doc.fonts.empty()) {
        Font font;
        font.name = "Times New Roman";
        font.family = FontFamily::Roman;
        m_doc.fonts.push_back(std::move(font));
    }
    resolveStyles();
    m_doc.defaultChars = m_defaultChars;
    m_doc.defaultPara = m_defaultPara;
}

}  // namespace orvane::rtf::reader
