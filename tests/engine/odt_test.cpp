// Tests of the OpenDocument text reader: small documents built here, each read
// both as a package (.odt, zipped with libzip) and as flat XML (.fodt), which
// must agree, and compared as model dumps against golden files; damaged and
// hostile input; and a smoke test over the shared corpus when it is present.
#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Engine.h"
#include "Corpus.h"
#include "Golden.h"
#include "odt/OdtReader.h"

namespace {

using orvane::ReadLimits;
using orvane::ReadResult;

// ---------------------------------------------------------------------------
// Building documents

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
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), f.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
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

std::string base64(const std::string& in) {
    static const char* chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(in[i]) << 16 | static_cast<unsigned char>(in[i + 1]) << 8 |
                           static_cast<unsigned char>(in[i + 2]);
        out += chars[v >> 18];
        out += chars[(v >> 12) & 63];
        out += chars[(v >> 6) & 63];
        out += chars[v & 63];
        if (out.size() % 76 == 0) out += '\n';  // line breaks inside the data are allowed
    }
    if (i + 1 == in.size()) {
        const unsigned v = static_cast<unsigned char>(in[i]) << 16;
        out += chars[v >> 18];
        out += chars[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        const unsigned v = static_cast<unsigned char>(in[i]) << 16 | static_cast<unsigned char>(in[i + 1]) << 8;
        out += chars[v >> 18];
        out += chars[(v >> 12) & 63];
        out += chars[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

// The start of a PNG, enough for the reader to know it and its pixel size.
std::string fakePng(unsigned width, unsigned height) {
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (const unsigned v : {width, height}) {
        png.push_back(static_cast<char>(v >> 24));
        png.push_back(static_cast<char>(v >> 16));
        png.push_back(static_cast<char>(v >> 8));
        png.push_back(static_cast<char>(v));
    }
    png.append("\x08\x06\0\0\0", 5);
    return png;
}

// A real one-pixel GIF, which the reader turns into PNG.
const std::string kGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00,"
                       "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                       43);

constexpr const char* kNamespaces =
    R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0")"
    R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
    R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
    R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")"
    R"( xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0")"
    R"( xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:dc="http://purl.org/dc/elements/1.1/")"
    R"( xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0")"
    R"( xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")"
    R"( xmlns:loext="urn:org:documentfoundation:names:experimental:office:xmlns:loext:1.0")"
    R"( xmlns:config="urn:oasis:names:tc:opendocument:xmlns:config:1.0")";

constexpr const char* kTextType = "application/vnd.oasis.opendocument.text";

// An OpenDocument text assembled from XML snippets, written either way.
struct OdtBuilder {
    std::string fonts;       // office:font-face-decls
    std::string styles;      // office:styles
    std::string stylesAuto;  // automatic styles of styles.xml (page layouts, header styles)
    std::string masters;     // office:master-styles
    std::string autoStyles;  // automatic styles of content.xml
    std::string body;        // office:text
    std::string meta;        // office:meta
    std::string settings;    // office:settings
    std::map<std::string, std::string> pictures;  // package member -> bytes; embedded in flat files

    std::string flat() const {
        std::string text = body;
        // A picture in the package is base64 inside its draw:image here.
        for (const auto& [name, bytes] : pictures) {
            const std::string ref = "xlink:href=\"" + name + "\"/>";
            const std::string embedded = "><office:binary-data>" + base64(bytes) + "</office:binary-data></draw:image>";
            for (std::size_t at = text.find(ref); at != std::string::npos; at = text.find(ref, at + embedded.size()))
                text.replace(at, ref.size(), embedded);
        }
        return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document") + kNamespaces +
               " office:version=\"1.3\" office:mimetype=\"" + kTextType + "\">" + "<office:meta>" + meta +
               "</office:meta><office:settings>" + settings + "</office:settings><office:font-face-decls>" + fonts +
               "</office:font-face-decls><office:styles>" + styles + "</office:styles><office:automatic-styles>" +
               stylesAuto + autoStyles + "</office:automatic-styles><office:master-styles>" + masters +
               "</office:master-styles><office:body><office:text>" + text +
               "</office:text></office:body></office:document>";
    }

    std::string package() const {
        std::vector<ZipFile> files = {
            {"mimetype", kTextType, false},
            {"content.xml", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content") +
                                kNamespaces + " office:version=\"1.3\"><office:automatic-styles>" + autoStyles +
                                "</office:automatic-styles><office:body><office:text>" + body +
                                "</office:text></office:body></office:document-content>"},
            {"styles.xml", std::string("<office:document-styles") + kNamespaces + "><office:font-face-decls>" + fonts +
                               "</office:font-face-decls><office:styles>" + styles +
                               "</office:styles><office:automatic-styles>" + stylesAuto +
                               "</office:automatic-styles><office:master-styles>" + masters +
                               "</office:master-styles></office:document-styles>"},
            {"meta.xml", std::string("<office:document-meta") + kNamespaces + "><office:meta>" + meta +
                             "</office:meta></office:document-meta>"},
            {"settings.xml", std::string("<office:document-settings") + kNamespaces + "><office:settings>" + settings +
                                 "</office:settings></office:document-settings>"},
            {"META-INF/manifest.xml",
             "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\"/>"},
        };
        for (const auto& [name, bytes] : pictures) files.push_back({name, bytes, false});
        return makeZip(files);
    }
};

// Reads both forms; they must agree, and the engine must find its way to
// this reader by content alone.
ReadResult readBoth(const OdtBuilder& b) {
    const ReadResult fromPackage = orvane::readDocument(b.package());
    const ReadResult fromFlat = orvane::readDocument(b.flat());
    EXPECT_TRUE(fromPackage.ok()) << fromPackage.error;
    EXPECT_TRUE(fromFlat.ok()) << fromFlat.error;
    if (fromPackage.ok() && fromFlat.ok()) {
        EXPECT_EQ(orvane::dumpModel(*fromPackage.document), orvane::dumpModel(*fromFlat.document))
            << "the package and the flat file read differently";
        EXPECT_EQ(fromPackage.warnings, fromFlat.warnings);
    }
    return fromPackage;
}

void expectDump(const OdtBuilder& b, const std::string& golden) {
    const ReadResult r = readBoth(b);
    ASSERT_TRUE(r.ok()) << r.error;
    orvane::testing::expectGolden("odt/" + golden, orvane::dumpModel(*r.document));
}

const char* const kFonts =
    R"(<style:font-face style:name="Liberation Serif" svg:font-family="'Liberation Serif'" style:font-family-generic="roman" style:font-pitch="variable"/>)"
    R"(<style:font-face style:name="Liberation Sans" svg:font-family="'Liberation Sans'" style:font-family-generic="swiss" style:font-pitch="variable"/>)"
    R"(<style:font-face style:name="Liberation Sans1" svg:font-family="'Liberation Sans'" style:font-family-generic="system"/>)"
    R"(<style:font-face style:name="OpenSymbol" svg:font-family="OpenSymbol" style:font-charset="x-symbol"/>)"
    R"(<style:font-face style:name="Courier" svg:font-family="Courier" style:font-family-generic="modern" style:font-pitch="fixed"/>)";

