// Pictures, text boxes and shapes: DrawingML (w:drawing) and VML (w:pict,
// w:object). Pictures go inline where they are anchored; text boxes become
// frames holding their own blocks.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "docx/DocxConverter.h"
#include "docx/DocxUtil.h"
#include "picture/PictureConvert.h"

namespace orvane::docx {

using model::Block;
using model::CharProps;
using model::Inline;

namespace {

model::Twips emuToTwips(long long emu) {
    return static_cast<model::Twips>(std::clamp(emu / 635, 0LL, 31680LL * 4));
}

Opt<model::Twips> emuAttr(pugi::xml_node n, const char* name) {
    pugi::xml_attribute a = n.attribute(name);
    if (!a) return std::nullopt;
    auto v = parseInteger(a.value());
    if (!v) return std::nullopt;
    return emuToTwips(*v);
}

// A VML length ("12pt", "1.5in", "100px", "3cm") in twips.
Opt<model::Twips> vmlLength(std::string_view v) {
    v = trimmed(v);
    if (v.empty()) return std::nullopt;
    if (v.size() > 2 && v.substr(v.size() - 2) == "px") {
        std::string number(v.substr(0, v.size() - 2));
        char* end = nullptr;
        const double px = std::strtod(number.c_str(), &end);
        if (end == number.c_str()) return std::nullopt;
        return static_cast<model::Twips>(std::clamp(px * 15.0, 0.0, 200000.0));
    }
    if (auto t = parseTwips(v)) {
        // A bare number in VML is pixels.
        const bool bare = v.back() >= '0' && v.back() <= '9';
        return bare ? std::clamp(*t * 15, 0, 200000) : std::clamp(*t, 0, 200000);
    }
    return std::nullopt;
}

// A VML offset, which may be negative (left of or above its reference).
Opt<model::Twips> signedVmlLength(std::string_view v) {
    v = trimmed(v);
    if (!v.empty() && v.front() == '-') {
        if (auto t = vmlLength(v.substr(1))) return -*t;
        return std::nullopt;
    }
    return vmlLength(v);
}

enum class Sniffed { Png, Jpeg, Emf, Wmf, Gif, Bmp, Tiff, Svg, Unknown };

Sniffed sniff(const std::string& d) {
    const auto* b = reinterpret_cast<const unsigned char*>(d.data());
    const std::size_t n = d.size();
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return Sniffed::Png;
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return Sniffed::Jpeg;
    if (n >= 44 && b[0] == 1 && b[1] == 0 && b[2] == 0 && b[3] == 0 &&
        std::memcmp(b + 40, " EMF", 4) == 0)
        return Sniffed::Emf;
    if (n >= 4 && b[0] == 0xD7 && b[1] == 0xCD && b[2] == 0xC6 && b[3] == 0x9A) return Sniffed::Wmf;
    if (n >= 4 && (b[0] == 1 || b[0] == 2) && b[1] == 0 && b[2] == 9 && b[3] == 0) return Sniffed::Wmf;
    if (n >= 4 && std::memcmp(b, "GIF8", 4) == 0) return Sniffed::Gif;
    if (n >= 2 && b[0] == 'B' && b[1] == 'M') return Sniffed::Bmp;
    if (n >= 4 && (std::memcmp(b, "II*\0", 4) == 0 || std::memcmp(b, "MM\0*", 4) == 0))
        return Sniffed::Tiff;
    if (d.find("<svg") != std::string::npos) return Sniffed::Svg;
    return Sniffed::Unknown;
}

const char* sniffedName(Sniffed s) {
    switch (s) {
    case Sniffed::Gif: return "GIF";
    case Sniffed::Bmp: return "BMP";
    case Sniffed::Tiff: return "TIFF";
    case Sniffed::Svg: return "SVG";
    default: return "an unknown";
    }
}

// Positions may be negative (left of or above their reference).
model::Twips emuToSignedTwips(long long emu) {
    return static_cast<model::Twips>(std::clamp(emu / 635, -31680LL * 4, 31680LL * 4));
}

Opt<model::Rgb> hexColor(std::string_view v) {
    if (!v.empty() && v.front() == '#') v.remove_prefix(1);
    v = v.substr(0, v.find(' '));
    if (v.size() == 3) {
        auto h = parseHex(v);
        if (!h) return std::nullopt;
        const unsigned long r = (*h >> 8) & 0xF, g = (*h >> 4) & 0xF, b = *h & 0xF;
        return static_cast<model::Rgb>((r * 17) << 16 | (g * 17) << 8 | (b * 17));
    }
    if (v.size() != 6) return std::nullopt;
    auto h = parseHex(v);
    if (!h) return std::nullopt;
    return static_cast<model::Rgb>(*h);
}

// A VML colour: "#RRGGBB", "#RGB" or one of the common names.
Opt<model::Rgb> vmlColor(std::string_view v) {
    if (auto rgb = hexColor(v)) return rgb;
    static constexpr std::pair<std::string_view, model::Rgb> kNames[] = {
        {"black", 0x000000}, {"white", 0xFFFFFF}, {"red", 0xFF0000},    {"green", 0x008000},
        {"blue", 0x0000FF},  {"yellow", 0xFFFF00}, {"gray", 0x808080},  {"silver", 0xC0C0C0},
        {"navy", 0x000080},  {"maroon", 0x800000}, {"purple", 0x800080}, {"teal", 0x008080},
        {"lime", 0x00FF00},  {"aqua", 0x00FFFF},  {"fuchsia", 0xFF00FF}, {"olive", 0x808000}};
    v = v.substr(0, v.find(' '));
    for (const auto& [name, rgb] : kNames) {
        if (name == v) return rgb;
    }
    return std::nullopt;
}

// VML's booleans: "t" and "f" besides the usual words.
Opt<bool> vmlBool(std::string_view v) {
    v = trimmed(v);
    if (v == "t") return true;
    if (v == "f") return false;
    return parseOnOff(v);
}

// A number of a group's own units; nullopt when there is none.
Opt<double> plainNumber(std::string_view v) {
    v = trimmed(v);
    if (v.empty() || v.size() > 40) return std::nullopt;
    const std::string text(v);
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(d)) return std::nullopt;
    return d;
}

// The value of one declaration of a VML style attribute; empty when absent.
std::string_view vmlStyleValue(std::string_view style, std::string_view name) {
    while (!style.empty()) {
        const auto semi = style.find(';');
        const std::string_view decl = style.substr(0, semi);
        style = semi == std::string_view::npos ? std::string_view() : style.substr(semi + 1);
        const auto colon = decl.find(':');
        if (colon != std::string_view::npos && trimmed(decl.substr(0, colon)) == name)
            return trimmed(decl.substr(colon + 1));
    }
    return {};
}

// A VML style's place or size ("left", "width") as a number of the enclosing
// group's units.
Opt<double> styleNumber(std::string_view style, std::string_view name) {
    return plainNumber(vmlStyleValue(style, name));
}

// "x,y" as VML's coordorigin and coordsize write it; missing parts take the defaults.
std::pair<double, double> numberPair(std::string_view v, double dx, double dy) {
    const auto comma = v.find(',');
    const Opt<double> x = plainNumber(v.substr(0, comma));
    const Opt<double> y = comma == std::string_view::npos ? std::nullopt : plainNumber(v.substr(comma + 1));
    return {x.value_or(dx), y.value_or(dy)};
}

// Twips from a computed place or size, kept within a few pages either way.
model::Twips clampedTwips(double v, bool allowNegative) {
    if (!std::isfinite(v)) return 0;
    const double limit = 31680.0 * 4;
    return static_cast<model::Twips>(std::lround(std::clamp(v, allowNegative ? -limit : 0.0, limit)));
}

// A DrawingML colour choice (a:srgbClr, a:sysClr; theme colours count as black).
Opt<model::Rgb> drawingColor(pugi::xml_node fill) {
    if (pugi::xml_node c = fill.child("a:srgbClr")) return hexColor(c.attribute("val").value());
    if (pugi::xml_node c = fill.child("a:sysClr")) {
        if (auto rgb = hexColor(c.attribute("lastClr").value())) return rgb;
        return std::string_view(c.attribute("val").value()) == "window" ? 0xFFFFFF : 0x000000;
    }
    if (fill.child("a:schemeClr") || fill.child("a:prstClr")) return 0x000000;
    return std::nullopt;
}

model::FrameRelative relativeFrom(std::string_view v) {
    if (v == "page" || v == "leftMargin" || v == "rightMargin" || v == "insideMargin" ||
        v == "outsideMargin" || v == "topMargin" || v == "bottomMargin")
        return model::FrameRelative::Page;
    if (v == "margin") return model::FrameRelative::Margin;
    return model::FrameRelative::Text;
}

// wp:positionH / wp:positionV, looking through mc:AlternateContent for the
// variant with an absolute offset (the Choice often holds percentages).
pugi::xml_node positionElement(pugi::xml_node anchor, const char* name) {
    for (pugi::xml_node c = anchor.first_child(); c; c = c.next_sibling()) {
        if (is(c.name(), name)) return c;
        if (is(c.name(), "mc:AlternateContent")) {
            pugi::xml_node found;
            for (pugi::xml_node branch = c.first_child(); branch; branch = branch.next_sibling()) {
                pugi::xml_node p = branch.child(name);
                if (p && p.child("wp:posOffset")) return p;
                if (p && !found) found = p;
            }
            if (found) return found;
        }
    }
    return {};
}

Opt<model::FramePosition> anchorPosition(pugi::xml_node anchor) {
    model::FramePosition pos;
    if (parseOnOff(anchor.attribute("simplePos").value()).value_or(false)) {
        pugi::xml_node simple = anchor.child("wp:simplePos");
        pos.horizontal = pos.vertical = model::FrameRelative::Page;
        pos.x = emuToSignedTwips(parseInteger(simple.attribute("x").value()).value_or(0));
        pos.y = emuToSignedTwips(parseInteger(simple.attribute("y").value()).value_or(0));
        return pos;
    }
    pugi::xml_node h = positionElement(anchor, "wp:positionH");
    pugi::xml_node v = positionElement(anchor, "wp:positionV");
    pos.horizontal = relativeFrom(h.attribute("relativeFrom").value());
    pos.vertical = relativeFrom(v.attribute("relativeFrom").value());
    // Alignments (centre, right) need the page's geometry: they stay at 0.
    pos.x = emuToSignedTwips(parseInteger(h.child_value("wp:posOffset")).value_or(0));
    pos.y = emuToSignedTwips(parseInteger(v.child_value("wp:posOffset")).value_or(0));
    return pos;
}

model::FrameWrap anchorWrap(pugi::xml_node anchor) {
    using W = model::FrameWrap;
    for (pugi::xml_node c = anchor.first_child(); c; c = c.next_sibling()) {
        const char* n = c.name();
        if (is(n, "wp:wrapSquare")) return W::Square;
        if (is(n, "wp:wrapTight")) return W::Tight;
        if (is(n, "wp:wrapThrough")) return W::Through;
        if (is(n, "wp:wrapTopAndBottom")) return W::TopBottom;
        if (is(n, "wp:wrapNone"))
            return parseOnOff(anchor.attribute("behindDoc").value()).value_or(false) ? W::Behind : W::InFront;
    }
    return W::Square;
}

// A VML shape's style: size, and position when it is placed absolutely.
void vmlAnchor(pugi::xml_node shape, Opt<model::Twips>& cx, Opt<model::Twips>& cy,
               Opt<model::FramePosition>& position, model::FrameWrap& wrap) {
    std::string_view style = shape.attribute("style").value();
    bool absolute = false;
    bool behind = false;
    model::FramePosition pos;
    pos.horizontal = pos.vertical = model::FrameRelative::Text;
    while (!style.empty()) {
        const auto semi = style.find(';');
        std::string_view decl = style.substr(0, semi);
        style = semi == std::string_view::npos ? std::string_view() : style.substr(semi + 1);
        const auto colon = decl.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = trimmed(decl.substr(0, colon));
        const std::string_view value = trimmed(decl.substr(colon + 1));
        if (key == "width") {
            if (auto t = vmlLength(value)) cx = t;
        } else if (key == "height") {
            if (auto t = vmlLength(value)) cy = t;
        } else if (key == "position") {
            absolute = value == "absolute";
        } else if (key == "margin-left") {
            if (auto t = signedVmlLength(value)) pos.x = *t;
        } else if (key == "margin-top") {
            if (auto t = signedVmlLength(value)) pos.y = *t;
        } else if (key == "mso-position-horizontal-relative") {
            pos.horizontal = value == "page" ? model::FrameRelative::Page
                             : value == "margin" ? model::FrameRelative::Margin
                                                 : model::FrameRelative::Text;
        } else if (key == "mso-position-vertical-relative") {
            pos.vertical = value == "page" ? model::FrameRelative::Page
                           : value == "margin" ? model::FrameRelative::Margin
                                               : model::FrameRelative::Text;
        } else if (key == "z-index") {
            behind = !value.empty() && value.front() == '-';
        }
    }
    if (!absolute) return;
    position = pos;
    using W = model::FrameWrap;
    std::string_view type = shape.child("w10:wrap").attribute("type").value();
    if (type == "square") wrap = W::Square;
    else if (type == "tight") wrap = W::Tight;
    else if (type == "through") wrap = W::Through;
    else if (type == "topAndBottom") wrap = W::TopBottom;
    else wrap = behind ? W::Behind : W::InFront;
}

// An a:xfrm's offset and extent, and its children's (a group's chOff and
// chExt); the children's default to the group's own.
struct Xfrm {
    double x = 0, y = 0, w = 0, h = 0;
    double childX = 0, childY = 0, childW = 0, childH = 0;
};

Xfrm readXfrm(pugi::xml_node xfrm) {
    auto number = [](pugi::xml_node n, const char* name) {
        return static_cast<double>(parseInteger(n.attribute(name).value()).value_or(0));
    };
    Xfrm f;
    pugi::xml_node off = xfrm.child("a:off"), ext = xfrm.child("a:ext");
    f.x = number(off, "x");
    f.y = number(off, "y");
    f.w = number(ext, "cx");
    f.h = number(ext, "cy");
    pugi::xml_node chOff = xfrm.child("a:chOff"), chExt = xfrm.child("a:chExt");
    f.childX = chOff ? number(chOff, "x") : f.x;
    f.childY = chOff ? number(chOff, "y") : f.y;
    f.childW = chExt ? number(chExt, "cx") : f.w;
    f.childH = chExt ? number(chExt, "cy") : f.h;
    return f;
}

}  // namespace

