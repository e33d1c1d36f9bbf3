// The OpenDocument text's streams into the document model.
//
// The styles are parsed first (OdtStyles.h) and resolved on demand, a chain of
// layers per paragraph and span; the body is then walked once from the XML tree
// straight into model blocks.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "reader/Reader.h"
#include "odt/OdtStyles.h"
#include "picture/PictureConvert.h"

namespace orvane::odt {

// Thrown for a document that cannot be read; the message is for the user.
class OdtError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the streams are. In a flat file, every root is the one office:document.
struct OdtSources {
    pugi::xml_node content;   // office:document-content or office:document
    pugi::xml_node styles;    // office:document-styles or office:document, may be empty
    pugi::xml_node meta;      // office:document-meta or office:document, may be empty
    pugi::xml_node settings;  // office:document-settings or office:document, may be empty
    bool flat = false;
    // Reads a package member (pictures); null for flat files.
    std::function<bool(const std::string& path, std::string& out, std::string& error)> readMember;
};

class OdtConverter {
public:
    OdtConverter(const OdtSources& sources, const ReadLimits& limits, std::vector<std::string>& warnings);
    // Throws OdtError.
    model::Document convert();

private:
    // A style chain resolved: its layers merged, default style at the bottom.
    struct Resolved {
        TextPr text;
        ParaPr para;
        Opt<int> modelStyle;       // the nearest common style, as a Document::styles index
        std::string listStyle;     // the nearest list-style-name in the chain
        bool hasListStyle = false;
        std::string masterPage;    // this style's own master-page-name
        bool hasMasterPage = false;
        Opt<int> outlineLevel;
    };

    // One text:list being read.
    struct ListFrame {
        const ListStyleDef* style = nullptr;
        std::string styleName;
        int level = 0;             // 0-based
        int instance = -1;         // index into m_listInstances
    };

    // A comment whose range is still open (office:annotation met, its
    // office:annotation-end not yet).
    struct OpenComment {
        int id = 0;
        int story = 0;
        model::Comment comment;
    };

    // A list instance: the model list numbering continues in.
    struct ListInstance {
        int modelList = -1;
        std::string styleName;
    };

    using BlockOut = std::vector<model::Block>*;  // null: the current body section

    // -- setup (OdtConverter.cpp)
    void loadStyles();
    void buildModelStyles();
    void loadMeta();
    void loadSettings();
    const StyleDef* findStyle(Family family, const std::string& name, const StyleSheet* automatic) const;
    const Resolved& resolve(Family family, const std::string& name);
    Resolved resolveChain(Family family, const StyleDef* style, int depth);
    TextPr textChain(const std::string& name, int depth);
    int fontIndex(const std::string& name);
    model::CharProps finishChars(const TextPr& t);
    model::ParaProps finishPara(const ParaPr& p);
    int modelListFor(const ListStyleDef& style);
    const ListStyleDef* findListStyle(const std::string& name) const;

    // -- sections (OdtConverter.cpp)
    const MasterPageDef* findMaster(const std::string& name) const;
    void startSection(const MasterPageDef* master, model::SectionBreak kind, bool first);
    void fillSection(model::Section& section, const MasterPageDef* master);
    std::vector<model::Block> convertHeaderFooter(pugi::xml_node node);
    model::Twips textWidth() const;

    // -- body (OdtBody.cpp)
    std::vector<model::Block>& blocks(BlockOut out);
    void convertBlocks(pugi::xml_node parent, BlockOut out, int depth);
    void convertBlock(pugi::xml_node child, BlockOut out, int depth);
    void convertParagraph(pugi::xml_node p, BlockOut out, int depth, bool heading);
    void convertList(pugi::xml_node list, BlockOut out, int depth);
    void convertNumberedParagraph(pugi::xml_node np, BlockOut out, int depth);
    void convertTable(pugi::xml_node table, BlockOut out, int depth);
    void convertSection(pugi::xml_node section, BlockOut out, int depth);
    void convertTableOfContents(pugi::xml_node toc, BlockOut out, int depth);
    void convertInlines(pugi::xml_node parent, int depth);
    void convertInline(pugi::xml_node node, int depth);
    void convertFrame(pugi::xml_node frame, int depth, std::string_view anchor = {});
    void convertShape(pugi::xml_node shape, int depth, std::string_view anchor = {});
    std::vector<model::Block> convertStory(pugi::xml_node container, int depth);
    void finishStory(std::vector<model::Block>& out);
    void endAnnotation(pugi::xml_node end);
    GraphicPr graphicChain(const std::string& name);
    model::Frame frameFor(pugi::xml_node node, std::string_view anchor);
    void resumePageColumns();
    void continuousSection(int columns, model::Twips gap);
    void applyTextStyle(const std::string& name);
    int listInstanceFor(pugi::xml_node list, const std::string& styleName);
    void convertNote(pugi::xml_node note, int depth);
    void convertAnnotation(pugi::xml_node annotation, int depth);
    bool loadImage(pugi::xml_node image, model::Image& out, std::string& problem);
    void emitText(std::string_view text, bool collapse);
    // -- tracked changes
    void loadTrackedChanges(pugi::xml_node text);
    void changeMark(pugi::xml_node mark, bool block, BlockOut out, int depth);
    void convertDeletedInlines(pugi::xml_node parent, bool& first, int depth);
    void emitInline(model::Inline item);
    void emitField(std::string instruction, pugi::xml_node resultFrom, int depth);
    void emitBookmark(std::string name, bool start);
    bool startsSectionHere(const std::string& masterPage, bool hasMasterPage, Opt<int> pageNumber);
    void checkDepth(int depth) const;
    void warnOnce(const std::string& message);
    void spend(std::size_t units);
    bool spendImage(std::size_t bytes, std::string& problem);
    static std::size_t contentWeight(const model::TableRow& row);

