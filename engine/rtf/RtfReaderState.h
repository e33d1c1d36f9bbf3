// The inside of the RTF reader, for the files of rtf/ only: what every group
// saves and restores, where text goes (the body, a header, a note, a text box),
// what is half read when its group ends (a font, a style, a list level, a
// picture, a shape, a table row), and the Reader class that keeps it all.
// Each of the reader's files defines the members of one part; the class says
// which file holds what.
//
// The reader keeps to a namespace of its own inside orvane::rtf (which the
// tokenizer and the RTF writer share), so its names cannot clash with the
// writer's.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "encoding/CodePages.h"
#include "encoding/Encoding.h"
#include "reader/Reader.h"
#include "rtf/RtfKeywords.h"
#include "rtf/RtfTokenizer.h"

namespace orvane::rtf::reader {

using namespace model;
using encoding::CodePage;
using encoding::appendUtf8;

// ---------------------------------------------------------------------------
// Reader state

enum class Dest : std::uint8_t {
    Body,          // document text into the current text context
    Skip,          // ignored along with every nested group
    NoText,        // control words count, text does not (shape properties, objects)
    FontTable,
    FontAlt,
    ColorTable,
    StyleSheet,
    StyleEntry,
    ListTable,
    List,
    ListLevel,
    LevelText,
    ListOverrideTable,
    ListOverride,
    Info,
    InfoText,
    InfoTime,
    FieldInst,
    Bookmark,
    Pict,
    Defaults,      // {\*\defchp} / {\*\defpap}
    Capture,       // short text kept for its group's end: comment details, shape properties
    RevisionTable, // {\*\revtbl}: the authors of tracked changes
};

// What has to happen when a group ends.
enum class Role : std::uint8_t {
    None,
    ShapePicture,
    FontTable,
    FontEntry,
    StyleSheet,
    StyleEntry,
    List,
    ListLevel,
    LevelText,
    ListOverride,
    InfoTime,
    Field,
    Bookmark,
    Pict,
    Context,
    DefChp,
    DefPap,
    Shppict,
    Shape,
    Capture,
    RevisionEntry,
};

// What a Dest::Capture group holds.
enum class Capture : std::uint8_t { Initials, Author, Ref, Date, RangeStart, RangeEnd, PropName, PropValue };

enum class InfoField : std::uint8_t { Title, Subject, Author, Keywords, Comments };

// Tracked-change marks as the character properties state them; turned into a
// model::Revision when a run ends.
struct RevisionMarks {
    bool inserted = false;
    bool deleted = false;
    int author = 0;               // \revauth: entry of the revision table
    int deleteAuthor = 0;         // \revauthdel
    std::int64_t date = 0;        // \revdttm, Word's packed date; 0 unknown
    std::int64_t deleteDate = 0;  // \revdttmdel
    bool operator==(const RevisionMarks&) const = default;
};

// The state RTF saves and restores with every group.
struct GroupState {
    Dest dest = Dest::Body;
    Role role = Role::None;
    int roleData = 0;
    int destData = 0;             // which info field, for Dest::InfoText
    int ctx = 0;                  // index of the text context this group writes to
    CharProps chars;
    RevisionMarks revision;
    ParaProps para;
    int uc = 1;                   // fallback characters after \uN
    int slValue = 0;              // \sl as written, to combine with \slmult
    bool slMult = false;
    int lsNum = 0;                // \ls and \ilvl as written; resolved when a paragraph ends
    int ilvl = 0;
    bool intbl = false;
    int itap = 0;
    TabKind tabKind = TabKind::Left;
    TabLeader tabLeader = TabLeader::None;
    std::uint8_t charClass = 0;   // 0 \loch, 1 \hich, 2 \dbch
    bool rtlch = false;
    bool fontSeen = false;        // a \f inside a list level
    bool inNestProps = false;
    bool fieldInInstruction = false;  // a \field nested in another field's instruction
    // Not inherited by child groups:
    bool starPending = false;
    bool uprChild = false;
    bool isUpr = false;
    bool sawShapeInstance = false;
    // The text context's size when the group opened: text since then right
    // before a \footnote is the note's own mark.
    std::size_t openRun = 0;
    std::size_t openContent = 0;
};

struct FieldFrame {
    std::string instruction;
    std::vector<Inline> result;
    bool broken = false;          // the result ran past a paragraph end
    bool spanning = false;        // broken, and read as FieldStart ... FieldEnd
};

struct TableLevel {
    Table table;
    std::vector<TableCell> rowCells;
    std::vector<Block> cellBlocks;
    bool any = false;
};

enum class ContextKind : std::uint8_t {
    Body, Header, HeaderFirst, HeaderEven, Footer, FooterFirst, FooterEven, Aside, Note, Comment, ShapeText
};

// Where text goes: the body, a header or footer, or the text of a note or
// text box. Each keeps its own paragraph, fields and open tables.
struct TextContext {
    ContextKind kind = ContextKind::Body;
    std::vector<Block> blocks;
    std::vector<Inline> content;  // the paragraph being read
    std::string runText;          // text not yet turned into a TextRun
    CharProps runProps;
    RevisionMarks runRevision;
    std::vector<FieldFrame> fields;
    std::vector<TableLevel> tables;
    std::vector<Block> asides;    // notes and text boxes waiting for their paragraph to end
    bool paraStarted = false;     // a \pard since the last paragraph ended
    // The last paragraph ended: its table level and place in its container.
    int lastParaLevel = -1;
    std::size_t lastParaIndex = 0;
    // A \chftn waiting for its \footnote, with its formatting.
    bool markPending = false;
    CharProps markProps;
    // Of a note: its kind and mark; of a comment: what its group said.
    bool endnote = false;
    bool customMarkSet = false;
    std::string customMark;
    std::string commentRef;
    std::string commentDate;
    std::string initials;
    std::string author;
};

// A \shp being read: what becomes of it is decided when its group ends.
struct ShapeState {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    int bx = -1, by = -1;         // 0 margin, 1 page, 2 column or paragraph
    int wrap = -1;                // \shpwr
    bool belowText = false;
    std::unordered_map<std::string, std::int64_t> props;
    bool hasText = false;
    bool hasPicture = false;      // a picture shape: its text, if any, is a copy of the picture
    bool inPicture = false;       // inside its pib value: the picture read there is the shape's
    std::optional<Image> picture;
    std::vector<Block> text;
    std::optional<std::int64_t> prop(const std::string& name) const {
        const auto it = props.find(name);
        if (it == props.end()) return std::nullopt;
        return it->second;
    }
};

struct CellDef {
    Twips right = 0;
    VMerge vmerge = VMerge::None;
    CellVAlign valign = CellVAlign::Top;
    std::optional<Rgb> shading;
    BoxBorders borders;
    bool bordersGiven = false;  // any \clbrdr word: the row's borders do not stand in
    bool mergeFirst = false;
    bool mergeContinue = false;
};

// What the border words after \brdrt, \clbrdrl, \trbrdrh ... describe.
enum class BorderTarget {
    None, ParaTop, ParaLeft, ParaBottom, ParaRight, ParaBetween, ParaBox,
    CellTop, CellLeft, CellBottom, CellRight,
    RowTop, RowLeft, RowBottom, RowRight, RowInsideH, RowInsideV
};

struct RowDef {
    std::vector<CellDef> cells;
    CellDef pending;
    // \trbrdr*: the table's outer borders and its inner rules, for cells
    // that state none of their own.
    BoxBorders outer;
    Rare<Border> insideH, insideV;
    Twips left = 0;
    Twips height = 0;
    bool header = false;
    Alignment alignment = Alignment::Left;
    std::optional<Twips> gap;                    // \trgaph: left and right padding when no \trpadd says
    std::array<std::optional<Twips>, 4> padding; // \trpaddl, \trpaddt, \trpaddr, \trpaddb
    std::array<int, 4> paddingUnits{3, 3, 3, 3}; // \trpaddf*: 3 twips, 0 ignore the value

