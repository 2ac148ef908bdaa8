// Summary cache files: reused only for their own key and layout, refused when
// shortened or their header is damaged, a damaged chunk never handed out, and
// the folder kept within its cap, the least recently used removed first.

#include "plotdata/SummaryFile.h"
#include "plotdata/SummaryFolder.h"
#include "tests/plotdata/SummaryTestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

const std::vector<SectionLayout> layout = {{12, 10000}, {260, 37}, {4, 1}};

// A file of `key` whose record r of section s holds bytes (s + r + k) & 0xff.
void writeFile(const std::string& path, const std::string& key)
{
    SummaryFileWriter writer(path, key, layout);
    ASSERT_TRUE(writer.isOpen());
    for (size_t s = 0; s < layout.size(); ++s)
        for (uint64_t r = 0; r < layout[s].records; ++r) {
            std::vector<unsigned char> record(layout[s].recordBytes);
            for (size_t k = 0; k < record.size(); ++k)
                record[k] = static_cast<unsigned char>(s + r + k);
            writer.append(s, record.data(), 1);
        }
    ASSERT_TRUE(writer.finish());
}

void changeByte(const std::string& path, uint64_t at)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(static_cast<std::streamoff>(at));
    const char c = static_cast<char>(file.get() ^ 0x40);
    file.seekp(static_cast<std::streamoff>(at));
    file.put(c);
}

} // namespace

TEST(SummaryFile, ReusedOnlyWhenWholeAndOfItsKey)
{
    TemporaryFolder folder;
    const std::string key = "recording=/data/a.sigmf-data size=800000000 modified=1700000000123456789 exponent=8";
    const std::string path = folder.file("a.nsum");
    const uint64_t size = summaryFileBytes(key, layout);
    struct Row
    {
        const char* what;
        std::string key;
        std::vector<SectionLayout> sections;
        void (*damage)(const std::string&, uint64_t);
        bool opens;
    };
    auto none = [](const std::string&, uint64_t) {};
    const Row rows[] = {
        {"same key and layout", key, layout, none, true},
        {"file modified later", "recording=/data/a.sigmf-data size=800000000 modified=1700000000123456790 exponent=8",
         layout, none, false},
        {"file of another size", "recording=/data/a.sigmf-data size=800000008 modified=1700000000123456789 exponent=8",
         layout, none, false},
        {"another file", "recording=/data/b.sigmf-data size=800000000 modified=1700000000123456789 exponent=8", layout,
         none, false},
        {"another layout", key, {{12, 10000}, {260, 38}, {4, 1}}, none, false},
        {"truncated", key, layout,
         [](const std::string& p, uint64_t bytes) { std::filesystem::resize_file(p, bytes - 4096); }, false},
        {"grown", key, layout, [](const std::string& p, uint64_t bytes) { std::filesystem::resize_file(p, bytes + 1); },
         false},
        {"wrong magic", key, layout, [](const std::string& p, uint64_t) { changeByte(p, 3); }, false},
        {"header byte changed", key, layout, [](const std::string& p, uint64_t) { changeByte(p, 70); }, false},
        {"checksum table changed", key, layout, [](const std::string& p, uint64_t) { changeByte(p, 200); }, false},
    };
    for (const Row& r : rows) {
        writeFile(path, key);
        r.damage(path, size);
        const auto reader = SummaryFileReader::open(path, r.key, r.sections);
        EXPECT_EQ(reader != nullptr, r.opens) << r.what;
        if (!reader)
            continue;
        std::vector<unsigned char> records(260 * 3);
        ASSERT_TRUE(reader->read(1, 34, 3, records.data()));
        EXPECT_EQ(records[0], 1 + 34);
        EXPECT_EQ(records[260 * 2 + 5], static_cast<unsigned char>(1 + 36 + 5));
        EXPECT_FALSE(reader->read(1, 35, 3, records.data())); // beyond the section
    }
    // A damaged record (in section 0's first 64 KiB chunk, after the 4 KiB
    // header): reads touching its chunk fail, the others still work.
    writeFile(path, key);
    changeByte(path, 4096 + 1000);
    const auto reader = SummaryFileReader::open(path, key, layout);
    ASSERT_NE(reader, nullptr);
    std::vector<unsigned char> records(12 * 10000);
    EXPECT_TRUE(reader->read(0, 6000, 100, records.data()));
    EXPECT_FALSE(reader->read(0, 80, 10, records.data()));
    EXPECT_FALSE(reader->read(0, 0, 10000, records.data()));
    // A writer that stops before its sections are full leaves nothing behind.
    {
        SummaryFileWriter partial(folder.file("b.nsum"), key, layout);
        std::vector<unsigned char> record(12);
        partial.append(0, record.data(), 1);
        EXPECT_FALSE(partial.finish());
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("b.nsum")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(SummaryFolder, KeptWithinItsCapLeastRecentlyUsedFirst)
{
    TemporaryFolder folder;
    const uint64_t size = summaryFileBytes("key 0", layout);
    SummaryFolder cache(folder.file("cache"), 3 * size + 100);
    std::vector<std::string> paths;
    for (int k = 0; k < 6; ++k) {
        const std::string key = "key " + std::to_string(k);
        ASSERT_TRUE(cache.makeRoom(size));
        paths.push_back(cache.pathFor(key));
        writeFile(paths.back(), key);
        EXPECT_LE(cache.totalBytes(), cache.cap());
        // File 0 is used again after each new one: it stays.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        cache.touch(paths[0]);
    }
    EXPECT_TRUE(std::filesystem::exists(paths[0]));
    EXPECT_FALSE(std::filesystem::exists(paths[1]));
    EXPECT_FALSE(std::filesystem::exists(paths[3]));
    EXPECT_TRUE(std::filesystem::exists(paths[4]));
    EXPECT_TRUE(std::filesystem::exists(paths[5]));
    EXPECT_EQ(cache.totalBytes(), 3 * size);
    // A file larger than the cap is refused, and removes nothing.
    EXPECT_FALSE(cache.makeRoom(4 * size));
    EXPECT_EQ(cache.totalBytes(), 3 * size);
    EXPECT_NE(cache.pathFor("key 1"), cache.pathFor("key 2"));
}
