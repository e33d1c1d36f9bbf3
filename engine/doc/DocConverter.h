// The second step of reading a .doc: the structures of DocFormat.h into the
// document model. Each story (main text, notes, headers, text boxes) is read
// as a range of character positions: cut into paragraphs at their marks,
// formatted from style + formatting page + piece, and assembled into tables
// where paragraphs say they are in one.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "reader/Reader.h"
#include "cfb/CompoundFile.h"
#include "doc/DocFormat.h"
#include "doc/DocProps.h"
#include "picture/PictureConvert.h"

namespace orvane::encoding {
class CodePage;
}

namespace orvane::doc {

class DocConverter {
public:
    DocConverter(const cfb::CompoundFile& cfb, std::string word, std::string table, std::string data,
                 const ReadLimits& limits, std::vector<std::string>& warnings);
    // Throws DocError.
    model::Document convert();

private:
    enum class Story { Main, Footnote, Header, Comment, Endnote, TextBox, HeaderTextBox };
    enum class NoteKind { Footnote, Endnote, Comment };
    struct NoteRef {
        NoteKind first;          // what the reference is
        std::size_t second;      // its index in the reference table
        bool third = false;      // a mark of its own (no automatic number)
    };
    static constexpr int kMaxNotes = 100000;
    struct ParaItem {
        model::Paragraph para;
        int itap = 0;
        bool cellEnd = false;
        bool rowEnd = false;
        Tap tap;
    };
    struct FieldFrame {
        std::string instruction;
        std::vector<model::Inline> result;
        bool inResult = false;
        bool dissolved = false;
        bool spanning = false;  // dissolved after a FieldStart: its end is a FieldEnd
    };
    struct ResolvedStyle {
        bool done = false;
        bool busy = false;
        Pap pap;
        Chp chp;
    };
    struct Shape {
        int pib = 0;             // picture in the blip store, 1-based; 0 none
        bool textBox = false;
        std::string text;        // WordArt
        std::string font;        // WordArt's font
        std::optional<model::Rgb> fill, line;
        bool noFill = false, noLine = false;
        int type = 0;            // the preset shape (1 rectangle, 3 ellipse, 136 WordArt ...)
        double rotation = 0;     // degrees clockwise
        // In a group: its box in the group's own coordinates. A group: the
        // box those coordinates span.
        std::optional<std::array<int, 4>> childAnchor, groupBox;
        std::uint32_t parent = 0;  // the group it belongs to; 0 none
    };

    // setup (DocConverter.cpp)
    void loadText();
    void buildFonts();
    void buildStyles();
    const ResolvedStyle& resolvedStyle(int istd, int depth = 0);
    void buildLists();
    void readDop();
    void buildSections();
    void loadNotesAndMarks();
    Sep sectionProps(std::size_t index) const;
    void convertHeaders(const std::vector<std::uint32_t>& sectionStarts);
    void convertTextBoxes();
    void readSummary();

    // text and formatting (DocText.cpp)
    std::size_t pieceIndex(std::uint32_t cp) const;
    std::uint32_t fcOf(std::uint32_t cp, std::size_t piece) const;
    Chp chpAt(std::uint32_t cp, const Chp& paraBase, std::uint32_t& runEnd) const;
    Pap papAt(std::uint32_t markCp) const;
    void applyPieceSprms(std::size_t piece, Chp* chp, Pap* pap, const Chp& base) const;
    model::CharProps charProps(const Chp& chp) const;
    model::ParaProps paraProps(const Pap& pap) const;
    std::vector<model::Block> convertRange(std::uint32_t start, std::uint32_t end, Story story, int depth);
    void convertParagraph(std::uint32_t start, std::uint32_t mark, bool hasMark, Story story,
                          std::uint32_t storyBase, ParaItem& item, int depth);
    void emitChar(char32_t c, const model::CharProps& props);
    std::optional<model::Revision> revision(const Chp& chp) const;
    void emitNote(NoteKind kind, std::size_t index, std::string customMark, const model::CharProps& props, int depth);
    void emitComment(std::size_t index, int depth);
    void emitInline(model::Inline item);
    std::vector<model::Inline>* target();
    void closeField();
    void dissolveFields(std::vector<model::Inline>& paragraph);
    void buildBlocks(std::vector<ParaItem>& items, std::size_t begin, std::size_t end, int level,
                     std::vector<model::Block>& out, int depth);
    // `openBottoms` gets the cells whose bottom is the table's inner rule for
    // now: the bottom rule if this turns out to be the last row.
    model::TableRow buildRow(std::vector<std::vector<model::Block>> cells, const Tap& tap, bool firstRow,
                             std::vector<std::size_t>& openBottoms);
    std::string decode8(std::string_view bytes, const Chp& chp) const;
    // The code page of `chp`'s 8-bit text when it has two-byte characters, else null.
    const encoding::CodePage* twoBytePage8(const Chp& chp) const;
    // The code page number of `chp`'s 8-bit text; -1 for a symbol font.
    int codePage8(const Chp& chp) const;
    std::optional<model::ListRef> word6List(const Pap& pap);
    std::optional<model::ListRef> continuedList(const Pap& pap, std::optional<model::ListRef> ref);

