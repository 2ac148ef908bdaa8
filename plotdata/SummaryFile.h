#pragma once
// A summary cache file: a header naming what it holds (a key text) and the
// layout of its sections of fixed-size records, a checksum of each 4 KiB chunk
// of each section, then the sections. It is written under a temporary name and
// renamed once complete; a file of another key or layout, shortened, or with a
// damaged header is refused, and a chunk whose checksum fails is never handed out.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SectionLayout
{
    uint32_t recordBytes = 0;
    uint64_t records = 0;
    uint64_t bytes() const { return uint64_t(recordBytes) * records; }
    bool operator==(const SectionLayout&) const = default;
};

// Bytes a file of this key and layout takes.
uint64_t summaryFileBytes(const std::string& key, const std::vector<SectionLayout>& sections);

class SummaryFileWriter
{
public:
    // Creates a temporary file beside `path`; isOpen() is false when it cannot.
    SummaryFileWriter(std::string path, std::string key, std::vector<SectionLayout> sections);
    // Removes the temporary file unless finish() renamed it.
    ~SummaryFileWriter();
    SummaryFileWriter(const SummaryFileWriter&) = delete;
    SummaryFileWriter& operator=(const SummaryFileWriter&) = delete;

    bool isOpen() const { return descriptor >= 0; }
    // Appends `count` records to section s, after those appended before. A
    // write error, or records beyond the section, fail the writer (finish() then
    // returns false).
    void append(size_t s, const void* records, uint64_t count);
    // Writes the checksums and the header and renames the file to its path:
    // false (and nothing renamed) when a section is incomplete or a write failed.
    bool finish();

private:
    void writeChunk(size_t s);

    std::string path;
    std::string temporary;
    std::string key;
    std::vector<SectionLayout> sections;
    std::vector<uint64_t> sectionOffsets;
    std::vector<uint64_t> written;
    // The chunk of each section being filled.
    std::vector<std::vector<unsigned char>> pending;
    std::vector<uint64_t> checksums;
    std::vector<size_t> firstChunk;
    int descriptor = -1;
    bool failed = false;
    bool finished = false;
};

class SummaryFileReader
{
public:
    // The file at path when it holds `key` with exactly this layout, is complete
    // and its header intact; null otherwise.
    static std::unique_ptr<SummaryFileReader> open(const std::string& path, const std::string& key,
                                                   const std::vector<SectionLayout>& sections);
    ~SummaryFileReader();
    SummaryFileReader(const SummaryFileReader&) = delete;
    SummaryFileReader& operator=(const SummaryFileReader&) = delete;

    // Records [first, first + count) of section s into out: false when they lie
    // outside it, cannot be read, or a chunk they touch fails its checksum.
    // Safe to call from several threads at once.
    bool read(size_t s, uint64_t first, uint64_t count, void* out) const;

private:
    SummaryFileReader() = default;

    int descriptor = -1;
    std::vector<SectionLayout> sections;
    std::vector<uint64_t> sectionOffsets;
    std::vector<uint64_t> checksums;
    std::vector<size_t> firstChunk;
};
