#pragma once
// The SigMF metadata of an exported recording: the source's global fields that
// still hold, the source's captures and annotations moved into the export.

#include "io/Recording.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where an export's samples come from in its source, for its annotations.
struct AnnotationWindow
{
    uint64_t first = 0;      // source samples [first, end)
    uint64_t end = 0;
    uint32_t decimation = 1; // export sample m is source sample first + m * decimation
    // The band kept, in the source's baseband hertz; none for the whole band.
    std::optional<double> bandLow;
    std::optional<double> bandHigh;
    // Hertz that the export's baseband lies above the source's (the band's centre).
    double shift = 0.0;
};

// The source's annotations that overlap the window, clipped to it and moved to
// the export's sample indices (start rounded down, end up, at least one sample);
// those whose frequency edges lie wholly outside the band are dropped, others'
// edges clipped to it. Edges are absolute hertz when the source's capture at the
// annotation's start has a centre frequency, else the export's baseband. Every
// other field of the source's object is kept. Sorted by core:sample_start, ties
// in the source's order.
nlohmann::ordered_json exportedAnnotations(const RecordingInfo& source, const AnnotationWindow& window);

// One capture of the export.
struct ExportCapture
{
    uint64_t sampleStart = 0;        // the export's sample index
    std::optional<double> frequency; // centre frequency in hertz
    std::string datetime;            // start, ISO 8601 UTC; empty when unknown
};

// What the export's global object and captures say besides the source's fields.
struct ExportFacts
{
    std::string datatype;    // SigMF datatype of the data file
    double sampleRate = 0.0; // samples per second, exactly
    std::string description;
    std::string sha512;      // of the data file's bytes, hexadecimal
    // In the order of their starts, the first at sample 0.
    std::vector<ExportCapture> captures;
    // For a band export, the hertz its baseband lies above the source's (the
    // centre moved to 0 Hz): written as frequencyShiftKey, added to the source's.
    std::optional<double> frequencyShift;
};

// Our own namespace's field of a band export's global object: the hertz its
// baseband (0 Hz) lies above that of the recording it was first cut from, so a
// signal at f Hz in it was at f + shift Hz there. Declared in core:extensions.
constexpr const char* frequencyShiftKey = "norvale:frequency_shift";

// The whole metadata document: "global" (the source's fields that stay true,
// then the facts), the captures, and annotations.
nlohmann::ordered_json exportMetadata(const RecordingInfo& source, const ExportFacts& facts,
                                      nlohmann::ordered_json annotations);
