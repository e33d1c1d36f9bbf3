// Tests of the .docx reader: small packages built here in memory, compared as
// model dumps against golden files; damaged and hostile packages; and a smoke
// test over the shared corpus when it is present.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Engine.h"
#include "Corpus.h"
#include "Golden.h"
#include "docx/DocxPackage.h"
#include "docx/DocxReader.h"
#include "picture/PictureConvert.h"
#include "docx/DocxXml.h"
#include "zip/ZipArchive.h"
#include "rtf/RtfReader.h"

namespace {

using orvane::ReadLimits;
using orvane::ReadResult;

// ---------------------------------------------------------------------------
// Building packages

struct ZipFile {
    std::string name;
    std::string data;
    bool compress = true;
};

std::string makeZip(const std::vector<ZipFile>& files) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    zip_source_keep(out);
    for (const ZipFile& f : files) {
        zip_source_t* src = zip_source_buffer(archive, f.data.data(), f.data.size(), 0);
        const zip_int64_t index = zip_file_add(archive, f.name.c_str(), src, ZIP_FL_OVERWRITE);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 f.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    zip_close(archive);
    std::string bytes;
    zip_stat_t st;
    if (zip_source_stat(out, &st) == 0 && zip_source_open(out) == 0) {
        bytes.resize(st.size);
        zip_source_read(out, bytes.data(), st.size);
        zip_source_close(out);
    }
    zip_source_free(out);
    zip_error_fini(&error);
    return bytes;
}

constexpr const char* kNamespaces =
    R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")"
    R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")"
    R"( xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing")"
    R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")"
    R"( xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture")"
    R"( xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")"
    R"( xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape")"
    R"( xmlns:v="urn:schemas-microsoft-com:vml" xmlns:o="urn:schemas-microsoft-com:office:office")"
    R"( xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math")";

constexpr const char* kRelBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// A word-processing package assembled from XML snippets.
class DocxBuilder {
public:
    std::string body;  // the content of w:body
    std::string mainPart = "word/document.xml";
    std::string mainType =
        "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";

    // A part related to the main document; returns its relationship id.
    std::string part(const std::string& kind, const std::string& name, const std::string& xml,
                     const std::string& contentType = "application/xml") {
        m_files.push_back({name, xml, contentType});
        return rel(kind, name.substr(name.find('/') + 1));
    }
    // An XML part whose root gets the namespaces declared.
    std::string xmlPart(const std::string& kind, const std::string& name, const std::string& root,
                        const std::string& inner) {
        return part(kind, name, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><" + root + kNamespaces + ">" +
                                    inner + "</" + root + ">");
    }
    std::string rel(const std::string& kind, const std::string& target, bool external = false) {
        const std::string id = "rId" + std::to_string(m_rels.size() + 1);
        m_rels.push_back({id, kind, target, external});
        return id;
    }
    // Relationships of another part (a header, the footnotes).
    void partRels(const std::string& relsName, const std::string& xml) {
        m_files.push_back({relsName, xml, ""});
    }
    void file(const std::string& name, const std::string& data) { m_files.push_back({name, data, ""}); }

    std::string documentXml() const {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><w:document" +
               std::string(kNamespaces) + "><w:body>" + body + "</w:body></w:document>";
    }

    std::vector<ZipFile> files() const {
        std::string types =
            R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
            R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
            R"(<Default Extension="xml" ContentType="application/xml"/>)"
            R"(<Default Extension="png" ContentType="image/png"/>)";
        types += "<Override PartName=\"/" + mainPart + "\" ContentType=\"" + mainType + "\"/>";
        for (const auto& f : m_files) {
            if (!f.type.empty() && f.type != "application/xml")
                types += "<Override PartName=\"/" + f.name + "\" ContentType=\"" + f.type + "\"/>";
        }
        types += "</Types>";
        std::string pkgRels =
            R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            "<Relationship Id=\"rId1\" Type=\"" + std::string(kRelBase) + "officeDocument\" Target=\"" +
            mainPart + "\"/>"
            R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>)"
            "</Relationships>";
        std::string docRels =
            R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
        for (const auto& r : m_rels) {
            const std::string type = r.kind.find("://") == std::string::npos ? kRelBase + r.kind : r.kind;
            docRels += "<Relationship Id=\"" + r.id + "\" Type=\"" + type + "\" Target=\"" + r.target + "\"" +
                       (r.external ? " TargetMode=\"External\"" : "") + "/>";
        }
        docRels += "</Relationships>";
        const std::string mainDir = mainPart.substr(0, mainPart.rfind('/'));
        const std::string mainFile = mainPart.substr(mainPart.rfind('/') + 1);
        std::vector<ZipFile> out = {{"[Content_Types].xml", types},
                                    {"_rels/.rels", pkgRels},
                                    {mainPart, documentXml()},
                                    {mainDir + "/_rels/" + mainFile + ".rels", docRels}};
        for (const auto& f : m_files) out.push_back({f.name, f.data});
        return out;
    }

    std::string build() const { return makeZip(files()); }

private:
    struct Rel {
        std::string id, kind, target;
        bool external;
    };
    struct File {
        std::string name, data, type;
    };
    std::vector<Rel> m_rels;
    std::vector<File> m_files;
};

std::string para(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

ReadResult read(const std::string& bytes, const ReadLimits& limits = {}) {
    return orvane::readDocx(bytes, limits);
}

// Reads a package that must succeed and compares its dump with a golden file.
void expectDump(const DocxBuilder& b, const std::string& golden) {
    ReadResult r = read(b.build());
    ASSERT_TRUE(r.ok()) << r.error;
    orvane::testing::expectGolden("docx/" + golden, orvane::dumpModel(*r.document));
}

// A 1x1 PNG and the start of a 32x16 JPEG: enough for format and size.
const std::string kPng(
    "\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00\x01\x00\x00\x00\x01\x08\x06\x00\x00\x00\x1f\x15\xc4\x89"
    "\x00\x00\x00\x0aIDATx\x9c\x63\x00\x01\x00\x00\x05\x00\x01\x0d\x0a\x2d\xb4\x00\x00\x00\x00IEND\xae\x42\x60\x82",
    67);
// A 2x2 GIF (red and blue checks) and a 2x1 24-bit BMP (red, green).
const std::string kGif("GIF89a\x02\x00\x02\x00\x80\x00\x00\xFF\x00\x00\x00\x00\xFF\x2C\x00\x00\x00\x00\x02\x00"
                       "\x02\x00\x00\x02\x03\x44\x02\x05\x00\x3B",
                       35);
const std::string kBmp("BM\x46\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x02\x00\x00\x00\x01\x00"
                       "\x00\x00\x01\x00\x18\x00\x00\x00\x00\x00\x10\x00\x00\x00\x13\x0B\x00\x00\x13\x0B\x00\x00"
                       "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xFF\x00\xFF\x00\x00\x00",
                       62);
const std::string kJpeg("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x10\x00\x20\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9",
                        23);

// ---------------------------------------------------------------------------
// Formatting

TEST(DocxReader, StylesInheritToggleAndFallBack) {
    DocxBuilder b;
    b.xmlPart("styles", "word/styles.xml", "w:styles", R"(
      <w:docDefaults>
        <w:rPrDefault><w:rPr><w:rFonts w:ascii="Calibri" w:hAnsi="Calibri"/><w:sz w:val="22"/><w:lang w:val="en-GB"/></w:rPr></w:rPrDefault>
        <w:pPrDefault><w:pPr><w:spacing w:after="160" w:line="259" w:lineRule="auto"/></w:pPr></w:pPrDefault>
      </w:docDefaults>
      <w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/></w:style>
      <w:style w:type="paragraph" w:styleId="Heading1"><w:name w:val="heading 1"/><w:basedOn w:val="Normal"/>
        <w:next w:val="Normal"/><w:pPr><w:keepNext/><w:spacing w:before="240"/><w:outlineLvl w:val="0"/></w:pPr>
        <w:rPr><w:b/><w:sz w:val="32"/></w:rPr></w:style>
      <w:style w:type="paragraph" w:styleId="RedHeading"><w:name w:val="Red Heading"/><w:basedOn w:val="Heading1"/>
        <w:rPr><w:color w:val="FF0000"/><w:i/></w:rPr></w:style>
      <w:style w:type="character" w:styleId="Strong"><w:name w:val="Strong"/><w:rPr><w:b/></w:rPr></w:style>
      <w:style w:type="character" w:styleId="Emphasis"><w:name w:val="Emphasis"/><w:rPr><w:i/></w:rPr></w:style>
      <w:style w:type="paragraph" w:styleId="Loop1"><w:name w:val="Loop 1"/><w:basedOn w:val="Loop2"/><w:rPr><w:caps/></w:rPr></w:style>
      <w:style w:type="paragraph" w:styleId="Loop2"><w:name w:val="Loop 2"/><w:basedOn w:val="Loop1"/></w:style>)");
    b.body = R"(
      <w:p><w:pPr><w:pStyle w:val="RedHeading"/><w:rPr><w:u w:val="single"/></w:rPr></w:pPr>
        <w:r><w:t xml:space="preserve">Bold red italic </w:t></w:r>
        <w:r><w:rPr><w:rStyle w:val="Strong"/></w:rPr><w:t xml:space="preserve">strong toggles bold off </w:t></w:r>
        <w:r><w:rPr><w:rStyle w:val="Emphasis"/></w:rPr><w:t xml:space="preserve">emphasis toggles italic off </w:t></w:r>
        <w:r><w:rPr><w:b w:val="0"/><w:i w:val="false"/></w:rPr><w:t>direct off</w:t></w:r></w:p>
      <w:p><w:r><w:rPr><w:rStyle w:val="Strong"/></w:rPr><w:t>strong in Normal</w:t></w:r>
        <w:r><w:rPr><w:rStyle w:val="Strong"/><w:b w:val="0"/></w:rPr><w:t>direct wins</w:t></w:r></w:p>
      <w:p><w:pPr><w:pStyle w:val="Loop1"/></w:pPr><w:r><w:t>basedOn loop</w:t></w:r></w:p>
      <w:p><w:pPr><w:pStyle w:val="NoSuchStyle"/></w:pPr><w:r><w:t>unknown style</w:t></w:r></w:p>)";
    expectDump(b, "styles.txt");
}

