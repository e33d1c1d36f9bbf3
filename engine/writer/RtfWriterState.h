// The RTF writer from the inside: the Writer class, whose parts live in the
// other files of this folder (one file for each part of an RTF document), and
// what those files share. Only engine/writer/*.cpp include this header; the
// writer's interface is RtfWriter.h.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/Document.h"
#include "writer/RtfWriter.h"

namespace orvane::rtf::writer {

using namespace model;

constexpr std::size_t kFlushBytes = 64 * 1024;  // hand output to the sink in pieces this big
constexpr std::size_t kSoftLineLength = 120;    // start a new line after this many characters
constexpr int kMaxDepth = 1000;                 // deeper content is left out rather than overflow the stack

// The properties a value is compared against before it is left out: RTF's own
// default (always first), then the document default and the styles in force.
template <class P>
struct Baselines {
    std::array<const P*, 4> items{};
    int count = 0;
    explicit Baselines(const P& builtin) { add(&builtin); }
    Baselines& add(const P* p) {
        if (p && count < static_cast<int>(items.size())) items[count++] = p;
        return *this;
    }
};

// How the last paragraph of a run of blocks ends. StoryEnd: the last paragraph
// of a note, comment or frame, which has no \par (LibreOffice would add an
// empty paragraph) and must be a paragraph (a table there becomes a frame).
enum class Ending { Par, Sect, Cell, NestCell, None, StoryEnd };

// The story text is written into. Word keeps notes in the body only, comments
// out of headers, footers and other comments, and text boxes out of notes,
// comments and other text boxes; what cannot stand somewhere is written in
// place as text (or, for comments, left out). Fallback: a shape's copy of its
// text for readers without shapes, where nothing special is written.
enum class Story { Body, HeaderFooter, Note, Comment, Frame, Fallback };

// A date in Word's packed form (DTTM) for \atndate and \revdttm: minutes in bits 0-5, hours
// 6-10, day 11-15, month 16-19, years since 1900 20-28. The weekday (bits
// 29-31) stays 0: with it the number can pass 2^31, which LibreOffice then
// misreads, and readers take the weekday from the date anyway. Seconds and
// time zones are not kept.
std::optional<long long> packedDate(const std::string& iso);

// List numbers as they stand while paragraphs are written, for {\listtext}.
struct ListCounter {
    std::array<int, 9> value{};
    std::array<bool, 9> started{};
};

class Writer {
public:
    Writer(const Document& document, Sink& sink) : m_doc(document), m_sink(sink) {}

    bool documentToRtf();

private:
    // --- output primitives (text, hex and flush in RtfOutput.cpp) ----------
    std::size_t lineLength() const { return m_out.size() - m_lineStart + m_lineCarry; }
    void endLine() {
        if (lineLength() == 0) return;  // never an empty line
        m_out.push_back('\n');
        m_lineStart = m_out.size();
        m_lineCarry = 0;
        m_needDelimiter = false;
    }
    void softBreak() {
        if (lineLength() > kSoftLineLength) endLine();
    }
    void word(std::string_view name) {
        softBreak();
        m_out.push_back('\\');
        m_out.append(name);
        m_needDelimiter = true;
    }
    void word(std::string_view name, long long n) {
        word(name);
        char digits[24];
        m_out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
    }
    void open() {
        softBreak();
        m_out.push_back('{');
        m_needDelimiter = false;
    }
    void close() {
        m_out.push_back('}');
        m_needDelimiter = false;
    }
    // "{\*\name": a destination readers may skip when they do not know it.
    void ignorableGroup(std::string_view name) {
        open();
        m_out.append("\\*\\");
        m_out.append(name);
        m_needDelimiter = true;
    }
    void group(std::string_view name) {
        open();
        word(name);
    }
    void text(std::string_view utf8);
    void hex(std::string_view bytes);
    void flushIfFull() {
        if (m_out.size() >= kFlushBytes) flush();
    }
    void flush();
    bool failed() const { return m_failed; }

