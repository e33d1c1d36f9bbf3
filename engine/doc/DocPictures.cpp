// Pictures of a .doc: inline ones (a picture header in the Data stream
// followed by drawing records with the picture itself), floating ones (shapes
// of the drawing layer whose picture lives in the blip store), and text boxes
// placed after the paragraph that anchors them. Metafiles in the drawing
// layer are deflate-compressed.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdint>

#define ZLIB_CONST  // input buffers are not written to
#include <zlib.h>

#include "doc/DocConverter.h"
#include "picture/PictureConvert.h"

namespace orvane::doc {

namespace {

// ---------------------------------------------------------------------------
// Inflate (deflate streams, with or without the two-byte zlib header), never
// past `limit` bytes of output.

bool inflateInto(std::string_view in, std::size_t limit, std::string& out) {
    const bool wrapped = in.size() >= 2 && (static_cast<unsigned char>(in[0]) & 0x0F) == 8 &&
                         ((static_cast<unsigned char>(in[0]) << 8) | static_cast<unsigned char>(in[1])) % 31 == 0;
    z_stream z{};
    if (inflateInit2(&z, wrapped ? MAX_WBITS : -MAX_WBITS) != Z_OK) return false;
    // One byte of room past the limit tells a stream that overflows it from
    // one that fills it exactly.
    const std::size_t room = limit + 1;
    out.clear();
    out.resize(std::min<std::size_t>(room, std::max<std::size_t>(in.size() * 4, 4096)));
    std::size_t produced = 0;
    std::size_t consumed = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (produced == out.size()) {
            if (out.size() >= room) break;
            out.resize(std::min<std::size_t>(room, out.size() * 2));
        }
        const std::size_t inChunk = std::min<std::size_t>(in.size() - consumed, UINT_MAX);
        const std::size_t outChunk = std::min<std::size_t>(out.size() - produced, UINT_MAX);
        z.next_in = reinterpret_cast<const Bytef*>(in.data() + consumed);
        z.avail_in = static_cast<uInt>(inChunk);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z.avail_out = static_cast<uInt>(outChunk);
        status = inflate(&z, Z_NO_FLUSH);
        consumed += inChunk - z.avail_in;
        produced += outChunk - z.avail_out;
        if (status == Z_BUF_ERROR && z.avail_out != 0) break;  // the input ended early
        if (status == Z_BUF_ERROR) status = Z_OK;
    }
    inflateEnd(&z);
    out.resize(produced);
    return status == Z_STREAM_END && produced <= limit;
}

// ---------------------------------------------------------------------------
// Device-independent bitmaps into PNG (RTF carries PNG; a DIB it does not):
// given the file header a .bmp would have, the BMP converter does the rest.

picture::Conversion dibToPng(std::string_view dib, picture::PixelBudget& budget, model::Image& image) {
    const Bytes b{dib};
    const std::size_t headerSize = b.u32(0);
    if (headerSize < 40 || headerSize > dib.size() || dib.size() > 0x7FFFFFF0u) return picture::Conversion::Undecodable;
    const int bpp = static_cast<int>(b.u16(14));
    const std::uint32_t compression = b.u32(16);
    std::size_t colors = b.u32(32);
    if (bpp > 8) colors = 0;
    else if (colors == 0 || colors > (1u << bpp)) colors = 1u << bpp;
    // The pixels follow the header, the colour table and (for bit fields in
    // the short header) three colour masks.
    const std::size_t pixelsAt = headerSize + 4 * colors + (compression == 3 && headerSize == 40 ? 12 : 0);
    std::string bmp = "BM";
    const auto putLe32 = [&bmp](std::size_t v) {
        for (int shift = 0; shift < 32; shift += 8) bmp.push_back(static_cast<char>((v >> shift) & 0xFF));
    };
    putLe32(14 + dib.size());
    putLe32(0);
    putLe32(14 + pixelsAt);
    bmp.append(dib);
    picture::PngImage png;
    const picture::Conversion outcome = picture::bmpToPng(bmp, budget, png);
    image.pixelWidth = png.width;
    image.pixelHeight = png.height;
    if (outcome != picture::Conversion::Converted) return outcome;
    image.format = model::ImageFormat::Png;
    image.data = std::move(png.data);
    return outcome;
}

struct Record {
    std::uint32_t instance = 0;
    std::uint32_t version = 0;
    std::uint32_t type = 0;
    std::size_t dataAt = 0;      // offset of the data within the buffer walked
    std::size_t length = 0;
};

bool readRecord(Bytes b, std::size_t at, std::size_t end, Record& r) {
    if (at + 8 > end || end > b.size()) return false;
    const std::uint32_t verInst = b.u16(at);
    r.version = verInst & 0xF;
    r.instance = verInst >> 4;
    r.type = b.u16(at + 2);
    r.length = b.u32(at + 4);
    r.dataAt = at + 8;
    if (r.length > end - r.dataAt) r.length = end - r.dataAt;  // cut short: read what is there
    return r.type >= 0xF000;
}

}  // namespace

