// Cells typed into where the annotation lies at or past the recording's end (an
// empty recording, or an entry of the file beyond its samples): refused with a
// reason, never a start or count that wrapped around.

#include "annotations/AnnotationTableModel.h"
#include "annotations/CellEdit.h"

#include <gtest/gtest.h>

TEST(CellEdit, NothingWrapsAtTheRecordingsEnd)
{
    const QString pastTheEnd = "Invalid duration: the annotation starts at or after the end of the recording (%1 s)";
    const struct
    {
        const char* name;
        uint64_t samples;   // in the recording, at 1000 samples per second
        uint64_t start;     // of the annotation
        int column;
        QString text;
        QString message;    // empty when taken
        uint64_t newStart, newCount;
    } rows[] = {
        {"empty: start", 0, 0, AnnotationTableModel::startColumn, "0",
         "Invalid start time: must be less than the duration of the recording (0 s)", 0, 0},
        {"empty: duration", 0, 0, AnnotationTableModel::durationColumn, "1", pastTheEnd.arg("0"), 0, 0},
        {"empty: label", 0, 5, AnnotationTableModel::labelColumn, "kept", "", 5, 10},
        {"beyond the end: duration", 5000, 6000, AnnotationTableModel::durationColumn, "1",
         pastTheEnd.arg("5"), 0, 0},
        {"beyond the end: start moved in", 5000, 6000, AnnotationTableModel::startColumn, "4.999", "", 4999, 1},
        {"within: duration past the end", 5000, 4000, AnnotationTableModel::durationColumn, "2", "", 4000, 1000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CellLimits limits;
        limits.sampleRate = 1000;
        limits.sampleCount = row.samples;
        limits.band = {-500, 500};
        AnnotationFields current;
        current.sampleStart = row.start;
        current.sampleCount = 10;
        QString refusal;
        const std::optional<AnnotationFields> fields = editedFields(
            current, row.column, row.text, limits, [&](const QString& message) { refusal = message; });
        EXPECT_EQ(refusal, row.message);
        EXPECT_EQ(fields.has_value(), row.message.isEmpty());
        if (fields) {
            EXPECT_EQ(fields->sampleStart, row.newStart);
            EXPECT_EQ(fields->sampleCount, row.newCount);
        }
    }
}