DocxConverter::GroupSpace DocxConverter::GroupSpace::inner(double x0, double y0, double w, double h,
                                                           double childX, double childY, double childW,
                                                           double childH) const {
    GroupSpace s;
    s.offsetX = x(x0);
    s.offsetY = y(y0);
    s.originX = childX;
    s.originY = childY;
    s.scaleX = scaleX * (childW > 0 && w > 0 ? w / childW : 1.0);
    s.scaleY = scaleY * (childH > 0 && h > 0 ? h / childH : 1.0);
    return s;
}

DocxConverter::Anchor DocxConverter::memberAnchor(const Anchor& group, double x, double y, double w, double h) {
    const GroupSpace& space = *group.group;
    Anchor member;
    member.cx = clampedTwips(w * space.scaleX, false);
    member.cy = clampedTwips(h * space.scaleY, false);
    member.wrap = group.wrap;
    if (group.position) {
        model::FramePosition pos = *group.position;
        pos.x = clampedTwips(pos.x + space.x(x), true);
        pos.y = clampedTwips(pos.y + space.y(y), true);
        member.position = pos;
    }
    return member;
}

DocxConverter::Anchor DocxConverter::placedMember(const Anchor& anchor, pugi::xml_node xfrm) {
    if (!anchor.group) return anchor;
    const Xfrm f = readXfrm(xfrm);
    return memberAnchor(anchor, f.x, f.y, f.w, f.h);
}

