// Tests of the Word 97-2003 reader: documents written by LibreOffice from the
// sources in tests/engine/fixtures/doc (see make_doc_fixtures.sh), compared as
// model dumps against golden files and checked for the structures that
// matter; damaged variants of them; inputs fuzzing once found harmful; and the
// shared corpus when it is present.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Engine.h"
#include "Corpus.h"
#include "Golden.h"
#include "cfb/CompoundFile.h"
#include "doc/DocProps.h"
#include "doc/DocReader.h"
#include "rtf/RtfReader.h"

namespace {

using orvane::ReadLimits;
using orvane::ReadResult;
using orvane::testing::corpusFolder;
using orvane::testing::goldenPath;
using orvane::testing::readFile;
namespace model = orvane::model;
namespace fs = std::filesystem;

std::string fixture(const std::string& name) { return readFile(goldenPath("doc/fixtures/" + name + ".doc")); }

model::Document readFixture(const std::string& name) {
    const std::string bytes = fixture(name);
    EXPECT_FALSE(bytes.empty()) << name;
    ReadResult r = orvane::readDoc(bytes, ReadLimits{});
    EXPECT_TRUE(r.ok()) << name << ": " << r.error;
    return r.ok() ? std::move(*r.document) : model::Document{};
}

const std::vector<model::Block>& body(const model::Document& d) {
    static const std::vector<model::Block> none;
    return d.sections.empty() ? none : d.sections[0].blocks;
}

std::string text(const std::vector<model::Inline>& inlines) {
    std::string out;
    for (const auto& i : inlines) {
        if (const auto* r = std::get_if<model::TextRun>(&i.value)) out += r->text;
        if (const auto* f = std::get_if<model::Field>(&i.value)) out += text(f->result);
    }
    return out;
}

const model::Paragraph* paragraphWith(const std::vector<model::Block>& blocks, const std::string& needle) {
    for (const auto& b : blocks) {
        if (const auto* p = std::get_if<model::Paragraph>(&b.value)) {
            if (text(p->content).find(needle) != std::string::npos) return p;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Fixtures: golden dumps

class DocGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(DocGolden, MatchesDump) {
    const model::Document doc = readFixture(GetParam());
    orvane::testing::expectGolden(std::string("doc/") + GetParam() + ".txt", orvane::dumpModel(doc));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DocGolden,
                         ::testing::Values("formatting", "lists", "tables", "links", "picture", "notes", "revisions",
                                           "toc"));

// ---------------------------------------------------------------------------
// Fixtures: what each must hold

TEST(DocReader, CharacterAndParagraphFormatting) {
    const model::Document doc = readFixture("formatting");
    const auto& blocks = body(doc);
    const model::Paragraph* first = paragraphWith(blocks, "Plain");
    ASSERT_NE(first, nullptr);
    bool bold = false, italic = false, super = false, sub = false;
    for (const auto& i : first->content) {
        const auto* r = std::get_if<model::TextRun>(&i.value);
        if (!r) continue;
        if (r->text == "bold") bold = r->props.bold;
        if (r->text == "italic") italic = r->props.italic;
        if (r->text == "2" && r->props.verticalAlign == model::VerticalAlign::Superscript) super = true;
        if (r->text == "2" && r->props.verticalAlign == model::VerticalAlign::Subscript) sub = true;
    }
    EXPECT_TRUE(bold && italic && super && sub);

    const model::Paragraph* centred = paragraphWith(blocks, "Centred red Arial");
    ASSERT_NE(centred, nullptr);
    EXPECT_EQ(centred->props.alignment, model::Alignment::Center);
    const auto& run = std::get<model::TextRun>(centred->content.at(0).value);
    EXPECT_EQ(run.props.color, model::Rgb{0xC00000});
    EXPECT_EQ(doc.fonts.at(static_cast<std::size_t>(run.props.font)).name, "Arial");

    // Text in every script the fixture holds, decoded to the same characters.
    const model::Paragraph* accents = paragraphWith(blocks, "Accents");
    ASSERT_NE(accents, nullptr);
    const std::string all = text(accents->content);
    for (const char* word : {"café crème", "Привет", "Καλημέρα", "שלום", "€ – “quoted”"}) {
        EXPECT_NE(all.find(word), std::string::npos) << word;
    }

    const model::Paragraph* heading = paragraphWith(blocks, "A heading");
    ASSERT_NE(heading, nullptr);
    ASSERT_TRUE(heading->props.style.has_value());
    EXPECT_EQ(heading->props.outlineLevel, 0);
    EXPECT_NE(doc.styles.at(static_cast<std::size_t>(*heading->props.style)).name.find("Heading"), std::string::npos);
    EXPECT_EQ(paragraphWith(blocks, "Indented")->props.leftIndent, 1440);
}

// Paragraph modifiers the fixtures lack: "don't add space between paragraphs
// of the same style" next to keep-with-next, each a one-byte toggle.
TEST(DocReader, ContextualSpacingModifier) {
    orvane::doc::Pap pap;
    const std::string grpprl("\x6D\x24\x01\x06\x24\x01", 6);
    orvane::doc::forEachSprm(grpprl, false, [&](const orvane::doc::Sprm& s) { orvane::doc::applyPap(pap, s, false); });
    EXPECT_TRUE(pap.contextualSpacing);
    EXPECT_TRUE(pap.keepFollow);
    orvane::doc::forEachSprm(std::string("\x6D\x24\x00", 3), false,
                             [&](const orvane::doc::Sprm& s) { orvane::doc::applyPap(pap, s, false); });
    EXPECT_FALSE(pap.contextualSpacing);
}

TEST(DocReader, ListsWithLevelsAndStart) {
    const model::Document doc = readFixture("lists");
    const auto& blocks = body(doc);
    const model::Paragraph* bullet = paragraphWith(blocks, "nested bullet");
    const model::Paragraph* three = paragraphWith(blocks, "three");
    const model::Paragraph* fourA = paragraphWith(blocks, "four a");
    ASSERT_TRUE(bullet && three && fourA);
    ASSERT_TRUE(bullet->props.list && three->props.list && fourA->props.list);
    EXPECT_EQ(bullet->props.list->level, 1);
    EXPECT_EQ(fourA->props.list->level, 1);
    const model::List& numbers = doc.lists.at(static_cast<std::size_t>(three->props.list->listId));
    EXPECT_EQ(numbers.levels.at(0).format, model::NumberFormat::Decimal);
    EXPECT_EQ(numbers.levels.at(0).start, 3);
    EXPECT_EQ(numbers.levels.at(0).text, "%1.");
    EXPECT_EQ(numbers.levels.at(1).format, model::NumberFormat::LowerLetter);
    EXPECT_EQ(doc.lists.at(static_cast<std::size_t>(bullet->props.list->listId)).levels.at(0).format,
              model::NumberFormat::Bullet);
}

TEST(DocReader, TablesWithMergesAndNesting) {
    const model::Document doc = readFixture("tables");
    const model::Table* table = nullptr;
    for (const auto& b : body(doc)) {
        if (const auto* t = std::get_if<model::Table>(&b.value)) table = t;
    }
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rows.size(), 4u);
    EXPECT_EQ(table->rows[0].cells.size(), 3u);
    // "spans two columns": one cell as wide as two.
    const auto& spanning = table->rows[1].cells.at(0);
    EXPECT_EQ(spanning.gridSpan, 2);
    EXPECT_EQ(spanning.width, table->rows[0].cells[0].width + table->rows[0].cells[1].width);
    EXPECT_EQ(table->rows[1].cells.at(1).vmerge, model::VMerge::Start);
    EXPECT_EQ(table->rows[2].cells.back().vmerge, model::VMerge::Continue);
    // The inner table sits in a cell of the last row.
    const model::Table* inner = nullptr;
    for (const auto& cell : table->rows[3].cells) {
        for (const auto& b : cell.blocks) {
            if (const auto* t = std::get_if<model::Table>(&b.value)) inner = t;
        }
    }
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(inner->rows.size(), 2u);
    EXPECT_NE(paragraphWith(inner->rows[1].cells.at(1).blocks, "inner 4"), nullptr);
    EXPECT_EQ(table->rows[3].cells.at(2).shading, model::Rgb{0xFFFF00});
    EXPECT_NE(paragraphWith(body(doc), "After the table."), nullptr);
}

TEST(DocReader, HyperlinksAndBookmarks) {
    const model::Document doc = readFixture("links");
    std::vector<std::string> instructions;
    bool bookmarkStart = false;
    for (const auto& b : body(doc)) {
        const auto* p = std::get_if<model::Paragraph>(&b.value);
        if (!p) continue;
        for (const auto& i : p->content) {
            if (const auto* f = std::get_if<model::Field>(&i.value)) instructions.push_back(f->instruction);
            if (const auto* m = std::get_if<model::Bookmark>(&i.value)) bookmarkStart |= m->start && m->name == "top";
        }
    }
    ASSERT_EQ(instructions.size(), 3u);
    EXPECT_EQ(instructions[0], "HYPERLINK \"https://example.com/page?a=1&b=2\"");
    EXPECT_EQ(instructions[1], "HYPERLINK \"mailto:someone@example.com\"");
    EXPECT_NE(instructions[2].find("\\l \"top\""), std::string::npos);
    EXPECT_TRUE(bookmarkStart);
}

// LibreOffice writes its table of contents as a TOC field over the entries'
// paragraphs, ending at the start of the heading after them; each entry a
// HYPERLINK of its own. The RTF keeps the field where it was.
TEST(DocReader, TableOfContentsSpansItsEntries) {
    const model::Document doc = readFixture("toc");
    std::vector<std::string> marks;  // the field markers, paragraph by paragraph
    for (const auto& b : body(doc)) {
        const auto* p = std::get_if<model::Paragraph>(&b.value);
        if (!p) continue;
        std::string line;
        for (const auto& i : p->content) {
            if (const auto* s = std::get_if<model::FieldStart>(&i.value)) line += "[" + s->instruction.substr(0, 3);
            if (std::holds_alternative<model::FieldEnd>(i.value)) line += "]";
            if (const auto* f = std::get_if<model::Field>(&i.value)) line += "(" + text(f->result) + ")";
        }
        marks.push_back(line);
    }
    const std::vector<std::string> expected = {"", "[TOC(Introduction\t1)", "(Method\t1)", "(Results\t1)", "]", "", "", "", ""};
    EXPECT_EQ(marks, expected);

    orvane::StringSink sink;
    ASSERT_TRUE(orvane::writeRtf(doc, sink));
    const ReadResult back = orvane::readRtf(sink.text(), ReadLimits{});
    ASSERT_TRUE(back.ok()) << back.error;
    // The body alone: the styles' definitions come back in RTF's terms.
    const auto bodyDump = [](const model::Document& d) {
        const std::string dump = orvane::dumpModel(d);
        return dump.substr(std::min(dump.find("\n  body\n"), dump.size()));
    };
    EXPECT_EQ(bodyDump(*back.document), bodyDump(doc));
}

TEST(DocReader, InlinePicture) {
    const model::Document doc = readFixture("picture");
    const model::Paragraph* p = paragraphWith(body(doc), "A picture");
    ASSERT_NE(p, nullptr);
    const model::Image* image = nullptr;
    for (const auto& i : p->content) {
        if (const auto* im = std::get_if<model::Image>(&i.value)) image = im;
    }
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->format, model::ImageFormat::Png);
    EXPECT_EQ(image->data.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(image->pixelWidth, 4);
    EXPECT_EQ(image->width, 1440);  // 96 px at 96 dpi
}

TEST(DocReader, NotesCommentsHeadersAndFooters) {
    const model::Document doc = readFixture("notes");
    ASSERT_EQ(doc.sections.size(), 1u);
    const auto& section = doc.sections[0];
    EXPECT_NE(paragraphWith(section.header, "The header text"), nullptr);
    EXPECT_NE(paragraphWith(section.footer, "The footer text"), nullptr);
    std::vector<const model::Note*> notes;
    const model::Comment* comment = nullptr;
    for (const auto& b : section.blocks) {
        const auto* p = std::get_if<model::Paragraph>(&b.value);
        if (!p) continue;
        for (const auto& i : p->content) {
            if (const auto* n = std::get_if<model::Note>(&i.value)) notes.push_back(n);
            if (const auto* c = std::get_if<model::Comment>(&i.value)) comment = c;
        }
    }
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0]->kind, model::Note::Kind::Footnote);
    EXPECT_NE(paragraphWith(notes[0]->blocks, "The footnote text."), nullptr);
    EXPECT_EQ(notes[1]->kind, model::Note::Kind::Endnote);
    EXPECT_NE(paragraphWith(notes[1]->blocks, "The endnote text."), nullptr);
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->author, "Ann Author");
    EXPECT_NE(paragraphWith(comment->blocks, "The comment text."), nullptr);
    // The notes' text is theirs alone, not the body's.
    EXPECT_EQ(paragraphWith(section.blocks, "The footnote text."), nullptr);
}

