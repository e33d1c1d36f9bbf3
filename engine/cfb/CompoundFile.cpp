#include "cfb/CompoundFile.h"

#include <algorithm>
#include <cctype>

#include "encoding/Encoding.h"

namespace orvane::cfb {

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kMaxRegular = 0xFFFFFFFA;
constexpr std::string_view kMagic{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8};

std::uint32_t u16(std::string_view s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8;
}
std::uint32_t u32(std::string_view s, std::size_t at) { return u16(s, at) | u16(s, at + 2) << 16; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

}  // namespace

std::string_view CompoundFile::sector(std::uint32_t index) const {
    const std::uint64_t at = (static_cast<std::uint64_t>(index) + 1) * m_sectorSize;
    if (at >= m_bytes.size()) return {};
    return m_bytes.substr(static_cast<std::size_t>(at), m_sectorSize);
}

bool CompoundFile::open(std::string_view bytes, std::size_t maxStreamBytes, std::string& error) {
    m_bytes = bytes;
    m_maxStream = maxStreamBytes;
    if (bytes.size() < 512 || bytes.substr(0, 8) != kMagic) {
        error = "The file is not a compound file (no valid header).";
        return false;
    }
    const std::uint32_t major = u16(bytes, 26);
    const std::uint32_t shift = u16(bytes, 30);
    const std::uint32_t miniShift = u16(bytes, 32);
    if (u16(bytes, 28) != 0xFFFE || (shift != 9 && shift != 12) || miniShift != 6 || (major != 3 && major != 4)) {
        error = "The compound file's header is damaged (unknown version or sector size).";
        return false;
    }
    m_sectorSize = 1u << shift;
    m_miniSectorSize = 1u << miniShift;
    m_miniCutoff = u32(bytes, 56);
    if (m_miniCutoff != 4096) m_miniCutoff = 4096;  // the only value any writer uses
    const std::uint32_t fatSectors = u32(bytes, 44);
    const std::uint32_t firstDir = u32(bytes, 48);
    const std::uint32_t firstMiniFat = u32(bytes, 60);
    const std::uint32_t miniFatSectors = u32(bytes, 64);
    std::uint32_t difatSector = u32(bytes, 68);
    const std::uint32_t difatSectors = u32(bytes, 72);

    // Sectors the file can really hold bound every count in the header.
    const std::uint64_t sectorsInFile = (bytes.size() + m_sectorSize - 1) / m_sectorSize;
    if (fatSectors > sectorsInFile) {
        error = "The compound file's header is damaged (more allocation sectors than the file holds).";
        return false;
    }

    // The allocation table's sectors: 109 listed in the header, the rest in
    // the DIFAT chain.
    std::vector<std::uint32_t> fatList;
    for (std::uint32_t i = 0; i < 109 && fatList.size() < fatSectors; ++i) {
        const std::uint32_t s = u32(bytes, 76 + 4 * i);
        if (s > kMaxRegular) break;
        fatList.push_back(s);
    }
    const std::uint32_t perDifat = m_sectorSize / 4 - 1;
    for (std::uint32_t n = 0; fatList.size() < fatSectors && difatSector <= kMaxRegular; ++n) {
        if (n > difatSectors || n > sectorsInFile) {
            error = "The compound file's allocation list (DIFAT) loops.";
            return false;
        }
        const std::string_view s = sector(difatSector);
        if (s.size() < m_sectorSize) break;
        for (std::uint32_t i = 0; i < perDifat && fatList.size() < fatSectors; ++i) {
            const std::uint32_t v = u32(s, 4 * i);
            if (v <= kMaxRegular) fatList.push_back(v);
        }
        difatSector = u32(s, 4 * perDifat);
    }
    m_fat.clear();
    m_fat.reserve(fatList.size() * (m_sectorSize / 4));
    for (const std::uint32_t fs : fatList) {
        const std::string_view s = sector(fs);
        for (std::uint32_t i = 0; i < m_sectorSize / 4; ++i) {
            m_fat.push_back(4 * i + 4 <= s.size() ? u32(s, 4 * i) : kFreeSector);
        }
    }
    if (m_fat.empty()) {
        error = "The compound file has no allocation table.";
        return false;
    }

    // The directory: 128-byte entries in its own chain.
    std::string dir;
    if (!readChain(m_fat, firstDir, 0, false, dir, error)) {
        error = "The compound file's directory is damaged: " + error + ".";
        return false;
    }
    m_entries.clear();
    for (std::size_t at = 0; at + 128 <= dir.size(); at += 128) {
        Entry e;
        const std::uint32_t nameBytes = std::min<std::uint32_t>(u16(dir, at + 64), 64);
        for (std::uint32_t i = 0; i + 1 < nameBytes; i += 2) {
            const char32_t c = u16(dir, at + i);
            if (c == 0) break;
            encoding::appendUtf8(e.name, c >= 0xD800 && c <= 0xDFFF ? encoding::kReplacement : c);
        }
        const unsigned type = static_cast<unsigned char>(dir[at + 66]);
        e.type = type == 1 ? EntryType::Storage : type == 2 ? EntryType::Stream : type == 5 ? EntryType::Root : EntryType::Empty;
        e.left = u32(dir, at + 68);
        e.right = u32(dir, at + 72);
        e.child = u32(dir, at + 76);
        e.start = u32(dir, at + 116);
        e.size = u32(dir, at + 120);
        if (major == 4) e.size |= static_cast<std::uint64_t>(u32(dir, at + 124)) << 32;
        m_entries.push_back(std::move(e));
    }
    if (m_entries.empty() || m_entries[0].type != EntryType::Root) {
        error = "The compound file's directory has no root entry.";
        return false;
    }

    // The mini allocation table and the mini stream (the root's own data).
    m_miniFat.clear();
    m_miniStream.clear();
    if (miniFatSectors > 0 && firstMiniFat <= kMaxRegular) {
        std::string raw;
        std::string err;
        if (readChain(m_fat, firstMiniFat, 0, false, raw, err)) {
            for (std::size_t i = 0; i + 4 <= raw.size(); i += 4) m_miniFat.push_back(u32(raw, i));
        }
        std::string err2;
        if (m_entries[0].start <= kMaxRegular) {
            readChain(m_fat, m_entries[0].start, m_entries[0].size, false, m_miniStream, err2);
        }
    }
    return true;
}

bool CompoundFile::readChain(const std::vector<std::uint32_t>& table, std::uint32_t start, std::uint64_t size,
                             bool mini, std::string& out, std::string& error) const {
    out.clear();
    const std::uint32_t unit = mini ? m_miniSectorSize : m_sectorSize;
    // size 0 means "as long as the chain runs" (the directory and tables).
    if (size > m_maxStream) {
        error = "a stream is larger than the engine's limit";
        return false;
    }
    if (size) out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(size, m_bytes.size() + m_miniStream.size())));
    std::uint32_t current = start;
    std::size_t steps = 0;
    std::vector<bool> visited(table.size(), false);
    while (current != kEndOfChain) {
        if (size && out.size() >= size) break;
        if (current >= table.size()) {
            if (current == kFreeSector && size == 0) break;
            error = "a sector chain points outside the file";
            return false;
        }
        if (++steps > table.size() || visited[current]) {
            error = "a sector chain loops";
            return false;
        }
        visited[current] = true;
        std::string_view data;
        if (mini) {
            const std::uint64_t at = static_cast<std::uint64_t>(current) * unit;
            if (at < m_miniStream.size()) data = std::string_view(m_miniStream).substr(static_cast<std::size_t>(at), unit);
        } else {
            data = sector(current);
        }
        if (data.empty()) {
            error = "a sector lies past the end of the file (the file is cut short)";
            return false;
        }
        out.append(data);
        if (data.size() < unit) break;  // the file's last, partial sector
        current = table[current];
    }
    if (size && out.size() > size) out.resize(static_cast<std::size_t>(size));
    if (size && out.size() < size) {
        error = "a stream is shorter than its directory entry says (the file is cut short)";
        return false;
    }
    return true;
}

