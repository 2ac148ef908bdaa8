// Samples decoded from their file on demand, block by block.

#include "io/FileSamples.h"

#include "io/FileError.h"
#include "io/MemoryCheck.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

// Bytes read per pass: large enough that the system call costs little per sample,
// small enough to stay in cache while it is decoded.
constexpr std::size_t blockBytes = 64 * 1024;

} // namespace

FileSamples::FileSamples(InputFile file, uint64_t offset, uint64_t count, uint32_t sampleSize,
                         ChunkDecoder decode, std::string datatype)
    : file(std::move(file)), offset(offset), count(count), sampleSize(sampleSize), decode(decode),
      datatype(std::move(datatype))
{
    if (!decode || sampleSize == 0 || sampleSize > blockBytes)
        throw std::invalid_argument("FileSamples needs a decoder and a sample size");
}

std::string FileSamples::identity() const
{
    return file.identity() + " offset=" + std::to_string(offset) + " samples=" + std::to_string(count)
           + " sampleBytes=" + std::to_string(sampleSize) + " datatype=" + datatype;
}

void FileSamples::read(uint64_t first, std::size_t wanted, double* i, double* q) const
{
    if (first > count || wanted > count - first)
        throw std::runtime_error("Failed to read samples: range beyond the recording");
    if (wanted == 0)
        return;
    const std::size_t perBlock = blockBytes / sampleSize;
    const std::size_t bufferSamples = std::min(wanted, perBlock);
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(bufferSamples * sampleSize);
    for (std::size_t done = 0; done < wanted;) {
        const std::size_t samples = std::min(perBlock, wanted - done);
        const std::size_t bytes = samples * sampleSize;
        if (file.readAt(offset + (first + done) * sampleSize, buffer.get(), bytes) != bytes)
            throw FileError("Cannot read " + quotedPath(file.path())
                            + ": it is shorter than when it was opened (" + std::to_string(count)
                            + " samples expected)");
        decode(buffer.get(), samples, i + done, q + done);
        done += samples;
    }
}

std::optional<StoredSamples> FileSamples::stored() const
{
    if (datatype.empty())
        return std::nullopt;
    return StoredSamples{&file, offset, sampleSize, datatype};
}

std::shared_ptr<const FileSamples> FileSamples::open(InputFile file, uint64_t offset,
                                                     uint64_t size, const std::string& datatype,
                                                     SampleFormat* format, std::string* note)
{
    const std::string name = quotedPath(file.path());
    if (size == 0)
        throw FileError(name + " is empty");
    if (const std::string fault = datatypeFault(datatype); !fault.empty())
        throw FileError("Cannot read " + name + " as \""
                        + (datatype.size() > 24 ? datatype.substr(0, 21) + "..." : datatype) + "\": " + fault);
    const uint64_t sampleSize = static_cast<uint64_t>(parseSampleFormat(datatype).sampleSize);
    if (size < sampleSize)
        throw FileError(name + " holds " + std::to_string(size) + (size == 1 ? " byte" : " bytes")
                        + ", less than one " + datatype + " sample (" + std::to_string(sampleSize)
                        + " bytes)");
    if (!note && size % sampleSize != 0)
        throw FileError(name + " holds " + std::to_string(size) + " bytes, not a whole number of "
                        + datatype + " samples (" + std::to_string(sampleSize) + " bytes each)");
    if (size / sampleSize > maxSampleCount)
        throw FileError(name + " holds " + std::to_string(size / sampleSize)
                        + " samples, more than the " + std::to_string(maxSampleCount)
                        + " one recording may hold");
    if (note) {
        const uint64_t stray = size % sampleSize;
        if (stray != 0 && size > sampleSize) {
            size -= stray;
            *note = std::to_string(stray) + (stray == 1 ? " byte" : " bytes")
                    + " after the last whole sample " + (stray == 1 ? "is" : "are") + " ignored";
        }
    }
    const SampleFormat parsed = checkSampleBytes(size, datatype);
    const uint64_t samples = size / static_cast<uint64_t>(parsed.sampleSize);
    checkWorkingMemory(samples);
    const ChunkDecoder decoder = chunkDecoderFor(parsed);
    if (!decoder)
        throw std::runtime_error("Unsupported datatype");
    if (format)
        *format = parsed;
    return std::make_shared<const FileSamples>(std::move(file), offset, samples,
                                               static_cast<uint32_t>(parsed.sampleSize), decoder,
                                               datatype);
}