    // pictures (DocPictures.cpp)
    void loadDrawings();
    std::optional<model::Image> inlinePicture(std::uint32_t location);
    std::optional<model::Image> olePicture(std::uint32_t objectId);
    std::optional<model::Image> blipImage(int pib);
    std::optional<model::Image> blipRecord(std::string_view record);
    void drawnObject(std::uint32_t cp, Story story, std::uint32_t storyBase, const model::CharProps& props);

    void warnOnce(const std::string& message);
    bool spendBudget(std::size_t characters);

    const cfb::CompoundFile& m_cfb;
    std::string m_wordStream, m_tableStream, m_dataStream;
    Bytes m_word, m_table, m_data;
    ReadLimits m_limits;
    picture::PixelBudget m_pixels{m_limits.maxPicturePixels, m_limits.maxDocumentPixels};
    std::vector<std::string>& m_warnings;
    std::set<std::string> m_warned;
    model::Document m_doc;

    Fib m_fib;
    Clx m_clx;
    std::vector<std::uint16_t> m_chars;      // the whole text, one unit per position
    std::uint32_t m_ccpAll = 0;
    std::vector<FkpRun> m_chpRuns, m_papRuns;
    Stylesheet m_stsh;
    std::vector<ResolvedStyle> m_resolved;
    std::vector<int> m_modelStyle;            // istd -> Document::styles index, -1 none
    std::vector<FontDef> m_fonts;
    Chp m_defaultChp;
    std::vector<ListDef> m_listDefs;
    std::vector<ListOverride> m_overrides;
    std::vector<int> m_listOfLfo;             // ilfo - 1 -> Document::lists index, -1 none
    std::map<std::uint32_t, int> m_counting;  // list (lsid) -> the ilfo its numbering last went through
    std::map<std::string, int> m_word6Lists;  // Word 6/95 numbering -> Document::lists index
    Plc m_sed;

    // story starts, in character positions
    std::uint32_t m_ftnBase = 0, m_hddBase = 0, m_atnBase = 0, m_ednBase = 0, m_txbxBase = 0, m_hdrTxbxBase = 0;

    // notes, comments, bookmarks
    Plc m_fndRef, m_fndTxt, m_endRef, m_endTxt, m_andRef, m_andTxt;
    std::unordered_map<std::uint32_t, NoteRef> m_noteAt;
    std::vector<std::string> m_commentAuthors;
    std::vector<std::string> m_revisionAuthors;  // SttbfRMark
    int m_noteCount = 0;
    std::size_t m_spent = 0;                  // characters read again (see spendBudget)
    std::multimap<std::uint32_t, model::Bookmark> m_bookmarks;
    std::multimap<std::uint32_t, model::CommentRange> m_commentRanges;
    std::set<std::size_t> m_commentHasRange;

    // drawings
    Plc m_spaMom, m_spaHdr;
    std::unordered_map<std::uint32_t, Shape> m_shapes;     // spid -> shape
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> m_groupMembers;  // group spid -> members
    std::vector<std::string_view> m_blips;                  // FBSE records of the blip store
    std::unordered_map<std::uint32_t, std::vector<model::Block>> m_textBoxes;  // spid -> content
    std::set<std::uint32_t> m_placedTextBoxes;
    std::vector<std::uint32_t> m_textBoxOrder;

    // conversion state
    std::vector<FieldFrame> m_fields;
    std::vector<model::Inline>* m_content = nullptr;
    std::optional<model::Revision> m_revision;  // of the run being read
};

}  // namespace orvane::doc
