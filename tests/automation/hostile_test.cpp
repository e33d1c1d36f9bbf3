// Hostile input, the way a stranger's attachment reaches orvane-word: each
// document is made here, converted by the real program, and must fail with
// its clear message (or convert what it can) quickly, within bounded memory,
// leaving nothing in the output folder. The bounds are generous safety nets
// against hangs and runaway growth, not speed targets.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <iostream>

#include "TestSupport.h"

namespace orvane::testing {
namespace {

const std::string kEngine = ORVANE_WORD_PATH;
constexpr double kSecondsAtMost = 60;
constexpr long kMegabytesAtMost = 2048;

void le(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

struct Member {
    std::string name;
    std::string data;            // stored as is, unless `inflated` is set
    std::size_t inflated = 0;    // a deflated run of this many 'a' instead of `data`
    std::size_t claimed = 0;     // the uncompressed size the archive states; 0: the true one
};

// Deflates `count` bytes of 'a' a megabyte at a time, never holding them all.
std::string deflateRun(std::size_t count, std::uint32_t& crc) {
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, -15, 9, Z_RLE);  // runs of one byte: quick, and as small
    const std::string chunk(1 << 20, 'a');
    std::string out;
    char buffer[1 << 16];
    crc = crc32(0, nullptr, 0);
    std::size_t left = count;
    do {
        const std::size_t n = std::min(left, chunk.size());
        crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(n));
        left -= n;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
    } while (left > 0);
    deflateEnd(&z);
    return out;
}

std::string zipOf(const std::vector<Member>& members) {
    std::string zip, central;
    for (const Member& m : members) {
        std::uint32_t crc = 0;
        std::string body;
        std::size_t size = m.data.size();
        const bool deflated = m.inflated > 0;
        if (deflated) {
            body = deflateRun(m.inflated, crc);
            size = m.inflated;
        } else {
            body = m.data;
            crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
        }
        if (m.claimed) size = m.claimed;
        const std::size_t at = zip.size();
        const auto header = [&](std::string& out, bool inCentral) {
            out += inCentral ? "PK\x01\x02" : "PK\x03\x04";
            if (inCentral) le(out, 20, 2);
            le(out, 20, 2); le(out, 0, 2); le(out, deflated ? 8 : 0, 2); le(out, 0, 4);
            le(out, crc, 4); le(out, body.size(), 4); le(out, size, 4);
            le(out, m.name.size(), 2); le(out, 0, 2);
            if (inCentral) { le(out, 0, 2); le(out, 0, 2); le(out, 0, 2); le(out, 0, 4); le(out, at, 4); }
            out += m.name;
        };
        header(zip, false);
        zip += body;
        header(central, true);
    }
    const std::size_t centralAt = zip.size();
    zip += central;
    zip += "PK\x05\x06";
    le(zip, 0, 4); le(zip, members.size(), 2); le(zip, members.size(), 2);
    le(zip, central.size(), 4); le(zip, centralAt, 4); le(zip, 0, 2);
    return zip;
}

const char* const kTypes =
    "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Override PartName=\"/word/document.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";
const char* const kRels =
    "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "officeDocument\" Target=\"word/document.xml\"/></Relationships>";
const std::string kW = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

std::string docx(const std::string& documentXml, std::vector<Member> more = {}) {
    std::vector<Member> members = {{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRels}};
    members.push_back({"word/document.xml", documentXml});
    for (Member& m : more) members.push_back(std::move(m));
    return zipOf(members);
}

std::string body(const std::string& inner) {
    return "<w:document " + kW + "><w:body>" + inner + "</w:body></w:document>";
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    out.reserve(s.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::string odt(const std::string& contentXml) {
    return zipOf({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", contentXml}});
}

std::string odtBody(const std::string& inner) {
    return "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text>" +
           inner + "</office:text></office:body></office:document-content>";
}

// A compound file of one FAT sector and a directory whose chain points back
// at itself.
std::string loopingCompoundFile() {
    std::string f;
    f += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(16, '\0');
    le(f, 0x3E, 2); le(f, 3, 2); le(f, 0xFFFE, 2); le(f, 9, 2); le(f, 6, 2);
    f += std::string(6, '\0');
    le(f, 0, 4);            // directory sectors (version 3: 0)
    le(f, 1, 4);            // FAT sectors
    le(f, 1, 4);            // the directory's first sector
    le(f, 0, 4);
    le(f, 4096, 4);
    le(f, 0xFFFFFFFE, 4); le(f, 0, 4);  // no mini FAT
    le(f, 0xFFFFFFFE, 4); le(f, 0, 4);  // no more DIFAT
    le(f, 0, 4);                        // the FAT is sector 0
    while (f.size() < 512) le(f, 0xFFFFFFFF, 4);
    le(f, 0xFFFFFFFD, 4);  // sector 0: the FAT itself
    le(f, 1, 4);           // sector 1 (the directory) follows itself
    while (f.size() < 1024) le(f, 0xFFFFFFFF, 4);
    std::string root(128, '\0');
    const std::string name = std::string("R\0o\0o\0t\0 \0E\0n\0t\0r\0y\0\0\0", 22);
    root.replace(0, name.size(), name);
    root[64] = 22;
    root[66] = 5;  // the root storage
    f += root + std::string(384, '\0');
    return f;
}

struct Outcome {
    int exitStatus = -1;
    std::string err;
    double seconds = 0;
    long peakMegabytes = 0;
};

// Converts `input` into `out.rtf` beside it, timing the program and taking
// its peak memory from the kernel's account of the child.
Outcome convert(const TempDir& temp, const std::string& input) {
    const std::string errPath = temp / ".stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string output = temp / "out.rtf";
    const char* argv[] = {kEngine.c_str(), "--to-rtf", input.c_str(), output.c_str(), nullptr};
    Outcome o;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) == 0) {
        int status = 0;
        rusage usage{};
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) o.exitStatus = WEXITSTATUS(status);
        o.peakMegabytes = usage.ru_maxrss / 1024;
    }
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    o.err = readFile(errPath);
    ::unlink(errPath.c_str());
    return o;
}

struct Case {
    const char* name;
    std::string file;      // its name, which tells the engine nothing: formats are told by content
    std::function<std::string()> make;  // made when the case runs, not when the cases are listed
    std::string message;   // part of the one-line failure; empty: it converts
};

std::vector<Case> cases() {
    std::vector<Case> c;
    const std::string deep = repeat("<w:tbl><w:tr><w:tc>", 400) + "<w:p/>" + repeat("</w:tc></w:tr></w:tbl>", 400);
    c.push_back({"ZipBombHonestSizes", "bomb.docx",
                 [=] { return std::string(docx(body("<w:p/>"), {{"word/media/image1.png", "", 600u << 20}})); }, "possible decompression bomb"});
    c.push_back({"ZipBombOfTheDocumentPart", "bomb2.docx",
                 [=] { return std::string(zipOf({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRels}, {"word/document.xml", "", 300u << 20}})); }, "word/document.xml"});
    c.push_back({"ZipBombLyingSizes", "liar.docx",
                 [=] { return std::string(zipOf({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRels},
                        {"word/document.xml", "", 400u << 20, 1000}})); }, "word/document.xml"});
    c.push_back({"EntityDeclarations", "entities.docx",
                 [=] { return std::string(docx("<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>" +
                      body("<w:p><w:r><w:t>&b;&b;</w:t></w:r></w:p>"))); }, "DOCTYPE"});
    c.push_back({"DeepTablesInDocx", "deep.docx",
                 [=] { return std::string(docx(body(deep))); }, "nested more than"});
    c.push_back({"DeepSpansInOdt", "deep.odt",
                 [=] { return std::string(odt(odtBody("<text:p>" + repeat("<text:span>", 5000) + "x" + repeat("</text:span>", 5000) + "</text:p>"))); }, "nested more than"});
    c.push_back({"MillionsOfEmptyParagraphs", "many.docx",
                 [=] { return std::string(docx(body(repeat("<w:p/>", 10'000'001)))); }, "holds more than 10 million XML elements"});
    c.push_back({"DeepGroupsInRtf", "deep.rtf",
                 [=] { return std::string("{\\rtf1 " + std::string(200000, '{') + "x" + std::string(200000, '}') + "}"); }, "nest too deeply"});
    c.push_back({"HugeParametersInRtf", "huge.rtf",
                 [=] { return std::string("{\\rtf1 \\fs99999999999999 \\li-2147483649 \\sb999999999999 \\trleft-99999999999 "
                 "\\u99999999999 \\cols2147483647 \\bin999999999999 x}"); }, ""});
    c.push_back({"LoopInACompoundFileChain", "loop.doc",
                 [=] { return std::string(loopingCompoundFile()); }, "damaged"});
    {
        // Pictures whose headers claim sizes no screen has: left out with a
        // warning; the text still converts.
        std::string bmp("BM", 2);
        le(bmp, 0, 4); le(bmp, 0, 4); le(bmp, 54, 4); le(bmp, 40, 4);
        le(bmp, 100000, 4); le(bmp, 100000, 4); le(bmp, 1, 2); le(bmp, 24, 2);
        bmp += std::string(24, '\0');
        const std::string rels =
            "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
            "relationships\"><Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
            "2006/relationships/image\" Target=\"media/huge.bmp\"/></Relationships>";
        std::string pictures;
        for (int i = 0; i < 1000; ++i) {
            pictures += "<w:r><w:pict><v:shape xmlns:v=\"urn:schemas-microsoft-com:vml\" style=\"width:9pt;height:9pt\">"
                        "<v:imagedata xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
                        "r:id=\"rId9\"/></v:shape></w:pict></w:r>";
        }
        c.push_back({"AbsurdPictureSizes", "pictures.docx",
                 [=] { return std::string(docx(body("<w:p>" + pictures + "<w:r><w:t>text</w:t></w:r></w:p>"),
                          {{"word/_rels/document.xml.rels", rels}, {"word/media/huge.bmp", bmp}})); }, ""});
    }
    return c;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Hostile : public ::testing::TestWithParam<Case> {};

TEST_P(Hostile, FailsClearlyOrConvertsWithinBoundsAndLeavesNothingBehind) {
    const Case& c = GetParam();
    TempDir temp;
    const std::string input = temp / c.file;
    writeFile(input, c.make());
    const Outcome o = convert(temp, input);
    if (c.message.empty()) {
        EXPECT_EQ(o.exitStatus, 0) << o.err;
        EXPECT_EQ(readFile(temp / "out.rtf").rfind("{\\rtf1", 0), 0u);
    } else {
        EXPECT_EQ(o.exitStatus, 1);
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        std::cout << "  " << o.err;  // the message, for the record
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << "one line: " << o.err;
        EXPECT_EQ(listFolder(temp.path()), std::vector<std::string>{c.file}) << "nothing of a failed save stays";
    }
    EXPECT_LT(o.seconds, kSecondsAtMost);
    EXPECT_LT(o.peakMegabytes, kMegabytesAtMost);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Hostile, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// What is not a file at all: read from, it would never end or never begin.
TEST(HostileFiles, PipesAndDevicesAsInputAreRefusedAtOnce) {
    TempDir temp;
    const std::string fifo = temp / "pipe.docx";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& input : {fifo, std::string("/dev/zero")}) {
        const Outcome o = convert(temp, input);
        EXPECT_EQ(o.exitStatus, 1);
        EXPECT_EQ(o.err, "orvane-word: " + input + ": It is not an ordinary file.\n");
        EXPECT_LT(o.seconds, kSecondsAtMost);
    }
    EXPECT_EQ(listFolder(temp.path()), std::vector<std::string>{"pipe.docx"});
}

}  // namespace
}  // namespace orvane::testing
