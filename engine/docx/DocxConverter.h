// The second step of reading a .docx: the parsed parts into the document model.
//
// Definitions (styles, numbering, fonts, theme) are mirrored first (DocxParse.h)
// and resolved here; the body is walked once, straight from the XML tree into
// model blocks, with style inheritance applied as each paragraph and run is met.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "docx/DocxFormat.h"
#include "docx/DocxPackage.h"
#include "docx/DocxParse.h"
#include "picture/PictureConvert.h"

namespace orvane::docx {

// Thrown for a document that cannot be read; the message is for the user.
class DocxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Rough size of converted content (text and picture bytes): what a copy costs.
std::size_t contentSize(const std::vector<model::Block>& blocks);

class DocxConverter {
public:
    DocxConverter(Package& package, std::string mainPart, std::vector<std::string>& warnings);
    // Throws DocxError.
    model::Document convert();

private:
    // Character formatting while layers are applied: the model's props plus
    // the complex-script variants, which replace them for right-to-left runs.
    struct CharState {
        model::CharProps c;
        bool boldCs = false;
        bool italicCs = false;
        int sizeCs = 20;
        bool sizeCsSet = false;
        int langBidi = 0;
        bool complexScript = false;
    };

    struct ResolvedStyle {
        bool done = false;
        bool busy = false;
        ParaPr pPr;   // the basedOn chain merged, root first
        RunPr rPr;
        TablePr tblPr;
        std::array<TableRegionPr, static_cast<int>(TableRegion::Count)> regions;
    };

    // The part whose XML is being converted (relationships resolve against it).
    struct PartScope {
        std::string name;
        const Relationships* rels = nullptr;
    };

    // Formatting the enclosing table cell contributes to its paragraphs.
    struct CellLayer {
        ParaPr pPr;
        RunPr rPr;
    };

    struct FieldFrame {
        std::string instruction;
        std::vector<model::Inline> result;
        bool inResult = false;
        bool dissolved = false;   // its paragraph ended: the rest flows as plain content
        bool spanning = false;    // dissolved after a FieldStart: its end is a FieldEnd
        bool structural = false;  // w:hyperlink / w:fldSimple, closed by the tree itself
    };

    // What converting one paragraph's inline content depends on; set aside
    // while a text box, header, note or comment is converted in the middle of it.
    struct InlineState {
        std::vector<FieldFrame> fields;
        int fieldOverflow = 0;
        std::vector<model::Inline>* content = nullptr;
        CharState paraChars;
        const CellLayer* cell = nullptr;
        std::vector<model::Inline> pendingInlines;
    };

    enum class NoteKind { Footnote, Endnote, Comment };

    // footnotes.xml, endnotes.xml or comments.xml, read when first needed.
    struct NotePart {
        bool loaded = false;
        std::unique_ptr<xml::Part> xml;
        const Relationships* rels = nullptr;
        std::unordered_map<std::string, pugi::xml_node> byId;
    };

    // What a drawing's wrapper (wp:inline, wp:anchor, a VML shape's style)
    // says about the shapes inside it.
    // A group's coordinate space: where a child coordinate lies, in twips
    // from the outermost group's top left corner.
    struct GroupSpace {
        double originX = 0, originY = 0;  // the child coordinates of the group's corner
        double offsetX = 0, offsetY = 0;  // that corner, from the outermost group's
        double scaleX = 1, scaleY = 1;    // twips per child unit
        double x(double u) const { return offsetX + (u - originX) * scaleX; }
        double y(double v) const { return offsetY + (v - originY) * scaleY; }
        // The space of a group inside this one, placed at (x, y) with size
        // (w, h) in this space's units and its children in
        // (childX, childY, childW, childH).
        GroupSpace inner(double x, double y, double w, double h, double childX, double childY,
                         double childW, double childH) const;
    };
    struct Anchor {
        Opt<model::Twips> cx, cy;
        Opt<model::FramePosition> position;  // none: in line
        model::FrameWrap wrap = model::FrameWrap::Square;
        // Set inside a group: members are placed through it, relative to the
        // group's position (or in line when the group is in line).
        Opt<GroupSpace> group;
    };
    // A group member's anchor from its box in the group's space.
    static Anchor memberAnchor(const Anchor& group, double x, double y, double w, double h);
    // A DrawingML member's anchor from its a:xfrm; outside a group, the anchor as it is.
    static Anchor placedMember(const Anchor& anchor, pugi::xml_node xfrm);

    // -- setup (DocxConverter.cpp)
    void loadDefinitions();
    void buildStyles();
    void buildLists();
    Opt<int> listFor(int numId);
    InlineState takeInlineState();
    void restoreInlineState(InlineState&& state);
    // Bytes the model may still grow by through copies (pictures used again,
    // headers carried on): a hostile file cannot multiply its size unboundedly.
    bool charge(std::size_t bytes, const char* what);
    const ResolvedStyle& resolvedStyle(int index, int depth = 0);
    Opt<int> styleIndex(const Opt<std::string>& id, Opt<int> fallback) const;
    Opt<int> modelStyle(Opt<int> styleIndex) const;
    std::unique_ptr<xml::Part> readRelatedPart(const Relationships& rels, std::string_view kind);