std::vector<std::uint32_t> CompoundFile::children(std::uint32_t storage) const {
    std::vector<std::uint32_t> out;
    if (storage >= m_entries.size()) return out;
    std::vector<bool> seen(m_entries.size(), false);
    std::vector<std::uint32_t> stack;
    if (m_entries[storage].child < m_entries.size()) stack.push_back(m_entries[storage].child);
    while (!stack.empty()) {
        const std::uint32_t i = stack.back();
        stack.pop_back();
        if (i >= m_entries.size() || seen[i]) continue;  // a tree that loops is cut here
        seen[i] = true;
        out.push_back(i);
        stack.push_back(m_entries[i].left);
        stack.push_back(m_entries[i].right);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::uint32_t CompoundFile::find(std::uint32_t storage, std::string_view name) const {
    for (const std::uint32_t i : children(storage)) {
        if (sameName(m_entries[i].name, name)) return i;
    }
    return kNoEntry;
}

bool CompoundFile::read(std::uint32_t index, std::string& out, std::string& error) const {
    out.clear();
    if (index >= m_entries.size() || m_entries[index].type != EntryType::Stream) {
        error = index < m_entries.size() ? "the entry " + m_entries[index].name + " is not a stream" : "no such stream";
        return false;
    }
    const Entry& e = m_entries[index];
    if (e.size == 0) return true;
    if (e.size > m_maxStream) {
        error = "the stream " + e.name + " is larger than the engine's limit";
        return false;
    }
    if (e.size < m_miniCutoff) {
        if (!readChain(m_miniFat, e.start, e.size, true, out, error)) {
            error = "the stream " + e.name + " is damaged: " + error;
            return false;
        }
        return true;
    }
    if (!readChain(m_fat, e.start, e.size, false, out, error)) {
        error = "the stream " + e.name + " is damaged: " + error;
        return false;
    }
    return true;
}

bool CompoundFile::read(std::string_view name, std::string& out, std::string& error) const {
    const std::uint32_t i = find(0, name);
    if (i == kNoEntry) {
        error = "there is no stream " + std::string(name);
        return false;
    }
    return read(i, out, error);
}

}  // namespace orvane::cfb
