// Reading a .doc's tables into the structures of DocFormat.h. Every offset
// and count comes from the file, so each is checked against the stream it
// points into; bad ones shorten a table instead of reading past its end.
#include <algorithm>

#include "doc/DocFormat.h"
#include "encoding/Encoding.h"

namespace orvane::doc {

namespace {

constexpr std::size_t kMaxEntries = 1u << 20;  // bound for counts read from the file

// The stretch [fc, fc + lcb) of a stream, or empty when it does not fit.
Bytes region(Bytes stream, std::uint32_t fc, std::uint32_t lcb) {
    if (lcb == 0 || fc >= stream.size() || lcb > stream.size() - fc) return Bytes{};
    return Bytes{stream.s.substr(fc, lcb)};
}

std::string cp1252String(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        if (c == 0) break;
        encoding::appendUtf8(out, encoding::cp1252ToUnicode(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

std::string utf16ToUtf8(std::string_view s) {
    std::string out;
    const Bytes b{s};
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        char32_t c = b.u16(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < s.size()) {
            const char32_t low = b.u16(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        encoding::appendUtf8(out, c);
    }
    return out;
}

Fib parseFib(Bytes word) {
    if (word.size() < 68) throw DocError("The WordDocument stream is too short to hold a document.");
    Fib fib;
    const std::uint32_t ident = word.u16(0);
    fib.nFib = static_cast<int>(word.u16(2));
    fib.lid = static_cast<int>(word.u16(6));
    const std::uint32_t flags = word.u16(10);
    fib.dot = flags & 0x0001;
    fib.complex = flags & 0x0004;
    fib.encrypted = flags & 0x0100;
    fib.table1 = flags & 0x0200;
    fib.farEast = flags & 0x4000;
    fib.obfuscated = flags & 0x8000;
    if (ident == 0xA5DB || (fib.nFib > 0 && fib.nFib < 101)) {
        throw DocError("The file is a Word 2.0 (or older) document, which this version cannot read.");
    }
    if (ident != 0xA5EC && ident != 0xA5DC) {
        throw DocError("The WordDocument stream does not start with a Word file information block.");
    }
    fib.word6 = fib.nFib >= 101 && fib.nFib <= 105;
    if (fib.word6) {
        fib.fcMin = word.u32(0x18);
        fib.ccpText = word.i32(0x34);
        fib.ccpFtn = word.i32(0x38);
        fib.ccpHdd = word.i32(0x3C);
        fib.ccpMcr = word.i32(0x40);
        fib.ccpAtn = word.i32(0x44);
        fib.ccpEdn = word.i32(0x48);
        fib.ccpTxbx = word.i32(0x4C);
        fib.ccpHdrTxbx = word.i32(0x50);
        for (int i = 0; i <= 37; ++i) {
            const std::size_t at = 0x58 + 8 * static_cast<std::size_t>(i);
            fib.pairs.emplace_back(word.u32(at), word.u32(at + 4));
        }
        fib.table1 = false;
        return fib;
    }
    const std::size_t csw = word.u16(32);
    const std::size_t lwAt = 34 + 2 * csw;
    const std::size_t cslw = word.u16(lwAt);
    const std::size_t lw = lwAt + 2;
    if (cslw < 11) throw DocError("The file information block is damaged (too few counts).");
    fib.ccpText = word.i32(lw + 12);
    fib.ccpFtn = word.i32(lw + 16);
    fib.ccpHdd = word.i32(lw + 20);
    fib.ccpMcr = word.i32(lw + 24);  // reserved since Word 97, zero in practice
    fib.ccpAtn = word.i32(lw + 28);
    fib.ccpEdn = word.i32(lw + 32);
    fib.ccpTxbx = word.i32(lw + 36);
    fib.ccpHdrTxbx = word.i32(lw + 40);
    const std::size_t fcAt = lw + 4 * cslw;
    const std::size_t count = std::min<std::size_t>(word.u16(fcAt), 200);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = fcAt + 2 + 8 * i;
        if (at + 8 > word.size()) break;
        fib.pairs.emplace_back(word.u32(at), word.u32(at + 4));
    }
    return fib;
}

Clx parseClx(Bytes table, const Fib& fib, Bytes word, std::uint32_t maxCp) {
    Clx clx;
    const auto [fc, lcb] = fib.pair(kClx);
    const Bytes data = region(table, fc, lcb);
    if (data.size() == 0) {
        if (!fib.word6) throw DocError("The document has no piece table, so its text cannot be found.");
        // A Word 6 file saved in full: the text follows fcMin, one byte a character.
        Piece p;
        p.cpStart = 0;
        p.cpEnd = maxCp;
        p.fc = fib.fcMin;
        p.compressed = true;
        clx.pieces.push_back(p);
        return clx;
    }
    std::size_t at = 0;
    while (at < data.size()) {
        const std::uint32_t type = data.u8(at);
        if (type == 1) {
            const std::size_t cb = data.u16(at + 1);
            if (at + 3 + cb > data.size()) throw DocError("The piece table is damaged (a property list runs past its end).");
            clx.prcs.push_back(data.sub(at + 3, cb));
            at += 3 + cb;
            if (clx.prcs.size() > kMaxEntries) throw DocError("The piece table is damaged (too many property lists).");
        } else if (type == 2) {
            const std::size_t plcLength = data.u32(at + 1);
            const Bytes plc{data.sub(at + 5, plcLength)};
            if (plc.size() < plcLength || plcLength < 16) throw DocError("The piece table is damaged (cut short).");
            const std::size_t n = (plcLength - 4) / 12;
            std::uint32_t previous = 0;
            for (std::size_t i = 0; i < n; ++i) {
                Piece p;
                p.cpStart = plc.u32(4 * i);
                p.cpEnd = plc.u32(4 * (i + 1));
                const std::size_t pcd = 4 * (n + 1) + 8 * i;
                std::uint32_t pfc = plc.u32(pcd + 2);
                p.prm = static_cast<std::uint16_t>(plc.u16(pcd + 6));
                if (fib.word6) {
                    p.fc = pfc;
                    p.compressed = true;
                } else {
                    p.compressed = pfc & 0x40000000u;
                    p.fc = p.compressed ? (pfc & ~0x40000000u) / 2 : pfc;
                }
                if (p.cpStart < previous || p.cpEnd <= p.cpStart) continue;  // out of order: skip
                if (p.cpStart >= maxCp) break;
                p.cpEnd = std::min(p.cpEnd, maxCp);
                const std::uint64_t bytesNeeded = static_cast<std::uint64_t>(p.cpEnd - p.cpStart) * (p.compressed ? 1 : 2);
                if (p.fc >= word.size() || bytesNeeded > word.size() - p.fc) {
                    throw DocError("The piece table is damaged (a piece of text lies outside the document stream).");
                }
                previous = p.cpEnd;
                clx.pieces.push_back(p);
            }
            break;
        } else {
            throw DocError("The piece table is damaged (unknown entry).");
        }
    }
    if (clx.pieces.empty()) throw DocError("The piece table holds no text.");
    return clx;
}

Stylesheet parseStylesheet(Bytes table, const Fib& fib) {
    Stylesheet sheet;
    const auto [fc, lcb] = fib.pair(kStshf);
    const Bytes data = region(table, fc, lcb);
    if (data.size() < 4) return sheet;
    const std::size_t cbStshi = data.u16(0);
    const std::size_t cstd = std::min<std::size_t>(data.u16(2), 4095);
    const std::size_t cbBase = data.u16(4);
    if (cbStshi >= 16) sheet.ftcAscii = static_cast<int>(data.u16(2 + 12));
    if (cbStshi >= 18) sheet.ftcFE = static_cast<int>(data.u16(2 + 14));
    if (cbStshi >= 20) sheet.ftcOther = static_cast<int>(data.u16(2 + 16));
    if (cbStshi >= 22) sheet.ftcBi = static_cast<int>(data.u16(2 + 18));
    if (fib.word6) sheet.ftcFE = sheet.ftcOther = sheet.ftcBi = sheet.ftcAscii;
    std::size_t at = 2 + cbStshi;
    for (std::size_t i = 0; i < cstd && at + 2 <= data.size(); ++i) {
        const std::size_t cbStd = data.u16(at);
        const Bytes std_{data.sub(at + 2, cbStd)};
        at += 2 + cbStd;
        StyleDef def;
        if (cbStd == 0 || std_.size() < cbStd || cbStd < cbBase) {
            sheet.styles.push_back(def);
            continue;
        }
        def.empty = false;
        def.sti = static_cast<int>(std_.u16(0) & 0x0FFF);
        def.stk = static_cast<int>(std_.u16(2) & 0x000F);
        def.istdBase = static_cast<int>(std_.u16(2) >> 4);
        const int cupx = static_cast<int>(std_.u16(4) & 0x000F);
        def.istdNext = static_cast<int>(std_.u16(4) >> 4);
        std::size_t p = cbBase;
        if (fib.word6) {
            const std::size_t cch = std_.u8(p);
            def.name = cp1252String(std_.sub(p + 1, cch));
            p += 1 + cch + 1;
        } else {
            const std::size_t cch = std_.u16(p);
            def.name = utf16ToUtf8(std_.sub(p + 2, 2 * cch));
            p += 2 + 2 * cch + 2;
        }
        std::vector<std::string_view> upx;
        for (int u = 0; u < cupx && u < 3; ++u) {
            if (p % 2) ++p;
            const std::size_t cbUpx = std_.u16(p);
            upx.push_back(std_.sub(p + 2, cbUpx));
            p += 2 + cbUpx;
        }
        const auto papxOf = [&](std::string_view x) { return x.size() >= 2 ? x.substr(2) : std::string_view{}; };
        if (def.stk == 1) {
            if (upx.size() > 0) def.papx = papxOf(upx[0]);
            if (upx.size() > 1) def.chpx = upx[1];
        } else if (def.stk == 2) {
            if (upx.size() > 0) def.chpx = upx[0];
        } else if (def.stk == 3) {
            if (upx.size() > 1) def.papx = papxOf(upx[1]);
            if (upx.size() > 2) def.chpx = upx[2];
        }
        sheet.styles.push_back(std::move(def));
    }
    return sheet;
}

std::vector<FontDef> parseFonts(Bytes table, const Fib& fib) {
    std::vector<FontDef> fonts;
    const auto [fc, lcb] = fib.pair(kSttbfFfn);
    const Bytes data = region(table, fc, lcb);
    if (data.size() < 4) return fonts;
    if (fib.word6) {
        const std::size_t total = std::min<std::size_t>(data.u16(0), data.size());
        std::size_t at = 2;
        while (at < total && fonts.size() < 4096) {
            const std::size_t length = data.u8(at) + 1;
            const Bytes ffn{data.sub(at, length)};
            at += length;
            if (ffn.size() < 7) break;
            FontDef f;
            const std::uint32_t ffid = ffn.u8(1);
            f.pitch = static_cast<int>(ffid & 3);
            f.family = static_cast<int>((ffid >> 4) & 7);
            f.charset = static_cast<int>(ffn.u8(4));
            const std::string_view names = ffn.sub(6, length - 6);
            f.name = cp1252String(names);
            const std::size_t alt = ffn.u8(5);
            if (alt > 0 && alt < names.size()) f.altName = cp1252String(names.substr(alt));
            fonts.push_back(std::move(f));
        }
        return fonts;
    }
    std::size_t count = data.u16(0);
    std::size_t at = 4;
    if (count == 0xFFFF) {
        count = data.u16(2);
        at = 6;
    }
    for (std::size_t i = 0; i < count && at < data.size() && fonts.size() < 4096; ++i) {
        const std::size_t length = data.u8(at);
        const Bytes ffn{data.sub(at + 1, length)};
        at += 1 + length;
        if (ffn.size() < 40) {
            fonts.emplace_back();
            continue;
        }
        FontDef f;
        const std::uint32_t ffid = ffn.u8(0);
        f.pitch = static_cast<int>(ffid & 3);
        f.family = static_cast<int>((ffid >> 4) & 7);
        f.charset = static_cast<int>(ffn.u8(3));
        const std::size_t alt = ffn.u8(4);
        std::string_view names = ffn.sub(39, ffn.size() - 39);
        std::size_t end = 0;
        while (end + 1 < names.size() && (names[end] != 0 || names[end + 1] != 0)) end += 2;
        f.name = utf16ToUtf8(names.substr(0, end));
        if (alt > 0 && 2 * alt < names.size()) {
            std::string_view rest = names.substr(2 * alt);
            std::size_t e = 0;
            while (e + 1 < rest.size() && (rest[e] != 0 || rest[e + 1] != 0)) e += 2;
            f.altName = utf16ToUtf8(rest.substr(0, e));
        }
        fonts.push_back(std::move(f));
    }
    return fonts;
}

std::vector<FkpRun> parseFkps(Bytes word, Bytes table, const Fib& fib, bool paragraphs) {
    std::vector<FkpRun> runs;
    const auto [fc, lcb] = fib.pair(paragraphs ? kPlcfBtePapx : kPlcfBteChpx);
    const Bytes bte = region(table, fc, lcb);
    if (bte.size() < 4) return runs;
    const std::size_t pnSize = fib.word6 ? 2 : 4;
    const std::size_t n = (bte.size() - 4) / (4 + pnSize);
    const std::size_t bxSize = fib.word6 ? 7 : 13;
    std::vector<std::uint32_t> seen;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t pn = fib.word6 ? bte.u16(4 * (n + 1) + 2 * i) : (bte.u32(4 * (n + 1) + 4 * i) & 0x3FFFFF);
        if (std::find(seen.begin(), seen.end(), pn) != seen.end()) continue;  // a page listed twice
        seen.push_back(pn);
        const Bytes page{word.sub(static_cast<std::size_t>(pn) * 512, 512)};
        if (page.size() < 512) continue;
        const std::size_t crun = page.u8(511);
        if (4 * (crun + 1) + crun * (paragraphs ? bxSize : 1) > 511) continue;
        for (std::size_t r = 0; r < crun; ++r) {
            FkpRun run;
            run.fcStart = page.u32(4 * r);
            run.fcEnd = page.u32(4 * (r + 1));
            if (run.fcEnd <= run.fcStart) continue;
            if (paragraphs) {
                const std::size_t offset = 2 * page.u8(4 * (crun + 1) + r * bxSize);
                if (offset == 0) continue;
                if (fib.word6) {
                    const std::size_t length = 2 * page.u8(offset);
                    const std::string_view body = page.sub(offset + 1, std::min<std::size_t>(length, 511 - std::min<std::size_t>(511, offset + 1)));
                    if (body.empty()) continue;
                    run.istd = static_cast<unsigned char>(body[0]);
                    run.grpprl = body.substr(1);
                } else {
                    std::size_t length = 2 * page.u8(offset);
                    std::size_t start = offset + 1;
                    if (length == 0) {
                        length = 2 * page.u8(offset + 1);
                        start = offset + 2;
                    } else {
                        length -= 1;
                    }
                    if (start >= 511) continue;
                    const std::string_view body = page.sub(start, std::min<std::size_t>(length, 511 - start));
                    if (body.size() < 2) continue;
                    run.istd = static_cast<int>(Bytes{body}.u16(0));
                    run.grpprl = body.substr(2);
                }
            } else {
                const std::size_t offset = 2 * page.u8(4 * (crun + 1) + r);
                if (offset != 0 && offset < 511) {
                    const std::size_t length = page.u8(offset);
                    run.grpprl = page.sub(offset + 1, std::min<std::size_t>(length, 511 - (offset + 1)));
                }
            }
            runs.push_back(run);
        }
        if (runs.size() > kMaxEntries) break;
    }
    std::stable_sort(runs.begin(), runs.end(), [](const FkpRun& a, const FkpRun& b) { return a.fcStart < b.fcStart; });
    return runs;
}

Plc parsePlc(Bytes table, std::uint32_t fc, std::uint32_t lcb, std::size_t dataSize) {
    Plc plc;
    const Bytes data = region(table, fc, lcb);
    if (data.size() < 4) return plc;
    const std::size_t n = (data.size() - 4) / (4 + dataSize);
    if (n > kMaxEntries) return plc;
    for (std::size_t i = 0; i <= n; ++i) plc.cps.push_back(data.u32(4 * i));
    for (std::size_t i = 0; i < n; ++i) plc.data.push_back(data.sub(4 * (n + 1) + dataSize * i, dataSize));
    return plc;
}

std::vector<std::string> parseSttb(Bytes table, std::uint32_t fc, std::uint32_t lcb, bool word6) {
    std::vector<std::string> out;
    const Bytes data = region(table, fc, lcb);
    if (data.size() < 2) return out;
    if (word6) {
        const std::size_t total = std::min<std::size_t>(data.u16(0), data.size());
        std::size_t at = 2;
        while (at < total && out.size() < kMaxEntries) {
            const std::size_t cch = data.u8(at);
            out.push_back(cp1252String(data.sub(at + 1, cch)));
            at += 1 + cch;
        }
        return out;
    }
    const bool extended = data.u16(0) == 0xFFFF;
    std::size_t at = extended ? 2 : 0;
    const std::size_t count = std::min<std::size_t>(data.u16(at), kMaxEntries);
    const std::size_t cbExtra = data.u16(at + 2);
    at += 4;
    for (std::size_t i = 0; i < count && at < data.size(); ++i) {
        if (extended) {
            const std::size_t cch = data.u16(at);
            out.push_back(utf16ToUtf8(data.sub(at + 2, 2 * cch)));
            at += 2 + 2 * cch + cbExtra;
        } else {
            const std::size_t cch = data.u8(at);
            out.push_back(cp1252String(data.sub(at + 1, cch)));
            at += 1 + cch + cbExtra;
        }
    }
    return out;
}

namespace {

// One LVL: the fixed part, its sprms and its number text. Returns the size read.
std::size_t parseLevel(Bytes data, std::size_t at, LevelDef& level) {
    level.start = data.i32(at);
    level.nfc = static_cast<int>(data.u8(at + 4));
    level.jc = static_cast<int>(data.u8(at + 5) & 3);
    for (int i = 0; i < 9; ++i) {
        const int pos = static_cast<int>(data.u8(at + 6 + i));
        if (pos == 0) break;
        level.placeholders.push_back(pos);
    }
    level.follow = static_cast<int>(data.u8(at + 15));
    const std::size_t cbChpx = data.u8(at + 24);
    const std::size_t cbPapx = data.u8(at + 25);
    std::size_t p = at + 28;
    level.papx = data.sub(p, cbPapx);
    p += cbPapx;
    level.chpx = data.sub(p, cbChpx);
    p += cbChpx;
    const std::size_t cch = data.u16(p);
    level.numberText = data.sub(p + 2, 2 * cch);
    p += 2 + 2 * cch;
    return p - at;
}

}  // namespace

void parseLists(Bytes table, const Fib& fib, std::vector<ListDef>& lists, std::vector<ListOverride>& overrides) {
    if (fib.word6) return;
    {
        const auto [fc, lcb] = fib.pair(kPlfLst);
        const Bytes data = region(table, fc, lcb);
        if (data.size() >= 2) {
            const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, data.i16(0))), 4096);
            std::size_t at = 2 + 28 * count;
            for (std::size_t i = 0; i < count && 2 + 28 * (i + 1) <= data.size(); ++i) {
                ListDef list;
                list.lsid = data.u32(2 + 28 * i);
                list.simple = data.u8(2 + 28 * i + 26) & 1;
                lists.push_back(list);
            }
            // The levels follow the list entries in the table stream itself;
            // the length given for the list table often leaves them out.
            const Bytes all{table.s.substr(std::min<std::size_t>(fc, table.size()))};
            for (ListDef& list : lists) {
                const int n = list.simple ? 1 : 9;
                for (int l = 0; l < n && at + 28 <= all.size(); ++l) {
                    LevelDef level;
                    at += parseLevel(all, at, level);
                    list.levels.push_back(level);
                }
            }
        }
    }
    {
        const auto [fc, lcb] = fib.pair(kPlfLfo);
        const Bytes data = region(table, fc, lcb);
        if (data.size() >= 4) {
            const std::size_t count = std::min<std::size_t>(data.u32(0), 32768);
            std::vector<int> levelCounts;
            for (std::size_t i = 0; i < count && 4 + 16 * (i + 1) <= data.size(); ++i) {
                ListOverride o;
                o.lsid = data.u32(4 + 16 * i);
                levelCounts.push_back(static_cast<int>(data.u8(4 + 16 * i + 12)));
                overrides.push_back(o);
            }
            const Bytes all{table.s.substr(std::min<std::size_t>(fc, table.size()))};
            std::size_t at = 4 + 16 * overrides.size();
            for (std::size_t i = 0; i < overrides.size() && at < all.size(); ++i) {
                at += 4;  // cp, unused (one entry parallel to each override)
                for (int l = 0; l < levelCounts[i] && l < 9 && at + 8 <= all.size(); ++l) {
                    ListOverride::Level level;
                    const std::int32_t startAt = all.i32(at);
                    const std::uint32_t flags = all.u32(at + 4);
                    at += 8;
                    level.ilvl = static_cast<int>(flags & 0xF);
                    if (flags & 0x10) level.startAt = startAt;
                    if (flags & 0x20) {
                        LevelDef def;
                        at += parseLevel(all, at, def);
                        if (def.start != 0 || !level.startAt) level.startAt = def.start;
                        level.format = def;
                    }
                    overrides[i].levels.push_back(level);
                }
            }
        }
    }
}

}  // namespace orvane::doc
