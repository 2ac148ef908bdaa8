#pragma once
// Sections of fixed-size records that summaries are kept in: in memory, or in a
// summary cache file (written while the summaries are built, read once it is
// complete and checked).

#include "plotdata/SummaryFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SummaryStore
{
public:
    // In memory.
    explicit SummaryStore(std::vector<SectionLayout> sections);
    // Built into a new file at `path` (the store is unusable when it cannot be
    // written).
    SummaryStore(std::vector<SectionLayout> sections, const std::string& path, const std::string& key);
    // An existing file, already checked by SummaryFileReader::open.
    SummaryStore(std::vector<SectionLayout> sections, std::unique_ptr<SummaryFileReader> file);
    ~SummaryStore();

    const std::vector<SectionLayout>& layout() const { return sections; }
    // While building: the next `count` records of section s.
    void append(size_t s, const void* records, uint64_t count);
    // Once every section holds all its records: makes the store readable.
    // False when it cannot be (a section incomplete, the file not written).
    bool finish();
    // Whether reads can be made.
    bool ready() const { return readable; }
    // Whether the records are (to be) kept in a cache file rather than in memory.
    bool inFile() const { return !path.empty() || file != nullptr; }
    // Records [first, first + count) of section s into out; false when the
    // store is not ready, they lie outside the section or the file fails its
    // checks. Safe from several threads at once.
    bool read(size_t s, uint64_t first, uint64_t count, void* out) const;

private:
    std::vector<SectionLayout> sections;
    std::vector<std::vector<unsigned char>> memory;
    std::string path;
    std::string key;
    std::unique_ptr<SummaryFileWriter> writer;
    std::unique_ptr<SummaryFileReader> file;
    bool readable = false;
};
