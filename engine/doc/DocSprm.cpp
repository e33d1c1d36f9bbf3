// Property modifiers: walking a property list, translating Word 6/95 codes,
// and applying each modifier this reader uses to the properties it changes.
#include <algorithm>
#include <cstdlib>

#include "doc/DocFormat.h"
#include "doc/DocProps.h"

namespace orvane::doc {

namespace {

constexpr int kVar = -1;        // a length byte, then that many bytes
constexpr int kVar2 = -2;       // a two-byte length (table definitions)
constexpr int kTabs = -3;       // tab changes with tolerances: a length byte, 255 meaning "count them"

struct OldSprm {
    std::uint16_t code;
    int size;
};

// Word 6/95 one-byte codes: the Word 97 code each became, and the operand
// size the old files use. A zero code marks one this reader cannot size.
constexpr OldSprm oldSprm(int old) {
    switch (old) {
    case 2: return {0x4600, 2};
    case 3: return {0xC601, kVar};
    case 4: return {0x2602, 1};
    case 5: return {0x2403, 1};
    case 6: return {0x2404, 1};
    case 7: return {0x2405, 1};
    case 8: return {0x2406, 1};
    case 9: return {0x2407, 1};
    case 10: return {0x2408, 1};
    case 11: return {0x2409, 1};
    case 12: return {0xC63E, kVar};
    case 13: return {0x25FF, 1};
    case 14: return {0x240C, 1};
    case 15: return {0xC60D, kVar};
    case 16: return {0x840E, 2};
    case 17: return {0x840F, 2};
    case 18: return {0x4610, 2};
    case 19: return {0x8411, 2};
    case 20: return {0x6412, 4};
    case 21: return {0xA413, 2};
    case 22: return {0xA414, 2};
    case 23: return {0xC615, kTabs};
    case 24: return {0x2416, 1};
    case 25: return {0x2417, 1};
    case 26: return {0x8418, 2};
    case 27: return {0x8419, 2};
    case 28: return {0x841A, 2};
    case 29: return {0x261B, 1};
    case 30: case 31: case 32: case 33: case 34: case 35: case 36: return {0x0001, 2};
    case 37: return {0x2423, 1};
    case 38: case 39: case 40: case 41: case 42: case 43: return {0x0001, 2};  // old two-byte borders
    case 44: return {0x242A, 1};
    case 45: return {0x442B, 2};
    case 46: return {0x442C, 2};
    case 47: return {0x442D, 2};
    case 48: return {0x842E, 2};
    case 49: return {0x842F, 2};
    case 50: return {0x2430, 1};
    case 51: return {0x2431, 1};
    case 52: return {0x0001, kVar};
    case 53: case 54: case 55: case 56: case 57: case 58: return {0x0001, 1};
    case 59: case 60: return {0x0001, 2};
    case 61: return {0x0001, 1};
    case 64: return {0x0001, kVar};
    case 65: return {0x0800, 1};
    case 66: return {0x0801, 1};
    case 67: return {0x0802, 1};
    case 68: return {0x6A03, kVar};
    case 69: return {0x4804, 2};
    case 70: return {0x6805, 4};
    case 71: return {0x0806, 1};
    case 72: return {0x4807, 2};
    case 73: return {0xEA08, 3};
    case 74: return {0x6A09, kVar};
    case 75: return {0x080A, 1};
    case 76: return {0x0001, 1};
    case 77: return {0x0001, kVar};
    case 79: return {0x0001, 2};
    case 80: return {0x4A30, 2};
    case 81: return {0xCA31, kVar};
    case 82: return {0x2A32, kVar};
    case 83: return {0x2A33, 0};
    case 84: return {0x0001, 1};
    case 85: return {0x0835, 1};
    case 86: return {0x0836, 1};
    case 87: return {0x0837, 1};
    case 88: return {0x0838, 1};
    case 89: return {0x0839, 1};
    case 90: return {0x083A, 1};
    case 91: return {0x083B, 1};
    case 92: return {0x083C, 1};
    case 93: return {0x4A4F, 2};
    case 94: return {0x2A3E, 1};
    case 95: return {0xEA3F, 3};
    case 96: return {0x8840, 2};
    case 97: return {0x4A41, 2};
    case 98: return {0x2A42, 1};
    case 99: return {0x4A43, 2};
    case 100: return {0x2A44, 1};
    case 101: return {0x4845, 2};
    case 102: return {0x2A46, 1};
    case 103: return {0xCA47, kVar};
    case 104: return {0x2A48, 1};
    case 105: return {0xCA49, kVar};
    case 106: return {0xCA4A, kVar};
    case 107: return {0x484B, 2};
    case 108: return {0xCA4C, kVar};
    case 109: return {0x4A4D, 2};
    case 110: return {0x484E, 2};
    case 111: case 112: case 113: case 114: case 115: case 116: return {0x0001, 2};
    case 117: return {0x0855, 1};
    case 118: return {0x0856, 1};
    case 119: return {0x0001, 1};
    case 120: return {0x0001, kVar};
    case 121: case 122: case 123: case 124: return {0x0001, 2};
    case 131: return {0x3000, 1};
    case 132: return {0x3001, 1};
    case 133: return {0xD202, kVar};
    case 136: return {0xF203, 3};
    case 137: return {0xF204, 3};
    case 138: return {0x3005, 1};
    case 139: return {0x3006, 1};
    case 140: return {0x5007, 2};
    case 141: return {0x5008, 2};
    case 142: return {0x3009, 1};
    case 143: return {0x300A, 1};
    case 144: return {0x500B, 2};
    case 145: return {0x900C, 2};
    case 146: return {0x300D, 1};
    case 147: return {0x300E, 1};
    case 148: return {0xB00F, 2};
    case 149: return {0xB010, 2};
    case 150: return {0x3011, 1};
    case 151: return {0x3012, 1};
    case 152: return {0x3013, 1};
    case 153: return {0x3014, 1};
    case 154: return {0x5015, 2};
    case 155: return {0x9016, 2};
    case 156: return {0xB017, 2};
    case 157: return {0xB018, 2};
    case 158: return {0x3019, 1};
    case 159: return {0x301A, 1};
    case 160: return {0x501B, 2};
    case 161: return {0x501C, 2};
    case 162: return {0x301D, 1};
    case 163: return {0x0001, 1};
    case 164: return {0xB01F, 2};
    case 165: return {0xB020, 2};
    case 166: return {0xB021, 2};
    case 167: return {0xB022, 2};
    case 168: return {0x9023, 2};
    case 169: return {0x9024, 2};
    case 170: return {0xB025, 2};
    case 171: return {0x5026, 2};
    case 182: return {0x5400, 2};
    case 183: return {0x9601, 2};
    case 184: return {0x9602, 2};
    case 185: return {0x3403, 1};
    case 186: return {0x3404, 1};
    case 187: return {0x0001, 12};
    case 188: return {0xD606, kVar2};
    case 189: return {0x9407, 2};
    case 190: return {0xD608, kVar2};
    case 191: return {0x0001, kVar};
    case 192: return {0x740A, 4};
    case 193: return {0x0001, 5};
    case 194: return {0x7621, 4};
    case 195: return {0x5622, 2};
    case 196: return {0x7623, 4};
    case 197: return {0x5624, 2};
    case 198: return {0x5625, 2};
    case 199: return {0x0001, 5};
    case 200: return {0x0001, 4};
    default: return {0, 0};
    }
}

// The length of a tab change with tolerances whose length byte says 255.
std::size_t tabsOperandSize(std::string_view s, std::size_t at) {
    const Bytes b{s};
    const std::size_t del = b.u8(at + 1);
    const std::size_t add = b.u8(at + 2 + 4 * del);
    return 1 + 4 * del + 1 + 3 * add;
}

model::Twips clampTwips(long v) { return static_cast<model::Twips>(std::clamp<long>(v, -31680, 31680 * 2)); }

}  // namespace

void forEachSprm(std::string_view grpprl, bool word6, const std::function<void(const Sprm&)>& fn) {
    const Bytes b{grpprl};
    std::size_t at = 0;
    while (at < grpprl.size()) {
        Sprm sprm;
        std::size_t start = 0, size = 0;
        int kind = 0;
        if (word6) {
            const OldSprm old = oldSprm(static_cast<int>(b.u8(at)));
            if (old.code == 0) return;  // cannot be sized: the rest is unreadable
            sprm.code = old.code;
            kind = old.size;
            start = at + 1;
        } else {
            if (at + 2 > grpprl.size()) return;
            sprm.code = static_cast<std::uint16_t>(b.u16(at));
            static constexpr int kSizes[8] = {1, 1, 2, 4, 2, 2, kVar, 3};
            kind = kSizes[sprm.code >> 13];
            if (sprm.code == 0xD608 || sprm.code == 0xD606) kind = kVar2;
            if (sprm.code == 0xC615) kind = kTabs;
            start = at + 2;
        }
        if (kind >= 0) {
            size = static_cast<std::size_t>(kind);
        } else if (kind == kVar) {
            size = b.u8(start);
            start += 1;
        } else if (kind == kVar2) {
            const std::size_t cb = b.u16(start);
            start += 2;
            size = cb > 0 ? cb - 1 : 0;
            if (word6) size = cb;  // the older files count only what follows
        } else {
            size = b.u8(start);
            if (size == 255) size = tabsOperandSize(grpprl, start);
            start += 1;
        }
        if (start + size > grpprl.size()) return;
        sprm.operand = grpprl.substr(start, size);
        if (sprm.code != 0x0001) fn(sprm);
        at = start + size;
    }
}

bool prm0Sprm(std::uint16_t prm, std::uint16_t& code, std::uint8_t& operand) {
    // Prm0: a 7-bit index into the old one-byte codes and a one-byte value.
    const int isprm = (prm >> 1) & 0x7F;
    operand = static_cast<std::uint8_t>(prm >> 8);
    const OldSprm old = oldSprm(isprm);
    if (old.code == 0 || old.code == 0x0001) return false;
    if (isprm == 12) {
        code = 0x260A;  // the slot of the old list levels is the list level now
    } else if (isprm == 13) {
        return false;
    } else {
        code = old.code;
    }
    return true;
}

model::Rgb icoColor(int ico) {
    static constexpr model::Rgb kColors[17] = {0x000000, 0x000000, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFF00FF,
                                               0xFF0000, 0xFFFF00, 0xFFFFFF, 0x000080, 0x008080, 0x008000,
                                               0x800080, 0x800000, 0x808000, 0x808080, 0xC0C0C0};
    return ico >= 0 && ico < 17 ? kColors[ico] : 0;
}

std::optional<model::Rgb> colorRef(std::uint32_t cv) {
    if ((cv >> 24) == 0xFF) return std::nullopt;  // automatic
    return ((cv & 0xFF) << 16) | (cv & 0xFF00) | ((cv >> 16) & 0xFF);
}

namespace {

// A toggle's operand: 0 off, 1 on, 0x80 the style's value, 0x81 its opposite.
bool toggle(std::uint32_t v, bool styleValue) {
    if (v == 0x80) return styleValue;
    if (v == 0x81) return !styleValue;
    return v != 0;
}

// Two-byte shading (SHD80): colour indexes and a pattern.
std::optional<model::Rgb> shd80(std::uint32_t v) {
    const int fore = static_cast<int>(v & 0x1F);
    const int back = static_cast<int>((v >> 5) & 0x1F);
    const int pattern = static_cast<int>((v >> 10) & 0x3F);
    if (pattern == 1 && fore != 0) return icoColor(fore);
    if (pattern == 0 && back != 0) return icoColor(back);
    if (pattern >= 2 && back != 0) return icoColor(back);
    return std::nullopt;
}

model::BorderStyle brcStyle(std::uint32_t type) {
    using S = model::BorderStyle;
    switch (type) {
    case 2: return S::Thick;
    case 3: return S::Double;
    case 5: return S::Hairline;
    case 6: return S::Dotted;
    case 7: return S::Dashed;
    case 8: return S::DotDash;
    case 9: return S::DotDotDash;
    case 10: return S::Triple;
    case 11: return S::ThinThickSmall;
    case 12: return S::ThickThinSmall;
    case 13: return S::ThinThickThinSmall;
    case 14: return S::ThinThickMedium;
    case 15: return S::ThickThinMedium;
    case 16: return S::ThinThickThinMedium;
    case 17: return S::ThinThickLarge;
    case 18: return S::ThickThinLarge;
    case 19: return S::ThinThickThinLarge;
    case 20: return S::Wave;
    case 21: return S::DoubleWave;
    case 22: return S::DashSmall;
    case 23: return S::DashDotStroked;
    case 24: return S::Emboss;
    case 25: return S::Engrave;
    case 26: return S::Outset;
    case 27: return S::Inset;
    default: return S::Single;  // single, and the art borders
    }
}

// A line of dptLineWidth eighths of a point, dptSpace points from the text.
model::Border makeBorder(std::uint32_t width, std::uint32_t type, std::optional<model::Rgb> color, std::uint32_t space) {
    model::Border b;
    b.style = brcStyle(type);
    b.width = static_cast<model::Twips>(std::clamp<std::uint32_t>((width * 5 + 1) / 2, 1, 255));
    b.color = color;
    b.space = static_cast<model::Twips>(space * 20);
    return b;
}

// Four-byte BRC80: 0 states nothing, all ones or type 0 is no line.
StatedBorder brc80(std::uint32_t v) {
    if (v == 0) return std::nullopt;
    const std::uint32_t type = (v >> 8) & 0xFF;
    if (v == 0xFFFFFFFF || type == 0 || type == 0xFF) return std::optional<model::Border>{};
    const int ico = static_cast<int>((v >> 16) & 0xFF);
    return std::optional<model::Border>{makeBorder(v & 0xFF, type, ico ? std::optional(icoColor(ico)) : std::nullopt, (v >> 24) & 0x1F)};
}

// Eight-byte BRC: a colour of its own.
StatedBorder brc(Bytes b, std::size_t at) {
    const std::uint32_t cv = b.u32(at);
    const std::uint32_t width = b.u8(at + 4), type = b.u8(at + 5);
    if (cv == 0 && width == 0 && type == 0) return std::nullopt;
    if (type == 0 || type == 0xFF) return std::optional<model::Border>{};
    return std::optional<model::Border>{makeBorder(width, type, colorRef(cv), b.u16(at + 6) & 0x1F)};
}

// Word 6's two-byte BRC: a line width in 0.75 pt steps and three kinds.
StatedBorder brc6(std::uint32_t v) {
    if (v == 0) return std::nullopt;
    const std::uint32_t width = v & 7, type = (v >> 3) & 3;
    if (type == 0 || width == 0) return std::optional<model::Border>{};
    model::Border b;
    b.style = type == 2 ? model::BorderStyle::Thick : type == 3 ? model::BorderStyle::Double : model::BorderStyle::Single;
    b.width = static_cast<model::Twips>(width * 15);
    const int ico = static_cast<int>((v >> 6) & 0x1F);
    if (ico) b.color = icoColor(ico);
    b.space = static_cast<model::Twips>(((v >> 11) & 0x1F) * 20);
    return std::optional<model::Border>{b};
}

// Ten-byte shading (SHD): colours and a pattern.
std::optional<model::Rgb> shd(Bytes b, std::size_t at) {
    const auto fore = colorRef(b.u32(at));
    const auto back = colorRef(b.u32(at + 4));
    const int pattern = static_cast<int>(b.u16(at + 8));
    if (pattern == 0xFFFF) return std::nullopt;
    if (pattern == 1) return fore ? fore : std::optional<model::Rgb>(0x000000);
    return back;
}

void changeTabs(Pap& pap, std::string_view op, bool tolerances) {
    const Bytes b{op};
    std::size_t at = 0;
    const std::size_t del = b.u8(at++);
    std::vector<int> deleted;
    for (std::size_t i = 0; i < del; ++i) deleted.push_back(b.i16(at + 2 * i));
    at += 2 * del;
    std::vector<int> close(del, 0);
    if (tolerances) {
        for (std::size_t i = 0; i < del; ++i) close[i] = b.i16(at + 2 * i);
        at += 2 * del;
    }
    for (std::size_t i = 0; i < deleted.size(); ++i) {
        const int pos = deleted[i], tol = std::abs(close[i]);
        std::erase_if(pap.tabs, [&](const model::TabStop& t) { return std::abs(t.position - pos) <= tol; });
    }
    const std::size_t add = b.u8(at++);
    for (std::size_t i = 0; i < add && at + 2 * add + i < op.size() + 1; ++i) {
        model::TabStop tab;
        tab.position = b.i16(at + 2 * i);
        const std::uint32_t tbd = b.u8(at + 2 * add + i);
        switch (tbd & 7) {
        case 1: tab.kind = model::TabKind::Center; break;
        case 2: tab.kind = model::TabKind::Right; break;
        case 3: tab.kind = model::TabKind::Decimal; break;
        case 4: tab.kind = model::TabKind::Bar; break;
        default: tab.kind = model::TabKind::Left; break;
        }
        switch ((tbd >> 3) & 7) {
        case 1: tab.leader = model::TabLeader::Dots; break;
        case 2: tab.leader = model::TabLeader::Hyphens; break;
        case 3: tab.leader = model::TabLeader::Underline; break;
        case 4: tab.leader = model::TabLeader::ThickLine; break;
        case 5: tab.leader = model::TabLeader::MiddleDots; break;
        default: break;
        }
        std::erase_if(pap.tabs, [&](const model::TabStop& t) { return t.position == tab.position; });
        if (pap.tabs.size() < 64) pap.tabs.push_back(tab);
    }
    std::sort(pap.tabs.begin(), pap.tabs.end(), [](const auto& x, const auto& y) { return x.position < y.position; });
}

void defineTable(Tap& tap, std::string_view op, bool word6) {
    const Bytes b{op};
    const int count = static_cast<int>(std::min<std::uint32_t>(b.u8(0), 63));
    tap.defined = true;
    tap.centers.clear();
    tap.cells.assign(static_cast<std::size_t>(count), TableCellDef{});
    for (int i = 0; i <= count; ++i) tap.centers.push_back(b.i16(1 + 2 * static_cast<std::size_t>(i)));
    const std::size_t tcAt = 1 + 2 * static_cast<std::size_t>(count + 1);
    const std::size_t tcSize = word6 ? 10 : 20;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = tcAt + tcSize * static_cast<std::size_t>(i);
        if (at + 2 > op.size()) break;
        const std::uint32_t flags = b.u16(at);
        TableCellDef& tc = tap.cells[static_cast<std::size_t>(i)];
        tc.firstMerged = flags & 0x0001;
        tc.merged = flags & 0x0002;
        tc.vertMerge = flags & 0x0020;
        tc.vertRestart = flags & 0x0040;
        tc.vertAlign = static_cast<int>((flags >> 7) & 3);
        // The cell's own borders (top, left, bottom, right) after its flags.
        if (at + tcSize <= op.size()) {
            for (std::size_t k = 0; k < 4; ++k)
                tc.borders[k] = word6 ? brc6(b.u16(at + 2 + 2 * k)) : brc80(b.u32(at + 4 + 4 * k));
        }
    }
}

void applyTap(Tap& tap, const Sprm& s, bool word6) {
    const Bytes b{s.operand};
    switch (s.code) {
    case 0x5400:
    case 0x548A: tap.jc = static_cast<int>(b.u16(0)); break;
    case 0x9601: tap.dxaLeft = b.i16(0); break;
    case 0x9602: tap.dxaGapHalf = b.i16(0); break;
    case 0x3404: tap.header = b.u8(0) != 0; break;
    case 0x9407: tap.rowHeight = b.i16(0); break;
    case 0xD606: defineTable(tap, s.operand, true); break;  // the older ten-byte cell entries
    case 0xD608: defineTable(tap, s.operand, word6); break;
    case 0xD609:  // shading of each cell, two bytes each
        for (std::size_t i = 0; i < tap.cells.size() && 2 * i + 2 <= s.operand.size(); ++i)
            tap.cells[i].shading = shd80(b.u16(2 * i));
        break;
    case 0xD612:
        for (std::size_t i = 0; i < tap.cells.size() && 10 * i + 10 <= s.operand.size(); ++i)
            tap.cells[i].shading = shd(b, 10 * i);
        break;
    case 0x5624: {  // merge cells [first, lim)
        const std::size_t first = b.u8(0), lim = std::min<std::size_t>(b.u8(1), tap.cells.size());
        for (std::size_t i = first; i < lim; ++i) {
            tap.cells[i].firstMerged = i == first;
            tap.cells[i].merged = i != first;
        }
        break;
    }
    case 0x5625: {
        const std::size_t first = b.u8(0), lim = std::min<std::size_t>(b.u8(1), tap.cells.size());
        for (std::size_t i = first; i < lim; ++i) tap.cells[i].firstMerged = tap.cells[i].merged = false;
        break;
    }
    case 0xD605:  // sprmTTableBorders80: top, left, bottom, right, inside horizontal and vertical
        for (std::size_t i = 0; i < 6 && 4 * i + 4 <= s.operand.size(); ++i)
            if (const StatedBorder bb = brc80(b.u32(4 * i))) tap.borders[i] = *bb;
        break;
    case 0xD613:  // sprmTTableBorders
        for (std::size_t i = 0; i < 6 && 8 * i + 8 <= s.operand.size(); ++i)
            if (const StatedBorder bb = brc(b, 8 * i)) tap.borders[i] = *bb;
        break;
    case 0xD620:    // sprmTSetBrc80
    case 0xD62F: {  // sprmTSetBrc: the borders of cells [first, lim)
        const std::size_t first = b.u8(0), lim = std::min<std::size_t>(b.u8(1), tap.cells.size());
        const std::uint32_t sides = b.u8(2);
        const StatedBorder value = s.code == 0xD620 ? brc80(b.u32(3)) : brc(b, 3);
        for (std::size_t i = first; i < lim; ++i) {
            for (std::size_t k = 0; k < 4; ++k)
                if (sides & (1u << k)) tap.cells[i].borders[k] = value.value_or(std::nullopt);
        }
        break;
    }
    case 0xD62B: {
        const std::size_t itc = b.u8(0);
        const std::uint32_t v = b.u8(1);
        if (itc < tap.cells.size()) {
            tap.cells[itc].vertMerge = v != 0;
            tap.cells[itc].vertRestart = v == 3;
        }
        break;
    }
    case 0xD62C: {
        const std::size_t first = b.u8(0), lim = std::min<std::size_t>(b.u8(1), tap.cells.size());
        for (std::size_t i = first; i < lim; ++i) tap.cells[i].vertAlign = static_cast<int>(b.u8(2));
        break;
    }
    default: break;
    }
}

}  // namespace

