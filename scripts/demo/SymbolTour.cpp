// Takes the README's picture of the symbols strip: opens a recording in the
// main window, shows the trace view on a burst (by default the demo's QPSK-like
// burst from 2.498 to 2.508 s in the band -75 ... -45 kHz, its phase), enters a
// symbol rate and modulation (by default 10,000 Bd QPSK) and extracts the
// symbols: their centres are ticked on the trace, the strip under it shows the
// symbols, bits and hexadecimal. Saves the window as a PNG.
//
// Usage: norvale-symbol-tour <recording> <picture.png> [start:stop] [low:high] [kind 0-2] [rate] [modulation]
// (run by scripts/run without a display; any Qt platform will do, offscreen included)

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "scripts/demo/TourWindow.h"
#include "session/ViewSession.h"
#include "views/SymbolStrip.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const std::optional<QStringList> arguments = tourArguments(
        5, "norvale-symbol-tour <recording> <picture.png> [start:stop] [low:high] [kind 0-2] [rate] [modulation]");
    if (!arguments)
        return 2;
    const std::unique_ptr<MainWindow> window = openTourWindow(arguments->at(1));
    ControlPanel* panel = window->panel();
    ViewSettings settings = panel->session()->requested();
    settings.display.showTrace = true;
    const QStringList range = arguments->value(3, "2.498:2.508").split(':');
    const QStringList band = arguments->value(4, "-75000:-45000").split(':');
    settings.range = {range.value(0).toDouble(), range.value(1).toDouble()};
    settings.band = {band.value(0).toDouble(), band.value(1).toDouble()};
    settings.display.traceKind = arguments->value(5, "2").toInt();
    panel->session()->apply(settings);
    settle(panel);
    auto* strip = window->findChild<SymbolStrip*>("symbolStrip");
    window->findChild<QLineEdit*>("symbolRateEdit")->setText(arguments->value(6, "10000"));
    window->findChild<QComboBox*>("modulationComboBox")->setCurrentText(arguments->value(7, "QPSK"));
    window->findChild<QPushButton*>("extractSymbolsButton")->click();
    QElapsedTimer clock;
    clock.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    while (strip->busy() && clock.elapsed() < 60000);
    settle(panel);
    return saveTourPicture(*window, arguments->at(2), "norvale-symbol-tour");
}
