// Mouse, wheel and key events of the plot widgets as PlotInput.

#include "views/PlotInput.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

PlotInput plotInputOf(PlotInput::Kind kind, const QMouseEvent& event)
{
    PlotInput input;
    input.kind = kind;
    input.position = event.position().toPoint();
    input.button = event.button();
    input.buttons = event.buttons();
    input.modifiers = event.modifiers();
    return input;
}

PlotInput plotInputOf(const QWheelEvent& event)
{
    PlotInput input;
    input.kind = PlotInput::Kind::Wheel;
    input.position = event.position().toPoint();
    input.buttons = event.buttons();
    input.modifiers = event.modifiers();
    input.angleDelta = event.angleDelta();
    return input;
}

PlotInput plotInputOf(const QKeyEvent& event)
{
    PlotInput input;
    input.kind = PlotInput::Kind::Key;
    input.modifiers = event.modifiers();
    input.key = event.key();
    return input;
}

bool passInput(const PlotInputHandler& handler, const PlotInput& input)
{
    return handler && handler(input);
}
