// Takes the README's picture of annotating: opens a recording in the main
// window and drives it as a user would: a right-button drag draws a box around
// the +50 kHz tone's first second, the editor that opens gets a label and a
// comment, and the new row stands selected in the annotation table under the
// plots. Nothing is saved. Saves the window as a PNG.
//
// Usage: norvale-annotation-tour <recording> <picture.png>
// (run by scripts/run without a display; any Qt platform will do, offscreen included)

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "scripts/demo/TourWindow.h"
#include "views/SpectrogramView.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>

namespace {

// The demo's strong tone and the stretch of it that gets annotated.
constexpr double boxStart = 0.6;
constexpr double boxStop = 1.6;
constexpr double boxLow = 42000;
constexpr double boxHigh = 58000;
// How long the editor is given to open.
constexpr int editorDelayMs = 200;

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
    const std::optional<QStringList> arguments =
        tourArguments(0, "norvale-annotation-tour <recording> <picture.png>");
    if (!arguments)
        return 2;
    const std::unique_ptr<MainWindow> window = openTourWindow(arguments->at(1));
    ControlPanel* panel = window->panel();
    auto* view = window->findChild<SpectrogramView*>("spectrogramView");

    const QPoint from = pointAt(view, boxStart, boxHigh);
    const QPoint to = pointAt(view, boxStop, boxLow);
    sendMouse(view, QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
    sendMouse(view, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::RightButton);
    sendMouse(view, QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
    answerEditor();
    sendMouse(view, QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
    sendMouse(view, QEvent::MouseMove, pointAt(view, 1.1, 50000), Qt::NoButton, Qt::NoButton);
    settle(panel);
    return saveTourPicture(*window, arguments->at(2), "norvale-annotation-tour");
}