const char* const kDefaultStyle =
    R"(<style:default-style style:family="paragraph"><style:paragraph-properties fo:orphans="2" fo:widows="2"/>)"
    R"(<style:text-properties style:font-name="Liberation Serif" fo:font-size="12pt" fo:language="en" fo:country="GB" style:font-name-asian="Liberation Sans1"/></style:default-style>)"
    R"(<style:style style:name="Standard" style:family="paragraph"/>)";

// ---------------------------------------------------------------------------
// Golden documents

TEST(OdtReader, StylesAndCharacterFormatting) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = std::string(kDefaultStyle) +
        R"(<style:style style:name="Heading" style:family="paragraph" style:parent-style-name="Standard" style:next-style-name="Text_20_body">)"
        R"(<style:paragraph-properties fo:margin-top="0.423cm" fo:margin-bottom="0.212cm" fo:keep-with-next="always" style:contextual-spacing="true"/>)"
        R"(<style:text-properties style:font-name="Liberation Sans" fo:font-size="14pt"/></style:style>)"
        R"(<style:style style:name="Heading_20_1" style:display-name="Heading 1" style:family="paragraph" style:parent-style-name="Heading" style:default-outline-level="1">)"
        R"(<style:text-properties fo:font-size="130%" fo:font-weight="bold"/></style:style>)"
        R"(<style:style style:name="Text_20_body" style:display-name="Text body" style:family="paragraph" style:parent-style-name="Standard">)"
        R"(<style:paragraph-properties fo:margin-bottom="0.247cm" fo:line-height="115%"/></style:style>)"
        R"(<style:style style:name="Loop_20_A" style:family="paragraph" style:parent-style-name="Loop_20_B"><style:text-properties fo:font-style="italic"/></style:style>)"
        R"(<style:style style:name="Loop_20_B" style:family="paragraph" style:parent-style-name="Loop_20_A"><style:text-properties fo:font-weight="bold"/></style:style>)"
        R"(<style:style style:name="Emphasis" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>)"
        R"(<style:style style:name="Strong_20_Emphasis" style:display-name="Strong Emphasis" style:family="text" style:parent-style-name="Emphasis"><style:text-properties fo:font-weight="bold"/></style:style>)";
    b.autoStyles =
        R"(<style:style style:name="P1" style:family="paragraph" style:parent-style-name="Text_20_body"><style:text-properties fo:color="#336699" fo:font-size="10pt"/></style:style>)"
        R"(<style:style style:name="T1" style:family="text"><style:text-properties style:text-underline-style="solid" style:text-underline-width="auto"/></style:style>)"
        R"(<style:style style:name="T2" style:family="text"><style:text-properties style:text-underline-style="solid" style:text-underline-type="double"/></style:style>)"
        R"(<style:style style:name="T3" style:family="text"><style:text-properties style:text-underline-style="wave"/></style:style>)"
        R"(<style:style style:name="T4" style:family="text"><style:text-properties style:text-underline-style="solid" style:text-underline-width="bold"/></style:style>)"
        R"(<style:style style:name="T5" style:family="text"><style:text-properties style:text-underline-style="solid" style:text-underline-mode="skip-white-space"/></style:style>)"
        R"(<style:style style:name="T6" style:family="text"><style:text-properties style:text-line-through-style="solid"/></style:style>)"
        R"(<style:style style:name="T7" style:family="text"><style:text-properties style:text-line-through-style="solid" style:text-line-through-type="double"/></style:style>)"
        R"(<style:style style:name="T8" style:family="text"><style:text-properties style:text-position="super 58%"/></style:style>)"
        R"(<style:style style:name="T9" style:family="text"><style:text-properties style:text-position="-33% 58%"/></style:style>)"
        R"(<style:style style:name="T10" style:family="text"><style:text-properties fo:text-transform="uppercase" fo:font-variant="small-caps"/></style:style>)"
        R"(<style:style style:name="T11" style:family="text"><style:text-properties text:display="none"/></style:style>)"
        R"(<style:style style:name="T12" style:family="text"><style:text-properties fo:background-color="#ffff00" style:use-window-font-color="true" fo:letter-spacing="0.05cm"/></style:style>)"
        R"(<style:style style:name="T13" style:family="text"><style:text-properties fo:language="de" fo:country="DE" style:font-name="OpenSymbol"/></style:style>)"
        R"(<style:style style:name="T14" style:family="text" style:parent-style-name="Strong_20_Emphasis"><style:text-properties fo:font-size="150%"/></style:style>)"
        R"(<style:style style:name="T15" style:family="text"><style:text-properties fo:font-family="'Courier New', monospace" fo:font-weight="700" style:font-name-complex="Courier"/></style:style>)";
    b.body =
        R"(<text:h text:style-name="Heading_20_1" text:outline-level="1">Title</text:h>)"
        R"(<text:p text:style-name="P1">Plain <text:span text:style-name="T1">single</text:span> )"
        R"(<text:span text:style-name="T2">double</text:span> <text:span text:style-name="T3">wave</text:span> )"
        R"(<text:span text:style-name="T4">thick</text:span> <text:span text:style-name="T5">words only</text:span> )"
        R"(<text:span text:style-name="T6">struck</text:span> <text:span text:style-name="T7">twice</text:span> )"
        R"(x<text:span text:style-name="T8">2</text:span> H<text:span text:style-name="T9">2</text:span>O )"
        R"(<text:span text:style-name="T10">caps</text:span> <text:span text:style-name="T11">hidden</text:span> )"
        R"(<text:span text:style-name="T12">marked</text:span> <text:span text:style-name="T13">Symbol</text:span> )"
        R"(<text:span text:style-name="Emphasis">char style <text:span text:style-name="T14">bigger and strong</text:span></text:span> )"
        R"(<text:span text:style-name="T15">Courier New</text:span></text:p>)"
        R"(<text:p text:style-name="Loop_20_A">Parents in a loop</text:p>)"
        R"(<text:p text:style-name="Missing">A style nobody defined</text:p>)";
    expectDump(b, "styles.txt");
}

