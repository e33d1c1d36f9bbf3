// The RTF writer: text escaping, the sample document against its golden RTF,
// a failing sink, and the table, list and property rules that Word and
// LibreOffice depend on.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <regex>
#include <string>
#include <vector>

#include "Engine.h"
#include "Golden.h"
#include "SampleDocument.h"
#include "text/TextReader.h"
#include "writer/RtfEscape.h"
#include "rtf/RtfReader.h"
#include "writer/RtfWriter.h"

namespace orvane {
namespace {

using namespace orvane::testing;

std::string toRtf(const model::Document& d) {
    StringSink sink;
    EXPECT_TRUE(writeRtf(d, sink));
    return sink.text();
}

std::size_t count(const std::string& haystack, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
    return n;
}

// ---------------------------------------------------------------------------
// Escaping

struct EscapeCase {
    const char* name;
    std::string input;
    std::string expected;
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, SpellsCharactersAsRtf) {
    EXPECT_EQ(rtf::escapeText(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, EscapeTest,
    ::testing::Values(
        EscapeCase{"Ascii", "Hello, world! 123 ~", "Hello, world! 123 ~"},
        EscapeCase{"BracesAndBackslash", "{a}\\b", "\\{a\\}\\\\b"},
        EscapeCase{"TabAndLineBreak", "a\tb\nc", "a\\tab b\\line c"},
        EscapeCase{"ControlCharactersDropped", std::string("a\x01\x1f\x7f", 4) + std::string(1, '\0') + "b",
                   "ab"},
        EscapeCase{"C1ControlDropped", "a\xC2\x85z", "az"},
        EscapeCase{"Cp1252Latin", "\xC3\xA9", "\\u233\\'e9"},
        EscapeCase{"Cp1252Euro", "\xE2\x82\xAC", "\\u8364\\'80"},
        EscapeCase{"Cp1252HighRow", "\xC5\xB8", "\\u376\\'9f"},
        EscapeCase{"NoBreakSpace", "\xC2\xA0", "\\u160\\'a0"},
        EscapeCase{"Cjk", "\xE4\xB8\xAD", "\\u20013?"},
        EscapeCase{"NegativeAbove7FFF", "\xEF\xBC\x81", "\\u-255?"},
        EscapeCase{"LastBmpCharacter", "\xEF\xBF\xBF", "\\u-1?"},
        EscapeCase{"EmojiSurrogatePair", "\xF0\x9F\x98\x80", "\\u-10179?\\u-8704?"},
        EscapeCase{"InvalidByte", "a\xFFz", "a\\u-3?z"},
        EscapeCase{"TruncatedSequence", "\xE4\xB8z", "\\u-3?z"},
        EscapeCase{"TruncatedAtEnd", "z\xF0\x9F", "z\\u-3?"},
        EscapeCase{"EncodedSurrogate", "\xED\xA0\x80", "\\u-3?\\u-3?\\u-3?"},
        EscapeCase{"Overlong", "\xC0\xAF", "\\u-3?\\u-3?"},
        EscapeCase{"LoneContinuation", "\x80", "\\u-3?"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The sample document

TEST(RtfWriterGolden, SampleDocumentMatchesExpectedRtf) {
    expectGolden("writer/sample.rtf", toRtf(sampleDocument()));
}

TEST(RtfWriterGolden, NotesCommentsAndFramesMatchExpectedRtf) {
    expectGolden("writer/notes.rtf", toRtf(sampleDocumentWithNotes()));
}

TEST(DumpModelGolden, NotesCommentsAndFramesMatchExpectedDump) {
    expectGolden("writer/notes.dump", dumpModel(sampleDocumentWithNotes()));
}

TEST(DumpModelGolden, EveryNoteCommentAndFrameFieldChangesTheDump) {
    // A field the dump forgot would let a round trip lose it unnoticed.
    using namespace model;
    const Document base = sampleDocumentWithNotes();
    const std::string before = dumpModel(base);
    // The sample's first notes paragraph, comments paragraph and boxes paragraph.
    const auto inlineOf = [](Document& d, const char* text, std::size_t index) -> Inline& {
        for (Block& b : d.sections[0].blocks) {
            auto* p = std::get_if<Paragraph>(&b.value);
            if (!p || p->content.empty()) continue;
            const auto* first = std::get_if<TextRun>(&p->content[0].value);
            if (first && first->text.starts_with(text)) return p->content.at(index);
        }
        throw std::logic_error(text);
    };
    const auto note = [&](Document& d) -> Note& { return std::get<Note>(inlineOf(d, "Notes:", 1).value); };
    const auto remark = [&](Document& d) -> Comment& { return std::get<Comment>(inlineOf(d, "Comments:", 4).value); };
    const auto range = [&](Document& d) -> CommentRange& {
        return std::get<CommentRange>(inlineOf(d, "Comments:", 1).value);
    };
    const auto box = [&](Document& d) -> Frame& { return std::get<Frame>(inlineOf(d, "Boxes:", 1).value); };
    const std::vector<std::pair<const char*, std::function<void(Document&)>>> changes = {
        {"note.kind", [&](Document& d) { note(d).kind = Note::Kind::Endnote; }},
        {"note.customMark", [&](Document& d) { note(d).customMark = "#"; }},
        {"note.blocks", [&](Document& d) { note(d).blocks.clear(); }},
        {"note.referenceProps", [&](Document& d) { note(d).referenceProps.bold = true; }},
        {"comment.author", [&](Document& d) { remark(d).author = "X"; }},
        {"comment.initials", [&](Document& d) { remark(d).initials = "X"; }},
        {"comment.date", [&](Document& d) { remark(d).date = "2000-01-01T00:00:00Z"; }},
        {"comment.blocks", [&](Document& d) { remark(d).blocks.clear(); }},
        {"comment.range", [&](Document& d) { remark(d).range = 9; }},
        {"range.id", [&](Document& d) { range(d).id = 9; }},
        {"range.start", [&](Document& d) { range(d).start = false; }},
        {"frame.width", [&](Document& d) { box(d).width = 1; }},
        {"frame.height", [&](Document& d) { box(d).height = 1; }},
        {"frame.position", [&](Document& d) { box(d).position.reset(); }},
        {"frame.position.horizontal", [&](Document& d) { box(d).position->horizontal = FrameRelative::Page; }},
        {"frame.position.vertical", [&](Document& d) { box(d).position->vertical = FrameRelative::Page; }},
        {"frame.position.x", [&](Document& d) { box(d).position->x = 1; }},
        {"frame.position.y", [&](Document& d) { box(d).position->y = 1; }},
        {"frame.wrap", [&](Document& d) { box(d).wrap = FrameWrap::Through; }},
        {"frame.border", [&](Document& d) { box(d).border.reset(); }},
        {"frame.fill", [&](Document& d) { box(d).fill = 0x123456; }},
        {"frame.blocks", [&](Document& d) { box(d).blocks.pop_back(); }},
        {"frame.shapeType", [&](Document& d) { box(d).shapeType = 3; }},
        {"frame.rotation", [&](Document& d) { box(d).rotation = 30; }},
        {"frame.wordArt", [&](Document& d) { box(d).wordArt = "DRAFT"; }},
        {"frame.wordArtFont", [&](Document& d) { box(d).wordArtFont = "Arial"; }},
        {"notes.footnotes.format", [](Document& d) { d.notes.footnotes.format = NoteNumberFormat::Chicago; }},
        {"notes.footnotes.start", [](Document& d) { d.notes.footnotes.start = 5; }},
        {"notes.footnotes.restart", [](Document& d) { d.notes.footnotes.restart = NoteRestart::Continuous; }},
        {"notes.endnotes", [](Document& d) { d.notes.endnotes = NoteNumbering{}; }},
        {"notes.footnotesBeneathText", [](Document& d) { d.notes.footnotesBeneathText = true; }},
        {"notes.endnotesPerSection", [](Document& d) { d.notes.endnotesPerSection = true; }},
        {"section.footnoteNumbering", [](Document& d) { d.sections[1].props.footnoteNumbering->start = 2; }},
        {"section.endnoteNumbering", [](Document& d) { d.sections[1].props.endnoteNumbering = NoteNumbering{}; }},
    };
    for (const auto& [name, change] : changes) {
        Document changed = base;
        change(changed);
        EXPECT_NE(dumpModel(changed), before) << name;
    }
}

TEST(RtfWriterGolden, EmptyModelStillGivesAValidDocument) {
    // No fonts, no sections: the header must still name the font \deff0 uses.
    const std::string rtf = toRtf(model::Document{});
    EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0"));
    EXPECT_NE(rtf.find("{\\f0\\froman\\fcharset0\\fprq2 Times New Roman;}"), std::string::npos);
    EXPECT_NE(rtf.find("\\sectd"), std::string::npos);
    EXPECT_TRUE(rtf.ends_with("}\n"));
}

// Braces balance (escaped ones aside) and the document is one group, ending the file.
bool balanced(const std::string& rtf) {
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
            continue;
        }
        if (rtf[i] == '{') ++depth;
        if (rtf[i] == '}' && --depth == 0 && i + 2 != rtf.size()) return false;
        if (depth < 0) return false;
    }
    return depth == 0;
}

TEST(RtfWriterStructure, GroupsBalance) {
    for (const model::Document& d : {sampleDocument(), sampleDocumentWithNotes()}) EXPECT_TRUE(balanced(toRtf(d)));
}

model::Document largeDocument() {
    model::Document d = sampleDocument();
    for (int i = 0; i < 3000; ++i) {
        d.sections[1].blocks.push_back(paragraph({run("Paragraph number " + std::to_string(i) + " with some text.")}));
    }
    return d;
}

TEST(RtfWriterStructure, LinesStayShortAndPicturesUse128HexDigitsPerLine) {
    model::Document d = largeDocument();  // big enough to be written in several pieces
    model::Image big;
    big.data = std::string(1000, '\x5a');
    big.width = big.height = 1440;
    std::get<model::Paragraph>(d.sections[1].blocks[0].value).content.push_back(model::Inline{big});
    // Long text with and without spaces must be cut into lines too.
    std::string words, chinese;
    for (int i = 0; i < 200; ++i) words += "lorem ";
    for (int i = 0; i < 200; ++i) chinese += "\xE4\xB8\xAD";
    d.sections[1].blocks.push_back(paragraph({run(words), run(chinese)}));

    const std::string rtf = toRtf(d);
    std::size_t start = 0, hexDigits = 0;
    while (start < rtf.size()) {
        const std::size_t end = rtf.find('\n', start);
        const std::string line = rtf.substr(start, end - start);
        EXPECT_LE(line.size(), 200u) << line;
        EXPECT_FALSE(line.empty()) << "empty line at offset " << start;
        if (line.find_first_not_of("5a") == std::string::npos) {
            EXPECT_TRUE(line.size() == 128 || rtf[end + 1] == '}') << "a short hex line must be the last";
            hexDigits += line.size();
        }
        start = end + 1;
    }
    EXPECT_EQ(hexDigits, 2000u);
    EXPECT_EQ(count(rtf, "lorem"), 200u);
    EXPECT_EQ(count(rtf, "\\u20013?"), 200u);
}

TEST(RtfWriterStructure, TableCellEdgesAccumulateAndMergedCellsWiden) {
    const std::string rtf = toRtf(sampleDocument());
    // Row 1: three 2000-twip cells from an indent of 108.
    EXPECT_NE(rtf.find("\\cellx2108"), std::string::npos);
    EXPECT_NE(rtf.find("\\cellx4108"), std::string::npos);
    EXPECT_NE(rtf.find("\\cellx6108"), std::string::npos);
    // Row 2: the cell spanning two columns is one cell ending where they end.
    const std::size_t row2 = rtf.find("\\trrh-500");
    ASSERT_NE(row2, std::string::npos);
    const std::string def2 = rtf.substr(row2, rtf.find("\\pard", row2) - row2);
    EXPECT_EQ(count(def2, "\\cellx"), 2u);
    EXPECT_NE(def2.find("\\clwWidth4000\\cellx4108"), std::string::npos);
    EXPECT_NE(def2.find("\\clvmgf\\clvertalc"), std::string::npos);
    EXPECT_NE(rtf.find("\\clvmrg\\clvertalb"), std::string::npos);
    EXPECT_NE(rtf.find("\\trqc"), std::string::npos);
    EXPECT_NE(rtf.find("\\trhdr"), std::string::npos);
    // Three top-level rows and one nested row, each ended in its own way.
    EXPECT_EQ(count(rtf, "\\row\n"), 3u);
    EXPECT_EQ(count(rtf, "\\nestrow"), 1u);
    EXPECT_EQ(count(rtf, "\\nestcell"), 2u);
    EXPECT_EQ(count(rtf, "\\itap2"), 3u);  // two nested cells and the row's end
}

TEST(RtfWriterStructure, CellWithoutWidthSharesTheLine) {
    model::Document d;
    d.fonts = {{"Arial", model::FontFamily::Swiss, 0, 2, ""}};
    model::Section s;
    model::Table t;
    model::TableRow row;
    row.cells = {cell(0, {paragraph({run("a")})}), cell(0, {paragraph({run("b")})})};
    t.rows = {row};
    s.blocks = {model::Block{t}};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    // Letter paper less two one-inch margins: 9360 twips for two cells.
    EXPECT_NE(rtf.find("\\cellx4680"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\cellx9360"), std::string::npos);
    // A cell whose last block is a table still ends with a paragraph.
}

TEST(RtfWriterStructure, NestedTableLastInCellIsFollowedByAnEndingParagraph) {
    model::Document d;
    model::Table inner;
    model::TableRow innerRow;
    innerRow.cells = {cell(1000, {paragraph({run("inner")})})};
    inner.rows = {innerRow};
    model::Table outer;
    model::TableRow outerRow;
    outerRow.cells = {cell(3000, {model::Block{inner}})};
    outer.rows = {outerRow};
    model::Section s;
    s.blocks = {model::Block{outer}};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    const std::size_t nest = rtf.find("\\nestrow");
    ASSERT_NE(nest, std::string::npos);
    EXPECT_NE(rtf.find("\\pard\\plain\\intbl{\\cell}", nest), std::string::npos) << rtf;
}

TEST(RtfWriterStructure, ListParagraphsCarryNumbersForReadersWithoutLists) {
    const std::string rtf = toRtf(sampleDocument());
    EXPECT_NE(rtf.find("\\ls1\\ilvl0{\\listtext\\plain\\f0\\fs24\\lang1033 1.\\tab}"), std::string::npos);
    EXPECT_NE(rtf.find("\\ls1\\ilvl1{\\listtext\\plain\\f0\\fs24\\lang1033 1.a)\\tab}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\listtext\\plain\\f0\\fs24\\lang1033 2.\\tab}"), std::string::npos);
    // The bullet in its own font, as \u with no code-page fallback.
    EXPECT_NE(rtf.find("\\ls2\\ilvl0{\\listtext\\plain\\f3\\fs24\\lang1033 \\u-3913?\\tab}"), std::string::npos);
    // The level text: its length, the level number as byte 0, then "."; the
    // number sits at offset 1.
    EXPECT_NE(rtf.find("{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\leveltext\\'04\\'00.\\'01);}{\\levelnumbers\\'01\\'03;}"), std::string::npos);
    EXPECT_NE(rtf.find("\\levelnfc4"), std::string::npos);
    EXPECT_NE(rtf.find("\\levelnfc23"), std::string::npos);
    EXPECT_NE(rtf.find("{\\listoverride\\listid2\\listoverridecount0\\ls2}"), std::string::npos);
}

TEST(RtfWriterStructure, NumbersFollowTheirFormats) {
    model::Document d;
    model::List list;
    model::ListLevel roman;
    roman.format = model::NumberFormat::UpperRoman;
    roman.text = "%1";
    roman.start = 3;
    model::ListLevel letters;
    letters.format = model::NumberFormat::LowerLetter;
    letters.text = "(%2)";
    letters.start = 26;
    model::ListLevel ordinal;
    ordinal.format = model::NumberFormat::Ordinal;
    ordinal.text = "%3";
    ordinal.start = 11;
    list.levels = {roman, letters, ordinal};
    d.lists = {list};
    model::Section s;
    const auto item = [](int level) {
        model::ParaProps p;
        p.list = model::ListRef{0, level};
        return paragraph({run("x")}, p);
    };
    s.blocks = {item(0), item(0), item(1), item(1), item(2), item(2), item(2), item(0), item(1)};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    std::vector<std::string> numbers;
    const std::regex listText(R"(\{\\listtext\\plain\\f0\\fs24 ([^\\]*)\\tab\})");
    for (auto it = std::sregex_iterator(rtf.begin(), rtf.end(), listText); it != std::sregex_iterator(); ++it) {
        numbers.push_back((*it)[1]);
    }
    const std::vector<std::string> expected = {"III", "IV", "(z)", "(aa)", "11th", "12th", "13th", "V", "(z)"};
    EXPECT_EQ(numbers, expected);
}

TEST(RtfWriterStructure, ListsDeeperThanNineLevelsNumberOnlyTheirFirstNine) {
    // A reader may hand over more levels than RTF numbers; items below the
    // ninth are plain paragraphs (their counters would not exist).
    model::Document d;
    model::List list;
    for (int i = 0; i < 12; ++i) {
        model::ListLevel level;
        level.text = "%" + std::to_string(std::min(i, 8) + 1) + ".";
        list.levels.push_back(level);
    }
    d.lists = {list};
    model::Section s;
    for (int level : {0, 8, 9, 11}) {
        model::ParaProps p;
        p.list = model::ListRef{0, level};
        s.blocks.push_back(paragraph({run("level " + std::to_string(level))}, p));
    }
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_NE(rtf.find("\\ilvl8{\\listtext"), std::string::npos);
    EXPECT_EQ(rtf.find("\\ilvl9"), std::string::npos);
    EXPECT_EQ(rtf.find("\\ilvl11"), std::string::npos);
    EXPECT_NE(rtf.find("level 11"), std::string::npos);
}

// Properties are stated wherever the style or the defaults would say otherwise.
TEST(RtfWriterProperties, OffValuesAreWrittenWhenTheStyleTurnsThemOn) {
    model::Document d;
    model::Style heading;
    heading.name = "Heading";
    heading.chars.bold = true;
    heading.chars.color = 0x112233;
    heading.para.outlineLevel = 0;
    d.styles = {heading};
    model::ParaProps p;
    p.style = 0;
    model::CharProps plainRun;  // not bold, automatic colour, in a bold coloured style
    model::Section s;
    s.blocks = {paragraph({run("plain", plainRun)}, p, heading.chars)};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_NE(rtf.find("\\pard\\plain\\s0\\widctlpar\\outlinelevel9"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("{\\f0\\fs24\\b0\\cf0 plain}"), std::string::npos) << rtf;
    // A paragraph that is not the last ends with a mark keeping the style's formatting.
    s.blocks.push_back(s.blocks.front());
    d.sections = {s};
    EXPECT_NE(toRtf(d).find("plain}{\\f0\\fs24\\b\\cf1\\par}"), std::string::npos) << toRtf(d);
}

TEST(RtfWriterProperties, LineSpacingRules) {
    model::Document d;
    model::Section s;
    model::ParaProps automatic, atLeast, exact;
    automatic.lineSpacing = 360;
    atLeast.lineRule = model::LineRule::AtLeast;
    atLeast.lineSpacing = 300;
    exact.lineRule = model::LineRule::Exact;
    exact.lineSpacing = 280;
    s.blocks = {paragraph({run("a")}, automatic), paragraph({run("b")}, atLeast), paragraph({run("c")}, exact)};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_NE(rtf.find("\\sl360\\slmult1"), std::string::npos);
    EXPECT_NE(rtf.find("\\sl300\\slmult0"), std::string::npos);
    EXPECT_NE(rtf.find("\\sl-280\\slmult0"), std::string::npos);
}

TEST(RtfWriterProperties, ColourTableHoldsEachColourOnceAndHighlightsSnap) {
    model::Document d;
    model::CharProps red, yellowish, shaded;
    red.color = 0xFF0000;
    yellowish.highlight = 0xF0F010;  // shown as yellow, the nearest highlight colour
    shaded.shading = 0xFF0000;       // the same red again
    model::Section s;
    s.blocks = {paragraph({run("r", red), run("h", yellowish), run("s", shaded)})};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_NE(rtf.find("{\\colortbl;\\red255\\green0\\blue0;\\red255\\green255\\blue0;}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\cf1 r"), std::string::npos);
    EXPECT_NE(rtf.find("\\highlight2 h"), std::string::npos);
    EXPECT_NE(rtf.find("\\chshdng0\\chcbpat1 s"), std::string::npos);
}

TEST(RtfWriterProperties, NearestHighlightColour) {
    EXPECT_EQ(rtf::nearestHighlightColor(0xFFFF00), 0xFFFF00u);
    EXPECT_EQ(rtf::nearestHighlightColor(0xFFF200), 0xFFFF00u);
    EXPECT_EQ(rtf::nearestHighlightColor(0x7F7F7F), 0x808080u);
    EXPECT_EQ(rtf::nearestHighlightColor(0xB0B0B0), 0xC0C0C0u);
    EXPECT_EQ(rtf::nearestHighlightColor(0x00A000), 0x008000u);
    EXPECT_EQ(rtf::nearestHighlightColor(0x00B050), 0x008080u);
    EXPECT_EQ(rtf::nearestHighlightColor(0x101010), 0x000000u);
}

TEST(RtfWriterProperties, PlaceableHeaderIsStrippedFromMetafiles) {
    model::Document d;
    model::Image wmf;
    wmf.format = model::ImageFormat::Wmf;
    wmf.data = std::string("\xD7\xCD\xC6\x9A", 4) + std::string(18, '\0') + std::string("\x01\x00\x09\x00", 4);
    wmf.width = 1440;
    wmf.height = 1440;
    model::Section s;
    s.blocks = {paragraph({model::Inline{wmf}})};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_NE(rtf.find("{\\pict\\wmetafile8\\picw2540\\pich2540\\picwgoal1440\\pichgoal1440\n01000900\n}"),
              std::string::npos)
        << rtf;
}

// ---------------------------------------------------------------------------
// Notes, comments and frames

// The RTF without its line ends, which readers ignore: expectations need not
// know where the writer breaks lines.
std::string flat(std::string rtf) {
    std::erase(rtf, '\n');
    return rtf;
}

// The group that opens at `at` (a '{'), braces and all.
std::string groupAt(const std::string& rtf, std::size_t at) {
    if (at >= rtf.size() || rtf[at] != '{') return {};
    int depth = 0;
    for (std::size_t i = at; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
            continue;
        }
        if (rtf[i] == '{') ++depth;
        if (rtf[i] == '}' && --depth == 0) return rtf.substr(at, i - at + 1);
    }
    return {};
}

// The group that holds the first occurrence of `needle`, counting from the
// group whose opening brace comes right before it.
std::string groupOf(const std::string& rtf, const std::string& needle) {
    const std::size_t at = rtf.find(needle);
    if (at == std::string::npos || at == 0) return {};
    return groupAt(rtf, rtf.rfind('{', at));
}

model::Document oneParagraph(std::vector<model::Inline> content) {
    model::Document d;
    model::Section s;
    s.blocks = {paragraph(std::move(content))};
    d.sections = {s};
    return d;
}

model::Inline footnote(std::vector<model::Block> blocks, std::string mark = {},
                       model::Note::Kind kind = model::Note::Kind::Footnote) {
    model::Note n;
    n.kind = kind;
    n.customMark = std::move(mark);
    n.blocks = std::move(blocks);
    n.referenceProps.verticalAlign = model::VerticalAlign::Superscript;
    return model::Inline{std::move(n)};
}

model::Inline endnote(std::vector<model::Block> blocks, std::string mark = {}) {
    return footnote(std::move(blocks), std::move(mark), model::Note::Kind::Endnote);
}

model::Inline comment(std::vector<model::Block> blocks, std::optional<int> range = std::nullopt,
                      std::string date = {}) {
    model::Comment c;
    c.author = "Ann Example";
    c.initials = "AE";
    c.date = std::move(date);
    c.blocks = std::move(blocks);
    c.range = range;
    return model::Inline{std::move(c)};
}

model::Inline frame(std::vector<model::Block> blocks, std::optional<model::FramePosition> at = std::nullopt) {
    model::Frame f;
    f.width = 2000;
    f.height = 1000;
    f.position = at;
    f.blocks = std::move(blocks);
    return model::Inline{std::move(f)};
}

TEST(RtfWriterNotes, MarkAndNoteShareAGroupAndTheNoteOpensWithTheMark) {
    const std::string rtf = toRtf(oneParagraph({run("Text"), footnote({paragraph({run(" Note text.")})}), run(" on")}));
    const std::string note = groupOf(rtf, "\\chftn{\\footnote");
    ASSERT_FALSE(note.empty()) << rtf;
    EXPECT_TRUE(note.starts_with("{\\f0\\fs24\\super\\chftn{\\footnote")) << note;
    const std::string inner = groupAt(note, note.find("{\\footnote"));
    EXPECT_NE(inner.find("\\pard\\plain\\widctlpar{\\f0\\fs24\\super\\chftn}{\\f0\\fs24  Note text.}"), std::string::npos)
        << inner;
    // The note's last paragraph has no \par: LibreOffice would add an empty one.
    EXPECT_EQ(inner.find("\\par}"), std::string::npos) << inner;
    EXPECT_EQ(inner.find("\\ftnalt"), std::string::npos);
    EXPECT_NE(rtf.find(note + "{\\f0\\fs24  on}"), std::string::npos) << "the text goes on after the note";
}

TEST(RtfWriterNotes, EndnotesSayFtnaltRightAfterFootnote) {
    // However long the line, nothing comes between \footnote and \ftnalt:
    // LibreOffice looks for \ftnalt exactly there.
    for (std::size_t length = 1; length < 160; ++length) {
        const std::string rtf = toRtf(oneParagraph({run(std::string(length, 'x') + " y"), endnote({paragraph({run("e")})})}));
        EXPECT_EQ(count(rtf, "{\\footnote\\ftnalt"), 1u) << length << "\n" << rtf;
    }
}

TEST(RtfWriterNotes, CustomMarksStandForTheNumber) {
    const std::string rtf = toRtf(oneParagraph({run("a"), footnote({paragraph({run(" Starred.")})}, "*"),
                                                endnote({paragraph({run(" Daggered.")})}, "\xE2\x80\xA0")}));
    EXPECT_EQ(rtf.find("\\chftn"), std::string::npos) << rtf;
    const std::string star = groupOf(rtf, "*{\\footnote");
    EXPECT_TRUE(star.starts_with("{\\f0\\fs24\\super *{\\footnote")) << star;
    EXPECT_NE(star.find("{\\f0\\fs24\\super *}{\\f0\\fs24  Starred.}"), std::string::npos) << star;
    EXPECT_NE(rtf.find("\\super \\u8224\\'86{\\footnote\\ftnalt"), std::string::npos) << rtf;
}

TEST(RtfWriterNotes, NoteEndingInATableEndsWithAParagraph) {
    model::Table table;
    model::TableRow row;
    row.cells = {cell(1000, {paragraph({run("in cell")})})};
    table.rows = {row};
    const std::string rtf = toRtf(oneParagraph({run("a"), footnote({model::Block{table}}), endnote({})}));
    const std::string note = groupAt(rtf, rtf.find("{\\footnote"));
    // The mark opens the first paragraph, here the first cell's; a paragraph
    // without \par follows the table. LibreOffice makes a table that ends a
    // note into a frame.
    EXPECT_NE(note.find("\\intbl\\widctlpar{\\f0\\fs24\\super\\chftn}{\\f0\\fs24 in cell}{\\f0\\fs24\\cell}"),
              std::string::npos)
        << note;
    EXPECT_TRUE(note.ends_with("\\row\n\\pard\\plain\n}")) << note;
    // An empty note still has a paragraph for its mark.
    const std::string empty = groupAt(rtf, rtf.find("{\\footnote\\ftnalt"));
    EXPECT_EQ(empty, "{\\footnote\\ftnalt\n\\pard\\plain\\widctlpar{\\f0\\fs24\\super\\chftn}\n}");
}

TEST(RtfWriterNotes, NotesWhereWordKeepsNoneStayInPlaceAsText) {
    model::Document d = oneParagraph(
        {run("body"), footnote({paragraph({run(" outer"), footnote({paragraph({run(" inner")})}, "b")})})});
    d.sections[0].header = {paragraph({run("head"), footnote({paragraph({run(" in header")})}, "h")})};
    model::Section& s = d.sections[0];
    std::get<model::Paragraph>(s.blocks[0].value).content.push_back(
        comment({paragraph({run("remark"), footnote({paragraph({run(" in comment")})})})}));
    std::get<model::Paragraph>(s.blocks[0].value).content.push_back(
        frame({paragraph({run("box"), footnote({paragraph({run(" in box")})})})}));
    const std::string rtf = toRtf(d);
    EXPECT_EQ(count(rtf, "{\\footnote"), 1u) << rtf;
    const std::string header = groupOf(rtf, "{\\header");
    EXPECT_NE(header.find("{\\f0\\fs24 head}{\\f0\\fs24\\super h}{ }{\\f0\\fs24  in header}"), std::string::npos)
        << header;
    const std::string note = groupAt(rtf, rtf.find("{\\footnote"));
    EXPECT_NE(note.find("{\\f0\\fs24  outer}{\\f0\\fs24\\super b}{ }{\\f0\\fs24  inner}"), std::string::npos) << note;
    EXPECT_NE(groupOf(rtf, "\\annotation").find("{\\f0\\fs24 remark}{ }{\\f0\\fs24  in comment}"), std::string::npos);
    EXPECT_NE(groupOf(rtf, "\\shptxt").find("{\\f0\\fs24 box}{ }{\\f0\\fs24  in box}"), std::string::npos);
}

struct NoteSettingsCase {
    const char* name;
    void (*change)(model::Document&);
    std::string words;  // expected, or "" for none at all
};

class NoteSettingsTest : public ::testing::TestWithParam<NoteSettingsCase> {};

TEST_P(NoteSettingsTest, DocumentFormatSaysWhereNotesGoAndHowTheyCount) {
    model::Document d = oneParagraph({run("text")});
    GetParam().change(d);
    const std::string rtf = flat(toRtf(d));
    if (GetParam().words.empty()) {
        EXPECT_EQ(rtf.find("ftn"), std::string::npos) << rtf;
        EXPECT_EQ(rtf.find("\\fet"), std::string::npos) << rtf;
    } else {
        EXPECT_NE(rtf.find(GetParam().words), std::string::npos) << rtf;
    }
}

void addNote(model::Document& d, model::Note::Kind kind) {
    std::get<model::Paragraph>(d.sections[0].blocks[0].value).content.push_back(footnote({}, {}, kind));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, NoteSettingsTest,
    ::testing::Values(
        NoteSettingsCase{"NoNotesNoWords", [](model::Document&) {}, ""},
        NoteSettingsCase{"FootnotesOnly", [](model::Document& d) { addNote(d, model::Note::Kind::Footnote); },
                         "\\fet0\\ftnbj\\aenddoc\\ftnstart1\\ftnrstcont\\ftnnar\\aftnstart1\\aftnrstcont\\aftnnrlc\\sectd"},
        NoteSettingsCase{"EndnotesOnlyTellOlderReadersWhereTheyGo",
                         [](model::Document& d) {
                             addNote(d, model::Note::Kind::Endnote);
                             d.notes.endnotesPerSection = true;
                         },
                         "\\fet1\\endnotes\\aendnotes\\ftnstart1"},
        NoteSettingsCase{"BothKinds",
                         [](model::Document& d) {
                             addNote(d, model::Note::Kind::Endnote);
                             addNote(d, model::Note::Kind::Footnote);
                             d.notes.footnotesBeneathText = true;
                         },
                         "\\fet2\\ftntj\\aenddoc"},
        NoteSettingsCase{"NumberingWithoutNotesIsStillWritten",
                         [](model::Document& d) {
                             d.notes.footnotes = {model::NoteNumberFormat::Chicago, 3, model::NoteRestart::EachPage};
                             d.notes.endnotes = {model::NoteNumberFormat::UpperLetter, 2,
                                                 model::NoteRestart::EachSection};
                         },
                         "\\ftnstart3\\ftnrstpg\\ftnnchi\\aftnstart2\\aftnrestart\\aftnnauc"},
        NoteSettingsCase{"EndnotesCannotRestartOnEachPage",
                         [](model::Document& d) {
                             d.notes.endnotes = {model::NoteNumberFormat::LowerLetter, 1, model::NoteRestart::EachPage};
                         },
                         "\\aftnstart1\\aftnrstcont\\aftnnalc"},
        NoteSettingsCase{"SectionOverrides",
                         [](model::Document& d) {
                             d.sections[0].props.footnoteNumbering =
                                 model::NoteNumbering{model::NoteNumberFormat::UpperRoman, 4, model::NoteRestart::EachPage};
                             d.sections[0].props.endnoteNumbering = model::NoteNumbering{
                                 model::NoteNumberFormat::LowerRoman, 1, model::NoteRestart::EachSection};
                         },
                         "\\sftnstart4\\sftnrstpg\\sftnnruc\\saftnstart1\\saftnrestart\\saftnnrlc\\pard"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtfWriterComments, RangeAuthorDateAndText) {
    const std::string rtf = toRtf(oneParagraph(
        {run("a "), model::Inline{model::CommentRange{5, true}}, run("phrase"), model::Inline{model::CommentRange{5, false}},
         comment({paragraph({run("Looks good.")})}, 5, "2016-03-31T20:14:00Z"), run(" b")}));
    EXPECT_NE(flat(rtf).find("{\\f0\\fs24 a }{\\*\\atrfstart 5}{\\f0\\fs24 phrase}{\\*\\atrfend 5}"
                             "{{\\*\\atnid AE}{\\*\\atnauthor Ann Example}\\chatn{\\*\\annotation{\\*\\atnref 5}"
                             "{\\*\\atndate 121896206}"
                             "\\pard\\plain\\widctlpar{\\f0\\fs24 Looks good.}}}{\\f0\\fs24  b}"),
              std::string::npos)
        << rtf;
}

TEST(RtfWriterComments, DatesInWordsPackedForm) {
    const std::pair<std::string, std::string> cases[] = {
        {"2016-03-31T20:14:00Z", "{\\*\\atndate 121896206}"},  // LibreOffice reads it as 2016-03-31 20:14
        {"2000-01-01", "{\\*\\atndate 104925184}"},            // midnight when there is no time
        {"2411-12-31T23:59:59+02:00", "{\\*\\atndate 536673787}"},  // the last date there is room for
        {"2021-02-29T10:00:00Z", ""},                          // no such day
        {"1899-12-31T10:00:00Z", ""},                          // before 1900
        {"yesterday", ""},
        {"", ""},
    };
    for (const auto& [date, expected] : cases) {
        const std::string rtf = toRtf(oneParagraph({comment({paragraph({run("x")})}, std::nullopt, date)}));
        if (expected.empty()) {
            EXPECT_EQ(rtf.find("atndate"), std::string::npos) << date;
            EXPECT_NE(rtf.find("\\chatn{\\*\\annotation\n"), std::string::npos) << date;
        } else {
            EXPECT_NE(rtf.find(expected), std::string::npos) << date << "\n" << rtf;
        }
    }
}

TEST(RtfWriterComments, OnlyWholeRangesAndCommentsWordCanKeep) {
    model::Document d = oneParagraph({
        model::Inline{model::CommentRange{1, true}}, run("no comment"), model::Inline{model::CommentRange{1, false}},
        model::Inline{model::CommentRange{2, true}}, run("no end"), comment({paragraph({run("c2")})}, 2),
        comment({paragraph({run("c3")})}, 3),  // its range is nowhere
        model::Inline{model::CommentRange{4, true}}, run("fine"), model::Inline{model::CommentRange{4, false}},
        comment({paragraph({run("outer"), comment({paragraph({run("nested")})})})}, 4),
        footnote({paragraph({run("noted"), comment({paragraph({run("in note")})})})}),
    });
    d.sections[0].footer = {paragraph({run("foot"), comment({paragraph({run("in footer")})})})};
    const std::string rtf = toRtf(d);
    for (const char* gone : {"atrfstart 1", "atrfend 1", "atrfstart 2", "atnref 2", "atnref 3", "nested",
                             "in footer"}) {
        EXPECT_EQ(rtf.find(gone), std::string::npos) << gone << "\n" << rtf;
    }
    EXPECT_NE(rtf.find("{\\*\\atrfstart 4}{\\f0\\fs24 fine}{\\*\\atrfend 4}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("{\\*\\atnref 4}"), std::string::npos);
    EXPECT_EQ(count(rtf, "\\chatn"), 4u) << "c2, c3, outer and the one in the note";
    EXPECT_NE(groupOf(rtf, "{\\footnote").find("\\chatn{\\*\\annotation"), std::string::npos);
}

TEST(RtfWriterFrames, ShapeWithPositionSizeWrapAndColours) {
    model::Frame f;
    f.width = 2880;
    f.height = 1440;
    f.position = model::FramePosition{model::FrameRelative::Margin, model::FrameRelative::Page, 360, -120};
    f.wrap = model::FrameWrap::Tight;
    f.border = 0x1F3864;
    f.fill = 0xFFF2CC;
    f.blocks = {paragraph({run("Boxed")})};
    const std::string rtf = toRtf(oneParagraph({run("anchor"), model::Inline{f}}));
    EXPECT_NE(flat(rtf).find(
                  "{\\f0\\fs24 anchor}{\\shp{\\*\\shpinst\\shpleft360\\shptop-120\\shpright3240\\shpbottom1320"
                  "\\shpfhdr0\\shpbxmargin\\shpbypage\\shpwr4\\shpwrk0\\shpfblwtxt0\\shpz0\\shplid1025"
                  "{\\sp{\\sn shapeType}{\\sv 202}}{\\sp{\\sn posrelh}{\\sv 0}}{\\sp{\\sn posrelv}{\\sv 1}}"
                  "{\\sp{\\sn fLine}{\\sv 1}}{\\sp{\\sn lineColor}{\\sv 6567967}}"
                  "{\\sp{\\sn fFilled}{\\sv 1}}{\\sp{\\sn fillColor}{\\sv 13431551}}{\\sp{\\sn fLayoutInCell}{\\sv 1}}"
                  "{\\shptxt\\pard\\plain\\widctlpar{\\f0\\fs24 Boxed}}}"
                  "{\\shprslt\\par\\pard\\plain\\widctlpar{\\f0\\fs24 Boxed}{\\f0\\fs24\\par}}}"),
              std::string::npos)
        << rtf;
}

TEST(RtfWriterFrames, WrapKindsAndReferences) {
    const struct {
        model::FrameWrap wrap;
        model::FrameRelative horizontal, vertical;
        std::string words;
    } cases[] = {
        {model::FrameWrap::Square, model::FrameRelative::Text, model::FrameRelative::Text,
         "\\shpbxcolumn\\shpbypara\\shpwr2\\shpwrk0\\shpfblwtxt0"},
        {model::FrameWrap::TopBottom, model::FrameRelative::Page, model::FrameRelative::Margin,
         "\\shpbxpage\\shpbymargin\\shpwr1\\shpwrk0\\shpfblwtxt0"},
        {model::FrameWrap::Through, model::FrameRelative::Text, model::FrameRelative::Text, "\\shpwr5\\shpwrk0\\shpfblwtxt0"},
        {model::FrameWrap::InFront, model::FrameRelative::Text, model::FrameRelative::Text, "\\shpwr3\\shpwrk0\\shpfblwtxt0"},
        {model::FrameWrap::Behind, model::FrameRelative::Text, model::FrameRelative::Text, "\\shpwr3\\shpwrk0\\shpfblwtxt1"},
    };
    for (const auto& c : cases) {
        model::Frame f;
        f.wrap = c.wrap;
        f.position = model::FramePosition{c.horizontal, c.vertical, 0, 0};
        const std::string rtf = flat(toRtf(oneParagraph({model::Inline{f}})));
        EXPECT_NE(rtf.find(c.words), std::string::npos) << c.words << "\n" << rtf;
        EXPECT_EQ(rtf.find("fBehindDocument") != std::string::npos, c.wrap == model::FrameWrap::Behind);
    }
}

TEST(RtfWriterFrames, FrameInLineTakesTheLineAndGrowsWithItsText) {
    model::Frame f;
    f.wrap = model::FrameWrap::Behind;  // ignored without a position
    f.blocks = {paragraph({run("one")}), paragraph({run("two")})};
    const std::string rtf = flat(toRtf(oneParagraph({model::Inline{f}, run("after")})));
    // Letter paper less its margins; two paragraphs of an estimated quarter inch.
    EXPECT_NE(rtf.find("\\shpleft0\\shptop0\\shpright9360\\shpbottom720"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\shpbxcolumn\\shpbypara\\shpwr1\\shpwrk0\\shpfblwtxt0"), std::string::npos);
    EXPECT_NE(rtf.find("{\\sp{\\sn fFitShapeToText}{\\sv 1}}"), std::string::npos);
    // First in its paragraph: the fallback has no paragraph to end before it.
    EXPECT_NE(rtf.find("{\\shprslt\\pard\\plain"), std::string::npos) << rtf;

    // A picture in line makes its paragraph as tall as it is (a floating one
    // does not), a table a line per row.
    model::Image tall;
    tall.data = "x";
    tall.width = 1000;
    tall.height = 4000;
    model::Image floating = tall;
    floating.position = model::FramePosition{};
    model::Table table;
    model::TableCell cell;
    cell.blocks = {paragraph({run("cell")})};
    table.rows = {model::TableRow{{cell}}, model::TableRow{{cell}}, model::TableRow{{cell}}};
    f.blocks = {paragraph({model::Inline{tall}, run("beside")}), paragraph({model::Inline{floating}}),
                model::Block{table}, paragraph({})};
    EXPECT_NE(flat(toRtf(oneParagraph({model::Inline{f}}))).find("\\shpright9360\\shpbottom5800"), std::string::npos);
}

TEST(RtfWriterFrames, FramesInHeadersCellsAndOtherFrames) {
    model::Frame inner;
    inner.blocks = {paragraph({run("inner")})};
    model::Frame outer;
    outer.width = 3000;
    outer.blocks = {paragraph({run("outer"), model::Inline{inner}, run("rest")})};
    model::Table table;
    model::TableRow row;
    row.cells = {cell(4000, {paragraph({run("cell"), model::Inline{outer}})})};
    table.rows = {row};
    model::Document d;
    model::Section s;
    s.blocks = {model::Block{table}, paragraph({run("end")})};
    s.header = {paragraph({model::Inline{inner}})};
    d.sections = {s};
    const std::string rtf = flat(toRtf(d));
    EXPECT_NE(groupOf(rtf, "{\\header").find("\\shpfhdr1"), std::string::npos) << rtf;
    EXPECT_EQ(count(rtf, "{\\shp{"), 2u) << "the header's and the cell's; none inside a box";
    // In a box, the inner box's text stands in place, in a group so that the
    // paragraph around it goes on as before.
    const std::size_t cellShape = rtf.find("\\intbl\\widctlpar{\\f0\\fs24 cell}{\\shp");
    ASSERT_NE(cellShape, std::string::npos) << rtf;
    const std::string text = groupAt(rtf, rtf.find("{\\shptxt", cellShape));
    EXPECT_NE(text.find("{\\f0\\fs24 outer}{\\par\\pard\\plain\\widctlpar{\\f0\\fs24 inner}{\\f0\\fs24\\par}}"
                        "{\\f0\\fs24 rest}"),
              std::string::npos)
        << text;
    // The fallback for readers without shapes stays in the cell.
    const std::string result = groupAt(rtf, rtf.find("{\\shprslt", cellShape));
    EXPECT_TRUE(result.starts_with("{\\shprslt\\par\\pard\\plain\\intbl\\widctlpar{\\f0\\fs24 outer}")) << result;
}

// A floating picture is a picture shape with the picture in line as its
// result; a box without text is a plain rectangle. Where shapes cannot stand
// (inside a text box) the picture goes in line and the empty box goes.
model::Image floatingPicture() {
    model::Image image;
    image.format = model::ImageFormat::Png;
    image.data = "\x89PNG-ish";
    image.width = 1440;
    image.height = 720;
    image.pixelWidth = 96;
    image.pixelHeight = 48;
    image.position = model::FramePosition{model::FrameRelative::Page, model::FrameRelative::Text, 720, -360};
    image.wrap = model::FrameWrap::Behind;
    return image;
}

// Drawn shapes keep their outline and turn; WordArt is a text-path shape
// carrying its text and font, with nothing in \shptxt or in the result.
TEST(RtfWriterFrames, DrawnShapesKeepTheirKindRotationAndWordArt) {
    model::Frame ellipse;
    ellipse.width = 2000;
    ellipse.height = 1000;
    ellipse.position = model::FramePosition{};
    ellipse.shapeType = 3;
    ellipse.rotation = 30;
    model::Frame art;
    art.width = 9000;
    art.height = 1200;
    art.position = model::FramePosition{model::FrameRelative::Margin, model::FrameRelative::Margin, 0, 4000};
    art.wrap = model::FrameWrap::Behind;
    art.rotation = -45;
    art.fill = 0xC0C0C0;
    art.wordArt = "DRAFT {1}";
    art.wordArtFont = "Calibri";
    const std::string rtf = flat(toRtf(oneParagraph({run("a"), model::Inline{ellipse}, model::Inline{art}})));
    const std::size_t first = rtf.find("{\\shp{");
    const std::string drawn = groupAt(rtf, first);
    EXPECT_NE(drawn.find("{\\sp{\\sn shapeType}{\\sv 3}}"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("{\\sp{\\sn rotation}{\\sv 1966080}}"), std::string::npos) << drawn;

    const std::string wordArt = groupAt(rtf, rtf.find("{\\shp{", first + 1));
    for (const char* expected : {"\\shpleft0\\shptop4000\\shpright9000\\shpbottom5200", "\\shpfblwtxt1",
                                 "{\\sp{\\sn shapeType}{\\sv 136}}", "{\\sp{\\sn rotation}{\\sv -2949120}}",
                                 "{\\sp{\\sn gtextUNICODE}{\\sv DRAFT \\{1\\}}}", "{\\sp{\\sn gtextFont}{\\sv Calibri}}",
                                 "{\\sp{\\sn fillColor}{\\sv 12632256}}", "{\\sp{\\sn fBehindDocument}{\\sv 1}}"}) {
        EXPECT_NE(wordArt.find(expected), std::string::npos) << expected << "\n" << wordArt;
    }
    for (const char* none : {"shptxt", "shprslt", "fFitShapeToText"}) EXPECT_EQ(wordArt.find(none), std::string::npos) << none;
}

// A page break that opens a paragraph starts the paragraph on the next page:
// written as \pagebb, so the paragraph's line opens that page. Elsewhere in a
// paragraph, and in a table cell, it stays a \page where it stands.
TEST(RtfWriterStructure, PageBreakOpeningAParagraphStartsItOnTheNextPage) {
    model::Document d;
    model::Section s;
    s.blocks = {paragraph({run("one")}), paragraph({model::Inline{model::Break{}}}), paragraph({model::Inline{model::Break{}}, run("two")}),
                paragraph({run("three"), model::Inline{model::Break{}}, run("four")})};
    d.sections = {s};
    const std::string rtf = flat(toRtf(d));
    EXPECT_EQ(count(rtf, "\\pagebb"), 2u) << rtf;
    EXPECT_EQ(count(rtf, "\\page}") + count(rtf, "\\page\\") + count(rtf, "\\page "), 1u) << rtf;
    EXPECT_NE(rtf.find("\\pagebb\\widctlpar{\\f0\\fs24 two}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("three}{\\f0\\fs24\\page}{\\f0\\fs24 four}"), std::string::npos) << rtf;
}

TEST(RtfWriterFrames, FloatingPicturesAndDrawnBoxesAreShapes) {
    model::Frame box;
    box.width = 2000;
    box.height = 1000;
    box.position = model::FramePosition{};
    box.wrap = model::FrameWrap::InFront;
    box.fill = 0xFF0000;
    model::Frame holder;
    holder.blocks = {paragraph({run("in box"), model::Inline{floatingPicture()}, model::Inline{box}, run("on")})};
    const std::string rtf =
        flat(toRtf(oneParagraph({run("a"), model::Inline{floatingPicture()}, model::Inline{box}, model::Inline{holder}})));
    const std::string picture = groupAt(rtf, rtf.find("{\\shp{"));
    EXPECT_TRUE(picture.starts_with("{\\shp{\\*\\shpinst\\shpleft720\\shptop-360\\shpright2160\\shpbottom360\\shpfhdr0"
                                    "\\shpbxpage\\shpbypara\\shpwr3\\shpwrk0\\shpfblwtxt1"))
        << picture;
    EXPECT_NE(picture.find("{\\sp{\\sn shapeType}{\\sv 75}}"), std::string::npos);
    EXPECT_NE(picture.find("{\\sp{\\sn fBehindDocument}{\\sv 1}}"), std::string::npos);
    EXPECT_NE(picture.find("{\\sp{\\sn pib}{\\sv{\\pict\\pngblip\\picw96\\pich48\\picwgoal1440\\pichgoal720"),
              std::string::npos)
        << picture;
    EXPECT_NE(picture.find("{\\shprslt{\\pict\\pngblip"), std::string::npos) << "readers without shapes see it in line";

    const std::string rect = groupAt(rtf, rtf.find("{\\shp{", rtf.find("{\\shp{") + 1));
    EXPECT_NE(rect.find("{\\sp{\\sn shapeType}{\\sv 1}}"), std::string::npos) << rect;
    EXPECT_NE(rect.find("\\shpwr3"), std::string::npos);
    EXPECT_NE(rect.find("{\\sp{\\sn fillColor}{\\sv 255}}"), std::string::npos);
    for (const char* none : {"shptxt", "shprslt", "\\par"}) EXPECT_EQ(rect.find(none), std::string::npos) << none;

    // In the text box: the picture in line, the empty box nowhere, the paragraph whole.
    const std::string text = groupOf(rtf, "{\\shptxt");
    EXPECT_EQ(text.find("\\shp{"), std::string::npos) << text;
    EXPECT_NE(text.find("{\\f0\\fs24 in box}{\\pict\\pngblip"), std::string::npos) << text;
    EXPECT_NE(text.find("}{\\f0\\fs24 on}"), std::string::npos) << text;
}

TEST(RtfWriterStructure, NotesCommentsAndFramesNestedDeeplyStayBounded) {
    // Each kind inside itself thousands of times: written in place, cut off
    // where the writer's depth limit is, never a stack overflow.
    for (int kind = 0; kind < 3; ++kind) {
        // (Built with moves only: an initializer list would copy the whole nest each time.)
        std::vector<model::Inline> content;
        content.push_back(run("deepest"));
        for (int i = 0; i < 3000; ++i) {
            std::vector<model::Block> blocks;
            blocks.push_back(paragraph(std::move(content)));
            content.clear();
            content.push_back(run("level"));
            if (kind == 0) content.push_back(footnote(std::move(blocks)));
            if (kind == 1) content.push_back(comment(std::move(blocks)));
            if (kind == 2) content.push_back(frame(std::move(blocks)));
        }
        model::Document d;
        d.sections.emplace_back();
        d.sections[0].blocks.push_back(paragraph(std::move(content)));
        const std::string rtf = toRtf(d);
        EXPECT_LE(count(rtf, "{\\footnote") + count(rtf, "\\annotation") + count(rtf, "{\\shp{"), 1u) << kind;
        // Comments in comments are left out; notes and boxes keep their text in place.
        EXPECT_GT(count(rtf, "level"), kind == 1 ? 1u : 100u) << kind;
    }
}

// ---------------------------------------------------------------------------
// A sink that fails

class FailingSink : public Sink {
public:
    explicit FailingSink(std::size_t capacity) : m_capacity(capacity) {}
    bool write(std::string_view data) override {
        ++m_calls;
        if (m_failed) ++m_callsAfterFailure;
        if (m_written + data.size() > m_capacity) {
            m_failed = true;
            return false;
        }
        m_written += data.size();
        return true;
    }
    std::size_t calls() const { return m_calls; }
    std::size_t callsAfterFailure() const { return m_callsAfterFailure; }

private:
    std::size_t m_capacity;
    std::size_t m_written = 0;
    std::size_t m_calls = 0;
    std::size_t m_callsAfterFailure = 0;
    bool m_failed = false;
};

TEST(RtfWriterSink, StopsAtTheFirstFailedWrite) {
    const model::Document d = largeDocument();
    const std::size_t total = toRtf(d).size();
    ASSERT_GT(total, 3 * 64 * 1024u) << "the document must need several writes";
    for (std::size_t capacity : {std::size_t{0}, std::size_t{10}, std::size_t{70000}, total / 2, total - 1}) {
        FailingSink sink(capacity);
        EXPECT_FALSE(writeRtf(d, sink)) << "capacity " << capacity;
        EXPECT_EQ(sink.callsAfterFailure(), 0u) << "capacity " << capacity;
    }
    FailingSink enough(total);
    EXPECT_TRUE(writeRtf(d, enough));
    EXPECT_GT(enough.calls(), 1u);
}

// ---------------------------------------------------------------------------
// Tracked changes

using Kind = model::Revision::Kind;

TEST(RtfWriterRevisions, AuthorTableAndMarksAsWordWritesThem) {
    const std::string rtf = flat(toRtf(oneParagraph({
        run("Kept "),
        revised("new", Kind::Insertion, "Ann", "2016-03-31T20:14:00Z"),
        revised("old", Kind::Deletion, "Bob", "2016-03-31T20:15:59Z"),
        revised("anon", Kind::Deletion),
        revised("again", Kind::Insertion, "Ann"),
    })));
    // Authors in order of first use after Word's "Unknown"; the table comes
    // after the list tables and before the generator, as in Word's files.
    const std::size_t table = rtf.find("{\\*\\revtbl{Unknown;}{Ann;}{Bob;}}");
    ASSERT_NE(table, std::string::npos) << rtf;
    EXPECT_LT(table, rtf.find("{\\*\\generator"));
    EXPECT_NE(rtf.find("{\\f0\\fs24\\revised\\revauth1\\revdttm121896206 new}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("{\\f0\\fs24\\deleted\\revauthdel2\\revdttmdel121896207 old}"), std::string::npos);
    // No author: "Unknown"; no date: no \revdttm.
    EXPECT_NE(rtf.find("{\\f0\\fs24\\deleted\\revauthdel0 anon}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\f0\\fs24\\revised\\revauth1 again}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\f0\\fs24 Kept }"), std::string::npos);
}

TEST(DumpModelGolden, EveryRevisionFieldChangesTheDump) {
    const model::Document base = oneParagraph({revised("x", Kind::Insertion, "Ann", "2016-03-31T20:14:00Z")});
    const auto rev = [](model::Document& d) -> model::Revision& {
        return *std::get<model::TextRun>(std::get<model::Paragraph>(d.sections[0].blocks[0].value).content[0].value)
                    .revision;
    };
    const std::vector<std::pair<const char*, std::function<void(model::Document&)>>> changes = {
        {"kind", [&](model::Document& d) { rev(d).kind = Kind::Deletion; }},
        {"author", [&](model::Document& d) { rev(d).author = "Bob"; }},
        {"date", [&](model::Document& d) { rev(d).date.clear(); }},
        {"mark", [&](model::Document& d) {
             std::get<model::Paragraph>(d.sections[0].blocks[0].value).markRevision = model::Revision{};
         }},
        {"none", [&](model::Document& d) {
             std::get<model::TextRun>(std::get<model::Paragraph>(d.sections[0].blocks[0].value).content[0].value)
                 .revision.reset();
         }},
    };
    for (const auto& [name, change] : changes) {
        model::Document changed = base;
        change(changed);
        EXPECT_NE(dumpModel(changed), dumpModel(base)) << name;
    }
}

TEST(RtfWriterRevisions, ParagraphMarksCarryTheirOwnRevision) {
    model::Document d = oneParagraph({run("one")});
    auto& first = std::get<model::Paragraph>(d.sections[0].blocks[0].value);
    first.markRevision = model::Revision{Kind::Deletion, "Mark remover", "2016-03-31T20:14:00Z"};
    d.sections[0].blocks.push_back(paragraph({run("two")}));
    std::get<model::Paragraph>(d.sections[0].blocks[1].value).markRevision = model::Revision{Kind::Insertion, "", ""};
    const std::string rtf = flat(toRtf(d));
    EXPECT_NE(rtf.find("{\\*\\revtbl{Unknown;}{Mark remover;}}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("one}{\\f0\\fs24\\deleted\\revauthdel1\\revdttmdel121896206\\par}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("two}{\\f0\\fs24\\revised\\revauth0\\par}"), std::string::npos) << rtf;
}

TEST(RtfWriterRevisions, NoTableWithoutRevisionsAndAuthorsFromEveryStory) {
    EXPECT_EQ(toRtf(sampleDocument()).find("revtbl"), std::string::npos);
    // Authors of revisions in notes, comments, frames, headers and field results count too.
    model::Document d = oneParagraph({
        footnote({paragraph({revised("n", Kind::Insertion, "Note author")})}),
        comment({paragraph({revised("c", Kind::Deletion, "Comment author")})}),
        frame({paragraph({revised("f", Kind::Insertion, "Frame author")})}),
        model::Inline{model::Field{"PAGE", {revised("1", Kind::Insertion, "Field author")}}},
    });
    d.sections[0].header = {paragraph({revised("h", Kind::Deletion, "Header author")})};
    const std::string rtf = flat(toRtf(d));
    for (const char* author : {"Note author", "Comment author", "Frame author", "Field author", "Header author"}) {
        EXPECT_NE(groupOf(rtf, "\\revtbl").find(std::string("{") + author + ";}"), std::string::npos) << author;
    }
    EXPECT_EQ(count(rtf, "\\revised"), 4u);  // the frame's text is in the shape and in its result
    EXPECT_EQ(count(rtf, "\\deleted"), 2u);
}

// ---------------------------------------------------------------------------
// Round trips: what the writer writes, the RTF reader reads back unchanged.

void expectRoundTrip(const model::Document& original) {
    const std::string rtf = toRtf(original);
    const ReadResult back = readRtf(rtf, ReadLimits{});
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(dumpModel(*back.document), dumpModel(testing::asWritten(original)));
    // Writing what was read gives the same RTF again.
    EXPECT_EQ(toRtf(*back.document), rtf);
}

// A numbered heading style whose numbering one paragraph switches off (Word's
// numId 0): the paragraph says \ls0, or readers that apply the style's list
// number it anyway. Styles and paragraphs with numbering say nothing extra.
TEST(RtfWriterProperties, NumberingTheStyleBringsIsSwitchedOffWithLs0) {
    model::Document d;
    d.fonts = {{"Calibri", model::FontFamily::Swiss, 0, 2, ""}};
    model::List list;
    model::ListLevel level;
    level.text = "%1.";
    list.levels = {level};
    d.lists = {list};
    model::Style heading;
    heading.name = "heading 1";
    heading.para.list = model::ListRef{0, 0};
    model::Style plain;
    plain.name = "Plain heading";
    plain.basedOn = 0;
    d.styles = {heading, plain};
    model::ParaProps numbered;
    numbered.style = 0;
    numbered.list = model::ListRef{0, 0};
    model::ParaProps unnumbered;
    unnumbered.style = 0;
    model::ParaProps otherStyle;
    otherStyle.style = 1;
    model::Section s;
    s.blocks = {paragraph({run("one")}, numbered), paragraph({run("none")}, unnumbered),
                paragraph({run("two")}, numbered), paragraph({run("plain")}, otherStyle)};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    // The unnumbered heading and the style based on the numbered one, nothing else.
    EXPECT_EQ(count(rtf, "\\ls0"), 2u) << rtf;
    EXPECT_NE(rtf.find("\\s0\\widctlpar\\ls0{"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\sbasedon0"), std::string::npos) << rtf;
    EXPECT_EQ(count(rtf, "\\ls1\\ilvl0"), 3u) << rtf;  // the style and its two numbered paragraphs
    expectRoundTrip(d);
}

// Contextual spacing is stated on the paragraphs (and styles) that have it.
TEST(RtfRoundTrip, ContextualSpacing) {
    model::Document d;
    d.fonts = {{"Calibri", model::FontFamily::Swiss, 0, 2, ""}};
    model::Style compact;
    compact.name = "List Paragraph";
    compact.para.contextualSpacing = true;
    d.styles = {compact};
    model::ParaProps inStyle;
    inStyle.style = 0;
    inStyle.contextualSpacing = true;
    model::ParaProps direct;
    direct.contextualSpacing = true;
    model::Section s;
    s.blocks = {paragraph({run("one")}, inStyle), paragraph({run("two")}, direct), paragraph({run("plain")})};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_EQ(count(rtf, "\\contextualspace"), 3u) << rtf;
    expectRoundTrip(d);
}

// A style is defined after the style it is based on, whatever their numbers,
// so that readers resolve what it inherits; a loop of bases still ends.
TEST(RtfWriterStyles, BasesAreDefinedBeforeTheStylesBasedOnThem) {
    model::Document d;
    d.fonts = {{"Calibri", model::FontFamily::Swiss, 0, 2, ""}};
    model::Style heading;
    heading.name = "heading 1";
    heading.basedOn = 2;
    model::Style loopA;
    loopA.name = "Loop A";
    loopA.basedOn = 3;
    model::Style web;
    web.name = "Normal (Web)";
    web.para.spaceBefore = 280;
    model::Style loopB;
    loopB.name = "Loop B";
    loopB.basedOn = 1;
    d.styles = {heading, loopA, web, loopB};
    model::Section s;
    s.blocks = {paragraph({run("text")})};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    const auto at = [&](const char* name) { return rtf.find(name); };
    ASSERT_NE(at("Normal (Web);"), std::string::npos) << rtf;
    EXPECT_LT(at("Normal (Web);"), at("heading 1;")) << rtf;
    EXPECT_NE(rtf.find("\\s0\\sb0\\widctlpar\\sbasedon2"), std::string::npos) << rtf;
    EXPECT_EQ(count(rtf, "Loop A;"), 1u) << rtf;
    EXPECT_EQ(count(rtf, "Loop B;"), 1u) << rtf;
}

// HTML auto spacing: the document's rule (\htmautsp), the paragraphs' auto
// flags beside the spacing they show, and the default tab stops come back.
TEST(RtfRoundTrip, AutoSpacingAndDefaultTabs) {
    model::Document d;
    d.fonts = {{"Calibri", model::FontFamily::Swiss, 0, 2, ""}};
    d.htmlAutoSpacing = true;
    d.defaultTab = 709;
    model::ParaProps html;
    html.spaceBefore = html.spaceAfter = 280;
    html.autoSpaceBefore = html.autoSpaceAfter = true;
    model::ParaProps after;
    after.spaceAfter = 280;
    after.autoSpaceAfter = true;
    model::Section s;
    s.blocks = {paragraph({run("auto")}, html), paragraph({run("after")}, after), paragraph({run("plain")})};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_NE(rtf.find("\\deftab709\\widowctrl\\htmautsp"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\sb280\\sa280\\sbauto1\\saauto1"), std::string::npos) << rtf;
    EXPECT_EQ(count(rtf, "\\sbauto"), 1u) << rtf;
    EXPECT_EQ(count(rtf, "\\saauto"), 2u) << rtf;
    expectRoundTrip(d);
    d.htmlAutoSpacing = false;
    EXPECT_EQ(toRtf(d).find("\\htmautsp"), std::string::npos);
}

// Padding other than Word's usual goes out side by side and reads back.
TEST(RtfRoundTrip, TableCellPadding) {
    model::Document d;
    d.fonts = {{"Calibri", model::FontFamily::Swiss, 0, 2, ""}};
    model::Table usual;
    model::TableCell cell;
    cell.width = 2000;
    cell.blocks = {paragraph({run("cell")})};
    usual.rows = {model::TableRow{{cell}}};
    model::Table tight = usual;
    tight.padding = model::CellPadding{0, 20, 10, 30};
    model::Section s;
    s.blocks = {model::Block{usual}, paragraph({run("between")}), model::Block{tight}, paragraph({})};
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_EQ(count(rtf, "\\trpaddl"), 1u) << rtf;
    EXPECT_NE(rtf.find("\\trgaph10\\trleft0\\trpaddl0\\trpaddr20\\trpaddt10\\trpaddb30"), std::string::npos) << rtf;
    expectRoundTrip(d);
}

TEST(RtfRoundTrip, SampleDocument) {
    expectRoundTrip(sampleDocument());
}

TEST(RtfRoundTrip, AwkwardText) {
    model::Document d;
    d.fonts = {{"Calibri", model::FontFamily::Swiss, 0, 2, ""}};
    model::CharProps bold;
    bold.bold = true;
    model::Section s;
    s.blocks = {
        paragraph({run("{braces} \\back\\slash\\ and \\par and ;semicolons;")}),
        paragraph({run("caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cquotes\xE2\x80\x9D \xE2\x80\x94 \xC5\xB8")}),
        paragraph({run("\xE4\xB8\xAD\xE6\x96\x87 \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9")}),
        paragraph({run("emoji \xF0\x9F\x98\x80\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD and U+FFFD \xEF\xBF\xBD")}),
        paragraph({run("no-break\xC2\xA0space, soft\xC2\xADhyphen, zero\xE2\x80\x8Bwidth")}),
        // (Readers join neighbouring runs of equal formatting, so these differ.)
        paragraph({run("  leading and trailing spaces  "), run("\ttab first", bold), run("line\nbreak\n")}),
        paragraph({}),
        paragraph({run(std::string(400, 'x'))}),
    };
    d.sections = {s};
    expectRoundTrip(d);
}

TEST(RtfRoundTrip, TablesNestedThreeDeep) {
    model::Document d;
    d.fonts = {{"Arial", model::FontFamily::Swiss, 0, 2, ""}};
    model::Table innermost;
    model::TableRow r3;
    r3.cells = {cell(800, {paragraph({run("deepest")})}), cell(800, {paragraph({run("also")})})};
    innermost.rows = {r3, r3};
    model::Table middle;
    model::TableRow r2;
    r2.cells = {cell(2000, {paragraph({run("middle")}), model::Block{innermost}, paragraph({run("after")})}),
                cell(1500, {paragraph({run("m2")})})};
    middle.rows = {r2};
    model::Table outer;
    model::TableRow r1;
    r1.cells = {cell(4000, {model::Block{middle}, paragraph({})}), cell(3000, {paragraph({run("o2")})})};
    outer.rows = {r1, r1};
    model::Section s;
    s.blocks = {model::Block{outer}, paragraph({run("end")})};
    d.sections = {s};
    expectRoundTrip(d);
}

// Notes, comments and frames the RTF keeps whole: what the reader must give back.
model::Document notesRoundTripDocument() {
    model::Document d;
    d.fonts = {{"Arial", model::FontFamily::Swiss, 0, 2, ""}};
    d.notes.footnotes = {model::NoteNumberFormat::LowerLetter, 2, model::NoteRestart::EachSection};
    d.notes.endnotes = {model::NoteNumberFormat::UpperRoman, 1, model::NoteRestart::Continuous};
    d.notes.footnotesBeneathText = true;
    d.notes.endnotesPerSection = true;
    model::Table table;
    model::TableRow row;
    row.cells = {cell(1500, {paragraph({run("cell")})})};
    table.rows = {row};
    model::Frame box;
    box.width = 2880;
    box.height = 1440;
    box.position = model::FramePosition{model::FrameRelative::Page, model::FrameRelative::Margin, 720, 360};
    box.wrap = model::FrameWrap::TopBottom;
    box.border = 0x112233;
    box.fill = 0xFFEEDD;
    box.blocks = {paragraph({run("In the box")}), model::Block{table}, paragraph({run("after")})};
    model::Frame growing;
    growing.width = 2000;
    growing.position = model::FramePosition{};
    growing.blocks = {paragraph({run("grows")})};
    model::Section s;
    s.props.footnoteNumbering = model::NoteNumbering{model::NoteNumberFormat::Chicago, 1, model::NoteRestart::EachPage};
    s.blocks = {
        paragraph({run("Footnote"), footnote({paragraph({run(" one")}), paragraph({run("two")})}), run(", endnote"),
                   endnote({paragraph({run(" e")})}), run(", marks"), footnote({paragraph({run(" star")})}, "*"),
                   endnote({paragraph({run(" dagger")})}, "\xE2\x80\xA0"), run(", table"),
                   footnote({paragraph({run(" before")}), model::Block{table}, paragraph({})})}),
        paragraph({run("A "), model::Inline{model::CommentRange{1, true}}, run("phrase"),
                   model::Inline{model::CommentRange{1, false}},
                   comment({paragraph({run("First")}), paragraph({run("second")})}, 1, "2016-03-31T20:14:00Z"),
                   run(" and a point"), comment({paragraph({run("point")})}), run(" across "),
                   model::Inline{model::CommentRange{2, true}}, run("two")}),
        paragraph({run("paragraphs"), model::Inline{model::CommentRange{2, false}},
                   comment({paragraph({run("spans")})}, 2)}),
        paragraph({run("Boxes"), model::Inline{box}, run(" and "), model::Inline{growing}}),
    };
    d.sections = {s};
    return d;
}

TEST(RtfRoundTrip, NotesCommentsAndFrames) {
    expectRoundTrip(notesRoundTripDocument());
}

TEST(RtfRoundTrip, FloatingPicturesAndDrawnBoxes) {
    model::Frame box;
    box.width = 2000;
    box.height = 1000;
    box.position = model::FramePosition{model::FrameRelative::Margin, model::FrameRelative::Page, 100, 200};
    box.wrap = model::FrameWrap::Square;
    box.border = 0x000000;
    model::Frame inLineBox;
    inLineBox.width = 500;
    inLineBox.height = 500;
    model::Image tight = floatingPicture();
    tight.format = model::ImageFormat::Jpeg;
    tight.wrap = model::FrameWrap::Tight;
    tight.position = model::FramePosition{model::FrameRelative::Margin, model::FrameRelative::Margin, 0, 0};
    model::Image inLine = floatingPicture();
    inLine.position.reset();
    inLine.wrap = model::FrameWrap::Square;
    model::Document d = oneParagraph({run("picture "), model::Inline{floatingPicture()}, model::Inline{tight},
                                      model::Inline{inLine}, model::Inline{box}, model::Inline{inLineBox}});
    d.fonts = {{"Arial", model::FontFamily::Swiss, 0, 2, ""}};
    d.sections[0].header = {paragraph({model::Inline{floatingPicture()}})};
    expectRoundTrip(d);
}

TEST(RtfRoundTrip, TrackedChanges) {
    model::CharProps bold;
    bold.bold = true;
    model::Document d = oneParagraph({
        run("Plain, "),
        revised("inserted", Kind::Insertion, "Ann Example", "2016-03-31T20:14:00Z"),
        revised(" and bold", Kind::Insertion, "Ann Example", "2016-03-31T20:14:00Z", bold),
        revised(" deleted", Kind::Deletion, "B\xC3\xA9" "a {x}; y", "2020-02-29T23:59:00Z"),
        revised(" by nobody", Kind::Deletion),
        revised(" undated", Kind::Insertion, "Unknown"),  // a real author of that name
        model::Inline{model::Field{"PAGE", {revised("7", Kind::Deletion, "Ann Example")}}},
        footnote({paragraph({run(" note "), revised("added", Kind::Insertion, "Cy")})}),
    });
    d.fonts = {{"Arial", model::FontFamily::Swiss, 0, 2, ""}};
    // Paragraph marks deleted or inserted, in the body and in a table's cell.
    auto& first = std::get<model::Paragraph>(d.sections[0].blocks[0].value);
    first.markRevision = model::Revision{Kind::Deletion, "Dee", "2021-01-02T03:04:00Z"};
    model::Paragraph inserted = std::get<model::Paragraph>(paragraph({run("new paragraph")}).value);
    inserted.markRevision = model::Revision{Kind::Insertion, "Ann Example", ""};
    model::Table table;
    model::TableRow row;
    row.cells = {cell(2000, {model::Block{inserted}, paragraph({run("cell end")})})};
    table.rows = {row};
    d.sections[0].blocks.push_back(model::Block{inserted});
    d.sections[0].blocks.push_back(model::Block{table});
    d.sections[0].blocks.push_back(paragraph({run("last")}));
    expectRoundTrip(d);
}

TEST(RtfRoundTrip, PlainTextFile) {
    const ReadResult text = readText(testing::readFile(testing::goldenPath("text/mixed.txt")), ReadLimits{});
    ASSERT_TRUE(text.ok());
    expectRoundTrip(*text.document);
}

// ---------------------------------------------------------------------------
// Fields whose result spans paragraphs

model::Inline fieldStart(std::string instruction) { return model::Inline{model::FieldStart{std::move(instruction)}}; }
model::Inline fieldEnd() { return model::Inline{model::FieldEnd{}}; }
model::Inline field(std::string instruction, std::vector<model::Inline> result) {
    return model::Inline{model::Field{std::move(instruction), std::move(result)}};
}

// A table of contents as Word keeps it: one entry per paragraph, each a
// HYPERLINK with a PAGEREF inside, the field ending after the last mark.
model::Document tableOfContents() {
    model::Document d;
    d.fonts = {{"Calibri", model::FontFamily::Swiss, 0, 2, ""}};
    const auto entry = [](const std::string& text, const std::string& anchor, const std::string& page) {
        return field("HYPERLINK \\l \"" + anchor + "\"",
                     {run(text + "\t"), field("PAGEREF " + anchor + " \\h", {run(page)})});
    };
    model::Section s;
    s.blocks = {
        paragraph({run("Contents")}),
        paragraph({fieldStart("TOC \\o \"1-3\" \\h \\z \\u"), entry("Introduction", "_Toc1", "1")}),
        paragraph({entry("Method", "_Toc2", "2")}),
        paragraph({entry("Results", "_Toc3", "4"), fieldEnd()}),
        paragraph({run("Introduction")}),
    };
    d.sections = {s};
    return d;
}

TEST(RtfWriterFields, TableOfContentsIsOneFieldOverItsParagraphs) {
    const std::string rtf = toRtf(tableOfContents());
    EXPECT_TRUE(balanced(rtf));
    expectGolden("writer/toc.rtf", rtf);
    // The field opens in the first entry's paragraph and closes after the
    // last entry's mark; the entries' own fields stay whole inside it.
    const std::string field = groupAt(rtf, rtf.find("{\\field{\\*\\fldinst TOC"));
    EXPECT_EQ(count(field, "\\par}"), 3u);
    EXPECT_TRUE(field.ends_with("\\par}}}")) << field;
    EXPECT_EQ(count(field, "{\\field{\\*\\fldinst HYPERLINK"), 3u);
    EXPECT_EQ(count(field, "{\\field{\\*\\fldinst PAGEREF"), 3u);
    EXPECT_EQ(rtf.find("Introduction", rtf.find(field) + field.size()) != std::string::npos, true);
}

TEST(RtfWriterFields, EndsWithoutStartsAndFieldsCutByTablesOrStoriesStayBalanced) {
    model::ParaProps centred;
    centred.alignment = model::Alignment::Center;
    model::Table table;
    model::TableRow row;
    // Opened in a cell and never closed there: closed before the cell's mark.
    row.cells = {cell(2000, {paragraph({fieldStart("INDEX"), run("a")}), paragraph({run("b")})})};
    table.rows = {row};
    model::Document d;
    model::Section s;
    s.header = {paragraph({fieldStart("TOC"), run("header")})};
    s.blocks = {
        paragraph({fieldEnd(), run("nothing open")}),
        paragraph({fieldStart("TOC \\o"), run("one")}),
        // A table cuts the field: it closes before it, its end is ignored.
        model::Block{table},
        paragraph({run("two"), fieldEnd()}),
        paragraph({fieldStart("BIBLIOGRAPHY"), run("three"),
                   footnote({paragraph({fieldStart("TOC"), run(" in a note")})})}),
        paragraph({run("four"), fieldEnd(), run(" centred on")}, centred),
        paragraph({fieldStart("TOC"), run("never closed")}),
    };
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_TRUE(balanced(rtf));
    EXPECT_NE(rtf.find("one}{\\f0\\fs24\\par}\n}}\n\\trowd"), std::string::npos) << "closed before the table";
    EXPECT_NE(rtf.find("b}}}\\pard\\plain\\intbl\\widctlpar{\\f0\\fs24\\cell}"), std::string::npos)
        << "closed before the cell's mark";
    // Ended in the middle of a paragraph: its properties are said again.
    EXPECT_NE(rtf.find("four}}}\\pard\\plain\\qc\\widctlpar{\\f0\\fs24  centred on}"), std::string::npos);

    const ReadResult back = readRtf(rtf, ReadLimits{});
    ASSERT_TRUE(back.ok()) << back.error;
    const std::string dump = dumpModel(*back.document);
    // Each open field closed once; the note's, closed within its only
    // paragraph, reads back as a field of that paragraph.
    EXPECT_EQ(count(dump, "fieldstart"), 5u);
    EXPECT_EQ(count(dump, "fieldend"), 5u);
    EXPECT_NE(dump.find("field \"TOC\"\n            run \" in a note\""), std::string::npos) << dump;
}

// Fields nested without end stay within what readers take: the deeper ones
// are left out, their content and the ends of the others kept.
TEST(RtfWriterFields, DeeplyNestedFieldsAreCapped) {
    model::Document d;
    model::Section s;
    for (int i = 0; i < 60; ++i) s.blocks.push_back(paragraph({fieldStart("TOC"), run("in " + std::to_string(i))}));
    for (int i = 0; i < 60; ++i) s.blocks.push_back(paragraph({run("out " + std::to_string(i)), fieldEnd()}));
    d.sections = {s};
    const std::string rtf = toRtf(d);
    EXPECT_TRUE(balanced(rtf));
    const ReadResult back = readRtf(rtf, ReadLimits{});
    ASSERT_TRUE(back.ok()) << back.error;
    const std::string dump = dumpModel(*back.document);
    EXPECT_EQ(count(dump, "fieldstart"), 20u);
    EXPECT_EQ(count(dump, "fieldend"), 20u);
    EXPECT_EQ(count(dump, "run \"in "), 60u);
    // The outermost ends with the last paragraph.
    EXPECT_NE(dump.find("run \"out 59\"\n      fieldend\n"), std::string::npos);
}

// Fields ending after a mark, in the middle of a paragraph, nested, in a
// cell, a note and a header read back as they were written.
TEST(RtfRoundTrip, FieldsSpanningParagraphs) {
    model::ParaProps centred;
    centred.alignment = model::Alignment::Center;
    model::Document d = tableOfContents();
    model::Section& s = d.sections[0];
    model::Table table;
    model::TableRow row;
    row.cells = {cell(3000, {paragraph({fieldStart("INDEX \\e \" \""), run("Apple\t3")}),
                             paragraph({run("Pear\t5"), fieldEnd()}), paragraph({run("after")})})};
    table.rows = {row};
    s.header = {paragraph({fieldStart("TOC"), run("top")}), paragraph({fieldEnd()})};
    s.blocks.push_back(model::Block{table});
    s.blocks.push_back(paragraph({run("Text "), fieldStart("BIBLIOGRAPHY"), run("Smith, 2001")}, centred));
    s.blocks.push_back(paragraph({fieldStart("TOC \\f"), run("inner"), footnote({paragraph({run(" noted")})})}));
    s.blocks.push_back(paragraph({run("nested"), fieldEnd()}));
    s.blocks.push_back(paragraph({run("Jones, 1999"), fieldEnd(), run(" after")}, centred));
    s.blocks.push_back(paragraph({fieldStart("TOC"), run("x")}));
    s.blocks.push_back(paragraph({fieldEnd()}));
    expectRoundTrip(d);
}

}  // namespace
}  // namespace orvane
