// Shapes and objects: a {\shp} with text ({\shptxt}) becomes a frame, one with
// a picture (pib) that picture, a plain box an empty frame, each with its place,
// size, wrapping, line and fill; {\shprslt} is left out after a {\*\shpinst}.
// Of objects ({\object}, old drawing objects {\*\do}) only the result is read.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

bool Reader::handleObjectWord(Kw k, GroupState& g) {
    switch (k) {
    case Kw::k_shp:
        if (g.role == Role::None && static_cast<int>(m_shapes.size()) < m_limits.maxNesting) {
            g.role = Role::Shape;
            m_shapes.emplace_back();
        }
        return true;
    case Kw::k_shpinst:
        if (m_stack.size() >= 2) m_stack[m_stack.size() - 2].sawShapeInstance = true;
        g.dest = Dest::NoText;
        return true;
    case Kw::k_shprslt:
        // The result is an older writer's copy of the shape read above.
        if (m_stack.size() >= 2 && m_stack[m_stack.size() - 2].sawShapeInstance) skipGroup();
        return true;
    case Kw::k_object: case Kw::k_do:
        if (g.dest == Dest::Body) g.dest = Dest::NoText;
        return true;
    case Kw::k_result:
        if (g.dest == Dest::NoText) g.dest = Dest::Body;
        return true;
    case Kw::k_sv:
        // A shape's picture (pib) is read as the picture it holds; other
        // values are numbers kept for the shape.
        if (m_shapePropName == "pib" && !m_shapes.empty()) {
            m_shapes.back().hasPicture = true;
            if (g.role == Role::None) {
                g.role = Role::ShapePicture;
                m_shapes.back().inPicture = true;
            }
        }
        if (g.role == Role::None && g.dest == Dest::NoText && m_shapePropName != "pib") {
            g.role = Role::Capture;
            g.roleData = static_cast<int>(Capture::PropValue);
            g.dest = Dest::Capture;
            m_capture.clear();
        }
        return true;
    case Kw::k_sn:
        beginCapture(g, Capture::PropName);
        return true;
    case Kw::k_sp: case Kw::k_shpgrp:
        return true;
    default:
        return false;
    }
}

// A shape property's name ({\sn}) or value ({\sv}), as its group ends.
void Reader::finishShapeCapture(Capture what, std::string text) {
    switch (what) {
    case Capture::PropName: m_shapePropName = std::move(text); break;
    case Capture::PropValue:
        if (!m_shapes.empty() && !m_shapePropName.empty()) {
            char* end = nullptr;
            const long long v = std::strtoll(text.c_str(), &end, 10);
            if (end && end != text.c_str()) m_shapes.back().props[m_shapePropName] = v;
        }
        break;
    default:
        break;
    }
}

// A shape's place, size and wrapping (\shpleft, \shpbxpage, \shpwr, ...).
bool Reader::handleShapeWord(std::string_view name, const RtfToken& t) {
    if (name.substr(0, 3) != "shp") return false;
    if (m_shapes.empty()) return true;
    ShapeState& shape = m_shapes.back();
    const std::int64_t v = t.param;
    if (name == "shpleft") shape.left = v;
    else if (name == "shptop") shape.top = v;
    else if (name == "shpright") shape.right = v;
    else if (name == "shpbottom") shape.bottom = v;
    else if (name == "shpbxmargin") shape.bx = 0;
    else if (name == "shpbxpage") shape.bx = 1;
    else if (name == "shpbxcolumn") shape.bx = 2;
    else if (name == "shpbymargin") shape.by = 0;
    else if (name == "shpbypage") shape.by = 1;
    else if (name == "shpbypara") shape.by = 2;
    else if (name == "shpwr") shape.wrap = t.param;
    else if (name == "shpfblwtxt") shape.belowText = t.param != 0;
    return true;
}

void Reader::finishShape(GroupState& g) {
    if (m_shapes.empty()) return;
    ShapeState shape = std::move(m_shapes.back());
    m_shapes.pop_back();
    const std::int64_t type = shape.prop("shapeType").value_or(shape.hasText ? 202 : 0);
    // A picture shape becomes its picture; a text box its frame; a plain box
    // without text an empty frame. Other drawings (lines, arrows) are left.
    const bool box = !shape.hasPicture && (shape.hasText || type == 1 || type == 202);
    if (!shape.picture && !box) return;
    const auto relative = [](int bx, std::optional<std::int64_t> posrel) {
        const std::int64_t r = posrel.value_or(bx < 0 ? 2 : bx);
        return r == 0 ? FrameRelative::Margin : r == 1 ? FrameRelative::Page : FrameRelative::Text;
    };
    FramePosition at;
    at.horizontal = relative(shape.bx, shape.prop("posrelh"));
    at.vertical = relative(shape.by, shape.prop("posrelv"));
    at.x = clampTwips(shape.left);
    at.y = clampTwips(shape.top);
    FrameWrap wrap = FrameWrap::Square;
    switch (shape.wrap) {
    case 1: wrap = FrameWrap::TopBottom; break;
    case 3:
        wrap = shape.belowText || shape.prop("fBehindDocument").value_or(0) != 0 ? FrameWrap::Behind
                                                                                  : FrameWrap::InFront;
        break;
    case 4: wrap = FrameWrap::Tight; break;
    case 5: wrap = FrameWrap::Through; break;
    default: wrap = FrameWrap::Square; break;
    }
    if (shape.picture) {
        Image image = std::move(*shape.picture);
        image.position = at;
        image.wrap = wrap;
        insertInline(ctxOf(g), std::move(image));
        return;
    }
    const auto bgr = [](std::int64_t c) {
        const auto u = static_cast<std::uint32_t>(c);
        return Rgb(((u & 0xFF) << 16) | (u & 0xFF00) | ((u >> 16) & 0xFF));
    };
    Frame frame;
    frame.width = std::max<Twips>(0, clampTwips(shape.right - shape.left));
    frame.height = shape.prop("fFitShapeToText").value_or(0) != 0 ? 0
                                                                 : std::max<Twips>(0, clampTwips(shape.bottom - shape.top));
    frame.wrap = wrap;
    // At the paragraph's top left with the lines beside it empty is how a
    // box standing in line is written.
    const bool inLine = at.x == 0 && at.y == 0 && at.horizontal == FrameRelative::Text &&
                        at.vertical == FrameRelative::Text && frame.wrap == FrameWrap::TopBottom;
    if (!inLine) frame.position = at;
    else frame.wrap = FrameWrap::Square;
    // A text box has a black line and a white fill unless it says otherwise.
    if (shape.prop("fLine").value_or(1) != 0) frame.border = bgr(shape.prop("lineColor").value_or(0));
    if (shape.prop("fFilled").value_or(1) != 0) frame.fill = bgr(shape.prop("fillColor").value_or(0xFFFFFF));
    frame.blocks = std::move(shape.text);
    insertInline(ctxOf(g), std::move(frame));
}

}  // namespace orvane::rtf::reader
