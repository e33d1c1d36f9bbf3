// Pictures of a .doc: inline ones (a picture header in the Data stream
// followed by drawing records with the picture itself), floating ones (shapes
// of the drawing layer whose picture lives in the blip store), and text boxes
// placed after the paragraph that anchors them. Metafiles in the drawing
// layer are deflate-compressed; the small inflater below unpacks them.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstdint>

#include "doc/DocConverter.h"

namespace orvane::doc {

namespace {

// ---------------------------------------------------------------------------
// Inflate (deflate streams, with or without the two-byte zlib header)

class Inflater {
public:
    Inflater(std::string_view in, std::size_t limit) : m_in(in), m_limit(limit) {}

    bool run(std::string& out) {
        try {
            if (m_in.size() >= 2 && (static_cast<unsigned char>(m_in[0]) & 0x0F) == 8 &&
                ((static_cast<unsigned char>(m_in[0]) << 8) | static_cast<unsigned char>(m_in[1])) % 31 == 0) {
                m_pos = 2;
            }
            int last = 0;
            do {
                last = bits(1);
                const int type = bits(2);
                if (type == 0) stored(out);
                else if (type == 1) fixed(out);
                else if (type == 2) dynamic(out);
                else return false;
            } while (!last);
            return true;
        } catch (const Bad&) {
            return false;
        }
    }

private:
    struct Bad {};
    struct Huffman {
        std::array<short, 16> count{};
        std::array<short, 320> symbol{};
    };

    int bits(int need) {
        std::uint32_t v = m_bitBuf;
        while (m_bitCount < need) {
            if (m_pos >= m_in.size()) throw Bad{};
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_in[m_pos++])) << m_bitCount;
            m_bitCount += 8;
        }
        m_bitBuf = v >> need;
        m_bitCount -= need;
        return static_cast<int>(v & ((1u << need) - 1));
    }

    void put(std::string& out, char c) {
        if (out.size() >= m_limit) throw Bad{};
        out.push_back(c);
    }

    void stored(std::string& out) {
        m_bitBuf = 0;
        m_bitCount = 0;
        if (m_pos + 4 > m_in.size()) throw Bad{};
        const unsigned len = static_cast<unsigned char>(m_in[m_pos]) | static_cast<unsigned char>(m_in[m_pos + 1]) << 8;
        m_pos += 4;
        if (m_pos + len > m_in.size()) throw Bad{};
        for (unsigned i = 0; i < len; ++i) put(out, m_in[m_pos + i]);
        m_pos += len;
    }

    static void build(Huffman& h, const short* lengths, int n) {
        h.count.fill(0);
        for (int i = 0; i < n; ++i) h.count[static_cast<std::size_t>(lengths[i])]++;
        std::array<short, 16> offs{};
        for (int len = 1; len < 15; ++len) offs[static_cast<std::size_t>(len + 1)] = static_cast<short>(offs[static_cast<std::size_t>(len)] + h.count[static_cast<std::size_t>(len)]);
        for (int i = 0; i < n; ++i) {
            if (lengths[i] != 0) h.symbol[static_cast<std::size_t>(offs[static_cast<std::size_t>(lengths[i])]++)] = static_cast<short>(i);
        }
    }