TEST(DocxReader, FontsFromTableThemeAndSymbols) {
    DocxBuilder b;
    b.xmlPart("settings", "word/settings.xml", "w:settings", R"(<w:themeFontLang w:val="en-US" w:eastAsia="ja-JP"/>)");
    b.part("theme", "word/theme/theme1.xml", R"(<?xml version="1.0"?>
      <a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" name="Office"><a:themeElements>
      <a:fontScheme name="Office">
        <a:majorFont><a:latin typeface="Calibri Light"/><a:ea typeface=""/><a:cs typeface=""/></a:majorFont>
        <a:minorFont><a:latin typeface="Calibri"/><a:ea typeface=""/><a:cs typeface="Arial"/>
          <a:font script="Jpan" typeface="MS Mincho"/><a:font script="Hang" typeface="Batang"/></a:minorFont>
      </a:fontScheme></a:themeElements></a:theme>)");
    b.xmlPart("fontTable", "word/fontTable.xml", "w:fonts", R"(
      <w:font w:name="Arial"><w:charset w:val="00"/><w:family w:val="swiss"/><w:pitch w:val="variable"/></w:font>
      <w:font w:name="MS Mincho"><w:altName w:val="ＭＳ 明朝"/><w:charset w:val="80"/><w:family w:val="modern"/><w:pitch w:val="fixed"/></w:font>
      <w:font w:name="Symbol"><w:charset w:val="02"/><w:family w:val="roman"/><w:pitch w:val="variable"/></w:font>)");
    b.xmlPart("styles", "word/styles.xml", "w:styles", R"(
      <w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme="minorHAnsi" w:hAnsiTheme="minorHAnsi"
        w:eastAsiaTheme="minorEastAsia" w:cstheme="minorBidi"/></w:rPr></w:rPrDefault></w:docDefaults>)");
    b.body = R"(
      <w:p><w:r><w:t xml:space="preserve">default </w:t></w:r>
        <w:r><w:rPr><w:rFonts w:ascii="Arial" w:hAnsi="Arial"/></w:rPr><w:t xml:space="preserve">Arial </w:t></w:r>
        <w:r><w:rPr><w:rFonts w:ascii="Times New Roman" w:asciiTheme="majorHAnsi"/></w:rPr><w:t xml:space="preserve">theme wins </w:t></w:r>
        <w:r><w:rPr><w:rFonts w:eastAsia="Batang"/></w:rPr><w:t xml:space="preserve">east asian </w:t></w:r>
        <w:r><w:sym w:font="Wingdings" w:char="F0E0"/><w:sym w:font="Symbol" w:char="F061"/></w:r></w:p>)";
    expectDump(b, "fonts.txt");
}

TEST(DocxReader, ParagraphProperties) {
    DocxBuilder b;
    b.xmlPart("styles", "word/styles.xml", "w:styles", R"(
      <w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/>
        <w:pPr><w:tabs><w:tab w:val="left" w:pos="1000"/><w:tab w:val="right" w:pos="9000" w:leader="dot"/></w:tabs></w:pPr></w:style>
      <w:style w:type="paragraph" w:styleId="Compact"><w:name w:val="Compact"/><w:pPr><w:contextualSpacing/></w:pPr></w:style>)");
    b.body = R"(
      <w:p><w:pPr><w:jc w:val="start"/></w:pPr><w:r><w:t>start</w:t></w:r></w:p>
      <w:p><w:pPr><w:jc w:val="center"/><w:ind w:left="720" w:right="360" w:firstLine="240"/></w:pPr><w:r><w:t>center</w:t></w:r></w:p>
      <w:p><w:pPr><w:jc w:val="end"/><w:ind w:start="1440" w:end="720" w:hanging="360"/></w:pPr><w:r><w:t>end</w:t></w:r></w:p>
      <w:p><w:pPr><w:jc w:val="both"/><w:spacing w:before="120" w:after="240" w:line="360" w:lineRule="auto"/></w:pPr><w:r><w:t>both</w:t></w:r></w:p>
      <w:p><w:pPr><w:jc w:val="distribute"/><w:spacing w:line="300" w:lineRule="exact"/></w:pPr><w:r><w:t>distribute</w:t></w:r></w:p>
      <w:p><w:pPr><w:spacing w:line="400" w:lineRule="atLeast" w:beforeAutospacing="1" w:afterAutospacing="1"/></w:pPr><w:r><w:t>auto spacing</w:t></w:r></w:p>
      <w:p><w:pPr><w:keepNext/><w:keepLines/><w:pageBreakBefore/><w:widowControl w:val="0"/><w:bidi/><w:outlineLvl w:val="2"/><w:contextualSpacing/></w:pPr><w:r><w:t>flags</w:t></w:r></w:p>
      <w:p><w:pPr><w:pStyle w:val="Compact"/></w:pPr><w:r><w:t>compact</w:t></w:r></w:p>
      <w:p><w:pPr><w:pStyle w:val="Compact"/><w:contextualSpacing w:val="0"/></w:pPr><w:r><w:t>not compact</w:t></w:r></w:p>
      <w:p><w:pPr><w:tabs><w:tab w:val="clear" w:pos="1000"/><w:tab w:val="center" w:pos="4000" w:leader="hyphen"/><w:tab w:val="decimal" w:pos="6000"/><w:tab w:val="bar" w:pos="500"/></w:tabs></w:pPr><w:r><w:t>tabs</w:t></w:r></w:p>
      <w:p><w:pPr><w:shd w:val="clear" w:color="auto" w:fill="DDEEFF"/></w:pPr><w:r><w:t>shaded</w:t></w:r></w:p>
      <w:p><w:pPr><w:shd w:val="pct50" w:color="000000" w:fill="FFFFFF"/></w:pPr><w:r><w:t>half shaded</w:t></w:r></w:p>)";
    expectDump(b, "paragraphs.txt");
}

// Auto spacing keeps its rule: 14 pt and the HTML rules unless the settings
// turn them off (then 5 pt before, 10 pt after); the default tab stops come too.
TEST(DocxReader, AutoSpacingFollowsTheDocumentsCompatibilitySetting) {
    const auto convert = [](const std::string& compat) {
        DocxBuilder b;
        b.xmlPart("settings", "word/settings.xml", "w:settings",
                  "<w:defaultTabStop w:val=\"709\"/><w:compat>" + compat + "</w:compat>");
        b.body = R"(<w:p><w:pPr><w:spacing w:before="100" w:beforeAutospacing="1" w:after="100" w:afterAutospacing="1"/></w:pPr><w:r><w:t>auto</w:t></w:r></w:p>
          <w:p><w:pPr><w:spacing w:before="120" w:after="60"/></w:pPr><w:r><w:t>fixed</w:t></w:r></w:p>)";
        const ReadResult r = orvane::readDocument(b.build());
        EXPECT_TRUE(r.ok()) << r.error;
        orvane::StringSink sink;
        if (r.ok()) orvane::writeRtf(*r.document, sink);
        return sink.text();
    };
    const std::string html = convert("");
    EXPECT_NE(html.find("\\deftab709\\widowctrl\\htmautsp"), std::string::npos) << html;
    EXPECT_NE(html.find("\\sb280\\sa280\\sbauto1\\saauto1"), std::string::npos) << html;
    EXPECT_NE(html.find("\\sb120\\sa60\\widctlpar"), std::string::npos) << html;
    const std::string fixed = convert("<w:doNotUseHTMLParagraphAutoSpacing/>");
    EXPECT_EQ(fixed.find("\\htmautsp"), std::string::npos) << fixed;
    EXPECT_NE(fixed.find("\\sb100\\sa200\\sbauto1\\saauto1"), std::string::npos) << fixed;
}

TEST(DocxReader, RunPropertiesAndSpecialCharacters) {
    DocxBuilder b;
    b.body = R"(
      <w:p>
        <w:r><w:rPr><w:u w:val="double"/><w:strike/><w:color w:val="auto"/></w:rPr><w:t xml:space="preserve">a </w:t></w:r>
        <w:r><w:rPr><w:u w:val="wavyHeavy"/><w:dstrike/><w:color w:val="00FF00"/><w:highlight w:val="yellow"/></w:rPr><w:t xml:space="preserve">b </w:t></w:r>
        <w:r><w:rPr><w:u w:val="dotted"/><w:shd w:val="clear" w:fill="CCCCCC"/><w:vertAlign w:val="subscript"/></w:rPr><w:t xml:space="preserve">c </w:t></w:r>
        <w:r><w:rPr><w:caps/><w:smallCaps/><w:vanish/><w:spacing w:val="-20"/><w:lang w:val="de-DE"/><w:sz w:val="28"/></w:rPr><w:t xml:space="preserve">d </w:t></w:r>
        <w:r><w:rPr><w:rtl/><w:lang w:bidi="ar-SA"/><w:b/><w:bCs w:val="0"/><w:sz w:val="20"/><w:szCs w:val="28"/></w:rPr><w:t>ע</w:t></w:r>
      </w:p>
      <w:p><w:r><w:t>tab</w:t><w:tab/><w:t>line</w:t><w:br/><w:t>cr</w:t><w:cr/><w:t>non</w:t><w:noBreakHyphen/><w:t>breaking soft</w:t><w:softHyphen/><w:t>hyphen</w:t></w:r>
        <w:r><w:br w:type="page"/><w:t>after page</w:t><w:br w:type="column"/><w:t>after column</w:t></w:r></w:p>
      <w:p><w:r><w:t xml:space="preserve">kept </w:t></w:r>
        <w:del w:id="1" w:author="x"><w:r><w:delText>deleted </w:delText></w:r></w:del>
        <w:ins w:id="2" w:author="x"><w:r><w:t xml:space="preserve">inserted </w:t></w:r></w:ins>
        <w:moveFrom w:id="3" w:author="x"><w:r><w:t>moved away </w:t></w:r></w:moveFrom>
        <w:moveTo w:id="4" w:author="x"><w:r><w:t>moved here</w:t></w:r></w:moveTo>
        <w:r><w:t xml:space="preserve"> </w:t></w:r><w:smartTag w:uri="u" w:element="e"><w:r><w:t>smart</w:t></w:r></w:smartTag>
        <w:sdt><w:sdtContent><w:r><w:t xml:space="preserve"> control</w:t></w:r></w:sdtContent></w:sdt></w:p>
      <w:p><w:pPr><w:rPr><w:del w:id="5" w:author="x"/></w:rPr></w:pPr><w:r><w:t xml:space="preserve">joined with </w:t></w:r></w:p>
      <w:p><w:r><w:t>the next paragraph</w:t></w:r></w:p>)";
    expectDump(b, "runs.txt");
}

// ---------------------------------------------------------------------------
// Fields, links, bookmarks

TEST(DocxReader, FieldsHyperlinksAndBookmarks) {
    DocxBuilder b;
    const std::string link = b.rel("hyperlink", "https://example.com/a?b=1&amp;c=&quot;2&quot;", true);
    b.body = R"(
      <w:p><w:r><w:t xml:space="preserve">Page </w:t></w:r><w:fldSimple w:instr=" PAGE \* MERGEFORMAT "><w:r><w:t>3</w:t></w:r></w:fldSimple></w:p>
      <w:p><w:bookmarkStart w:id="0" w:name="target"/><w:r><w:t>marked</w:t></w:r><w:bookmarkEnd w:id="0"/>
        <w:bookmarkStart w:id="1" w:name="_GoBack"/><w:bookmarkEnd w:id="1"/>
        <w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> REF target </w:instrText></w:r>
        <w:r><w:instrText>\h</w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r>
        <w:r><w:t>marked</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>
      <w:p><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> IF </w:instrText></w:r>
        <w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> MERGEFIELD name </w:instrText></w:r>
        <w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>Ann</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r>
        <w:r><w:instrText xml:space="preserve"> = "Ann" "yes" "no" </w:instrText></w:r>
        <w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>yes</w:t></w:r>
        <w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText>DATE</w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r>
        <w:r><w:t>today</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r>
        <w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>
      <w:p><w:hyperlink r:id=")" + link + R"("><w:r><w:t>external</w:t></w:r></w:hyperlink><w:r><w:t xml:space="preserve"> and </w:t></w:r>
        <w:hyperlink w:anchor="target"><w:r><w:t>internal</w:t></w:r></w:hyperlink></w:p>
      <w:p><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText>TOC \o "1-3"</w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r>
        <w:hyperlink w:anchor="target"><w:r><w:t>Entry one</w:t></w:r><w:r><w:tab/></w:r>
          <w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText>PAGEREF target \h</w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>1</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:hyperlink></w:p>
      <w:p><w:r><w:t>Entry two</w:t></w:r></w:p>
      <w:p><w:r><w:fldChar w:fldCharType="end"/></w:r><w:r><w:t>after the table of contents</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>)";
    expectDump(b, "fields.txt");
}

