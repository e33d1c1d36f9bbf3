// The engine's entry points: format detection by content, the messages for
// formats it cannot read, and the model dump everyone's golden tests rely on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Engine.h"
#include "Golden.h"
#include "SampleDocument.h"
#include "encoding/Encoding.h"

namespace orvane {
namespace {

using namespace std::string_literals;

void put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& s, unsigned v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A stored (uncompressed) zip archive with the given members, as a packager
// would write it: local headers, then the central directory, then its end.
std::string zip(const std::vector<std::pair<std::string, std::string>>& members, bool withDirectory = true) {
    std::string out, directory;
    for (const auto& [name, data] : members) {
        const auto offset = static_cast<unsigned>(out.size());
        out += "PK\x03\x04"s;
        put16(out, 20);  // version needed
        put16(out, 0);   // flags
        put16(out, 0);   // stored
        put32(out, 0);   // time and date
        put32(out, 0);   // crc (not checked by detection)
        put32(out, static_cast<unsigned>(data.size()));
        put32(out, static_cast<unsigned>(data.size()));
        put16(out, static_cast<unsigned>(name.size()));
        put16(out, 0);
        out += name + data;
        directory += "PK\x01\x02"s;
        put16(directory, 20);
        put16(directory, 20);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, 0);
        put32(directory, static_cast<unsigned>(data.size()));
        put32(directory, static_cast<unsigned>(data.size()));
        put16(directory, static_cast<unsigned>(name.size()));
        put16(directory, 0);  // extra
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, offset);
        directory += name;
    }
    if (!withDirectory) return out;
    const auto directoryOffset = static_cast<unsigned>(out.size());
    out += directory;
    out += "PK\x05\x06"s;
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(members.size()));
    put16(out, static_cast<unsigned>(members.size()));
    put32(out, static_cast<unsigned>(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

// The start of a compound file with one directory sector naming `stream`.
std::string compoundFile(const std::string& stream) {
    std::string out = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"s + std::string(504, '\0');
    std::string entry;
    for (const char c : "Root Entry"s) put16(entry, static_cast<unsigned char>(c));
    entry.resize(128, '\0');
    std::string second;
    for (const char c : stream) put16(second, static_cast<unsigned char>(c));
    second.resize(128, '\0');
    return out + entry + second + std::string(256, '\0');
}

struct DetectCase {
    const char* name;
    std::string bytes;
    InputFormat expected;
};

class DetectFormatTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectFormatTest, ByContent) {
    EXPECT_EQ(detectFormat(GetParam().bytes), GetParam().expected);
}

const std::string kDocxMembers = "<Types/>";

INSTANTIATE_TEST_SUITE_P(
    Formats, DetectFormatTest,
    ::testing::Values(
        DetectCase{"Empty", "", InputFormat::Empty},
        DetectCase{"Rtf", "{\\rtf1\\ansi hello}", InputFormat::Rtf},
        DetectCase{"RtfAfterWhiteSpace", " \r\n\t{\\rtf1}", InputFormat::Rtf},
        DetectCase{"RtfAfterBom", "\xEF\xBB\xBF{\\rtf1}", InputFormat::Rtf},
        DetectCase{"RtfLookalikeIsText", "{\\rt not rtf", InputFormat::Text},
        DetectCase{"Docx", zip({{"[Content_Types].xml", kDocxMembers}, {"word/document.xml", "<w/>"}}),
                   InputFormat::Docx},
        DetectCase{"DocxWithWordPartLast",
                   zip({{"[Content_Types].xml", kDocxMembers}, {"_rels/.rels", "<r/>"}, {"docProps/app.xml", "<a/>"},
                        {"word/document.xml", "<w/>"}}),
                   InputFormat::Docx},
        DetectCase{"DocxWithoutCentralDirectory",
                   zip({{"[Content_Types].xml", kDocxMembers}, {"word/document.xml", "<w/>"}}, false),
                   InputFormat::Docx},
        DetectCase{"OfficePackageWithoutWordFolder", zip({{"[Content_Types].xml", kDocxMembers}, {"xl/workbook.xml", "<x/>"}}),
                   InputFormat::Docx},
        DetectCase{"Odt",
                   zip({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<c/>"}}),
                   InputFormat::Odt},
        DetectCase{"OdtTemplate",
                   zip({{"mimetype", "application/vnd.oasis.opendocument.text-template"}, {"content.xml", "<c/>"}}),
                   InputFormat::Odt},
        DetectCase{"OpenDocumentSpreadsheet",
                   zip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", "<c/>"}}),
                   InputFormat::Unknown},
        DetectCase{"OdtWithoutMimetype", zip({{"META-INF/manifest.xml", "<m/>"}, {"content.xml", "<c/>"}}),
                   InputFormat::Odt},
        DetectCase{"OtherZip", zip({{"readme.txt", "hello"}}), InputFormat::Unknown},
        DetectCase{"Doc", compoundFile("WordDocument"), InputFormat::Doc},
        DetectCase{"DocWithLowerCaseStreamNames", compoundFile("worddocument"), InputFormat::Doc},
        DetectCase{"EncryptedDocx", compoundFile("EncryptedPackage"), InputFormat::Encrypted},
        DetectCase{"OtherCompoundFile", compoundFile("Workbook"), InputFormat::Unknown},
        DetectCase{"FlatOdt",
                   "<?xml version=\"1.0\"?>\n<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">",
                   InputFormat::Odt},
        DetectCase{"FlatOdtWithoutDeclaration",
                   "\xEF\xBB\xBF<!-- saved by hand -->\n<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">",
                   InputFormat::Odt},
        DetectCase{"FlatOdtWithOwnPrefix",
                   "<o:document xmlns:o=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" o:mimetype=\"x\">",
                   InputFormat::Odt},
        DetectCase{"Html", "<!DOCTYPE html>\n<html><body>x</body></html>", InputFormat::Html},
        DetectCase{"HtmlUpperCaseAfterSpace", "\r\n  <HTML><BODY>x", InputFormat::Html},
        DetectCase{"Xhtml", "<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">", InputFormat::Html},
        DetectCase{"OtherXmlIsText", "<?xml version=\"1.0\"?>\n<note>hi</note>", InputFormat::Text},
        DetectCase{"PlainText", "Dear reader,\r\n\tthis is text.\f\r\n", InputFormat::Text},
        DetectCase{"Windows1252Text", "caf\xE9 cr\xE8me", InputFormat::Text},
        DetectCase{"Utf16LeText", "\xFF\xFEh\0i\0"s, InputFormat::Text},
        DetectCase{"Utf16BeText", "\xFE\xFF\0h\0i"s, InputFormat::Text},
        DetectCase{"Pdf", "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n1 0 obj\n", InputFormat::Unknown},
        DetectCase{"BinaryWithNul", "\x7F" "ELF\x02\x01\x01\0\0\0"s, InputFormat::Unknown},
        DetectCase{"MostlyControlCharacters", std::string(50, 'a') + std::string(10, '\x01'), InputFormat::Unknown},
        DetectCase{"FewControlCharacters", std::string(200, 'a') + "\x1b", InputFormat::Text}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDocument, FailuresSayWhatTheFileIsAndWhatIsWrong) {
    const struct {
        std::string bytes;
        std::string message;
    } cases[] = {
        {"", "The file is empty."},
        // A bare shell of each kind reaches its own reader, which names the damage.
        {compoundFile("WordDocument"), "The compound file's header is damaged (unknown version or sector size)."},
        {zip({{"mimetype", "application/vnd.oasis.opendocument.text"}}),
         "The file is damaged: its content (content.xml) is missing"},
        {compoundFile("EncryptedPackage"), "The file is encrypted with a password."},
        {compoundFile("Workbook"), "The file is an Excel workbook, not a word-processing document."},
        {compoundFile("PowerPoint Document"), "The file is a PowerPoint presentation, not a word-processing document."},
        {compoundFile("Contents"),
         "The file is damaged or cut short: the directory of its streams cannot be read, and no Word document was "
         "found in it."},
        {"\xDB\xA5\x2D\x00\x31\x40\x09\x04"s + std::string(100, '\0'),
         "The file is a Word for Windows 1 or 2 document, an older format than Orvane reads. Orvane reads Word 6 to "
         "2003 (.doc), Word 2007 and later (.docx), OpenDocument (.odt), RTF and plain text."},
        {"\xFFWPC\x10\x00\x00\x00\x01\x0A"s, "The file is a WordPerfect document, which Orvane cannot read. Orvane "
                                              "reads Word 6 to 2003 (.doc), Word 2007 and later (.docx), OpenDocument "
                                              "(.odt), RTF and plain text."},
        {"<html><body>hi</body></html>", "The file is a web page (HTML), which this version cannot read yet."},
        {"%PDF-1.4\n", "The file is not a document that Orvane can read: it begins with 25 50 44 46 2D 31 2E 34 "
                       "(\"%PDF-1.4\")."},
        {"\x89PNG\r\n\x1a\n\0\0"s, "The file is not a document that Orvane can read: it begins with 89 50 4E 47 "
                                   "0D 0A 1A 0A (\".PNG....\")."},
    };
    for (const auto& c : cases) {
        const ReadResult r = readDocument(c.bytes);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.error, c.message);
    }
}

TEST(ReadDocument, TextGoesToTheTextReader) {
    const ReadResult r = readDocument("one\r\ntwo");
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.document->sections.at(0).blocks.size(), 2u);
}

TEST(ReadDocument, RtfAndDocxReachTheirReaders) {
    // Whatever those readers make of it, a damaged file fails with a message
    // and never throws past the engine.
    for (const std::string& bytes : {"{\\rtf1"s, "{\\rtf1 {{{{{"s, zip({{"word/document.xml", "<w:document"}}),
                                     "PK\x03\x04garbage"s}) {
        const ReadResult r = readDocument(bytes);
        EXPECT_TRUE(r.ok() || !r.error.empty());
    }
}

// ---------------------------------------------------------------------------
// The model dump

TEST(DumpModel, ListsOnlyWhatDiffersFromDefaults) {
    model::Document d;
    d.fonts = {{"Arial", model::FontFamily::Swiss, 0, 2, ""}};
    model::Section s;
    model::ParaProps p;
    p.style = 1;
    p.alignment = model::Alignment::Center;
    p.leftIndent = 720;
    model::CharProps c;
    c.bold = true;
    c.italic = true;
    c.sizeHalfPoints = 28;
    c.font = 1;
    s.blocks = {testing::paragraph({testing::run("Hello \"you\"\t\\", c)}, p)};
    d.sections = {s};
    EXPECT_EQ(dumpModel(d),
              "font 0 \"Arial\" swiss pitch=2\n"
              "section 0\n"
              "  body\n"
              "    para style=1 align=center li=720\n"
              "      run \"Hello \\\"you\\\"\\t\\\\\" f=1 fs=28 b i\n");
    EXPECT_EQ(dumpModel(model::Document{}), "");
}

TEST(DumpModel, ShowsInvisibleAndMalformedCharactersAsCodes) {
    model::Document d;
    model::Section s;
    s.blocks = {testing::paragraph({testing::run("a\xC2\xA0" "b\xEF\x82\xB7\xFF\xE4\xB8\xEF\xBF\xBD\x01\xC3\xA9")})};
    d.sections = {s};
    EXPECT_EQ(dumpModel(d),
              "section 0\n"
              "  body\n"
              "    para\n"
              "      run \"a\\u{00A0}b\\u{F0B7}\\xFF\\xE4\\xB8\xEF\xBF\xBD\\x01\xC3\xA9\"\n");
}

TEST(DumpModel, SampleDocumentMatchesGolden) {
    testing::expectGolden("writer/sample.dump", dumpModel(testing::sampleDocument()));
}

TEST(DumpModel, EveryFieldChangesTheDump) {
    // A field the dump forgot would let a round trip lose it unnoticed.
    using namespace model;
    const Document base = testing::sampleDocument();
    const std::string before = dumpModel(base);
    std::vector<std::pair<const char*, void (*)(Document&)>> changes = {
        {"font.altName", [](Document& d) { d.fonts[0].altName = "x"; }},
        {"font.charset", [](Document& d) { d.fonts[0].charset = 1; }},
        {"style.next", [](Document& d) { d.styles[1].next = 1; }},
        {"list.font", [](Document& d) { d.lists[0].levels[0].font = 2; }},
        {"list.start", [](Document& d) { d.lists[0].levels[0].start = 5; }},
        {"info.modified", [](Document& d) { d.info.modified = "2000"; }},
        {"facingPages", [](Document& d) { d.facingPages = false; }},
        {"section.footerDistance", [](Document& d) { d.sections[0].props.footerDistance = 1; }},
        {"section.columnSpacing", [](Document& d) { d.sections[1].props.columnSpacing = 1; }},
        {"defaultChars.lang", [](Document& d) { d.defaultChars.lang = 1; }},
        {"defaultPara.widow", [](Document& d) { d.defaultPara.widowControl = false; }},
        {"mark", [](Document& d) { std::get<Paragraph>(d.sections[0].blocks[0].value).markProps.caps = true; }},
        {"cell.borders",
         [](Document& d) {
             for (Block& b : d.sections[0].blocks) {
                 if (auto* t = std::get_if<Table>(&b.value)) t->rows[0].cells[0].borders = {};
             }
         }},
        {"image.pixelHeight",
         [](Document& d) {
             for (Block& b : d.sections[0].blocks) {
                 if (auto* p = std::get_if<Paragraph>(&b.value)) {
                     for (Inline& i : p->content) {
                         if (auto* img = std::get_if<Image>(&i.value)) img->pixelHeight = 99;
                     }
                 }
             }
         }},
        {"image.position",
         [](Document& d) {
             for (Block& b : d.sections[0].blocks) {
                 if (auto* p = std::get_if<Paragraph>(&b.value)) {
                     for (Inline& i : p->content) {
                         if (auto* img = std::get_if<Image>(&i.value)) img->position = FramePosition{};
                     }
                 }
             }
         }},
    };
    for (const auto& [name, change] : changes) {
        Document changed = base;
        change(changed);
        EXPECT_NE(dumpModel(changed), before) << name;
    }
}

// Text as the model keeps it, from whatever bytes a reader found.
TEST(Encoding, CleanTextIsValidUtf8WithoutControls) {
    const struct {
        std::string in;
        char lineBreak;
        std::string out;
    } cases[] = {
        {"plain\ttab", ' ', "plain\ttab"},
        {"a\nb\rc", ' ', "a b c"},
        {"a\nb\rc", '\n', "a\nb\nc"},
        {"a\nb", 0, "ab"},
        {"bell\x07 nul"s + '\0' + " del\x7F", ' ', "bell nul del"},
        {"C1 \xC2\x85\xC2\x9F gone, \xC2\xA0 kept", ' ', "C1  gone, \xC2\xA0 kept"},
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", ' ', "\xE2\x82\xAC \xF0\x9F\x98\x80"},
        // Malformed: a lone continuation byte, a cut sequence before ASCII, an
        // overlong slash, a surrogate, and a sequence cut by the end.
        {"\x80|\xE2\x82" "A|\xC0\xAF|\xED\xA0\x80|\xF0\x9F", ' ',
         "\xEF\xBF\xBD|\xEF\xBF\xBD" "A|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        std::string out = "kept:";
        encoding::appendCleanText(out, c.in, c.lineBreak);
        EXPECT_EQ(out, "kept:" + c.out) << c.in;
        EXPECT_TRUE(encoding::isValidUtf8(out));
    }
}

}  // namespace
}  // namespace orvane
