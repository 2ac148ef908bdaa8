// Takes the README's picture of the trace view: opens a recording in the main
// window, shows the trace view with its kind and squelch (by default the
// frequency, squelched 10 dB above the floor) and narrows the time range and
// band around a burst (by default the demo's). Saves the window as a PNG.
//
// Usage: norvale-trace-tour <recording> <picture.png> [start:stop seconds] [low:high hertz] [kind] [squelch dB]
// (run by scripts/run without a display; any Qt platform will do, offscreen included)

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "scripts/demo/TourWindow.h"
#include "session/ViewSession.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const std::optional<QStringList> arguments = tourArguments(
        4, "norvale-trace-tour <recording> <picture.png> [start:stop] [low:high] [kind 0-2] [squelch dB]");
    if (!arguments)
        return 2;
    const std::unique_ptr<MainWindow> window = openTourWindow(arguments->at(1));
    ControlPanel* panel = window->panel();
    ViewSettings settings = panel->session()->requested();
    settings.display.showTrace = true;
    const QStringList range = arguments->value(3, "2.3:3.0").split(':');
    const QStringList band = arguments->value(4, "-75000:-45000").split(':');
    settings.range = {range.value(0).toDouble(), range.value(1).toDouble()};
    settings.band = {band.value(0).toDouble(), band.value(1).toDouble()};
    settings.display.traceKind = arguments->value(5, "1").toInt();
    settings.display.squelchDb = arguments->value(6, "10").toDouble();
    panel->session()->apply(settings);
    settle(panel);
    QApplication::processEvents();
    return saveTourPicture(*window, arguments->at(2), "norvale-trace-tour");
}