// Fields whose result runs over paragraphs: the outermost one starts where it
// began and ends where its end comes; one nested in its result, or cut in
// its instruction, leaves its text as content. The RTF keeps them.
DocxBuilder spanningFields() {
    DocxBuilder b;
    const std::string begin = R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r>)";
    const std::string separate = R"(<w:r><w:fldChar w:fldCharType="separate"/></w:r>)";
    const std::string end = R"(<w:r><w:fldChar w:fldCharType="end"/></w:r>)";
    const auto instr = [](const std::string& text) { return "<w:r><w:instrText>" + text + "</w:instrText></w:r>"; };
    const auto t = [](const std::string& text) { return R"(<w:r><w:t xml:space="preserve">)" + text + "</w:t></w:r>"; };
    b.body = "<w:p>" + t("Before ") + begin + instr(R"(TOC \o "1-3" \h)") + separate +
             R"(<w:hyperlink w:anchor="_Toc1">)" + t("One") + "</w:hyperlink></w:p>" +
             R"(<w:p><w:hyperlink w:anchor="_Toc2">)" + t("Two ") + begin + instr("PAGEREF _Toc2") + separate +
             t("2") + "</w:hyperlink></w:p>" +
             "<w:p>" + begin + instr(R"(HYPERLINK \l "_Toc3")") + separate + t("Three") + "</w:p>" +
             "<w:p>" + t("continued") + end + "</w:p>" +
             "<w:p>" + end + "</w:p>" +
             "<w:p>" + begin + instr("INDEX") + "</w:p>" +
             "<w:p>" + instr(R"( \e " ")") + separate + t("Apple 3") + end + t(" after") + "</w:p>" +
             "<w:p>" + begin + instr("BIBLIOGRAPHY") + separate + t("Smith") + "</w:p>" +
             "<w:p>" + t("Jones") + end + t(" on") + "</w:p>" +
             "<w:p>" + begin + instr("QUOTE") + separate + begin + instr("REF x") + separate + t("inner") + "</w:p>" +
             "<w:p>" + t("rest") + end + end + "</w:p>";
    return b;
}

TEST(DocxReader, FieldsSpanningParagraphs) {
    expectDump(spanningFields(), "spanning-fields.txt");
    ReadResult r = read(spanningFields().build());
    ASSERT_TRUE(r.ok()) << r.error;
    orvane::StringSink sink;
    ASSERT_TRUE(orvane::writeRtf(*r.document, sink));
    ReadResult back = orvane::readRtf(sink.text(), ReadLimits{});
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(orvane::dumpModel(*back.document), orvane::dumpModel(*r.document));
}

// ---------------------------------------------------------------------------
// Tables

TEST(DocxReader, TablesWithMergesBordersAndNesting) {
    DocxBuilder b;
    b.xmlPart("styles", "word/styles.xml", "w:styles", R"(
      <w:style w:type="table" w:default="1" w:styleId="TableNormal"><w:name w:val="Normal Table"/></w:style>
      <w:style w:type="table" w:styleId="Grid"><w:name w:val="Table Grid"/><w:basedOn w:val="TableNormal"/>
        <w:tblPr><w:tblBorders><w:top w:val="single"/><w:left w:val="single"/><w:bottom w:val="single"/><w:right w:val="single"/>
        <w:insideH w:val="single"/><w:insideV w:val="single"/></w:tblBorders>
        <w:tblCellMar><w:left w:w="0" w:type="dxa"/><w:right w:w="0" w:type="dxa"/></w:tblCellMar></w:tblPr>
        <w:tblStylePr w:type="firstRow"><w:rPr><w:b/></w:rPr><w:tcPr><w:shd w:val="clear" w:fill="E0E0E0"/></w:tcPr></w:tblStylePr></w:style>)");
    b.body = R"(
      <w:tbl><w:tblPr><w:jc w:val="center"/><w:tblInd w:w="144" w:type="dxa"/><w:tblBorders><w:top w:val="none"/><w:insideH w:val="nil"/></w:tblBorders>
        <w:tblCellMar><w:top w:w="72" w:type="dxa"/><w:start w:w="50" w:type="dxa"/><w:bottom w:w="10" w:type="pct"/></w:tblCellMar></w:tblPr>
        <w:tblGrid><w:gridCol w:w="2000"/><w:gridCol w:w="3000"/><w:gridCol w:w="4000"/></w:tblGrid>
        <w:tr><w:trPr><w:tblHeader/><w:trHeight w:val="400" w:hRule="exact"/></w:trPr>
          <w:tc><w:tcPr><w:gridSpan w:val="2"/></w:tcPr><w:p><w:r><w:t>spans two</w:t></w:r></w:p></w:tc>
          <w:tc><w:p><w:r><w:t>third</w:t></w:r></w:p></w:tc></w:tr>
        <w:tr><w:trPr><w:trHeight w:val="300"/></w:trPr>
          <w:tc><w:tcPr><w:vMerge w:val="restart"/><w:vAlign w:val="center"/><w:shd w:val="clear" w:fill="FFFF00"/></w:tcPr><w:p><w:r><w:t>merged down</w:t></w:r></w:p></w:tc>
          <w:tc><w:tcPr><w:tcBorders><w:top w:val="single"/></w:tcBorders></w:tcPr>
            <w:tbl><w:tblGrid><w:gridCol w:w="1500"/><w:gridCol w:w="1500"/></w:tblGrid>
              <w:tr><w:tc><w:p><w:r><w:t>inner 1</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>inner 2</w:t></w:r></w:p></w:tc></w:tr></w:tbl>
            <w:p/></w:tc>
          <w:tc><w:tcPr><w:vAlign w:val="bottom"/></w:tcPr><w:p><w:r><w:t>bottom</w:t></w:r></w:p></w:tc></w:tr>
        <w:tr><w:trPr><w:del w:id="9" w:author="x"/></w:trPr><w:tc><w:p><w:r><w:t>deleted row</w:t></w:r></w:p></w:tc></w:tr>
        <w:tr><w:tc><w:tcPr><w:vMerge/></w:tcPr><w:p/></w:tc><w:tc><w:tcPr><w:gridSpan w:val="2"/></w:tcPr></w:tc></w:tr>
      </w:tbl>
      <w:tbl><w:tblPr><w:tblStyle w:val="Grid"/><w:tblLook w:val="04A0"/></w:tblPr>
        <w:tblGrid><w:gridCol w:w="4500"/><w:gridCol w:w="4500"/></w:tblGrid>
        <w:tr><w:tc><w:p><w:r><w:t>head</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>head 2</w:t></w:r></w:p></w:tc></w:tr>
        <w:tr><w:trPr><w:gridBefore w:val="1"/></w:trPr><w:tc><w:tcPr><w:tcBorders><w:top w:val="nil"/><w:left w:val="nil"/><w:bottom w:val="nil"/><w:right w:val="nil"/></w:tcBorders></w:tcPr><w:p><w:r><w:t>body</w:t></w:r></w:p></w:tc></w:tr>
      </w:tbl>)";
    expectDump(b, "tables.txt");
}

TEST(DocxReader, DeeplyNestedTablesWithinTheLimit) {
    std::string body = "<w:p><w:r><w:t>core</w:t></w:r></w:p>";
    for (int i = 0; i < 20; ++i)
        body = "<w:tbl><w:tr><w:tc>" + body + "</w:tc></w:tr></w:tbl><w:p/>";
    DocxBuilder b;
    b.body = body;
    ReadResult r = read(b.build());
    ASSERT_TRUE(r.ok()) << r.error;
    int depth = 0;
    const std::vector<orvane::model::Block>* blocks = &r.document->sections[0].blocks;
    while (!blocks->empty()) {
        const auto* table = std::get_if<orvane::model::Table>(&blocks->front().value);
        if (!table) break;
        ++depth;
        blocks = &table->rows.at(0).cells.at(0).blocks;
    }
    EXPECT_EQ(depth, 20);
    ASSERT_FALSE(blocks->empty());
    const auto& core = std::get<orvane::model::Paragraph>(blocks->front().value);
    EXPECT_EQ(std::get<orvane::model::TextRun>(core.content.at(0).value).text, "core");
}

// ---------------------------------------------------------------------------
// Lists

TEST(DocxReader, ListsFromNumberingDefinitions) {
    DocxBuilder b;
    b.xmlPart("numbering", "word/numbering.xml", "w:numbering", R"xml(
      <w:abstractNum w:abstractNumId="0">
        <w:lvl w:ilvl="0"><w:start w:val="1"/><w:numFmt w:val="decimal"/><w:lvlText w:val="%1."/><w:pPr><w:ind w:left="720" w:hanging="360"/></w:pPr></w:lvl>
        <w:lvl w:ilvl="1"><w:start w:val="1"/><w:numFmt w:val="lowerLetter"/><w:lvlText w:val="%1.%2)"/><w:pPr><w:ind w:left="1440" w:hanging="360"/></w:pPr></w:lvl>
        <w:lvl w:ilvl="2"><w:numFmt w:val="upperRoman"/><w:lvlText w:val="%3"/></w:lvl>
      </w:abstractNum>
      <w:abstractNum w:abstractNumId="1">
        <w:lvl w:ilvl="0"><w:numFmt w:val="bullet"/><w:lvlText w:val="&#xF0B7;"/><w:pPr><w:ind w:left="360" w:hanging="360"/></w:pPr>
          <w:rPr><w:rFonts w:ascii="Symbol" w:hAnsi="Symbol" w:hint="default"/></w:rPr></w:lvl>
      </w:abstractNum>
      <w:abstractNum w:abstractNumId="2"><w:numStyleLink w:val="OutlineList"/></w:abstractNum>
      <w:abstractNum w:abstractNumId="3"><w:styleLink w:val="OutlineList"/>
        <w:lvl w:ilvl="0"><w:start w:val="4"/><w:numFmt w:val="upperLetter"/><w:lvlText w:val="%1:"/></w:lvl></w:abstractNum>
      <w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>
      <w:num w:numId="2"><w:abstractNumId w:val="0"/><w:lvlOverride w:ilvl="0"><w:startOverride w:val="5"/></w:lvlOverride></w:num>
      <w:num w:numId="3"><w:abstractNumId w:val="1"/></w:num>
      <w:num w:numId="4"><w:abstractNumId w:val="3"/></w:num>
      <w:num w:numId="5"><w:abstractNumId w:val="2"/></w:num>
      <w:num w:numId="6"><w:abstractNumId w:val="0"/></w:num>)xml");
    b.xmlPart("styles", "word/styles.xml", "w:styles", R"(
      <w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/></w:style>
      <w:style w:type="paragraph" w:styleId="ListBullet"><w:name w:val="List Bullet"/><w:basedOn w:val="Normal"/>
        <w:pPr><w:numPr><w:numId w:val="3"/></w:numPr><w:ind w:left="500"/></w:pPr></w:style>
      <w:style w:type="numbering" w:styleId="OutlineList"><w:name w:val="Outline List"/><w:pPr><w:numPr><w:numId w:val="4"/></w:numPr></w:pPr></w:style>)");
    b.body = R"(
      <w:p><w:pPr><w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr></w:pPr><w:r><w:t>one</w:t></w:r></w:p>
      <w:p><w:pPr><w:numPr><w:ilvl w:val="1"/><w:numId w:val="1"/></w:numPr></w:pPr><w:r><w:t>one a</w:t></w:r></w:p>
      <w:p><w:pPr><w:numPr><w:ilvl w:val="0"/><w:numId w:val="2"/></w:numPr><w:ind w:left="1000"/></w:pPr><w:r><w:t>restarts at five, own indent</w:t></w:r></w:p>
      <w:p><w:pPr><w:pStyle w:val="ListBullet"/></w:pPr><w:r><w:t>bullet from the style, style indent wins</w:t></w:r></w:p>
      <w:p><w:pPr><w:pStyle w:val="ListBullet"/><w:numPr><w:numId w:val="0"/></w:numPr></w:pPr><w:r><w:t>numbering switched off</w:t></w:r></w:p>
      <w:p><w:pPr><w:numPr><w:numId w:val="5"/></w:numPr></w:pPr><w:r><w:t>through a numbering style</w:t></w:r></w:p>
      <w:p><w:pPr><w:numPr><w:numId w:val="99"/></w:numPr></w:pPr><w:r><w:t>missing list</w:t></w:r></w:p>
      <w:p><w:pPr><w:numPr><w:numId w:val="6"/></w:numPr></w:pPr><w:r><w:t>continues the first list</w:t></w:r></w:p>)";
    expectDump(b, "lists.txt");
}