// ---------------------------------------------------------------------------
// Pictures and text boxes

void DocxConverter::convertGraphic(pugi::xml_node node, const CharProps& props, const Anchor& anchor,
                                   int depth) {
    checkDepth(depth);
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const char* name = child.name();
        if (is(name, "wp:inline") || is(name, "wp:anchor")) {
            pugi::xml_node extent = child.child("wp:extent");
            Anchor inner;
            inner.cx = emuAttr(extent, "cx");
            inner.cy = emuAttr(extent, "cy");
            if (is(name, "wp:anchor")) {
                inner.position = anchorPosition(child);
                inner.wrap = anchorWrap(child);
            }
            const std::string link = hyperlinkInstruction(
                child.child("wp:docPr").child("a:hlinkClick").attribute("r:id").value(), "");
            withHyperlink(link, [&] { convertGraphic(child, props, inner, depth + 1); });
        } else if (is(name, "pic:pic")) {
            pugi::xml_node blip = child.child("pic:blipFill").child("a:blip");
            const Anchor placed = placedMember(anchor, child.child("pic:spPr").child("a:xfrm"));
            Opt<model::Twips> w = placed.cx, h = placed.cy;
            if (!w || !h) {
                pugi::xml_node ext = child.child("pic:spPr").child("a:xfrm").child("a:ext");
                w = emuAttr(ext, "cx");
                h = emuAttr(ext, "cy");
            }
            if (const char* id = blip.attribute("r:embed").value(); *id) {
                emitImage(id, props, placed, w.value_or(0), h.value_or(0));
            } else if (*blip.attribute("r:link").value()) {
                warnOnce("Pictures linked from outside the document are left out");
            }
        } else if (is(name, "wps:wsp")) {
            pugi::xml_node content = child.child("wps:txbx").child("w:txbxContent");
            if (!content) continue;  // a shape without text, or the tail of a linked chain
            pugi::xml_node spPr = child.child("wps:spPr");
            const Anchor placed = placedMember(anchor, spPr.child("a:xfrm"));
            model::Frame frame;
            Opt<model::Twips> w = placed.cx, h = placed.cy;
            if (!w || !h) {
                pugi::xml_node ext = spPr.child("a:xfrm").child("a:ext");
                w = emuAttr(ext, "cx");
                h = emuAttr(ext, "cy");
            }
            frame.width = w.value_or(0);
            // A box that grows with its text has no height of its own.
            frame.height = child.child("wps:bodyPr").child("a:spAutoFit") ? 0 : h.value_or(0);
            frame.position = placed.position;
            frame.wrap = placed.wrap;
            // Line and fill as the shape sets them, else as its style implies.
            pugi::xml_node style = child.child("wps:style");
            pugi::xml_node ln = spPr.child("a:ln");
            if (ln.child("a:noFill")) frame.border.reset();
            else if (pugi::xml_node fill = ln.child("a:solidFill")) frame.border = drawingColor(fill);
            else if (parseInteger(style.child("a:lnRef").attribute("idx").value()).value_or(0) > 0)
                frame.border = 0x000000;
            if (spPr.child("a:noFill")) frame.fill.reset();
            else if (pugi::xml_node fill = spPr.child("a:solidFill")) frame.fill = drawingColor(fill);
            else if (parseInteger(style.child("a:fillRef").attribute("idx").value()).value_or(0) > 0)
                frame.fill = 0xFFFFFF;
            convertTextBox(content, std::move(frame), depth + 1);
        } else if (is(name, "wpg:wgp") || is(name, "wpg:grpSp") || is(name, "wpc:wpc")) {
            // Members stand where the group's coordinates put them, from the
            // group's own place.
            Anchor members;
            members.position = anchor.position;
            members.wrap = anchor.wrap;
            const Xfrm f = readXfrm(child.child("wpg:grpSpPr").child("a:xfrm"));
            if (anchor.group) {
                members.group = is(name, "wpc:wpc") ? *anchor.group
                                                     : anchor.group->inner(f.x, f.y, f.w, f.h, f.childX, f.childY,
                                                                           f.childW, f.childH);
            } else {
                // The outermost group fills its drawing's extent; a canvas
                // places its members in EMUs from its corner.
                GroupSpace space;
                space.scaleX = space.scaleY = 1.0 / 635;
                if (!is(name, "wpc:wpc")) {
                    space.originX = f.childX;
                    space.originY = f.childY;
                    const double w = anchor.cx ? *anchor.cx : f.w / 635;
                    const double h = anchor.cy ? *anchor.cy : f.h / 635;
                    if (f.childW > 0) space.scaleX = w / f.childW;
                    if (f.childH > 0) space.scaleY = h / f.childH;
                }
                members.group = space;
            }
            convertGraphic(child, props, members, depth + 1);
        } else if (is(name, "mc:AlternateContent")) {
            convertGraphic(chooseAlternate(child), props, anchor, depth + 1);
        } else if (is(name, "v:imagedata")) {
            const char* id = child.attribute("r:id").value();
            if (!*id) id = child.attribute("o:relid").value();
            if (*id) emitImage(id, props, anchor, anchor.cx.value_or(0), anchor.cy.value_or(0));
        } else if (is(name, "v:textbox")) {
            pugi::xml_node content = child.child("w:txbxContent");
            if (!content) continue;
            model::Frame frame;
            frame.width = anchor.cx.value_or(0);
            const bool grows =
                vmlBool(vmlStyleValue(child.attribute("style").value(), "mso-fit-shape-to-text")).value_or(false);
            frame.height = grows ? 0 : anchor.cy.value_or(0);
            frame.position = anchor.position;
            frame.wrap = anchor.wrap;
            // VML draws a black line and a white fill unless told otherwise.
            pugi::xml_node shape = node;
            if (!vmlBool(shape.attribute("stroked").value()).value_or(true)) frame.border.reset();
            else frame.border = vmlColor(shape.attribute("strokecolor").value()).value_or(0x000000);
            if (!vmlBool(shape.attribute("filled").value()).value_or(true)) frame.fill.reset();
            else frame.fill = vmlColor(shape.attribute("fillcolor").value()).value_or(0xFFFFFF);
            convertTextBox(content, std::move(frame), depth + 1);
        } else if (is(name, "v:shape") || is(name, "v:rect") || is(name, "v:roundrect") ||
                   is(name, "v:oval") || is(name, "v:image") || is(name, "v:group")) {
            Anchor inner;
            const bool group = is(name, "v:group");
            const auto [originX, originY] = numberPair(child.attribute("coordorigin").value(), 0, 0);
            const auto [sizeW, sizeH] = numberPair(child.attribute("coordsize").value(), 1000, 1000);
            if (anchor.group) {
                // A member's left, top, width and height are in its group's units.
                std::string_view style = child.attribute("style").value();
                const double x = styleNumber(style, "left").value_or(0);
                const double y = styleNumber(style, "top").value_or(0);
                const double w = styleNumber(style, "width").value_or(0);
                const double h = styleNumber(style, "height").value_or(0);
                if (group) {
                    inner.position = anchor.position;
                    inner.wrap = anchor.wrap;
                    inner.group = anchor.group->inner(x, y, w, h, originX, originY, sizeW, sizeH);
                } else {
                    inner = memberAnchor(anchor, x, y, w, h);
                }
            } else {
                vmlAnchor(child, inner.cx, inner.cy, inner.position, inner.wrap);
                if (group) {
                    GroupSpace space;
                    space.originX = originX;
                    space.originY = originY;
                    if (inner.cx && sizeW > 0) space.scaleX = *inner.cx / sizeW;
                    if (inner.cy && sizeH > 0) space.scaleY = *inner.cy / sizeH;
                    inner.group = space;
                    inner.cx.reset();
                    inner.cy.reset();
                }
            }
            std::string link;
            if (const char* href = child.attribute("href").value(); *href) link = "HYPERLINK " + quoted(href);
            withHyperlink(link, [&] { convertGraphic(child, props, inner, depth + 1); });
        } else if (is(name, "w:txbxContent")) {
            model::Frame frame;
            frame.width = anchor.cx.value_or(0);
            frame.height = anchor.cy.value_or(0);
            frame.position = anchor.position;
            frame.wrap = anchor.wrap;
            convertTextBox(child, std::move(frame), depth + 1);
        } else if (is(name, "c:chart")) {
            warnOnce("Charts are left out");
        } else if (is(name, "a:extLst") || is(name, "wps:spPr") || is(name, "pic:spPr") ||
                   is(name, "wps:bodyPr") || is(name, "v:shapetype") || is(name, "wp:extent") ||
                   is(name, "wp:docPr") || is(name, "pic:nvPicPr") || is(name, "wpg:grpSpPr") ||
                   is(name, "o:OLEObject") || is(name, "w:control") || is(name, "wps:linkedTxbx")) {
            continue;
        } else {
            convertGraphic(child, props, anchor, depth + 1);
        }
    }
}

