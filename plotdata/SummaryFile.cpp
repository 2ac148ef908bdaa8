// Summary cache files: written whole under a temporary name, checked when read.

#include "plotdata/SummaryFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char magic[8] = {'N', 'O', 'R', 'V', 'S', 'U', 'M', '1'};
constexpr uint32_t formatVersion = 1;
constexpr uint64_t chunkBytes = uint64_t(1) << 12;
constexpr uint64_t fixedHeaderBytes = 64;
constexpr uint64_t sectionEntryBytes = 16;
constexpr uint64_t alignment = 4096;
// Where the header's own checksum sits in it.
constexpr size_t checksumAt = 48;

uint64_t alignUp(uint64_t value, uint64_t to)
{
    return (value + to - 1) / to * to;
}

// A 64-bit checksum of a byte range: words mixed in by multiplication, the
// tail padded with zeros. Catches damage, not deliberate forgery.
uint64_t checksum(const unsigned char* bytes, size_t size)
{
    uint64_t h = 0x243F6A8885A308D3ull ^ size;
    size_t k = 0;
    for (; k + 8 <= size; k += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + k, 8);
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 32;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, bytes + k, size - k);
    h = (h ^ tail) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

struct FileLayout
{
    std::vector<uint64_t> sectionOffsets;
    std::vector<size_t> firstChunk;
    uint64_t chunks = 0;
    uint64_t headerBytes = 0;
    uint64_t dataOffset = 0;
    uint64_t totalBytes = 0;
};

FileLayout layoutOf(const std::string& key, const std::vector<SectionLayout>& sections)
{
    FileLayout layout;
    for (const SectionLayout& s : sections) {
        layout.firstChunk.push_back(static_cast<size_t>(layout.chunks));
        layout.chunks += (s.bytes() + chunkBytes - 1) / chunkBytes;
    }
    layout.headerBytes = fixedHeaderBytes + key.size() + sectionEntryBytes * sections.size() + 8 * layout.chunks;
    layout.dataOffset = alignUp(layout.headerBytes, alignment);
    uint64_t at = layout.dataOffset;
    for (const SectionLayout& s : sections) {
        layout.sectionOffsets.push_back(at);
        at = alignUp(at + s.bytes(), alignment);
    }
    layout.totalBytes = at;
    return layout;
}

template <typename T>
void put(std::vector<unsigned char>& out, size_t at, T value)
{
    std::memcpy(out.data() + at, &value, sizeof(T));
}

template <typename T>
T get(const std::vector<unsigned char>& in, size_t at)
{
    T value{};
    std::memcpy(&value, in.data() + at, sizeof(T));
    return value;
}