TEST(OdtReader, ParagraphFormattingAndWhiteSpace) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = kDefaultStyle;
    b.autoStyles =
        R"(<style:style style:name="P1" style:family="paragraph"><style:paragraph-properties fo:text-align="center" fo:margin-left="1cm" fo:margin-right="0.5cm" fo:text-indent="-0.5cm" fo:margin-top="6pt" fo:margin-bottom="12pt"/></style:style>)"
        R"(<style:style style:name="P2" style:family="paragraph"><style:paragraph-properties fo:text-align="end" fo:line-height="150%" fo:keep-together="always" fo:background-color="#dddddd"/></style:style>)"
        R"(<style:style style:name="P3" style:family="paragraph"><style:paragraph-properties fo:text-align="start" style:writing-mode="rl-tb" style:line-height-at-least="0.6cm" fo:widows="0" fo:orphans="0"/></style:style>)"
        R"(<style:style style:name="P4" style:family="paragraph"><style:paragraph-properties fo:text-align="justify" fo:line-height="0.5in" fo:break-before="page" fo:margin-left="1in">)"
        R"(<style:tab-stops><style:tab-stop style:position="2cm"/><style:tab-stop style:position="8cm" style:type="right" style:leader-style="dotted" style:leader-text="."/>)"
        R"(<style:tab-stop style:position="5cm" style:type="center" style:leader-text="-"/><style:tab-stop style:position="6cm" style:type="char" style:char="," style:leader-style="solid"/></style:tab-stops>)"
        R"(</style:paragraph-properties></style:style>)"
        R"(<style:style style:name="P5" style:family="paragraph"><style:paragraph-properties fo:break-after="page"/></style:style>)"
        R"(<style:style style:name="P6" style:family="paragraph"><style:paragraph-properties fo:break-before="column"/></style:style>)";
    b.body =
        R"(<text:p text:style-name="P1">Centred and indented</text:p>)"
        "<text:p text:style-name=\"P2\">   Leading  and   inner   blanks\n   collapse<text:s text:c=\"3\"/>but spaces"
        "<text:tab/>tabs<text:line-break/>and breaks stay <text:span> </text:span>  </text:p>"
        R"(<text:p text:style-name="P3">Right to left</text:p>)"
        R"(<text:p text:style-name="P4">Tabbed<text:tab/>one<text:tab/>two</text:p>)"
        R"(<text:p text:style-name="P5">Before a page break</text:p>)"
        R"(<text:p>After it</text:p>)"
        R"(<text:p text:style-name="P6">In the next column</text:p>)"
        R"(<text:h text:outline-level="2">A heading without a style</text:h>)"
        "<text:p>\n  <text:span>a</text:span> <text:span>b</text:span><text:soft-page-break/> c\n</text:p>";
    expectDump(b, "paragraphs.txt");
}

TEST(OdtReader, Lists) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = std::string(kDefaultStyle) +
        R"(<style:style style:name="Bullet_20_Symbols" style:family="text"><style:text-properties style:font-name="OpenSymbol"/></style:style>)"
        R"(<text:list-style style:name="Numbering_20_123" style:display-name="Numbering 123">)"
        R"x(<text:list-level-style-number text:level="1" style:num-prefix="(" style:num-suffix=")" style:num-format="1">)x"
        R"(<style:list-level-properties text:list-level-position-and-space-mode="label-alignment"><style:list-level-label-alignment text:label-followed-by="listtab" fo:text-indent="-0.635cm" fo:margin-left="1.27cm"/></style:list-level-properties>)"
        R"(</text:list-level-style-number>)"
        R"(<text:list-level-style-number text:level="2" style:num-suffix="." style:num-format="a" text:display-levels="2" text:start-value="3">)"
        R"(<style:list-level-properties text:space-before="1cm" text:min-label-width="0.5cm"/></text:list-level-style-number>)"
        R"x(<text:list-level-style-number text:level="3" style:num-suffix=")" style:num-format="i" loext:num-list-format="%2%.%3%)" text:display-levels="3"/>)x"
        R"(</text:list-style>)"
        R"(<text:list-style style:name="Bullets"><text:list-level-style-bullet text:level="1" text:bullet-char="•" text:style-name="Bullet_20_Symbols">)"
        R"(<style:list-level-properties text:list-level-position-and-space-mode="label-alignment"><style:list-level-label-alignment fo:text-indent="-0.5cm" fo:margin-left="1cm"/></style:list-level-properties></text:list-level-style-bullet>)"
        R"(<text:list-level-style-bullet text:level="2" text:bullet-char="&#xE00C;"><style:text-properties style:font-name="OpenSymbol"/></text:list-level-style-bullet>)"
        R"(<text:list-level-style-number text:level="3" style:num-format=""/></text:list-style>)"
        R"(<text:outline-style style:name="Outline"><text:outline-level-style text:level="1" style:num-format="1" style:num-suffix="."/>)"
        R"(<text:outline-level-style text:level="2" style:num-format="1" text:display-levels="2"/></text:outline-style>)"
        R"(<style:style style:name="Heading_20_1" style:display-name="Heading 1" style:family="paragraph" style:default-outline-level="1"/>)"
        R"(<style:style style:name="Heading_20_2" style:display-name="Heading 2" style:family="paragraph" style:default-outline-level="2" style:list-style-name=""/>)";
    b.body =
        R"(<text:list xml:id="l1" text:style-name="Numbering_20_123">)"
        R"(<text:list-item><text:p>One</text:p><text:p>its second paragraph</text:p>)"
        R"(<text:list><text:list-item><text:p>One point c</text:p>)"
        R"(<text:list><text:list-item><text:p>deep</text:p></text:list-item></text:list></text:list-item></text:list></text:list-item>)"
        R"(<text:list-header><text:p>A header without number</text:p></text:list-header>)"
        R"(<text:list-item><text:p>Two</text:p></text:list-item></text:list>)"
        R"(<text:p>Interruption</text:p>)"
        R"(<text:list text:style-name="Numbering_20_123" text:continue-numbering="true"><text:list-item><text:p>Three, continued</text:p></text:list-item></text:list>)"
        R"(<text:list text:style-name="Numbering_20_123"><text:list-item><text:p>One again</text:p></text:list-item>)"
        R"(<text:list-item text:start-value="7"><text:p>Seven</text:p></text:list-item></text:list>)"
        R"(<text:list text:continue-list="l1" text:style-name="Numbering_20_123"><text:list-item><text:p>Goes on from the first list</text:p></text:list-item></text:list>)"
        R"(<text:list text:style-name="Bullets"><text:list-item><text:p>Bullet</text:p><text:list><text:list-item><text:p>Private-use bullet</text:p>)"
        R"(<text:list><text:list-item><text:p>No label</text:p></text:list-item></text:list></text:list-item></text:list></text:list-item></text:list>)"
        R"(<text:h text:style-name="Heading_20_1" text:outline-level="1"><text:number>1.</text:number>Numbered heading</text:h>)"
        R"(<text:h text:style-name="Heading_20_2" text:outline-level="2">Its style switches numbering off</text:h>)"
        R"x(<text:list text:style-name="Missing"><text:list-item><text:p><text:number>9)</text:number> Unknown list style keeps its label</text:p></text:list-item></text:list>)x"
        R"(<text:numbered-paragraph text:list-id="np" text:level="2" text:style-name="Numbering_20_123"><text:p>A numbered paragraph</text:p></text:numbered-paragraph>)";
    expectDump(b, "lists.txt");
}