// Insertions and deletions by two authors, each with its date.
TEST(DocReader, TrackedChangesWithAuthorsAndDates) {
    const model::Document doc = readFixture("revisions");
    std::vector<std::string> changes;
    for (const auto& b : body(doc)) {
        const auto* p = std::get_if<model::Paragraph>(&b.value);
        if (!p) continue;
        for (const auto& i : p->content) {
            const auto* run = std::get_if<model::TextRun>(&i.value);
            if (!run || !run->revision) continue;
            changes.push_back(std::string(run->revision->kind == model::Revision::Kind::Insertion ? "+" : "-") +
                              run->text + " " + run->revision->author + " " + run->revision->date);
        }
    }
    const std::vector<std::string> expected = {
        "+inserted by Ann Ann Author 2016-03-31T20:14:00Z",
        "-removed words  Bob Builder 2020-02-29T23:59:00Z",
        "+with Bob's insertion Bob Builder 2020-02-29T23:58:00Z",
        "-and  Ann Author 2016-04-01T08:00:00Z",
        "-bold Ann Author 2016-04-01T08:00:00Z",
        "- text Ann Author 2016-04-01T08:00:00Z",
        "-end of the third Bob Builder 2020-03-01T10:30:00Z",  // a deletion across two paragraphs
        "-start of the fourth  Bob Builder 2020-03-01T10:30:00Z",
    };
    EXPECT_EQ(changes, expected);
    // Deleted text is there, where it was.
    EXPECT_NE(paragraphWith(body(doc), "Kept text, inserted by Ann, removed words kept again."), nullptr);
}

