#pragma once
// A cell of the annotation table typed into, checked as the panel checks its
// fields (the same words in its "Input Error" messages): a start within the
// recording, a duration above 0 (an end beyond the recording meaning its end),
// edges within the band and in order (an empty edge for the whole band).

#include "panel/FieldReader.h"
#include "panel/RangeNavigation.h"
#include "sigmf/AnnotationFields.h"

#include <QString>

#include <cstdint>
#include <optional>

struct CellLimits
{
    double sampleRate = 1;
    uint64_t sampleCount = 0;
    // Baseband edges the panel accepts.
    ValueRange band;
    // Hertz the row's edges are shown with (a centre frequency, or 0).
    double frequencyOffset = 0;
};

// The annotation's fields with the text of `column` (AnnotationTableModel's
// columns) taken in, or nothing once `refuse` has been told why not.
std::optional<AnnotationFields> editedFields(const AnnotationFields& current, int column,
                                             const QString& text, const CellLimits& limits,
                                             const FieldReader::Refusal& refuse);
