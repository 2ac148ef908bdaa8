// Input forwarding and overlay of every plot.

#include "views/PlotWidget.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStringList>
#include <QTextDocument>
#include <QToolTip>
#include <QWheelEvent>

#include <cstdlib>

namespace {

// How near the pointer must come to a marker line for its tool tip.
constexpr int markerReach = 3;

} // namespace

PlotWidget::PlotWidget(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::WheelFocus);
}

void PlotWidget::setOverlay(PlotOverlay overlay)
{
    givenOverlay = std::move(overlay);
    composeOverlay();
}

void PlotWidget::setPlayLine(std::optional<double> value)
{
    playLine = value;
    composeOverlay();
}

void PlotWidget::composeOverlay()
{
    shownOverlay = givenOverlay;
    shownOverlay.markers = markerLines;
    if (playLine)
        shownOverlay.xLines.push_back({*playLine, QString(), QColor(Qt::green)});
    shownOverlay.yLines.insert(shownOverlay.yLines.end(), guideLevels.begin(), guideLevels.end());
    shownOverlay.xTicks.insert(shownOverlay.xTicks.end(), guideTicks.begin(), guideTicks.end());
    update();
}

void PlotWidget::setGuides(std::vector<CursorLine> levels, std::vector<double> ticks)
{
    guideLevels = std::move(levels);
    guideTicks = std::move(ticks);
    composeOverlay();
}

void PlotWidget::setMarks(std::vector<PlotMark> marks)
{
    shownMarks = std::move(marks);
    update();
}

void PlotWidget::setMarkers(std::vector<MarkerLine> markers)
{
    markerLines = std::move(markers);
    composeOverlay();
}

QString PlotWidget::toolTipTextAt(const QPoint& point) const
{
    const AxisMap map = horizontalMap();
    if (!plotRect().contains(point))
        return {};
    QStringList texts;
    for (const MarkerLine& marker : markerLines)
        if (const std::optional<int> x = overlayPixelOf(map, marker.value);
            x && std::abs(*x - point.x()) <= markerReach)
            texts << marker.toolTip;
    return texts.join(QLatin1Char('\n'));
}

bool PlotWidget::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = toolTipTextAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // Texts from the file are shown as they are, never read as markup.
            QToolTip::showText(help->globalPos(),
                               Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text,
                               this);
        }
        return true;
    }
    return QWidget::event(event);
}

void PlotWidget::widthChanged()
{
    if (onWidthChanged)
        onWidthChanged();
}

void PlotWidget::mousePressEvent(QMouseEvent* event)
{
    if (!passInput(onInput, plotInputOf(PlotInput::Kind::Press, *event)))
        QWidget::mousePressEvent(event);
}

void PlotWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!passInput(onInput, plotInputOf(PlotInput::Kind::Move, *event)))
        QWidget::mouseMoveEvent(event);
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (!passInput(onInput, plotInputOf(PlotInput::Kind::Release, *event)))
        QWidget::mouseReleaseEvent(event);
}

void PlotWidget::wheelEvent(QWheelEvent* event)
{
    if (!passInput(onInput, plotInputOf(*event)))
        QWidget::wheelEvent(event);
}

void PlotWidget::keyPressEvent(QKeyEvent* event)
{
    if (!passInput(onInput, plotInputOf(*event)))
        QWidget::keyPressEvent(event);
}

void PlotWidget::leaveEvent(QEvent* event)
{
    PlotInput input;
    input.kind = PlotInput::Kind::Leave;
    passInput(onInput, input);
    QWidget::leaveEvent(event);
}