    const OdtSources& m_src;
    const ReadLimits m_limits;
    picture::PixelBudget m_pixels{m_limits.maxPicturePixels, m_limits.maxDocumentPixels};
    std::vector<std::string>& m_warnings;
    std::set<std::string> m_warned;
    model::Document m_doc;

    // definitions
    std::map<std::string, model::Font> m_faces;
    StyleSheet m_common;
    StyleSheet m_stylesAuto;
    StyleSheet m_contentAuto;
    const StyleSheet* m_auto = nullptr;  // the automatic styles of the stream being read
    std::vector<MasterPageDef> m_masters;
    std::map<std::pair<const StyleSheet*, std::pair<Family, std::string>>, Resolved> m_resolved;
    std::map<std::pair<Family, std::string>, int> m_modelStyleByName;
    std::unordered_map<std::string, int> m_fontByName;
    Resolved m_defaultResolved;
    bool m_tabsRelativeToIndent = true;

    // lists
    std::vector<ListInstance> m_listInstances;
    std::map<std::string, int> m_lastInstanceByStyle;     // list style -> m_listInstances index
    std::map<std::string, int> m_instanceByXmlId;         // xml:id of a text:list -> instance
    std::vector<ListFrame> m_lists;
    int m_outlineList = -1;
    std::map<std::string, int> m_modelListCache;
    bool m_firstInItem = false;   // the next paragraph is the first of its list item
    bool m_listHeader = false;
    Opt<int> m_itemStart;         // text:start-value of the current item

    // body state
    std::vector<model::Inline>* m_content = nullptr;   // the paragraph (or field result) being filled
    TextPr m_text;                                     // the run formatting layered so far
    Opt<int> m_charStyle;
    bool m_lastSpace = true;                           // whitespace collapsing state
    bool m_collapsedTail = false;                      // the last emitted character is a collapsed space
    bool m_numbered = false;                           // the paragraph being read carries a list label
    std::vector<model::Inline> m_pendingBookmarks;
    bool m_inBody = false;                             // blocks go to the main text
    bool m_anyBodyBlock = false;
    bool m_breakAfterPending = false;
    int m_sectionIndex = 0;
    const MasterPageDef* m_currentMaster = nullptr;
    std::size_t m_budget = 0;                           // work units left
    std::size_t m_imageBudget = 0;                      // picture bytes left
    model::Twips m_width = 0;                           // width tables are fitted to, 0: the text width
    bool m_inTextSection = false;                       // inside a text:section of the body
    std::map<std::string, model::Image> m_images;       // pictures read, by member name
    std::map<std::string, OpenComment> m_openComments;  // by office:name
    std::multimap<int, std::string> m_openByStory;      // story -> names of its open comments
    int m_nextCommentId = 0;
    int m_story = 0;                                    // the story being read: 0 the body
    int m_stories = 0;
    Opt<std::pair<int, model::Twips>> m_resumeColumns;  // page columns to return to after a text section

    // tracked changes: the regions of text:tracked-changes by id, and the
    // change the text being read belongs to
    struct ChangedRegion {
        model::Revision revision;
        pugi::xml_node deleted;   // a deletion's text:deletion, which holds the text
        bool read = false;        // its text has been read: a region is read once, never inside itself
    };
    std::unordered_map<std::string, ChangedRegion> m_changes;
    std::optional<model::Revision> m_revision;
    std::string m_revisionId;                           // the text:change-start it began at
};

}  // namespace orvane::odt