// Author numbers past the end of the author table, and a table cut short:
// the changes stay, without an author.
TEST(DocReader, RevisionAuthorsOutOfRange) {
    std::string bytes = fixture("revisions");
    // sprmCIbstRMark and sprmCIbstRMarkDel with author 1 become author 0x7FFF.
    int patched = 0;
    for (const char* sprm : {"\x04\x48\x01\x00", "\x63\x48\x01\x00"}) {
        for (std::size_t at = bytes.find(sprm, 0, 4); at != std::string::npos; at = bytes.find(sprm, at + 4, 4)) {
            bytes[at + 2] = '\xFF';
            bytes[at + 3] = '\x7F';
            ++patched;
        }
    }
    ASSERT_GT(patched, 0);
    const ReadResult r = orvane::readDoc(bytes, ReadLimits{});
    ASSERT_TRUE(r.ok()) << r.error;
    int anonymous = 0, named = 0;
    for (const auto& b : r.document->sections[0].blocks) {
        for (const auto& i : std::get<model::Paragraph>(b.value).content) {
            const auto* run = std::get_if<model::TextRun>(&i.value);
            if (run && run->revision) ++(run->revision->author.empty() ? anonymous : named);
        }
    }
    EXPECT_GT(anonymous, 0);
    EXPECT_EQ(anonymous + named, 8);
}

