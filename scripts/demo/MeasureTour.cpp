// Takes the README's picture of measuring: opens a recording in the main window,
// shows the Frequency tab, narrows the band around the tone and the burst, puts
// marker 1 on the highest peak (P) and marker 2 on the peak beside it (Shift+P).
// Saves the window as a PNG.
//
// Usage: norvale-measure-tour <recording> <picture.png> [low:high hertz]
// (run by scripts/run without a display; any Qt platform will do, offscreen included)

#include "app/MainWindow.h"
#include "session/ViewSession.h"
#include "panel/ControlPanel.h"
#include "panel/MeasurementsGroup.h"
#include "scripts/demo/TourWindow.h"

#include <QApplication>
#include <QTabWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const std::optional<QStringList> arguments =
        tourArguments(1, "norvale-measure-tour <recording> <picture.png> [low:high]");
    if (!arguments)
        return 2;
    const std::unique_ptr<MainWindow> window = openTourWindow(arguments->at(1));
    ControlPanel* panel = window->panel();
    window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
    if (arguments->size() == 4) {
        const QStringList band = arguments->at(3).split(':');
        panel->session()->showPlace(
            {panel->session()->requested().range, {band.value(0).toDouble(), band.value(1).toDouble()}});
    }
    settle(panel);
    MeasurementsGroup* group = window->measurements();
    group->peak();
    group->secondBeside();
    QApplication::processEvents();
    return saveTourPicture(*window, arguments->at(2), "norvale-measure-tour");
}
