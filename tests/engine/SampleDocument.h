// Documents built in code that use every part of the model, shared by the
// writer's golden tests and the round-trip tests: sampleDocument(), and
// sampleDocumentWithNotes() with notes, comments and text boxes added.
#pragma once

#include <string>
#include <utility>

#include "Engine.h"

namespace orvane::testing {

using namespace model;

inline Inline run(std::string text, CharProps props = {}) {
    return Inline{TextRun{std::move(text), props, {}}};
}

// A run that is a tracked insertion or deletion.
inline Inline revised(std::string text, Revision::Kind kind, std::string author = {}, std::string date = {},
                      CharProps props = {}) {
    return Inline{TextRun{std::move(text), props, Revision{kind, std::move(author), std::move(date)}}};
}

inline Block paragraph(std::vector<Inline> content, ParaProps props = {}, CharProps mark = {}) {
    Paragraph p;
    p.props = std::move(props);
    p.markProps = mark;
    p.content = std::move(content);
    return Block{std::move(p)};
}

// Single lines on all four sides, as a table grid draws them.
inline BoxBorders gridLines() {
    BoxBorders b;
    b.top = b.left = b.bottom = b.right = Border{};
    return b;
}

inline TableCell cell(Twips width, std::vector<Block> blocks) {
    TableCell c;
    c.width = width;
    c.borders = gridLines();
    c.blocks = std::move(blocks);
    return c;
}

// A 2x1 PNG (a red and a blue pixel): real picture bytes, small enough for a golden file.
inline std::string tinyPng() {
    static const unsigned char bytes[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
        0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7B, 0x40, 0xE8,
        0xDD, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0xF8, 0xCF, 0x00, 0x04,
        0xFF, 0x01, 0x07, 0x00, 0x01, 0xFF, 0x3D, 0x7D, 0x8C, 0x49, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45,
        0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

inline Document sampleDocument() {
    Document d;
    d.fonts = {
        {"Times New Roman", FontFamily::Roman, 0, 2, ""},
        {"Arial", FontFamily::Swiss, 0, 2, ""},
        {"Courier New", FontFamily::Modern, 0, 1, "Courier"},
        {"Symbol", FontFamily::Tech, 2, 2, ""},
        {"MS Mincho", FontFamily::Modern, 128, 1, ""},
    };
    d.defaultChars.lang = 1033;
    d.defaultPara.spaceAfter = 120;

    // Styles: Normal, Heading 1, a character style, a table style.
    Style normal;
    normal.name = "Normal";
    normal.para = d.defaultPara;
    normal.chars = d.defaultChars;
    normal.next = 0;
    Style heading;
    heading.name = "Heading 1";
    heading.basedOn = 0;
    heading.next = 0;
    heading.para = d.defaultPara;
    heading.para.keepNext = true;
    heading.para.spaceBefore = 240;
    heading.para.outlineLevel = 0;
    heading.chars = d.defaultChars;
    heading.chars.font = 1;
    heading.chars.bold = true;
    heading.chars.sizeHalfPoints = 32;
    Style emphasis;
    emphasis.name = "Emphasis";
    emphasis.type = StyleType::Character;
    emphasis.para = d.defaultPara;  // as readers fill it: a character style has no paragraph of its own
    emphasis.chars = d.defaultChars;
    emphasis.chars.italic = true;
    Style grid;
    grid.name = "Table Grid";
    grid.type = StyleType::Table;
    grid.basedOn = std::nullopt;
    grid.para = d.defaultPara;
    grid.para.spaceAfter = 0;
    grid.chars = d.defaultChars;
    d.styles = {normal, heading, emphasis, grid};

    // Lists: a numbered outline and a Symbol-font bullet.
    List numbered;
    ListLevel one;
    one.text = "%1.";
    one.leftIndent = 720;
    one.firstLineIndent = -360;
    ListLevel two;
    two.format = NumberFormat::LowerLetter;
    two.text = "%1.%2)";
    two.leftIndent = 1440;
    two.firstLineIndent = -360;
    numbered.levels = {one, two};
    List bullets;
    ListLevel bullet;
    bullet.format = NumberFormat::Bullet;
    bullet.text = "\xEF\x82\xB7";  // U+F0B7, Symbol's bullet
    bullet.leftIndent = 720;
    bullet.firstLineIndent = -360;
    bullet.font = 3;
    bullets.levels = {bullet};
    d.lists = {numbered, bullets};

    d.info.title = "Sample – every structure";
    d.info.author = "Orvane tests";
    d.info.subject = "Writer";
    d.info.keywords = "rtf, golden";
    d.info.comments = "Built in code";
    d.info.created = "2021-08-31T10:15:00Z";
    d.info.modified = "2022-01-02T03:04:05Z";
    d.facingPages = true;

    CharProps base = d.defaultChars;
    ParaProps body = d.defaultPara;
    body.style = 0;

    Section first;
    first.props.titlePage = true;
    first.props.pageNumberStart = 1;
    {
        Field page;
        page.instruction = "PAGE";
        page.result = {run("1", base)};
        first.header = {paragraph({run("Odd header", base)}, body, base)};
        first.headerEven = {paragraph({run("Even header", base)}, body, base)};
        first.headerFirst = {paragraph({run("First page header", base)}, body, base)};
        ParaProps centered = body;
        centered.alignment = Alignment::Center;
        first.footer = {paragraph({run("Page ", base), Inline{page}}, centered, base)};
    }

    // A heading with a bookmark around its text.
    ParaProps headingPara = heading.para;
    headingPara.style = 1;
    first.blocks.push_back(paragraph({Inline{Bookmark{"intro", true}}, run("Introduction", heading.chars),
                                      Inline{Bookmark{"intro", false}}},
                                     headingPara, heading.chars));

    // Character formatting of every kind.
    {
        std::vector<Inline> runs;
        CharProps c = base;
        runs.push_back(run("Plain, ", c));
        c.bold = true;
        runs.push_back(run("bold, ", c));
        c.bold = false;
        c.italic = true;
        c.charStyle = 2;
        runs.push_back(run("emphasis, ", c));
        c = base;
        c.underline = Underline::Double;
        c.color = 0xC00000;
        runs.push_back(run("red double underline, ", c));
        c = base;
        c.strike = true;
        c.highlight = 0xFFFF00;
        runs.push_back(run("struck highlighted, ", c));
        c = base;
        c.doubleStrike = true;
        c.shading = 0xD9D9D9;
        runs.push_back(run("double struck shaded, ", c));
        c = base;
        c.verticalAlign = VerticalAlign::Superscript;
        runs.push_back(run("super", c));
        c.verticalAlign = VerticalAlign::Subscript;
        runs.push_back(run("sub", c));
        c = base;
        c.caps = true;
        runs.push_back(run(" caps", c));
        c = base;
        c.smallCaps = true;
        c.spacing = 20;
        runs.push_back(run(" small caps spaced", c));
        c = base;
        c.hidden = true;
        runs.push_back(run(" hidden", c));
        c = base;
        c.font = 2;
        c.sizeHalfPoints = 20;
        c.lang = 1036;
        runs.push_back(run(" Courier, français: déjà vu € {braces} \\back\\slash", c));
        c = base;
        c.eastAsiaFont = 4;
        runs.push_back(run(" 日本語", c));
        c = base;
        c.complexFont = 0;
        c.rtl = true;
        c.lang = 1025;
        runs.push_back(run(" العربية", c));
        c = base;
        runs.push_back(run(" emoji 😀\tafter tab\nafter line break", c));
        ParaProps p = body;
        p.alignment = Alignment::Justify;
        p.leftIndent = 360;
        p.rightIndent = 180;
        p.firstLineIndent = 240;
        p.lineSpacing = 360;
        p.keepLines = true;
        p.widowControl = false;
        p.shading = 0xDEEAF6;
        // A box of dotted lines with room to the text, a line between paragraphs.
        Border dotted;
        dotted.style = BorderStyle::Dotted;
        dotted.color = 0x2E74B5;
        dotted.space = 80;
        p.borders.top = p.borders.left = p.borders.bottom = p.borders.right = dotted;
        p.borders.between = Border{};
        first.blocks.push_back(paragraph(std::move(runs), p, base));
    }

    // Tabs with every kind and leader, exact line spacing.
    {
        ParaProps p = body;
        p.tabs = {{1440, TabKind::Left, TabLeader::None},      {2880, TabKind::Center, TabLeader::Dots},
                  {4320, TabKind::Right, TabLeader::Hyphens},  {5760, TabKind::Decimal, TabLeader::Underline},
                  {6480, TabKind::Bar, TabLeader::None},       {7200, TabKind::Left, TabLeader::ThickLine},
                  {7920, TabKind::Left, TabLeader::Equals},    {8640, TabKind::Right, TabLeader::MiddleDots}};
        p.lineRule = LineRule::Exact;
        p.lineSpacing = 280;
        first.blocks.push_back(paragraph({run("a\tb\tc\t1.5\td", base)}, p, base));
        p.tabs.clear();
        p.lineRule = LineRule::AtLeast;
        p.lineSpacing = 300;
        p.alignment = Alignment::Right;
        p.rtl = true;
        first.blocks.push_back(paragraph({run("Right-to-left paragraph", base)}, p, base));
    }

    // Lists: two numbered items, one nested, then bullets.
    {
        ParaProps p = body;
        p.list = ListRef{0, 0};
        p.leftIndent = 720;
        p.firstLineIndent = -360;
        first.blocks.push_back(paragraph({run("First item", base)}, p, base));
        p.list = ListRef{0, 1};
        p.leftIndent = 1440;
        first.blocks.push_back(paragraph({run("Nested item", base)}, p, base));
        p.list = ListRef{0, 0};
        p.leftIndent = 720;
        first.blocks.push_back(paragraph({run("Second item", base)}, p, base));
        p.list = ListRef{1, 0};
        first.blocks.push_back(paragraph({run("A bullet", base)}, p, base));
    }

    // A hyperlink field, a picture, a page break.
    {
        Field link;
        link.instruction = "HYPERLINK \"https://example.com/a?b=c\"";
        CharProps linkChars = base;
        linkChars.color = 0x0563C1;
        linkChars.underline = Underline::Single;
        link.result = {run("example.com", linkChars)};
        Image image;
        image.format = ImageFormat::Png;
        image.data = tinyPng();
        image.width = 1440;
        image.height = 720;
        image.pixelWidth = 2;
        image.pixelHeight = 1;
        first.blocks.push_back(
            paragraph({run("Link: ", base), Inline{link}, run(" picture: ", base), Inline{image}}, body, base));
        Break pageBreak;
        pageBreak.props = base;
        first.blocks.push_back(paragraph({Inline{pageBreak}, run("After the page break", base)}, body, base));
    }

    // A table: header row, a horizontally merged cell, a vertical merge,
    // shading, alignment, and a nested table.
    {
        ParaProps inCell = grid.para;
        inCell.style = 0;
        Table table;
        table.indent = 108;
        table.alignment = Alignment::Center;
        TableRow header;
        header.header = true;
        header.height = 400;
        header.cells = {cell(2000, {paragraph({run("Name", base)}, inCell, base)}),
                        cell(2000, {paragraph({run("Value", base)}, inCell, base)}),
                        cell(2000, {paragraph({run("Note", base)}, inCell, base)})};
        header.cells[0].shading = 0xD9E2F3;
        TableRow second;
        second.height = -500;
        second.cells = {cell(4000, {paragraph({run("Spans two columns", base)}, inCell, base)}),
                        cell(2000, {paragraph({run("Merged down", base)}, inCell, base)})};
        second.cells[0].gridSpan = 2;
        second.cells[1].vmerge = VMerge::Start;
        second.cells[1].valign = CellVAlign::Center;
        Table nested;
        TableRow nestedRow;
        nestedRow.cells = {cell(900, {paragraph({run("n1", base)}, inCell, base)}),
                           cell(900, {paragraph({run("n2", base)}, inCell, base)})};
        nested.rows = {nestedRow};
        TableRow third;
        third.cells = {cell(2000, {paragraph({run("Holds a table", base)}, inCell, base), Block{nested},
                                   paragraph({run("after it", base)}, inCell, base)}),
                       cell(2000, {paragraph({}, inCell, base)}),
                       cell(2000, {paragraph({}, inCell, base)})};
        third.cells[1].borders = {};
        // A heavier rule in colour under the header, a double line on the right.
        Border rule;
        rule.width = 30;
        rule.color = 0x1F4E79;
        header.cells[0].borders.bottom = rule;
        Border twoLines;
        twoLines.style = BorderStyle::Double;
        header.cells[0].borders.right = twoLines;
        third.cells[2].vmerge = VMerge::Continue;
        third.cells[2].valign = CellVAlign::Bottom;
        table.rows = {header, second, third};
        first.blocks.push_back(Block{table});
        first.blocks.push_back(paragraph({run("After the table", base)}, body, base));
    }

    // A second section: landscape, two columns, roman page numbers.
    Section second;
    second.props.breakKind = SectionBreak::Continuous;
    second.props.landscape = true;
    second.props.pageWidth = 15840;
    second.props.pageHeight = 12240;
    second.props.marginLeft = 1080;
    second.props.marginRight = 1080;
    second.props.marginTop = 720;
    second.props.marginBottom = 720;
    second.props.headerDistance = 360;
    second.props.footerDistance = 360;
    second.props.columns = 2;
    second.props.columnSpacing = 540;
    second.props.pageNumberFormat = PageNumberFormat::LowerRoman;
    second.footer = {paragraph({run("Second section footer", base)}, body, base)};
    Break columnBreak;
    columnBreak.kind = BreakKind::Column;
    columnBreak.props = base;
    second.blocks = {paragraph({run("Left column", base), Inline{columnBreak}, run("Right column", base)}, body, base),
                     paragraph({run("Last paragraph", base)}, body, base)};

    d.sections = {first, second};
    return d;
}

// The sample document with footnotes, endnotes, comments and text boxes added,
// including ones where Word cannot keep them (a note in a header, a text box
// in a text box, a comment in a comment). Kept apart from sampleDocument()
// until the RTF reader maps these structures, so that the sample's round trip
// keeps checking everything else.
inline Document sampleDocumentWithNotes() {
    Document d = sampleDocument();
    const CharProps base = d.defaultChars;
    ParaProps body = d.defaultPara;
    body.style = 0;
    CharProps mark = base;
    mark.verticalAlign = VerticalAlign::Superscript;
    CharProps small = base;
    small.sizeHalfPoints = 20;
    ParaProps noteBody = body;
    noteBody.spaceAfter = 0;

    d.notes.footnotes = {NoteNumberFormat::Decimal, 1, NoteRestart::EachPage};
    d.notes.endnotes = {NoteNumberFormat::UpperRoman, 3, NoteRestart::Continuous};
    d.sections[1].props.footnoteNumbering = NoteNumbering{NoteNumberFormat::Chicago, 1, NoteRestart::EachSection};

    const auto note = [&](Note::Kind kind, std::vector<Block> blocks, std::string customMark = {}) {
        Note n;
        n.kind = kind;
        n.customMark = std::move(customMark);
        n.blocks = std::move(blocks);
        n.referenceProps = mark;
        return Inline{std::move(n)};
    };
    const auto notePara = [&](std::string text) { return paragraph({run(std::move(text), small)}, noteBody, small); };
    const auto comment = [&](std::string author, std::string initials, std::string date, std::vector<Block> blocks,
                             std::optional<int> range) {
        Comment c;
        c.author = std::move(author);
        c.initials = std::move(initials);
        c.date = std::move(date);
        c.blocks = std::move(blocks);
        c.range = range;
        return Inline{std::move(c)};
    };
    const auto range = [](int id, bool start) { return Inline{CommentRange{id, start}}; };

    std::vector<Block>& blocks = d.sections[0].blocks;
    // Notes: automatic and custom marks, two paragraphs, a table inside.
    {
        Table table;
        TableRow row;
        row.cells = {cell(1500, {notePara("cell 1")}), cell(1500, {notePara("cell 2")})};
        table.rows = {row};
        blocks.push_back(paragraph(
            {run("Notes: a footnote", base), note(Note::Kind::Footnote, {notePara(" The footnote's text.")}),
             run(", an endnote", base),
             note(Note::Kind::Endnote, {notePara(" The endnote's text,"), notePara("in two paragraphs.")}),
             run(", a custom mark", base), note(Note::Kind::Footnote, {notePara(" Starred.")}, "*"),
             run(", a custom endnote mark", base), note(Note::Kind::Endnote, {notePara(" Daggered.")}, "\xE2\x80\xA0"),
             run(", a note with a table", base),
             note(Note::Kind::Footnote, {notePara(" Before the table."), Block{table}}),
             run(" and an empty note", base), note(Note::Kind::Footnote, {}), run(".", base)},
            body, base));
    }
    // Comments: on a phrase, at a point, across two paragraphs, one holding a
    // table and another comment; a range nobody comments on and a comment
    // whose range is missing.
    {
        Table table;
        TableRow row;
        row.cells = {cell(2000, {paragraph({run("in a comment", base)}, body, base)})};
        table.rows = {row};
        blocks.push_back(paragraph(
            {run("Comments: a ", base), range(1, true), run("commented phrase", base), range(1, false),
             comment("Ann Example", "AE", "2016-03-31T20:14:00Z", {paragraph({run("Looks good.", base)}, body, base)}, 1),
             run(", a point", base),
             comment("Bob", "", "", {paragraph({run("First.", base)}, body, base), paragraph({run("Second.", base)}, body, base)},
                     std::nullopt),
             run(", a ", base), range(8, true), run("range without comment", base), range(8, false),
             run(" and a comment without its range", base),
             comment("Cy", "C", "not a date", {paragraph({run("Lost range.", base)}, body, base)}, 7),
             run(". Across ", base), range(2, true), run("two", base)},
            body, base));
        blocks.push_back(paragraph(
            {run("paragraphs", base), range(2, false),
             comment("Dee", "D", "2020-02-29T23:59:00Z",
                     {paragraph({run("Holds a table", base),
                                 comment("Eve", "E", "", {paragraph({run("nested", base)}, body, base)}, std::nullopt)},
                                body, base),
                      Block{table}},
                     2),
             run(".", base)},
            body, base));
    }
    // Text boxes: positioned with a border and a fill, in line with no size,
    // behind the text on the page; one holding a note and another text box.
    {
        Frame boxed;
        boxed.width = 2880;
        boxed.height = 1440;
        boxed.position = FramePosition{FrameRelative::Margin, FrameRelative::Text, 360, 120};
        boxed.border = 0x1F3864;
        boxed.fill = 0xFFF2CC;
        boxed.blocks = {paragraph({run("Boxed text", base)}, body, base),
                        paragraph({run("with a note", base), note(Note::Kind::Footnote, {notePara(" In the box.")}, "a")},
                                  body, base)};
        Frame inner;
        inner.blocks = {paragraph({run("inner box", base)}, body, base)};
        boxed.blocks.push_back(paragraph({run("and a box", base), Inline{inner}}, body, base));
        Frame inLine;
        inLine.blocks = {paragraph({run("In line", base)}, body, base)};
        Frame behind;
        behind.width = 4320;
        behind.height = 720;
        behind.position = FramePosition{FrameRelative::Page, FrameRelative::Page, 1440, 10080};
        behind.wrap = FrameWrap::Behind;
        behind.blocks = {paragraph({run("Behind the text", base)}, body, base)};
        blocks.push_back(paragraph({run("Boxes: anchored here", base), Inline{boxed}, run(", in line", base),
                                    Inline{inLine}, run(" and behind", base), Inline{behind}, run(".", base)},
                                   body, base));
    }
    // A table cell with a footnote; a header with a note and a text box.
    {
        Table table;
        TableRow row;
        row.cells = {cell(3000, {paragraph({run("Cell note", base), note(Note::Kind::Footnote, {notePara(" From a cell.")})},
                                           body, base)})};
        table.rows = {row};
        blocks.push_back(Block{table});
        blocks.push_back(paragraph({run("After the cell", base)}, body, base));
        Frame headerBox;
        headerBox.width = 1440;
        headerBox.height = 360;
        headerBox.position = FramePosition{FrameRelative::Page, FrameRelative::Page, 10000, 300};
        headerBox.blocks = {paragraph({run("Draft", base)}, body, base)};
        d.sections[1].footer = {paragraph({run("Second section footer", base),
                                           note(Note::Kind::Footnote, {notePara(" Not a real note.")}),
                                           Inline{headerBox}},
                                          body, base)};
        d.sections[1].blocks.push_back(
            paragraph({run("Second section note", base), note(Note::Kind::Footnote, {notePara(" Numbered anew.")})},
                      body, base));
    }
    return d;
}

// A page break opening a body paragraph is written as the paragraph's
// "page break before", and read back as that.
inline Document asWritten(Document d) {
    for (Section& section : d.sections) {
        for (Block& block : section.blocks) {
            auto* p = std::get_if<Paragraph>(&block.value);
            if (!p || p->content.empty()) continue;
            const auto* opening = std::get_if<Break>(&p->content.front().value);
            if (!opening || opening->kind != BreakKind::Page) continue;
            p->content.erase(p->content.begin());
            p->props.pageBreakBefore = true;
        }
    }
    return d;
}

}  // namespace orvane::testing