// ---------------------------------------------------------------------------
// The drawing layer: the blip store and the shapes of each drawing

void DocConverter::loadDrawings() {
    if (m_fib.word6) return;
    {
        const auto [fc, lcb] = m_fib.pair(kPlcSpaMom);
        m_spaMom = parsePlc(m_table, fc, lcb, 26);
        const auto [hfc, hlcb] = m_fib.pair(kPlcSpaHdr);
        m_spaHdr = parsePlc(m_table, hfc, hlcb, 26);
    }
    const auto [fc, lcb] = m_fib.pair(kDggInfo);
    if (lcb == 0 || fc >= m_table.size() || lcb > m_table.size() - fc) return;
    const std::size_t end = fc + lcb;

    // Shapes, with the children of groups remembered under the group's id.
    std::function<void(std::size_t, std::size_t, int, std::vector<std::uint32_t>*)> walk =
        [&](std::size_t at, std::size_t stop, int depth, std::vector<std::uint32_t>* group) {
            if (depth > 32) return;
            std::uint32_t groupSpid = 0;
            bool first = true;
            Record r;
            while (readRecord(m_table, at, stop, r)) {
                if (r.type == 0xF004) {  // a shape
                    std::uint32_t spid = 0;
                    Shape shape;
                    Record c;
                    std::size_t p = r.dataAt;
                    while (readRecord(m_table, p, r.dataAt + r.length, c)) {
                        if (c.type == 0xF00A) {
                            spid = m_table.u32(c.dataAt);
                            shape.type = static_cast<int>(c.instance);
                        }
                        if ((c.type == 0xF009 || c.type == 0xF00F) && c.length >= 16) {
                            const std::array<int, 4> box{m_table.i32(c.dataAt), m_table.i32(c.dataAt + 4),
                                                         m_table.i32(c.dataAt + 8), m_table.i32(c.dataAt + 12)};
                            (c.type == 0xF009 ? shape.groupBox : shape.childAnchor) = box;
                        }
                        if (c.type == 0xF00B || c.type == 0xF122) {
                            // Fixed-size values first; complex ones follow in the same order.
                            std::size_t complexAt = c.dataAt + 6 * static_cast<std::size_t>(c.instance);
                            for (std::uint32_t k = 0; k < c.instance && 6 * (k + 1) <= c.length; ++k) {
                                const std::uint32_t raw = m_table.u16(c.dataAt + 6 * k);
                                const std::uint32_t opid = raw & 0x3FFF;
                                const std::uint32_t value = m_table.u32(c.dataAt + 6 * k + 2);
                                if (opid == 0x104) shape.pib = static_cast<int>(value);
                                if (opid == 0x004) shape.rotation = static_cast<std::int32_t>(value) / 65536.0;
                                if (opid == 0x80) shape.textBox = true;
                                if (opid == 0x181 && (value >> 24) == 0) shape.fill = colorRef(value);
                                if (opid == 0x1C0 && (value >> 24) == 0) shape.line = colorRef(value);
                                if (opid == 0x1BF && (value & 0x00100000) && !(value & 0x10)) shape.noFill = true;
                                if (opid == 0x1FF && (value & 0x00080000) && !(value & 0x8)) shape.noLine = true;
                                if (raw & 0x8000) {
                                    if (opid == 0xC0 && value < 1u << 20 && complexAt + value <= c.dataAt + c.length) {
                                        // The text of a WordArt shape.
                                        std::string text = utf16ToUtf8(m_table.sub(complexAt, value & ~1u));
                                        while (!text.empty() && text.back() == '\0') text.pop_back();
                                        shape.text = std::move(text);
                                    }
                                    if (opid == 0xC5 && value < 1u << 12 && complexAt + value <= c.dataAt + c.length) {
                                        std::string font = utf16ToUtf8(m_table.sub(complexAt, value & ~1u));
                                        while (!font.empty() && font.back() == '\0') font.pop_back();
                                        shape.font = std::move(font);
                                    }
                                    complexAt += value;
                                }
                            }
                        }
                        p = c.dataAt + c.length;
                    }
                    if (shape.noFill) shape.fill.reset();
                    else if (!shape.fill) shape.fill = 0xFFFFFF;
                    if (shape.noLine) shape.line.reset();
                    else if (!shape.line) shape.line = 0x000000;
                    if (group && !first) shape.parent = groupSpid;
                    if (spid != 0 && m_shapes.size() < 100000) m_shapes[spid] = shape;
                    if (group) {
                        if (first) groupSpid = spid;
                        else if (spid != 0) group->push_back(spid);
                    }
                    first = false;
                } else if (r.type == 0xF003) {  // a group of shapes
                    std::vector<std::uint32_t> members;
                    walk(r.dataAt, r.dataAt + r.length, depth + 1, &members);
                    if (group && groupSpid != 0 && !members.empty()) {
                        if (auto inner = m_shapes.find(members.front()); inner != m_shapes.end()) inner->second.parent = groupSpid;
                    }
                    if (group) {
                        for (const std::uint32_t m : members) group->push_back(m);
                    }
                    first = false;
                } else if (r.version == 0xF) {
                    walk(r.dataAt, r.dataAt + r.length, depth + 1, nullptr);
                }
                at = r.dataAt + r.length;
            }
            if (group && groupSpid != 0) {
                m_groupMembers[groupSpid] = *group;
                group->insert(group->begin(), groupSpid);
            }
        };

    std::size_t at = fc;
    Record r;
    if (readRecord(m_table, at, end, r) && r.type == 0xF000) {
        Record c;
        std::size_t p = r.dataAt;
        while (readRecord(m_table, p, r.dataAt + r.length, c)) {
            if (c.type == 0xF001) {
                Record blip;
                std::size_t q = c.dataAt;
                while (readRecord(m_table, q, c.dataAt + c.length, blip) && m_blips.size() < 65536) {
                    m_blips.push_back(m_table.sub(q, 8 + blip.length));
                    q = blip.dataAt + blip.length;
                }
            }
            p = c.dataAt + c.length;
        }
        at = r.dataAt + r.length;
    }
    // Then one drawing per story kind, each after a one-byte label.
    for (int n = 0; n < 4 && at + 9 <= end; ++n) {
        if (!readRecord(m_table, at + 1, end, r)) break;
        if (r.type == 0xF002) walk(r.dataAt, r.dataAt + r.length, 0, nullptr);
        at = r.dataAt + r.length;
    }
}