void applyChp(Chp& chp, const Sprm& s, const Chp& base) {
    const Bytes b{s.operand};
    const std::uint32_t v8 = b.u8(0);
    switch (s.code) {
    case 0x0800: chp.deleted = v8 != 0; break;
    case 0x0801: chp.inserted = v8 != 0; break;
    case 0x4804: chp.authorIns = static_cast<int>(b.u16(0)); break;
    case 0x4863: chp.authorDel = static_cast<int>(b.u16(0)); break;
    case 0x6805: chp.dateIns = b.u32(0); break;
    case 0x6864: chp.dateDel = b.u32(0); break;
    case 0x0802: chp.fldVanish = v8 != 0; break;
    case 0x6A03: chp.picLocation = b.u32(0); break;
    case 0x0806: chp.data = v8 != 0; break;
    case 0x6A09:
        chp.symbolFont = static_cast<int>(b.u16(0));
        chp.symbolChar = s.operand.size() >= 4 ? b.u16(2) : b.u8(2);
        break;
    case 0x080A: chp.ole2 = v8 != 0; break;
    case 0x2A0C: chp.highlight = static_cast<int>(v8); break;
    case 0x4A30: chp.istd = static_cast<int>(b.u16(0)); break;
    case 0x2A33: {  // back to the paragraph style's formatting
        const Chp keep = chp;
        chp = base;
        chp.spec = keep.spec;
        chp.picLocation = keep.picLocation;
        chp.data = keep.data;
        chp.ole2 = keep.ole2;
        chp.obj = keep.obj;
        chp.deleted = keep.deleted;
        chp.inserted = keep.inserted;
        chp.authorIns = keep.authorIns;
        chp.authorDel = keep.authorDel;
        chp.dateIns = keep.dateIns;
        chp.dateDel = keep.dateDel;
        break;
    }
    case 0x0835: chp.bold = toggle(v8, base.bold); break;
    case 0x0836: chp.italic = toggle(v8, base.italic); break;
    case 0x0837: chp.strike = toggle(v8, base.strike); break;
    case 0x0838: chp.outline = toggle(v8, base.outline); break;
    case 0x0839: chp.shadow = toggle(v8, base.shadow); break;
    case 0x083A: chp.smallCaps = toggle(v8, base.smallCaps); break;
    case 0x083B: chp.caps = toggle(v8, base.caps); break;
    case 0x083C: chp.vanish = toggle(v8, base.vanish); break;
    case 0x2A53: chp.dstrike = toggle(v8, base.dstrike); break;
    case 0x085C: chp.boldBi = toggle(v8, base.boldBi); break;
    case 0x085D: chp.italicBi = toggle(v8, base.italicBi); break;
    case 0x085A: chp.bidi = v8 != 0; break;
    case 0x0882: chp.complexScript = v8 != 0; break;
    case 0x0855: chp.spec = v8 != 0; break;
    case 0x0856: chp.obj = v8 != 0; break;
    case 0x4A3D:
    case 0x4A4F: chp.ftcAscii = static_cast<int>(b.u16(0)); break;
    case 0x4A50: chp.ftcFE = static_cast<int>(b.u16(0)); break;
    case 0x4A51: chp.ftcOther = static_cast<int>(b.u16(0)); break;
    case 0x4A5E: chp.ftcBi = static_cast<int>(b.u16(0)); break;
    case 0x2A3E: chp.kul = static_cast<int>(v8); break;
    case 0x8840: chp.dxaSpace = b.i16(0); break;
    case 0x4A41:
        chp.lid = chp.lidFE = static_cast<int>(b.u16(0));
        break;
    case 0x486D:
    case 0x4873: chp.lid = static_cast<int>(b.u16(0)); break;
    case 0x486E:
    case 0x4874: chp.lidFE = static_cast<int>(b.u16(0)); break;
    case 0x485F: chp.lidBi = static_cast<int>(b.u16(0)); break;
    case 0x2A42:
        chp.ico = static_cast<int>(v8 & 0x1F);
        chp.cv.reset();
        if (chp.ico != 0) chp.cv = icoColor(chp.ico);
        break;
    case 0x6870: chp.cv = colorRef(b.u32(0)); break;
    case 0x4A43: chp.hps = std::clamp(static_cast<int>(b.u16(0)), 2, 3276); break;
    case 0x4A61: chp.hpsBi = std::clamp(static_cast<int>(b.u16(0)), 2, 3276); break;
    case 0x2A44: {  // grow or shrink by steps
        const int step = static_cast<std::int8_t>(v8);
        chp.hps = std::clamp(chp.hps + 2 * step, 2, 3276);
        break;
    }
    case 0xEA3F: {  // size and position together (older files)
        const int hps = static_cast<int>(b.u8(0));
        if (hps != 0) chp.hps = std::max(hps, 2);
        break;
    }
    case 0x2A48: chp.iss = static_cast<int>(v8); break;
    case 0x4845: chp.hpsPos = b.i16(0); break;
    case 0x4866: chp.shading = shd80(b.u16(0)); break;
    case 0xCA71: chp.shading = shd(b, 0); break;
    default: break;
    }
}