    // -- formatting
    void applyRunPr(CharState& s, const RunPr& r, bool toggle) const;
    model::CharProps finish(const CharState& s) const;
    void applyParaPr(model::ParaProps& p, const ParaPr& x) const;
    CharState defaultCharState() const;

    // -- sections, headers and footers
    void finishSection(const SectPr& sect);
    std::vector<model::Block> convertHeaderPart(const std::string& relId);

    // -- notes and comments (DocxNotes.cpp)
    NotePart& notePart(NoteKind kind);
    std::vector<model::Block> noteBlocks(NoteKind kind, const std::string& id, int depth);
    void noteReference(pugi::xml_node ref, NoteKind kind, const model::CharProps& props,
                       std::string customMark, int depth);
    void commentReference(pugi::xml_node ref, int depth);
    void commentRange(pugi::xml_node mark, bool start, bool blockLevel);

    // -- body (DocxBody.cpp)
    using BlockOut = std::vector<model::Block>*;  // null: the current body section
    std::vector<model::Block>& blocks(BlockOut out);
    void convertBlocks(pugi::xml_node parent, BlockOut out, bool body, int depth);
    void convertParagraph(pugi::xml_node p, BlockOut out, bool body, int depth);
    std::optional<model::Revision> markRevision(pugi::xml_node rPr) const;
    void convertTable(pugi::xml_node tbl, BlockOut out, int depth);
    void convertInlines(pugi::xml_node parent, int depth);
    void convertRun(pugi::xml_node r, int depth);
    void convertRunContent(pugi::xml_node container, const model::CharProps& props, int depth);
    // -- pictures and text boxes (DocxDrawing.cpp)
    void convertGraphic(pugi::xml_node node, const model::CharProps& props, const Anchor& anchor,
                        int depth);
    void convertTextBox(pugi::xml_node txbxContent, model::Frame frame, int depth);
    void convertMath(pugi::xml_node node, const model::CharProps& props, int depth);
    void emitImage(const std::string& relId, const model::CharProps& props, const Anchor& anchor, model::Twips cx,
                   model::Twips cy);

    model::CharProps runProps(const RunPr& direct);
    std::string hyperlinkInstruction(std::string_view relId, std::string_view anchor) const;
    void withHyperlink(const std::string& instruction, const std::function<void()>& body);
    std::vector<model::Inline>* target();
    void emitText(std::string_view text, const model::CharProps& props);
    void emitText(std::string_view text, const model::CharProps& props,
                  const std::optional<model::Revision>& revision);
    void convertTrackedChange(pugi::xml_node change, model::Revision::Kind kind, int depth);
    void emitInline(model::Inline item);
    void emitField(model::Field field);
    void beginField(bool structural, std::string instruction);
    void endField();
    void closeFieldsDownTo(std::size_t size);
    void dissolveOpenFields();
    pugi::xml_node chooseAlternate(pugi::xml_node alternateContent) const;
    void checkDepth(int depth) const;
    void warnOnce(const std::string& message);

    Package& m_pkg;
    const ReadLimits m_limits;
    picture::PixelBudget m_pixels{m_limits.maxPicturePixels, m_limits.maxDocumentPixels};
    std::string m_mainPart;
    std::vector<std::string>& m_warnings;
    std::set<std::string> m_warned;
    model::Document m_doc;

    // definitions
    Settings m_settings;
    ThemeFonts m_theme;
    FontRegistry m_fonts;
    StylesDef m_styles;
    NumberingDef m_numbering;
    std::vector<ResolvedStyle> m_resolved;
    std::unordered_map<int, const NumDef*> m_numById;
    std::unordered_map<int, int> m_listByNumId;            // w:numId -> Document::lists index, -1 none
    std::unordered_map<const AbstractNumDef*, int> m_listByAbstract;  // shared by plain instances
    std::vector<std::array<ParaPr, 9>> m_listLevelPPr;     // per model list
    CharState m_defaultChars;
    model::ParaProps m_defaultPara;

    // conversion state
    PartScope m_scope;
    std::vector<FieldFrame> m_fields;
    int m_fieldOverflow = 0;                               // field starts beyond the nesting cap
    std::vector<model::Inline>* m_content = nullptr;       // the paragraph being filled
    CharState m_paraChars;                                 // run base of that paragraph
    std::optional<model::Revision> m_revision;             // the w:ins or w:del the runs are in
    const CellLayer* m_cell = nullptr;
    std::vector<model::Inline> m_pendingInlines;           // marks met between paragraphs
    std::unordered_map<std::string, std::string> m_bookmarkNames;  // w:id -> name
    std::map<std::string, std::shared_ptr<const model::Image>> m_images;
    int m_sectionIndex = 0;

    // notes and comments
    std::array<NotePart, 3> m_noteParts;
    std::set<std::pair<int, std::string>> m_notesInProgress;      // cuts notes that cite themselves
    std::map<std::pair<int, std::string>, int> m_noteConversions;
    std::map<std::pair<int, std::string>, std::vector<model::Block>> m_noteCache;  // cited again
    std::unordered_map<std::string, int> m_commentIds;            // w:id -> model id
    std::set<int> m_commentRangesStarted;
    std::size_t m_growth = 0;
};

}  // namespace orvane::docx