TEST(OdtReader, Tables) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = kDefaultStyle;
    b.autoStyles =
        R"(<style:style style:name="Table1" style:family="table"><style:table-properties style:width="16cm" table:align="center"/></style:style>)"
        R"(<style:style style:name="Table1.A" style:family="table-column"><style:table-column-properties style:column-width="4cm"/></style:style>)"
        R"(<style:style style:name="Table1.C" style:family="table-column"><style:table-column-properties style:column-width="8cm"/></style:style>)"
        R"(<style:style style:name="Table1.1" style:family="table-row"><style:table-row-properties style:min-row-height="1cm"/></style:style>)"
        R"(<style:style style:name="Table1.2" style:family="table-row"><style:table-row-properties style:row-height="2cm" fo:background-color="#eeeeee"/></style:style>)"
        R"(<style:style style:name="Table1.A1" style:family="table-cell"><style:table-cell-properties fo:background-color="#ff0000" style:vertical-align="middle" fo:border="0.5pt solid #000000"/></style:style>)"
        R"(<style:style style:name="Table1.B1" style:family="table-cell"><style:table-cell-properties fo:border-left="none" fo:border-right="none" fo:border-top="0.5pt solid #000000" fo:border-bottom="none" style:vertical-align="bottom"/></style:style>)"
        R"(<style:style style:name="Table1.X" style:family="table-cell"><style:table-cell-properties fo:border="none" fo:background-color="transparent"/></style:style>)"
        R"(<style:style style:name="Table2" style:family="table"><style:table-properties style:rel-width="50%" table:align="margins" fo:margin-left="1cm" fo:background-color="#00ff00"/></style:style>)"
        R"(<style:style style:name="Table2.A" style:family="table-column"><style:table-column-properties style:rel-column-width="1000*"/></style:style>)"
        R"(<style:style style:name="Table2.B" style:family="table-column"><style:table-column-properties style:rel-column-width="3000*"/></style:style>)";
    b.body =
        R"(<table:table table:name="Table1" table:style-name="Table1">)"
        R"(<table:table-column table:style-name="Table1.A" table:number-columns-repeated="2"/><table:table-column table:style-name="Table1.C"/>)"
        R"(<table:table-header-rows><table:table-row table:style-name="Table1.1">)"
        R"(<table:table-cell table:style-name="Table1.A1" table:number-rows-spanned="2"><text:p>A1 down two</text:p></table:table-cell>)"
        R"(<table:table-cell table:style-name="Table1.B1" table:number-columns-spanned="2"><text:p>B1 across two</text:p></table:table-cell>)"
        R"(<table:covered-table-cell/></table:table-row></table:table-header-rows>)"
        R"(<table:table-row table:style-name="Table1.2"><table:covered-table-cell/>)"
        R"(<table:table-cell><text:p>B2</text:p><table:table table:name="Inner"><table:table-column/>)"
        R"(<table:table-row><table:table-cell><text:p>inner</text:p></table:table-cell></table:table-row></table:table></table:table-cell>)"
        R"(<table:table-cell table:style-name="Table1.X"/></table:table-row>)"
        R"(<table:table-rows><table:table-row><table:table-cell table:number-columns-spanned="2" table:number-rows-spanned="2"><text:p>A3 two by two</text:p></table:table-cell>)"
        R"(<table:covered-table-cell/><table:table-cell><text:p>C3</text:p></table:table-cell></table:table-row>)"
        R"(<table:table-row><table:covered-table-cell table:number-columns-repeated="2"/><table:table-cell><text:p>C4</text:p></table:table-cell></table:table-row>)"
        R"(<table:table-row table:number-rows-repeated="2"><table:table-cell table:number-columns-repeated="3"><text:p>x</text:p></table:table-cell></table:table-row>)"
        R"(</table:table-rows></table:table>)"
        R"(<table:table table:name="Table2" table:style-name="Table2"><table:table-column table:style-name="Table2.A"/><table:table-column table:style-name="Table2.B"/>)"
        R"(<table:table-row><table:table-cell><text:p>narrow</text:p></table:table-cell><table:table-cell><text:p>wide</text:p></table:table-cell></table:table-row></table:table>)"
        R"(<text:p>After the tables</text:p>)";
    expectDump(b, "tables.txt");
}

TEST(OdtReader, FieldsLinksAndBookmarks) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = std::string(kDefaultStyle) +
        R"(<style:style style:name="Internet_20_link" style:display-name="Internet link" style:family="text"><style:text-properties fo:color="#000080" style:text-underline-style="solid"/></style:style>)";
    b.autoStyles = R"(<style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>)";
    b.pictures["Pictures/dot.png"] = fakePng(2, 3);
    b.body =
        R"(<text:sequence-decls><text:sequence-decl text:display-outline-level="0" text:name="Illustration"/></text:sequence-decls>)"
        R"(<text:p><text:bookmark text:name="point"/>Go to <text:a xlink:type="simple" xlink:href="https://example.com/a?b=1&amp;c=&quot;2&quot;" text:style-name="Internet_20_link">)"
        R"(<text:span text:style-name="T1">the site</text:span></text:a> or <text:a xlink:href="#Target%20mark">the mark</text:a>.</text:p>)"
        R"(<text:p><text:bookmark-start text:name="Target mark"/>Marked<text:bookmark-end text:name="Target mark"/> text; see )"
        R"(<text:bookmark-ref text:reference-format="text" text:ref-name="Target mark">Marked</text:bookmark-ref>.</text:p>)"
        R"(<text:p>Page <text:page-number text:select-page="current">3</text:page-number> of <text:page-count>9</text:page-count>, )"
        R"(<text:date text:date-value="2024-01-02">02/01/2024</text:date>, <text:date text:fixed="true">1 May</text:date>, <text:time>10:00</text:time>.</text:p>)"
        R"(<text:p>Figure <text:sequence text:name="Illustration" text:formula="ooow:Illustration+1" style:num-format="1">1</text:sequence>, )"
        R"(by <text:author-name>Ann</text:author-name>, title <text:title>T</text:title>, <text:some-new-field>kept</text:some-new-field>.</text:p>)"
        R"(<text:table-of-content text:name="Contents"><text:table-of-content-source text:outline-level="3">)"
        R"(<text:index-title-template>Contents</text:index-title-template></text:table-of-content-source>)"
        R"(<text:index-body><text:index-title text:name="Contents_Head"><text:p>Contents</text:p></text:index-title>)"
        R"(<text:p><text:a xlink:href="#__RefHeading__1">Intro<text:tab/>1</text:a></text:p>)"
        R"(<text:p><text:a xlink:href="#__RefHeading__2">Method<text:tab/>2</text:a></text:p></text:index-body></text:table-of-content>)"
        R"(<text:bookmark text:name="between blocks"/>)"
        R"(<text:p>Reference <text:reference-mark-start text:name="ref"/>range<text:reference-mark-end text:name="ref"/> and )"
        R"(<text:reference-ref text:ref-name="ref">range</text:reference-ref>; <text:ruby><text:ruby-base>base</text:ruby-base><text:ruby-text>ruby</text:ruby-text></text:ruby>.</text:p>)"
        R"(<text:p><draw:a xlink:href="https://example.org/"><draw:frame svg:width="1cm" svg:height="1cm" text:anchor-type="as-char"><draw:image xlink:href="Pictures/dot.png"/></draw:frame></draw:a></text:p>)";
    expectDump(b, "fields.txt");
}

