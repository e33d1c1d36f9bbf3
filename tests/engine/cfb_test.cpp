// Tests of the compound-file reader: files built here sector by sector, read
// back whole, then damaged in the ways real files are (chains that loop or
// leave the file, files cut short, directory trees that loop).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Engine.h"
#include "cfb/CompoundFile.h"

namespace {

using orvane::cfb::CompoundFile;

struct Item {
    std::string name;
    std::string data;
    int parent = 0;          // directory index of the storage holding it (0: the root)
    bool storage = false;
};

void put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;

// A version 3 compound file: sector 0 holds the allocation table, then the
// directory, the mini allocation table, the mini stream and the big streams.
struct Built {
    std::string bytes;
    std::vector<std::uint32_t> firstSector;  // per item, for big streams
};

Built build(const std::vector<Item>& items) {
    const std::size_t entryCount = items.size() + 1;
    std::vector<std::uint32_t> fat(128, kFree);
    std::uint32_t next = 0;
    fat[next++] = 0xFFFFFFFD;  // the allocation table itself
    const auto chain = [&](std::size_t sectors) {
        const std::uint32_t first = next;
        for (std::size_t i = 0; i < sectors; ++i, ++next) fat[next] = i + 1 < sectors ? next + 1 : kEnd;
        return sectors ? first : kEnd;
    };
    std::string mini;
    std::vector<std::uint32_t> miniFat;
    std::vector<std::uint32_t> starts(items.size(), kEnd);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].storage || items[i].data.size() >= 4096 || items[i].data.empty()) continue;
        const std::size_t n = (items[i].data.size() + 63) / 64;
        starts[i] = static_cast<std::uint32_t>(miniFat.size());
        for (std::size_t k = 0; k < n; ++k) miniFat.push_back(k + 1 < n ? static_cast<std::uint32_t>(miniFat.size() + 1) : kEnd);
        std::string block = items[i].data;
        block.resize(n * 64, '\0');
        mini += block;
    }
    const std::uint32_t dirStart = chain((entryCount * 128 + 511) / 512);
    const std::uint32_t miniFatStart = chain((miniFat.size() * 4 + 511) / 512);
    const std::uint32_t miniStart = chain((mini.size() + 511) / 512);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].data.size() >= 4096) starts[i] = chain((items[i].data.size() + 511) / 512);
    }

    std::string file(512 + 512 * static_cast<std::size_t>(next), '\0');
    file.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    put16(file, 24, 0x3E);
    put16(file, 26, 3);
    put16(file, 28, 0xFFFE);
    put16(file, 30, 9);
    put16(file, 32, 6);
    put32(file, 44, 1);
    put32(file, 48, dirStart);
    put32(file, 56, 4096);
    put32(file, 60, miniFat.empty() ? kEnd : miniFatStart);
    put32(file, 64, miniFat.empty() ? 0 : 1);
    put32(file, 68, kEnd);
    put32(file, 76, 0);
    for (int i = 1; i < 109; ++i) put32(file, 76 + 4 * static_cast<std::size_t>(i), kFree);
    const auto sectorAt = [](std::uint32_t s) { return 512 + 512 * static_cast<std::size_t>(s); };
    for (std::size_t i = 0; i < fat.size(); ++i) put32(file, sectorAt(0) + 4 * i, fat[i]);

    // Directory: siblings chained to the right, each storage's first child below it.
    std::vector<std::string> dir(entryCount, std::string(128, '\0'));
    const auto name = [&](std::string& e, const std::string& n) {
        for (std::size_t k = 0; k < n.size(); ++k) e[2 * k] = n[k];
        put16(e, 64, static_cast<std::uint32_t>(2 * n.size() + 2));
    };
    name(dir[0], "Root Entry");
    dir[0][66] = 5;
    put32(dir[0], 68, kFree);
    put32(dir[0], 72, kFree);
    put32(dir[0], 76, kFree);
    put32(dir[0], 116, mini.empty() ? kEnd : miniStart);
    put32(dir[0], 120, static_cast<std::uint32_t>(mini.size()));
    std::vector<std::uint32_t> lastChild(entryCount, kFree);
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string& e = dir[i + 1];
        name(e, items[i].name);
        e[66] = items[i].storage ? 1 : 2;
        put32(e, 68, kFree);
        put32(e, 72, kFree);
        put32(e, 76, kFree);
        put32(e, 116, starts[i]);
        put32(e, 120, static_cast<std::uint32_t>(items[i].data.size()));
        const auto parent = static_cast<std::size_t>(items[i].parent);
        if (lastChild[parent] == kFree) put32(dir[parent], 76, static_cast<std::uint32_t>(i + 1));
        else put32(dir[lastChild[parent]], 72, static_cast<std::uint32_t>(i + 1));
        lastChild[parent] = static_cast<std::uint32_t>(i + 1);
    }
    std::string dirBytes;
    for (const auto& e : dir) dirBytes += e;
    file.replace(sectorAt(dirStart), dirBytes.size(), dirBytes);
    std::string miniFatBytes(miniFat.size() * 4, '\0');
    for (std::size_t i = 0; i < miniFat.size(); ++i) put32(miniFatBytes, 4 * i, miniFat[i]);
    if (!miniFat.empty()) file.replace(sectorAt(miniFatStart), miniFatBytes.size(), miniFatBytes);
    if (!mini.empty()) file.replace(sectorAt(miniStart), mini.size(), mini);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].data.size() >= 4096) file.replace(sectorAt(starts[i]), items[i].data.size(), items[i].data);
    }
    return Built{file, starts};
}