// ---------------------------------------------------------------------------
// Sections, headers, footers, properties

TEST(DocxReader, SectionsWithHeadersAndFooters) {
    DocxBuilder b;
    const std::string relsHeader =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="media/logo.png"/></Relationships>)";
    const std::string h1 = b.xmlPart("header", "word/header1.xml", "w:hdr",
        R"(<w:p><w:r><w:t xml:space="preserve">Header page </w:t></w:r><w:fldSimple w:instr="PAGE"><w:r><w:t>1</w:t></w:r></w:fldSimple>
           <w:r><w:drawing><wp:inline><wp:extent cx="635000" cy="635000"/><a:graphic><a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/picture">
           <pic:pic><pic:blipFill><a:blip r:embed="rId1"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>)");
    b.partRels("word/_rels/header1.xml.rels", relsHeader);
    b.file("word/media/logo.png", kPng);
    const std::string h2 = b.xmlPart("header", "word/header2.xml", "w:hdr", para("First page header"));
    const std::string h3 = b.xmlPart("header", "word/header3.xml", "w:hdr", para("Even header"));
    const std::string f1 = b.xmlPart("footer", "word/footer1.xml", "w:ftr", para("Footer"));
    b.xmlPart("settings", "word/settings.xml", "w:settings", "<w:evenAndOddHeaders/>");
    b.body = para("Section one") + R"(
      <w:p><w:pPr><w:sectPr>
        <w:headerReference w:type="default" r:id=")" + h1 + R"("/><w:headerReference w:type="first" r:id=")" + h2 + R"("/>
        <w:footerReference w:type="default" r:id=")" + f1 + R"("/>
        <w:type w:val="oddPage"/><w:pgSz w:w="16838" w:h="11906" w:orient="landscape"/>
        <w:pgMar w:top="1000" w:right="1100" w:bottom="1200" w:left="1300" w:header="500" w:footer="600" w:gutter="0"/>
        <w:pgNumType w:fmt="lowerRoman" w:start="3"/><w:cols w:num="2" w:space="360"/><w:titlePg/></w:sectPr></w:pPr>
        <w:r><w:t>end of section one</w:t></w:r></w:p>)" +
        para("Section two") + R"(
      <w:sectPr><w:headerReference w:type="even" r:id=")" + h3 + R"("/><w:type w:val="continuous"/>
        <w:pgSz w:w="11906" w:h="16838"/><w:cols w:space="720"><w:col w:w="3000"/><w:col w:w="3000"/><w:col w:w="3000"/></w:cols></w:sectPr>)";
    expectDump(b, "sections.txt");
}

TEST(DocxReader, DocumentProperties) {
    DocxBuilder b;
    b.body = para("text");
    std::vector<ZipFile> files = b.files();
    files.push_back({"docProps/core.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
      <cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties"
        xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/"
        xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
        <dc:title>The Title</dc:title><dc:subject>Subject</dc:subject><dc:creator>Ann Author</dc:creator>
        <cp:keywords>one, two</cp:keywords><dc:description>A comment</dc:description>
        <dcterms:created xsi:type="dcterms:W3CDTF">2021-08-31T10:15:00Z</dcterms:created>
        <dcterms:modified xsi:type="dcterms:W3CDTF">2022-01-02T03:04:05Z</dcterms:modified>
      </cp:coreProperties>)"});
    ReadResult r = read(makeZip(files));
    ASSERT_TRUE(r.ok()) << r.error;
    const auto& info = r.document->info;
    EXPECT_EQ(info.title, "The Title");
    EXPECT_EQ(info.subject, "Subject");
    EXPECT_EQ(info.author, "Ann Author");
    EXPECT_EQ(info.keywords, "one, two");
    EXPECT_EQ(info.comments, "A comment");
    EXPECT_EQ(info.created, "2021-08-31T10:15:00Z");
    EXPECT_EQ(info.modified, "2022-01-02T03:04:05Z");
}

// ---------------------------------------------------------------------------
// Pictures, text boxes, notes

TEST(DocxReader, PicturesInDrawingMlAndVml) {
    DocxBuilder b;
    const std::string png = b.rel("image", "media/image1.png");
    const std::string jpeg = b.rel("image", "media/image2.jpeg");
    const std::string gif = b.rel("image", "media/image3.gif");
    const std::string svg = b.rel("image", "media/image4.svg");
    const std::string linked = b.rel("image", "http://example.com/x.png", true);
    const std::string goodGif = b.rel("image", "media/image5.gif");
    const std::string bmp = b.rel("image", "media/image6.bmp");
    const std::string link = b.rel("hyperlink", "https://example.com/", true);
    b.file("word/media/image5.gif", kGif);
    b.file("word/media/image6.bmp", kBmp);
    b.file("word/media/image1.png", kPng);
    b.file("word/media/image2.jpeg", kJpeg);
    b.file("word/media/image3.gif", "GIF89a\x01\x00\x01\x00");
    b.file("word/media/image4.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
    auto inlinePic = [](const std::string& id, const std::string& extra = "") {
        return R"(<w:r><w:drawing><wp:inline><wp:extent cx="635000" cy="317500"/><a:graphic>
          <a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/picture"><pic:pic>
          <pic:blipFill><a:blip r:embed=")" + id + R"(">)" + extra + R"(</a:blip></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>)";
    };
    b.body = "<w:p>" + inlinePic(png) + R"(
        <w:r><w:drawing><wp:anchor><wp:extent cx="1270000" cy="635000"/><a:graphic><a:graphicData><pic:pic>
          <pic:blipFill><a:blip r:embed=")" + jpeg + R"("/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>
        <w:r><w:pict><v:shape style="width:72pt;height:0.5in"><v:imagedata r:id=")" + png + R"(" o:title=""/></v:shape></w:pict></w:r>)" +
        inlinePic(gif) +
        inlinePic(png, R"(<a:extLst><a:ext uri="{96DAC541-7B7A-43D3-8B79-37D633B846F1}">
          <asvg:svgBlip xmlns:asvg="http://schemas.microsoft.com/office/drawing/2016/SVG/main" r:embed=")" + svg + R"("/></a:ext></a:extLst>)") +
        inlinePic(goodGif) + inlinePic(bmp) +
        R"(<w:r><w:drawing><wp:inline><wp:extent cx="6350" cy="6350"/><wp:docPr id="1" name="linked picture"><a:hlinkClick r:id=")" + link +
        R"("/></wp:docPr><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=")" + png +
        R"("/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>)" +
        R"(<w:r><w:drawing><wp:inline><wp:extent cx="1" cy="1"/><a:graphic><a:graphicData><pic:pic><pic:blipFill>
          <a:blip r:link=")" + linked + R"("/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>)";
    ReadResult r = read(b.build());
    ASSERT_TRUE(r.ok()) << r.error;
    orvane::testing::expectGolden("docx/pictures.txt", orvane::dumpModel(*r.document));
    std::string warnings;
    for (const auto& w : r.warnings) warnings += w + "\n";
    EXPECT_NE(warnings.find("GIF"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("linked"), std::string::npos) << warnings;
}

TEST(DocxReader, TextBoxesBecomeFramesOnce) {
    DocxBuilder b;
    const std::string box = [](const std::string& text) {
        return "<w:txbxContent><w:p><w:r><w:t>" + text + "</w:t></w:r></w:p></w:txbxContent>";
    }("Box text");
    b.body = R"(
      <w:p><w:r><w:t xml:space="preserve">Before </w:t></w:r><w:r><mc:AlternateContent>
        <mc:Choice Requires="wps"><w:drawing><wp:anchor behindDoc="0"><wp:simplePos x="0" y="0"/>
          <wp:positionH relativeFrom="page"><wp:posOffset>914400</wp:posOffset></wp:positionH>
          <mc:AlternateContent><mc:Choice Requires="wp14"><wp:positionV relativeFrom="paragraph"><wp14:pctPosVOffset>1000</wp14:pctPosVOffset></wp:positionV></mc:Choice>
            <mc:Fallback><wp:positionV relativeFrom="paragraph"><wp:posOffset>-635000</wp:posOffset></wp:positionV></mc:Fallback></mc:AlternateContent>
          <wp:extent cx="1270000" cy="635000"/><wp:wrapSquare wrapText="bothSides"/><a:graphic><a:graphicData>
          <wps:wsp><wps:spPr><a:solidFill><a:srgbClr val="FFFF00"/></a:solidFill><a:ln><a:solidFill><a:srgbClr val="FF0000"/></a:solidFill></a:ln></wps:spPr>
            <wps:txbx>)" + box + R"(</wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice>
        <mc:Fallback><w:pict><v:shape><v:textbox>)" + box + R"(</v:textbox></v:shape></w:pict></mc:Fallback>
      </mc:AlternateContent></w:r><w:r><w:t>after</w:t></w:r></w:p>
      <w:p><w:r><mc:AlternateContent><mc:Choice Requires="w99"><w:t>new feature</w:t></mc:Choice>
        <mc:Fallback><w:t>fallback text</w:t></mc:Fallback></mc:AlternateContent></w:r>
        <w:r><w:pict><v:rect style="position:absolute;margin-left:36pt;margin-top:-18pt;width:144pt;height:1in;mso-position-horizontal-relative:margin;z-index:-1"
            stroked="f" fillcolor="#0f0"><v:textbox><w:txbxContent><w:p><w:r><w:t>VML box</w:t></w:r></w:p>
          <w:tbl><w:tr><w:tc><w:p><w:r><w:t>table in a box</w:t></w:r></w:p></w:tc></w:tr></w:tbl></w:txbxContent></v:textbox></v:rect></w:pict></w:r></w:p>)";
    expectDump(b, "textboxes.txt");
}

