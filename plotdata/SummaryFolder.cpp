// Cache file names and the folder's size cap.

#include "plotdata/SummaryFolder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* extension = ".nsum";
// A temporary file this old was left by a writer that will not finish it.
constexpr auto abandonedAfter = std::chrono::hours(24);

bool isCacheFile(const fs::path& file)
{
    return file.extension() == extension;
}

bool isTemporary(const fs::path& file)
{
    return file.filename().string().find(std::string(extension) + ".tmp-") != std::string::npos;
}

} // namespace

SummaryFolder::SummaryFolder(std::string path, uint64_t capBytes) : folder(std::move(path)), capBytes(capBytes) {}

std::string SummaryFolder::pathFor(const std::string& key) const
{
    // FNV-1a, 64 bits.
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : key) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    char name[32];
    std::snprintf(name, sizeof(name), "%016llx", static_cast<unsigned long long>(h));
    return (fs::path(folder) / (std::string(name) + extension)).string();
}

uint64_t SummaryFolder::totalBytes() const
{
    std::error_code error;
    uint64_t total = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (isCacheFile(it->path()) && it->is_regular_file(error))
            total += it->file_size(error);
    return total;
}

bool SummaryFolder::makeRoom(uint64_t bytes) const
{
    if (bytes > capBytes)
        return false;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        return false;
    struct Entry
    {
        fs::path path;
        fs::file_time_type used;
        uint64_t bytes;
    };
    std::vector<Entry> files;
    uint64_t total = 0;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored))
            continue;
        const fs::file_time_type used = it->last_write_time(ignored);
        if (isTemporary(it->path())) {
            if (now - used > abandonedAfter)
                fs::remove(it->path(), ignored);
            continue;
        }
        if (!isCacheFile(it->path()))
            continue;
        const uint64_t size = it->file_size(ignored);
        files.push_back({it->path(), used, size});
        total += size;
    }
    std::sort(files.begin(), files.end(), [](const Entry& a, const Entry& b) { return a.used < b.used; });
    for (const Entry& file : files) {
        if (total + bytes <= capBytes)
            break;
        std::error_code ignored;
        if (fs::remove(file.path, ignored))
            total -= file.bytes;
    }
    return total + bytes <= capBytes;
}

void SummaryFolder::touch(const std::string& file) const
{
    std::error_code ignored;
    fs::last_write_time(file, fs::file_time_type::clock::now(), ignored);
}
