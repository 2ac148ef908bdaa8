#pragma once
// Where the spectrogram draws a recording's annotations: each a time span and,
// when given, a frequency span, placed through the view's axis maps and clipped
// to its plot.

#include "io/RecordingContents.h"
#include "plotdata/AxisMap.h"

#include <QRect>
#include <QString>

class QPainter;

#include <optional>
#include <vector>

struct AnnotationBox
{
    // Seconds from the start of the recording.
    double startTime = 0;
    double stopTime = 0;
    // Baseband hertz; without them the box spans the whole band.
    std::optional<double> lowFrequency;
    std::optional<double> highFrequency;
    // Drawn in the box (elided to fit); the tool tip gives the whole text.
    QString label;
    QString toolTip;
    // The one chosen in the annotation table: drawn brighter and thicker.
    bool selected = false;
    // A box being drawn with the mouse: a dashed outline.
    bool sketch = false;
};

// A recording's annotations as the spectrogram draws them, at fs samples per
// second: the label in the box (the comment when there is no label) and
// both in the tool tip; texts far longer than any box or tool tip shows are cut.
std::vector<AnnotationBox> annotationBoxes(const std::vector<RecordingAnnotation>& annotations,
                                           double fs);

// A box as drawn: `outline` is the box in widget pixels, cut one pixel outside
// plotRect so that only its visible edges are drawn under a clip to the plot;
// `visible` is its part inside plotRect.
struct PlacedAnnotation
{
    QRect outline;
    QRect visible;
    size_t index;
};

// The boxes with some part inside plotRect, in the order given. A box is at
// least one pixel wide and high; a box with a non-finite or inverted span is left out.
std::vector<PlacedAnnotation> placeAnnotations(const std::vector<AnnotationBox>& boxes,
                                               const AxisMap& timeMap,
                                               const AxisMap& frequencyMap,
                                               const QRect& plotRect);

// The tool tips of the placed boxes holding the point, one per line.
QString annotationToolTipAt(const std::vector<AnnotationBox>& boxes,
                            const std::vector<PlacedAnnotation>& placed, const QPoint& point);

// Draws the placed boxes as outlines clipped to plotRect, with their labels
// (elided to fit, on a dark translucent backing that keeps them readable over
// bright lines) while there are few enough to tell apart.
void drawAnnotationBoxes(QPainter& painter, const std::vector<AnnotationBox>& boxes,
                         const std::vector<PlacedAnnotation>& placed, const QRect& plotRect);
