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

namespace orvane::docx {

// Thrown for a document that cannot be read; the message is for the user.
class DocxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
        bool structural = false;  // w:hyperlink / w:fldSimple, closed by the tree itself
    };

    // What converting one paragraph's inline content depends on; set aside
    // while a text box, header or note is converted in the middle of it.
    struct InlineState {
        std::vector<FieldFrame> fields;
        int fieldOverflow = 0;
        std::vector<model::Inline>* content = nullptr;
        std::vector<model::Block>* afterParagraph = nullptr;
        CharState paraChars;
        const CellLayer* cell = nullptr;
        std::vector<model::Inline> pendingBookmarks;
    };

    enum class NoteKind { Footnote, Endnote, Comment };
    struct PendingNote {
        NoteKind kind;
        std::string id;
        std::string mark;
    };

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
    std::unique_ptr<XmlPart> readRelatedPart(const Relationships& rels, std::string_view kind);

    // -- formatting
    void applyRunPr(CharState& s, const RunPr& r, bool toggle) const;
    model::CharProps finish(const CharState& s) const;
    void applyParaPr(model::ParaProps& p, const ParaPr& x) const;
    CharState defaultCharState() const;

    // -- sections, headers, notes
    void finishSection(const SectPr& sect);
    std::vector<model::Block> convertHeaderPart(const std::string& relId);
    void convertNotes();
    std::string noteMark(NoteKind kind, int number) const;

    // -- body (DocxBody.cpp)
    using BlockOut = std::vector<model::Block>*;  // null: the current body section
    std::vector<model::Block>& blocks(BlockOut out);
    void convertBlocks(pugi::xml_node parent, BlockOut out, bool body, int depth);
    void convertParagraph(pugi::xml_node p, BlockOut out, bool body, int depth,
                          std::vector<model::Inline>* carried);
    void convertTable(pugi::xml_node tbl, BlockOut out, int depth);
    void convertInlines(pugi::xml_node parent, int depth);
    void convertRun(pugi::xml_node r, int depth);
    void convertRunContent(pugi::xml_node container, const model::CharProps& props, int depth);
    void convertGraphic(pugi::xml_node node, const model::CharProps& props, Opt<model::Twips> cx,
                        Opt<model::Twips> cy, int depth);
    void convertTextBox(pugi::xml_node txbxContent, int depth);
    void convertMath(pugi::xml_node node, const model::CharProps& props, int depth);
    void emitImage(const std::string& relId, const model::CharProps& props, model::Twips cx,
                   model::Twips cy);
    void noteReference(pugi::xml_node ref, NoteKind kind, const model::CharProps& props);

    model::CharProps runProps(const RunPr& direct);
    std::string hyperlinkInstruction(std::string_view relId, std::string_view anchor) const;
    void withHyperlink(const std::string& instruction, const std::function<void()>& body);
    std::vector<model::Inline>* target();
    void emitText(std::string_view text, const model::CharProps& props);
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
    std::vector<model::Block>* m_afterParagraph = nullptr; // text boxes of that paragraph
    CharState m_paraChars;                                 // run base of that paragraph
    const CellLayer* m_cell = nullptr;
    std::vector<model::Inline> m_pendingBookmarks;         // met between paragraphs
    std::unordered_map<std::string, std::string> m_bookmarkNames;  // w:id -> name
    std::map<std::string, std::shared_ptr<const model::Image>> m_images;
    int m_sectionIndex = 0;

    // notes and comments, rendered after the body
    std::vector<PendingNote> m_notes;
    std::set<std::pair<int, std::string>> m_notesQueued;
    std::size_t m_growth = 0;
    int m_footnoteCount = 0;
    int m_endnoteCount = 0;
    int m_commentCount = 0;
    const PendingNote* m_currentNote = nullptr;
    bool m_noteMarkShown = false;
};

}  // namespace orvane::docx