void applyPap(Pap& pap, const Sprm& s, bool word6) {
    const Bytes b{s.operand};
    const std::uint32_t v8 = b.u8(0);
    switch (s.code) {
    case 0x4600: pap.istd = static_cast<int>(b.u16(0)); break;
    case 0x2403:
    case 0x2461: pap.jc = static_cast<int>(v8); break;
    case 0x2405: pap.keep = v8 != 0; break;
    case 0x2406: pap.keepFollow = v8 != 0; break;
    case 0x246D: pap.contextualSpacing = v8 != 0; break;  // sprmPFContextualSpacing
    case 0x2407: pap.pageBreakBefore = v8 != 0; break;
    case 0x260A: pap.ilvl = static_cast<int>(std::min<std::uint32_t>(v8, 8)); break;
    case 0x460B: pap.ilfo = b.i16(0); break;
    case 0xC60D: changeTabs(pap, s.operand, false); break;
    case 0xC615: changeTabs(pap, s.operand, true); break;
    case 0x840E:
    case 0x845D: pap.dxaRight = clampTwips(b.i16(0)); break;
    case 0x840F:
    case 0x845E: pap.dxaLeft = clampTwips(b.i16(0)); break;
    case 0x4610:
    case 0x465F: pap.dxaLeft = clampTwips(pap.dxaLeft + b.i16(0)); break;
    case 0x8411:
    case 0x8460: pap.dxaLeft1 = clampTwips(b.i16(0)); break;
    case 0x6412:
        pap.dyaLine = b.i16(0);
        pap.multLine = b.i16(2) != 0;
        break;
    case 0xA413: pap.dyaBefore = clampTwips(b.u16(0)); break;
    case 0xA414: pap.dyaAfter = clampTwips(b.u16(0)); break;
    case 0x6424: pap.borders.top = brc80(b.u32(0)).value_or(std::nullopt); break;      // sprmPBrcTop80
    case 0x6425: pap.borders.left = brc80(b.u32(0)).value_or(std::nullopt); break;     // sprmPBrcLeft80
    case 0x6426: pap.borders.bottom = brc80(b.u32(0)).value_or(std::nullopt); break;   // sprmPBrcBottom80
    case 0x6427: pap.borders.right = brc80(b.u32(0)).value_or(std::nullopt); break;    // sprmPBrcRight80
    case 0x6428: pap.borders.between = brc80(b.u32(0)).value_or(std::nullopt); break;  // sprmPBrcBetween80
    case 0xC64E: pap.borders.top = brc(b, 0).value_or(std::nullopt); break;            // sprmPBrcTop
    case 0xC64F: pap.borders.left = brc(b, 0).value_or(std::nullopt); break;
    case 0xC650: pap.borders.bottom = brc(b, 0).value_or(std::nullopt); break;
    case 0xC651: pap.borders.right = brc(b, 0).value_or(std::nullopt); break;
    case 0xC652: pap.borders.between = brc(b, 0).value_or(std::nullopt); break;
    case 0x245B: pap.dyaBeforeAuto = v8 != 0; break;  // sprmPFDyaBeforeAuto
    case 0x245C: pap.dyaAfterAuto = v8 != 0; break;   // sprmPFDyaAfterAuto
    case 0x2416: pap.inTable = v8 != 0; break;
    case 0x2417: pap.ttp = v8 != 0; break;
    case 0x2431: pap.widowControl = v8 != 0; break;
    case 0x2441: pap.bidi = v8 != 0; break;
    case 0x2640: pap.outlineLevel = static_cast<int>(v8); break;
    case 0x442D: pap.shading = shd80(b.u16(0)); break;
    case 0xC64D: pap.shading = shd(b, 0); break;
    // Word nests tables 64 deep at most; deeper levels are damage, read as the deepest.
    case 0x6649: pap.itap = static_cast<int>(std::min<std::uint32_t>(b.u32(0), 64)); break;
    case 0x664A: pap.itap = std::clamp(pap.itap + b.i32(0), 0, 64); break;
    case 0x244B: pap.innerCell = v8 != 0; break;
    case 0x244C: pap.innerTtp = v8 != 0; break;
    case 0x6645: pap.hugePapx = b.u32(0); break;
    case 0xC63E: pap.anld = s.operand; break;
    case 0x25FF: pap.nLvlAnm = static_cast<int>(v8); break;
    default:
        if ((s.code >> 10 & 7) == 5) applyTap(pap.tap, s, word6);
        break;
    }
}

