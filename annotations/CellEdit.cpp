// The table's numbers read through the panel's line edits and FieldReader.

#include "annotations/CellEdit.h"

#include "annotations/AnnotationTableModel.h"
#include "panel/LineEdits.h"
#include "plotdata/PlotMath.h"
#include "session/NumberText.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// A duration typed that comes within this share of a whole number of samples is that number.
constexpr double wholeSampleTolerance = 1e-6;

uint64_t samplesIn(double seconds, double fs)
{
    const double exact = seconds * fs;
    const double nearest = std::round(exact);
    const double count = std::abs(exact - nearest) <= wholeSampleTolerance * std::max(1.0, exact)
                             ? nearest
                             : std::ceil(exact);
    return count >= 1.8e19 ? UINT64_MAX : static_cast<uint64_t>(std::max(1.0, count));
}

// Keeps [start, start + count) within the recording: an end beyond it means its
// end. The start lies within it (below total).
void clipToRecording(AnnotationFields& fields, uint64_t total)
{
    fields.sampleCount = std::min(fields.sampleCount, total - fields.sampleStart);
}

} // namespace

std::optional<AnnotationFields> editedFields(const AnnotationFields& current, int column,
                                             const QString& text, const CellLimits& limits,
                                             const FieldReader::Refusal& refuse)
{
    AnnotationFields fields = current;
    const FieldReader reader(refuse);
    const double fs = limits.sampleRate;
    const double duration = static_cast<double>(limits.sampleCount) / fs;
    switch (column) {
    case AnnotationTableModel::startColumn: {
        PositiveLineEdit field;
        field.setText(text);
        // An empty recording has no start to take, whatever its duration says.
        const std::optional<double> start = reader.read(&field, "start time", [&](double t) {
            if (t >= duration || limits.sampleCount == 0)
                throw std::runtime_error(QStringLiteral("must be less than the duration of the recording (%1 s)")
                                             .arg(exactNumber(duration))
                                             .toStdString());
        });
        if (!start)
            return std::nullopt;
        fields.sampleStart = std::min<uint64_t>(static_cast<uint64_t>(sampleAtOrAfter(fs, *start)),
                                                limits.sampleCount - 1);
        clipToRecording(fields, limits.sampleCount);
        return fields;
    }
    case AnnotationTableModel::durationColumn: {
        StrictPositiveLineEdit field;
        field.setText(text);
        // One that starts where the recording has no samples (an empty one, or an
        // entry of the file beyond its end) has no duration to clip: its start moves first.
        const std::optional<double> length = reader.read(&field, "duration", [&](double) {
            if (fields.sampleStart >= limits.sampleCount)
                throw std::runtime_error(
                    QStringLiteral("the annotation starts at or after the end of the recording (%1 s)")
                        .arg(exactNumber(duration))
                        .toStdString());
        });
        if (!length)
            return std::nullopt;
        fields.sampleCount = samplesIn(*length, fs);
        clipToRecording(fields, limits.sampleCount);
        return fields;
    }
    case AnnotationTableModel::lowColumn:
    case AnnotationTableModel::highColumn: {
        const bool low = column == AnnotationTableModel::lowColumn;
        if (text.trimmed().isEmpty()) {
            fields.lowFrequency.reset();
            fields.highFrequency.reset();
            return fields;
        }
        const double offset = limits.frequencyOffset;
        const ValueRange band = limits.band;
        RealLineEdit field;
        field.setText(text);
        const std::optional<double> edge =
            reader.read(&field, low ? "low frequency" : "high frequency", [&](double hz) {
                if (hz - offset < band.low || hz - offset > band.high)
                    throw std::runtime_error(QStringLiteral("must lie between %1 and %2 Hz")
                                                 .arg(exactNumber(band.low + offset),
                                                      exactNumber(band.high + offset))
                                                 .toStdString());
            });
        if (!edge)
            return std::nullopt;
        double lower = fields.lowFrequency.value_or(band.low);
        double upper = fields.highFrequency.value_or(band.high);
        (low ? lower : upper) = *edge - offset;
        if (!(lower < upper)) {
            refuse(QStringLiteral("Low frequency must be less than the high frequency"));
            return std::nullopt;
        }
        fields.lowFrequency = lower;
        fields.highFrequency = upper;
        return fields;
    }
    case AnnotationTableModel::labelColumn:
        fields.label = text.toStdString();
        return fields;
    case AnnotationTableModel::commentColumn:
        fields.comment = text.toStdString();
        return fields;
    default:
        return std::nullopt;
    }
}