// ---------------------------------------------------------------------------
// Damage

// The byte offset of a stream's first byte in the file (streams of 4096
// bytes and more lie in ordinary sectors).
std::size_t streamOffset(const std::string& bytes, const std::string& name) {
    orvane::cfb::CompoundFile file;
    std::string error;
    if (!file.open(bytes, 1u << 30, error)) return 0;
    const std::uint32_t i = file.find(0, name);
    if (i == orvane::cfb::CompoundFile::kNoEntry) return 0;
    return (static_cast<std::size_t>(file.entries()[i].start) + 1) * 512;
}

TEST(DocReader, EncryptedAndDamagedFilesFailClearly) {
    const std::string good = fixture("tables");
    const std::size_t fib = streamOffset(good, "WordDocument");
    ASSERT_GT(fib, 0u);

    std::string encrypted = good;
    encrypted[fib + 11] = static_cast<char>(encrypted[fib + 11] | 0x01);  // fEncrypted
    ReadResult r = orvane::readDoc(encrypted, ReadLimits{});
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error, "The file is encrypted with a password.");

    std::string noTable = good;
    noTable[fib + 11] = static_cast<char>(noTable[fib + 11] ^ 0x02);  // the other table stream
    r = orvane::readDoc(noTable, ReadLimits{});
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find("table stream"), std::string::npos) << r.error;

    std::string notWord = good;
    notWord[fib] = 'X';
    r = orvane::readDoc(notWord, ReadLimits{});
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find("file information block"), std::string::npos) << r.error;

    r = orvane::readDoc(good.substr(0, good.size() / 2), ReadLimits{});
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.error.empty());

    // Word 2 files are not compound files; the reader still names them.
    std::string word2 = good;
    word2[fib] = static_cast<char>(0xDB);
    word2[fib + 1] = static_cast<char>(0xA5);
    r = orvane::readDoc(word2, ReadLimits{});
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find("Word 2.0"), std::string::npos) << r.error;
}

