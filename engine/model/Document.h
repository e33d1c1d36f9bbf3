// The document model: what every reader produces and the RTF writer consumes.
//
// Plain data, no behaviour. Formatting is stored *resolved*: every paragraph and
// run carries its effective properties (style inheritance and document defaults
// already applied by the reader), plus the index of the style it came from so the
// writer can name it. That keeps the writer simple and makes a write/read round
// trip comparable field by field.
//
// Units: lengths in twips (1/1440 inch) unless a field says otherwise; font sizes
// in half-points; colours as 0xRRGGBB. Text is UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/Rare.h"

namespace orvane::model {

using Twips = std::int32_t;
using Rgb = std::uint32_t;  // 0xRRGGBB

// ---------------------------------------------------------------------------
// Fonts

enum class FontFamily : std::uint8_t { Nil, Roman, Swiss, Modern, Script, Decor, Tech, Bidi };

struct Font {
    std::string name;          // face name, e.g. "Times New Roman"
    FontFamily family = FontFamily::Nil;
    int charset = 0;           // Windows charset number (0 ANSI, 2 symbol, 204 Cyrillic, ...)
    int pitch = 0;             // 0 default, 1 fixed, 2 variable
    std::string altName;       // alternative face name, may be empty
};

// ---------------------------------------------------------------------------
// Character formatting (effective values)

enum class Underline : std::uint8_t { None, Single, Words, Double, Dotted, Dash, DotDash, DotDotDash, Thick, Wave };
enum class VerticalAlign : std::uint8_t { Baseline, Superscript, Subscript };

struct CharProps {
    int font = 0;                      // index into Document::fonts (Latin text)
    int sizeHalfPoints = 24;           // 12 pt
    Twips spacing = 0;                 // character spacing expansion (+) or condensing (-)
    int lang = 0;                      // Windows language id, 0 unknown
    std::optional<int> eastAsiaFont;   // index into Document::fonts for East Asian text
    std::optional<int> complexFont;    // index into Document::fonts for complex scripts
    std::optional<int> charStyle;      // index into Document::styles (a character style)
    std::optional<Rgb> color;          // none: automatic
    std::optional<Rgb> highlight;      // none: no highlight
    std::optional<Rgb> shading;        // run background, none: clear
    Underline underline = Underline::None;
    VerticalAlign verticalAlign = VerticalAlign::Baseline;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool doubleStrike = false;
    bool caps = false;
    bool smallCaps = false;
    bool hidden = false;
    bool rtl = false;                  // right-to-left run

    bool operator==(const CharProps&) const = default;
};

// ---------------------------------------------------------------------------
// Paragraph formatting (effective values)

enum class Alignment : std::uint8_t { Left, Center, Right, Justify, Distribute };
enum class LineRule : std::uint8_t { Auto, AtLeast, Exact };
enum class TabKind : std::uint8_t { Left, Center, Right, Decimal, Bar };
enum class TabLeader : std::uint8_t { None, Dots, Hyphens, Underline, ThickLine, Equals, MiddleDots };

struct TabStop {
    Twips position = 0;
    TabKind kind = TabKind::Left;
    TabLeader leader = TabLeader::None;
    bool operator==(const TabStop&) const = default;
};

// A line along one side of a paragraph or a table cell.
enum class BorderStyle : std::uint8_t {
    Single, Thick, Double, Dotted, Dashed, DotDash, DotDotDash, Triple,
    ThinThickSmall, ThickThinSmall, ThinThickThinSmall, ThinThickMedium, ThickThinMedium,
    ThinThickThinMedium, ThinThickLarge, ThickThinLarge, ThinThickThinLarge,
    Wave, DoubleWave, DashSmall, DashDotStroked, Emboss, Engrave, Outset, Inset, Hairline
};

struct Border {
    BorderStyle style = BorderStyle::Single;
    Twips width = 10;              // the line's width (of each line, for double kinds)
    std::optional<Rgb> color;      // none: automatic
    Twips space = 0;               // room between the line and the text
    bool operator==(const Border&) const = default;
};

// The four sides of a box; a side without a border has none. Most boxes
// have none, so each side costs a pointer until it has one.
struct BoxBorders {
    Rare<Border> top;
    Rare<Border> left;
    Rare<Border> bottom;
    Rare<Border> right;
    bool any() const { return top || left || bottom || right; }
    bool operator==(const BoxBorders&) const = default;
};

// A paragraph's borders: its box, and the line between it and the next
// paragraph with the same borders.
struct ParaBorders : BoxBorders {
    Rare<Border> between;
    bool any() const { return BoxBorders::any() || between; }
    bool operator==(const ParaBorders&) const = default;
};

struct ListRef {
    int listId = 0;   // index into Document::lists
    int level = 0;    // 0..8
    bool operator==(const ListRef&) const = default;
};

struct ParaProps {
    std::optional<int> style;      // index into Document::styles (a paragraph style)
    Alignment alignment = Alignment::Left;
    Twips leftIndent = 0;
    Twips rightIndent = 0;
    Twips firstLineIndent = 0;     // negative for a hanging indent
    Twips spaceBefore = 0;
    Twips spaceAfter = 0;
    // Spacing "auto" (HTML paragraph spacing): the reader stores the value the
    // source shows in spaceBefore/After; a layout may then drop it at the top of
    // a page or cell and between items of a list, as Word does.
    bool autoSpaceBefore = false;
    bool autoSpaceAfter = false;
    // Line spacing: with LineRule::Auto, 240ths of a line (240 single, 480 double);
    // with AtLeast/Exact, twips.
    int lineSpacing = 240;
    LineRule lineRule = LineRule::Auto;
    bool keepNext = false;
    bool keepLines = false;
    bool pageBreakBefore = false;
    bool widowControl = true;
    bool contextualSpacing = false;  // no space before/after next to paragraphs of the same style
    bool rtl = false;              // right-to-left paragraph
    std::optional<int> outlineLevel;  // 0..8 for headings
    std::vector<TabStop> tabs;
    std::optional<ListRef> list;
    std::optional<Rgb> shading;    // paragraph background
    ParaBorders borders;

