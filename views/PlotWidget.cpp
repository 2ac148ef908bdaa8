// Input forwarding and overlay of every plot.

#include "views/PlotWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

PlotWidget::PlotWidget(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::WheelFocus);
}

void PlotWidget::setOverlay(PlotOverlay overlay)
{
    shownOverlay = std::move(overlay);
    update();
}

void PlotWidget::setMarks(std::vector<PlotMark> marks)
{
    shownMarks = std::move(marks);
    update();
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
