#pragma once
// A recording's samples left in their file: the file stays open and each read
// decodes just the requested range, so memory does not grow with the recording.

#include "io/InputFile.h"
#include "io/SampleFormat.h"
#include "io/SampleSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class FileSamples final : public SampleSource
{
public:
    // count samples of sampleSize bytes each, stored from byte offset of file and
    // decoded by decode (which must not be null), stored in datatype (see
    // StoredSamples; empty when it has no name; a WAV's own header names it
    // too, for the summaries' key). The caller has checked that the
    // file held them when it was opened.
    FileSamples(InputFile file, uint64_t offset, uint64_t count, uint32_t sampleSize,
                ChunkDecoder decode, std::string datatype = {});

    uint64_t size() const override { return count; }
    std::string identity() const override;
    uint64_t storedBytes() const override { return count * sampleSize; }
    // Reads through a buffer of its own per call, so concurrent reads share nothing
    // but the open file. A file shortened since it was opened throws FileError
    // ("Cannot read "<path>": it is shorter ..."); a removed or renamed one is still read.
    void read(uint64_t first, std::size_t count, double* i, double* q) const override;
    // The file, offset, sample size and datatype; nothing when the datatype is unnamed.
    std::optional<StoredSamples> stored() const override;

    // The headerless samples in bytes [offset, offset + size) of file, in datatype,
    // without decoding anything. Refusals name the file (FileError): it is empty,
    // the datatype cannot be read (datatypeFault), less than one sample, not whole
    // samples, too many samples; then the working memory. format, when given,
    // receives the parsed datatype. With `note` given, bytes after the last whole
    // sample (of at least one) are left out instead of refusing the file, and the
    // note says how many.
    static std::shared_ptr<const FileSamples> open(InputFile file, uint64_t offset, uint64_t size,
                                                   const std::string& datatype,
                                                   SampleFormat* format = nullptr,
                                                   std::string* note = nullptr);

private:
    InputFile file;
    uint64_t offset;
    uint64_t count;
    uint32_t sampleSize;
    ChunkDecoder decode;
    std::string datatype;
};
