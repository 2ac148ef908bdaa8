#pragma once
// The SigMF metadata of an exported recording: the source's global fields that
// still hold, one capture, and the source's annotations moved into the export.

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
    // The source capture's centre frequency in hertz, when it gives one.
    std::optional<double> sourceCentre;
    // Hertz that the export's baseband lies above the source's (the band's centre).
    double shift = 0.0;
};

// The annotations that overlap the window, clipped to it and moved to the
// export's sample indices (start rounded down, end up, at least one sample);
// those whose frequency edges lie wholly outside the band are dropped, others'
// edges clipped to it. Edges are absolute hertz when the source has a centre
// frequency, else the export's baseband. Every other field of the source's
// object is kept. Sorted by core:sample_start, ties in the source's order.
nlohmann::ordered_json exportedAnnotations(const std::vector<RecordingAnnotation>& annotations,
                                           const AnnotationWindow& window);

// What the export's global object and capture say besides the source's fields.
struct ExportFacts
{
    std::string datatype;    // SigMF datatype of the data file
    double sampleRate = 0.0; // samples per second
    std::string description;
    std::string sha512;      // of the data file's bytes, hexadecimal
    std::optional<double> frequency; // the capture's centre frequency in hertz
    std::string datetime;    // the capture's start, ISO 8601 UTC; empty when unknown
};

// The whole metadata document: "global" (the source's fields that stay true,
// then the facts), one capture at sample 0, and annotations.
nlohmann::ordered_json exportMetadata(const RecordingInfo& source, const ExportFacts& facts,
                                      nlohmann::ordered_json annotations);