std::optional<model::Image> DocConverter::blipRecord(std::string_view bytes) {
    const Bytes b{bytes};
    Record r;
    if (!readRecord(b, 0, b.size(), r)) return std::nullopt;
    const std::size_t uids = (r.instance & 1) ? 32 : 16;
    const std::string_view data = b.sub(r.dataAt, r.length);
    model::Image image;
    switch (r.type) {
    case 0xF01A:
    case 0xF01B: {
        if (data.size() < uids + 34) return std::nullopt;
        const Bytes h{data.substr(uids)};
        const std::size_t size = h.u32(0);
        const std::size_t saved = h.u32(28);
        const std::uint32_t compression = h.u8(32);
        const std::string_view body = data.substr(uids + 34, saved);
        image.format = r.type == 0xF01A ? model::ImageFormat::Emf : model::ImageFormat::Wmf;
        if (compression == 0) {
            const std::size_t limit = std::min<std::size_t>(std::max<std::size_t>(size, 1), m_limits.maxEntryBytes);
            if (!inflateInto(body, limit, image.data)) {
                warnOnce("A compressed metafile picture could not be unpacked and was left out");
                return std::nullopt;
            }
        } else {
            image.data = std::string(body);
        }
        return image;
    }
    case 0xF01D:
    case 0xF02A:
    case 0xF01E: {
        if (data.size() <= uids + 1) return std::nullopt;
        image.format = r.type == 0xF01E ? model::ImageFormat::Png : model::ImageFormat::Jpeg;
        image.data = std::string(data.substr(uids + 1));
        if (image.format == model::ImageFormat::Png && image.data.size() > 24) {
            const Bytes p{image.data};
            image.pixelWidth = static_cast<int>((p.u8(16) << 24) | (p.u8(17) << 16) | (p.u8(18) << 8) | p.u8(19));
            image.pixelHeight = static_cast<int>((p.u8(20) << 24) | (p.u8(21) << 16) | (p.u8(22) << 8) | p.u8(23));
        }
        return image;
    }
    case 0xF01F:
    {
        const picture::Conversion outcome = data.size() > uids + 1 ? dibToPng(data.substr(uids + 1), m_pixels, image)
                                                                   : picture::Conversion::Undecodable;
        if (outcome == picture::Conversion::Converted) return image;
        picture::PngImage claimed;
        claimed.width = image.pixelWidth;
        claimed.height = image.pixelHeight;
        warnOnce(outcome == picture::Conversion::Undecodable
                     ? "A bitmap (DIB) picture that could not be converted was left out"
                     : picture::leftOutWarning(outcome, "bitmap (DIB)", claimed, m_pixels));
        break;
    }
    case 0xF029: warnOnce("A TIFF picture was left out: RTF output carries PNG, JPEG and metafiles"); break;
    case 0xF01C: warnOnce("A Macintosh PICT picture was left out"); break;
    default: break;
    }
    return std::nullopt;
}