// Members of groups and canvases stand where the group's coordinates put
// them, scaled from the group's units; an in-line group's members stay in line.
TEST(DocxReader, GroupMembersArePlacedThroughTheGroupsCoordinates) {
    DocxBuilder b;
    const std::string png = b.rel("image", "media/image1.png");
    b.file("word/media/image1.png", kPng);
    auto box = [](const std::string& text) {
        return "<wps:txbx><w:txbxContent><w:p><w:r><w:t>" + text + "</w:t></w:r></w:p></w:txbxContent></wps:txbx>";
    };
    const std::string members = R"(
          <wps:wsp><wps:spPr><a:xfrm><a:off x="100" y="100"/><a:ext cx="100" cy="50"/></a:xfrm><a:noFill/></wps:spPr>)" +
        box("first") + R"(</wps:wsp>
          <wpg:grpSp><wpg:grpSpPr><a:xfrm><a:off x="200" y="150"/><a:ext cx="100" cy="50"/>
            <a:chOff x="0" y="0"/><a:chExt cx="1000" cy="500"/></a:xfrm></wpg:grpSpPr>
            <pic:pic><pic:blipFill><a:blip r:embed=")" + png + R"("/></pic:blipFill>
              <pic:spPr><a:xfrm><a:off x="500" y="250"/><a:ext cx="500" cy="250"/></a:xfrm></pic:spPr></pic:pic>
          </wpg:grpSp>)";
    const std::string groupXfrm = R"(<wpg:grpSpPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="1270000" cy="635000"/>
          <a:chOff x="100" y="100"/><a:chExt cx="200" cy="100"/></a:xfrm></wpg:grpSpPr>)";
    b.body = R"(<w:p><w:r><w:drawing><wp:anchor behindDoc="0"><wp:simplePos x="0" y="0"/>
          <wp:positionH relativeFrom="page"><wp:posOffset>635000</wp:posOffset></wp:positionH>
          <wp:positionV relativeFrom="paragraph"><wp:posOffset>0</wp:posOffset></wp:positionV>
          <wp:extent cx="1270000" cy="635000"/><wp:wrapNone/><a:graphic><a:graphicData><wpg:wgp>)" +
             groupXfrm + members + R"(</wpg:wgp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p>
        <w:p><w:r><w:drawing><wp:inline><wp:extent cx="1270000" cy="635000"/><a:graphic><a:graphicData><wpg:wgp>)" +
             groupXfrm + members + R"(</wpg:wgp></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>
        <w:p><w:r><w:pict><v:group style="position:absolute;margin-left:-3pt;margin-top:6pt;width:200pt;height:100pt"
            coordorigin="1000,1000" coordsize="2000,1000">
          <v:rect style="position:absolute;left:1500;top:1200;width:500;height:250" filled="f" stroked="t" strokecolor="red">
            <v:textbox><w:txbxContent><w:p><w:r><w:t>vml member</w:t></w:r></w:p></w:txbxContent></v:textbox></v:rect>
          <v:group style="position:absolute;left:2000;top:1500;width:1000;height:500" coordsize="100,100">
            <v:shape style="position:absolute;left:50;top:50;width:50;height:50"><v:imagedata r:id=")" + png + R"("/></v:shape>
          </v:group></v:group></w:pict></w:r></w:p>)";
    expectDump(b, "groups.txt");

    // Degenerate and hostile coordinates still give sizes and places within the page limits.
    DocxBuilder bad;
    const std::string png2 = bad.rel("image", "media/image1.png");
    bad.file("word/media/image1.png", kPng);
    bad.body = R"(<w:p><w:r><w:drawing><wp:anchor><wp:positionH relativeFrom="page"><wp:posOffset>0</wp:posOffset></wp:positionH>
          <wp:extent cx="635000" cy="635000"/><a:graphic><a:graphicData><wpg:wgp><wpg:grpSpPr><a:xfrm><a:off x="0" y="0"/>
          <a:ext cx="635000" cy="635000"/><a:chOff x="0" y="0"/><a:chExt cx="0" cy="1"/></a:xfrm></wpg:grpSpPr>
          <pic:pic><pic:blipFill><a:blip r:embed=")" + png2 + R"("/></pic:blipFill><pic:spPr><a:xfrm>
            <a:off x="-9223372036854775807" y="9223372036854775807"/><a:ext cx="99999999999" cy="99999999999"/></a:xfrm></pic:spPr></pic:pic>
          </wpg:wgp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>
        <w:r><w:pict><v:group style="position:absolute;width:1e308pt;height:10pt" coordsize="0,-5" coordorigin="nan,inf">
          <v:group style="left:1e308;top:-1e308;width:1e308;height:1e-308" coordsize="1e-308,1e308">
            <v:shape style="left:1e308;width:1e308;height:nan"><v:imagedata r:id=")" + png2 + R"("/></v:shape></v:group>
        </v:group></w:pict></w:r></w:p>)";
    ReadResult r = read(bad.build());
    ASSERT_TRUE(r.ok()) << r.error;
    int pictures = 0;
    for (const auto& inl : std::get<orvane::model::Paragraph>(r.document->sections.at(0).blocks.at(0).value).content) {
        const auto* image = std::get_if<orvane::model::Image>(&inl.value);
        if (!image) continue;
        ++pictures;
        EXPECT_GE(image->width, 0);
        EXPECT_LE(image->width, 31680 * 4);
        EXPECT_LE(image->height, 31680 * 4);
        ASSERT_TRUE(image->position.has_value());
        EXPECT_LE(std::abs(image->position->x), 31680 * 4);
        EXPECT_LE(std::abs(image->position->y), 31680 * 4);
    }
    EXPECT_EQ(pictures, 2);
}

// Boxes that grow with their text (a:spAutoFit, mso-fit-shape-to-text) have
// no height of their own; VML says true and false as "t" and "f".
TEST(DocxReader, BoxesThatGrowWithTheirTextHaveNoHeight) {
    DocxBuilder b;
    const std::string text = "<w:txbxContent><w:p><w:r><w:t>x</w:t></w:r></w:p></w:txbxContent>";
    auto drawing = [&](const std::string& bodyPr) {
        return R"(<w:r><w:drawing><wp:inline><wp:extent cx="635000" cy="317500"/><a:graphic><a:graphicData>
          <wps:wsp><wps:spPr/><wps:txbx>)" + text + "</wps:txbx><wps:bodyPr>" + bodyPr +
               "</wps:bodyPr></wps:wsp></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
    };
    auto vml = [&](const std::string& textboxStyle) {
        return R"(<w:r><w:pict><v:shape style="width:50pt;height:25pt" filled="t" stroked="f"><v:textbox style=")" +
               textboxStyle + "\">" + text + "</v:textbox></v:shape></w:pict></w:r>";
    };
    b.body = "<w:p>" + drawing("<a:spAutoFit/>") + drawing("<a:noAutofit/>") + vml("mso-fit-shape-to-text:t") +
             vml("mso-fit-shape-to-text:f") + "</w:p>";
    ReadResult r = read(b.build());
    ASSERT_TRUE(r.ok()) << r.error;
    const auto& content = std::get<orvane::model::Paragraph>(r.document->sections.at(0).blocks.at(0).value).content;
    std::vector<orvane::model::Twips> heights;
    for (const orvane::model::Inline& inl : content) {
        if (const auto* f = std::get_if<orvane::model::Frame>(&inl.value)) {
            heights.push_back(f->height);
            EXPECT_EQ(f->width, 1000);
        }
    }
    EXPECT_EQ(heights, (std::vector<orvane::model::Twips>{0, 500, 0, 500}));
    const auto& lastBox = std::get<orvane::model::Frame>(content.back().value);
    EXPECT_FALSE(lastBox.border.has_value());
    EXPECT_EQ(lastBox.fill, std::optional<orvane::model::Rgb>(0xFFFFFF));
}

TEST(DocxReader, NotesAndCommentsStandAtTheirReferences) {
    DocxBuilder b;
    b.xmlPart("footnotes", "word/footnotes.xml", "w:footnotes", R"(
      <w:footnote w:type="separator" w:id="-1"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>
      <w:footnote w:type="continuationSeparator" w:id="0"><w:p><w:r><w:continuationSeparator/></w:r></w:p></w:footnote>
      <w:footnote w:id="1"><w:p><w:r><w:rPr><w:vertAlign w:val="superscript"/></w:rPr><w:footnoteRef/></w:r><w:r><w:t xml:space="preserve"> First note.</w:t></w:r></w:p></w:footnote>
      <w:footnote w:id="3"><w:p><w:r><w:t xml:space="preserve">Cites itself </w:t></w:r><w:r><w:footnoteReference w:id="3"/></w:r></w:p></w:footnote>
      <w:footnote w:id="2"><w:p><w:r><w:t>Custom marked note.</w:t></w:r><w:r><w:footnoteReference w:id="3"/></w:r></w:p><w:p><w:r><w:t>Second paragraph.</w:t></w:r></w:p></w:footnote>)");
    b.xmlPart("settings", "word/settings.xml", "w:settings", R"(
      <w:footnotePr><w:pos w:val="beneathText"/><w:numFmt w:val="chicago"/><w:numStart w:val="3"/></w:footnotePr>
      <w:endnotePr><w:pos w:val="sectEnd"/><w:numRestart w:val="eachSect"/></w:endnotePr>)");
    b.xmlPart("endnotes", "word/endnotes.xml", "w:endnotes", R"(
      <w:endnote w:id="1"><w:p><w:r><w:t>An endnote without its mark.</w:t></w:r></w:p></w:endnote>)");
    b.xmlPart("comments", "word/comments.xml", "w:comments", R"(
      <w:comment w:id="0" w:author="Rev Iewer" w:initials="RI"><w:p><w:r><w:annotationRef/></w:r><w:r><w:t>A remark.</w:t></w:r></w:p></w:comment>)");
    b.body = R"(
      <w:p><w:commentRangeStart w:id="0"/><w:r><w:t>Text</w:t></w:r><w:commentRangeEnd w:id="0"/><w:r><w:commentReference w:id="0"/></w:r>
        <w:r><w:footnoteReference w:id="1"/></w:r><w:r><w:t xml:space="preserve"> more</w:t></w:r>
        <w:r><w:footnoteReference w:customMarkFollows="1" w:id="2"/><w:t>*</w:t></w:r>
        <w:r><w:endnoteReference w:id="1"/></w:r></w:p>
      <w:p><w:r><w:t>Last body paragraph</w:t></w:r><w:r><w:footnoteReference w:id="1"/></w:r><w:r><w:footnoteReference w:id="9"/></w:r></w:p>
      <w:sectPr><w:footnotePr><w:numFmt w:val="lowerLetter"/><w:numRestart w:val="eachPage"/></w:footnotePr></w:sectPr>)";
    expectDump(b, "notes.txt");
}

// ---------------------------------------------------------------------------
// Tracked changes

