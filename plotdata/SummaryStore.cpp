// Summary records in memory or in a cache file.

#include "plotdata/SummaryStore.h"

#include <cstdio>
#include <cstring>

SummaryStore::SummaryStore(std::vector<SectionLayout> sections) : sections(std::move(sections))
{
    chooseMirror(UINT64_MAX);
}

SummaryStore::SummaryStore(std::vector<SectionLayout> sections, const std::string& path, const std::string& key,
                           uint64_t mirrorBytes)
    : sections(std::move(sections)), path(path), key(key),
      writer(std::make_unique<SummaryFileWriter>(path, key, this->sections))
{
    chooseMirror(mirrorBytes);
}

SummaryStore::SummaryStore(std::vector<SectionLayout> sections, std::unique_ptr<SummaryFileReader> file,
                           uint64_t mirrorBytes, std::string path)
    : sections(std::move(sections)), path(std::move(path)), file(std::move(file))
{
    chooseMirror(mirrorBytes);
    readable = this->file != nullptr;
    for (size_t s = 0; readable && s < this->sections.size(); ++s) {
        if (!mirrored[s])
            continue;
        memory[s].resize(static_cast<size_t>(this->sections[s].bytes()));
        readable = this->file->read(s, 0, this->sections[s].records, memory[s].data());
    }
    if (this->file && !readable && !this->path.empty())
        std::remove(this->path.c_str());
}

void SummaryStore::chooseMirror(uint64_t bytes)
{
    memory.resize(sections.size());
    mirrored.assign(sections.size(), false);
    uint64_t used = 0;
    for (size_t s = sections.size(); s-- > 0;) {
        if (used + sections[s].bytes() > bytes)
            break;
        used += sections[s].bytes();
        mirrored[s] = true;
        memory[s].reserve(static_cast<size_t>(sections[s].bytes()));
    }
}

SummaryStore::~SummaryStore() = default;

void SummaryStore::append(size_t s, const void* records, uint64_t count)
{
    if (readable || s >= sections.size())
        return;
    if (writer)
        writer->append(s, records, count);
    if (!mirrored[s])
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
    for (size_t s = 0; s < sections.size(); ++s)
        if (mirrored[s] && memory[s].size() != sections[s].bytes())
            return false;
    if (writer) {
        const bool written = writer->finish();
        writer.reset();
        if (written)
            file = SummaryFileReader::open(path, key, sections);
        readable = file != nullptr;
        return readable;
    }
    readable = path.empty();
    return readable;
}

bool SummaryStore::read(size_t s, uint64_t first, uint64_t count, void* out) const
{
    if (!readable || s >= sections.size() || first > sections[s].records || count > sections[s].records - first)
        return false;
    if (!mirrored[s]) {
        if (file && file->read(s, first, count, out))
            return true;
        if (file && !broken.exchange(true) && !path.empty())
            std::remove(path.c_str());
        return false;
    }
    const size_t at = static_cast<size_t>(first * sections[s].recordBytes);
    std::memcpy(out, memory[s].data() + at, static_cast<size_t>(count * sections[s].recordBytes));
    return true;
}