    int decode(const Huffman& h) {
        int code = 0, first = 0, index = 0;
        for (int len = 1; len < 16; ++len) {
            code |= bits(1);
            const int count = h.count[static_cast<std::size_t>(len)];
            if (code - count < first) return h.symbol[static_cast<std::size_t>(index + (code - first))];
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        throw Bad{};
    }

    void codes(std::string& out, const Huffman& lencode, const Huffman& distcode) {
        static constexpr short kBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                                            35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static constexpr short kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static constexpr short kDist[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129,
                                            193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        static constexpr short kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        while (true) {
            int symbol = decode(lencode);
            if (symbol < 256) {
                put(out, static_cast<char>(symbol));
            } else if (symbol == 256) {
                return;
            } else {
                symbol -= 257;
                if (symbol >= 29) throw Bad{};
                const int len = kBase[symbol] + bits(kExtra[symbol]);
                const int ds = decode(distcode);
                if (ds >= 30) throw Bad{};
                const std::size_t dist = static_cast<std::size_t>(kDist[ds] + bits(kDistExtra[ds]));
                if (dist > out.size()) throw Bad{};
                for (int i = 0; i < len; ++i) put(out, out[out.size() - dist]);
            }
        }
    }

    void fixed(std::string& out) {
        static const auto tables = [] {
            std::pair<Huffman, Huffman> t;
            short lengths[288];
            int i = 0;
            for (; i < 144; ++i) lengths[i] = 8;
            for (; i < 256; ++i) lengths[i] = 9;
            for (; i < 280; ++i) lengths[i] = 7;
            for (; i < 288; ++i) lengths[i] = 8;
            build(t.first, lengths, 288);
            for (i = 0; i < 30; ++i) lengths[i] = 5;
            build(t.second, lengths, 30);
            return t;
        }();
        codes(out, tables.first, tables.second);
    }

    void dynamic(std::string& out) {
        static constexpr short kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        const int nlen = bits(5) + 257;
        const int ndist = bits(5) + 1;
        const int ncode = bits(4) + 4;
        if (nlen > 286 || ndist > 30) throw Bad{};
        short lengths[320] = {};
        for (int i = 0; i < ncode; ++i) lengths[kOrder[i]] = static_cast<short>(bits(3));
        Huffman lencode, distcode;
        build(lencode, lengths, 19);
        int index = 0;
        while (index < nlen + ndist) {
            int symbol = decode(lencode);
            if (symbol < 16) {
                lengths[index++] = static_cast<short>(symbol);
            } else {
                short len = 0;
                if (symbol == 16) {
                    if (index == 0) throw Bad{};
                    len = lengths[index - 1];
                    symbol = 3 + bits(2);
                } else if (symbol == 17) {
                    symbol = 3 + bits(3);
                } else {
                    symbol = 11 + bits(7);
                }
                if (index + symbol > nlen + ndist) throw Bad{};
                while (symbol--) lengths[index++] = len;
            }
        }
        build(lencode, lengths, nlen);
        build(distcode, lengths + nlen, ndist);
        codes(out, lencode, distcode);
    }

    std::string_view m_in;
    std::size_t m_limit;
    std::size_t m_pos = 0;
    std::uint32_t m_bitBuf = 0;
    int m_bitCount = 0;
};

// ---------------------------------------------------------------------------
// Device-independent bitmaps into PNG (RTF carries PNG; a DIB it does not),
// written with stored deflate blocks: bigger than compressed, but exact.

std::uint32_t crc32(std::string_view data, std::uint32_t crc = 0) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (const char ch : data) crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putBe32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void pngChunk(std::string& png, const char* type, const std::string& body) {
    putBe32(png, static_cast<std::uint32_t>(body.size()));
    const std::string typed = std::string(type, 4) + body;
    png += typed;
    putBe32(png, crc32(typed));
}

bool dibToPng(std::string_view dib, std::size_t maxPixels, model::Image& image) {
    const Bytes b{dib};
    const std::size_t headerSize = b.u32(0);
    if (headerSize < 40 || headerSize > dib.size()) return false;
    const std::int32_t width = b.i32(4);
    const std::int32_t rawHeight = b.i32(8);
    const int bpp = static_cast<int>(b.u16(14));
    const std::uint32_t compression = b.u32(16);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return false;
    const bool topDown = rawHeight < 0;
    const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > maxPixels) return false;
    if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32))) return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
    std::size_t colors = b.u32(32);
    if (bpp <= 8 && (colors == 0 || colors > (1u << bpp))) colors = 1u << bpp;
    if (bpp > 8) colors = 0;
    std::size_t pixelsAt = headerSize + 4 * colors + (compression == 3 && headerSize == 40 ? 12 : 0);
    const std::size_t stride = ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp) + 31) / 32) * 4;
    if (pixelsAt + stride * static_cast<std::size_t>(height) > dib.size()) return false;

    std::string raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
    for (std::int64_t y = 0; y < height; ++y) {
        const std::size_t row = pixelsAt + stride * static_cast<std::size_t>(topDown ? y : height - 1 - y);
        raw.push_back(0);
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint32_t blue = 0, green = 0, red = 0;
            if (bpp >= 24) {
                const std::size_t at = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp / 8);
                blue = b.u8(at);
                green = b.u8(at + 1);
                red = b.u8(at + 2);
            } else {
                const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp);
                const std::uint32_t byte = b.u8(row + bit / 8);
                const std::uint32_t index = (byte >> (8 - bpp - static_cast<int>(bit % 8))) & ((1u << bpp) - 1);
                const std::size_t entry = headerSize + 4 * std::min<std::size_t>(index, colors ? colors - 1 : 0);
                blue = b.u8(entry);
                green = b.u8(entry + 1);
                red = b.u8(entry + 2);
            }
            raw.push_back(static_cast<char>(red));
            raw.push_back(static_cast<char>(green));
            raw.push_back(static_cast<char>(blue));
        }
    }
    std::string z = "\x78\x01";
    std::uint32_t a = 1, bsum = 0;
    for (const char ch : raw) {
        a = (a + static_cast<unsigned char>(ch)) % 65521;
        bsum = (bsum + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<char>(n & 0xFF));
        z.push_back(static_cast<char>(n >> 8));
        z.push_back(static_cast<char>(~n & 0xFF));
        z.push_back(static_cast<char>((~n >> 8) & 0xFF));
        z.append(raw, at, n);
        if (last) break;
    }
    putBe32(z, (bsum << 16) | a);
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string ihdr;
    putBe32(ihdr, static_cast<std::uint32_t>(width));
    putBe32(ihdr, static_cast<std::uint32_t>(height));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    pngChunk(png, "IHDR", ihdr);
    pngChunk(png, "IDAT", z);
    pngChunk(png, "IEND", std::string());
    image.format = model::ImageFormat::Png;
    image.data = std::move(png);
    image.pixelWidth = width;
    image.pixelHeight = static_cast<int>(height);
    return true;
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
                        if (c.type == 0xF00A) spid = m_table.u32(c.dataAt);
                        if (c.type == 0xF00B || c.type == 0xF122) {
                            // Fixed-size values first; complex ones follow in the same order.
                            std::size_t complexAt = c.dataAt + 6 * static_cast<std::size_t>(c.instance);
                            for (std::uint32_t k = 0; k < c.instance && 6 * (k + 1) <= c.length; ++k) {
                                const std::uint32_t raw = m_table.u16(c.dataAt + 6 * k);
                                const std::uint32_t opid = raw & 0x3FFF;
                                const std::uint32_t value = m_table.u32(c.dataAt + 6 * k + 2);
                                if (opid == 0x104) shape.pib = static_cast<int>(value);
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
                    if (spid != 0 && m_shapes.size() < 100000) m_shapes[spid] = shape;
                    if (group) {
                        if (first) groupSpid = spid;
                        else if (spid != 0) group->push_back(spid);
                    }
                    first = false;
                } else if (r.type == 0xF003) {  // a group of shapes
                    std::vector<std::uint32_t> members;
                    walk(r.dataAt, r.dataAt + r.length, depth + 1, &members);
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
            Inflater inflater(body, limit);
            if (!inflater.run(image.data)) {
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
        if (data.size() > uids + 1 && dibToPng(data.substr(uids + 1), 16u * 1024 * 1024, image)) return image;
        warnOnce("A bitmap (DIB) picture that could not be converted was left out");
        break;
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

    std::vector<std::uint32_t> spids{spid};
    if (auto g = m_groupMembers.find(spid); g != m_groupMembers.end()) {
        for (const std::uint32_t m : g->second) spids.push_back(m);
    }
    bool shown = false;
    for (const std::uint32_t id : spids) {
        if (auto t = m_textBoxes.find(id); t != m_textBoxes.end() && !m_placedTextBoxes.count(id)) {
            m_placedTextBoxes.insert(id);
            model::Frame frame;
            frame.blocks = t->second;
            if (id == spid) {
                const std::uint32_t flags = fspa.u16(20);
                const auto relative = [](std::uint32_t v) {
                    return v == 1 ? model::FrameRelative::Page : v == 2 ? model::FrameRelative::Text : model::FrameRelative::Margin;
                };
                frame.width = std::max(0, width);
                frame.height = std::max(0, height);
                model::FramePosition position;
                position.horizontal = relative((flags >> 1) & 3);
                position.vertical = relative((flags >> 3) & 3);
                position.x = fspa.i32(4);
                position.y = fspa.i32(8);
                frame.position = position;
                switch ((flags >> 5) & 0xF) {
                case 1: frame.wrap = model::FrameWrap::TopBottom; break;
                case 3: frame.wrap = (flags & 0x4000) ? model::FrameWrap::Behind : model::FrameWrap::InFront; break;
                case 4: frame.wrap = model::FrameWrap::Tight; break;
                case 5: frame.wrap = model::FrameWrap::Through; break;
                default: frame.wrap = model::FrameWrap::Square; break;
                }
            }
            emitInline(model::Inline{std::move(frame)});
            shown = true;
        }
        auto s = m_shapes.find(id);
        if (s != m_shapes.end() && !s->second.text.empty() && !m_placedTextBoxes.count(id)) {
            m_placedTextBoxes.insert(id);
            model::Frame frame;
            model::Paragraph para{m_doc.defaultPara, m_doc.defaultChars, {}};
            std::string text = s->second.text;
            std::replace(text.begin(), text.end(), '\r', '\n');
            para.content.push_back(model::Inline{model::TextRun{std::move(text), props}});
            model::Block block;
            block.value = std::move(para);
            frame.blocks.push_back(std::move(block));
            if (id == spid) {
                frame.width = std::max(0, width);
                frame.height = std::max(0, height);
            }
            emitInline(model::Inline{std::move(frame)});
            shown = true;
        }
        if (s == m_shapes.end() || s->second.pib == 0) continue;
        if (auto image = blipImage(s->second.pib)) {
            if (spids.size() == 1 || id == spid) {
                image->width = std::max(0, width);
                image->height = std::max(0, height);
            }
            emitInline(model::Inline{std::move(*image)});
            shown = true;
        }
    }
    if (!shown && m_shapes.count(spid)) {
        // A drawing shape (a line, an arrow, a filled box): kept as an empty
        // box of its size and colour, so the page keeps its room.
        const Shape& shape = m_shapes[spid];
        model::Frame frame;
        frame.width = std::max(0, width);
        frame.height = std::max(0, height);
        frame.fill = shape.fill;
        frame.border = shape.line;
        model::FramePosition position;
        const std::uint32_t flags = fspa.u16(20);
        const auto relative = [](std::uint32_t v) {
            return v == 1 ? model::FrameRelative::Page : v == 2 ? model::FrameRelative::Text : model::FrameRelative::Margin;
        };
        position.horizontal = relative((flags >> 1) & 3);
        position.vertical = relative((flags >> 3) & 3);
        position.x = fspa.i32(4);
        position.y = fspa.i32(8);
        frame.position = position;
        frame.wrap = (flags & 0x4000) ? model::FrameWrap::Behind : model::FrameWrap::InFront;
        model::Block block;
        block.value = model::Paragraph{m_doc.defaultPara, m_doc.defaultChars, {}};
        frame.blocks.push_back(std::move(block));
        emitInline(model::Inline{std::move(frame)});
    } else if (!shown) {
        warnOnce("A drawing object that is not a picture or text box was left out");
    }
}

}  // namespace orvane::doc