std::string pattern(std::size_t n, int seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + static_cast<std::size_t>(seed)) & 0xFF);
    return s;
}

const std::vector<Item> kItems = {
    {"WordDocument", pattern(5000, 1)},
    {"1Table", pattern(700, 2)},
    {"ObjectPool", "", 0, true},
    {"_12", "", 3, true},
    {"\x03META", pattern(130, 3), 4},
};

TEST(CompoundFile, ReadsBigAndSmallStreamsAndNestedStorages) {
    const Built built = build(kItems);
    CompoundFile file;
    std::string error;
    ASSERT_TRUE(file.open(built.bytes, 1u << 20, error)) << error;
    std::string data;
    ASSERT_TRUE(file.read("WordDocument", data, error)) << error;
    EXPECT_EQ(data, kItems[0].data);
    ASSERT_TRUE(file.read("1table", data, error)) << error;  // names match in any letter case
    EXPECT_EQ(data, kItems[1].data);
    const std::uint32_t pool = file.find(0, "ObjectPool");
    ASSERT_NE(pool, CompoundFile::kNoEntry);
    const std::uint32_t object = file.find(pool, "_12");
    ASSERT_NE(object, CompoundFile::kNoEntry);
    const std::uint32_t meta = file.find(object, "\x03META");
    ASSERT_NE(meta, CompoundFile::kNoEntry);
    ASSERT_TRUE(file.read(meta, data, error)) << error;
    EXPECT_EQ(data, kItems[4].data);
    EXPECT_FALSE(file.has("Data"));
    EXPECT_FALSE(file.read("Data", data, error));
}

// What a compound file is comes from its directory: a stream's name in any
// letter case counts, the same name written inside some stream's data does not.
TEST(CompoundFile, FormatIsJudgedByTheDirectory) {
    std::string utf16;
    for (const char c : std::string("WordDocument")) utf16 += std::string{c, '\0'};
    const Built lowerCase = build({{"worddocument", pattern(600, 4)}, {"1Table", pattern(200, 5)}});
    EXPECT_EQ(orvane::detectFormat(lowerCase.bytes), orvane::InputFormat::Doc);
    const Built nameInData = build({{"Contents", pattern(100, 6) + utf16 + pattern(100, 7)}});
    EXPECT_EQ(orvane::detectFormat(nameInData.bytes), orvane::InputFormat::Unknown);
    const Built encrypted = build({{"EncryptionInfo", pattern(300, 8)}, {"EncryptedPackage", pattern(5000, 9)}});
    EXPECT_EQ(orvane::detectFormat(encrypted.bytes), orvane::InputFormat::Encrypted);
}

