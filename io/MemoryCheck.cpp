// Available memory from /proc/meminfo, checked before the sample sequences are sized.

#include "io/MemoryCheck.h"

#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace {

const std::string defaultMeminfoPath = "/proc/meminfo";

std::string& meminfoPath()
{
    static std::string path = defaultMeminfoPath;
    return path;
}

uint64_t workingBytesPerSample = 0;

} // namespace

uint64_t availableMemoryBytes()
{
    constexpr uint64_t unknown = std::numeric_limits<uint64_t>::max();
    std::ifstream meminfo(meminfoPath());
    if (!meminfo)
        return unknown;
    std::string line;
    while (std::getline(meminfo, line)) {
        // "MemAvailable:   23771236 kB"
        std::istringstream fields(line);
        std::string key;
        uint64_t kibibytes = 0;
        std::string unit;
        if (!(fields >> key) || key != "MemAvailable:")
            continue;
        if (!(fields >> kibibytes >> unit) || unit != "kB")
            return unknown;
        if (kibibytes > unknown / 1024)
            return unknown;
        return kibibytes * 1024;
    }
    return unknown;
}

namespace {

void checkMemory(uint64_t sampleCount, uint64_t bytesPerSample)
{
    // Callers limit sampleCount (at most 1e9) and the share stays far below overflow.
    const uint64_t needed = sampleCount * bytesPerSample;
    const uint64_t available = availableMemoryBytes();
    if (needed > available)
        throw std::runtime_error("Not enough memory to load " + std::to_string(sampleCount)
                                 + " samples: they need " + std::to_string(needed)
                                 + " bytes, but only " + std::to_string(available)
                                 + " bytes are available");
}

} // namespace

void checkMemoryForSamples(uint64_t sampleCount)
{
    checkMemory(sampleCount, 2 * sizeof(double) + workingBytesPerSample);
}

void checkWorkingMemory(uint64_t sampleCount)
{
    if (workingBytesPerSample > 0)
        checkMemory(sampleCount, workingBytesPerSample);
}

void setWorkingBytesPerSample(uint64_t bytes)
{
    workingBytesPerSample = bytes;
}

void setMeminfoPath(const std::string& path)
{
    meminfoPath() = path.empty() ? defaultMeminfoPath : path;
}
