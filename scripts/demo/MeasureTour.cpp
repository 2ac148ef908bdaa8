// Takes the README's picture of measuring: opens a recording in the main window,
// shows the Frequency tab, narrows the band around the tone and the burst, puts
// marker 1 on the highest peak (P) and marker 2 on the peak beside it (Shift+P).
// Saves the window as a PNG.
//
// Usage: norvale-measure-tour <recording> <picture.png> [low:high hertz]
// (run by scripts/run without a display; any Qt platform will do, offscreen included)

#include "app/MainWindow.h"
#include "app/Palette.h"
#include "panel/ControlPanel.h"
#include "panel/MeasurementsGroup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTabWidget>

#include <iostream>

namespace {

void settle(ControlPanel* panel)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (panel->busy() && clock.elapsed() < 60000);
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3 && arguments.size() != 4) {
        std::cerr << "Usage: norvale-measure-tour <recording> <picture.png> [low:high]\n";
        return 2;
    }
    MainWindow window(QStringList{"norvale", arguments.at(1)});
    window.resize(1400, 900);
    window.show();
    QApplication::setStyle("Fusion");
    applyDarkPalette();
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    settle(panel);
    window.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
    if (arguments.size() == 4) {
        const QStringList band = arguments.at(3).split(':');
        panel->applyBandTexts(band.value(0), band.value(1));
    }
    settle(panel);
    MeasurementsGroup* group = window.measurements();
    group->peak();
    group->secondBeside();
    QApplication::processEvents();

    if (!window.grab().toImage().save(arguments.at(2))) {
        std::cerr << "norvale-measure-tour: cannot write " << arguments.at(2).toStdString() << '\n';
        return 1;
    }
    return 0;
}