    // --- lookups -----------------------------------------------------------
    int fontIndex(int font) const {
        return font >= 0 && static_cast<std::size_t>(font) < m_doc.fonts.size() ? font : 0;
    }
    const Style* style(std::optional<int> index, StyleType type) const {
        if (!index || *index < 0 || static_cast<std::size_t>(*index) >= m_doc.styles.size()) return nullptr;
        const Style& s = m_doc.styles[*index];
        return s.type == type ? &s : nullptr;
    }
    const ListLevel* listLevel(const ListRef& ref) const {
        if (ref.listId < 0 || static_cast<std::size_t>(ref.listId) >= m_doc.lists.size()) return nullptr;
        const List& list = m_doc.lists[ref.listId];
        // RTF numbers nine levels (and the counters hold nine): deeper ones are not list items.
        if (ref.level < 0 || ref.level >= 9 || static_cast<std::size_t>(ref.level) >= list.levels.size()) return nullptr;
        return &list.levels[ref.level];
    }
    int colorIndex(Rgb color) const {
        const auto it = m_colorIndex.find(color);
        return it == m_colorIndex.end() ? 0 : it->second;
    }

    // --- stories -----------------------------------------------------------
    bool notesAllowed() const { return m_story == Story::Body; }
    bool commentsAllowed() const {
        return !m_inHeaderFooter && (m_story == Story::Body || m_story == Story::Note || m_story == Story::Frame);
    }
    bool framesAllowed() const { return m_story == Story::Body || m_story == Story::HeaderFooter; }
    // Enters another story for the lifetime of the scope; the paragraph being
    // written around it continues afterwards.
    class StoryScope {
    public:
        StoryScope(Writer& w, Story story)
            : m_w(w), m_story(w.m_story), m_itap(w.m_itap), m_empty(w.m_paragraphEmpty), m_width(w.m_textWidth) {
            w.m_story = story;
        }
        ~StoryScope() {
            m_w.m_story = m_story;
            m_w.m_itap = m_itap;
            m_w.m_paragraphEmpty = m_empty;
            m_w.m_textWidth = m_width;
        }
        StoryScope(const StoryScope&) = delete;
        StoryScope& operator=(const StoryScope&) = delete;

    private:
        Writer& m_w;
        Story m_story;
        int m_itap;
        bool m_empty;
        Twips m_width;
    };

    // --- what the document uses, gathered first (RtfCollect.cpp) -----------
    void addColor(std::optional<Rgb> color);
    void collectChars(const CharProps& c);
    void collectPara(const ParaProps& p);
    void addBorderColors(const BoxBorders& b);
    void collectBlocks(const std::vector<Block>& blocks, int depth);
    void collectInlines(const std::vector<Inline>& inlines, int depth);
    void collectColors();
    void addAuthor(const std::string& author);

    // --- header (RtfHeader.cpp) --------------------------------------------
    void fontTableToRtf();
    void colorTableToRtf();
    void defaultsToRtf();
    void styleSheetToRtf();
    void revisionTableToRtf();
    void revisionToRtf(const Revision& revision);
    void infoToRtf();
    void dateToRtf(std::string_view name, const std::string& iso);
    void pageSetupToRtf();
    void noteSettingsToRtf();
    void noteNumberingToRtf(const NoteNumbering& n, bool endnotes, std::string_view prefix);

    // --- lists (RtfLists.cpp) ----------------------------------------------
    void listTablesToRtf();
    void listLevelToRtf(const ListLevel& level);
    void listTextToRtf(const Paragraph& paragraph);
    std::string listText(const ListRef& ref);

    // --- sections, headers and footers (RtfSections.cpp) -------------------
    void sectionToRtf(const Section& section, const Section* previous, bool last);
    void storyToRtf(std::string_view destination, const std::vector<Block>& blocks, const std::vector<Block>* previous);

