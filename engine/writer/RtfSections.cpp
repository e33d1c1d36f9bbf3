// Sections: each one's page setup, columns, page and note numbering and break,
// its headers and footers, and its blocks.

#include "writer/RtfWriterState.h"

#include <algorithm>

namespace orvane::rtf::writer {

void Writer::sectionToRtf(const Section& section, const Section* previous, bool last) {
    const SectionProps& p = section.props;
    word("sectd");
    switch (p.breakKind) {
    case SectionBreak::NextPage: break;  // \sectd's own default
    case SectionBreak::Continuous: word("sbknone"); break;
    case SectionBreak::Column: word("sbkcol"); break;
    case SectionBreak::EvenPage: word("sbkeven"); break;
    case SectionBreak::OddPage: word("sbkodd"); break;
    }
    word("pgwsxn", p.pageWidth);
    word("pghsxn", p.pageHeight);
    word("marglsxn", p.marginLeft);
    word("margrsxn", p.marginRight);
    word("margtsxn", p.marginTop);
    word("margbsxn", p.marginBottom);
    word("headery", p.headerDistance);
    word("footery", p.footerDistance);
    if (p.landscape) word("lndscpsxn");
    if (p.columns > 1) {
        word("cols", p.columns);
        word("colsx", p.columnSpacing);
    }
    switch (p.pageNumberFormat) {
    case PageNumberFormat::Decimal: break;
    case PageNumberFormat::UpperRoman: word("pgnucrm"); break;
    case PageNumberFormat::LowerRoman: word("pgnlcrm"); break;
    case PageNumberFormat::UpperLetter: word("pgnucltr"); break;
    case PageNumberFormat::LowerLetter: word("pgnlcltr"); break;
    }
    if (p.pageNumberStart) {
        word("pgnstarts", *p.pageNumberStart);
        word("pgnrestart");
    }
    if (p.titlePage) word("titlepg");
    if (p.footnoteNumbering) noteNumberingToRtf(*p.footnoteNumbering, false, "s");
    if (p.endnoteNumbering) noteNumberingToRtf(*p.endnoteNumbering, true, "s");
    endLine();

    m_textWidth = std::max<Twips>(p.pageWidth - p.marginLeft - p.marginRight, 720);
    m_sectionWidth = m_textWidth;
    // With facing pages \headerr is the odd-page header and \headerl the even
    // one; without, \header serves every page.
    const auto story = [&](std::string_view destination, std::vector<Block> Section::*member) {
        m_inHeaderFooter = true;
        StoryScope scope(*this, Story::HeaderFooter);
        storyToRtf(destination, section.*member, previous ? &(previous->*member) : nullptr);
        m_inHeaderFooter = false;
    };
    story(m_doc.facingPages ? "headerr" : "header", &Section::header);
    story("headerl", &Section::headerEven);
    story("headerf", &Section::headerFirst);
    story(m_doc.facingPages ? "footerr" : "footer", &Section::footer);
    story("footerl", &Section::footerEven);
    story("footerf", &Section::footerFirst);

    // The document's last paragraph ends with \par like any other, as Word
    // writes it: without one its mark's properties would be lost, and readers
    // take "A\par B\par}" for two paragraphs, not three.
    blocksToRtf(section.blocks, 0, last ? Ending::Par : Ending::Sect, 0);
    endLine();
}

void Writer::storyToRtf(std::string_view destination, const std::vector<Block>& blocks,
                        const std::vector<Block>* previous) {
    if (m_failed) return;
    if (blocks.empty()) {
        // A section without a header of its own shows the previous section's;
        // an empty group says this one has none.
        if (previous && !previous->empty()) {
            group(destination);
            close();
            endLine();
        }
        return;
    }
    group(destination);
    endLine();
    blocksToRtf(blocks, 0, Ending::Par, 0);
    close();
    endLine();
}

}  // namespace orvane::rtf::writer