TEST(OdtReader, NotesCommentsAndTrackedChanges) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = std::string(kDefaultStyle) +
        R"(<text:notes-configuration text:note-class="footnote" style:num-format="a" text:start-value="1" text:footnotes-position="text" text:start-numbering-at="page"/>)"
        R"(<text:notes-configuration text:note-class="endnote" style:num-format="I" text:start-numbering-at="chapter"/>)"
        R"(<text:list-style style:name="L1"><text:list-level-style-number text:level="1" style:num-format="1" style:num-suffix="."/></text:list-style>)";
    b.autoStyles = R"(<style:style style:name="T1" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>)";
    b.body =
        R"(<text:tracked-changes><text:changed-region text:id="ct1"><text:deletion><office:change-info><dc:creator>X</dc:creator></office:change-info>)"
        R"(<text:p>deleted words</text:p></text:deletion></text:changed-region><text:changed-region text:id="ct2"><text:insertion><office:change-info/></text:insertion></text:changed-region></text:tracked-changes>)"
        R"(<text:p>Text<text:note text:id="ftn1" text:note-class="footnote"><text:note-citation>b</text:note-citation><text:note-body>)"
        R"(<text:p>Footnote <text:span text:style-name="T1">body</text:span></text:p><text:list text:style-name="L1"><text:list-item><text:p>listed in the note</text:p></text:list-item></text:list>)"
        R"(</text:note-body></text:note> more<text:note text:note-class="endnote"><text:note-citation text:label="*">*</text:note-citation>)"
        R"(<text:note-body><text:p>Endnote with its own mark</text:p></text:note-body></text:note>.</text:p>)"
        R"(<text:list text:style-name="L1"><text:list-item><text:p>Item with a note<text:note text:note-class="footnote"><text:note-citation>c</text:note-citation><text:note-body><text:p>in an item</text:p></text:note-body></text:note></text:p></text:list-item></text:list>)"
        R"(<text:p><office:annotation office:name="c1"><dc:creator>Ann Author</dc:creator><dc:date>2024-05-06T07:08:09.123</dc:date><meta:creator-initials>AA</meta:creator-initials>)"
        R"(<text:p>A comment on a range</text:p></office:annotation>commented<office:annotation-end office:name="c1"/> and not<office:annotation><dc:creator>Bob</dc:creator><text:p>A point comment</text:p></office:annotation>.</text:p>)"
        R"(<text:p>Open <office:annotation office:name="c2"><text:p>never closed</text:p></office:annotation>range</text:p>)"
        R"(<text:p>Kept <text:change text:change-id="ct1"/>and <text:change-start text:change-id="ct2"/>inserted<text:change-end text:change-id="ct2"/> text.</text:p>)";
    expectDump(b, "notes.txt");
}

// Two authors: an insertion across paragraphs, a deletion of words inside a
// paragraph, one of two paragraphs (their break a line break), one of a
// whole paragraph between paragraphs, a note inside an insertion with marks
// of its own, and marks that name no region, a format change, themselves or
// a region already read.
TEST(OdtReader, TrackedChangesAreRevisions) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = kDefaultStyle;
    b.autoStyles = R"(<style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>)";
    const auto region = [](const char* id, const char* kind, const char* who, const char* content) {
        return std::string("<text:changed-region text:id=\"") + id + "\"><text:" + kind +
               "><office:change-info><dc:creator>" + who + "</dc:creator><dc:date>2015-03-01T18:19:00</dc:date>" +
               "</office:change-info>" + content + "</text:" + kind + "></text:changed-region>";
    };
    b.body = "<text:tracked-changes>" + region("ins1", "insertion", "Ann", "") +
             region("del1", "deletion", "Bob", R"(<text:p>old <text:span text:style-name="T1">bold</text:span></text:p>)") +
             region("del2", "deletion", "Bob", "<text:p>end of one</text:p><text:p>start of next</text:p>") +
             region("del3", "deletion", "Ann", "<text:p>A whole paragraph</text:p>") +
             region("loop", "deletion", "Eve", R"(<text:p>self <text:change text:change-id="loop"/></text:p>)") +
             region("ins2", "insertion", "Bob", "") +
             R"(<text:changed-region text:id="fmt"><text:format-change><office:change-info/></text:format-change></text:changed-region>)"
             "</text:tracked-changes>" +
             R"(<text:p>Before <text:change-start text:change-id="ins1"/>new words</text:p>)"
             R"(<text:p>still new<text:change-end text:change-id="ins1"/> then <text:change text:change-id="del1"/>kept)"
             R"(<text:change text:change-id="del2"/>.</text:p>)"
             R"(<text:change text:change-id="del3"/>)"
             R"(<text:p><text:change-start text:change-id="fmt"/>Formatted<text:change-end text:change-id="fmt"/> )"
             R"(<text:change text:change-id="nowhere"/><text:change text:change-id="loop"/><text:change text:change-id="del1"/>)"
             R"(<text:change-start text:change-id="ins2"/>noted<text:note text:note-class="footnote"><text:note-citation>1</text:note-citation>)"
             R"(<text:note-body><text:p>Note text</text:p></text:note-body></text:note> end<text:change-end text:change-id="ins2"/></text:p>)";
    expectDump(b, "revisions.txt");
}

