#pragma once
// What a user sets of an annotation, and the SigMF annotation object that says
// it: a new one with Norvale as generator and a UUID of its own, or an edited
// one that keeps every field the edit did not change exactly as it was.

#include "io/RecordingContents.h"

#include <cstdint>
#include <optional>
#include <string>

struct AnnotationFields
{
    uint64_t sampleStart = 0;
    uint64_t sampleCount = 0;
    // Baseband hertz (the centre frequency of the capture holding sampleStart
    // taken off); both or neither.
    std::optional<double> lowFrequency;
    std::optional<double> highFrequency;
    std::string label;
    std::string comment;

    static AnnotationFields of(const RecordingAnnotation& annotation);
    bool operator==(const AnnotationFields& other) const = default;
};

// "Norvale <version>", the core:generator of the annotations it makes.
std::string annotationGenerator();

// A new annotation of `info`'s recording: core:sample_start, core:sample_count,
// the edges (absolute hertz when the capture holding the start gives a centre
// frequency, else baseband), core:label, core:comment, core:generator and
// core:uuid, in that order.
RecordingAnnotation createdAnnotation(const AnnotationFields& fields, const RecordingInfo& info,
                                      const std::string& uuid);

// `old` with the fields changed: only the members that now say something else
// are written (an edge also when its capture's centre frequency changed with the
// start); the others, and every member of other namespaces, keep their value and
// place. A comment replaces a core:description it was read from; an empty label
// or comment takes out its member, edges taken away take out both.
RecordingAnnotation editedAnnotation(const RecordingAnnotation& old, const AnnotationFields& fields,
                                     const RecordingInfo& info);
