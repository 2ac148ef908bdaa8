// Takes the README's picture of annotating: opens a recording in the main
// window and drives it as a user would: a right-button drag draws a box around
// the +50 kHz tone's first second, the editor that opens gets a label and a
// comment, and the new row stands selected in the annotation table under the
// plots. Nothing is saved. Saves the window as a PNG.
//
// Usage: norvale-annotation-tour <recording> <picture.png>
// (run by scripts/run without a display; any Qt platform will do, offscreen included)

#include "app/MainWindow.h"
#include "app/Palette.h"
#include "panel/ControlPanel.h"
#include "views/SpectrogramView.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

#include <cmath>
#include <iostream>

namespace {

// The demo's strong tone and the stretch of it that gets annotated.
constexpr double boxStart = 0.6;
constexpr double boxStop = 1.6;
constexpr double boxLow = 42000;
constexpr double boxHigh = 58000;
// How long the editor is given to open.
constexpr int editorDelayMs = 200;

void settle(ControlPanel* panel)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (panel->busy() && clock.elapsed() < 60000);
    QApplication::processEvents();
}

void send(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

QPoint pointAt(const SpectrogramView* view, double seconds, double hertz)
{
    return {static_cast<int>(std::lround(view->timeAxisMap().pixelAt(seconds))),
            static_cast<int>(std::lround(view->frequencyAxisMap().pixelAt(hertz)))};
}

// Types the label and comment into the editor once it is open, and presses OK.
void answerEditor()
{
    QTimer::singleShot(editorDelayMs, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QLineEdit*>("labelEdit")->setText("Carrier");
        dialog->findChild<QLineEdit*>("commentEdit")->setText("Steady tone at +50 kHz, first second");
        dialog->accept();
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::cerr << "Usage: norvale-annotation-tour <recording> <picture.png>\n";
        return 2;
    }
    MainWindow window(QStringList{"norvale", arguments.at(1)});
    window.resize(1400, 900);
    window.show();
    QApplication::setStyle("Fusion");
    applyDarkPalette();
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    auto* view = window.findChild<SpectrogramView*>("spectrogramView");
    settle(panel);

    const QPoint from = pointAt(view, boxStart, boxHigh);
    const QPoint to = pointAt(view, boxStop, boxLow);
    send(view, QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
    send(view, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::RightButton);
    send(view, QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
    answerEditor();
    send(view, QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
    send(view, QEvent::MouseMove, pointAt(view, 1.1, 50000), Qt::NoButton, Qt::NoButton);
    settle(panel);

    if (!window.grab().toImage().save(arguments.at(2))) {
        std::cerr << "norvale-annotation-tour: cannot write " << arguments.at(2).toStdString() << '\n';
        return 1;
    }
    return 0;
}