// What a user is told: a whole file without a Word document says so; the same
// file cut off before its directory says it is damaged or cut short.
TEST(CompoundFile, MessagesTellACompoundFileWithoutWordFromADamagedOne) {
    const Built other = build({{"Contents", pattern(600, 10)}});
    EXPECT_EQ(orvane::readDocument(other.bytes).error,
              "The file is an Office compound file but holds no Word document (it has no WordDocument stream).");
    EXPECT_EQ(orvane::readDocument(other.bytes.substr(0, 512)).error,
              "The file is damaged or cut short: the directory of its streams cannot be read, and no Word document "
              "was found in it.");
}

TEST(CompoundFile, RefusesWhatIsNotACompoundFile) {
    CompoundFile file;
    std::string error;
    EXPECT_FALSE(file.open("PK\x03\x04 not a compound file at all, just text", 1u << 20, error));
    EXPECT_NE(error.find("not a compound file"), std::string::npos);

    std::string bytes = build(kItems).bytes;
    put16(bytes, 30, 10);  // a sector size no writer uses
    EXPECT_FALSE(file.open(bytes, 1u << 20, error));
    EXPECT_NE(error.find("header is damaged"), std::string::npos);
}

TEST(CompoundFile, DamagedChainsAreReportedNotFollowed) {
    const Built built = build(kItems);
    const std::uint32_t first = built.firstSector[0];
    const std::size_t fatAt = 512;

    // The stream's second sector points back to its first: a loop.
    std::string looping = built.bytes;
    put32(looping, fatAt + 4 * (first + 1), first);
    CompoundFile file;
    std::string error, data;
    ASSERT_TRUE(file.open(looping, 1u << 20, error)) << error;
    EXPECT_FALSE(file.read("WordDocument", data, error));
    EXPECT_NE(error.find("loops"), std::string::npos) << error;

    // A chain that points far past the end of the allocation table.
    std::string outside = built.bytes;
    put32(outside, fatAt + 4 * first, 90000);
    ASSERT_TRUE(file.open(outside, 1u << 20, error)) << error;
    EXPECT_FALSE(file.read("WordDocument", data, error));
    EXPECT_NE(error.find("outside"), std::string::npos) << error;

    // A chain that ends before the stream's size is reached.
    std::string shortChain = built.bytes;
    put32(shortChain, fatAt + 4 * first, kEnd);
    ASSERT_TRUE(file.open(shortChain, 1u << 20, error)) << error;
    EXPECT_FALSE(file.read("WordDocument", data, error));
    EXPECT_NE(error.find("shorter"), std::string::npos) << error;
}

TEST(CompoundFile, FileCutShortKeepsWhatIsThere) {
    const Built built = build(kItems);
    const std::string cut = built.bytes.substr(0, built.bytes.size() - 1024);
    CompoundFile file;
    std::string error, data;
    ASSERT_TRUE(file.open(cut, 1u << 20, error)) << error;
    EXPECT_FALSE(file.read("WordDocument", data, error));
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;
    EXPECT_TRUE(file.read("1Table", data, error)) << error;  // the mini stream lies before the cut
    EXPECT_EQ(data, kItems[1].data);
}

TEST(CompoundFile, LimitsAndLoopingDirectories) {
    Built built = build(kItems);
    CompoundFile file;
    std::string error, data;
    ASSERT_TRUE(file.open(built.bytes, 1000, error)) << error;
    EXPECT_FALSE(file.read("WordDocument", data, error));
    EXPECT_NE(error.find("limit"), std::string::npos) << error;

    // The last sibling's right pointer leads back to the first: the walk stops.
    const std::size_t dirAt = 512 + 512 * 1;
    put32(built.bytes, dirAt + 128 * 3 + 72, 1);
    ASSERT_TRUE(file.open(built.bytes, 1u << 20, error)) << error;
    EXPECT_EQ(file.children(0).size(), 3u);
    EXPECT_TRUE(file.has("WordDocument"));
}

}  // namespace
