// The text of a story into paragraphs and tables: formatting looked up by
// file position, special characters turned into fields, notes, pictures and
// breaks, and table paragraphs gathered into rows and cells.
#include <algorithm>
#include <cstdio>

#include "doc/DocConverter.h"
#include "encoding/Encoding.h"
#include "encoding/CodePages.h"

namespace orvane::doc {

using model::Block;
using model::Inline;

namespace {

constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);

const FkpRun* findRun(const std::vector<FkpRun>& runs, std::uint32_t fc, std::uint32_t& limit) {
    auto it = std::upper_bound(runs.begin(), runs.end(), fc, [](std::uint32_t v, const FkpRun& r) { return v < r.fcStart; });
    limit = it != runs.end() ? it->fcStart : 0xFFFFFFFF;
    if (it != runs.begin()) {
        const FkpRun& run = *std::prev(it);
        if (fc < run.fcEnd) {
            limit = run.fcEnd;
            return &run;
        }
    }
    return nullptr;
}

// The Windows code page usually used for text in a language.
int codePageForLanguage(int lid) {
    switch (lid & 0x3FF) {
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1A: case 0x1B: case 0x1C: case 0x24: return 1250;
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F: case 0x3F: case 0x40: case 0x43: case 0x44: return 1251;
    case 0x08: return 1253;
    case 0x1F: case 0x2C: return 1254;
    case 0x0D: return 1255;
    case 0x01: case 0x20: case 0x29: return 1256;
    case 0x25: case 0x26: case 0x27: return 1257;
    case 0x2A: return 1258;
    case 0x1E: return 874;
    case 0x11: return 932;
    case 0x12: return 949;
    case 0x04: return (lid == 0x0404 || lid == 0x0C04 || lid == 0x1404) ? 950 : 936;
    default: return 1252;
    }
}

bool sameRun(const Inline& last, const model::TextRun& next) {
    const auto* run = std::get_if<model::TextRun>(&last.value);
    return run && run->props == next.props && run->revision == next.revision;
}

// Word's packed date (DTTM): minutes, hours, day, month, years since 1900;
// 0 or anything that is no date: unknown.
std::string isoDate(std::uint32_t dttm) {
    const unsigned mi = dttm & 63, h = (dttm >> 6) & 31, d = (dttm >> 11) & 31, mo = (dttm >> 16) & 15;
    const unsigned y = ((dttm >> 20) & 511) + 1900;
    if (dttm == 0 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:00Z", y, mo, d, h, mi);
    return buf;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

void plainText(const std::vector<Inline>& inlines, std::string& out) {
    for (const Inline& i : inlines) {
        if (const auto* r = std::get_if<model::TextRun>(&i.value)) out += r->text;
        else if (const auto* f = std::get_if<model::Field>(&i.value)) plainText(f->result, out);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Positions and formatting

std::size_t DocConverter::pieceIndex(std::uint32_t cp) const {
    const auto& pieces = m_clx.pieces;
    auto it = std::upper_bound(pieces.begin(), pieces.end(), cp, [](std::uint32_t v, const Piece& p) { return v < p.cpStart; });
    if (it == pieces.begin()) return kNoPiece;
    const std::size_t i = static_cast<std::size_t>(std::prev(it) - pieces.begin());
    return cp < pieces[i].cpEnd ? i : kNoPiece;
}

std::uint32_t DocConverter::fcOf(std::uint32_t cp, std::size_t piece) const {
    const Piece& p = m_clx.pieces[piece];
    return p.fc + (cp - p.cpStart) * (p.compressed ? 1 : 2);
}

void DocConverter::applyPieceSprms(std::size_t piece, Chp* chp, Pap* pap, const Chp& base) const {
    const std::uint16_t prm = m_clx.pieces[piece].prm;
    if (prm == 0) return;
    const auto apply = [&](const Sprm& s) {
        const int sgc = (s.code >> 10) & 7;
        if (chp && sgc == 2) applyChp(*chp, s, base);
        if (pap && (sgc == 1 || sgc == 5)) applyPap(*pap, s, m_fib.word6);
    };
    if (prm & 1) {
        const std::size_t index = prm >> 1;
        if (index < m_clx.prcs.size()) forEachSprm(m_clx.prcs[index], m_fib.word6, apply);
        return;
    }
    std::uint16_t code = 0;
    std::uint8_t value = 0;
    if (!prm0Sprm(prm, code, value)) return;
    const char operand[2] = {static_cast<char>(value), 0};
    apply(Sprm{code, std::string_view(operand, 1)});
}

Chp DocConverter::chpAt(std::uint32_t cp, const Chp& paraBase, std::uint32_t& runEnd) const {
    const std::size_t pi = pieceIndex(cp);
    if (pi == kNoPiece) {
        runEnd = cp + 1;
        return paraBase;
    }
    const Piece& p = m_clx.pieces[pi];
    const std::uint32_t fc = fcOf(cp, pi);
    const std::uint32_t bpc = p.compressed ? 1 : 2;
    std::uint32_t limit = 0;
    const FkpRun* run = findRun(m_chpRuns, fc, limit);
    const std::uint64_t span = std::max<std::uint64_t>(1, (static_cast<std::uint64_t>(limit) - fc + bpc - 1) / bpc);
    runEnd = static_cast<std::uint32_t>(std::min<std::uint64_t>(p.cpEnd, cp + span));
    Chp chp = paraBase;
    if (run) {
        // A character style comes first, whatever the order of the list.
        forEachSprm(run->grpprl, m_fib.word6, [&](const Sprm& s) {
            if (s.code != 0x4A30) return;
            const int istd = static_cast<int>(Bytes{s.operand}.u16(0));
            std::vector<const StyleDef*> chain;
            for (int i = istd; i >= 0 && static_cast<std::size_t>(i) < m_stsh.styles.size() && chain.size() < 16;) {
                const StyleDef& def = m_stsh.styles[static_cast<std::size_t>(i)];
                if (def.empty || def.stk != 2) break;
                chain.push_back(&def);
                if (def.istdBase == i) break;
                i = def.istdBase;
            }
            for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                forEachSprm((*it)->chpx, m_fib.word6, [&](const Sprm& cs) { applyChp(chp, cs, paraBase); });
            }
        });
        forEachSprm(run->grpprl, m_fib.word6, [&](const Sprm& s) { applyChp(chp, s, paraBase); });
    }
    applyPieceSprms(pi, &chp, nullptr, paraBase);
    return chp;
}

Pap DocConverter::papAt(std::uint32_t markCp) const {
    const std::size_t pi = pieceIndex(markCp);
    int istd = 0;
    const FkpRun* run = nullptr;
    if (pi != kNoPiece) {
        std::uint32_t limit = 0;
        run = findRun(m_papRuns, fcOf(markCp, pi), limit);
        if (run) istd = run->istd;
    }
    auto* self = const_cast<DocConverter*>(this);  // styles resolve on first use
    Pap pap = self->resolvedStyle(istd).pap;
    pap.istd = istd;
    if (run) forEachSprm(run->grpprl, m_fib.word6, [&](const Sprm& s) { applyPap(pap, s, m_fib.word6); });
    if (pap.hugePapx) {
        const std::size_t at = *pap.hugePapx;
        pap.hugePapx.reset();
        const std::size_t cb = m_data.u16(at);
        forEachSprm(m_data.sub(at + 2, cb), false, [&](const Sprm& s) { applyPap(pap, s, false); });
    }
    if (pi != kNoPiece) applyPieceSprms(pi, nullptr, &pap, m_defaultChp);
    return pap;
}

model::CharProps DocConverter::charProps(const Chp& chp) const {
    model::CharProps p;
    const auto font = [&](int ftc) { return ftc >= 0 && static_cast<std::size_t>(ftc) < m_doc.fonts.size() ? ftc : 0; };
    p.font = font(chp.ftcAscii);
    if (font(chp.ftcFE) != p.font) p.eastAsiaFont = font(chp.ftcFE);
    if (font(chp.ftcBi) != p.font) p.complexFont = font(chp.ftcBi);
    const bool complex = chp.bidi || chp.complexScript;
    p.sizeHalfPoints = complex ? chp.hpsBi : chp.hps;
    p.bold = complex ? chp.boldBi : chp.bold;
    p.italic = complex ? chp.italicBi : chp.italic;
    using U = model::Underline;
    switch (chp.kul) {
    case 0: p.underline = U::None; break;
    case 2: p.underline = U::Words; break;
    case 3: p.underline = U::Double; break;
    case 4: case 20: p.underline = U::Dotted; break;
    case 6: p.underline = U::Thick; break;
    case 7: case 23: case 39: case 55: p.underline = U::Dash; break;
    case 9: case 25: p.underline = U::DotDash; break;
    case 10: case 26: p.underline = U::DotDotDash; break;
    case 11: case 27: case 43: p.underline = U::Wave; break;
    default: p.underline = U::Single; break;
    }
    p.strike = chp.strike;
    p.doubleStrike = chp.dstrike;
    p.color = chp.cv;
    if (chp.highlight > 0 && chp.highlight < 17) p.highlight = icoColor(chp.highlight);
    p.shading = chp.shading;
    p.verticalAlign = chp.iss == 1 ? model::VerticalAlign::Superscript
                      : chp.iss == 2 ? model::VerticalAlign::Subscript
                                     : model::VerticalAlign::Baseline;
    // Raised or lowered text in a smaller size reads as super- or subscript.
    if (chp.iss == 0 && chp.hpsPos != 0) p.verticalAlign = chp.hpsPos > 0 ? model::VerticalAlign::Superscript : model::VerticalAlign::Subscript;
    p.caps = chp.caps;
    p.smallCaps = chp.smallCaps;
    p.hidden = chp.vanish;
    p.rtl = chp.bidi;
    p.spacing = chp.dxaSpace;
    p.lang = complex ? chp.lidBi : chp.lid;
    if (p.lang == 0x0400) p.lang = 0;
    if (chp.istd != 10 && chp.istd >= 0 && static_cast<std::size_t>(chp.istd) < m_modelStyle.size() &&
        m_modelStyle[static_cast<std::size_t>(chp.istd)] >= 0 && m_stsh.styles[static_cast<std::size_t>(chp.istd)].stk == 2) {
        p.charStyle = m_modelStyle[static_cast<std::size_t>(chp.istd)];
    }
    return p;
}

model::ParaProps DocConverter::paraProps(const Pap& pap) const {
    model::ParaProps p;
    if (pap.istd >= 0 && static_cast<std::size_t>(pap.istd) < m_modelStyle.size() && m_modelStyle[static_cast<std::size_t>(pap.istd)] >= 0) {
        p.style = m_modelStyle[static_cast<std::size_t>(pap.istd)];
    }
    switch (pap.jc) {
    case 1: p.alignment = model::Alignment::Center; break;
    case 2: p.alignment = model::Alignment::Right; break;
    case 3: case 5: case 7: case 8: case 9: p.alignment = model::Alignment::Justify; break;
    case 4: p.alignment = model::Alignment::Distribute; break;
    default: p.alignment = model::Alignment::Left; break;
    }
    p.leftIndent = pap.dxaLeft;
    p.rightIndent = pap.dxaRight;
    p.firstLineIndent = pap.dxaLeft1;
    p.spaceBefore = pap.dyaBefore;
    p.spaceAfter = pap.dyaAfter;
    // Auto spacing is 14 pt under the HTML rules, 5 pt where the document
    // turned them off.
    p.autoSpaceBefore = pap.dyaBeforeAuto;
    p.autoSpaceAfter = pap.dyaAfterAuto;
    if (p.autoSpaceBefore) p.spaceBefore = m_doc.htmlAutoSpacing ? 280 : 100;
    if (p.autoSpaceAfter) p.spaceAfter = m_doc.htmlAutoSpacing ? 280 : 100;
    if (pap.multLine) {
        p.lineRule = model::LineRule::Auto;
        p.lineSpacing = pap.dyaLine > 0 ? std::min(pap.dyaLine, 240 * 20) : 240;
    } else if (pap.dyaLine >= 0) {
        p.lineRule = model::LineRule::AtLeast;
        p.lineSpacing = pap.dyaLine;
    } else {
        p.lineRule = model::LineRule::Exact;
        p.lineSpacing = -pap.dyaLine;
    }
    p.keepNext = pap.keepFollow;
    p.contextualSpacing = pap.contextualSpacing;
    p.borders = pap.borders;
    p.keepLines = pap.keep;
    p.pageBreakBefore = pap.pageBreakBefore;
    p.widowControl = pap.widowControl;
    p.rtl = pap.bidi;
    if (pap.outlineLevel >= 0 && pap.outlineLevel < 9) p.outlineLevel = pap.outlineLevel;
    p.tabs = pap.tabs;
    p.shading = pap.shading;
    if (m_fib.word6 && pap.nLvlAnm > 0 && pap.anld.size() >= 20) p.list = const_cast<DocConverter*>(this)->word6List(pap);
    if (pap.ilfo > 0 && static_cast<std::size_t>(pap.ilfo) <= m_listOfLfo.size() && m_listOfLfo[static_cast<std::size_t>(pap.ilfo - 1)] >= 0) {
        const int list = m_listOfLfo[static_cast<std::size_t>(pap.ilfo - 1)];
        const int level = std::clamp(pap.ilvl, 0, 8);
        // A level that shows no number (outline numbering switched off) is no list item.
        const auto& levels = m_doc.lists[static_cast<std::size_t>(list)].levels;
        const bool shows = static_cast<std::size_t>(level) >= levels.size() ||
                           levels[static_cast<std::size_t>(level)].format != model::NumberFormat::None ||
                           !levels[static_cast<std::size_t>(level)].text.empty();
        if (shows) p.list = model::ListRef{list, level};
    }
    return p;
}

// Word numbers the items of one list (LST) in one sequence, whichever of its
// overrides (LFO) a paragraph names: once an override has restarted the list,
// paragraphs naming a plain override of it count on from the restart. RTF
// readers count each override on its own, so such a paragraph takes the
// override the list last went through.
std::optional<model::ListRef> DocConverter::continuedList(const Pap& pap, std::optional<model::ListRef> ref) {
    if (!ref || pap.ilfo <= 0 || static_cast<std::size_t>(pap.ilfo) > m_overrides.size() ||
        m_overrides.size() != m_listOfLfo.size())
        return ref;
    const ListOverride& own = m_overrides[static_cast<std::size_t>(pap.ilfo - 1)];
    const auto [last, first] = m_counting.try_emplace(own.lsid, pap.ilfo);
    if (first || !own.levels.empty() || last->second == pap.ilfo) {
        last->second = pap.ilfo;
        return ref;
    }
    const int list = m_listOfLfo[static_cast<std::size_t>(last->second - 1)];
    if (list < 0) return ref;
    return model::ListRef{list, ref->level};
}

// Word 6/95 numbering (ANLD): one model list for each distinct numbering.
std::optional<model::ListRef> DocConverter::word6List(const Pap& pap) {
    const Bytes a{pap.anld};
    const int nfc = static_cast<int>(a.u8(0));
    if (nfc == 255) return std::nullopt;
    const std::string key(pap.anld.substr(0, std::min<std::size_t>(pap.anld.size(), 52)));
    auto found = m_word6Lists.find(key);
    if (found != m_word6Lists.end()) return model::ListRef{found->second, 0};
    model::ListLevel level;
    switch (nfc) {
    case 1: level.format = model::NumberFormat::UpperRoman; break;
    case 2: level.format = model::NumberFormat::LowerRoman; break;
    case 3: level.format = model::NumberFormat::UpperLetter; break;
    case 4: level.format = model::NumberFormat::LowerLetter; break;
    case 5: level.format = model::NumberFormat::Ordinal; break;
    case 23: level.format = model::NumberFormat::Bullet; break;
    default: level.format = model::NumberFormat::Decimal; break;
    }
    level.start = std::max(1, static_cast<int>(a.u16(10)));
    const std::size_t before = a.u8(1), after = a.u8(2);
    const std::string_view chars = a.sub(20, 32);
    Chp chp = m_defaultChp;
    chp.ftcAscii = static_cast<int>(a.u16(6));
    if (level.format == model::NumberFormat::Bullet) {
        level.text = decode8(chars.substr(0, std::min<std::size_t>(1, chars.size())), chp);
        if (level.text.empty()) level.text = "\xE2\x80\xA2";
    } else {
        level.text = decode8(chars.substr(0, std::min(before, chars.size())), chp) + "%1" +
                     decode8(chars.substr(std::min(before, chars.size()), std::min<std::size_t>(after, 32)), chp);
    }
    if (chp.ftcAscii >= 0 && static_cast<std::size_t>(chp.ftcAscii) < m_doc.fonts.size()) level.font = chp.ftcAscii;
    level.leftIndent = pap.dxaLeft;
    level.firstLineIndent = pap.dxaLeft1;
    model::List list;
    list.levels.push_back(std::move(level));
    const int index = static_cast<int>(m_doc.lists.size());
    m_doc.lists.push_back(std::move(list));
    m_word6Lists.emplace(key, index);
    return model::ListRef{index, 0};
}

int DocConverter::codePage8(const Chp& chp) const {
    int charset = 0;
    if (chp.ftcAscii >= 0 && static_cast<std::size_t>(chp.ftcAscii) < m_fonts.size()) charset = m_fonts[static_cast<std::size_t>(chp.ftcAscii)].charset;
    const int number = encoding::codePageForCharset(charset);
    if (number != 0) return number;
    return codePageForLanguage(chp.lid != 0x0400 && chp.lid != 0 ? chp.lid : m_fib.lid);
}

const encoding::CodePage* DocConverter::twoBytePage8(const Chp& chp) const {
    const int number = codePage8(chp);
    if (number < 0 || number == 1252) return nullptr;
    const encoding::CodePage* page = encoding::CodePage::get(number);
    return page && page->isDoubleByte() ? page : nullptr;
}

std::string DocConverter::decode8(std::string_view bytes, const Chp& chp) const {
    std::string out;
    const int number = codePage8(chp);
    if (number < 0) {
        for (const char c : bytes) encoding::appendUtf8(out, 0xF000 + static_cast<unsigned char>(c));
        return out;
    }
    const encoding::CodePage* page = number == 1252 ? nullptr : encoding::CodePage::get(number);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (!page) {
            encoding::appendUtf8(out, encoding::cp1252ToUnicode(b));
        } else if (page->isDoubleByte() && page->isLeadByte(b) && i + 1 < bytes.size()) {
            const char32_t c = page->decode(b, static_cast<std::uint8_t>(bytes[i + 1]));
            encoding::appendUtf8(out, c ? c : encoding::kReplacement);
            ++i;
        } else {
            encoding::appendUtf8(out, page->decode(b));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Where content goes: the innermost open field, or the paragraph

std::vector<Inline>* DocConverter::target() {
    for (auto it = m_fields.rbegin(); it != m_fields.rend(); ++it) {
        if (!it->dissolved) return it->inResult ? &it->result : nullptr;
        if (!it->inResult) return nullptr;  // the instruction of a field cut by a paragraph end
    }
    return m_content;
}

void DocConverter::emitInline(Inline item) {
    if (!m_fields.empty()) {
        // Text inside an instruction becomes the instruction.
        for (auto it = m_fields.rbegin(); it != m_fields.rend(); ++it) {
            if (it->dissolved && it->inResult) continue;
            if (!it->inResult && !it->dissolved) {
                if (const auto* run = std::get_if<model::TextRun>(&item.value)) it->instruction += run->text;
                return;
            }
            break;
        }
    }
    std::vector<Inline>* out = target();
    if (!out) return;
    if (auto* run = std::get_if<model::TextRun>(&item.value)) {
        if (!out->empty() && sameRun(out->back(), *run)) {
            std::get<model::TextRun>(out->back().value).text += run->text;
            return;
        }
    }
    out->push_back(std::move(item));
}

void DocConverter::emitChar(char32_t c, const model::CharProps& props) {
    std::string text;
    encoding::appendUtf8(text, c);
    emitInline(Inline{model::TextRun{std::move(text), props, m_revision}});
}

// Text deleted (perhaps after it was inserted) or inserted while changes were
// tracked, with its author from SttbfRMark and its date.
std::optional<model::Revision> DocConverter::revision(const Chp& chp) const {
    if (!chp.deleted && !chp.inserted) return std::nullopt;
    model::Revision r;
    r.kind = chp.deleted ? model::Revision::Kind::Deletion : model::Revision::Kind::Insertion;
    const auto author = static_cast<std::size_t>(chp.deleted ? chp.authorDel : chp.authorIns);
    if (author < m_revisionAuthors.size() && !(author == 0 && m_revisionAuthors[0] == "Unknown"))
        r.author = m_revisionAuthors[author];
    r.date = isoDate(chp.deleted ? chp.dateDel : chp.dateIns);
    return r;
}

void DocConverter::closeField() {
    if (m_fields.empty()) return;
    FieldFrame frame = std::move(m_fields.back());
    m_fields.pop_back();
    if (frame.spanning) {
        if (std::vector<Inline>* out = target()) out->push_back(Inline{model::FieldEnd{}});
        return;
    }
    if (frame.dissolved) return;
    model::Field field;
    field.instruction = trimmed(frame.instruction);
    field.result = std::move(frame.result);
    if (field.instruction.empty()) {
        for (Inline& i : field.result) emitInline(std::move(i));
        return;
    }
    // Inside another field's instruction, only the text counts.
    for (auto it = m_fields.rbegin(); it != m_fields.rend(); ++it) {
        if (it->dissolved && it->inResult) continue;
        if (!it->inResult && !it->dissolved) {
            plainText(field.result, it->instruction);
            return;
        }
        break;
    }
    if (std::vector<Inline>* out = target()) out->push_back(Inline{std::move(field)});
}

// Fields open at a paragraph mark. The outermost one at the paragraph's top
// level (below it only fields already cut, in their results) goes on past
// the mark: a FieldStart where it began, its result so far and what follows
// up to its end is content. Fields nested in it, or cut in their
// instruction, only leave their result so far as content.
void DocConverter::dissolveFields(std::vector<Inline>& paragraph) {
    bool topLevel = true;
    for (FieldFrame& f : m_fields) {
        if (f.dissolved) {
            topLevel = topLevel && f.inResult;
            continue;
        }
        f.dissolved = true;
        if (topLevel && f.inResult) {
            std::string instruction = trimmed(f.instruction);
            if (!instruction.empty()) {
                paragraph.push_back(Inline{model::FieldStart{std::move(instruction)}});
                f.spanning = true;
            }
        }
        topLevel = false;
        for (Inline& i : f.result) paragraph.push_back(std::move(i));
        f.result.clear();
    }
}

// ---------------------------------------------------------------------------
// Paragraphs

void DocConverter::convertParagraph(std::uint32_t start, std::uint32_t mark, bool hasMark, Story story,
                                    std::uint32_t storyBase, ParaItem& item, int depth) {
    const Pap pap = papAt(hasMark ? mark : (mark > start ? mark - 1 : start));
    const Chp paraBase = resolvedStyle(pap.istd).chp;
    model::Paragraph para;
    para.props = paraProps(pap);
    para.props.list = continuedList(pap, para.props.list);
    m_content = &para.content;
    const bool main = story == Story::Main;
    // Notes and comments are read in the middle of a run: its mark comes back after them.
    struct RestoreRevision {
        std::optional<model::Revision>& target;
        std::optional<model::Revision> saved;
        ~RestoreRevision() { target = std::move(saved); }
    } restoreRevision{m_revision, m_revision};

    const auto bookmarksAt = [&](std::uint32_t cp) {
        if (!main) return;
        auto [b, e] = m_bookmarks.equal_range(cp);
        // Ends before starts, so that neighbours do not overlap; an empty
        // bookmark ends after it starts.
        std::vector<std::string> started;
        for (auto it = b; it != e; ++it)
            if (it->second.start) started.push_back(it->second.name);
        const auto emptyHere = [&](const std::string& name) {
            return std::find(started.begin(), started.end(), name) != started.end();
        };
        for (auto it = b; it != e; ++it)
            if (!it->second.start && !emptyHere(it->second.name)) emitInline(Inline{it->second});
        for (auto it = b; it != e; ++it)
            if (it->second.start) emitInline(Inline{it->second});
        for (auto it = b; it != e; ++it)
            if (!it->second.start && emptyHere(it->second.name)) emitInline(Inline{it->second});
        auto [rb, re] = m_commentRanges.equal_range(cp);
        for (auto it = rb; it != re; ++it)
            if (!it->second.start) emitInline(Inline{it->second});
        for (auto it = rb; it != re; ++it)
            if (it->second.start) emitInline(Inline{it->second});
    };

    std::uint32_t cp = start;
    while (cp < mark) {
        std::uint32_t runEnd = 0;
        const Chp chp = chpAt(cp, paraBase, runEnd);
        runEnd = std::clamp(runEnd, cp + 1, mark);
        m_revision = revision(chp);
        const model::CharProps props = charProps(chp);
        // Older files' 8-bit characters from 0x80 up wait in `raw` and are
        // decoded a stretch at a time (two-byte code pages need both bytes);
        // they always follow what `text` holds.
        std::string raw;
        bool trailDue = false;  // raw ends with the first byte of a two-byte character
        const encoding::CodePage* twoByte = m_fib.word6 ? twoBytePage8(chp) : nullptr;
        std::string text;
        const auto flush = [&] {
            if (!raw.empty()) {
                text += decode8(raw, chp);
                raw.clear();
                trailDue = false;
            }
            if (!text.empty()) {
                emitInline(Inline{model::TextRun{std::move(text), props, m_revision}});
                text.clear();
            }
        };
        for (std::uint32_t c = cp; c < runEnd; ++c) {
            if (main && (m_bookmarks.count(c) || m_commentRanges.count(c))) {
                flush();
                bookmarksAt(c);
            }
            const char32_t ch = m_chars[c];
            if (main && ch != 0x02 && ch != 0x05 && !m_noteAt.empty()) {
                auto found = m_noteAt.find(c);
                if (found != m_noteAt.end() && found->second.first != NoteKind::Comment && found->second.third) {
                    flush();
                    std::string mark;
                    encoding::appendUtf8(mark, m_fib.word6 ? encoding::cp1252ToUnicode(static_cast<unsigned char>(ch)) : ch);
                    emitNote(found->second.first, found->second.second, mark, props, depth);
                    continue;
                }
            }
            if (ch >= 0x20 && ch != 0x28 && !(m_fib.word6 && ch >= 0x80)) {
                if (!raw.empty()) {
                    if (trailDue) {  // the second byte of a two-byte character
                        raw.push_back(static_cast<char>(ch));
                        trailDue = false;
                        continue;
                    }
                    text += decode8(raw, chp);
                    raw.clear();
                }
                if (ch >= 0xD800 && ch <= 0xDBFF && c + 1 < runEnd && m_chars[c + 1] >= 0xDC00 && m_chars[c + 1] <= 0xDFFF) {
                    encoding::appendUtf8(text, 0x10000 + ((ch - 0xD800) << 10) + (m_chars[c + 1] - 0xDC00));
                    ++c;
                } else {
                    encoding::appendUtf8(text, ch);
                }
                continue;
            }
            if (m_fib.word6 && ch >= 0x80) {
                raw.push_back(static_cast<char>(ch));
                trailDue = !trailDue && twoByte && twoByte->isLeadByte(static_cast<std::uint8_t>(ch));
                continue;
            }
            flush();
            switch (ch) {
            case 0x13: m_fields.push_back(FieldFrame{}); break;
            case 0x14:
                if (!m_fields.empty()) m_fields.back().inResult = true;
                break;
            case 0x15: closeField(); break;
            case 0x28:
                if (chp.spec && chp.symbolFont >= 0) {
                    model::CharProps sym = props;
                    if (static_cast<std::size_t>(chp.symbolFont) < m_doc.fonts.size()) sym.font = chp.symbolFont;
                    emitChar(chp.symbolChar, sym);
                } else {
                    emitChar('(', props);
                }
                break;
            case 0x01:
                if (chp.spec && !chp.fldVanish) {
                    if (chp.picLocation && chp.ole2) {
                        auto image = olePicture(*chp.picLocation);
                        if (!image && *chp.picLocation < m_data.size()) image = inlinePicture(*chp.picLocation);
                        if (image) emitInline(Inline{std::move(*image)});
                        else warnOnce("The picture of an embedded object was left out");
                    } else if (chp.picLocation) {
                        if (auto image = inlinePicture(*chp.picLocation)) emitInline(Inline{std::move(*image)});
                    } else {
                        warnOnce("A picture without a stored location was left out");
                    }
                }
                break;
            case 0x08:
                if (chp.spec) drawnObject(c, story, storyBase, props);
                break;
            case 0x02:
                if (chp.spec && main) {
                    auto found = m_noteAt.find(c);
                    if (found != m_noteAt.end() && found->second.first != NoteKind::Comment) {
                        emitNote(found->second.first, found->second.second, std::string(), props, depth);
                    }
                }
                break;  // in a note's own text, the mark the writer puts back
            case 0x05:
                if (chp.spec && main) {
                    auto found = m_noteAt.find(c);
                    if (found != m_noteAt.end() && found->second.first == NoteKind::Comment) {
                        emitComment(found->second.second, depth);
                    }
                }
                break;
            case 0x09: text += '\t'; break;
            case 0x0B: text += '\n'; break;
            case 0x0C: emitInline(Inline{model::Break{model::BreakKind::Page, props}}); break;
            case 0x0E: emitInline(Inline{model::Break{model::BreakKind::Column, props}}); break;
            case 0x1E: encoding::appendUtf8(text, 0x2011); break;
            case 0x1F: encoding::appendUtf8(text, 0x00AD); break;
            default: break;  // other control characters show nothing
            }
        }
        flush();
        cp = runEnd;
    }
    bookmarksAt(mark);
    dissolveFields(para.content);

    Chp markChp = paraBase;
    if (hasMark) {
        std::uint32_t end = 0;
        markChp = chpAt(mark, paraBase, end);
    }
    para.markProps = charProps(markChp);
    if (hasMark) para.markRevision = revision(markChp);
    m_content = nullptr;

    const std::uint32_t markChar = hasMark ? m_chars[mark] : 0x0D;
    item.itap = pap.itap > 0 ? pap.itap : (pap.inTable ? 1 : 0);
    if (item.itap <= 1) {
        item.cellEnd = pap.inTable && markChar == 0x07 && !pap.ttp;
        item.rowEnd = pap.inTable && markChar == 0x07 && pap.ttp;
    } else {
        item.rowEnd = pap.innerTtp || (pap.ttp && markChar == 0x07);
        item.cellEnd = !item.rowEnd && (pap.innerCell || markChar == 0x07);
    }
    item.tap = pap.tap;
    item.para = std::move(para);
    (void)depth;
}

std::vector<Block> DocConverter::convertRange(std::uint32_t start, std::uint32_t end, Story story, int depth) {
    if (depth > m_limits.maxNesting) throw DocError("The document nests too deeply to be read.");
    end = std::min(end, m_ccpAll);
    // Notes and comments are read in the middle of a paragraph of the body.
    auto savedFields = std::move(m_fields);
    auto* savedContent = m_content;
    m_fields.clear();

    std::vector<ParaItem> items;
    std::uint32_t cp = start;
    while (cp < end) {
        std::uint32_t mark = cp;
        while (mark < end) {
            const auto c = m_chars[mark];
            if (c == 0x0D || c == 0x07 || (c == 0x0C && mark + 1 == end && story == Story::Main)) break;
            ++mark;
        }
        const bool hasMark = mark < end;
        ParaItem item;
        convertParagraph(cp, hasMark ? mark : end, hasMark, story, start, item, depth);
        items.push_back(std::move(item));
        cp = hasMark ? mark + 1 : end;
    }
    std::vector<Block> out;
    buildBlocks(items, 0, items.size(), 0, out, depth);

    m_fields = std::move(savedFields);
    m_content = savedContent;
    return out;
}

// ---------------------------------------------------------------------------
// Notes and comments: their text, read where their reference stands

void DocConverter::emitNote(NoteKind kind, std::size_t index, std::string customMark, const model::CharProps& props,
                            int depth) {
    const Plc& txt = kind == NoteKind::Footnote ? m_fndTxt : m_endTxt;
    const std::uint32_t base = kind == NoteKind::Footnote ? m_ftnBase : m_ednBase;
    const std::uint32_t limit = kind == NoteKind::Footnote ? m_hddBase : m_txbxBase;
    model::Note note;
    note.kind = kind == NoteKind::Footnote ? model::Note::Kind::Footnote : model::Note::Kind::Endnote;
    note.customMark = std::move(customMark);
    note.referenceProps = props;
    if (index + 1 < txt.cps.size() && ++m_noteCount <= kMaxNotes) {
        const std::uint32_t start = base + txt.cps[index];
        const std::uint32_t end = std::min(base + txt.cps[index + 1], limit);
        if (start < end && end <= m_ccpAll && !spendBudget(end - start)) {
            warnOnce("The document's notes are more text than the engine reads; the rest was left out");
        } else if (start < end && end <= m_ccpAll) {
            note.blocks = convertRange(start, end, kind == NoteKind::Footnote ? Story::Footnote : Story::Endnote, depth + 1);
        }
    }
    if (note.blocks.empty()) {
        Block b;
        b.value = model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}};
        note.blocks.push_back(std::move(b));
    }
    emitInline(Inline{std::move(note)});
}

void DocConverter::emitComment(std::size_t index, int depth) {
    model::Comment comment;
    if (m_commentHasRange.count(index)) comment.range = static_cast<int>(index);
    if (index < m_andRef.count()) {
        const Bytes atrd{m_andRef.data[index]};
        const std::size_t ibst = atrd.u16(20);
        if (ibst < m_commentAuthors.size()) comment.author = m_commentAuthors[ibst];
        const std::size_t initials = std::min<std::size_t>(atrd.u16(0), 9);
        comment.initials = m_fib.word6 ? std::string() : utf16ToUtf8(atrd.sub(2, 2 * initials));
    }
    if (index + 1 < m_andTxt.cps.size() && ++m_noteCount <= kMaxNotes) {
        const std::uint32_t start = m_atnBase + m_andTxt.cps[index];
        const std::uint32_t end = std::min(m_atnBase + m_andTxt.cps[index + 1], m_ednBase);
        if (start < end && end <= m_ccpAll && spendBudget(end - start)) {
            comment.blocks = convertRange(start, end, Story::Comment, depth + 1);
        }
    }
    if (comment.blocks.empty()) {
        Block b;
        b.value = model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}};
        comment.blocks.push_back(std::move(b));
    }
    emitInline(Inline{std::move(comment)});
}

// ---------------------------------------------------------------------------
// Tables

model::TableRow DocConverter::buildRow(std::vector<std::vector<Block>> cells, const Tap& tap, bool firstRow,
                                      std::vector<std::size_t>& openBottoms) {
    model::TableRow row;
    openBottoms.clear();
    row.height = tap.rowHeight;
    row.header = tap.header;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        model::Twips width = 0;
        const TableCellDef* def = nullptr;
        if (tap.defined && k < tap.cells.size()) {
            def = &tap.cells[k];
            if (k + 1 < tap.centers.size()) width = std::max(0, tap.centers[k + 1] - tap.centers[k]);
        }
        if (cells[k].empty()) {
            Block b;
            b.value = model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}};
            cells[k].push_back(std::move(b));
        }
        if (def && def->merged && !def->firstMerged && !row.cells.empty()) {
            model::TableCell& last = row.cells.back();
            last.gridSpan += 1;
            last.width += width;
            for (Block& b : cells[k]) {
                const auto* p = std::get_if<model::Paragraph>(&b.value);
                if (p && p->content.empty()) continue;
                last.blocks.push_back(std::move(b));
            }
            continue;
        }
        model::TableCell cell;
        cell.width = width;
        if (def) {
            if (def->vertRestart) cell.vmerge = model::VMerge::Start;
            else if (def->vertMerge) cell.vmerge = model::VMerge::Continue;
            cell.valign = def->vertAlign == 1 ? model::CellVAlign::Center : def->vertAlign == 2 ? model::CellVAlign::Bottom : model::CellVAlign::Top;
            cell.shading = def->shading;
            // Each side the cell leaves unstated takes the table's border for
            // where the cell stands; the bottom is the inner rule until the
            // table's last row is known.
            const auto side = [&](std::size_t i, std::size_t table) {
                return def->borders[i] ? *def->borders[i] : tap.borders[table];
            };
            const std::size_t lastCell = tap.cells.size() - 1;
            cell.borders.top = side(0, firstRow ? 0 : 4);
            cell.borders.left = side(1, k == 0 ? 1 : 5);
            cell.borders.bottom = side(2, 4);
            cell.borders.right = side(3, k >= lastCell ? 3 : 5);
            if (!def->borders[2]) openBottoms.push_back(row.cells.size());
        }
        cell.blocks = std::move(cells[k]);
        row.cells.push_back(std::move(cell));
    }
    return row;
}