    CellPadding cellPadding() const {
        CellPadding pad;
        auto side = [&](int i, Twips fallback) {
            return padding[i] && paddingUnits[i] == 3 ? *padding[i] : fallback;
        };
        pad.left = side(0, gap.value_or(pad.left));
        pad.top = side(1, pad.top);
        pad.right = side(2, gap.value_or(pad.right));
        pad.bottom = side(3, pad.bottom);
        return pad;
    }
};

struct FontEntry {
    bool open = false;
    int number = 0;
    Font font;
    int codePage = 0;
    bool hasCodePage = false;
};

struct StyleEntry {
    int number = 0;
    StyleType type = StyleType::Paragraph;
    std::optional<int> basedOn;
    std::optional<int> next;
    std::string name;
    bool nameDone = false;
    bool skip = false;
};

struct PendingStyle {
    int number = 0;  // the style's own \sN
    std::optional<int> basedOn;
    std::optional<int> next;
    int lsNum = 0;
    int ilvl = 0;
};

struct PictState {
    bool active = false;
    int format = -1;              // -1 unknown, else ImageFormat, 100 a kind we cannot keep
    std::string unsupportedKind;
    std::string data;
    int hexHigh = -1;
    std::int64_t picw = 0, pich = 0, goalw = 0, goalh = 0, scalex = 100, scaley = 100;
};

struct TimeParts {
    int yr = 0, mo = 0, dy = 0, hr = 0, min = 0, sec = 0;
};

constexpr int kMaxTabs = 64;
constexpr std::size_t kMaxCellDefs = 1000;
constexpr int kMaxListLevels = 9;
constexpr std::size_t kMaxRevisionAuthors = 65536;

// Word's packed date (DTTM): minutes, hours, day, month, years since 1900;
// the weekday in the top bits is left out. Empty when it is no date.
std::string isoFromPackedDate(std::int64_t v);

// Builds the element in place: constructing a variant from a temporary makes
// GCC 12 warn about members it believes uninitialised.
template <class T>
void appendInline(std::vector<Inline>& v, T&& x) {
    v.emplace_back().value.template emplace<std::decay_t<T>>(std::forward<T>(x));
}

inline std::string trimmed(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
    return std::string(s.substr(a, b - a));
}

inline Twips clampTwips(std::int64_t v) {
    constexpr std::int64_t kLimit = 31680 * 100;  // a hundred times the largest page Word allows
    return static_cast<Twips>(std::clamp<std::int64_t>(v, -kLimit, kLimit));
}

// ---------------------------------------------------------------------------

class Reader {
public:
    Reader(std::string_view bytes, const ReadLimits& limits) : m_tz(bytes), m_limits(limits) {}
    ReadResult run();

private:
    GroupState& top() { return m_stack.back(); }
    TextContext& ctxOf(const GroupState& g) { return *m_contexts[static_cast<std::size_t>(g.ctx)]; }
    void fail(std::string message) {
        if (!m_failed) m_error = std::move(message);
        m_failed = true;
    }
    void warnOnce(const std::string& message) {
        if (std::find(m_warnings.begin(), m_warnings.end(), message) == m_warnings.end())
            m_warnings.push_back(message);
    }