std::optional<model::Image> DocConverter::blipImage(int pib) {
    if (pib < 1 || static_cast<std::size_t>(pib) > m_blips.size()) return std::nullopt;
    const Bytes fbse{m_blips[static_cast<std::size_t>(pib - 1)]};
    Record r;
    if (!readRecord(fbse, 0, fbse.size(), r) || r.type != 0xF007) return std::nullopt;
    const std::size_t nameLength = fbse.u8(r.dataAt + 33);
    const std::size_t embedded = r.dataAt + 36 + nameLength;
    if (r.length > 36 + nameLength) return blipRecord(fbse.sub(embedded, r.dataAt + r.length - embedded));
    const std::uint32_t offset = fbse.u32(r.dataAt + 28);
    if (offset == 0xFFFFFFFF || offset + 8 > m_word.size()) return std::nullopt;
    const std::size_t length = m_word.u32(offset + 4);
    return blipRecord(m_word.sub(offset, 8 + length));
}

std::optional<model::Image> DocConverter::olePicture(std::uint32_t objectId) {
    // An embedded object keeps the picture it shows in its own storage: a
    // picture header (\x03PIC) and a metafile (\x03META).
    const std::uint32_t pool = m_cfb.find(0, "ObjectPool");
    if (pool == cfb::CompoundFile::kNoEntry) return std::nullopt;
    const std::uint32_t storage = m_cfb.find(pool, "_" + std::to_string(objectId));
    if (storage == cfb::CompoundFile::kNoEntry) return std::nullopt;
    std::string meta, header, error;
    const std::uint32_t metaEntry = m_cfb.find(storage, "\x03META");
    if (metaEntry == cfb::CompoundFile::kNoEntry || !m_cfb.read(metaEntry, meta, error)) return std::nullopt;
    const std::uint32_t picEntry = m_cfb.find(storage, "\x03PIC");
    if (picEntry != cfb::CompoundFile::kNoEntry) m_cfb.read(picEntry, header, error);
    const Bytes h{header};
    // The metafile stream starts with the same picture header's first part.
    const Bytes m{meta};
    std::size_t at = 0;
    if (m.size() > 8 && m.u16(0) != 1 && m.u16(0) != 2) at = 8;  // a METAFILEPICT before the metafile
    if (m.size() < at + 18 || (m.u16(at) != 1 && m.u16(at) != 2) || m.u16(at + 2) != 9) return std::nullopt;
    model::Image image;
    image.format = model::ImageFormat::Wmf;
    image.data = std::string(m.sub(at, m.size() - at));
    if (at == 8) {
        // METAFILEPICT: mapping mode and extent in hundredths of a millimetre.
        image.width = static_cast<int>(std::abs(m.i16(2))) * 1440 / 2540;
        image.height = static_cast<int>(std::abs(m.i16(4))) * 1440 / 2540;
    }
    if (h.size() >= 36 && h.i16(28) > 0) {
        const int mx = static_cast<int>(h.u16(32)), my = static_cast<int>(h.u16(34));
        image.width = std::max(0, h.i16(28)) * (mx ? mx : 1000) / 1000;
        image.height = std::max(0, h.i16(30)) * (my ? my : 1000) / 1000;
    }
    return image;
}