// Every single-byte change in the file information block and the first
// kilobytes of the table stream: whatever comes out, the reader survives.
TEST(DocReader, SurvivesEveryByteChangedInItsTables) {
    const std::string good = fixture("tables");
    const std::size_t fib = streamOffset(good, "WordDocument");
    const std::size_t table = streamOffset(good, "1Table");
    ASSERT_GT(fib, 0u);
    int failures = 0;
    for (const std::size_t start : {fib, table}) {
        if (start == 0) continue;
        for (std::size_t at = start; at < start + 1024 && at < good.size(); ++at) {
            for (const unsigned char value : {0x00, 0xFF, 0x7F}) {
                std::string bad = good;
                bad[at] = static_cast<char>(value);
                const ReadResult r = orvane::readDoc(bad, ReadLimits{});
                if (!r.ok()) {
                    ++failures;
                    EXPECT_FALSE(r.error.empty());
                }
            }
        }
    }
    SUCCEED() << failures << " variants were refused";
}

// Inputs the fuzz target made from the fixtures, each reaching another way
// of damage; what the reader says of each is kept in regress.txt.
TEST(DocReader, RegressionInputsFromFuzzing) {
    const fs::path dir = goldenPath("doc/regress");
    ASSERT_TRUE(fs::exists(dir));
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::string outcomes;
    for (const fs::path& path : files) {
        const ReadResult r = orvane::readDoc(readFile(path), ReadLimits{});
        if (!r.ok()) {
            EXPECT_FALSE(r.error.empty()) << path;
        }
        outcomes += path.filename().string() + ": " + (r.ok() ? "read" : r.error) + "\n";
    }
    orvane::testing::expectGolden("doc/regress.txt", outcomes);
}

