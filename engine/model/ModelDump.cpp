// dumpModel: the document model as stable, indented text, one line per node.
//
// Each line names the node and then every field whose value differs from a
// default-constructed one, so a dump shows what a reader actually found and
// stays short. Golden tests compare dumps, and a write/read round trip is
// checked by comparing the dump before and after, so every field of the model
// must appear here.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>

#include "model/ModelDump.h"
#include "encoding/Encoding.h"

namespace orvane {

namespace {

using namespace model;

constexpr int kMaxDepth = 1000;  // deeper content is cut off rather than overflow the stack

// Characters that would be invisible or ambiguous in a dump.
bool showAsCode(char32_t cp) {
    return cp == 0xA0 || cp == 0xAD || (cp >= 0x200B && cp <= 0x200F) || cp == 0x2028 || cp == 0x2029 ||
           cp == 0xFEFF || (cp >= 0xE000 && cp <= 0xF8FF) || (cp >= 0x80 && cp <= 0x9F);
}

std::string quoted(std::string_view s) {
    std::string out = "\"";
    char buf[16];
    for (std::size_t pos = 0; pos < s.size();) {
        const auto c = static_cast<unsigned char>(s[pos]);
        if (c >= 0x80) {
            const std::size_t start = pos;
            const char32_t cp = encoding::decodeUtf8(s, pos);
            const std::string_view bytes = s.substr(start, pos - start);
            if (cp == encoding::kReplacement && bytes != "\xEF\xBF\xBD") {
                // Malformed UTF-8 shows as the bytes it is.
                for (const char b : bytes) {
                    std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(b));
                    out += buf;
                }
            } else if (showAsCode(cp)) {
                std::snprintf(buf, sizeof buf, "\\u{%04X}", static_cast<unsigned>(cp));
                out += buf;
            } else {
                out.append(bytes);  // readable as it is
            }
            continue;
        }
        ++pos;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    out += '"';
    return out;
}

std::string rgb(Rgb c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c & 0xFFFFFF));
    return buf;
}

