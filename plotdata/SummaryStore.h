#pragma once
// Sections of fixed-size records that summaries are kept in: in memory, or in a
// summary cache file (written while the summaries are built, read once it is
// complete and checked).

#include "plotdata/SummaryFile.h"

#include <atomic>
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
    // written). The last sections (the coarsest levels) that fit in
    // mirrorBytes are also kept in memory and read from there.
    SummaryStore(std::vector<SectionLayout> sections, const std::string& path, const std::string& key,
                 uint64_t mirrorBytes = 0);
    // An existing file at `path`, already checked by SummaryFileReader::open,
    // mirrored as above (read whole and checked now; unusable when that fails).
    SummaryStore(std::vector<SectionLayout> sections, std::unique_ptr<SummaryFileReader> file,
                 uint64_t mirrorBytes = 0, std::string path = {});
    ~SummaryStore();

    const std::vector<SectionLayout>& layout() const { return sections; }
    // While building: the next `count` records of section s.
    void append(size_t s, const void* records, uint64_t count);
    // Once every section holds all its records: makes the store readable.
    // False when it cannot be (a section incomplete, the file not written).
    bool finish();
    // Whether reads can be made.
    bool ready() const { return readable; }
    // Records [first, first + count) of section s into out; false when the
    // store is not ready, they lie outside the section or the file fails its
    // checks. A file failing them is damaged: it is removed, and the store
    // says so from then on. Safe from several threads at once.
    bool read(size_t s, uint64_t first, uint64_t count, void* out) const;
    bool damaged() const { return broken.load(); }

private:
    // Marks the sections kept in memory (a suffix within `bytes`).
    void chooseMirror(uint64_t bytes);

    std::vector<SectionLayout> sections;
    // A section's records in memory (all of them in memory mode, the mirrored
    // ones with a file); `mirrored` says which.
    std::vector<std::vector<unsigned char>> memory;
    std::vector<bool> mirrored;
    std::string path;
    std::string key;
    std::unique_ptr<SummaryFileWriter> writer;
    std::unique_ptr<SummaryFileReader> file;
    bool readable = false;
    mutable std::atomic<bool> broken{false};
};
