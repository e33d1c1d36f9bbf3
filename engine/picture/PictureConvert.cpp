#include "picture/PictureConvert.h"

#include <zip.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orvane::picture {

namespace {

std::uint32_t crc32(const unsigned char* data, std::size_t n, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t adler32(std::string_view data) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : data) {
        a = (a + c) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

void putBe32(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

std::uint32_t le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t le32(const unsigned char* p) {
    return le16(p) | (static_cast<std::uint32_t>(le16(p + 2)) << 16);
}

// A raw deflate stream of `in`. The archive library is the only compressor at
// hand: it deflates one member of a throw-away archive, whose compressed bytes
// are taken out again. Falls back to stored blocks.
std::string deflateRaw(std::string_view in) {
    std::string packed;
    zip_error_t error;
    zip_error_init(&error);
    if (zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error)) {
        if (zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error)) {
            zip_source_keep(buffer);
            zip_source_t* member = zip_source_buffer(archive, in.data(), in.size(), 0);
            const zip_int64_t index = member ? zip_file_add(archive, "p", member, 0) : -1;
            if (index < 0 && member) zip_source_free(member);
            if (index >= 0) zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0);
            if (index >= 0 && zip_close(archive) == 0) {
                zip_stat_t st;
                if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
                    std::string bytes(st.size, '\0');
                    if (zip_source_read(buffer, bytes.data(), st.size) == static_cast<zip_int64_t>(st.size)) {
                        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
                        const std::size_t central = bytes.rfind("PK\x01\x02");
                        if (central != std::string::npos && central + 46 <= bytes.size()) {
                            const std::uint32_t method = le16(b + central + 10);
                            const std::uint32_t size = le32(b + central + 20);
                            const std::uint32_t local = le32(b + central + 42);
                            if (method == 8 && local + 30 <= bytes.size()) {
                                const std::size_t start = local + 30 + le16(b + local + 26) + le16(b + local + 28);
                                if (start + size <= bytes.size()) packed = bytes.substr(start, size);
                            }
                        }
                    }
                    zip_source_close(buffer);
                }
            } else {
                zip_discard(archive);
            }
        }
        zip_source_free(buffer);
    }
    zip_error_fini(&error);
    if (!packed.empty() || in.empty()) return packed;
    // Stored blocks.
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, in.size() - pos);
        packed.push_back(pos + n == in.size() ? 1 : 0);
        packed.push_back(static_cast<char>(n & 0xFF));
        packed.push_back(static_cast<char>(n >> 8));
        packed.push_back(static_cast<char>(~n & 0xFF));
        packed.push_back(static_cast<char>((~n >> 8) & 0xFF));
        packed.append(in.substr(pos, n));
        pos += n;
    } while (pos < in.size());
    return packed;
}