    // Tokens, groups and the dispatch of control words (RtfReader.cpp)
    void handleToken(const RtfToken& t);
    void openGroup();
    void closeGroup();
    void skipGroup();
    void handleWord(const RtfToken& t);

    // Text and code pages (RtfText.cpp)
    void handleText(std::string_view text);
    void handleByte(std::uint8_t byte, bool fromHex);
    void handleSymbol(char symbol);
    bool handleSpecialChar(Kw k, GroupState& g);
    bool handleTextWord(Kw k, const RtfToken& t, GroupState& g);
    void emit(char32_t c);
    void emitChar(char32_t c);
    void appendBodyText(std::string_view utf8);
    void flushPendingLead();
    const CodePage* codePageFor(const GroupState& g, bool& symbol);
    const CodePage* pageByNumber(int number);

    // Character formatting and tracked changes (RtfCharacters.cpp)
    bool handleCharWord(Kw k, const RtfToken& t, GroupState& g);
    void resetChars(GroupState& g);
    std::optional<Revision> revisionOf(const RevisionMarks& marks) const;

    // Paragraph formatting; runs into paragraphs and paragraphs into the
    // blocks or table cell they belong to (RtfParagraphs.cpp)
    bool handleParaWord(Kw k, const RtfToken& t, GroupState& g);
    void resetPara(GroupState& g);
    void applyLineSpacing(GroupState& g);
    // Whether the text since the last paragraph end makes a paragraph. An empty
    // one counts only when a \pard began it: "\par\sect" ends one paragraph,
    // "\par\pard\sect" two, as in Word.
    bool hasPendingParagraph(const TextContext& ctx) const {
        return !ctx.content.empty() || !ctx.runText.empty() || ctx.paraStarted;
    }
    void flushRun(TextContext& ctx);
    std::vector<Inline>& inlineTarget(TextContext& ctx);
    std::vector<Inline>* lastParagraphContent(TextContext& ctx);
    template <class T>
    void insertInline(TextContext& ctx, T&& item);
    void endParagraph(TextContext& ctx, int level);
    std::vector<Block>& containerFor(TextContext& ctx, int level);
    void finishContextBlocks(TextContext& ctx);