// Two authors' insertions and deletions: in a hyperlink, a deleted field, a
// change inside another, a note that brings its own marks, a formatting
// change (its new formatting kept, the old one ignored) and a deleted
// paragraph mark.
DocxBuilder trackedChanges() {
    DocxBuilder b;
    b.xmlPart("footnotes", "word/footnotes.xml", "w:footnotes", R"(
      <w:footnote w:id="1"><w:p><w:r><w:footnoteRef/></w:r>
        <w:ins w:id="20" w:author="Bob" w:date="2021-05-06T07:08:09Z"><w:r><w:t xml:space="preserve"> Added note.</w:t></w:r></w:ins></w:p></w:footnote>)");
    const std::string link = b.rel("hyperlink", "https://example.com/", true);
    b.body = R"(
      <w:p><w:r><w:t xml:space="preserve">Kept </w:t></w:r>
        <w:ins w:id="1" w:author="Ann" w:date="2020-01-02T03:04:00Z"><w:r><w:rPr><w:b/></w:rPr><w:t xml:space="preserve">bold insert </w:t></w:r></w:ins>
        <w:del w:id="2" w:author="Bob" w:date="2021-05-06T07:08:09Z"><w:r><w:delText xml:space="preserve">gone </w:delText></w:r><w:r><w:tab/><w:delText>tab</w:delText></w:r></w:del>
        <w:hyperlink r:id=")" + link + R"("><w:del w:id="3" w:author="Ann"><w:r><w:delText>old link</w:delText></w:r></w:del>
          <w:ins w:id="4" w:author="Ann"><w:r><w:t>new link</w:t></w:r></w:ins></w:hyperlink></w:p>
      <w:p><w:del w:id="5" w:author="Bob" w:date="2021-05-06T07:08:09Z">
          <w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:delInstrText xml:space="preserve"> PAGE </w:delInstrText></w:r>
          <w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:delText>4</w:delText></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:del>
        <w:ins w:id="6" w:author="Ann"><w:r><w:t xml:space="preserve"> typed </w:t></w:r>
          <w:del w:id="7" w:author="Bob"><w:r><w:delText>then removed</w:delText></w:r></w:del></w:ins>
        <w:del w:id="8" w:author="Bob"><w:ins w:id="9" w:author="Ann"><w:r><w:delText xml:space="preserve"> removed anyway</w:delText></w:r></w:ins></w:del>
        <w:ins w:id="10" w:author="Ann"><w:r><w:footnoteReference w:id="1"/></w:r></w:ins></w:p>
      <w:p><w:pPr><w:pPrChange w:id="11" w:author="Ann"><w:pPr><w:jc w:val="center"/></w:pPr></w:pPrChange></w:pPr>
        <w:r><w:rPr><w:i/><w:rPrChange w:id="12" w:author="Ann"><w:rPr><w:b/></w:rPr></w:rPrChange></w:rPr><w:t>now italic</w:t></w:r></w:p>
      <w:p><w:pPr><w:rPr><w:del w:id="13" w:author="Bob"/></w:rPr></w:pPr><w:del w:id="14" w:author="Bob"><w:r><w:delText>Joined </w:delText></w:r></w:del></w:p>
      <w:p><w:r><w:t>with the next.</w:t></w:r></w:p>)";
    return b;
}

TEST(DocxReader, TrackedChangesAreRevisions) {
    expectDump(trackedChanges(), "revisions.txt");
}

TEST(DocxReader, TrackedChangesSurviveRtf) {
    ReadResult r = read(trackedChanges().build());
    ASSERT_TRUE(r.ok()) << r.error;
    orvane::StringSink sink;
    ASSERT_TRUE(orvane::writeRtf(*r.document, sink));
    ReadResult back = orvane::readRtf(sink.text(), ReadLimits{});
    ASSERT_TRUE(back.ok()) << back.error;
    // RTF keeps minutes: Bob's seconds go.
    std::string expected = orvane::dumpModel(*r.document);
    for (std::size_t at; (at = expected.find("07:08:09Z")) != std::string::npos;) expected.replace(at, 9, "07:08:00Z");
    EXPECT_EQ(orvane::dumpModel(*back.document), expected);
}

// ---------------------------------------------------------------------------
// Package variants

TEST(DocxReader, ProducerPrefixesAndStrictDocumentsReadTheSame) {
    const std::string body =
        R"(<w:p><w:pPr><w:jc w:val="center"/><w:ind w:left="720"/></w:pPr><w:r><w:rPr><w:b/></w:rPr><w:t>Hello</w:t></w:r></w:p>)";
    DocxBuilder canonical;
    canonical.body = body;
    ReadResult expected = read(canonical.build());
    ASSERT_TRUE(expected.ok()) << expected.error;

    // The same document with a default namespace and unusual prefixes.
    std::vector<ZipFile> files = canonical.files();
    for (ZipFile& f : files) {
        if (f.name != "word/document.xml") continue;
        f.data = R"(<?xml version="1.0"?><document xmlns="http://schemas.openxmlformats.org/wordprocessingml/2006/main" xmlns:x="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
                 R"(<body><p><pPr><jc x:val="center"/><ind x:left="720"/></pPr><x:r><x:rPr><x:b/></x:rPr><t>Hello</t></x:r></p></body></document>)";
    }
    ReadResult prefixed = read(makeZip(files));
    ASSERT_TRUE(prefixed.ok()) << prefixed.error;
    EXPECT_EQ(orvane::dumpModel(*prefixed.document), orvane::dumpModel(*expected.document));

    // Strict: other namespace and relationship URIs, lengths with units.
    for (ZipFile& f : files) {
        if (f.name == "word/document.xml") {
            f.data = R"(<?xml version="1.0"?><w:document xmlns:w="http://purl.oclc.org/ooxml/wordprocessingml/main">)"
                     R"(<w:body><w:p><w:pPr><w:jc w:val="center"/><w:ind w:left="0.5in"/></w:pPr><w:r><w:rPr><w:b w:val="on"/></w:rPr><w:t>Hello</w:t></w:r></w:p></w:body></w:document>)";
        } else if (f.name == "_rels/.rels") {
            f.data = R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                     R"(<Relationship Id="rId1" Type="http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument" Target="/word/document.xml"/></Relationships>)";
        }
    }
    ReadResult strict = read(makeZip(files));
    ASSERT_TRUE(strict.ok()) << strict.error;
    EXPECT_EQ(orvane::dumpModel(*strict.document), orvane::dumpModel(*expected.document));
}

TEST(DocxReader, MainPartUnderAnotherNameAndTemplateTypes) {
    for (const char* type : {"application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml",
                             "application/vnd.ms-word.document.macroEnabled.main+xml",
                             "application/vnd.ms-word.template.macroEnabledTemplate.main+xml"}) {
        DocxBuilder b;
        b.mainPart = "content/main.xml";
        b.mainType = type;
        b.body = para("elsewhere");
        ReadResult r = read(b.build());
        ASSERT_TRUE(r.ok()) << type << ": " << r.error;
        const auto& p = std::get<orvane::model::Paragraph>(r.document->sections[0].blocks.at(0).value);
        EXPECT_EQ(std::get<orvane::model::TextRun>(p.content.at(0).value).text, "elsewhere");
    }
}

// ---------------------------------------------------------------------------
// Bad input

std::string withDocument(const std::string& documentXml) {
    DocxBuilder b;
    std::vector<ZipFile> files = b.files();
    for (ZipFile& f : files) {
        if (f.name == "word/document.xml") f.data = documentXml;
    }
    return makeZip(files);
}

void patchLe32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

