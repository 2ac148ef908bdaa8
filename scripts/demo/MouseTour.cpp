// Takes the README's picture of the mouse at work: opens a recording in the
// main window, then drives it with ordinary mouse and key events, as a user
// would: a drag across the burst zooms in, a Shift drag narrows the band, two
// clicks place cursors at the burst's start and end, absolute frequencies are
// ticked and the pointer rests on the burst. Saves the window as a PNG.
//
// Usage: norvale-mouse-tour <recording> <picture.png>
// (run by scripts/run without a display; any Qt platform will do, offscreen included)

#include "app/MainWindow.h"
#include "app/Palette.h"
#include "panel/ControlPanel.h"
#include "views/SpectrogramView.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>

#include <cmath>
#include <iostream>

namespace {

// The burst of the demo recording and the band around it.
constexpr double zoomStart = 2.45;
constexpr double zoomStop = 2.85;
constexpr double burstStart = 2.5;
constexpr double burstStop = 2.8;
constexpr double bandLow = -95000;
constexpr double bandHigh = -15000;
constexpr double burstCentre = -60000;

void settle(ControlPanel* panel)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (panel->busy() && clock.elapsed() < 60000);
    QApplication::processEvents();
}

void send(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers keys = {})
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, keys);
    QApplication::sendEvent(widget, &event);
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

QPoint pointAt(const SpectrogramView* view, double seconds, double hertz)
{
    return {static_cast<int>(std::lround(view->timeAxisMap().pixelAt(seconds))),
            static_cast<int>(std::lround(view->frequencyAxisMap().pixelAt(hertz)))};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::cerr << "Usage: norvale-mouse-tour <recording> <picture.png>\n";
        return 2;
    }
    MainWindow window(QStringList{"norvale", arguments.at(1)});
    window.resize(1400, 900);
    window.show();
    // As the application looks.
    QApplication::setStyle("Fusion");
    applyDarkPalette();
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    auto* view = window.findChild<SpectrogramView*>("spectrogramView");
    settle(panel);

    dragAcross(view, pointAt(view, zoomStart, 0), pointAt(view, zoomStop, 0));
    settle(panel);
    dragAcross(view, pointAt(view, 2.6, bandLow), pointAt(view, 2.7, bandHigh), Qt::ShiftModifier);
    settle(panel);
    click(view, pointAt(view, burstStart, burstCentre));
    click(view, pointAt(view, burstStop, burstCentre + 5000));
    if (auto* absolute = window.findChild<QCheckBox*>("absoluteFrequencyCheckBox"))
        absolute->setChecked(true);
    send(view, QEvent::MouseMove, pointAt(view, 2.65, burstCentre), Qt::NoButton);
    settle(panel);

    if (!window.grab().toImage().save(arguments.at(2))) {
        std::cerr << "norvale-mouse-tour: cannot write " << arguments.at(2).toStdString() << '\n';
        return 1;
    }
    return 0;
}
