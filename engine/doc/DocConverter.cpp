// Setting up the conversion of a .doc (text, fonts, styles, lists) and the
// parts around the body: sections with their headers and footers, notes,
// comments, text boxes and the document's summary.
#include "doc/DocConverter.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "encoding/Encoding.h"
#include "encoding/CodePages.h"

namespace orvane::doc {

using model::Block;
using model::Inline;

DocConverter::DocConverter(const cfb::CompoundFile& cfb, std::string word, std::string table, std::string data,
                           const ReadLimits& limits, std::vector<std::string>& warnings)
    : m_cfb(cfb),
      m_wordStream(std::move(word)),
      m_tableStream(std::move(table)),
      m_dataStream(std::move(data)),
      m_word{m_wordStream},
      m_table{m_tableStream},
      m_data{m_dataStream},
      m_limits(limits),
      m_warnings(warnings) {}

bool DocConverter::spendBudget(std::size_t characters) {
    // Stories read more than once (notes referenced twice, headers copied to
    // every section) may together cost a few times the document, never more.
    const std::size_t allowance = 8 * static_cast<std::size_t>(m_ccpAll) + (1u << 20);
    if (characters > allowance || m_spent > allowance - characters) return false;
    m_spent += characters;
    return true;
}

void DocConverter::warnOnce(const std::string& message) {
    if (m_warned.insert(message).second) m_warnings.push_back(message);
}

// ---------------------------------------------------------------------------
// Text

void DocConverter::loadText() {
    const std::int64_t total = static_cast<std::int64_t>(m_fib.ccpText) + m_fib.ccpFtn + m_fib.ccpHdd +
                               m_fib.ccpMcr + m_fib.ccpAtn + m_fib.ccpEdn + m_fib.ccpTxbx + m_fib.ccpHdrTxbx;
    if (m_fib.ccpText < 0 || total < 0 || total > static_cast<std::int64_t>(m_word.size())) {
        throw DocError("The file information block is damaged (its character counts do not fit the file).");
    }
    // The stories follow each other; a non-empty set of stories after the
    // main text has one more paragraph mark at its end.
    m_ccpAll = static_cast<std::uint32_t>(total);
    if (total > m_fib.ccpText) ++m_ccpAll;
    m_ftnBase = static_cast<std::uint32_t>(m_fib.ccpText);
    m_hddBase = m_ftnBase + static_cast<std::uint32_t>(std::max(0, m_fib.ccpFtn));
    m_atnBase = m_hddBase + static_cast<std::uint32_t>(std::max(0, m_fib.ccpHdd)) +
                static_cast<std::uint32_t>(std::max(0, m_fib.ccpMcr));
    m_ednBase = m_atnBase + static_cast<std::uint32_t>(std::max(0, m_fib.ccpAtn));
    m_txbxBase = m_ednBase + static_cast<std::uint32_t>(std::max(0, m_fib.ccpEdn));
    m_hdrTxbxBase = m_txbxBase + static_cast<std::uint32_t>(std::max(0, m_fib.ccpTxbx));

    m_clx = parseClx(m_fib.word6 ? m_word : m_table, m_fib, m_word, m_ccpAll);
    m_chpRuns = parseFkps(m_word, m_fib.word6 ? m_word : m_table, m_fib, false);
    m_papRuns = parseFkps(m_word, m_fib.word6 ? m_word : m_table, m_fib, true);
    m_chars.assign(m_ccpAll, 0);
    for (const Piece& p : m_clx.pieces) {
        for (std::uint32_t cp = p.cpStart; cp < p.cpEnd; ++cp) {
            const std::size_t i = cp - p.cpStart;
            if (p.compressed) {
                const std::uint32_t b = m_word.u8(p.fc + i);
                // Word 97 stores 8-bit text only when it is Windows-1252;
                // older files keep the bytes, decoded run by run later.
                m_chars[cp] = static_cast<std::uint16_t>(m_fib.word6 ? b : encoding::cp1252ToUnicode(static_cast<unsigned char>(b)));
            } else {
                m_chars[cp] = static_cast<std::uint16_t>(m_word.u16(p.fc + 2 * i));
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Fonts and styles

void DocConverter::buildFonts() {
    m_fonts = parseFonts(m_fib.word6 ? m_word : m_table, m_fib);
    for (const FontDef& f : m_fonts) {
        model::Font font;
        font.name = f.name.empty() ? "Times New Roman" : f.name;
        font.altName = f.altName;
        font.charset = f.charset;
        font.pitch = f.pitch;
        switch (f.family) {
        case 1: font.family = model::FontFamily::Roman; break;
        case 2: font.family = model::FontFamily::Swiss; break;
        case 3: font.family = model::FontFamily::Modern; break;
        case 4: font.family = model::FontFamily::Script; break;
        case 5: font.family = model::FontFamily::Decor; break;
        default: font.family = model::FontFamily::Nil; break;
        }
        m_doc.fonts.push_back(std::move(font));
    }
    if (m_doc.fonts.empty()) {
        model::Font font;
        font.name = "Times New Roman";
        font.family = model::FontFamily::Roman;
        m_doc.fonts.push_back(std::move(font));
    }
}

const DocConverter::ResolvedStyle& DocConverter::resolvedStyle(int istd, int depth) {
    static const ResolvedStyle kNone = [] {
        ResolvedStyle r;
        r.done = true;
        return r;
    }();
    if (istd < 0 || static_cast<std::size_t>(istd) >= m_resolved.size()) {
        if (m_resolved.empty()) return kNone;
        return resolvedStyle(0, depth + 1);  // an unknown style reads as Normal
    }
    ResolvedStyle& r = m_resolved[static_cast<std::size_t>(istd)];
    if (r.done) return r;
    if (r.busy || depth > 64) {
        r.pap = Pap{};
        r.chp = m_defaultChp;
        return r;  // a cycle of base styles: stop at the defaults
    }
    r.busy = true;
    const StyleDef& def = m_stsh.styles[static_cast<std::size_t>(istd)];
    Pap pap;
    Chp chp = m_defaultChp;
    if (!def.empty && def.istdBase != 0x0FFF && def.istdBase != istd) {
        const ResolvedStyle& base = resolvedStyle(def.istdBase, depth + 1);
        pap = base.pap;
        chp = base.chp;
    }
    const Chp toggleBase = chp;
    forEachSprm(def.papx, m_fib.word6, [&](const Sprm& s) { applyPap(pap, s, m_fib.word6); });
    forEachSprm(def.chpx, m_fib.word6, [&](const Sprm& s) { applyChp(chp, s, toggleBase); });
    pap.istd = istd;
    pap.inTable = pap.ttp = pap.innerCell = pap.innerTtp = false;
    pap.itap = 0;
    pap.tap = Tap{};
    r.pap = std::move(pap);
    r.chp = chp;
    r.busy = false;
    r.done = true;
    return r;
}

void DocConverter::buildStyles() {
    m_stsh = parseStylesheet(m_fib.word6 ? m_word : m_table, m_fib);
    const auto validFont = [&](int ftc) { return ftc >= 0 && static_cast<std::size_t>(ftc) < m_doc.fonts.size() ? ftc : 0; };
    m_defaultChp.ftcAscii = validFont(m_stsh.ftcAscii);
    m_defaultChp.ftcFE = validFont(m_stsh.ftcFE);
    m_defaultChp.ftcOther = validFont(m_stsh.ftcOther);
    m_defaultChp.ftcBi = validFont(m_stsh.ftcBi);
    m_resolved.assign(m_stsh.styles.size(), ResolvedStyle{});
    m_modelStyle.assign(m_stsh.styles.size(), -1);
    for (std::size_t i = 0; i < m_stsh.styles.size(); ++i) {
        const StyleDef& def = m_stsh.styles[i];
        if (def.empty || (def.stk != 1 && def.stk != 2)) continue;
        m_modelStyle[i] = static_cast<int>(m_doc.styles.size());
        m_doc.styles.emplace_back();
    }
    for (std::size_t i = 0; i < m_stsh.styles.size(); ++i) {
        if (m_modelStyle[i] < 0) continue;
        const StyleDef& def = m_stsh.styles[i];
        const ResolvedStyle& r = resolvedStyle(static_cast<int>(i));
        model::Style& style = m_doc.styles[static_cast<std::size_t>(m_modelStyle[i])];
        style.name = def.name.empty() ? "Style " + std::to_string(i) : def.name;
        style.type = def.stk == 2 ? model::StyleType::Character : model::StyleType::Paragraph;
        const auto ref = [&](int istd) -> std::optional<int> {
            if (istd >= 0 && static_cast<std::size_t>(istd) < m_modelStyle.size() && m_modelStyle[istd] >= 0 &&
                static_cast<std::size_t>(istd) != i) {
                return m_modelStyle[static_cast<std::size_t>(istd)];
            }
            return std::nullopt;
        };
        style.basedOn = ref(def.istdBase);
        if (def.stk == 1) style.next = ref(def.istdNext);
        style.para = paraProps(r.pap);
        if (def.stk == 1) style.para.style = m_modelStyle[i];
        else style.para.style.reset();
        Chp chp = r.chp;
        chp.istd = 10;
        style.chars = charProps(chp);
        if (def.stk == 2) style.chars.charStyle = m_modelStyle[i];
    }
    m_doc.defaultChars = charProps(m_defaultChp);
    m_doc.defaultPara = paraProps(Pap{});
    m_doc.defaultPara.style.reset();
}

// ---------------------------------------------------------------------------
// Lists

void DocConverter::buildLists() {
    parseLists(m_table, m_fib, m_listDefs, m_overrides);
    for (const ListOverride& o : m_overrides) {
        const ListDef* def = nullptr;
        for (const ListDef& d : m_listDefs) {
            if (d.lsid == o.lsid) {
                def = &d;
                break;
            }
        }
        if (!def || def->levels.empty()) {
            m_listOfLfo.push_back(-1);
            continue;
        }
        model::List list;
        for (std::size_t l = 0; l < def->levels.size() && l < 9; ++l) {
            LevelDef level = def->levels[l];
            std::optional<int> start;
            for (const ListOverride::Level& ol : o.levels) {
                if (ol.ilvl != static_cast<int>(l)) continue;
                if (ol.format) level = *ol.format;
                if (ol.startAt) start = ol.startAt;
            }
            model::ListLevel out;
            switch (level.nfc) {
            case 1: out.format = model::NumberFormat::UpperRoman; break;
            case 2: out.format = model::NumberFormat::LowerRoman; break;
            case 3: out.format = model::NumberFormat::UpperLetter; break;
            case 4: out.format = model::NumberFormat::LowerLetter; break;
            case 5: out.format = model::NumberFormat::Ordinal; break;
            case 23: out.format = model::NumberFormat::Bullet; break;
            case 255: out.format = model::NumberFormat::None; break;
            default: out.format = model::NumberFormat::Decimal; break;
            }
            out.start = start.value_or(level.start);
            const Bytes text{level.numberText};
            for (std::size_t k = 0; 2 * k + 1 < text.size(); ++k) {
                const char32_t c = text.u16(2 * k);
                const bool placeholder = std::find(level.placeholders.begin(), level.placeholders.end(),
                                                   static_cast<int>(k + 1)) != level.placeholders.end();
                if (placeholder && c < 9 && out.format != model::NumberFormat::Bullet) {
                    out.text += "%" + std::to_string(c + 1);
                } else {
                    encoding::appendUtf8(out.text, c);
                }
            }
            Pap pap;
            forEachSprm(level.papx, false, [&](const Sprm& s) { applyPap(pap, s, false); });
            out.leftIndent = pap.dxaLeft;
            out.firstLineIndent = pap.dxaLeft1;
            Chp chp = m_defaultChp;
            chp.ftcAscii = -1;
            forEachSprm(level.chpx, false, [&](const Sprm& s) { applyChp(chp, s, m_defaultChp); });
            if (chp.ftcAscii >= 0 && static_cast<std::size_t>(chp.ftcAscii) < m_doc.fonts.size()) out.font = chp.ftcAscii;
            list.levels.push_back(std::move(out));
        }
        m_listOfLfo.push_back(static_cast<int>(m_doc.lists.size()));
        m_doc.lists.push_back(std::move(list));
    }
}

// ---------------------------------------------------------------------------
// Sections

Sep DocConverter::sectionProps(std::size_t index) const {
    Sep sep;
    if (index < m_sed.count()) {
        const Bytes sed{m_sed.data[index]};
        const std::uint32_t fcSepx = sed.u32(2);
        if (fcSepx != 0xFFFFFFFF && fcSepx < m_word.size()) {
            const std::size_t cb = m_word.u16(fcSepx);
            forEachSprm(m_word.sub(fcSepx + 2, cb), m_fib.word6, [&](const Sprm& s) { applySep(sep, s); });
        }
    }
    if (sep.restartNumbering) sep.props.pageNumberStart = sep.pageNumberStart;
    if (sep.props.pageWidth <= 0) sep.props.pageWidth = 12240;
    if (sep.props.pageHeight <= 0) sep.props.pageHeight = 15840;
    return sep;
}

void DocConverter::convertHeaders(const std::vector<std::uint32_t>& sectionStarts) {
    const auto [fc, lcb] = m_fib.pair(kPlcfHdd);
    const Plc hdd = parsePlc(m_fib.word6 ? m_word : m_table, fc, lcb, 0);
    if (hdd.cps.size() < 2) return;
    const std::size_t stories = hdd.cps.size() - 1;
    const auto storyRange = [&](std::size_t i, std::uint32_t& start, std::uint32_t& end) {
        if (i >= stories) return false;
        start = m_hddBase + hdd.cps[i];
        end = m_hddBase + hdd.cps[i + 1];
        if (end > m_atnBase) end = m_atnBase;
        return end > start && end <= m_ccpAll;
    };
    // Word 97 keeps six stories for every section (empty ones inherit);
    // Word 6/95 only those the flags of the document and section list, in order.
    std::size_t nextStory = 0;
    if (m_fib.word6) {
        const auto [dfc, dlcb] = m_fib.pair(kDop);
        const std::uint32_t flags = dlcb >= 2 ? m_word.u8(dfc + 1) : 0;
        for (int bit = 0; bit < 6; ++bit) nextStory += (flags >> bit) & 1;
    }
    std::array<std::vector<Block>, 6> inherited;
    for (std::size_t s = 0; s < m_doc.sections.size() && s < sectionStarts.size(); ++s) {
        const int word6Flags = m_fib.word6 ? sectionProps(m_sed.count() ? s : 0).headerFlags : 0;
        for (std::size_t k = 0; k < 6; ++k) {
            std::size_t story = 6 + 6 * s + k;
            if (m_fib.word6) {
                if (!((word6Flags >> k) & 1)) continue;
                story = nextStory++;
            }
            std::uint32_t start = 0, end = 0;
            if (storyRange(story, start, end) && !spendBudget(end - start)) {
                warnOnce("The document has more header and footer text than the engine reads; the rest was left out");
            } else if (storyRange(story, start, end)) {
                std::vector<Block> blocks = convertRange(start, end, Story::Header, 1);
                // The last paragraph mark of a story is a guard nobody sees.
                if (blocks.size() > 1) {
                    if (auto* p = std::get_if<model::Paragraph>(&blocks.back().value); p && p->content.empty()) blocks.pop_back();
                }
                inherited[k] = std::move(blocks);
            }
        }
        model::Section& section = m_doc.sections[s];
        std::size_t copied = 0;
        for (const auto& blocks : inherited) copied += blocks.size();
        if (!spendBudget(copied * 16)) {
            warnOnce("The document has more header and footer text than the engine reads; the rest was left out");
            break;
        }
        section.headerEven = inherited[0];
        section.header = inherited[1];
        section.footerEven = inherited[2];
        section.footer = inherited[3];
        section.headerFirst = inherited[4];
        section.footerFirst = inherited[5];
        if (!m_doc.facingPages) {
            section.headerEven.clear();
            section.footerEven.clear();
        }
        if (!section.props.titlePage) {
            section.headerFirst.clear();
            section.footerFirst.clear();
        }
    }
    if (m_fib.word6 && nextStory < stories && !m_doc.sections.empty()) {
        // Stories no flag accounts for: their text still belongs to the
        // document, so it goes to the first section's header.
        std::vector<Block>& header = m_doc.sections.front().header;
        for (std::size_t story = nextStory; story < stories; ++story) {
            std::uint32_t start = 0, end = 0;
            if (!storyRange(story, start, end) || !spendBudget(end - start)) continue;
            for (Block& b : convertRange(start, end, Story::Header, 1)) {
                const auto* p = std::get_if<model::Paragraph>(&b.value);
                if (p && p->content.empty()) continue;
                header.push_back(std::move(b));
            }
        }
    }
}

// The document settings of the DOP that shape the layout.
void DocConverter::readDop() {
    const auto [fc, lcb] = m_fib.pair(kDop);
    const Bytes dop = Bytes{(m_fib.word6 ? m_word : m_table).sub(fc, lcb)};
    if (lcb >= 2) m_doc.facingPages = dop.u16(0) & 1;
    if (lcb >= 12) {
        const int tab = static_cast<int>(dop.u16(10));  // dxaTab
        if (tab > 0 && tab <= 31680) m_doc.defaultTab = tab;
    }
    // fDontUseHTMLAutoSpacing sits in the compatibility options that
    // Word 2000 added; older files have none and so use the HTML rules.
    m_doc.htmlAutoSpacing = !(lcb > 512 && (dop.u8(512) & 0x04));
}

void DocConverter::buildSections() {
    const auto [fc, lcb] = m_fib.pair(kPlcfSed);
    m_sed = parsePlc(m_fib.word6 ? m_word : m_table, fc, lcb, 12);
    std::vector<std::uint32_t> starts;
    const std::uint32_t mainEnd = static_cast<std::uint32_t>(m_fib.ccpText);
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < m_sed.count() && i < 10000; ++i) {
        const std::uint32_t start = m_sed.cps[i];
        const std::uint32_t end = std::min(m_sed.cps[i + 1], mainEnd);
        if (start != previous || end <= start) continue;
        starts.push_back(start);
        previous = end;
    }
    if (starts.empty() || previous < mainEnd) {
        // No usable section table: one section over all the text.
        starts.assign(1, 0);
        m_sed = Plc{};
    }
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::uint32_t start = starts[i];
        const std::uint32_t end = i + 1 < starts.size() ? starts[i + 1] : mainEnd;
        model::Section section;
        section.props = sectionProps(m_sed.count() ? i : m_sed.count()).props;
        m_doc.sections.push_back(std::move(section));
        std::vector<Block> blocks = convertRange(start, end, Story::Main, 1);
        m_doc.sections.back().blocks = std::move(blocks);
    }
    convertHeaders(starts);
}

// ---------------------------------------------------------------------------
// Notes, comments, bookmarks

void DocConverter::loadNotesAndMarks() {
    const Bytes t = m_fib.word6 ? m_word : m_table;
    auto plc = [&](int index, std::size_t size) {
        const auto [fc, lcb] = m_fib.pair(index);
        return parsePlc(t, fc, lcb, size);
    };
    m_fndRef = plc(kPlcffndRef, 2);
    m_fndTxt = plc(kPlcffndTxt, 0);
    m_andRef = plc(kPlcfandRef, m_fib.word6 ? 28 : 30);
    m_andTxt = plc(kPlcfandTxt, 0);
    if (!m_fib.word6) {
        m_endRef = plc(kPlcfendRef, 2);
        m_endTxt = plc(kPlcfendTxt, 0);
    }
    // A note whose reference number is zero shows a mark of its own.
    for (std::size_t i = 0; i < m_fndRef.count(); ++i)
        m_noteAt[m_fndRef.cps[i]] = {NoteKind::Footnote, i, Bytes{m_fndRef.data[i]}.i16(0) == 0};
    for (std::size_t i = 0; i < m_endRef.count(); ++i)
        m_noteAt[m_endRef.cps[i]] = {NoteKind::Endnote, i, Bytes{m_endRef.data[i]}.i16(0) == 0};
    for (std::size_t i = 0; i < m_andRef.count(); ++i) m_noteAt[m_andRef.cps[i]] = {NoteKind::Comment, i, false};
    if (!m_fib.word6) {
        const auto [fc, lcb] = m_fib.pair(kGrpXstAtnOwners);
        const Bytes owners{t.sub(fc, lcb)};
        for (std::size_t at = 0; at + 2 <= owners.size() && m_commentAuthors.size() < 10000;) {
            const std::size_t cch = owners.u16(at);
            m_commentAuthors.push_back(utf16ToUtf8(owners.sub(at + 2, 2 * cch)));
            at += 2 + 2 * cch;
        }
    }

    // Who made the tracked changes (Word 97 and later; Word 6/95 files keep
    // no names here, so their changes have no author).
    if (!m_fib.word6) {
        const auto [rfc, rlcb] = m_fib.pair(kSttbfRMark);
        m_revisionAuthors = parseSttb(t, rfc, rlcb, false);
    }

    // Comment ranges: a hidden bookmark per comment, found by its tag.
    if (!m_fib.word6 && m_andRef.count() > 0) {
        const auto [sfc, slcb] = m_fib.pair(kSttbfAtnBkmk);
        const Bytes sttb{t.sub(sfc, slcb)};
        std::unordered_map<std::int32_t, std::size_t> byTag;
        if (sttb.size() >= 6 && sttb.u16(0) == 0xFFFF) {
            const std::size_t count = std::min<std::size_t>(sttb.u16(2), 100000);
            const std::size_t extra = sttb.u16(4);
            std::size_t at = 6;
            for (std::size_t i = 0; i < count && at + 2 <= sttb.size(); ++i) {
                const std::size_t cch = sttb.u16(at);
                at += 2 + 2 * cch;
                if (extra >= 6) byTag.emplace(sttb.i32(at + 2), i);
                at += extra;
            }
        }
        const Plc bkf = plc(kPlcfAtnBkf, 4);
        const Plc bkl = plc(kPlcfAtnBkl, 0);
        for (std::size_t i = 0; i < m_andRef.count(); ++i) {
            auto found = byTag.find(Bytes{m_andRef.data[i]}.i32(26));
            if (found == byTag.end() || found->second >= bkf.count()) continue;
            const std::size_t j = found->second;
            const std::size_t ibkl = Bytes{bkf.data[j]}.u16(0);
            if (ibkl >= bkl.count()) continue;
            const std::uint32_t start = bkf.cps[j], end = bkl.cps[ibkl];
            if (start > end || end > static_cast<std::uint32_t>(m_fib.ccpText)) continue;
            m_commentRanges.emplace(start, model::CommentRange{static_cast<int>(i), true});
            m_commentRanges.emplace(end, model::CommentRange{static_cast<int>(i), false});
            m_commentHasRange.insert(i);
        }
    }

    // Bookmarks: names, starts with the index of their end, ends.
    const auto [nfc, nlcb] = m_fib.pair(kSttbfBkmk);
    const std::vector<std::string> names = parseSttb(t, nfc, nlcb, m_fib.word6);
    const Plc bkf = plc(kPlcfBkf, 4);
    const Plc bkl = plc(kPlcfBkl, 0);
    for (std::size_t i = 0; i < bkf.count() && i < names.size(); ++i) {
        const std::size_t ibkl = m_fib.word6 ? i : Bytes{bkf.data[i]}.u16(0);
        if (ibkl >= bkl.count() && !(m_fib.word6 && i < bkl.cps.size())) continue;
        const std::uint32_t start = bkf.cps[i];
        const std::uint32_t end = bkl.cps[ibkl];
        if (start > end || end > static_cast<std::uint32_t>(m_fib.ccpText)) continue;
        m_bookmarks.emplace(start, model::Bookmark{names[i], true});
        m_bookmarks.emplace(end, model::Bookmark{names[i], false});
    }
}

void DocConverter::convertTextBoxes() {
    if (m_fib.word6) return;
    // Text boxes of the body, then those of headers and footers.
    const struct {
        int pair;
        std::uint32_t base, limit;
        std::int32_t count;
        Story story;
    } kinds[] = {
        {kPlcftxbxTxt, m_txbxBase, m_hdrTxbxBase, m_fib.ccpTxbx, Story::TextBox},
        {kPlcfHdrtxbxTxt, m_hdrTxbxBase, m_ccpAll, m_fib.ccpHdrTxbx, Story::HeaderTextBox},
    };
    for (const auto& kind : kinds) {
        if (kind.count <= 0) continue;
        const auto [fc, lcb] = m_fib.pair(kind.pair);
        const Plc plc = parsePlc(m_table, fc, lcb, 22);
        for (std::size_t i = 0; i < plc.count() && i < 10000; ++i) {
            const Bytes info{plc.data[i]};
            std::uint32_t spid = info.u32(14);
            const std::uint32_t start = kind.base + plc.cps[i];
            const std::uint32_t end = std::min(kind.base + plc.cps[i + 1], kind.limit);
            if (end <= start || end > m_ccpAll) continue;
            if (info.u16(8) != 0) continue;  // a reusable (empty) slot
            std::vector<Block> blocks = convertRange(start, end, kind.story, 2);
            if (blocks.size() > 1) {
                if (auto* p = std::get_if<model::Paragraph>(&blocks.back().value); p && p->content.empty()) blocks.pop_back();
            }
            if (m_textBoxes.count(spid)) spid = 0xF0000000u + static_cast<std::uint32_t>(m_textBoxOrder.size());  // unknown or repeated id
            m_textBoxes[spid] = std::move(blocks);
            m_textBoxOrder.push_back(spid);
        }
    }
}

// ---------------------------------------------------------------------------
// The document's summary (title, author, ...), from its property set stream.

void DocConverter::readSummary() {
    std::string bytes, error;
    if (!m_cfb.read("\x05SummaryInformation", bytes, error)) return;
    const Bytes s{bytes};
    if (s.size() < 48 || s.u16(0) != 0xFFFE) return;
    const std::size_t sets = s.u32(24);
    if (sets < 1) return;
    const std::size_t at = s.u32(44);
    if (at + 8 > s.size()) return;
    const std::size_t count = std::min<std::size_t>(s.u32(at + 4), 1000);
    int codePage = 1252;
    struct Prop {
        std::uint32_t id, offset;
    };
    std::vector<Prop> props;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t id = s.u32(at + 8 + 8 * i);
        const std::uint32_t offset = s.u32(at + 12 + 8 * i);
        props.push_back({id, offset});
        if (id == 1 && s.u32(at + offset) == 2) codePage = static_cast<int>(s.u16(at + offset + 4));
    }
    const auto text = [&](std::size_t p) -> std::string {
        const std::uint32_t type = s.u32(p);
        const std::size_t length = std::min<std::size_t>(s.u32(p + 4), 4096);
        std::string out;
        if (type == 0x1E) {
            const std::string_view raw = s.sub(p + 8, length);
            if (codePage == 1200) return utf16ToUtf8(raw.substr(0, raw.size() & ~std::size_t{1}));
            const std::string_view text = raw.substr(0, raw.find('\0'));
            if (codePage == 65001) return std::string(text);
            const encoding::CodePage* page = codePage == 1252 ? nullptr : encoding::CodePage::get(codePage);
            for (std::size_t i = 0; i < text.size(); ++i) {
                const auto b = static_cast<std::uint8_t>(text[i]);
                if (!page) {
                    encoding::appendUtf8(out, encoding::cp1252ToUnicode(b));
                } else if (page->isDoubleByte() && page->isLeadByte(b) && i + 1 < text.size()) {
                    const char32_t c = page->decode(b, static_cast<std::uint8_t>(text[++i]));
                    encoding::appendUtf8(out, c ? c : encoding::kReplacement);
                } else {
                    encoding::appendUtf8(out, page->decode(b));
                }
            }
        } else if (type == 0x1F) {
            out = utf16ToUtf8(s.sub(p + 8, 2 * length));
            while (!out.empty() && out.back() == '\0') out.pop_back();
        }
        return out;
    };
    const auto date = [&](std::size_t p) -> std::string {
        if (s.u32(p) != 0x40) return {};
        const std::uint64_t ft = s.u32(p + 4) | static_cast<std::uint64_t>(s.u32(p + 8)) << 32;
        if (ft == 0) return {};
        std::int64_t secs = static_cast<std::int64_t>(ft / 10000000) - 11644473600LL;
        if (secs < 0) return {};
        std::int64_t days = secs / 86400;
        const std::int64_t rem = secs % 86400;
        // Civil date from days since 1970-01-01.
        days += 719468;
        const std::int64_t era = days / 146097;
        const std::int64_t doe = days - era * 146097;
        const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        std::int64_t y = yoe + era * 400;
        const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const std::int64_t mp = (5 * doy + 2) / 153;
        const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
        const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
        if (m <= 2) ++y;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(y),
                      static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(rem / 3600),
                      static_cast<long long>(rem / 60 % 60), static_cast<long long>(rem % 60));
        return buf;
    };
    for (const Prop& p : props) {
        const std::size_t where = at + p.offset;
        if (where + 8 > s.size()) continue;
        switch (p.id) {
        case 2: m_doc.info.title = text(where); break;
        case 3: m_doc.info.subject = text(where); break;
        case 4: m_doc.info.author = text(where); break;
        case 5: m_doc.info.keywords = text(where); break;
        case 6: m_doc.info.comments = text(where); break;
        case 12: m_doc.info.created = date(where); break;
        case 13: m_doc.info.modified = date(where); break;
        default: break;
        }
    }
    for (std::string* field : {&m_doc.info.title, &m_doc.info.subject, &m_doc.info.author, &m_doc.info.keywords, &m_doc.info.comments}) {
        if (!encoding::isValidUtf8(*field)) field->clear();
    }
}

// ---------------------------------------------------------------------------

model::Document DocConverter::convert() {
    m_fib = parseFib(m_word);
    loadText();
    buildFonts();
    readDop();
    buildStyles();
    buildLists();
    loadNotesAndMarks();
    loadDrawings();
    convertTextBoxes();
    buildSections();

    // Text boxes no anchor placed still belong to the document.
    for (const std::uint32_t spid : m_textBoxOrder) {
        if (m_placedTextBoxes.count(spid)) continue;
        for (Block& b : m_textBoxes[spid]) m_doc.sections.back().blocks.push_back(std::move(b));
    }
    readSummary();
    return std::move(m_doc);
}

}  // namespace orvane::doc