TEST(DocxReader, BadInputFailsWithAMessage) {
    DocxBuilder good;
    good.body = para("hello");
    const std::string valid = good.build();

    std::string deep = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
    for (int i = 0; i < 300; ++i) deep += "<w:customXml>";
    deep += "<w:p/>";
    for (int i = 0; i < 300; ++i) deep += "</w:customXml>";
    deep += "</w:body></w:document>";

    DocxBuilder noMain;
    std::vector<ZipFile> noMainFiles = noMain.files();
    noMainFiles.erase(noMainFiles.begin() + 2);  // word/document.xml

    const std::string odt = makeZip({{"mimetype", "application/vnd.oasis.opendocument.text", false},
                                     {"content.xml", "<office:document-content/>"}});
    DocxBuilder xlsx;
    xlsx.mainPart = "xl/workbook.xml";
    xlsx.mainType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

    std::vector<ZipFile> many = good.files();
    for (int i = 0; i < 20; ++i) many.push_back({"extra/" + std::to_string(i) + ".xml", "<x/>"});

    const std::string big(3 * 1024 * 1024, ' ');
    std::vector<ZipFile> bombFiles = good.files();
    bombFiles.push_back({"word/media/huge.bin", big});
    DocxBuilder bombDoc;
    std::vector<ZipFile> inflating = bombDoc.files();
    for (ZipFile& f : inflating) {
        if (f.name == "word/document.xml") f.data = bombDoc.documentXml().substr(0, 200) + big;
    }
    // The same, with the sizes in the directory lying about the inflated size.
    std::string lying = makeZip(inflating);
    for (std::size_t at = 0; (at = lying.find("PK\x01\x02", at)) != std::string::npos; at += 4) {
        if (lying.compare(at + 46, 17, "word/document.xml") == 0) patchLe32(lying, at + 24, 300);
    }
    for (std::size_t at = 0; (at = lying.find("PK\x03\x04", at)) != std::string::npos; at += 4) {
        if (lying.compare(at + 30, 17, "word/document.xml") == 0) patchLe32(lying, at + 22, 300);
    }

    ReadLimits small;
    small.maxArchiveEntries = 10;
    small.maxEntryBytes = 1024 * 1024;
    small.maxExpandedBytes = 2 * 1024 * 1024;

    struct Case {
        const char* name;
        std::string bytes;
        ReadLimits limits;
        const char* expect;  // a word the message must contain
    };
    const std::vector<Case> cases = {
        {"empty", "", {}, "empty"},
        {"not a zip", "Hello, this is plain text and not a package at all.", {}, "ZIP"},
        {"truncated zip", valid.substr(0, valid.size() / 2), {}, "truncated"},
        {"ole compound file", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'), {}, "OLE"},
        {"missing main part", makeZip(noMainFiles), {}, "missing"},
        {"opendocument text", odt, {}, "OpenDocument"},
        {"spreadsheet", xlsx.build(), {}, "spreadsheet"},
        {"doctype", withDocument("<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY e \"x\">]><w:document/>"), {}, "entities"},
        {"malformed xml", withDocument("<w:document><w:body><w:p></w:body>"), {}, "well-formed"},
        {"nested too deep", withDocument(deep), {}, "nested"},
        {"no body", withDocument("<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"/>"), {}, "body"},
        {"too many entries", makeZip(many), small, "many"},
        {"declared sizes too big", makeZip(bombFiles), small, "bomb"},
        {"one part inflates too far", makeZip(inflating), ReadLimits{1024u * 1024 * 1024, 100, 1024 * 1024, 200}, "bomb"},
        {"lying sizes", lying, ReadLimits{1024u * 1024 * 1024, 100, 1024 * 1024, 200}, ""},
    };
    for (const Case& c : cases) {
        ReadResult r = read(c.bytes, c.limits);
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_FALSE(r.error.empty()) << c.name;
        EXPECT_NE(r.error.find(c.expect), std::string::npos) << c.name << ": " << r.error;
    }
    EXPECT_TRUE(read(valid).ok());
    EXPECT_TRUE(read(makeZip(bombFiles)).ok()) << "the default limits allow a 3 MB part";
}

// Every prefix of a document's XML, and random byte damage to the package,
// must give a result or a failure, never a crash.
TEST(DocxReader, DamagedPackagesNeverCrash) {
    DocxBuilder b;
    b.body = R"(<w:p><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:hyperlink w:anchor="x"><w:r><w:t>a</w:t></w:r></w:hyperlink>
      <w:r><w:fldChar w:fldCharType="end"/></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>
      <w:tbl><w:tr><w:tc><w:tbl><w:tr><w:tc><w:p><w:r><w:footnoteReference w:id="7"/></w:r></w:p></w:tc></w:tr></w:tbl></w:tc></w:tr></w:tbl>)";
    const std::string xml = b.documentXml();
    for (std::size_t cut = 0; cut < xml.size(); cut += 37) {
        ReadResult r = read(withDocument(xml.substr(0, cut)));
        EXPECT_TRUE(r.ok() || !r.error.empty());
    }
    const std::string valid = b.build();
    unsigned seed = 12345;
    for (int round = 0; round < 200; ++round) {
        std::string damaged = valid;
        for (int k = 0; k < 4; ++k) {
            seed = seed * 1103515245u + 12345u;
            damaged[(seed >> 8) % damaged.size()] = static_cast<char>(seed >> 24);
        }
        ReadResult r = read(damaged);
        EXPECT_TRUE(r.ok() || !r.error.empty());
    }
}

TEST(DocxReader, LessCommonInlineContentAndTableRegions) {
    DocxBuilder b;
    b.rel("hyperlink", "other%20file.docx#part");  // a link its producer did not mark external
    b.xmlPart("styles", "word/styles.xml", "w:styles", R"(
      <w:style w:type="table" w:styleId="Fancy"><w:name w:val="Fancy"/>
        <w:rPr><w:color w:val="333333"/></w:rPr>
        <w:tblStylePr w:type="firstCol"><w:rPr><w:i/></w:rPr></w:tblStylePr>
        <w:tblStylePr w:type="lastRow"><w:rPr><w:b/></w:rPr><w:tcPr><w:tcBorders><w:top w:val="double"/></w:tcBorders></w:tcPr></w:tblStylePr>
      </w:style>)");
    b.body = R"(
      <w:p><w:r><w:t>a</w:t><w:ptab w:relativeTo="margin" w:alignment="right" w:leader="none"/><w:t xml:space="preserve">b page </w:t><w:pgNum/></w:r>
        <w:r><w:ruby><w:rubyPr/><w:rt><w:r><w:t>reading</w:t></w:r></w:rt><w:rubyBase><w:r><w:t>base</w:t></w:r></w:rubyBase></w:ruby></w:r>
        <m:oMath><m:r><m:t xml:space="preserve"> x=</m:t></m:r><m:f><m:fPr/><m:num><m:r><m:t>1</m:t></m:r></m:num><m:den><m:r><m:t>2</m:t></m:r></m:den></m:f></m:oMath>
        <w:hyperlink r:id="rId1"><w:r><w:t xml:space="preserve"> link</w:t></w:r></w:hyperlink>
        <w:fldSimple w:instr="  "><w:r><w:t xml:space="preserve"> plain result</w:t></w:r></w:fldSimple>
        <w:r><w:t>control&#x1;chars&#x9;tab</w:t></w:r></w:p>
      <w:tbl><w:tblPr><w:tblStyle w:val="Fancy"/><w:tblLook w:firstColumn="1" w:lastRow="1"/></w:tblPr>
        <w:tblGrid><w:gridCol w:w="1000"/><w:gridCol w:w="1000"/><w:gridCol w:w="1000"/></w:tblGrid>
        <w:tr><w:tc><w:p><w:r><w:t>first column</w:t></w:r></w:p></w:tc>
          <w:tc><w:tcPr><w:hMerge w:val="restart"/></w:tcPr><w:p><w:r><w:t>wide</w:t></w:r></w:p></w:tc>
          <w:tc><w:tcPr><w:hMerge/></w:tcPr><w:p/></w:tc></w:tr>
        <w:tr><w:tc><w:p><w:r><w:t>last row</w:t></w:r></w:p></w:tc><w:tc><w:p/></w:tc><w:tc><w:p/></w:tc></w:tr>
      </w:tbl>)";
    expectDump(b, "extras.txt");
}

// ---------------------------------------------------------------------------
// Building blocks

TEST(DocxZip, MembersByNameAndWithinTheLimits) {
    const std::string zip = makeZip({{"Word/Document.XML", "<a/>"}, {"big.bin", std::string(200000, 'x')}});
    ReadLimits limits;
    std::string error;
    auto archive = orvane::zip::ZipArchive::open(zip, limits, error);
    ASSERT_TRUE(archive) << error;
    std::string out;
    EXPECT_TRUE(archive->read("word/document.xml", out, error)) << "part names ignore case";
    EXPECT_EQ(out, "<a/>");
    EXPECT_FALSE(archive->read("missing.xml", out, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_FALSE(archive->limitHit());

    limits.maxEntryBytes = 100000;
    archive = orvane::zip::ZipArchive::open(zip, limits, error);
    ASSERT_TRUE(archive);
    EXPECT_FALSE(archive->read("big.bin", out, error));
    EXPECT_TRUE(archive->limitHit());
    EXPECT_TRUE(out.empty());

    // The total counts what earlier reads inflated.
    limits = ReadLimits{};
    limits.maxExpandedBytes = 250000;
    archive = orvane::zip::ZipArchive::open(zip, limits, error);
    ASSERT_TRUE(archive);
    EXPECT_TRUE(archive->read("big.bin", out, error));
    EXPECT_FALSE(archive->read("big.bin", out, error));
    EXPECT_TRUE(archive->limitHit());

    limits = ReadLimits{};
    limits.maxArchiveEntries = 1;
    EXPECT_FALSE(orvane::zip::ZipArchive::open(zip, limits, error));
    EXPECT_FALSE(orvane::zip::ZipArchive::open("", ReadLimits{}, error));
}

TEST(DocxXml, ValuesAndLengths) {
    using namespace orvane::docx;
    EXPECT_EQ(parseTwips("720"), 720);
    EXPECT_EQ(parseTwips(" -360 "), -360);
    EXPECT_EQ(parseTwips("12pt"), 240);
    EXPECT_EQ(parseTwips("0.5in"), 720);
    EXPECT_EQ(parseTwips("2.54cm"), 1440);
    EXPECT_EQ(parseTwips("10mm"), 567);
    EXPECT_EQ(parseTwips("1pc"), 240);
    EXPECT_EQ(parseTwips("720.0"), 720);
    EXPECT_FALSE(parseTwips("wide"));
    EXPECT_FALSE(parseTwips(""));
    EXPECT_EQ(parseTwips("99999999999999"), 100000000) << "huge values are clamped";
    EXPECT_FALSE(parseTwips("99999999999999999999999")) << "beyond any integer is no number";
    EXPECT_EQ(parseHex("FF00aa"), 0xFF00AAul);
    EXPECT_FALSE(parseHex("12345678901"));
    EXPECT_FALSE(parseHex("xyz"));
    for (const char* on : {"1", "true", "on"}) EXPECT_EQ(parseOnOff(on), true) << on;
    for (const char* off : {"0", "false", "off", "none"}) EXPECT_EQ(parseOnOff(off), false) << off;
    EXPECT_FALSE(parseOnOff("maybe"));
}

TEST(DocxXml, PrefixesFollowTheirNamespacesAtEveryLevel) {
    using namespace orvane::docx;
    const std::string xml =
        R"(<doc xmlns="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
        R"(<p xmlns:q="http://schemas.openxmlformats.org/drawingml/2006/main"><q:blip q:x="1"/></p>)"
        R"(<w:p xmlns:w="urn:something-else"/><inner xmlns="urn:unknown"><leaf/></inner><after/></doc>)";
    orvane::xml::Part part;
    std::string error;
    ASSERT_TRUE(parseXmlPart("x.xml", xml, ReadLimits{}, part, error)) << error;
    pugi::xml_node root = part.root();
    EXPECT_STREQ(root.name(), "w:doc");
    EXPECT_STREQ(root.first_child().first_child().name(), "a:blip");
    EXPECT_STREQ(root.first_child().first_child().first_attribute().name(), "a:x");
    EXPECT_STREQ(root.child("_w:p").name(), "_w:p") << "a foreign namespace under a known prefix stays apart";
    EXPECT_STREQ(root.child("inner").first_child().name(), "leaf") << "an unknown default namespace is left alone";
    EXPECT_TRUE(root.child("w:after")) << "declarations end with their element";
}

TEST(DocxXml, DepthLimitIsExact) {
    using namespace orvane::docx;
    auto nested = [](int depth) {
        std::string xml;
        for (int i = 0; i < depth; ++i) xml += "<a>";
        for (int i = 0; i < depth; ++i) xml += "</a>";
        return xml;
    };
    ReadLimits limits;
    limits.maxNesting = 50;
    std::string error;
    bool refuse = false;
    orvane::xml::Part ok;
    EXPECT_TRUE(parseXmlPart("x.xml", nested(50), limits, ok, error, &refuse));
    orvane::xml::Part deep;
    EXPECT_FALSE(parseXmlPart("x.xml", nested(51), limits, deep, error, &refuse));
    EXPECT_TRUE(refuse);
    // A very deep document is refused without exhausting the stack.
    orvane::xml::Part hostile;
    EXPECT_FALSE(parseXmlPart("x.xml", nested(200000), ReadLimits{}, hostile, error));
}

TEST(DocxPackage, PartNamesResolveAgainstTheirSource) {
    using orvane::docx::resolvePartName;
    EXPECT_EQ(resolvePartName("word/document.xml", "media/image1.png"), "word/media/image1.png");
    EXPECT_EQ(resolvePartName("word/document.xml", "../customXml/item1.xml"), "customXml/item1.xml");
    EXPECT_EQ(resolvePartName("word/document.xml", "/word/styles.xml"), "word/styles.xml");
    EXPECT_EQ(resolvePartName("word/document.xml", "media/my%20picture.png"), "word/media/my picture.png");
    EXPECT_EQ(resolvePartName("", "word/document.xml"), "word/document.xml");
    EXPECT_EQ(resolvePartName("word/document.xml", "../../../../etc/passwd"), "etc/passwd");
    EXPECT_EQ(resolvePartName("word/document.xml", "media\\x.png"), "word/media/x.png");
}

// Inflates a PNG's pixel data through a hand-made ZIP member whose checksum
// is that of the expected rows: the archive library then accepts it only if
// the pixels are exactly those.
bool pngPixelsAre(const std::string& png, const std::string& expectedRows) {
    std::string idat;
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        const std::size_t n = (static_cast<unsigned char>(png[pos]) << 24) | (static_cast<unsigned char>(png[pos + 1]) << 16) |
                              (static_cast<unsigned char>(png[pos + 2]) << 8) | static_cast<unsigned char>(png[pos + 3]);
        if (png.compare(pos + 4, 4, "IDAT") == 0) idat += png.substr(pos + 8, n);
        pos += 12 + n;
    }
    if (idat.size() < 6) return false;
    const std::string deflated = idat.substr(2, idat.size() - 6);
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : expectedRows) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    crc = ~crc;
    auto le = [](std::string& s, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    std::string zip = "PK\x03\x04";
    le(zip, 20, 2); le(zip, 0, 2); le(zip, 8, 2); le(zip, 0, 4);
    le(zip, crc, 4); le(zip, static_cast<std::uint32_t>(deflated.size()), 4);
    le(zip, static_cast<std::uint32_t>(expectedRows.size()), 4); le(zip, 1, 2); le(zip, 0, 2);
    zip += "p" + deflated;
    const std::uint32_t central = static_cast<std::uint32_t>(zip.size());
    zip += "PK\x01\x02";
    le(zip, 20, 2); le(zip, 20, 2); le(zip, 0, 2); le(zip, 8, 2); le(zip, 0, 4);
    le(zip, crc, 4); le(zip, static_cast<std::uint32_t>(deflated.size()), 4);
    le(zip, static_cast<std::uint32_t>(expectedRows.size()), 4);
    le(zip, 1, 2); le(zip, 0, 2); le(zip, 0, 2); le(zip, 0, 2); le(zip, 0, 2); le(zip, 0, 4); le(zip, 0, 4);
    zip += "p";
    const std::uint32_t centralSize = static_cast<std::uint32_t>(zip.size()) - central;
    zip += "PK\x05\x06";
    le(zip, 0, 4); le(zip, 1, 2); le(zip, 1, 2); le(zip, centralSize, 4); le(zip, central, 4); le(zip, 0, 2);
    std::string error, out;
    auto archive = orvane::zip::ZipArchive::open(zip, ReadLimits{}, error);
    return archive && archive->read("p", out, error) && out == expectedRows;
}

TEST(DocxImages, GifAndBmpBecomePng) {
    using namespace orvane::picture;
    PixelBudget budget(1000, 1000000);
    PngImage png;
    ASSERT_EQ(gifToPng(kGif, budget, png), Conversion::Converted);
    EXPECT_EQ(png.width, 2);
    EXPECT_EQ(png.height, 2);
    EXPECT_NE(png.data.find("PLTE\xFF\x00\x00\x00\x00\xFF"), std::string::npos) << "the palette as given";
    EXPECT_TRUE(pngPixelsAre(png.data, std::string("\0\0\1\0\1\0", 6)));  // filter byte, then indexes

    // Interlaced, with a transparent colour: rows come back in order and the
    // colour gets an alpha of 0. Four 1-pixel rows arrive as 0, 2, 1, 3.
    const std::string interlaced("GIF89a\x01\x00\x04\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF"
                                 "\x21\xF9\x04\x01\x00\x00\x01\x00"
                                 "\x2C\x00\x00\x00\x00\x01\x00\x04\x00\x40\x02\x02\x44\x5C\x00\x3B", 43);
    ASSERT_EQ(gifToPng(interlaced, budget, png), Conversion::Converted);
    EXPECT_EQ(png.height, 4);
    EXPECT_NE(png.data.find(std::string("tRNS\xFF\x00", 6)), std::string::npos);
    EXPECT_TRUE(pngPixelsAre(png.data, std::string("\0\0\0\0\0\1\0\1", 8)));

    EXPECT_EQ(gifToPng("GIF89a\x02\x00", budget, png), Conversion::Undecodable);
    EXPECT_EQ(gifToPng(kGif.substr(0, 20), budget, png), Conversion::Undecodable);

    ASSERT_EQ(bmpToPng(kBmp, budget, png), Conversion::Converted);
    EXPECT_EQ(png.width, 2);
    EXPECT_EQ(png.height, 1);
    EXPECT_TRUE(pngPixelsAre(png.data, std::string("\0\xFF\0\0\0\xFF\0", 7)));
    EXPECT_EQ(bmpToPng(kBmp.substr(0, 60), budget, png), Conversion::Undecodable) << "pixel rows cut short";
}

// A BMP header claiming the given size, with no pixels behind it.
std::string claimedBmp(std::uint32_t width, std::uint32_t height) {
    std::string bmp = kBmp.substr(0, 54);
    for (int i = 0; i < 4; ++i) {
        bmp[18 + i] = static_cast<char>((width >> (8 * i)) & 0xFF);
        bmp[22 + i] = static_cast<char>((height >> (8 * i)) & 0xFF);
    }
    return bmp;
}

TEST(DocxImages, PicturesTooLargeOrBeyondTheDocumentsBudgetAreNamedNotDecoded) {
    using namespace orvane::picture;
    PixelBudget budget(6, 10);
    PngImage png;
    // Over the bound for one picture: said with the size it claims, before
    // anything is decoded, and nothing is charged.
    PixelBudget tight(3, 10);
    EXPECT_EQ(gifToPng(kGif, tight, png), Conversion::TooLarge);
    EXPECT_EQ(leftOutWarning(Conversion::TooLarge, "GIF", png, budget),
              "A GIF picture of 2 by 2 pixels is too large to convert and was left out");
    EXPECT_EQ(bmpToPng(claimedBmp(100000, 100000), budget, png), Conversion::TooLarge);
    EXPECT_EQ(png.width, 100000);
    EXPECT_EQ(bmpToPng(claimedBmp(200000, 1), budget, png), Conversion::TooLarge) << "wider than any picture";

    // 2x2 + 2x1 + 2x2 = 10 pixels fit; the next picture does not, however small.
    EXPECT_EQ(gifToPng(kGif, budget, png), Conversion::Converted);
    EXPECT_EQ(bmpToPng(kBmp, budget, png), Conversion::Converted);
    EXPECT_EQ(gifToPng(kGif, budget, png), Conversion::Converted);
    EXPECT_EQ(bmpToPng(kBmp, budget, png), Conversion::OverBudget);
    EXPECT_TRUE(png.data.empty());
    PixelBudget large(40000000, 300000000);
    EXPECT_EQ(leftOutWarning(Conversion::OverBudget, "BMP", png, large),
              "Pictures in GIF and BMP format beyond 300 million pixels in all were left out");
}

TEST(DocxReader, ManyHugePicturesStopAtTheDocumentsPixelBudget) {
    // Each GIF says it is 300x300 in a few bytes; 40 of them claim more than
    // the document may decode. Those past the budget are left out with one
    // warning instead of keeping the engine busy.
    std::string huge = kGif;
    huge[6] = huge[24] = static_cast<char>(300 & 0xFF);  // screen and picture width
    huge[7] = huge[25] = static_cast<char>(300 >> 8);
    huge[8] = huge[26] = static_cast<char>(300 & 0xFF);  // and height
    huge[9] = huge[27] = static_cast<char>(300 >> 8);
    DocxBuilder b;
    b.body = "<w:p>";
    for (int i = 0; i < 40; ++i) {
        const std::string name = "media/huge" + std::to_string(i) + ".gif";
        const std::string id = b.rel("image", name);
        b.file("word/" + name, huge);
        b.body += R"(<w:r><w:drawing><wp:inline><wp:extent cx="6350" cy="6350"/><a:graphic><a:graphicData><pic:pic>
          <pic:blipFill><a:blip r:embed=")" + id + R"("/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>)";
    }
    b.body += "</w:p>";
    ReadLimits limits;
    limits.maxDocumentPixels = 1000000;
    const ReadResult r = read(b.build(), limits);
    ASSERT_TRUE(r.ok()) << r.error;
    int images = 0;
    for (const auto& inl : std::get<orvane::model::Paragraph>(r.document->sections.at(0).blocks.at(0).value).content) {
        images += std::holds_alternative<orvane::model::Image>(inl.value);
    }
    EXPECT_EQ(images, 11) << "a million pixels hold 11 pictures of 90 000";
    EXPECT_EQ(std::count(r.warnings.begin(), r.warnings.end(),
                         "Pictures in GIF and BMP format beyond 1 million pixels in all were left out"),
              1);
}

// ---------------------------------------------------------------------------
// Limits on what a document can make the reader do

TEST(DocxReader, RepeatedContentStopsAtTheGrowthLimit) {
    DocxBuilder b;
    const std::string big(300000, 'x');
    const std::string id = b.rel("image", "media/big.png");
    b.file("word/media/big.png", kPng + big);
    std::string body = "<w:p>";
    for (int i = 0; i < 40; ++i)
        body += R"(<w:r><w:pict><v:shape style="width:10pt;height:10pt"><v:imagedata r:id=")" + id + R"("/></v:shape></w:pict></w:r>)";
    b.body = body + "<w:r><w:t>text survives</w:t></w:r></w:p>";
    ReadLimits limits;
    limits.maxExpandedBytes = 4 * 1024 * 1024;
    ReadResult r = read(b.build(), limits);
    ASSERT_TRUE(r.ok()) << r.error;
    const auto& p = std::get<orvane::model::Paragraph>(r.document->sections[0].blocks.at(0).value);
    int images = 0;
    for (const auto& in : p.content) images += std::holds_alternative<orvane::model::Image>(in.value);
    EXPECT_GT(images, 0);
    EXPECT_LT(images, 40);
    EXPECT_EQ(std::get<orvane::model::TextRun>(p.content.back().value).text, "text survives");
    ASSERT_FALSE(r.warnings.empty());
}

TEST(DocxReader, PartsOfMoreElementsThanAnyDocumentFailAtOnce) {
    DocxBuilder b;
    for (int i = 0; i < 600; ++i) b.body += "<w:p/>";
    ReadLimits limits;
    limits.maxXmlElements = 500;
    const ReadResult r = read(b.build(), limits);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error, "The document is too large to convert: word/document.xml holds more than 500 XML elements");
    limits.maxXmlElements = 1000;
    EXPECT_TRUE(read(b.build(), limits).ok()) << "all but the bound";
}