    // Fields and bookmarks (RtfFields.cpp)
    bool handleFieldWord(Kw k, GroupState& g);
    void breakFields(TextContext& ctx);
    void finishField(GroupState& g);
    void finishBookmark(GroupState& g);

    // Tables (RtfTables.cpp)
    bool handleTableWord(Kw k, const RtfToken& t, GroupState& g);
    bool handleBorderWord(Kw k, const RtfToken& t, GroupState& g);
    void setBorder(GroupState& g, const std::optional<Border>& value);
    // Applies `change` to the border the last side word named, making it first.
    template <typename Change>
    void changeBorder(GroupState& g, Change change);
    RowDef& currentRowDef();
    int itapOf(const GroupState& g) const { return g.intbl ? std::max(1, g.itap) : 0; }
    void closeTables(TextContext& ctx, std::size_t keep);
    void endCell(TextContext& ctx, int level);
    void endRow(TextContext& ctx, int level);
    void finishRow(TableLevel& tl, int level);

    // The font and colour tables, the style sheet and the authors of tracked
    // changes (RtfHeaderTables.cpp)
    bool handleHeaderTableWord(Kw k, const RtfToken& t, GroupState& g);
    void finishFontEntry();
    void orderFonts();
    int fontIndexOf(int number) const;
    std::optional<Rgb> color(std::int32_t index) const;
    void finishColorTableGroup(const GroupState& g);
    void finishStyleEntry(GroupState& g);
    void orderStyles();
    void resolveStyles();
    void finishRevisionEntry();

    // Lists (RtfLists.cpp)
    bool handleListWord(Kw k, const RtfToken& t, GroupState& g);
    void finishList();
    void finishListLevel(GroupState& g);
    void finishLevelText();
    void finishListOverride();

    // Headers and footers, notes, comments and text boxes: text contexts of
    // their own (RtfStories.cpp)
    bool handleStoryWord(Kw k, GroupState& g);
    void beginCapture(GroupState& g, Capture what);
    void finishCapture(GroupState& g);
    void finishContext(GroupState& g);
    int rangeId(const std::string& name);

    // Pictures (RtfPictures.cpp)
    bool handlePictureWord(Kw k, const RtfToken& t, GroupState& g);
    void finishPict(GroupState& g);

