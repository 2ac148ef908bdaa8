// The readers' fuzz targets, shared by libFuzzer and the corpus replay.

#include "tests/fuzz/FuzzTargets.h"

#include "io/Recording.h"
#include "io/SampleFormat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Aborts with a message: an invariant of the readers does not hold.
void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}

// A private scratch folder for the files the readers open (one per process).
const std::string& scratchDir()
{
    static const std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/norvale-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        check(mkdtemp(buffer.data()) != nullptr, "cannot create a scratch folder");
        return std::string(buffer.data());
    }();
    return dir;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    check(static_cast<bool>(out), "cannot write a scratch file");
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A loaded recording must describe its own sequences.
void checkConsistent(const Recording& recording)
{
    check(recording.iSamples().size() == recording.sampleCount(), "I length differs from count");
    check(recording.qSamples().size() == recording.sampleCount(), "Q length differs from count");
    if (recording.isLoaded())
        check(recording.sampleRate() > 0, "a loaded recording has sample rate 0");
}

// A recording loaded from known samples, to show that a failed load changes nothing.
void preload(Recording& recording)
{
    recording.assign(1234, {1.0, -2.0, 3.0}, {0.5, 0.25, -0.125});
}

void checkUnchanged(const Recording& recording)
{
    check(recording.isLoaded() && recording.sampleRate() == 1234 && recording.sampleCount() == 3,
          "a failed load changed the recording");
    check(recording.iSamples() == std::vector<double>({1.0, -2.0, 3.0}) &&
              recording.qSamples() == std::vector<double>({0.5, 0.25, -0.125}),
          "a failed load changed the samples");
}

} // namespace

void fuzzDatatype(const uint8_t* data, size_t size)
{
    const std::string datatype(reinterpret_cast<const char*>(data), size);
    SampleFormat format;
    try {
        format = parseSampleFormat(datatype);
    } catch (const std::exception&) {
        return;
    }
    check(format.bitDepth == 8 || format.bitDepth == 16 || format.bitDepth == 32 ||
              format.bitDepth == 64,
          "parsed an unsupported bit depth");
    check(format.sampleSize == format.bytesPerValue * format.valuesPerSample, "sample size");

    // Decode a few samples of fixed bytes both ways; they must agree bit for bit.
    unsigned char bytes[4 * 16];
    for (size_t k = 0; k < sizeof bytes; ++k)
        bytes[k] = static_cast<unsigned char>(k * 37u + size);
    const ChunkDecoder decoder = chunkDecoderFor(format);
    const size_t count = sizeof bytes / static_cast<size_t>(format.sampleSize);
    std::vector<double> i(count), q(count);
    if (decoder)
        decoder(bytes, count, i.data(), q.data());
    for (size_t k = 0; k < count; ++k) {
        const unsigned char* sample = bytes + k * format.sampleSize;
        double expectedI = 0.0, expectedQ = 0.0;
        try {
            expectedI = decodeValue(sample, format.kind, format.bitDepth, format.littleEndian);
            if (format.complex)
                expectedQ = decodeValue(sample + format.bytesPerValue, format.kind, format.bitDepth,
                                        format.littleEndian);
        } catch (const std::exception&) {
            check(decoder == nullptr, "a decoder exists for a datatype decodeValue refuses");
            return;
        }
        check(decoder != nullptr, "no decoder for a datatype decodeValue accepts");
        check(sameBits(i[k], expectedI) && sameBits(q[k], expectedQ),
              "chunk decoder differs from decodeValue");
    }
}

void fuzzRawReader(const uint8_t* data, size_t size)
{
    if (size < 1)
        return;
    const size_t length = std::min<size_t>(data[0], size - 1);
    const std::string datatype(reinterpret_cast<const char*>(data + 1), length);
    const std::string path = scratchDir() + "/raw.bin";
    writeFile(path, data + 1 + length, size - 1 - length);

    std::vector<double> i, q;
    int32_t count = -1;
    try {
        count = readBinarySamples(path, datatype, i, q);
    } catch (const std::exception&) {
    }
    if (count >= 0) {
        check(i.size() == static_cast<size_t>(count) && q.size() == i.size(),
              "sequences differ from the returned count");
        const SampleFormat format = parseSampleFormat(datatype);
        check(static_cast<size_t>(count) * format.sampleSize == size - 1 - length,
              "count does not match the file size");
        const uint8_t* file = data + 1 + length;
        for (int32_t k = 0; k < count; ++k) {
            const uint8_t* sample = file + static_cast<size_t>(k) * format.sampleSize;
            const double expectedI =
                decodeValue(sample, format.kind, format.bitDepth, format.littleEndian);
            const double expectedQ =
                format.complex ? decodeValue(sample + format.bytesPerValue, format.kind,
                                             format.bitDepth, format.littleEndian)
                               : 0.0;
            check(sameBits(i[k], expectedI) && sameBits(q[k], expectedQ),
                  "a sample differs from decodeValue");
        }
    }

    Recording recording;
    preload(recording);
    try {
        recording.loadBinary(path, datatype, 48000.0);
    } catch (const std::exception&) {
        checkUnchanged(recording);
    }
    checkConsistent(recording);
}

void fuzzWav(const uint8_t* data, size_t size)
{
    const std::string path = scratchDir() + "/input.wav";
    writeFile(path, data, size);
    Recording recording;
    preload(recording);
    try {
        recording.loadWav(path);
    } catch (const std::exception&) {
        checkUnchanged(recording);
    }
    checkConsistent(recording);
}

void fuzzSigmf(const uint8_t* data, size_t size)
{
    if (size < 2)
        return;
    const size_t metaLength = std::min<size_t>(data[0] | (size_t(data[1]) << 8), size - 2);
    const std::string base = scratchDir() + "/input";
    writeFile(base + ".sigmf-meta", data + 2, metaLength);
    writeFile(base + ".sigmf-data", data + 2 + metaLength, size - 2 - metaLength);
    Recording recording;
    preload(recording);
    try {
        recording.loadSigmf(base + ".sigmf-meta");
    } catch (const std::exception&) {
        checkUnchanged(recording);
    }
    checkConsistent(recording);
}

void fuzzSigmfArchive(const uint8_t* data, size_t size)
{
    const std::string path = scratchDir() + "/input.sigmf";
    writeFile(path, data, size);
    Recording recording;
    preload(recording);
    try {
        recording.loadSigmfArchive(path);
        // The samples lie inside the archive, one byte or more each.
        check(recording.sampleCount() <= size, "more samples than the archive has bytes");
    } catch (const std::exception&) {
        checkUnchanged(recording);
    }
    checkConsistent(recording);
}