TEST(DocxReader, FieldsNestedBeyondTheCapKeepTheirText) {
    DocxBuilder b;
    std::string runs;
    for (int i = 0; i < 3000; ++i)
        runs += R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText>QUOTE</w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r>)";
    runs += "<w:r><w:t>deep</w:t></w:r>";
    for (int i = 0; i < 3000; ++i) runs += R"(<w:r><w:fldChar w:fldCharType="end"/></w:r>)";
    b.body = "<w:p>" + runs + "<w:r><w:t xml:space=\"preserve\"> after</w:t></w:r></w:p>";
    ReadResult r = read(b.build());
    ASSERT_TRUE(r.ok()) << r.error;
    std::string text;
    std::function<void(const std::vector<orvane::model::Inline>&)> collect = [&](const auto& inlines) {
        for (const auto& in : inlines) {
            if (const auto* run = std::get_if<orvane::model::TextRun>(&in.value)) text += run->text;
            else if (const auto* field = std::get_if<orvane::model::Field>(&in.value)) collect(field->result);
        }
    };
    collect(std::get<orvane::model::Paragraph>(r.document->sections[0].blocks.at(0).value).content);
    EXPECT_EQ(text, "deep after");
}

// ---------------------------------------------------------------------------
// The shared corpus

TEST(DocxReader, CorpusDocumentsRead) {
    const std::filesystem::path corpus = orvane::testing::corpusFolder();
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    int read = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (!entry.is_regular_file()) continue;
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool bad = entry.path().parent_path().filename() == "bad";
        const bool ours = ext == ".docx" || ext == ".docm" || ext == ".dotx" || ext == ".dotm";
        if (!ours && !bad) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        ReadResult r = orvane::readDocx(bytes.str(), {});
        if (bad) {
            EXPECT_TRUE(r.ok() || !r.error.empty()) << entry.path();
            continue;
        }
        ++read;
        ASSERT_TRUE(r.ok()) << entry.path() << ": " << r.error;
        EXPECT_FALSE(r.document->fonts.empty()) << entry.path();
        EXPECT_FALSE(r.document->sections.empty()) << entry.path();
        // Writing the model must work too: the writer relies on indexes being in range.
        orvane::StringSink sink;
        EXPECT_TRUE(orvane::writeRtf(*r.document, sink)) << entry.path();
    }
    if (read == 0) GTEST_SKIP() << "no Word 2007 documents in " << corpus;
}

}  // namespace