// ---------------------------------------------------------------------------
// The shared corpus

TEST(DocCorpus, EveryDocumentReads) {
    const fs::path dir = corpusFolder();
    if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
    int read = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".doc" && ext != ".dot") continue;
        const ReadResult r = orvane::readDocument(readFile(entry.path()));
        EXPECT_TRUE(r.ok()) << entry.path() << ": " << r.error;
        ++read;
    }
    if (read == 0) GTEST_SKIP() << "no Word 97-2003 documents in " << dir;
}

TEST(DocCorpus, DamagedDocumentsFailWithAReason) {
    const fs::path dir = fs::path(corpusFolder()) / "bad";
    if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"poi__PasswordProtected.doc", "The file is encrypted with a password."},
        {"poi__TestRobert_Flaherty.doc", ""},  // a workbook: whatever the engine calls it
        {"poi__word2.doc", ""},
        {"poi__Fuzzed.doc", ""},
    };
    int checked = 0;
    for (const auto& c : cases) {
        const fs::path path = dir / c.name;
        if (!fs::exists(path)) continue;
        ++checked;
        const ReadResult r = orvane::readDocument(readFile(path));
        if (std::string(c.name) == "poi__Fuzzed.doc") {
            // Damaged in places the reader reads past: it must come back either way.
            if (!r.ok()) {
                EXPECT_FALSE(r.error.empty());
            }
            continue;
        }
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_FALSE(r.error.empty()) << c.name;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << c.name << ": " << r.error;
    }
    if (checked == 0) GTEST_SKIP() << "none of the damaged documents in " << dir;
}

// A list restarted through an override of its own goes on counting there:
// the next step, which names the list's first override, continues 1, 2
// rather than the old sequence's 1, 2, 3, 4.
TEST(DocCorpus, NumberingContinuesFromARestart) {
    const fs::path path = fs::path(corpusFolder()) / "poi__TestShiftJIS.doc";
    if (!fs::exists(path)) GTEST_SKIP() << "no corpus at " << path;
    const ReadResult r = orvane::readDocument(readFile(path));
    ASSERT_TRUE(r.ok()) << r.error;
    std::vector<model::Block> blocks;
    for (const model::Section& s : r.document->sections) blocks.insert(blocks.end(), s.blocks.begin(), s.blocks.end());
    const model::Paragraph* before = paragraphWith(blocks, "Start the Web");
    const model::Paragraph* restart = paragraphWith(blocks, "in [Agent] menu");
    const model::Paragraph* next = paragraphWith(blocks, "Set the items");
    ASSERT_TRUE(before && restart && next);
    ASSERT_TRUE(before->props.list && restart->props.list && next->props.list);
    EXPECT_NE(restart->props.list->listId, before->props.list->listId);
    EXPECT_EQ(next->props.list->listId, restart->props.list->listId);
}

// Every image in `blocks`, in notes, comments and text boxes too.
void collectImages(const std::vector<model::Block>& blocks, std::vector<const model::Image*>& out) {
    for (const model::Block& b : blocks) {
        if (const auto* table = std::get_if<model::Table>(&b.value)) {
            for (const model::TableRow& row : table->rows)
                for (const model::TableCell& cell : row.cells) collectImages(cell.blocks, out);
            continue;
        }
        for (const model::Inline& i : std::get<model::Paragraph>(b.value).content) {
            if (const auto* image = std::get_if<model::Image>(&i.value)) out.push_back(image);
            if (const auto* note = std::get_if<model::Note>(&i.value)) collectImages(note->blocks, out);
            if (const auto* comment = std::get_if<model::Comment>(&i.value)) collectImages(comment->blocks, out);
            if (const auto* frame = std::get_if<model::Frame>(&i.value)) collectImages(frame->blocks, out);
        }
    }
}