void applySep(Sep& sep, const Sprm& s) {
    const Bytes b{s.operand};
    model::SectionProps& p = sep.props;
    const auto twips = [&](int v) { return clampTwips(v); };
    switch (s.code) {
    case 0x3009:
        sep.bkc = static_cast<int>(b.u8(0));
        switch (sep.bkc) {
        case 0: p.breakKind = model::SectionBreak::Continuous; break;
        case 1: p.breakKind = model::SectionBreak::Column; break;
        case 3: p.breakKind = model::SectionBreak::EvenPage; break;
        case 4: p.breakKind = model::SectionBreak::OddPage; break;
        default: p.breakKind = model::SectionBreak::NextPage; break;
        }
        break;
    case 0x300A: p.titlePage = b.u8(0) != 0; break;
    case 0x3014: sep.headerFlags = static_cast<int>(b.u8(0)); break;
    case 0x500B: p.columns = std::clamp(static_cast<int>(b.u16(0)) + 1, 1, 45); break;
    case 0x900C: p.columnSpacing = twips(b.i16(0)); break;
    case 0x300E:
        switch (b.u8(0)) {
        case 1: p.pageNumberFormat = model::PageNumberFormat::UpperRoman; break;
        case 2: p.pageNumberFormat = model::PageNumberFormat::LowerRoman; break;
        case 3: p.pageNumberFormat = model::PageNumberFormat::UpperLetter; break;
        case 4: p.pageNumberFormat = model::PageNumberFormat::LowerLetter; break;
        default: p.pageNumberFormat = model::PageNumberFormat::Decimal; break;
        }
        break;
    case 0x3011: sep.restartNumbering = b.u8(0) != 0; break;
    case 0x501C: sep.pageNumberStart = static_cast<int>(b.u16(0)); break;
    case 0x7044: sep.pageNumberStart = static_cast<int>(std::min<std::uint32_t>(b.u32(0), 32767)); break;
    case 0x301D: p.landscape = b.u8(0) == 2; break;
    case 0xB01F: p.pageWidth = twips(b.u16(0)); break;
    case 0xB020: p.pageHeight = twips(b.u16(0)); break;
    case 0xB021: p.marginLeft = twips(b.u16(0)); break;
    case 0xB022: p.marginRight = twips(b.u16(0)); break;
    case 0x9023: p.marginTop = twips(std::abs(b.i16(0))); break;
    case 0x9024: p.marginBottom = twips(std::abs(b.i16(0))); break;
    case 0xB017: p.headerDistance = twips(b.u16(0)); break;
    case 0xB018: p.footerDistance = twips(b.u16(0)); break;
    default: break;
    }
}

}  // namespace orvane::doc
