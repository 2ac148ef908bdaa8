// Summary records in memory or in a cache file.

#include "plotdata/SummaryStore.h"

#include <cstring>

SummaryStore::SummaryStore(std::vector<SectionLayout> sections) : sections(std::move(sections))
{
    for (const SectionLayout& s : this->sections) {
        memory.emplace_back();
        memory.back().reserve(static_cast<size_t>(s.bytes()));
    }
}

SummaryStore::SummaryStore(std::vector<SectionLayout> sections, const std::string& path, const std::string& key)
    : sections(std::move(sections)), path(path), key(key),
      writer(std::make_unique<SummaryFileWriter>(path, key, this->sections))
{
}

SummaryStore::SummaryStore(std::vector<SectionLayout> sections, std::unique_ptr<SummaryFileReader> file)
    : sections(std::move(sections)), file(std::move(file)), readable(this->file != nullptr)
{
}

SummaryStore::~SummaryStore() = default;

void SummaryStore::append(size_t s, const void* records, uint64_t count)
{
    if (readable || s >= sections.size())
        return;
    if (writer) {
        writer->append(s, records, count);
        return;
    }
    if (memory.empty())
        return;
    std::vector<unsigned char>& section = memory[s];
    const size_t bytes = static_cast<size_t>(count * sections[s].recordBytes);
    if (section.size() + bytes > sections[s].bytes())
        return;
    const auto* in = static_cast<const unsigned char*>(records);
    section.insert(section.end(), in, in + bytes);
}

bool SummaryStore::finish()
{
    if (readable)
        return true;
    if (writer) {
        const bool written = writer->finish();
        writer.reset();
        if (written)
            file = SummaryFileReader::open(path, key, sections);
        readable = file != nullptr;
        return readable;
    }
    if (memory.empty())
        return false;
    for (size_t s = 0; s < sections.size(); ++s)
        if (memory[s].size() != sections[s].bytes())
            return false;
    readable = true;
    return true;
}

bool SummaryStore::read(size_t s, uint64_t first, uint64_t count, void* out) const
{
    if (!readable || s >= sections.size() || first > sections[s].records || count > sections[s].records - first)
        return false;
    if (file)
        return file->read(s, first, count, out);
    const size_t at = static_cast<size_t>(first * sections[s].recordBytes);
    std::memcpy(out, memory[s].data() + at, static_cast<size_t>(count * sections[s].recordBytes));
    return true;
}