std::optional<model::Image> DocConverter::inlinePicture(std::uint32_t location) {
    // Word 6/95 keep pictures in the document stream itself.
    const Bytes source = m_fib.word6 ? m_word : m_data;
    const std::size_t lcb = source.u32(location);
    const std::size_t cbHeader = source.u16(location + 4);
    if (location >= source.size() || lcb < cbHeader || cbHeader < 58 || lcb > source.size() - location) {
        warnOnce("A picture whose data is missing or damaged was left out");
        return std::nullopt;
    }
    const Bytes pic{source.sub(location, lcb)};
    const int mm = static_cast<int>(pic.u16(6));
    const int dxaGoal = pic.i16(28), dyaGoal = pic.i16(30);
    const int mx = static_cast<int>(pic.u16(32)), my = static_cast<int>(pic.u16(34));
    const int cropL = pic.i16(36), cropT = pic.i16(38), cropR = pic.i16(40), cropB = pic.i16(42);
    std::size_t at = cbHeader;
    std::optional<model::Image> image;
    if (mm == 0x66 || mm == 0x64) {
        if (mm == 0x66) at += 1 + pic.u8(at);  // a picture name
        Record r;
        int pib = 0;
        while (!image && readRecord(pic, at, pic.size(), r)) {
            if (r.type == 0xF004) {
                // The inline shape: its properties may name a picture of the blip store.
                Record c;
                std::size_t p = r.dataAt;
                while (readRecord(pic, p, r.dataAt + r.length, c)) {
                    if (c.type == 0xF00B || c.type == 0xF122) {
                        for (std::uint32_t k = 0; k < c.instance && 6 * (k + 1) <= c.length; ++k) {
                            if ((pic.u16(c.dataAt + 6 * k) & 0x3FFF) == 0x104) pib = static_cast<int>(pic.u32(c.dataAt + 6 * k + 2));
                        }
                    }
                    p = c.dataAt + c.length;
                }
                at = r.dataAt + r.length;
                continue;
            }
            if (r.type == 0xF007) {
                const std::size_t nameLength = pic.u8(r.dataAt + 33);
                const std::size_t embedded = r.dataAt + 36 + nameLength;
                if (r.length > 36 + nameLength) {
                    image = blipRecord(pic.sub(embedded, r.dataAt + r.length - embedded));
                } else {
                    // The picture is in the blip store; find it by its offset.
                    const std::uint32_t offset = pic.u32(r.dataAt + 28);
                    if (offset != 0xFFFFFFFF && offset + 8 <= m_word.size())
                        image = blipRecord(m_word.sub(offset, 8 + m_word.u32(offset + 4)));
                }
            } else if (r.type >= 0xF018 && r.type <= 0xF117 && r.type != 0xF01A + 0x100) {
                image = blipRecord(pic.sub(at, 8 + r.length));
            }
            at = r.dataAt + r.length;
        }
        if (!image && pib > 0) image = blipImage(pib);
    } else {
        // An old-style picture: a metafile right after the header.
        const std::string_view body = pic.sub(at, lcb - at);
        const Bytes w{body};
        if (body.size() > 18 && (w.u16(0) == 1 || w.u16(0) == 2) && w.u16(2) == 9) {
            model::Image wmf;
            wmf.format = model::ImageFormat::Wmf;
            wmf.data = std::string(body);
            image = std::move(wmf);
        } else if (body.size() > 8 && Bytes{body}.u16(0) == 0xD8FF) {
            model::Image jpeg;
            jpeg.format = model::ImageFormat::Jpeg;
            jpeg.data = std::string(body);
            image = std::move(jpeg);
        }
    }
    if (!image) {
        warnOnce("A picture in a format the engine does not carry was left out");
        return std::nullopt;
    }
    image->width = std::max(0, (dxaGoal - cropL - cropR)) * (mx ? mx : 1000) / 1000;
    image->height = std::max(0, (dyaGoal - cropT - cropB)) * (my ? my : 1000) / 1000;
    return image;
}

