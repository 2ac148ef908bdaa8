// Annotation boxes through the spectrogram's axis maps.

#include "views/AnnotationBoxes.h"

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

const QColor annotationColor(255, 170, 40);
const QColor selectedColor(255, 235, 120);
const QColor sketchColor(255, 255, 255);
const QColor labelBacking(0, 0, 0, 150);
constexpr int selectedPenWidth = 2;
constexpr int labelPadding = 2;
constexpr int annotationLabelInset = 3;
constexpr int narrowestAnnotationLabel = 100;
constexpr size_t mostAnnotationLabels = 500;
constexpr qsizetype maxAnnotationText = 2000;

// Pixel span [from, to] of a value span along a map, cut to limit ... limitEnd
// widened by one pixel each side; nothing when it misses them.
std::optional<std::pair<int, int>> pixelSpan(const AxisMap& map, double a, double b, int limit,
                                             int limitEnd)
{
    const double pa = map.pixelAt(a);
    const double pb = map.pixelAt(b);
    if (!std::isfinite(pa) || !std::isfinite(pb))
        return std::nullopt;
    double from = std::floor(std::min(pa, pb));
    double to = std::max(from, std::ceil(std::max(pa, pb)) - 1);
    if (to < limit || from > limitEnd)
        return std::nullopt;
    from = std::max(from, static_cast<double>(limit - 1));
    to = std::min(to, static_cast<double>(limitEnd + 1));
    return std::make_pair(static_cast<int>(from), static_cast<int>(to));
}

} // namespace

std::vector<AnnotationBox> annotationBoxes(const std::vector<RecordingAnnotation>& annotations,
                                           double fs)
{
    std::vector<AnnotationBox> boxes;
    for (const RecordingAnnotation& annotation : annotations) {
        AnnotationBox box;
        box.startTime = static_cast<double>(annotation.sampleStart) / fs;
        box.stopTime = (static_cast<double>(annotation.sampleStart)
                        + static_cast<double>(annotation.sampleCount)) / fs;
        box.lowFrequency = annotation.lowFrequency;
        box.highFrequency = annotation.highFrequency;
        const QString label = QString::fromStdString(annotation.label).left(maxAnnotationText);
        const QString comment =
            QString::fromStdString(annotation.comment).left(maxAnnotationText);
        box.label = label.isEmpty() ? comment : label;
        box.toolTip = label.isEmpty() || comment.isEmpty() || label == comment
                          ? box.label
                          : label + QStringLiteral(": ") + comment;
        boxes.push_back(std::move(box));
    }
    return boxes;
}

std::vector<PlacedAnnotation> placeAnnotations(const std::vector<AnnotationBox>& boxes,
                                               const AxisMap& timeMap,
                                               const AxisMap& frequencyMap,
                                               const QRect& plotRect)
{
    std::vector<PlacedAnnotation> placed;
    if (!timeMap.valid() || !frequencyMap.valid() || plotRect.isEmpty())
        return placed;
    for (size_t k = 0; k < boxes.size(); ++k) {
        const AnnotationBox& box = boxes[k];
        if (!(box.stopTime >= box.startTime))
            continue;
        const auto xs = pixelSpan(timeMap, box.startTime, box.stopTime, plotRect.left(),
                                  plotRect.right());
        std::optional<std::pair<int, int>> ys;
        if (box.lowFrequency && box.highFrequency) {
            if (!(*box.highFrequency >= *box.lowFrequency))
                continue;
            ys = pixelSpan(frequencyMap, *box.lowFrequency, *box.highFrequency, plotRect.top(),
                           plotRect.bottom());
        } else {
            ys = std::make_pair(plotRect.top() - 1, plotRect.bottom() + 1);
        }
        if (!xs || !ys)
            continue;
        const QRect outline(QPoint(xs->first, ys->first), QPoint(xs->second, ys->second));
        const QRect visible = outline & plotRect;
        if (visible.isEmpty())
            continue;
        placed.push_back({outline, visible, k});
    }
    return placed;
}

QString annotationToolTipAt(const std::vector<AnnotationBox>& boxes,
                            const std::vector<PlacedAnnotation>& placed, const QPoint& point)
{
    QStringList texts;
    for (const PlacedAnnotation& box : placed)
        if (box.visible.contains(point) && box.index < boxes.size()
            && !boxes[box.index].toolTip.isEmpty())
            texts << boxes[box.index].toolTip;
    return texts.join(QLatin1Char('\n'));
}

void drawAnnotationBoxes(QPainter& painter, const std::vector<AnnotationBox>& boxes,
                         const std::vector<PlacedAnnotation>& placed, const QRect& plotRect)
{
    if (placed.empty())
        return;
    painter.save();
    painter.setClipRect(plotRect);
    painter.setBrush(Qt::NoBrush);
    const QFontMetrics metrics = painter.fontMetrics();
    // Labels only while they can be told apart; the boxes always.
    const bool labelled = placed.size() <= mostAnnotationLabels;
    const QPen normalPen(annotationColor, 1);
    const QPen selectedPen(selectedColor, selectedPenWidth);
    const QPen sketchPen(sketchColor, 1, Qt::DashLine);
    for (const PlacedAnnotation& box : placed) {
        const AnnotationBox& shown = boxes[box.index];
        painter.setPen(shown.sketch ? sketchPen : shown.selected ? selectedPen : normalPen);
        painter.drawRect(box.outline.adjusted(0, 0, -1, -1));
        const QString& label = shown.label;
        if (label.isEmpty() || !labelled)
            continue;
        const int room =
            std::max(box.visible.width() - 2 * annotationLabelInset, narrowestAnnotationLabel);
        const QString text = metrics.elidedText(label, Qt::ElideRight, room);
        const QPoint at(box.visible.left() + annotationLabelInset,
                        box.visible.top() + annotationLabelInset + metrics.ascent());
        const QRect backing(at.x() - labelPadding, at.y() - metrics.ascent() - labelPadding / 2,
                            metrics.horizontalAdvance(text) + 2 * labelPadding,
                            metrics.height() + labelPadding);
        painter.fillRect(backing, labelBacking);
        painter.drawText(at, text);
    }
    painter.restore();
}