void DocxConverter::convertTextBox(pugi::xml_node txbxContent, model::Frame frame, int depth) {
    InlineState saved = takeInlineState();
    convertBlocks(txbxContent, &frame.blocks, false, depth + 1);
    restoreInlineState(std::move(saved));
    emitInline(Inline{std::move(frame)});
}

void DocxConverter::emitImage(const std::string& relId, const CharProps& props, const Anchor& anchor, model::Twips cx,
                              model::Twips cy) {
    (void)props;
    const Relationship* rel = m_scope.rels ? m_scope.rels->byId(relId) : nullptr;
    if (!rel) return;
    if (rel->external) {
        warnOnce("Pictures linked from outside the document are left out");
        return;
    }
    auto cached = m_images.find(rel->target);
    if (cached == m_images.end()) {
        std::shared_ptr<model::Image> image;
        std::string bytes;
        std::string error;
        if (!m_pkg.readBytes(rel->target, bytes, error)) {
            if (m_pkg.refused()) throw DocxError(error);
            warnOnce(error + "; the picture was left out");
        } else {
            const Sniffed kind = sniff(bytes);
            Opt<model::ImageFormat> format;
            switch (kind) {
            case Sniffed::Png: format = model::ImageFormat::Png; break;
            case Sniffed::Jpeg: format = model::ImageFormat::Jpeg; break;
            case Sniffed::Emf: format = model::ImageFormat::Emf; break;
            case Sniffed::Wmf: format = model::ImageFormat::Wmf; break;
            default: break;
            }
            if (kind == Sniffed::Gif || kind == Sniffed::Bmp) {
                // RTF has no place for these: they travel as PNG.
                picture::PngImage png;
                const picture::Conversion outcome = kind == Sniffed::Gif ? picture::gifToPng(bytes, m_pixels, png)
                                                                         : picture::bmpToPng(bytes, m_pixels, png);
                if (outcome == picture::Conversion::Converted) {
                    image = std::make_shared<model::Image>();
                    image->format = model::ImageFormat::Png;
                    image->pixelWidth = png.width;
                    image->pixelHeight = png.height;
                    image->data = std::move(png.data);
                } else {
                    warnOnce(picture::leftOutWarning(outcome, sniffedName(kind), png, m_pixels));
                }
            } else if (!format) {
                warnOnce(std::string("Pictures in ") + sniffedName(kind) + " format are left out");
            } else {
                image = std::make_shared<model::Image>();
                image->format = *format;
                picture::pixelSize(bytes, *format, image->pixelWidth, image->pixelHeight);
                image->data = std::move(bytes);
            }
        }
        cached = m_images.emplace(rel->target, std::move(image)).first;
    }
    if (!cached->second) return;
    if (!charge(cached->second->data.size(), "pictures")) return;
    model::Image image = *cached->second;
    image.width = cx;
    image.height = cy;
    // No displayed size given: the natural size at 96 pixels per inch.
    if (image.width <= 0) image.width = image.pixelWidth * 15;
    if (image.height <= 0) image.height = image.pixelHeight * 15;
    // A member the group's coordinates did not place stays in line.
    if (!anchor.group) {
        image.position = anchor.position;
        image.wrap = anchor.wrap;
    }
    emitInline(Inline{std::move(image)});
}

}  // namespace orvane::docx