void DocConverter::drawnObject(std::uint32_t cp, Story story, std::uint32_t storyBase, const model::CharProps& props) {
    (void)storyBase;
    const Plc* plc = story == Story::Main ? &m_spaMom : story == Story::Header ? &m_spaHdr : nullptr;
    if (!plc || plc->count() == 0) return;
    const std::uint32_t key = story == Story::Main ? cp : cp - m_hddBase;
    auto it = std::lower_bound(plc->cps.begin(), plc->cps.end() - 1, key);
    if (it == plc->cps.end() - 1 || *it != key) return;
    const Bytes fspa{plc->data[static_cast<std::size_t>(it - plc->cps.begin())]};
    const std::uint32_t spid = fspa.u32(0);
    const int width = fspa.i32(12) - fspa.i32(4);
    const int height = fspa.i32(16) - fspa.i32(8);
    // The shape's place from its anchor and how the text flows around it.
    const std::uint32_t flags = fspa.u16(20);
    model::FramePosition position;
    {
        const auto relative = [](std::uint32_t v) {
            return v == 1 ? model::FrameRelative::Page : v == 2 ? model::FrameRelative::Text : model::FrameRelative::Margin;
        };
        position.horizontal = relative((flags >> 1) & 3);
        position.vertical = relative((flags >> 3) & 3);
        position.x = fspa.i32(4);
        position.y = fspa.i32(8);
    }
    model::FrameWrap wrap = model::FrameWrap::Square;
    switch ((flags >> 5) & 0xF) {
    case 1: wrap = model::FrameWrap::TopBottom; break;
    case 3: wrap = (flags & 0x4000) ? model::FrameWrap::Behind : model::FrameWrap::InFront; break;
    case 4: wrap = model::FrameWrap::Tight; break;
    case 5: wrap = model::FrameWrap::Through; break;
    default: wrap = model::FrameWrap::Square; break;
    }

    // Where each shape of a group stands: its box in its group's coordinates,
    // carried up through the groups it is in to the anchor's box.
    using Box = std::array<int, 4>;
    const Box anchorBox{position.x, position.y, position.x + std::max(0, width), position.y + std::max(0, height)};
    const auto mapBox = [](const Box& b, const Box& from, const Box& to) {
        const double fw = from[2] - from[0], fh = from[3] - from[1];
        const double sx = fw != 0 ? (to[2] - to[0]) / fw : 1.0, sy = fh != 0 ? (to[3] - to[1]) / fh : 1.0;
        const auto x = [&](int v) { return static_cast<int>(to[0] + (v - from[0]) * sx + (v >= from[0] ? 0.5 : -0.5)); };
        const auto y = [&](int v) { return static_cast<int>(to[1] + (v - from[1]) * sy + (v >= from[1] ? 0.5 : -0.5)); };
        return Box{x(b[0]), y(b[1]), x(b[2]), y(b[3])};
    };
    const auto boxOf = [&](std::uint32_t id) -> std::optional<Box> {
        if (id == spid) return anchorBox;
        auto s = m_shapes.find(id);
        if (s == m_shapes.end() || !s->second.childAnchor) return std::nullopt;
        Box box = *s->second.childAnchor;
        for (int depth = 0; depth < 32; ++depth) {
            auto g = m_shapes.find(s->second.parent);
            if (g == m_shapes.end() || !g->second.groupBox) return std::nullopt;
            if (g->first == spid) return mapBox(box, *g->second.groupBox, anchorBox);
            if (!g->second.childAnchor) return std::nullopt;
            box = mapBox(box, *g->second.groupBox, *g->second.childAnchor);
            s = g;
        }
        return std::nullopt;
    };

    std::vector<std::uint32_t> spids{spid};
    if (auto g = m_groupMembers.find(spid); g != m_groupMembers.end()) {
        for (const std::uint32_t m : g->second) spids.push_back(m);
    }
    const bool grouped = spids.size() > 1;
    bool shown = false;
    for (const std::uint32_t id : spids) {
        auto s = m_shapes.find(id);
        const Shape* shape = s != m_shapes.end() ? &s->second : nullptr;
        if (shape && shape->groupBox) continue;  // a group draws nothing of its own
        // A member of a group floats in its own box, with the group's wrapping.
        const std::optional<Box> box = boxOf(id);
        const auto placeAt = [&](auto& object) {
            if (!box) return;
            object.width = std::max(0, (*box)[2] - (*box)[0]);
            object.height = std::max(0, (*box)[3] - (*box)[1]);
            model::FramePosition at = position;
            at.x = (*box)[0];
            at.y = (*box)[1];
            object.position = at;
            object.wrap = wrap;
        };
        if (auto t = m_textBoxes.find(id); t != m_textBoxes.end() && !m_placedTextBoxes.count(id)) {
            m_placedTextBoxes.insert(id);
            model::Frame frame;
            frame.blocks = t->second;
            placeAt(frame);
            if (shape) frame.rotation = shape->rotation;
            emitInline(model::Inline{std::move(frame)});
            shown = true;
            continue;
        }
        if (!shape) continue;
        if (!shape->text.empty()) {
            // WordArt: the text is the shape, drawn in its fill.
            model::Frame frame;
            frame.wordArt = shape->text;
            std::replace(frame.wordArt.begin(), frame.wordArt.end(), '\r', '\n');
            while (!frame.wordArt.empty() && frame.wordArt.back() == '\n') frame.wordArt.pop_back();
            frame.wordArtFont = shape->font;
            frame.shapeType = shape->type > 0 ? shape->type : 136;
            frame.rotation = shape->rotation;
            frame.fill = shape->fill;
            frame.border = shape->line;
            placeAt(frame);
            emitInline(model::Inline{std::move(frame)});
            shown = true;
            continue;
        }
        if (shape->pib != 0) {
            if (auto image = blipImage(shape->pib)) {
                placeAt(*image);
                emitInline(model::Inline{std::move(*image)});
                shown = true;
            }
            continue;
        }
        if (grouped && !box) continue;
        // A drawn shape (a line, an arrow, a filled box): its outline, size
        // and colours, so the page keeps its look and its room.
        model::Frame frame;
        frame.fill = shape->fill;
        frame.border = shape->line;
        frame.shapeType = shape->type == 202 || shape->type == 75 ? 0 : shape->type;
        frame.rotation = shape->rotation;
        placeAt(frame);
        emitInline(model::Inline{std::move(frame)});
        shown = true;
    }
    (void)props;
    if (!shown) warnOnce("A drawing object that is not a picture or text box was left out");
}

}  // namespace orvane::doc