bool writeAll(int fd, const void* data, size_t size, uint64_t offset)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t done = 0; done < size;) {
        const ssize_t wrote = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

bool readAll(int fd, void* data, size_t size, uint64_t offset)
{
    auto* bytes = static_cast<unsigned char*>(data);
    for (size_t done = 0; done < size;) {
        const ssize_t got = ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

std::atomic<uint64_t> temporaryCounter{0};

} // namespace

uint64_t summaryFileBytes(const std::string& key, const std::vector<SectionLayout>& sections)
{
    return layoutOf(key, sections).totalBytes;
}

SummaryFileWriter::SummaryFileWriter(std::string path, std::string key, std::vector<SectionLayout> sections)
    : path(std::move(path)), key(std::move(key)), sections(std::move(sections))
{
    const FileLayout layout = layoutOf(this->key, this->sections);
    sectionOffsets = layout.sectionOffsets;
    firstChunk = layout.firstChunk;
    checksums.assign(static_cast<size_t>(layout.chunks), 0);
    written.assign(this->sections.size(), 0);
    pending.resize(this->sections.size());
    temporary = this->path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(temporaryCounter++);
    descriptor = ::open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (descriptor >= 0 && ::ftruncate(descriptor, static_cast<off_t>(layout.totalBytes)) != 0) {
        ::close(descriptor);
        ::unlink(temporary.c_str());
        descriptor = -1;
    }
}

SummaryFileWriter::~SummaryFileWriter()
{
    if (descriptor >= 0)
        ::close(descriptor);
    if (!finished && !temporary.empty())
        ::unlink(temporary.c_str());
}

void SummaryFileWriter::append(size_t s, const void* records, uint64_t count)
{
    if (descriptor < 0 || failed || s >= sections.size())
        return;
    const uint64_t bytes = count * sections[s].recordBytes;
    if (written[s] + bytes > sections[s].bytes()) {
        failed = true;
        return;
    }
    const auto* in = static_cast<const unsigned char*>(records);
    for (uint64_t done = 0; done < bytes;) {
        std::vector<unsigned char>& chunk = pending[s];
        const size_t take = static_cast<size_t>(std::min<uint64_t>(bytes - done, chunkBytes - chunk.size()));
        chunk.insert(chunk.end(), in + done, in + done + take);
        done += take;
        written[s] += take;
        if (chunk.size() == chunkBytes)
            writeChunk(s);
    }
}

void SummaryFileWriter::writeChunk(size_t s)
{
    std::vector<unsigned char>& chunk = pending[s];
    const uint64_t start = written[s] - chunk.size();
    checksums[firstChunk[s] + static_cast<size_t>(start / chunkBytes)] = checksum(chunk.data(), chunk.size());
    if (!writeAll(descriptor, chunk.data(), chunk.size(), sectionOffsets[s] + start))
        failed = true;
    chunk.clear();
}

bool SummaryFileWriter::finish()
{
    if (descriptor < 0 || finished)
        return false;
    for (size_t s = 0; s < sections.size(); ++s) {
        if (written[s] != sections[s].bytes())
            failed = true;
        else if (!pending[s].empty())
            writeChunk(s);
    }
    if (failed)
        return false;
    const FileLayout layout = layoutOf(key, sections);
    std::vector<unsigned char> header(static_cast<size_t>(layout.headerBytes), 0);
    std::memcpy(header.data(), magic, sizeof(magic));
    put<uint32_t>(header, 8, formatVersion);
    put<uint32_t>(header, 12, static_cast<uint32_t>(sections.size()));
    put<uint64_t>(header, 16, key.size());
    put<uint64_t>(header, 24, layout.chunks);
    put<uint64_t>(header, 32, layout.dataOffset);
    put<uint64_t>(header, 40, layout.totalBytes);
    size_t at = fixedHeaderBytes;
    std::memcpy(header.data() + at, key.data(), key.size());
    at += key.size();
    for (const SectionLayout& s : sections) {
        put<uint32_t>(header, at, s.recordBytes);
        put<uint64_t>(header, at + 8, s.records);
        at += sectionEntryBytes;
    }
    for (uint64_t sum : checksums) {
        put<uint64_t>(header, at, sum);
        at += 8;
    }
    put<uint64_t>(header, checksumAt, checksum(header.data(), header.size()));
    if (!writeAll(descriptor, header.data(), header.size(), 0))
        return false;
    ::close(descriptor);
    descriptor = -1;
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        return false;
    finished = true;
    return true;
}

std::unique_ptr<SummaryFileReader> SummaryFileReader::open(const std::string& path, const std::string& key,
                                                           const std::vector<SectionLayout>& sections)
{
    std::unique_ptr<SummaryFileReader> reader(new SummaryFileReader);
    reader->descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (reader->descriptor < 0)
        return nullptr;
    const FileLayout layout = layoutOf(key, sections);
    struct stat status = {};
    if (::fstat(reader->descriptor, &status) != 0 || !S_ISREG(status.st_mode)
        || static_cast<uint64_t>(status.st_size) != layout.totalBytes)
        return nullptr;
    std::vector<unsigned char> header(static_cast<size_t>(layout.headerBytes));
    if (!readAll(reader->descriptor, header.data(), header.size(), 0))
        return nullptr;
    const uint64_t stored = get<uint64_t>(header, checksumAt);
    put<uint64_t>(header, checksumAt, 0);
    if (std::memcmp(header.data(), magic, sizeof(magic)) != 0 || get<uint32_t>(header, 8) != formatVersion
        || get<uint32_t>(header, 12) != sections.size() || get<uint64_t>(header, 16) != key.size()
        || get<uint64_t>(header, 24) != layout.chunks || get<uint64_t>(header, 32) != layout.dataOffset
        || get<uint64_t>(header, 40) != layout.totalBytes
        || std::memcmp(header.data() + fixedHeaderBytes, key.data(), key.size()) != 0
        || checksum(header.data(), header.size()) != stored)
        return nullptr;
    size_t at = fixedHeaderBytes + key.size();
    for (const SectionLayout& s : sections) {
        if (get<uint32_t>(header, at) != s.recordBytes || get<uint64_t>(header, at + 8) != s.records)
            return nullptr;
        at += sectionEntryBytes;
    }
    for (uint64_t c = 0; c < layout.chunks; ++c, at += 8)
        reader->checksums.push_back(get<uint64_t>(header, at));
    reader->sections = sections;
    reader->sectionOffsets = layout.sectionOffsets;
    reader->firstChunk = layout.firstChunk;
    return reader;
}

SummaryFileReader::~SummaryFileReader()
{
    if (descriptor >= 0)
        ::close(descriptor);
}

bool SummaryFileReader::read(size_t s, uint64_t first, uint64_t count, void* out) const
{
    if (s >= sections.size() || first > sections[s].records || count > sections[s].records - first)
        return false;
    const uint64_t size = sections[s].bytes();
    const uint64_t begin = first * sections[s].recordBytes;
    const uint64_t end = begin + count * sections[s].recordBytes;
    std::vector<unsigned char> chunk;
    auto* target = static_cast<unsigned char*>(out);
    for (uint64_t start = begin / chunkBytes * chunkBytes; start < end; start += chunkBytes) {
        const size_t length = static_cast<size_t>(std::min(chunkBytes, size - start));
        chunk.resize(length);
        if (!readAll(descriptor, chunk.data(), length, sectionOffsets[s] + start)
            || checksum(chunk.data(), length) != checksums[firstChunk[s] + static_cast<size_t>(start / chunkBytes)])
            return false;
        const uint64_t from = std::max(begin, start);
        const uint64_t to = std::min(end, start + length);
        std::memcpy(target + (from - begin), chunk.data() + (from - start), static_cast<size_t>(to - from));
    }
    return true;
}
