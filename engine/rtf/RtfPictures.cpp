// Pictures: {\pict} with its format (PNG, JPEG, EMF, WMF; others are left
// out with a warning), sizes and scaling, its data as hex digits or \bin;
// {\*\shppict} preferred over the {\nonshppict} copy after it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

namespace {

int clampInt(std::int64_t v, int lo, int hi) { return static_cast<int>(std::clamp<std::int64_t>(v, lo, hi)); }

std::uint32_t readBigEndian(std::string_view d, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(d[at + i]);
    return v;
}

// The natural size written inside PNG and JPEG data, so the model does not
// depend on how carefully the RTF's writer filled in \picw and \pich.
bool pixelSize(ImageFormat format, std::string_view d, int& w, int& h) {
    if (format == ImageFormat::Png) {
        if (d.size() >= 24 && d.substr(1, 3) == "PNG" && d.substr(12, 4) == "IHDR") {
            w = clampInt(readBigEndian(d, 16, 4), 0, 1 << 30);
            h = clampInt(readBigEndian(d, 20, 4), 0, 1 << 30);
            return true;
        }
        return false;
    }
    if (format == ImageFormat::Jpeg) {
        std::size_t i = 2;
        if (d.size() < 4 || static_cast<unsigned char>(d[0]) != 0xFF || static_cast<unsigned char>(d[1]) != 0xD8)
            return false;
        while (i + 9 < d.size()) {
            if (static_cast<unsigned char>(d[i]) != 0xFF) return false;
            const unsigned marker = static_cast<unsigned char>(d[i + 1]);
            if (marker == 0xFF) { ++i; continue; }
            const std::uint32_t len = readBigEndian(d, i + 2, 2);
            const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (sof) {
                h = static_cast<int>(readBigEndian(d, i + 5, 2));
                w = static_cast<int>(readBigEndian(d, i + 7, 2));
                return true;
            }
            if (len < 2) return false;
            i += 2 + len;
        }
    }
    return false;
}

}  // namespace

bool Reader::handlePictureWord(Kw k, const RtfToken& t, GroupState& g) {
    const std::int32_t p = t.param;
    switch (k) {
    case Kw::k_pict:
        if (m_pict.active || g.role != Role::None) {
            skipGroup();
            return true;
        }
        g.roleData = (g.dest == Dest::Body || g.dest == Dest::NoText) ? 1 : 0;
        g.role = Role::Pict;
        g.dest = Dest::Pict;
        m_pict = PictState{};
        m_pict.active = true;
        return true;
    case Kw::k_pngblip: case Kw::k_jpegblip: case Kw::k_emfblip: case Kw::k_wmetafile:
        if (g.dest == Dest::Pict)
            m_pict.format = static_cast<int>(k == Kw::k_pngblip ? ImageFormat::Png : k == Kw::k_jpegblip ? ImageFormat::Jpeg
                                             : k == Kw::k_emfblip ? ImageFormat::Emf : ImageFormat::Wmf);
        return true;
    case Kw::k_macpict: case Kw::k_dibitmap: case Kw::k_wbitmap: case Kw::k_pmmetafile:
        if (g.dest == Dest::Pict) {
            m_pict.format = 100;
            m_pict.unsupportedKind = k == Kw::k_macpict ? "Mac PICT" : k == Kw::k_pmmetafile ? "OS/2 metafile" : "device-dependent bitmap";
        }
        return true;
    case Kw::k_picw: if (g.dest == Dest::Pict) m_pict.picw = p; return true;
    case Kw::k_pich: if (g.dest == Dest::Pict) m_pict.pich = p; return true;
    case Kw::k_picwgoal: if (g.dest == Dest::Pict) m_pict.goalw = p; return true;
    case Kw::k_pichgoal: if (g.dest == Dest::Pict) m_pict.goalh = p; return true;
    case Kw::k_picscalex: if (g.dest == Dest::Pict) m_pict.scalex = p; return true;
    case Kw::k_picscaley: if (g.dest == Dest::Pict) m_pict.scaley = p; return true;
    case Kw::k_bin: {
        // Raw bytes follow; never read them as RTF, wherever they are.
        const std::string_view data = m_tz.takeBinary(t.hasParam ? p : 0);
        if (g.dest == Dest::Pict && m_pict.active) m_pict.data.append(data);
        return true;
    }
    case Kw::k_shppict:
        if (g.role == Role::None) g.role = Role::Shppict;
        return true;
    case Kw::k_nonshppict:
        if (m_lastWasShppict) skipGroup();
        return true;
    default:
        return false;
    }
}

void Reader::finishPict(GroupState& g) {
    if (!m_pict.active) return;
    m_pict.active = false;
    PictState pict = std::move(m_pict);
    m_pict = PictState{};
    if (pict.format == 100) {
        warnOnce("A picture in " + pict.unsupportedKind + " format was left out");
        return;
    }
    if (pict.format < 0) {
        if (!pict.data.empty()) warnOnce("A picture in an unknown format was left out");
        return;
    }
    if (pict.data.empty() || !(g.roleData & 1)) return;
    Image image;
    image.format = static_cast<ImageFormat>(pict.format);
    const bool bitmap = image.format == ImageFormat::Png || image.format == ImageFormat::Jpeg;
    int pw = 0, ph = 0;
    if (!pixelSize(image.format, pict.data, pw, ph) && bitmap) {
        pw = clampInt(pict.picw, 0, 1 << 30);
        ph = clampInt(pict.pich, 0, 1 << 30);
    }
    if (bitmap) {
        image.pixelWidth = pw;
        image.pixelHeight = ph;
    }
    // Without a goal size, bitmaps count 15 twips a pixel (96 dpi) and
    // metafiles give hundredths of a millimetre.
    const auto natural = [&](std::int64_t goal, int pixels, std::int64_t pic) -> std::int64_t {
        if (goal > 0) return goal;
        if (bitmap) return std::int64_t(pixels > 0 ? pixels : pic) * 15;
        return pic * 1440 / 2540;
    };
    const std::int64_t sx = pict.scalex > 0 ? std::min<std::int64_t>(pict.scalex, 100000) : 100;
    const std::int64_t sy = pict.scaley > 0 ? std::min<std::int64_t>(pict.scaley, 100000) : 100;
    image.width = std::max<Twips>(0, clampTwips(natural(std::clamp<std::int64_t>(pict.goalw, -1, 1 << 26), pw, std::clamp<std::int64_t>(pict.picw, 0, 1 << 26)) * sx / 100));
    image.height = std::max<Twips>(0, clampTwips(natural(std::clamp<std::int64_t>(pict.goalh, -1, 1 << 26), ph, std::clamp<std::int64_t>(pict.pich, 0, 1 << 26)) * sy / 100));
    image.data = std::move(pict.data);
    if (!m_shapes.empty() && m_shapes.back().inPicture) {
        // A picture shape's picture: placed when the shape ends.
        m_shapes.back().picture = std::move(image);
        return;
    }
    insertInline(ctxOf(g), std::move(image));
}

}  // namespace orvane::rtf::reader