TEST(OdtReader, FramesShapesAndPictures) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = std::string(kDefaultStyle) +
        R"(<style:style style:name="Frame" style:family="graphic"><style:graphic-properties style:wrap="parallel" style:horizontal-pos="center" style:horizontal-rel="paragraph" style:vertical-pos="top" style:vertical-rel="paragraph" fo:border="0.06pt solid #112233"/></style:style>)";
    b.autoStyles =
        R"(<style:style style:name="fr1" style:family="graphic" style:parent-style-name="Frame"><style:graphic-properties style:wrap="none" style:horizontal-pos="from-left" style:horizontal-rel="page" style:vertical-pos="from-top" style:vertical-rel="page-content" draw:fill="solid" draw:fill-color="#abcdef"/></style:style>)"
        R"(<style:style style:name="fr2" style:family="graphic"><style:graphic-properties style:wrap="run-through" style:run-through="background" fo:border="none"/></style:style>)"
        R"(<style:style style:name="gr1" style:family="graphic"><style:graphic-properties style:wrap="dynamic" style:wrap-contour="true"/></style:style>)";
    b.pictures["Pictures/dot.png"] = fakePng(2, 3);
    b.pictures["Pictures/one.gif"] = kGif;
    b.pictures["Pictures/old.svm"] = std::string("VCLMTF\x01\x00\x31\x00\x00\x00", 12);
    b.body =
        R"(<text:p>Anchor<draw:frame draw:style-name="fr1" text:anchor-type="page" svg:x="2cm" svg:y="3cm" svg:width="5cm"><draw:text-box fo:min-height="2cm">)"
        R"(<text:p>Boxed text</text:p><table:table><table:table-column/><table:table-row><table:table-cell><text:p>cell in box</text:p></table:table-cell></table:table-row></table:table>)"
        R"(</draw:text-box></draw:frame> here.</text:p>)"
        R"(<text:p><draw:frame draw:style-name="Frame" text:anchor-type="paragraph" svg:width="4cm" svg:height="1cm"><draw:text-box>)"
        R"(<text:p>Centred box <draw:frame text:anchor-type="as-char" svg:width="2cm" svg:height="1cm"><draw:image xlink:href="Pictures/dot.png"/></draw:frame></text:p>)"
        R"(</draw:text-box></draw:frame></text:p>)"
        R"(<text:p><draw:custom-shape draw:style-name="gr1" text:anchor-type="char" svg:x="1cm" svg:y="1cm" svg:width="3cm" svg:height="2cm"><text:p>Shape text</text:p>)"
        R"(<draw:enhanced-geometry draw:type="rectangle"/></draw:custom-shape><draw:g text:anchor-type="paragraph"><draw:rect svg:width="1cm" svg:height="1cm"><text:p/></draw:rect>)"
        R"(<draw:ellipse svg:width="1cm" svg:height="1cm"><text:p>In a group</text:p></draw:ellipse></draw:g></text:p>)"
        R"(<draw:frame draw:style-name="fr2" text:anchor-type="page" svg:width="3cm" svg:height="3cm"><draw:image xlink:href="Pictures/dot.png"/></draw:frame>)"
        R"(<text:p>Pictures: <draw:frame text:anchor-type="as-char"><draw:image xlink:href="Pictures/one.gif"/></draw:frame> )"
        R"(<draw:frame svg:width="1in" svg:height="0.5in"><draw:image xlink:href="Pictures/old.svm"/><draw:image xlink:href="Pictures/dot.png"/></draw:frame> )"
        R"(<draw:frame svg:width="1in" svg:height="1in"><draw:image xlink:href="https://example.com/x.png"/></draw:frame>)"
        R"(<draw:frame svg:width="1in" svg:height="1in"><draw:object xlink:href="./Object 1"/></draw:frame>end</text:p>)";
    expectDump(b, "frames.txt");
    const ReadResult r = orvane::readOdt(b.package(), {});
    ASSERT_TRUE(r.ok());
    const std::vector<std::string> expected = {
        "A linked picture (stored outside the document) was left out",
        "An embedded object (a chart, formula or OLE object) without a picture was left out",
    };
    EXPECT_EQ(r.warnings, expected);
}

TEST(OdtReader, PageLayoutMasterPagesSectionsAndProperties) {
    OdtBuilder b;
    b.fonts = kFonts;
    b.styles = kDefaultStyle;
    b.stylesAuto =
        R"(<style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21.001cm" fo:page-height="29.7cm" style:print-orientation="portrait" )"
        R"(fo:margin-top="2cm" fo:margin-bottom="1.5cm" fo:margin-left="2.5cm" fo:margin-right="2cm" style:num-format="i"/>)"
        R"(<style:header-style><style:header-footer-properties fo:min-height="0.5cm" fo:margin-bottom="0.25cm"/></style:header-style>)"
        R"(<style:footer-style><style:header-footer-properties fo:min-height="0.4cm" fo:margin-top="0.3cm"/></style:footer-style></style:page-layout>)"
        R"(<style:page-layout style:name="pm2"><style:page-layout-properties fo:page-width="29.7cm" fo:page-height="21cm" style:print-orientation="landscape" fo:margin="1in">)"
        R"(<style:columns fo:column-count="2" fo:column-gap="1cm"/></style:page-layout-properties><style:header-style/><style:footer-style/></style:page-layout>)"
        R"(<style:style style:name="MP1" style:family="paragraph"><style:text-properties fo:font-weight="bold"/></style:style>)";
    b.masters =
        R"(<style:master-page style:name="First_20_Page" style:display-name="First Page" style:page-layout-name="pm1" style:next-style-name="Standard">)"
        R"(<style:header><text:p text:style-name="MP1">First page header</text:p></style:header></style:master-page>)"
        R"(<style:master-page style:name="Standard" style:page-layout-name="pm1"><style:header><text:p>Header <text:page-number>1</text:page-number></text:p></style:header>)"
        R"(<style:header-left><text:p>Left header</text:p></style:header-left><style:footer><text:p>Footer</text:p></style:footer></style:master-page>)"
        R"(<style:master-page style:name="Landscape" style:page-layout-name="pm2"><style:header style:display="false"><text:p>hidden</text:p></style:header>)"
        R"(<style:footer><text:p>Wide footer</text:p></style:footer><style:footer-first><text:p>Wide first footer</text:p></style:footer-first></style:master-page>)";
    b.autoStyles =
        R"(<style:style style:name="P1" style:family="paragraph" style:master-page-name="First_20_Page"><style:paragraph-properties style:page-number="auto"/></style:style>)"
        R"(<style:style style:name="P2" style:family="paragraph" style:master-page-name="Landscape"><style:paragraph-properties style:page-number="5"/></style:style>)"
        R"(<style:style style:name="Sect1" style:family="section"><style:section-properties><style:columns fo:column-count="3" fo:column-gap="0.5cm"/></style:section-properties></style:style>)"
        R"(<style:style style:name="Sect2" style:family="section"><style:section-properties/></style:style>)";
    b.body =
        R"(<text:p text:style-name="P1">Title page</text:p><text:p>Body text</text:p>)"
        R"(<text:section text:style-name="Sect1" text:name="Three"><text:p>In three columns</text:p>)"
        R"(<text:section text:name="Nested" text:style-name="Sect2"><text:p>nested</text:p></text:section></text:section>)"
        R"(<text:section text:style-name="Sect1" text:name="Hidden" text:display="none"><text:p>hidden section text</text:p></text:section>)"
        R"(<text:p>Back to one column</text:p>)"
        R"(<text:p text:style-name="P2">Landscape pages</text:p>)"
        R"(<text:section text:style-name="Sect1" text:name="End"><text:p>Columns to the end</text:p></text:section>)";
    b.meta =
        R"(<meta:initial-creator>Ann Author</meta:initial-creator><dc:creator>Bob Editor</dc:creator><dc:title>The title</dc:title>)"
        R"(<dc:subject>The subject</dc:subject><meta:keyword>one</meta:keyword><meta:keyword>two</meta:keyword><dc:description>Described</dc:description>)"
        R"(<meta:creation-date>2023-04-05T06:07:08.123456789</meta:creation-date><dc:date>2024-01-02T03:04:05Z</dc:date>)";
    expectDump(b, "sections.txt");
}

// ---------------------------------------------------------------------------
// Details that need no golden file

orvane::model::Document readFlat(const std::string& xml) {
    const ReadResult r = orvane::readOdt(xml, {});
    EXPECT_TRUE(r.ok()) << r.error;
    return r.ok() ? *r.document : orvane::model::Document{};
}