void chunk(std::string& png, const char* type, std::string_view data) {
    putBe32(png, static_cast<std::uint32_t>(data.size()));
    std::string body(type, 4);
    body.append(data);
    png.append(body);
    putBe32(png, crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

// `rows`: height rows of width*channels bytes (or palette indexes), unfiltered.
std::string encodePng(int width, int height, int colorType, std::string_view rows,
                      std::string_view palette = {}, std::string_view alpha = {}) {
    const std::size_t stride = rows.size() / static_cast<std::size_t>(height);
    std::string filtered;
    filtered.reserve(rows.size() + static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        filtered.push_back('\0');
        filtered.append(rows.substr(static_cast<std::size_t>(y) * stride, stride));
    }
    std::string z = "\x78\x9C";
    z += deflateRaw(filtered);
    putBe32(z, adler32(filtered));

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    putBe32(ihdr, static_cast<std::uint32_t>(width));
    putBe32(ihdr, static_cast<std::uint32_t>(height));
    ihdr.push_back(8);
    ihdr.push_back(static_cast<char>(colorType));
    ihdr.append(3, '\0');
    chunk(png, "IHDR", ihdr);
    if (!palette.empty()) chunk(png, "PLTE", palette);
    if (!alpha.empty()) chunk(png, "tRNS", alpha);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

// GIF's variable-width LZW into palette indexes; stops when `out` is full.
bool lzwDecode(const std::vector<unsigned char>& data, int minCodeSize, std::vector<unsigned char>& out,
               std::size_t pixels) {
    if (minCodeSize < 2 || minCodeSize > 8) return false;
    const int clear = 1 << minCodeSize;
    const int eoi = clear + 1;
    std::array<std::uint16_t, 4096> prefix{};
    std::array<unsigned char, 4096> suffix{};
    std::array<unsigned char, 4096> first{};
    for (int i = 0; i < clear; ++i) {
        suffix[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
        first[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    }
    int codeSize = minCodeSize + 1;
    int next = eoi + 1;
    int prev = -1;
    std::uint32_t bits = 0;
    int bitCount = 0;
    std::size_t pos = 0;
    std::array<unsigned char, 4096> stack{};
    auto emit = [&](int code) {
        std::size_t n = 0;
        while (code >= clear && n < stack.size()) {
            stack[n++] = suffix[static_cast<std::size_t>(code)];
            code = prefix[static_cast<std::size_t>(code)];
        }
        if (n < stack.size()) stack[n++] = static_cast<unsigned char>(code);
        while (n > 0 && out.size() < pixels) out.push_back(stack[--n]);
    };
    while (out.size() < pixels) {
        while (bitCount < codeSize && pos < data.size()) {
            bits |= static_cast<std::uint32_t>(data[pos++]) << bitCount;
            bitCount += 8;
        }
        if (bitCount < codeSize) break;
        const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
        bits >>= codeSize;
        bitCount -= codeSize;
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = eoi + 1;
            prev = -1;
            continue;
        }
        if (code == eoi) break;
        if (prev < 0) {
            if (code >= clear) return false;
            emit(code);
            prev = code;
            continue;
        }
        if (code < next) {
            emit(code);
            if (next < 4096) {
                prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(prev);
                suffix[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(code)];
                first[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(prev)];
                ++next;
            }
        } else if (code == next && next < 4096) {
            prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(prev);
            suffix[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(prev)];
            first[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(prev)];
            ++next;
            emit(code);
        } else {
            break;  // damaged data: keep what was decoded
        }
        if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
        prev = code;
    }
    return !out.empty();
}

}  // namespace

namespace {

// Whether a picture of this size may be decoded, charging the budget if so;
// `out` keeps the claimed size for the warning.
Conversion admit(int width, int height, PixelBudget& budget, PngImage& out) {
    out.width = width;
    out.height = height;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels > budget.perPicture()) return Conversion::TooLarge;
    if (!budget.take(pixels)) return Conversion::OverBudget;
    return Conversion::Converted;
}

}  // namespace

std::string leftOutWarning(Conversion outcome, std::string_view format, const PngImage& claimed,
                           const PixelBudget& budget) {
    const std::string kind(format);
    switch (outcome) {
    case Conversion::TooLarge:
        return "A " + kind + " picture of " + std::to_string(claimed.width) + " by " +
               std::to_string(claimed.height) + " pixels is too large to convert and was left out";
    case Conversion::OverBudget:
        return "Pictures in GIF and BMP format beyond " + std::to_string(budget.total() / 1000000) +
               " million pixels in all were left out";
    case Conversion::Undecodable:
    case Conversion::Converted: break;
    }
    return "A " + kind + " picture that could not be decoded was left out";
}

Conversion gifToPng(std::string_view gif, PixelBudget& budget, PngImage& out) {
    out = PngImage{};
    constexpr Conversion kDamaged = Conversion::Undecodable;
    const auto* b = reinterpret_cast<const unsigned char*>(gif.data());
    const std::size_t n = gif.size();
    if (n < 13 || std::memcmp(b, "GIF8", 4) != 0) return kDamaged;
    std::string palette;
    std::size_t pos = 13;
    if (b[10] & 0x80) {
        const std::size_t size = 3u * (2u << (b[10] & 7));
        if (pos + size > n) return kDamaged;
        palette.assign(gif.substr(pos, size));
        pos += size;
    }
    int transparent = -1;
    while (pos < n) {
        const unsigned char kind = b[pos++];
        if (kind == 0x21) {
            if (pos >= n) return kDamaged;
            const unsigned char label = b[pos++];
            if (label == 0xF9 && pos + 5 <= n && b[pos] >= 4 && (b[pos + 1] & 1)) transparent = b[pos + 4];
            while (pos < n && b[pos] != 0) pos += 1 + b[pos];
            ++pos;
        } else if (kind == 0x2C) {
            if (pos + 9 > n) return kDamaged;
            const int width = static_cast<int>(le16(b + pos + 4));
            const int height = static_cast<int>(le16(b + pos + 6));
            const unsigned char flags = b[pos + 8];
            pos += 9;
            if (flags & 0x80) {
                const std::size_t size = 3u * (2u << (flags & 7));
                if (pos + size > n) return kDamaged;
                palette.assign(gif.substr(pos, size));
                pos += size;
            }
            const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
            if (width <= 0 || height <= 0 || pos >= n) return kDamaged;
            if (const Conversion admitted = admit(width, height, budget, out); admitted != Conversion::Converted) {
                return admitted;
            }
            const int minCode = b[pos++];
            std::vector<unsigned char> data;
            while (pos < n && b[pos] != 0) {
                const std::size_t len = b[pos];
                if (pos + 1 + len > n) break;
                data.insert(data.end(), b + pos + 1, b + pos + 1 + len);
                pos += 1 + len;
            }
            std::vector<unsigned char> indexes;
            indexes.reserve(pixels);
            if (!lzwDecode(data, minCode, indexes, pixels)) {
                out = PngImage{};
                return kDamaged;
            }
            indexes.resize(pixels, transparent >= 0 ? static_cast<unsigned char>(transparent) : 0);
            std::string rows(pixels, '\0');
            if (flags & 0x40) {
                // Interlaced: rows arrive in four passes.
                static constexpr int kStart[] = {0, 4, 2, 1};
                static constexpr int kStep[] = {8, 8, 4, 2};
                std::size_t src = 0;
                for (int pass = 0; pass < 4; ++pass) {
                    for (int y = kStart[pass]; y < height; y += kStep[pass]) {
                        std::memcpy(rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                                    indexes.data() + src, static_cast<std::size_t>(width));
                        src += static_cast<std::size_t>(width);
                    }
                }
            } else {
                std::memcpy(rows.data(), indexes.data(), pixels);
            }
            if (palette.empty()) {
                for (int i = 0; i < 256; ++i) palette.append(3, static_cast<char>(i));
            }
            std::string alpha;
            if (transparent >= 0 && static_cast<std::size_t>(transparent) < palette.size() / 3) {
                alpha.assign(static_cast<std::size_t>(transparent) + 1, '\xFF');
                alpha.back() = '\0';
            }
            out.data = encodePng(width, height, 3, rows, palette, alpha);
            out.width = width;
            out.height = height;
            return Conversion::Converted;
        } else {
            return kDamaged;  // the trailer, or damage, before any picture
        }
    }
    return kDamaged;
}

Conversion bmpToPng(std::string_view bmp, PixelBudget& budget, PngImage& out) {
    out = PngImage{};
    constexpr Conversion kDamaged = Conversion::Undecodable;
    const auto* b = reinterpret_cast<const unsigned char*>(bmp.data());
    const std::size_t n = bmp.size();
    if (n < 54 || b[0] != 'B' || b[1] != 'M') return kDamaged;
    const std::uint32_t offset = le32(b + 10);
    const std::uint32_t header = le32(b + 14);
    if (header < 40 || 14u + header > n) return kDamaged;
    const auto width = static_cast<std::int32_t>(le32(b + 18));
    auto height = static_cast<std::int32_t>(le32(b + 22));
    const std::uint32_t bpp = le16(b + 28);
    const std::uint32_t compression = le32(b + 30);
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) return kDamaged;
    if (!(compression == 0 || (compression == 3 && bpp == 32))) return kDamaged;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return kDamaged;
    // The size claimed is judged before the pixel rows are looked for.
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (width > 100000 || height > 100000 || pixels > budget.perPicture()) {
        out.width = width;
        out.height = height;
        return Conversion::TooLarge;
    }
    const std::size_t stride = ((static_cast<std::size_t>(bpp) * static_cast<std::size_t>(width) + 31) / 32) * 4;
    if (offset > n || stride * static_cast<std::size_t>(height) > n - offset) return kDamaged;
    if (const Conversion admitted = admit(width, height, budget, out); admitted != Conversion::Converted) {
        return admitted;
    }

    std::string palette;
    if (bpp <= 8) {
        std::uint32_t colors = le32(b + 46);
        if (colors == 0 || colors > (1u << bpp)) colors = 1u << bpp;
        const std::size_t at = 14u + header;
        if (at + colors * 4u > n) return kDamaged;
        for (std::uint32_t i = 0; i < colors; ++i) {
            // Stored as blue, green, red, reserved.
            palette.push_back(static_cast<char>(b[at + i * 4 + 2]));
            palette.push_back(static_cast<char>(b[at + i * 4 + 1]));
            palette.push_back(static_cast<char>(b[at + i * 4]));
        }
    }
    std::string rows;
    rows.reserve(pixels * 3);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::int32_t srcY = topDown ? y : height - 1 - y;
        const unsigned char* row = b + offset + static_cast<std::size_t>(srcY) * stride;
        for (std::int32_t x = 0; x < width; ++x) {
            if (bpp >= 24) {
                const unsigned char* p = row + static_cast<std::size_t>(x) * (bpp / 8);
                rows.push_back(static_cast<char>(p[2]));
                rows.push_back(static_cast<char>(p[1]));
                rows.push_back(static_cast<char>(p[0]));
            } else {
                const std::size_t bit = static_cast<std::size_t>(x) * bpp;
                const unsigned shift = static_cast<unsigned>(8 - bpp - (bit % 8));
                const unsigned index = (row[bit / 8] >> shift) & ((1u << bpp) - 1);
                const std::size_t at = static_cast<std::size_t>(index) * 3;
                if (at + 3 <= palette.size()) rows.append(palette, at, 3);
                else rows.append(3, '\0');
            }
        }
    }
    out.data = encodePng(width, height, 2, rows);
    out.width = width;
    out.height = height;
    return Conversion::Converted;
}

void pixelSize(const std::string& data, model::ImageFormat format, int& w, int& h) {
    const auto* b = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t n = data.size();
    auto be16 = [&](std::size_t i) { return (b[i] << 8) | b[i + 1]; };
    auto be32 = [&](std::size_t i) {
        return static_cast<long long>((static_cast<unsigned long>(b[i]) << 24) | (b[i + 1] << 16) |
                                      (b[i + 2] << 8) | b[i + 3]);
    };
    if (format == model::ImageFormat::Png && n >= 24) {
        w = static_cast<int>(std::min(be32(16), 1000000LL));
        h = static_cast<int>(std::min(be32(20), 1000000LL));
    } else if (format == model::ImageFormat::Jpeg) {
        std::size_t i = 2;
        while (i + 9 < n) {
            if (b[i] != 0xFF) {
                ++i;
                continue;
            }
            const unsigned char marker = b[i + 1];
            if (marker == 0xFF) {
                ++i;
                continue;
            }
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                marker != 0xCC) {
                h = be16(i + 5);
                w = be16(i + 7);
                return;
            }
            if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
                i += 2;
                continue;
            }
            i += 2 + static_cast<std::size_t>(be16(i + 2));
        }
    }
}

}  // namespace orvane::picture
