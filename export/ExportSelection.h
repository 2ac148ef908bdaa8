#pragma once
// "Export selection": a time range of the open recording, whole or one band of
// it, written to a new SigMF pair, SigMF archive or WAV file.

#include "dsp/WorkControl.h"
#include "io/Recording.h"
#include "io/SampleSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The open recording.
struct ExportSource
{
    std::shared_ptr<const SampleSource> samples;
    double sampleRate = 0; // samples per second, exactly
    RecordingInfo info;
    // Every file the recording reads (a pair's metadata and data), the one the
    // user opened first: the export never writes over them.
    std::vector<std::string> files;
};

// A band in the source's baseband hertz, low < high, within +-sampleRate / 2.
struct ExportBand
{
    double low = 0.0;
    double high = 0.0;
};

struct ExportRequest
{
    // The new recording; its ending, in any letter case, chooses the format:
    // ".sigmf-meta" a SigMF pair (the data file "<name>.sigmf-data" beside it),
    // ".sigmf" a SigMF archive, ".wav" a stereo WAV file (RF64 above 4 GB).
    std::string path;
    // Samples [first, end) of the source, first < end <= its size.
    uint64_t first = 0;
    uint64_t end = 0;
    // The same range in seconds as the user gave it, for the description.
    double startSeconds = 0.0;
    double stopSeconds = 0.0;
    // Only this band, mixed to 0 Hz, filtered and decimated, in cf32_le (or
    // 32-bit float WAV); none for the samples exactly as stored.
    std::optional<ExportBand> band;
};

// Writes the export in blocks of about a million samples: progress is planned
// and counted in source samples, cancellation checked between blocks. Files
// are written under temporary names beside the destination and renamed when
// complete (a pair's data file first); nothing is left behind when it fails or
// is cancelled. Throws std::runtime_error with the user-facing reason (a bad
// range or band, an unknown ending, a file of the source as the destination, a
// rate that is not whole for WAV, "Cannot write <path>: <reason>", a read error
// of the source) or WorkCancelled.
//
// Whole band: the stored bytes of the range are copied unchanged where the
// format holds them (a WAV source's samples keep their SigMF datatype; a source
// held in memory is written as cf64_le, its doubles exactly). Where they are
// converted, full scale stays full scale (see SampleConversion), so the power
// calibration holds: 24-bit PCM, which SigMF cannot name, becomes ci32_le
// shifted left by 8 bits; into a WAV file, formats it has no field for
// (big-endian, real, 8-bit signed, 16-bit and wider unsigned, 64-bit integers)
// become the nearest WAV format that holds their values. A band is written in
// cf32_le (or 32-bit float WAV) with full scale at 1. A DC offset removed from
// the views never changes the export. Every capture of the source that holds
// samples of the export is kept, at the export's sample index.
void exportSelection(const ExportSource& source, const ExportRequest& request,
                     WorkControl& control);