TEST(OdtReader, ProducersOwnPrefixesReadTheSame) {
    OdtBuilder b;
    b.styles = kDefaultStyle;
    b.autoStyles = R"(<style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>)";
    b.body = R"(<text:p>Plain <text:span text:style-name="T1">bold</text:span><text:tab/>end</text:p>)";
    std::string renamed = b.flat();
    // Bind other prefixes to the same namespaces, and the usual one to
    // something foreign that must not be mistaken for it.
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"<text:", "<t:"}, {"</text:", "</t:"}, {" text:", " t:"}, {"xmlns:text=", "xmlns:t="},
             {"<style:", "<s:"}, {"</style:", "</s:"}, {" style:", " s:"}, {"xmlns:style=", "xmlns:s="}}) {
        for (std::size_t at = renamed.find(from); at != std::string::npos; at = renamed.find(from, at + to.size()))
            renamed.replace(at, from.size(), to);
    }
    renamed.replace(renamed.find("<office:body>"), 13, "<office:body><text:p xmlns:text=\"urn:example:other\">not text</text:p>");
    EXPECT_EQ(orvane::dumpModel(readFlat(renamed)), orvane::dumpModel(readFlat(b.flat())));
}

TEST(OdtReader, TabStopsFollowTheIndentUnlessTheSettingsSayOtherwise) {
    OdtBuilder b;
    b.autoStyles =
        R"(<style:style style:name="P1" style:family="paragraph"><style:paragraph-properties fo:margin-left="1in">)"
        R"(<style:tab-stops><style:tab-stop style:position="1in"/></style:tab-stops></style:paragraph-properties></style:style>)";
    b.body = R"(<text:p text:style-name="P1">a<text:tab/>b</text:p>)";
    const auto firstTab = [](const orvane::model::Document& d) {
        const auto& p = std::get<orvane::model::Paragraph>(d.sections.at(0).blocks.at(0).value);
        return p.props.tabs.at(0).position;
    };
    EXPECT_EQ(firstTab(readFlat(b.flat())), 2880);
    b.settings = R"(<config:config-item-set config:name="ooo:configuration-settings">)"
                 R"(<config:config-item config:name="TabsRelativeToIndent" config:type="boolean">false</config:config-item></config:config-item-set>)";
    EXPECT_EQ(firstTab(readFlat(b.flat())), 1440);
}

TEST(OdtReader, TemplatesAndDocumentsWithoutStylesRead) {
    // A template's package type, and a package with nothing but its content.
    const std::string content = std::string("<office:document-content") + kNamespaces +
                                "><office:body><office:text><text:p>Only content</text:p></office:text></office:body></office:document-content>";
    for (const std::string& type : {std::string("application/vnd.oasis.opendocument.text-template"), std::string()}) {
        std::vector<ZipFile> files;
        if (!type.empty()) files.push_back({"mimetype", type, false});
        files.push_back({"content.xml", content});
        const ReadResult r = orvane::readOdt(makeZip(files), {});
        ASSERT_TRUE(r.ok()) << r.error;
        const auto& p = std::get<orvane::model::Paragraph>(r.document->sections.at(0).blocks.at(0).value);
        EXPECT_EQ(std::get<orvane::model::TextRun>(p.content.at(0).value).text, "Only content");
        EXPECT_FALSE(r.document->fonts.empty());
    }
}

TEST(OdtReader, TheDefaultParagraphStyleComesFirst) {
    // RTF takes style 0 for paragraphs that name none, so a document whose
    // first style is a heading, and which has no "Standard", gets one.
    OdtBuilder b;
    b.styles = R"(<style:style style:name="Emphasis" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>)"
               R"(<style:style style:name="Heading_20_1" style:display-name="Heading 1" style:family="paragraph"><style:text-properties fo:font-weight="bold"/></style:style>)";
    b.body = R"(<text:h text:style-name="Heading_20_1">Head</text:h><text:p>plain</text:p>)";
    const auto doc = readFlat(b.flat());
    ASSERT_EQ(doc.styles.size(), 3u);
    EXPECT_EQ(doc.styles[0].name, "Standard");
    EXPECT_FALSE(doc.styles[0].chars.bold);
    EXPECT_EQ(doc.styles[1].name, "Emphasis");
    EXPECT_EQ(doc.styles[2].name, "Heading 1");
    const auto& head = std::get<orvane::model::Paragraph>(doc.sections.at(0).blocks.at(0).value);
    EXPECT_EQ(head.props.style, 2);
    // And when "Standard" exists, it moves to the front.
    b.styles += R"(<style:style style:name="Standard" style:family="paragraph"/>)";
    const auto withStandard = readFlat(b.flat());
    ASSERT_EQ(withStandard.styles.size(), 3u);
    EXPECT_EQ(withStandard.styles[0].name, "Standard");
    EXPECT_EQ(withStandard.styles[2].name, "Heading 1");
}

TEST(OdtReader, DamagedStylesAreAWarningNotAFailure) {
    const std::string content = std::string("<office:document-content") + kNamespaces +
                                "><office:body><office:text><text:p>Text</text:p></office:text></office:body></office:document-content>";
    const ReadResult r = orvane::readOdt(
        makeZip({{"mimetype", kTextType, false}, {"content.xml", content}, {"styles.xml", "<office:document-styles"}}), {});
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("styles.xml is not well-formed"), std::string::npos) << r.warnings[0];
}

// ---------------------------------------------------------------------------
// Bad input

struct BadCase {
    const char* name;
    std::string bytes;
    std::string expected;  // part of the message
    ReadLimits limits = {};
};

std::string contentXml(const std::string& body) {
    return std::string("<office:document-content") + kNamespaces + "><office:body><office:text>" + body +
           "</office:text></office:body></office:document-content>";
}

std::string withContent(const std::string& content) {
    return makeZip({{"mimetype", kTextType, false}, {"content.xml", content}});
}

std::string nested(const std::string& open, const std::string& close, int depth, const std::string& inner) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += open;
    s += inner;
    for (int i = 0; i < depth; ++i) s += close;
    return s;
}