    bool operator==(const ParaProps&) const = default;
};

// ---------------------------------------------------------------------------
// Inline content

struct Inline;

// A tracked change: text inserted or deleted while changes were being
// tracked, shown as such until someone accepts or rejects it.
struct Revision {
    enum class Kind { Insertion, Deletion };
    Kind kind = Kind::Insertion;
    std::string author;            // empty: unknown
    std::string date;              // ISO 8601 as Comment::date; RTF keeps minutes only; empty unknown
    bool operator==(const Revision&) const = default;
};

// A run of text with one set of character properties. The text may hold '\t'
// (a tab) and '\n' (a line break inside the paragraph).
struct TextRun {
    std::string text;
    CharProps props;
    Rare<Revision> revision{};     // none: not a tracked change
};

enum class BreakKind : std::uint8_t { Page, Column };
struct Break {
    BreakKind kind = BreakKind::Page;
    CharProps props;
};

// A field: its instruction (e.g. "PAGE", "HYPERLINK \"https://...\"") and the
// result it last showed. Hyperlinks are HYPERLINK fields.
struct Field {
    std::string instruction;
    std::vector<Inline> result;
};

// A field whose result runs over several paragraphs (a table of contents, an
// index, a bibliography) cannot be one Field: its result is the content
// between a FieldStart, where the field begins in its first paragraph, and
// the FieldEnd in its last paragraph. The content in between is ordinary
// (inner fields, e.g. a HYPERLINK and a PAGEREF per entry, stay Fields).
// Pairs nest; only paragraph content at the top level holds them, never a
// Field's result. A FieldEnd that is the last item of its paragraph ends
// the field after the paragraph mark, as Word keeps it. A pair cut by a
// table or left open at the end of the text is closed there by the writer.
struct FieldStart {
    std::string instruction;
};
struct FieldEnd {};

// What a frame's position is measured from. Text: the column horizontally,
// the anchoring paragraph vertically.
enum class FrameRelative : std::uint8_t { Text, Margin, Page };

struct FramePosition {
    FrameRelative horizontal = FrameRelative::Text;
    FrameRelative vertical = FrameRelative::Text;
    Twips x = 0;                   // left edge, from the left of `horizontal`
    Twips y = 0;                   // top edge, from the top of `vertical`
    bool operator==(const FramePosition&) const = default;
};

// How the text around a frame flows: TopBottom leaves the lines beside it
// empty, Square/Tight/Through wrap around it, InFront/Behind ignore it.
enum class FrameWrap : std::uint8_t { Square, TopBottom, Tight, Through, InFront, Behind };

enum class ImageFormat : std::uint8_t { Png, Jpeg, Emf, Wmf };
struct Image {
    ImageFormat format = ImageFormat::Png;
    std::string data;              // the picture's bytes as stored
    Twips width = 0;               // displayed size
    Twips height = 0;
    int pixelWidth = 0;            // natural size, 0 unknown
    int pixelHeight = 0;
    // A floating picture: where it stands from its anchor (the paragraph it
    // is in) and how the text flows around it. None: in line with the text.
    std::optional<FramePosition> position;
    FrameWrap wrap = FrameWrap::Square;
};

struct Bookmark {
    std::string name;
    bool start = true;             // false: the bookmark's end
};

// ---------------------------------------------------------------------------
// Notes, comments and frames: inline content that holds blocks of its own.
// engine/README.md ("Notes, comments and frames in the model") says how
// readers map their formats onto these.

struct Block;

// A footnote or an endnote. It stands where its reference mark stands in the
// text; `blocks` is the note's own text, without the mark that usually opens
// it (the writer puts the mark there).
struct Note {
    enum class Kind { Footnote, Endnote };
    Kind kind = Kind::Footnote;
    std::string customMark;        // the mark as written, e.g. "*"; empty: numbered automatically
    std::vector<Block> blocks;
    CharProps referenceProps;      // the mark's character properties (usually superscript)
};

// A comment (annotation). It stands where its reference mark stands, usually
// right after the text it comments on; that text, if any, lies between the
// CommentRange start and end whose id is `range`.
struct Comment {
    std::string author;
    std::string initials;
    std::string date;              // ISO 8601, e.g. "2021-08-31T10:15:00Z"; empty unknown
    std::vector<Block> blocks;
    std::optional<int> range;      // id of the CommentRange pair around the commented text
};

// One end of the text a comment is about. Ranges may span paragraphs.
struct CommentRange {
    int id = 0;
    bool start = true;             // false: the range's end
};

// A text box (or a shape with text, or a positioned frame): blocks of text in
// a box of their own, anchored to the paragraph it stands in. A drawn shape
// without text (a box, a line) is a frame without blocks.
struct Frame {
    Twips width = 0;               // 0: as wide as the text column
    Twips height = 0;              // 0: as tall as its text
    std::optional<FramePosition> position;  // none: in line, where it is anchored
    FrameWrap wrap = FrameWrap::Square;     // with a position; a frame in line takes lines of its own
    std::optional<Rgb> border;     // the line around the box; none: no line
    std::optional<Rgb> fill;       // the background; none: transparent
    std::vector<Block> blocks;
    // A drawn shape's outline, as Word numbers its preset shapes (1 rectangle,
    // 2 rounded rectangle, 3 ellipse, 20 line, ...); 0: a plain box.
    int shapeType = 0;
    double rotation = 0;           // degrees clockwise about the box's centre
    // WordArt: text drawn as a shape filling the box, in `fill`; blocks stay empty.
    std::string wordArt;
    std::string wordArtFont;       // empty: the document's default font
};

struct Inline {
    std::variant<TextRun, Break, Field, FieldStart, FieldEnd, Image, Bookmark, Note, Comment, CommentRange, Frame> value;
};

// ---------------------------------------------------------------------------
// Blocks

struct Block;

struct Paragraph {
    ParaProps props;
    CharProps markProps;           // the paragraph mark's character properties
    std::vector<Inline> content;
    Rare<Revision> markRevision{};  // the mark inserted or deleted as a tracked change
};

enum class VMerge : std::uint8_t { None, Start, Continue };
enum class CellVAlign : std::uint8_t { Top, Center, Bottom };

struct TableCell {
    Twips width = 0;
    int gridSpan = 1;              // columns covered horizontally
    VMerge vmerge = VMerge::None;
    CellVAlign valign = CellVAlign::Top;
    std::optional<Rgb> shading;
    BoxBorders borders;            // the lines the cell draws, each table's rules resolved
    std::vector<Block> blocks;
};

struct TableRow {
    std::vector<TableCell> cells;
    Twips height = 0;              // 0: automatic; negative: exact
    bool header = false;           // repeated at the top of each page
};

// Room between a cell's edges and its text, the same for every cell of a table.
struct CellPadding {
    Twips left = 108;              // Word's defaults
    Twips right = 108;
    Twips top = 0;
    Twips bottom = 0;
    bool operator==(const CellPadding&) const = default;
};

struct Table {
    std::vector<TableRow> rows;
    Twips indent = 0;
    Alignment alignment = Alignment::Left;
    CellPadding padding;
};

struct Block {
    std::variant<Paragraph, Table> value;
};

// ---------------------------------------------------------------------------
// Lists (numbering definitions)

enum class NumberFormat { Decimal, UpperRoman, LowerRoman, UpperLetter, LowerLetter, Ordinal, Bullet, None };

struct ListLevel {
    NumberFormat format = NumberFormat::Decimal;
    int start = 1;
    // Level text with placeholders %1..%9 for the levels' numbers, e.g. "%1.%2."
    // For bullets, the bullet character itself.
    std::string text;
    Twips leftIndent = 0;
    Twips firstLineIndent = 0;
    std::optional<int> font;       // index into Document::fonts (bullet fonts)
};

struct List {
    std::vector<ListLevel> levels; // up to 9
};

// ---------------------------------------------------------------------------
// Styles

enum class StyleType { Paragraph, Character, Table };

struct Style {
    std::string name;
    StyleType type = StyleType::Paragraph;
    std::optional<int> basedOn;    // index into Document::styles
    std::optional<int> next;       // index into Document::styles
    ParaProps para;                // effective paragraph properties of the style
    CharProps chars;               // effective character properties of the style
};

// ---------------------------------------------------------------------------
// Sections

enum class SectionBreak { NextPage, Continuous, EvenPage, OddPage, Column };
enum class PageNumberFormat { Decimal, UpperRoman, LowerRoman, UpperLetter, LowerLetter };

// Footnote and endnote numbering. Endnotes cannot restart on each page.
enum class NoteNumberFormat { Decimal, UpperRoman, LowerRoman, UpperLetter, LowerLetter, Chicago /* *, †, ‡, § */ };
enum class NoteRestart { Continuous, EachSection, EachPage };

struct NoteNumbering {
    NoteNumberFormat format = NoteNumberFormat::Decimal;
    int start = 1;
    NoteRestart restart = NoteRestart::Continuous;
    bool operator==(const NoteNumbering&) const = default;
};

struct SectionProps {
    Twips pageWidth = 12240;       // US Letter
    Twips pageHeight = 15840;
    bool landscape = false;
    Twips marginLeft = 1440;
    Twips marginRight = 1440;
    Twips marginTop = 1440;
    Twips marginBottom = 1440;
    Twips headerDistance = 720;
    Twips footerDistance = 720;
    int columns = 1;
    Twips columnSpacing = 720;
    SectionBreak breakKind = SectionBreak::NextPage;
    PageNumberFormat pageNumberFormat = PageNumberFormat::Decimal;
    std::optional<int> pageNumberStart;
    bool titlePage = false;        // a distinct first-page header/footer
    std::optional<NoteNumbering> footnoteNumbering;  // none: as the document says (Document::notes)
    std::optional<NoteNumbering> endnoteNumbering;
};

struct Section {
    SectionProps props;
    std::vector<Block> blocks;
    std::vector<Block> header;       // default header, empty when none
    std::vector<Block> headerFirst;
    std::vector<Block> headerEven;
    std::vector<Block> footer;
    std::vector<Block> footerFirst;
    std::vector<Block> footerEven;
};

// ---------------------------------------------------------------------------
// The document

struct DocumentInfo {
    std::string title;
    std::string subject;
    std::string author;
    std::string keywords;
    std::string comments;
    std::string created;           // ISO 8601, e.g. "2021-08-31T10:15:00Z"; empty unknown
    std::string modified;
};

// Where notes go and how they are numbered, for the whole document.
struct NoteSettings {
    NoteNumbering footnotes;       // 1, 2, 3, ... continuous
    NoteNumbering endnotes{NoteNumberFormat::LowerRoman};  // i, ii, iii, ... as Word and LibreOffice default
    bool footnotesBeneathText = false;  // right below the text instead of at the page's bottom
    bool endnotesPerSection = false;    // at the end of each section instead of the document's end
    bool operator==(const NoteSettings&) const = default;
};

struct Document {
    std::vector<Font> fonts;       // never empty once a reader has finished: index 0 is the default font
    std::vector<Style> styles;
    std::vector<List> lists;
    CharProps defaultChars;        // document defaults
    ParaProps defaultPara;
    std::vector<Section> sections; // at least one
    DocumentInfo info;
    bool facingPages = false;      // even/odd headers in use
    NoteSettings notes;
    Twips defaultTab = 720;        // the distance between default tab stops
    // HTML paragraph spacing rules are in force (Word's compatibility setting,
    // off only where a document says "don't use HTML paragraph auto spacing"):
    // auto spacing follows the HTML rules, and LibreOffice takes the larger of
    // two paragraphs' spacings instead of their sum.
    bool htmlAutoSpacing = false;
};

}  // namespace orvane::model
