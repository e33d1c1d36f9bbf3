// The plain-text reader: encodings, line ends, control characters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Engine.h"
#include "Golden.h"
#include "text/TextReader.h"

namespace orvane {
namespace {

using namespace std::string_literals;

// Each paragraph as its text, page breaks shown as "<page>".
std::vector<std::string> paragraphs(const model::Document& d) {
    std::vector<std::string> out;
    for (const model::Block& block : d.sections.at(0).blocks) {
        const auto& p = std::get<model::Paragraph>(block.value);
        std::string text;
        for (const model::Inline& item : p.content) {
            if (const auto* run = std::get_if<model::TextRun>(&item.value)) text += run->text;
            if (std::holds_alternative<model::Break>(item.value)) text += "<page>";
        }
        out.push_back(text);
    }
    return out;
}

struct TextCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> expected;
};

class TextReaderTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextReaderTest, DecodesIntoParagraphs) {
    const ReadResult r = readText(GetParam().bytes, ReadLimits{});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(paragraphs(*r.document), GetParam().expected);
}

const std::string kReplacement = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    LineEnds, TextReaderTest,
    ::testing::Values(TextCase{"Empty", "", {""}},
                      TextCase{"OneLine", "abc", {"abc"}},
                      TextCase{"Lf", "a\nb", {"a", "b"}},
                      TextCase{"CrLf", "a\r\nb", {"a", "b"}},
                      TextCase{"Cr", "a\rb", {"a", "b"}},
                      TextCase{"Mixed", "a\r\n\r\nb\rc\nd", {"a", "", "b", "c", "d"}},
                      TextCase{"LfCrIsTwoLineEnds", "a\n\rb", {"a", "", "b"}},
                      TextCase{"TrailingLineEndAddsNoParagraph", "a\r\n", {"a"}},
                      TextCase{"TrailingEmptyLineKept", "a\n\n", {"a", ""}},
                      TextCase{"OnlyALineEnd", "\n", {""}},
                      TextCase{"ParagraphSeparator", "a\xE2\x80\xA9" "b", {"a", "b"}},
                      TextCase{"LineSeparatorBreaksTheLine", "a\xE2\x80\xA8" "b", {"a\nb"}},
                      TextCase{"FormFeedIsAPageBreak", "a\fb\n\fc", {"a<page>b", "<page>c"}},
                      TextCase{"TabsStay", "a\tb", {"a\tb"}},
                      TextCase{"ControlsDropped", "a\0b\x01" "c\x1b\x7f" "d\v"s, {"abcd"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Encodings, TextReaderTest,
    ::testing::Values(
        TextCase{"Utf8", "caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD", {"caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD"}},
        TextCase{"Utf8Bom", "\xEF\xBB\xBFh\xC3\xA9\nx", {"h\xC3\xA9", "x"}},
        TextCase{"Utf8BomWithBadBytes", "\xEF\xBB\xBF" "a\xFF" "b\xE4\xB8", {"a" + kReplacement + "b" + kReplacement}},
        TextCase{"Windows1252WhenNotUtf8", "caf\xE9 \x80 \x93q\x94 \x9F", {"caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8"}},
        TextCase{"Windows1252UndefinedBytesDropped", "a\x81\x8D\x8F\x90\x9D" "b\xE9", {"ab\xC3\xA9"}},
        TextCase{"Windows1252LineEnds", "\xE9\r\n\xE8", {"\xC3\xA9", "\xC3\xA8"}},
        TextCase{"Utf16Le", "\xFF\xFEh\0\xE9\0\r\0\n\0x\0\xAC\x20"s, {"h\xC3\xA9", "x\xE2\x82\xAC"}},
        TextCase{"Utf16Be", "\xFE\xFF\0h\0\xE9\0\n\x4E\x2D"s, {"h\xC3\xA9", "\xE4\xB8\xAD"}},
        TextCase{"Utf16SurrogatePair", "\xFF\xFE\x3D\xD8\x00\xDE"s, {"\xF0\x9F\x98\x80"}},
        TextCase{"Utf16LoneHighSurrogate", "\xFF\xFE\x3D\xD8" "a\0"s, {kReplacement + "a"}},
        TextCase{"Utf16LoneLowSurrogate", "\xFF\xFE" "a\0\x00\xDE"s, {"a" + kReplacement}},
        TextCase{"Utf16HighSurrogateAtEnd", "\xFF\xFE" "a\0\x3D\xD8"s, {"a" + kReplacement}},
        TextCase{"Utf16OddByteAtEnd", "\xFF\xFE" "a\0b"s, {"a" + kReplacement}},
        TextCase{"Utf16NulDropped", "\xFF\xFE" "a\0\0\0b\0"s, {"ab"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Plain text is laid out as written for a fixed-pitch screen: one fixed-pitch
// face at 10 pt in a "Plain Text" style, on the C locale's A4 paper (the tests
// never set a locale) with 2 cm margins, so 80 columns fit on a line.
TEST(TextReader, IsLaidOutInOneFixedPitchFaceOnTheUsersPaper) {
    const ReadResult r = readText("Hello\tworld\n", ReadLimits{});
    ASSERT_TRUE(r.ok());
    const model::Document& d = *r.document;
    ASSERT_EQ(d.fonts.size(), 1u);
    EXPECT_EQ(d.fonts[0].name, "Courier New");
    EXPECT_EQ(d.fonts[0].pitch, 1);
    ASSERT_EQ(d.styles.size(), 1u);
    EXPECT_EQ(d.styles[0].name, "Plain Text");
    ASSERT_EQ(d.sections.size(), 1u);
    const model::SectionProps& page = d.sections[0].props;
    EXPECT_EQ(page.pageWidth, 11906);
    EXPECT_EQ(page.pageHeight, 16838);
    EXPECT_EQ(page.marginLeft, 1134);
    EXPECT_EQ(page.marginRight, 1134);
    // Eighty columns of 10 pt Courier (6 pt each) fit between the margins.
    EXPECT_GE(page.pageWidth - page.marginLeft - page.marginRight, 80 * 6 * 20);
    const auto& p = std::get<model::Paragraph>(d.sections[0].blocks.at(0).value);
    EXPECT_EQ(p.props.style, 0);
    ASSERT_EQ(p.content.size(), 1u);
    const auto& run = std::get<model::TextRun>(p.content[0].value);
    EXPECT_EQ(run.props.font, 0);
    EXPECT_EQ(run.props.sizeHalfPoints, 20);
    EXPECT_EQ(run.props, d.defaultChars);
    // In RTF: the style, the face and the page.
    orvane::StringSink sink;
    ASSERT_TRUE(orvane::writeRtf(d, sink));
    const std::string& rtf = sink.text();
    EXPECT_NE(rtf.find("\\fmodern\\fcharset0\\fprq1 Courier New;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("Plain Text;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\paperw11906\\paperh16838\\margl1134\\margr1134\\margt1134\\margb1134"), std::string::npos) << rtf;
}

TEST(TextReader, ModelOfAMixedFileMatchesGolden) {
    const std::string input = testing::readFile(testing::goldenPath("text/mixed.txt"));
    ASSERT_FALSE(input.empty());
    const ReadResult r = readText(input, ReadLimits{});
    ASSERT_TRUE(r.ok());
    testing::expectGolden("text/mixed.dump", dumpModel(*r.document));
}

TEST(TextReader, LargeFileIsReadInOnePass) {
    std::string big;
    for (int i = 0; i < 100000; ++i) big += "line " + std::to_string(i) + "\r\n";
    const ReadResult r = readText(big, ReadLimits{});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.document->sections[0].blocks.size(), 100000u);
}

}  // namespace
}  // namespace orvane