std::vector<BadCase> badCases() {
    std::vector<BadCase> cases;
    cases.push_back({"Empty", "", "empty"});
    cases.push_back({"TruncatedZip", withContent(contentXml("<text:p>x</text:p>")).substr(0, 60), "ZIP"});
    cases.push_back({"NotXmlNotZip", "just some words", "not well-formed"});
    cases.push_back({"NoContent", makeZip({{"mimetype", kTextType, false}, {"styles.xml", "<x/>"}}), "content.xml) is missing"});
    cases.push_back({"OfficeOpenXml", makeZip({{"word/document.xml", "<w:document/>"}}), "Office Open XML"});
    cases.push_back({"Spreadsheet",
                     makeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false}, {"content.xml", "<x/>"}}),
                     "spreadsheet (.ods)"});
    cases.push_back({"SpreadsheetBody",
                     withContent(std::string("<office:document-content") + kNamespaces +
                                 "><office:body><office:spreadsheet/></office:body></office:document-content>"),
                     "spreadsheet"});
    cases.push_back({"Encrypted",
                     makeZip({{"mimetype", kTextType, false},
                              {"META-INF/manifest.xml",
                               "<manifest:manifest><manifest:file-entry manifest:full-path=\"content.xml\"><manifest:encryption-data/>"
                               "</manifest:file-entry></manifest:manifest>"},
                              {"content.xml", std::string("\x12\x34\x56", 3)}}),
                     "encrypted"});
    cases.push_back({"ContentNotWellFormed", withContent("<office:document-content><text:p>"), "not well-formed"});
    cases.push_back({"ContentNotOpenDocument", withContent("<html/>"), "not OpenDocument content"});
    cases.push_back({"NoTextBody", withContent(std::string("<office:document-content") + kNamespaces + "/>"), "no text body"});
    cases.push_back({"EntityExpansion",
                     withContent("<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>" +
                                 contentXml("<text:p>&b;&b;&b;</text:p>")),
                     "DOCTYPE"});
    cases.push_back({"DoctypeInStyles",
                     makeZip({{"mimetype", kTextType, false}, {"content.xml", contentXml("<text:p>x</text:p>")},
                              {"styles.xml", "<!DOCTYPE x [<!ENTITY e \"e\">]><office:document-styles/>"}}),
                     "DOCTYPE"});
    cases.push_back({"NestedTooDeepXml",
                     withContent(contentXml("<text:p>" + nested("<text:span>", "</text:span>", 300, "deep") + "</text:p>")),
                     "nested more than"});
    {
        ReadLimits tight;
        tight.maxNesting = 40;
        cases.push_back({"NestedListsBeyondTheLimit",
                         withContent(contentXml(nested("<text:list><text:list-item>", "</text:list-item></text:list>", 30,
                                                       "<text:p>deep</text:p>"))),
                         "nested more than 40", tight});
    }
    {
        // Counted before a tree is built: a small archive of millions of
        // empty paragraphs fails at once.
        ReadLimits tight;
        tight.maxXmlElements = 50;
        std::string many;
        for (int i = 0; i < 60; ++i) many += "<text:p/>";
        cases.push_back({"ElementsBeyondTheBound", withContent(contentXml(many)),
                         "too large to convert: content.xml holds more than 50 XML elements", tight});
    }
    // Work is budgeted in proportion to what the package may expand to.
    ReadLimits small;
    small.maxExpandedBytes = 8u * 1024 * 1024;
    {
        ReadLimits tight;
        tight.maxEntryBytes = 100'000;
        std::string big(500'000, ' ');
        cases.push_back({"EntryBeyondTheSizeLimit", withContent(contentXml("<text:p>" + big + "</text:p>")), "size limit", tight});
    }
    cases.push_back({"RepeatsBeyondTheBudget",
                     withContent(contentXml("<table:table><table:table-row table:number-rows-repeated=\"100000\">"
                                            "<table:table-cell table:number-columns-repeated=\"1024\"><text:p>x</text:p>"
                                            "</table:table-cell></table:table-row></table:table>")),
                     "too large", small});
    cases.push_back({"SpacesBeyondTheBudget",
                     withContent(contentXml("<text:p>" + [] {
                         std::string s;
                         for (int i = 0; i < 300; ++i) s += "<text:s text:c=\"1000000000\"/>";
                         return nested("<text:span>", "</text:span>", 1, s);
                     }() + "</text:p>" + [] {
                         std::string s;
                         for (int i = 0; i < 1000; ++i) s += "<text:p><text:s text:c=\"10000\"/>" + std::string(50, 'x') + "</text:p>";
                         std::string many;
                         for (int i = 0; i < 30; ++i) many += s;
                         return many;
                     }())),
                     "too large", small});
    cases.push_back({"FlatXmlOfAnotherKind", "<?xml version=\"1.0\"?><svg/>", "not a flat OpenDocument"});
    cases.push_back({"FlatPresentation",
                     std::string("<office:document") + kNamespaces +
                         " office:mimetype=\"application/vnd.oasis.opendocument.presentation\"/>",
                     "presentation (.odp)"});
    return cases;
}

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class OdtBadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(OdtBadInput, FailsWithAClearMessage) {
    const BadCase& c = GetParam();
    const auto start = std::chrono::steady_clock::now();
    const ReadResult r = orvane::readOdt(c.bytes, c.limits);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find(c.expected), std::string::npos) << "message: " << r.error;
    EXPECT_LT(seconds, 20.0) << "bad input must fail fast";
}

INSTANTIATE_TEST_SUITE_P(Cases, OdtBadInput, ::testing::ValuesIn(badCases()),
                         [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

// Nesting as deep as the limits allow, through every kind of container the
// reader descends into: it reads, and the writer copes, without exhausting
// the stack.
TEST(OdtReader, DeepButAllowedNestingReads) {
    const std::vector<std::pair<std::string, std::string>> layers = {
        {"<text:p>a<draw:frame><draw:text-box>", "</draw:text-box></draw:frame></text:p>"},
        {"<table:table><table:table-row><table:table-cell>", "</table:table-cell></table:table-row></table:table>"},
        {"<text:p>n<text:note><text:note-body>", "</text:note-body></text:note></text:p>"},
        {"<text:p>c<office:annotation>", "</office:annotation></text:p>"},
        {"<text:list><text:list-item>", "</text:list-item></text:list>"},
        {"<text:section>", "</text:section>"},
    };
    for (const auto& [open, close] : layers) {
        const int perLayer = static_cast<int>(std::count(open.begin(), open.end(), '<'));
        const int depth = (190 / perLayer);
        OdtBuilder b;
        b.body = nested(open, close, depth, "<text:p>x</text:p>");
        const ReadResult r = orvane::readOdt(b.flat(), {});
        ASSERT_TRUE(r.ok()) << open << ": " << r.error;
        orvane::StringSink sink;
        EXPECT_TRUE(orvane::writeRtf(*r.document, sink)) << open;
    }
    OdtBuilder spans;
    spans.body = "<text:p>" + nested("<text:span>", "</text:span>", 190, "x") + "</text:p>";
    EXPECT_TRUE(orvane::readOdt(spans.flat(), {}).ok());
}

// ---------------------------------------------------------------------------
// The shared corpus

TEST(OdtReader, CorpusDocumentsReadAndWrite) {
    const std::filesystem::path corpus = orvane::testing::corpusFolder();
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    int read = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (!entry.is_regular_file()) continue;
        const std::string ext = entry.path().extension().string();
        if (ext != ".odt" && ext != ".ott" && ext != ".fodt") continue;
        const bool bad = entry.path().parent_path().filename() == "bad";
        const std::string bytes = orvane::testing::readFile(entry.path());
        const ReadResult r = orvane::readDocument(bytes);
        if (bad) {
            if (!r.ok()) {
                EXPECT_FALSE(r.error.empty()) << entry.path();
            }
            continue;
        }
        ASSERT_TRUE(r.ok()) << entry.path() << ": " << r.error;
        EXPECT_FALSE(r.document->sections.empty()) << entry.path();
        EXPECT_FALSE(r.document->fonts.empty()) << entry.path();
        orvane::StringSink sink;
        ASSERT_TRUE(orvane::writeRtf(*r.document, sink)) << entry.path();
        // What the writer made of it reads back as RTF.
        const ReadResult back = orvane::readDocument(sink.text());
        EXPECT_TRUE(back.ok()) << entry.path() << ": " << back.error;
        ++read;
    }
    if (read == 0) GTEST_SKIP() << "no OpenDocument text in the corpus";
}

}  // namespace