void DocConverter::buildBlocks(std::vector<ParaItem>& items, std::size_t begin, std::size_t end, int level,
                               std::vector<Block>& out, int depth) {
    if (depth + level > m_limits.maxNesting) throw DocError("The document's tables nest too deeply to be read.");
    std::size_t i = begin;
    while (i < end) {
        if (items[i].itap <= level) {
            Block b;
            b.value = std::move(items[i].para);
            out.push_back(std::move(b));
            ++i;
            continue;
        }
        model::Table table;
        bool first = true;
        // The last row's cells without a bottom of their own, and its table bottom.
        std::vector<std::size_t> openBottoms;
        std::optional<model::Border> tableBottom;
        while (i < end && items[i].itap > level) {
            std::vector<std::vector<Block>> cells;
            std::size_t cellStart = i;
            Tap tap;
            bool ended = false;
            while (i < end && items[i].itap > level) {
                ParaItem& it = items[i];
                if (it.itap == level + 1 && it.rowEnd) {
                    tap = it.tap;
                    if (cellStart < i) {
                        // Content before the row end without a cell mark.
                        cells.emplace_back();
                        buildBlocks(items, cellStart, i, level + 1, cells.back(), depth);
                    }
                    ++i;
                    ended = true;
                    break;
                }
                if (it.itap == level + 1 && it.cellEnd) {
                    cells.emplace_back();
                    buildBlocks(items, cellStart, i + 1, level + 1, cells.back(), depth);
                    ++i;
                    cellStart = i;
                    continue;
                }
                ++i;
            }
            if (!ended && cellStart < i) {
                cells.emplace_back();
                buildBlocks(items, cellStart, i, level + 1, cells.back(), depth);
            }
            if (cells.empty()) continue;
            if (first && tap.defined) {
                table.indent = tap.centers.empty() ? 0 : tap.centers[0];  // the first cell's left edge
                table.alignment = tap.jc == 1 ? model::Alignment::Center : tap.jc == 2 ? model::Alignment::Right : model::Alignment::Left;
                first = false;
            }
            table.rows.push_back(buildRow(std::move(cells), tap, table.rows.empty(), openBottoms));
            tableBottom = tap.borders[2];
        }
        if (!table.rows.empty()) {
            model::TableRow& last = table.rows.back();
            for (const std::size_t c : openBottoms)
                if (c < last.cells.size()) last.cells[c].borders.bottom = tableBottom;
        }
        if (!table.rows.empty()) {
            // Cells span the columns of the grid all rows' edges make together.
            std::vector<std::vector<model::Twips>> edges;
            std::vector<model::Twips> grid;
            for (const model::TableRow& row : table.rows) {
                std::vector<model::Twips> e{0};
                for (const model::TableCell& cell : row.cells) e.push_back(e.back() + cell.width);
                grid.insert(grid.end(), e.begin(), e.end());
                edges.push_back(std::move(e));
            }
            std::sort(grid.begin(), grid.end());
            grid.erase(std::unique(grid.begin(), grid.end()), grid.end());
            if (grid.size() <= 64) {
                for (std::size_t r = 0; r < table.rows.size(); ++r) {
                    auto& cells = table.rows[r].cells;
                    for (std::size_t c = 0; c < cells.size(); ++c) {
                        if (cells[c].width <= 0) continue;
                        const auto from = std::upper_bound(grid.begin(), grid.end(), edges[r][c]);
                        const auto to = std::upper_bound(grid.begin(), grid.end(), edges[r][c + 1]);
                        cells[c].gridSpan = std::max<int>(1, static_cast<int>(to - from));
                    }
                }
            }
            Block b;
            b.value = std::move(table);
            out.push_back(std::move(b));
        }
    }
}

}  // namespace orvane::doc
