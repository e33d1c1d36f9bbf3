// Shapes and pictures: text boxes as Word's text-box shapes with their text
// in place as the result, drawn boxes as rectangles, floating pictures as
// picture shapes, and every picture's \pict.

#include "writer/RtfWriterState.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace orvane::rtf::writer {

namespace {

// A first guess at the height of a box that grows with its text: a line per
// paragraph, or its tallest picture in line, and a line per table row. Word
// and LibreOffice grow the box from there (LibreOffice stretches a picture in
// a box to the box, so a box too short for it squashes it).
Twips grownBoxHeight(const std::vector<Block>& blocks) {
    constexpr Twips kLine = 360;
    constexpr Twips kMost = 31680;
    Twips total = 0;
    for (const Block& block : blocks) {
        if (total >= kMost) break;
        if (const auto* p = std::get_if<Paragraph>(&block.value)) {
            Twips tallest = kLine;
            for (const Inline& item : p->content) {
                if (const auto* image = std::get_if<Image>(&item.value)) {
                    if (!image->position) tallest = std::max(tallest, image->height);
                }
            }
            total += std::min(tallest, kMost);
        } else if (const auto* t = std::get_if<Table>(&block.value)) {
            total += kLine * static_cast<Twips>(std::min<std::size_t>(t->rows.size(), 100));
        }
    }
    return std::clamp(total, kLine, kMost);
}

// Shapes give colours as 0xBBGGRR.
long long shapeColor(Rgb c) {
    return static_cast<long long>(((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16));
}

}  // namespace

void Writer::shapePropertyToRtf(std::string_view name, long long value) {
    group("sp");
    group("sn");
    text(name);
    close();
    group("sv");
    text(std::to_string(value));
    close();
    close();
}

void Writer::shapeStringPropertyToRtf(std::string_view name, std::string_view value) {
    group("sp");
    group("sn");
    text(name);
    close();
    group("sv");
    text(value);
    close();
    close();
}

// A text box's paragraphs where it stands, splitting the paragraph around
// it, in a group so that the paragraph goes on as it was after them.
void Writer::frameTextInPlace(const Frame& frame, int depth) {
    if (!m_paragraphEmpty) word("par");
    endLine();
    const int itap = m_itap;
    StoryScope scope(*this, m_story == Story::Body || m_story == Story::HeaderFooter ? Story::Fallback : m_story);
    blocksToRtf(frame.blocks, itap, Ending::Par, depth + 1);
}

void Writer::frameToRtf(const Frame& frame, int depth) {
    if (depth > kMaxDepth) return;
    if (!framesAllowed()) {
        if (frame.blocks.empty()) return;  // a drawn box has nothing to show in line
        open();
        frameTextInPlace(frame, depth);
        close();
        return;
    }
    // Word's text box: a shape of type 202 with its text in \shptxt. A frame
    // without a position stands at its paragraph's top left, the text below it.
    // A frame without text is a drawn box: a rectangle with nothing inside.
    // WordArt: a text-path shape (136 and the other text presets) whose
    // outline is its text, filled with the box's fill.
    const bool hasText = !frame.blocks.empty();
    const bool wordArt = !frame.wordArt.empty();
    const Twips width = frame.width > 0 ? frame.width : m_textWidth;
    const Twips height = frame.height > 0 ? frame.height : wordArt ? 720 : grownBoxHeight(frame.blocks);
    const int type = hasText ? 202 : frame.shapeType > 0 ? frame.shapeType : wordArt ? 136 : 1;
    shapeStart(type, frame.position, frame.position ? frame.wrap : FrameWrap::TopBottom, width, height);
    if (frame.rotation != 0) shapePropertyToRtf("rotation", std::llround(frame.rotation * 65536));
    if (wordArt) {
        shapeStringPropertyToRtf("gtextUNICODE", frame.wordArt);
        if (!frame.wordArtFont.empty()) shapeStringPropertyToRtf("gtextFont", frame.wordArtFont);
        shapePropertyToRtf("fGtext", 1);
    }
    if (frame.height <= 0 && !wordArt) shapePropertyToRtf("fFitShapeToText", 1);
    shapePropertyToRtf("fLine", frame.border ? 1 : 0);
    if (frame.border) shapePropertyToRtf("lineColor", shapeColor(*frame.border));
    shapePropertyToRtf("fFilled", frame.fill ? 1 : 0);
    if (frame.fill) shapePropertyToRtf("fillColor", shapeColor(*frame.fill));
    shapeEnd(frame.position ? frame.wrap : FrameWrap::TopBottom);
    endLine();
    if (hasText) {
        group("shptxt");
        endLine();
        {
            StoryScope scope(*this, Story::Frame);
            m_textWidth = std::max<Twips>(width - 2 * 144, 360);  // less the box's inner margins
            storyBlocksToRtf(frame.blocks, depth + 1);
        }
        close();
    }
    close();
    // Readers without shapes read the result instead: the text in place.
    if (hasText) {
        group("shprslt");
        frameTextInPlace(frame, depth);
        close();
    }
    close();
}

// A floating picture: a picture shape (type 75) holding the picture, and the
// picture in line as the result for readers without shapes.
void Writer::pictureShapeToRtf(const Image& image) {
    const Twips width = image.width > 0 ? image.width : image.pixelWidth * 15;
    const Twips height = image.height > 0 ? image.height : image.pixelHeight * 15;
    shapeStart(75, image.position, image.wrap, width, height);
    shapeEnd(image.wrap);
    open();
    word("sp");
    group("sn");
    text("pib");
    close();
    group("sv");
    pictToRtf(image);
    close();
    close();
    close();
    group("shprslt");
    pictToRtf(image);
    close();
    close();
}

// Opens a \shp and its \shpinst: the place, size and wrapping, the shape's
// type and what its place is measured from. The caller writes the rest of
// the properties and closes both groups.
void Writer::shapeStart(int type, const std::optional<FramePosition>& position, FrameWrap wrap, Twips width,
                        Twips height) {
    const FramePosition at = position.value_or(FramePosition{});
    const auto relative = [](FrameRelative r, bool horizontal) -> std::pair<std::string_view, int> {
        switch (r) {
        case FrameRelative::Margin: return {horizontal ? "shpbxmargin" : "shpbymargin", 0};
        case FrameRelative::Page: return {horizontal ? "shpbxpage" : "shpbypage", 1};
        case FrameRelative::Text: break;
        }
        return {horizontal ? "shpbxcolumn" : "shpbypara", 2};
    };
    const auto [bx, posrelh] = relative(at.horizontal, true);
    const auto [by, posrelv] = relative(at.vertical, false);
    int wr = 2;
    switch (wrap) {
    case FrameWrap::Square: wr = 2; break;
    case FrameWrap::TopBottom: wr = 1; break;
    case FrameWrap::Tight: wr = 4; break;
    case FrameWrap::Through: wr = 5; break;
    case FrameWrap::InFront:
    case FrameWrap::Behind: wr = 3; break;
    }
    const int id = m_shapes++;

    open();
    word("shp");
    ignorableGroup("shpinst");
    word("shpleft", at.x);
    word("shptop", at.y);
    word("shpright", static_cast<long long>(at.x) + width);
    word("shpbottom", static_cast<long long>(at.y) + height);
    word("shpfhdr", m_inHeaderFooter ? 1 : 0);
    word(bx);
    word(by);
    word("shpwr", wr);
    word("shpwrk", 0);
    word("shpfblwtxt", wrap == FrameWrap::Behind ? 1 : 0);
    word("shpz", id);
    word("shplid", 1025 + static_cast<long long>(id));
    endLine();
    shapePropertyToRtf("shapeType", type);
    shapePropertyToRtf("posrelh", posrelh);
    shapePropertyToRtf("posrelv", posrelv);
}

// The properties every shape ends with: behind the text or not, and kept in
// its table cell.
void Writer::shapeEnd(FrameWrap wrap) {
    if (wrap == FrameWrap::Behind) shapePropertyToRtf("fBehindDocument", 1);
    shapePropertyToRtf("fLayoutInCell", 1);
}

void Writer::imageToRtf(const Image& image) {
    if (image.data.empty()) return;
    if (image.position && framesAllowed()) {
        pictureShapeToRtf(image);
    } else {
        pictToRtf(image);
    }
}

void Writer::pictToRtf(const Image& image) {
    std::string_view data = image.data;
    if (data.empty()) return;
    // Twips for the shown size; pixels (at 96 dpi, 15 twips each) when only those are known.
    const Twips width = image.width > 0 ? image.width : image.pixelWidth * 15;
    const Twips height = image.height > 0 ? image.height : image.pixelHeight * 15;
    int picw = 0, pich = 0;
    std::string_view kind;
    switch (image.format) {
    case ImageFormat::Png:
    case ImageFormat::Jpeg:
        kind = image.format == ImageFormat::Png ? "pngblip" : "jpegblip";
        picw = image.pixelWidth > 0 ? image.pixelWidth : width / 15;
        pich = image.pixelHeight > 0 ? image.pixelHeight : height / 15;
        break;
    case ImageFormat::Emf:
    case ImageFormat::Wmf:
        kind = image.format == ImageFormat::Emf ? "emfblip" : "wmetafile";
        // Metafiles give their size in hundredths of a millimetre.
        picw = static_cast<int>(static_cast<long long>(width) * 2540 / 1440);
        pich = static_cast<int>(static_cast<long long>(height) * 2540 / 1440);
        // RTF carries the bare metafile, without the 22-byte placeable header.
        if (image.format == ImageFormat::Wmf && data.size() > 22 && data.substr(0, 4) == "\xD7\xCD\xC6\x9A") {
            data.remove_prefix(22);
        }
        break;
    }
    group("pict");
    if (image.format == ImageFormat::Wmf) {
        word("wmetafile", 8);
    } else {
        word(kind);
    }
    word("picw", picw);
    word("pich", pich);
    if (width > 0) word("picwgoal", width);
    if (height > 0) word("pichgoal", height);
    hex(data);
    close();
}

}  // namespace orvane::rtf::writer