// FNV-1a, enough to tell whether picture bytes survived unchanged.
std::string checksum(std::string_view data) {
    std::uint64_t h = 1469598103934665603ull;
    for (const char c : data) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

const char* name(FontFamily f) {
    switch (f) {
    case FontFamily::Nil: return "nil";
    case FontFamily::Roman: return "roman";
    case FontFamily::Swiss: return "swiss";
    case FontFamily::Modern: return "modern";
    case FontFamily::Script: return "script";
    case FontFamily::Decor: return "decor";
    case FontFamily::Tech: return "tech";
    case FontFamily::Bidi: return "bidi";
    }
    return "?";
}

const char* name(Underline u) {
    switch (u) {
    case Underline::None: return "none";
    case Underline::Single: return "single";
    case Underline::Words: return "words";
    case Underline::Double: return "double";
    case Underline::Dotted: return "dotted";
    case Underline::Dash: return "dash";
    case Underline::DotDash: return "dotdash";
    case Underline::DotDotDash: return "dotdotdash";
    case Underline::Thick: return "thick";
    case Underline::Wave: return "wave";
    }
    return "?";
}

const char* name(Alignment a) {
    switch (a) {
    case Alignment::Left: return "left";
    case Alignment::Center: return "center";
    case Alignment::Right: return "right";
    case Alignment::Justify: return "justify";
    case Alignment::Distribute: return "distribute";
    }
    return "?";
}

const char* name(LineRule r) {
    switch (r) {
    case LineRule::Auto: return "auto";
    case LineRule::AtLeast: return "atleast";
    case LineRule::Exact: return "exact";
    }
    return "?";
}

const char* name(TabKind k) {
    switch (k) {
    case TabKind::Left: return "left";
    case TabKind::Center: return "center";
    case TabKind::Right: return "right";
    case TabKind::Decimal: return "decimal";
    case TabKind::Bar: return "bar";
    }
    return "?";
}

const char* name(TabLeader l) {
    switch (l) {
    case TabLeader::None: return "none";
    case TabLeader::Dots: return "dots";
    case TabLeader::Hyphens: return "hyphens";
    case TabLeader::Underline: return "underline";
    case TabLeader::ThickLine: return "thick";
    case TabLeader::Equals: return "equals";
    case TabLeader::MiddleDots: return "middledots";
    }
    return "?";
}

const char* name(NumberFormat f) {
    switch (f) {
    case NumberFormat::Decimal: return "decimal";
    case NumberFormat::UpperRoman: return "upperroman";
    case NumberFormat::LowerRoman: return "lowerroman";
    case NumberFormat::UpperLetter: return "upperletter";
    case NumberFormat::LowerLetter: return "lowerletter";
    case NumberFormat::Ordinal: return "ordinal";
    case NumberFormat::Bullet: return "bullet";
    case NumberFormat::None: return "none";
    }
    return "?";
}

const char* name(StyleType t) {
    switch (t) {
    case StyleType::Paragraph: return "paragraph";
    case StyleType::Character: return "character";
    case StyleType::Table: return "table";
    }
    return "?";
}

const char* name(SectionBreak b) {
    switch (b) {
    case SectionBreak::NextPage: return "nextpage";
    case SectionBreak::Continuous: return "continuous";
    case SectionBreak::EvenPage: return "evenpage";
    case SectionBreak::OddPage: return "oddpage";
    case SectionBreak::Column: return "column";
    }
    return "?";
}

const char* name(PageNumberFormat f) {
    switch (f) {
    case PageNumberFormat::Decimal: return "decimal";
    case PageNumberFormat::UpperRoman: return "upperroman";
    case PageNumberFormat::LowerRoman: return "lowerroman";
    case PageNumberFormat::UpperLetter: return "upperletter";
    case PageNumberFormat::LowerLetter: return "lowerletter";
    }
    return "?";
}

const char* name(ImageFormat f) {
    switch (f) {
    case ImageFormat::Png: return "png";
    case ImageFormat::Jpeg: return "jpeg";
    case ImageFormat::Emf: return "emf";
    case ImageFormat::Wmf: return "wmf";
    }
    return "?";
}

const char* name(NoteNumberFormat f) {
    switch (f) {
    case NoteNumberFormat::Decimal: return "decimal";
    case NoteNumberFormat::UpperRoman: return "upperroman";
    case NoteNumberFormat::LowerRoman: return "lowerroman";
    case NoteNumberFormat::UpperLetter: return "upperletter";
    case NoteNumberFormat::LowerLetter: return "lowerletter";
    case NoteNumberFormat::Chicago: return "chicago";
    }
    return "?";
}

const char* name(NoteRestart r) {
    switch (r) {
    case NoteRestart::Continuous: return "continuous";
    case NoteRestart::EachSection: return "eachsection";
    case NoteRestart::EachPage: return "eachpage";
    }
    return "?";
}

const char* name(BorderStyle b) {
    static constexpr const char* kNames[] = {
        "single", "thick", "double", "dotted", "dashed", "dotdash", "dotdotdash", "triple",
        "thinthicksmall", "thickthinsmall", "thinthickthinsmall", "thinthickmedium", "thickthinmedium",
        "thinthickthinmedium", "thinthicklarge", "thickthinlarge", "thinthickthinlarge",
        "wave", "doublewave", "dashsmall", "dashdotstroked", "emboss", "engrave", "outset", "inset", "hairline"};
    const auto i = static_cast<std::size_t>(b);
    return i < std::size(kNames) ? kNames[i] : "?";
}

// " top=single:10:#000000:sp4 ..." for the sides that have a border.
void borderSides(std::string& s, std::initializer_list<std::pair<const char*, const Rare<Border>*>> sides) {
    const Border usual;
    for (const auto& [key, side] : sides) {
        if (!*side) continue;
        const Border& b = **side;
        s += std::string(" ") + key + "=" + name(b.style);
        if (b.width != usual.width) s += ":w" + std::to_string(b.width);
        if (b.color) s += ":" + rgb(*b.color);
        if (b.space != 0) s += ":sp" + std::to_string(b.space);
    }
}

const char* name(FrameRelative r) {
    switch (r) {
    case FrameRelative::Text: return "text";
    case FrameRelative::Margin: return "margin";
    case FrameRelative::Page: return "page";
    }
    return "?";
}

const char* name(FrameWrap w) {
    switch (w) {
    case FrameWrap::Square: return "square";
    case FrameWrap::TopBottom: return "topbottom";
    case FrameWrap::Tight: return "tight";
    case FrameWrap::Through: return "through";
    case FrameWrap::InFront: return "infront";
    case FrameWrap::Behind: return "behind";
    }
    return "?";
}

std::string position(const FramePosition& p) {
    return std::string(" at=") + name(p.horizontal) + ":" + std::to_string(p.x) + "," + name(p.vertical) + ":" +
           std::to_string(p.y);
}

// " ins by=\"Ann\" on=\"2021-08-31T10:15:00Z\"", or nothing when not a tracked change.
std::string revision(const std::optional<Revision>& r) {
    if (!r) return {};
    std::string s = r->kind == Revision::Kind::Insertion ? " ins" : " del";
    if (!r->author.empty()) s += " by=" + quoted(r->author);
    if (!r->date.empty()) s += " on=" + quoted(r->date);
    return s;
}

// "format:start:restart", e.g. "lowerroman:1:continuous".
std::string numbering(const NoteNumbering& n) {
    return std::string(name(n.format)) + ":" + std::to_string(n.start) + ":" + name(n.restart);
}

class Dumper {
public:
    std::string document(const Document& d);

private:
    void line(int indent, const std::string& text) {
        m_out.append(static_cast<std::size_t>(indent) * 2, ' ');
        m_out += text;
        m_out += '\n';
    }
    static void flag(std::string& s, bool on, const char* word) {
        if (on) {
            s += ' ';
            s += word;
        }
    }
    static void number(std::string& s, const char* key, long long value, long long fallback) {
        if (value != fallback) {
            s += ' ';
            s += key;
            s += '=';
            s += std::to_string(value);
        }
    }
    static void color(std::string& s, const char* key, const std::optional<Rgb>& c) {
        if (c) {
            s += ' ';
            s += key;
            s += '=';
            s += rgb(*c);
        }
    }
    static void index(std::string& s, const char* key, const std::optional<int>& i) {
        if (i) {
            s += ' ';
            s += key;
            s += '=';
            s += std::to_string(*i);
        }
    }
    static std::string chars(const CharProps& c);
    static std::string para(const ParaProps& p);
    void blocks(const std::vector<Block>& blocks, int indent);
    void inlines(const std::vector<Inline>& inlines, int indent);
    void sectionProps(const SectionProps& p, std::string& s);

    std::string m_out;
};

std::string Dumper::chars(const CharProps& c) {
    const CharProps d;
    std::string s;
    number(s, "f", c.font, d.font);
    index(s, "ea", c.eastAsiaFont);
    index(s, "cs", c.complexFont);
    number(s, "fs", c.sizeHalfPoints, d.sizeHalfPoints);
    flag(s, c.bold, "b");
    flag(s, c.italic, "i");
    if (c.underline != Underline::None) s += std::string(" ul=") + name(c.underline);
    flag(s, c.strike, "strike");
    flag(s, c.doubleStrike, "dstrike");
    color(s, "color", c.color);
    color(s, "highlight", c.highlight);
    color(s, "shading", c.shading);
    flag(s, c.verticalAlign == VerticalAlign::Superscript, "super");
    flag(s, c.verticalAlign == VerticalAlign::Subscript, "sub");
    flag(s, c.caps, "caps");
    flag(s, c.smallCaps, "smallcaps");
    flag(s, c.hidden, "hidden");
    flag(s, c.rtl, "rtl");
    number(s, "spacing", c.spacing, d.spacing);
    number(s, "lang", c.lang, d.lang);
    index(s, "cstyle", c.charStyle);
    return s;
}

std::string Dumper::para(const ParaProps& p) {
    const ParaProps d;
    std::string s;
    index(s, "style", p.style);
    if (p.alignment != d.alignment) s += std::string(" align=") + name(p.alignment);
    number(s, "li", p.leftIndent, d.leftIndent);
    number(s, "ri", p.rightIndent, d.rightIndent);
    number(s, "fi", p.firstLineIndent, d.firstLineIndent);
    number(s, "sb", p.spaceBefore, d.spaceBefore);
    number(s, "sa", p.spaceAfter, d.spaceAfter);
    number(s, "line", p.lineSpacing, d.lineSpacing);
    if (p.lineRule != d.lineRule) s += std::string(" rule=") + name(p.lineRule);
    flag(s, p.keepNext, "keepnext");
    flag(s, p.keepLines, "keeplines");
    flag(s, p.pageBreakBefore, "pagebreakbefore");
    flag(s, !p.widowControl, "nowidow");
    flag(s, p.contextualSpacing, "contextual");
    flag(s, p.autoSpaceBefore, "sbauto");
    flag(s, p.autoSpaceAfter, "saauto");
    flag(s, p.rtl, "rtl");
    index(s, "outline", p.outlineLevel);
    if (!p.tabs.empty()) {
        s += " tabs=";
        for (std::size_t i = 0; i < p.tabs.size(); ++i) {
            const TabStop& t = p.tabs[i];
            if (i) s += ',';
            s += std::to_string(t.position);
            if (t.kind != TabKind::Left) s += std::string(":") + name(t.kind);
            if (t.leader != TabLeader::None) s += std::string(":") + name(t.leader);
        }
    }
    if (p.list) s += " list=" + std::to_string(p.list->listId) + ":" + std::to_string(p.list->level);
    color(s, "shading", p.shading);
    borderSides(s, {{"brdrt", &p.borders.top}, {"brdrl", &p.borders.left}, {"brdrb", &p.borders.bottom},
                    {"brdrr", &p.borders.right}, {"brdrbtw", &p.borders.between}});
    return s;
}

void Dumper::sectionProps(const SectionProps& p, std::string& s) {
    const SectionProps d;
    number(s, "pagew", p.pageWidth, d.pageWidth);
    number(s, "pageh", p.pageHeight, d.pageHeight);
    flag(s, p.landscape, "landscape");
    number(s, "margl", p.marginLeft, d.marginLeft);
    number(s, "margr", p.marginRight, d.marginRight);
    number(s, "margt", p.marginTop, d.marginTop);
    number(s, "margb", p.marginBottom, d.marginBottom);
    number(s, "headery", p.headerDistance, d.headerDistance);
    number(s, "footery", p.footerDistance, d.footerDistance);
    number(s, "cols", p.columns, d.columns);
    number(s, "colsx", p.columnSpacing, d.columnSpacing);
    if (p.breakKind != d.breakKind) s += std::string(" break=") + name(p.breakKind);
    if (p.pageNumberFormat != d.pageNumberFormat) s += std::string(" pgnfmt=") + name(p.pageNumberFormat);
    index(s, "pgnstart", p.pageNumberStart);
    flag(s, p.titlePage, "titlepg");
    if (p.footnoteNumbering) s += " footnotes=" + numbering(*p.footnoteNumbering);
    if (p.endnoteNumbering) s += " endnotes=" + numbering(*p.endnoteNumbering);
}

void Dumper::inlines(const std::vector<Inline>& items, int indent) {
    if (indent > kMaxDepth) return;
    for (const Inline& item : items) {
        if (const auto* run = std::get_if<TextRun>(&item.value)) {
            line(indent, "run " + quoted(run->text) + chars(run->props) + revision(run->revision));
        } else if (const auto* brk = std::get_if<Break>(&item.value)) {
            line(indent, std::string("break ") + (brk->kind == BreakKind::Page ? "page" : "column") +
                             chars(brk->props));
        } else if (const auto* field = std::get_if<Field>(&item.value)) {
            line(indent, "field " + quoted(field->instruction));
            inlines(field->result, indent + 1);
        } else if (const auto* start = std::get_if<FieldStart>(&item.value)) {
            line(indent, "fieldstart " + quoted(start->instruction));
        } else if (std::holds_alternative<FieldEnd>(item.value)) {
            line(indent, "fieldend");
        } else if (const auto* image = std::get_if<Image>(&item.value)) {
            std::string s = std::string("image ") + name(image->format) + " bytes=" +
                            std::to_string(image->data.size()) + " sum=" + checksum(image->data);
            number(s, "w", image->width, 0);
            number(s, "h", image->height, 0);
            number(s, "pxw", image->pixelWidth, 0);
            number(s, "pxh", image->pixelHeight, 0);
            if (image->position) {
                s += position(*image->position);
                s += std::string(" wrap=") + name(image->wrap);
            }
            line(indent, s);
        } else if (const auto* mark = std::get_if<Bookmark>(&item.value)) {
            line(indent, std::string("bookmark ") + (mark->start ? "start " : "end ") + quoted(mark->name));
        } else if (const auto* note = std::get_if<Note>(&item.value)) {
            std::string s = note->kind == Note::Kind::Footnote ? "note footnote" : "note endnote";
            if (!note->customMark.empty()) s += " mark=" + quoted(note->customMark);
            line(indent, s + chars(note->referenceProps));
            blocks(note->blocks, indent + 1);
        } else if (const auto* comment = std::get_if<Comment>(&item.value)) {
            std::string s = "comment";
            if (!comment->author.empty()) s += " author=" + quoted(comment->author);
            if (!comment->initials.empty()) s += " initials=" + quoted(comment->initials);
            if (!comment->date.empty()) s += " date=" + quoted(comment->date);
            index(s, "range", comment->range);
            line(indent, s);
            blocks(comment->blocks, indent + 1);
        } else if (const auto* range = std::get_if<CommentRange>(&item.value)) {
            line(indent, std::string("commentrange ") + (range->start ? "start " : "end ") + std::to_string(range->id));
        } else if (const auto* frame = std::get_if<Frame>(&item.value)) {
            std::string s = "frame";
            number(s, "w", frame->width, 0);
            number(s, "h", frame->height, 0);
            if (frame->position) s += position(*frame->position);
            if (frame->wrap != FrameWrap::Square) s += std::string(" wrap=") + name(frame->wrap);
            color(s, "border", frame->border);
            color(s, "fill", frame->fill);
            number(s, "shape", frame->shapeType, 0);
            if (frame->rotation != 0) s += " rotation=" + std::to_string(static_cast<int>(frame->rotation));
            if (!frame->wordArt.empty()) s += " wordart=\"" + frame->wordArt + "\"";
            if (!frame->wordArtFont.empty()) s += " font=\"" + frame->wordArtFont + "\"";
            line(indent, s);
            blocks(frame->blocks, indent + 1);
        }
    }
}

void Dumper::blocks(const std::vector<Block>& items, int indent) {
    if (indent > kMaxDepth) return;
    for (const Block& block : items) {
        if (const auto* p = std::get_if<Paragraph>(&block.value)) {
            line(indent, "para" + para(p->props));
            const std::string mark = chars(p->markProps) + revision(p->markRevision);
            if (!mark.empty()) line(indent + 1, "mark" + mark);
            inlines(p->content, indent + 1);
        } else if (const auto* t = std::get_if<Table>(&block.value)) {
            std::string s = "table";
            number(s, "indent", t->indent, 0);
            if (t->alignment != Alignment::Left) s += std::string(" align=") + name(t->alignment);
            if (t->padding != CellPadding{}) {
                s += " padding=" + std::to_string(t->padding.left) + "," + std::to_string(t->padding.top) + "," +
                     std::to_string(t->padding.right) + "," + std::to_string(t->padding.bottom);
            }
            line(indent, s);
            for (const TableRow& row : t->rows) {
                std::string r = "row";
                number(r, "height", row.height, 0);
                flag(r, row.header, "header");
                line(indent + 1, r);
                for (const TableCell& cell : row.cells) {
                    std::string c = "cell";
                    number(c, "width", cell.width, 0);
                    number(c, "span", cell.gridSpan, 1);
                    if (cell.vmerge == VMerge::Start) c += " vmerge=start";
                    if (cell.vmerge == VMerge::Continue) c += " vmerge=continue";
                    if (cell.valign == CellVAlign::Center) c += " valign=center";
                    if (cell.valign == CellVAlign::Bottom) c += " valign=bottom";
                    color(c, "shading", cell.shading);
                    borderSides(c, {{"top", &cell.borders.top}, {"left", &cell.borders.left},
                                    {"bottom", &cell.borders.bottom}, {"right", &cell.borders.right}});
                    line(indent + 2, c);
                    blocks(cell.blocks, indent + 3);
                }
            }
        }
    }
}

std::string Dumper::document(const Document& d) {
    for (std::size_t i = 0; i < d.fonts.size(); ++i) {
        const Font& f = d.fonts[i];
        std::string s = "font " + std::to_string(i) + " " + quoted(f.name);
        if (f.family != FontFamily::Nil) s += std::string(" ") + name(f.family);
        number(s, "charset", f.charset, 0);
        number(s, "pitch", f.pitch, 0);
        if (!f.altName.empty()) s += " alt=" + quoted(f.altName);
        line(0, s);
    }
    for (std::size_t i = 0; i < d.styles.size(); ++i) {
        const Style& st = d.styles[i];
        std::string s = "style " + std::to_string(i) + " " + quoted(st.name) + " " + name(st.type);
        index(s, "basedon", st.basedOn);
        index(s, "next", st.next);
        line(0, s);
        const std::string p = para(st.para);
        if (!p.empty()) line(1, "para" + p);
        const std::string c = chars(st.chars);
        if (!c.empty()) line(1, "chars" + c);
    }
    for (std::size_t i = 0; i < d.lists.size(); ++i) {
        line(0, "list " + std::to_string(i));
        const ListLevel defaults;
        for (std::size_t k = 0; k < d.lists[i].levels.size(); ++k) {
            const ListLevel& level = d.lists[i].levels[k];
            std::string s = "level " + std::to_string(k) + " " + name(level.format);
            number(s, "start", level.start, defaults.start);
            if (!level.text.empty()) s += " text=" + quoted(level.text);
            number(s, "li", level.leftIndent, 0);
            number(s, "fi", level.firstLineIndent, 0);
            index(s, "font", level.font);
            line(1, s);
        }
    }
    const std::string defaultChars = chars(d.defaultChars);
    if (!defaultChars.empty()) line(0, "defaultchars" + defaultChars);
    const std::string defaultPara = para(d.defaultPara);
    if (!defaultPara.empty()) line(0, "defaultpara" + defaultPara);

    const DocumentInfo& info = d.info;
    std::string s = "info";
    const std::pair<const char*, const std::string*> fields[] = {
        {"title", &info.title},       {"subject", &info.subject},   {"author", &info.author},
        {"keywords", &info.keywords}, {"comments", &info.comments}, {"created", &info.created},
        {"modified", &info.modified},
    };
    for (const auto& [key, value] : fields) {
        if (!value->empty()) s += std::string(" ") + key + "=" + quoted(*value);
    }
    if (s != "info") line(0, s);
    if (d.facingPages) line(0, "facingpages");
    if (d.defaultTab != 720) line(0, "deftab " + std::to_string(d.defaultTab));
    if (d.htmlAutoSpacing) line(0, "htmlautospacing");
    if (!(d.notes == NoteSettings{})) {
        const NoteSettings defaults;
        std::string n = "notes";
        if (!(d.notes.footnotes == defaults.footnotes)) n += " footnotes=" + numbering(d.notes.footnotes);
        if (!(d.notes.endnotes == defaults.endnotes)) n += " endnotes=" + numbering(d.notes.endnotes);
        flag(n, d.notes.footnotesBeneathText, "footnotesbeneathtext");
        flag(n, d.notes.endnotesPerSection, "endnotespersection");
        line(0, n);
    }

    for (std::size_t i = 0; i < d.sections.size(); ++i) {
        const Section& section = d.sections[i];
        std::string head = "section " + std::to_string(i);
        sectionProps(section.props, head);
        line(0, head);
        const std::pair<const char*, const std::vector<Block>*> stories[] = {
            {"header", &section.header},           {"headerfirst", &section.headerFirst},
            {"headereven", &section.headerEven},   {"footer", &section.footer},
            {"footerfirst", &section.footerFirst}, {"footereven", &section.footerEven},
            {"body", &section.blocks},
        };
        for (const auto& [key, story] : stories) {
            if (story->empty()) continue;
            line(1, key);
            blocks(*story, 2);
        }
    }
    return std::move(m_out);
}

}  // namespace

std::string dumpModel(const model::Document& document) {
    Dumper dumper;
    return dumper.document(document);
}

}  // namespace orvane
