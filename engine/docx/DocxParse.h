// The format-mirroring step: XML elements into the structures of DocxFormat.h.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "docx/DocxFormat.h"
#include "docx/DocxXml.h"

namespace orvane::docx {

// The document's fonts, in the order they get their indexes. Fonts declared in
// the font table keep their details; fonts only named in runs are added as
// they are met.
class FontRegistry {
public:
    // A font described by word/fontTable.xml (not yet given an index).
    void declare(model::Font font);
    // Gives indexes to the declared fonts in declaration order (after the
    // default font, which the caller registers first).
    void registerDeclared();
    // The index of a font by face name, registering it on first use.
    int index(std::string_view name);
    bool empty() const { return m_fonts.empty(); }
    std::vector<model::Font> take() { return std::move(m_fonts); }

private:
    std::vector<model::Font> m_fonts;
    std::unordered_map<std::string, int> m_byName;
    std::vector<model::Font> m_declared;
    std::unordered_map<std::string, std::size_t> m_declaredByName;
};

struct ParseContext {
    FontRegistry& fonts;
    const ThemeFonts& theme;
};

RunPr parseRunPr(pugi::xml_node rPr, ParseContext& ctx);
ParaPr parseParaPr(pugi::xml_node pPr);
TablePr parseTablePr(pugi::xml_node tblPr);
CellPr parseCellPr(pugi::xml_node tcPr);
RowPr parseRowPr(pugi::xml_node trPr);
SectPr parseSectPr(pugi::xml_node sectPr);
Borders parseBorders(pugi::xml_node borders);
// One side: the line, or none for "none" and "nil".
Opt<model::Border> parseBorder(pugi::xml_node side);
// w:footnotePr / w:endnotePr numbering over `base`.
model::NoteNumbering parseNoteNumbering(pugi::xml_node notePr, model::NoteNumbering base);
// w:shd -> resulting background colour (inner nullopt: none).
Opt<model::Rgb> parseShading(pugi::xml_node shd);
// The font name the rFonts element gives for Latin text, theme resolved
// ("" when none).
std::string latinFontName(pugi::xml_node rFonts, const ThemeFonts& theme);

Opt<model::Rgb> highlightColor(std::string_view name);

void parseStyles(const xml::Part& part, ParseContext& ctx, StylesDef& out);
void parseNumbering(const xml::Part& part, ParseContext& ctx, NumberingDef& out);
void parseFontTable(const xml::Part& part, FontRegistry& fonts);
ThemeFonts parseTheme(const xml::Part& part, const Settings& settings);
Settings parseSettings(const xml::Part& part);
model::DocumentInfo parseCoreProperties(const xml::Part& part);

}  // namespace orvane::docx