    // Shapes and objects (RtfShapes.cpp)
    bool handleObjectWord(Kw k, GroupState& g);
    bool handleShapeWord(std::string_view name, const RtfToken& t);
    void finishShapeCapture(Capture what, std::string text);
    void finishShape(GroupState& g);

    // Document settings, the info group, sections and the end of the
    // document (RtfDocument.cpp)
    bool handleDocumentWord(Kw k, const RtfToken& t, GroupState& g);
    bool handleSectionWord(Kw k, const RtfToken& t);
    bool handleNoteSettingWord(std::string_view name, const RtfToken& t);
    void finishInfoTime(GroupState& g);
    void finishDefaultChars(GroupState& g);
    void finishDefaultPara(GroupState& g);
    void endSection(bool last);
    void finishDocument();

    RtfTokenizer m_tz;
    const ReadLimits& m_limits;
    bool m_failed = false;
    std::string m_error;
    std::vector<std::string> m_warnings;

    std::vector<GroupState> m_stack;
    std::vector<std::unique_ptr<TextContext>> m_contexts;
    Document m_doc;

    // Text decoding
    int m_docCodePage = 1252;
    int m_ucSkip = 0;
    char32_t m_highSurrogate = 0;
    int m_pendingLead = -1;
    const CodePage* m_pendingLeadPage = nullptr;
    bool m_propsDirty = true;

    // Fonts and colours
    int m_deffNumber = 0;
    bool m_haveDeff = false;
    bool m_fontsOrdered = false;
    std::vector<int> m_fontNumbers;    // parallel to m_doc.fonts
    std::vector<int> m_fontCodePages;  // parallel to m_doc.fonts: 0 document's, -1 symbol
    std::unordered_map<int, int> m_fontIndex;
    FontEntry m_fontEntry;
    std::vector<std::optional<Rgb>> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorAny = false;

    // Authors of tracked changes, by their number in \revtbl
    std::vector<std::string> m_revisionAuthors;
    std::string m_revisionEntry;

    // Defaults and styles
    CharProps m_defaultChars;
    ParaProps m_defaultPara;
    std::unordered_map<int, int> m_styleIndex;
    std::vector<PendingStyle> m_pendingStyles;
    StyleEntry m_styleEntry;

    // Lists
    bool m_haveListTable = false;
    List m_list;
    int m_listId = 0;
    ListLevel m_level;
    int m_levelNfc = 0;
    std::string m_levelText;
    std::unordered_map<int, int> m_listIdIndex;
    std::unordered_map<int, int> m_lsIndex;
    int m_overrideListId = 0;
    int m_overrideLs = 0;

    // Info
    TimeParts m_time;

    // Sections
    SectionProps m_docSect;
    SectionProps m_sect;
    bool m_pgnRestart = false;
    int m_pgnStart = 1;
    std::vector<Block> m_header, m_headerFirst, m_headerEven, m_footer, m_footerFirst, m_footerEven;

    // Tables
    std::vector<RowDef> m_rowDefs;
    std::size_t m_rowDefLevel = 0;
    BorderTarget m_borderTarget = BorderTarget::None;

    // Pictures, notes, bookmarks
    PictState m_pict;
    bool m_lastWasShppict = false;
    int m_noteCounter = 0;
    std::string m_bookmarkName;

    // Notes, comments and shapes
    std::string m_capture;
    std::string m_atnInitials, m_atnAuthor;
    std::unordered_map<std::string, int> m_rangeIds;
    std::unordered_set<int> m_rangesSeen;
    std::vector<ShapeState> m_shapes;
    std::string m_shapePropName;
    bool m_noteTypeEndnotesOnly = false;
};

template <class T>
void Reader::insertInline(TextContext& ctx, T&& item) {
    flushRun(ctx);
    m_lastWasShppict = false;
    appendInline(inlineTarget(ctx), std::forward<T>(item));
}

}  // namespace orvane::rtf::reader
