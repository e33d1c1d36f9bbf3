// The first step of reading a .doc: its structures as they are stored, before
// anything is turned into the document model. Each struct mirrors one of the
// file's tables (the file information block, the piece table, the stylesheet,
// formatting pages, fonts, sections, lists, ...); DocParse.cpp fills them.
//
// Word 97 and later ("Word 8") and Word 6/95 files are both described here;
// the older files' differences (one-byte property codes, 16-bit page numbers,
// 8-bit text) are noted where they matter.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::doc {

// Thrown for a document that cannot be read; the message is for the user.
class DocError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Little-endian reads that never pass the end: out of range reads give 0.
struct Bytes {
    std::string_view s;
    std::size_t size() const { return s.size(); }
    std::uint32_t u8(std::size_t at) const { return at < s.size() ? static_cast<unsigned char>(s[at]) : 0; }
    std::uint32_t u16(std::size_t at) const { return u8(at) | u8(at + 1) << 8; }
    std::uint32_t u32(std::size_t at) const { return u16(at) | u16(at + 2) << 16; }
    std::int32_t i16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }
    std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(u32(at)); }
    // A slice, clipped to what exists.
    std::string_view sub(std::size_t at, std::size_t n) const {
        if (at >= s.size()) return {};
        return s.substr(at, n);
    }
};

// Indices of the (offset, length) pairs of the file information block, in
// the order Word 97 stores them (Word 6/95 keep the same order for the first).
enum FibPair : int {
    kStshf = 1, kPlcffndRef = 2, kPlcffndTxt = 3, kPlcfandRef = 4, kPlcfandTxt = 5, kPlcfSed = 6,
    kPlcfHdd = 11, kPlcfBteChpx = 12, kPlcfBtePapx = 13, kSttbfFfn = 15, kSttbfBkmk = 21, kPlcfBkf = 22,
    kPlcfBkl = 23, kDop = 31, kClx = 33, kGrpXstAtnOwners = 36, kPlcSpaMom = 40, kPlcSpaHdr = 41,
    kPlcfendRef = 46, kPlcfendTxt = 47, kDggInfo = 50, kPlcftxbxTxt = 56, kPlcfHdrtxbxTxt = 58,
    kPlfLst = 73, kPlfLfo = 74, kSttbfRMark = 51, kSttbfAtnBkmk = 37, kPlcfAtnBkf = 42, kPlcfAtnBkl = 43
};

struct Fib {
    int nFib = 0;
    bool word6 = false;          // Word 6 or Word 95 (nFib 101..105)
    bool dot = false;            // a template
    bool complex = false;        // fast-saved
    bool encrypted = false;
    bool obfuscated = false;
    bool table1 = false;         // the table stream is 1Table (else 0Table)
    bool farEast = false;
    int lid = 0;                 // language the document was saved in
    std::uint32_t fcMin = 0;     // Word 6: where the text starts
    // Character counts of the stories, in the order they follow each other.
    std::int32_t ccpText = 0, ccpFtn = 0, ccpHdd = 0, ccpMcr = 0, ccpAtn = 0, ccpEdn = 0, ccpTxbx = 0,
                 ccpHdrTxbx = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;  // (fc, lcb)

    std::pair<std::uint32_t, std::uint32_t> pair(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < pairs.size() ? pairs[index] : std::pair<std::uint32_t, std::uint32_t>{0, 0};
    }
};

// One piece of the piece table: text positions [cpStart, cpEnd) stored at
// `fc` in the WordDocument stream, 8-bit (`compressed`) or UTF-16.
struct Piece {
    std::uint32_t cpStart = 0;
    std::uint32_t cpEnd = 0;
    std::uint32_t fc = 0;        // byte offset of the first character
    bool compressed = false;
    std::uint16_t prm = 0;       // property modifier: one sprm, or an index into the Prc list
};

struct Clx {
    std::vector<std::string_view> prcs;  // grpprls of the Prc entries
    std::vector<Piece> pieces;
};

// A stretch of the WordDocument stream with one set of direct formatting
// (from the character or paragraph formatting pages).
struct FkpRun {
    std::uint32_t fcStart = 0;
    std::uint32_t fcEnd = 0;
    std::string_view grpprl;     // sprms (for paragraphs, after the style index)
    int istd = 0;                // paragraphs only
};

// A style as stored: its kind, base, next, name and property exceptions.
struct StyleDef {
    bool empty = true;
    int sti = 0;                 // built-in style identifier
    int stk = 1;                 // 1 paragraph, 2 character, 3 table, 4 numbering
    int istdBase = 0x0FFF;
    int istdNext = 0x0FFF;
    std::string name;            // UTF-8
    std::string_view papx;       // grpprl of paragraph sprms
    std::string_view chpx;       // grpprl of character sprms
};

struct Stylesheet {
    std::vector<StyleDef> styles;
    int ftcAscii = 0, ftcFE = 0, ftcOther = 0, ftcBi = 0;  // default fonts
};

struct FontDef {
    std::string name;
    std::string altName;
    int family = 0;              // ff: 0 any, 1 roman, 2 swiss, 3 modern, 4 script, 5 decorative
    int pitch = 0;
    int charset = 0;
};

// A plain list of positions with fixed-size data (PLC).
struct Plc {
    std::vector<std::uint32_t> cps;   // n + 1 positions
    std::vector<std::string_view> data;  // n entries
    std::size_t count() const { return data.size(); }
};

struct LevelDef {
    int start = 1;
    int nfc = 0;
    int jc = 0;
    std::string_view numberText;    // UTF-16LE code units of the level text (without count)
    std::vector<int> placeholders;  // 1-based positions of the level numbers in the text
    int follow = 0;                 // 0 tab, 1 space, 2 nothing
    std::string_view papx;
    std::string_view chpx;
};

struct ListDef {
    std::uint32_t lsid = 0;
    bool simple = false;
    std::vector<LevelDef> levels;
};

struct ListOverride {
    std::uint32_t lsid = 0;
    struct Level {
        int ilvl = 0;
        std::optional<int> startAt;
        std::optional<LevelDef> format;
    };
    std::vector<Level> levels;
};

// Reading the structures (DocParse.cpp). All throw DocError for damage that
// makes the document unreadable and return what they can otherwise.
Fib parseFib(Bytes word);
Clx parseClx(Bytes table, const Fib& fib, Bytes word, std::uint32_t maxCp);
Stylesheet parseStylesheet(Bytes table, const Fib& fib);
std::vector<FontDef> parseFonts(Bytes table, const Fib& fib);
// The formatting runs of all pages listed in a bin table, sorted by position.
std::vector<FkpRun> parseFkps(Bytes word, Bytes table, const Fib& fib, bool paragraphs);
Plc parsePlc(Bytes table, std::uint32_t fc, std::uint32_t lcb, std::size_t dataSize);
// A string table (STTB): UTF-8 strings, with extra data per string if any.
std::vector<std::string> parseSttb(Bytes table, std::uint32_t fc, std::uint32_t lcb, bool word6);
void parseLists(Bytes table, const Fib& fib, std::vector<ListDef>& lists, std::vector<ListOverride>& overrides);

std::string utf16ToUtf8(std::string_view utf16le);

}  // namespace orvane::doc