std::uint32_t le32At(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(s.at(at + static_cast<std::size_t>(k)));
    return v;
}

// Metafiles of the drawing layer are stored deflated: unpacked, each one is
// whole, its header's own size matching the bytes that came out.
TEST(DocCorpus, CompressedMetafilesUnpackWhole) {
    const fs::path dir = corpusFolder();
    if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
    int metafiles = 0;
    for (const char* name : {"poi__20-Force-on-a-current-S00.doc", "poi__FloatingPictures.doc", "poi__picture.doc",
                             "poi__testPictures.doc", "poi__Bug47958.doc"}) {
        if (!fs::exists(dir / name)) continue;
        const ReadResult r = orvane::readDocument(readFile(dir / name));
        ASSERT_TRUE(r.ok()) << name << ": " << r.error;
        std::vector<const model::Image*> images;
        for (const model::Section& s : r.document->sections) {
            for (const auto* part : {&s.blocks, &s.header, &s.headerFirst, &s.headerEven, &s.footer, &s.footerFirst,
                                     &s.footerEven})
                collectImages(*part, images);
        }
        for (const model::Image* image : images) {
            const std::string& d = image->data;
            if (image->format == model::ImageFormat::Emf) {
                ++metafiles;
                ASSERT_GE(d.size(), 88u) << name;
                EXPECT_EQ(le32At(d, 0), 1u) << name;          // the header record
                EXPECT_EQ(d.substr(40, 4), " EMF") << name;
                EXPECT_EQ(le32At(d, 48), d.size()) << name;   // the file's own length
            } else if (image->format == model::ImageFormat::Wmf) {
                ++metafiles;
                const std::size_t at = d.substr(0, 4) == "\xD7\xCD\xC6\x9A" ? 22 : 0;  // after a placeable header
                ASSERT_GE(d.size(), at + 18) << name;
                EXPECT_EQ(static_cast<unsigned char>(d[at + 2]), 9) << name;  // header words
                EXPECT_LE(std::size_t{le32At(d, at + 6)} * 2, d.size() - at) << name;
            }
        }
    }
    if (metafiles == 0) GTEST_SKIP() << "no metafile pictures in the corpus";
}

TEST(DocCorpus, Word6And95Text) {
    const fs::path dir = corpusFolder();
    if (!fs::exists(dir / "poi__Word95.doc")) GTEST_SKIP() << "no corpus at " << dir;
    const ReadResult r = orvane::readDocument(readFile(dir / "poi__Word95.doc"));
    ASSERT_TRUE(r.ok()) << r.error;
    const model::Paragraph* p = paragraphWith(r.document->sections.at(0).blocks, "Has some");
    ASSERT_NE(p, nullptr);
    bool redBold = false;
    for (const auto& i : p->content) {
        const auto* run = std::get_if<model::TextRun>(&i.value);
        if (run && run->text == "BLUE BOLD") redBold = run->props.bold && run->props.color == model::Rgb{0x0000FF};
    }
    EXPECT_TRUE(redBold);

    // Characters from 0x80 up stay where they stand among the others.
    const fs::path april = dir / "poi__cn.orthodox.www_divenbog_APRIL_30-APRIL.DOC";
    if (!fs::exists(april)) return;
    const ReadResult a = orvane::readDocument(readFile(april));
    ASSERT_TRUE(a.ok()) << a.error;
    const model::Paragraph* copyright = paragraphWith(a.document->sections.at(0).blocks, "by translator");
    ASSERT_NE(copyright, nullptr);
    EXPECT_EQ(text(copyright->content), "\u00A9  2000  by translator Fr. S. Janos");
}

}  // namespace