    // --- blocks, paragraphs and runs (RtfParagraphs.cpp) -------------------
    void blocksToRtf(const std::vector<Block>& blocks, int itap, Ending last, int depth);
    void storyBlocksToRtf(const std::vector<Block>& blocks, int depth);
    void blockToRtf(const Block& block, int itap, Ending ending, int depth);
    void paragraphToRtf(const Paragraph& paragraph, int itap, Ending ending, int depth);
    void paragraphStateToRtf(const Paragraph& paragraph, int itap);
    void fieldStartToRtf(const FieldStart& start);
    void closeFields();
    void emptyParagraphToRtf(int itap, Ending ending);
    void endingToRtf(Ending ending);
    void inlinesToRtf(const std::vector<Inline>& inlines, const CharProps* paraStyleChars, int depth);
    void inlineToRtf(const Inline& item, const CharProps* paraStyleChars, int depth);

    // --- tables (RtfTables.cpp) --------------------------------------------
    void tableToRtf(const Table& table, int itap, Twips available, int depth);
    void rowDefinitionToRtf(const Table& table, const TableRow& row, Twips available);

    // --- notes and comments (RtfNotes.cpp) ---------------------------------
    void noteMarkToRtf(const Note& note, const CharProps* paraStyleChars);
    void noteToRtf(const Note& note, const CharProps* paraStyleChars, int depth);
    void noteTextInPlace(const std::vector<Block>& blocks, const CharProps* paraStyleChars, int depth);
    void commentToRtf(const Comment& comment, int depth);

    // --- text boxes and pictures (RtfShapes.cpp) ---------------------------
    void frameToRtf(const Frame& frame, int depth);
    void frameTextInPlace(const Frame& frame, int depth);
    void imageToRtf(const Image& image);
    void pictToRtf(const Image& image);
    void pictureShapeToRtf(const Image& image);
    void shapeStart(int type, const std::optional<FramePosition>& position, FrameWrap wrap, Twips width,
                    Twips height);
    void shapeEnd(FrameWrap wrap);
    void shapePropertyToRtf(std::string_view name, long long value);
    void shapeStringPropertyToRtf(std::string_view name, std::string_view value);

    // --- properties (RtfProperties.cpp) ------------------------------------
    // `inStyleSheet`: a style states only what it changes, where text always
    // states its font and size.
    void charPropsToRtf(const CharProps& c, const Baselines<CharProps>& base, bool inStyleSheet = false);
    void paraPropsToRtf(const ParaProps& p, const Baselines<ParaProps>& base);
    // A border's kind, width, colour and spacing, after the word naming its side.
    void borderToRtf(const Border& b, bool withSpace);
    void runPropsToRtf(const CharProps& c, const CharProps* paraStyleChars);

    const Document& m_doc;
    Sink& m_sink;
    const CharProps m_plainChars{};  // what \plain gives
    const ParaProps m_plainPara{};   // what \pard gives
    std::string m_out;
    std::size_t m_lineStart = 0;
    std::size_t m_lineCarry = 0;     // characters of the current line already flushed
    bool m_needDelimiter = false;    // the output ends in a control word
    bool m_failed = false;
    std::vector<Rgb> m_colors;
    std::unordered_map<Rgb, int> m_colorIndex;
    std::vector<std::string> m_authors;  // revision authors after Word's "Unknown", in order of first use
    std::unordered_map<std::string, int> m_authorIndex;
    std::vector<ListCounter> m_listCounters;
    Twips m_textWidth = 9360;        // the width of the text being written: the section's, a cell's, a box's
    Twips m_sectionWidth = 9360;     // the current section's text width
    Story m_story = Story::Body;
    bool m_inHeaderFooter = false;
    int m_itap = 0;                  // the table depth of the paragraph being written
    bool m_paragraphEmpty = true;    // nothing written yet into the paragraph being written
    int m_openFields = 0;            // FieldStart groups open in the blocks being written
    int m_skippedFields = 0;         // FieldStarts inside those beyond kMaxOpenFields, not written
    const Note* m_noteMark = nullptr;  // a note whose mark opens the next paragraph
    int m_shapes = 0;                // shapes written so far, for their ids
    bool m_hasFootnotes = false;
    bool m_hasEndnotes = false;
    bool m_hasRevisions = false;
    std::set<int> m_rangeStarts, m_rangeEnds, m_commentRanges;
    std::set<int> m_ranges;          // comment ranges with both ends and a comment: the ones written
};

}  // namespace orvane::rtf::writer
