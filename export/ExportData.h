#pragma once
// The samples of an export: how they are made (stored bytes copied, values
// re-encoded, or one band extracted) and the bytes written.

#include "dsp/BandExtractor.h"
#include "dsp/WorkControl.h"
#include "export/ExportSelection.h"
#include "export/SampleEncoding.h"
#include "export/WavHeader.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class OutputFile;
class Sha512;

class ExportData
{
public:
    // The plan for request's samples of source in a SigMF dataset, or with
    // forWav in a WAV file's data chunk. Source and request must outlive it and
    // have been checked (range within the source, band within its rate).
    ExportData(const ExportSource& source, const ExportRequest& request, bool forWav);
    ~ExportData();

    // The SigMF datatype of the bytes ("ci16_le", "cu8", ...).
    const std::string& datatype() const { return sigmfDatatype; }
    // The WAV sample format of the bytes (meaningful with forWav).
    WavFormat wavFormat() const { return wav; }
    // Samples written and bytes they take.
    uint64_t sampleCount() const { return samples; }
    uint64_t byteCount() const { return samples * sampleBytes; }
    // Samples per second of the export.
    double sampleRate() const;
    // Export sample m is source sample first + m * decimation().
    uint32_t decimation() const;
    // Hertz the export's baseband lies above the source's (0 for the whole band).
    double shift() const;

    // Appends byteCount() bytes to file, and to digest when given. Counts
    // request.end - request.first units of progress on control (planned by the
    // caller), and for a band the samples around the range its filter reads
    // (planned here), and checks it between blocks.
    void write(OutputFile& file, Sha512* digest, WorkControl& control);

private:
    enum class Way { copy, encode, band };

    const ExportSource& source;
    const ExportRequest& request;
    Way way = Way::copy;
    std::optional<StoredSamples> stored;
    SampleEncoding encoding;
    // From the source's values to the encoding's (full scale kept).
    SampleConversion conversion;
    std::string sigmfDatatype;
    WavFormat wav;
    uint32_t sampleBytes = 0;
    uint64_t samples = 0;
    std::unique_ptr<BandExtractor> extractor;
};
