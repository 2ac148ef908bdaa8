// Takes the README's picture of the mouse at work: opens a recording in the
// main window, then drives it with ordinary mouse and key events, as a user
// would: a drag across the burst zooms in, a Shift drag narrows the band, two
// clicks place cursors at the burst's start and end, absolute frequencies are
// ticked and the pointer rests on the burst. Saves the window as a PNG.
//
// Usage: norvale-mouse-tour <recording> <picture.png>
// (run by scripts/run without a display; any Qt platform will do, offscreen included)

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "scripts/demo/TourWindow.h"
#include "views/SpectrogramView.h"

#include <QApplication>
#include <QCheckBox>

namespace {

// The burst of the demo recording and the band around it.
constexpr double zoomStart = 2.45;
constexpr double zoomStop = 2.85;
constexpr double burstStart = 2.5;
constexpr double burstStop = 2.8;
constexpr double bandLow = -95000;
constexpr double bandHigh = -15000;
constexpr double burstCentre = -60000;

// Left-button events; a move carries no button of its own.
void send(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers keys = {})
{
    sendMouse(widget, type, at, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, keys);
}

void dragAcross(QWidget* widget, QPoint from, QPoint to, Qt::KeyboardModifiers keys = {})
{
    send(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, keys);
    send(widget, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton, keys);
    send(widget, QEvent::MouseMove, to, Qt::LeftButton, keys);
    send(widget, QEvent::MouseButtonRelease, to, Qt::NoButton, keys);
}

void click(QWidget* widget, QPoint at)
{
    send(widget, QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(widget, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const std::optional<QStringList> arguments = tourArguments(0, "norvale-mouse-tour <recording> <picture.png>");
    if (!arguments)
        return 2;
    const std::unique_ptr<MainWindow> window = openTourWindow(arguments->at(1));
    ControlPanel* panel = window->panel();
    auto* view = window->findChild<SpectrogramView*>("spectrogramView");

    dragAcross(view, pointAt(view, zoomStart, 0), pointAt(view, zoomStop, 0));
    settle(panel);
    dragAcross(view, pointAt(view, 2.6, bandLow), pointAt(view, 2.7, bandHigh), Qt::ShiftModifier);
    settle(panel);
    click(view, pointAt(view, burstStart, burstCentre));
    click(view, pointAt(view, burstStop, burstCentre + 5000));
    if (auto* absolute = window->findChild<QCheckBox*>("absoluteFrequencyCheckBox"))
        absolute->setChecked(true);
    send(view, QEvent::MouseMove, pointAt(view, 2.65, burstCentre), Qt::NoButton);
    settle(panel);

    return saveTourPicture(*window, arguments->at(2), "norvale-mouse-tour");
}
