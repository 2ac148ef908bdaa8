#pragma once
// What a plot widget passes on of the mouse and keyboard: the plots interpret
// nothing themselves; whoever drives them sets a handler.

#include <QPoint>
#include <Qt>

#include <functional>

struct PlotInput
{
    enum class Kind
    {
        Press,
        Move,
        Release,
        Wheel,
        Leave,
        Key,
    };
    Kind kind = Kind::Move;
    // Pointer position in the widget's coordinates (not used by Key and Leave).
    QPoint position;
    // The button that was pressed or released.
    Qt::MouseButton button = Qt::NoButton;
    // Buttons held after the event.
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
    // Wheel turn in eighths of a degree (120 per notch of a usual wheel).
    QPoint angleDelta;
    // Qt::Key of a Key event.
    int key = 0;
};

// Returns whether the input was used; unused keys go on to the parent.
using PlotInputHandler = std::function<bool(const PlotInput&)>;

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

PlotInput plotInputOf(PlotInput::Kind kind, const QMouseEvent& event);
PlotInput plotInputOf(const QWheelEvent& event);
PlotInput plotInputOf(const QKeyEvent& event);
// Hands the input to the handler, if one is set; whether it was used.
bool passInput(const PlotInputHandler& handler, const PlotInput& input);
