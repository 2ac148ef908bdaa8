// The README's picture tours' shared window, events and picture.

#include "scripts/demo/TourWindow.h"

#include "app/MainWindow.h"
#include "app/Palette.h"
#include "panel/ControlPanel.h"
#include "views/SpectrogramView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>

#include <cmath>
#include <iostream>

std::optional<QStringList> tourArguments(int extra, const char* usage)
{
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3 || arguments.size() > 3 + extra) {
        std::cerr << "Usage: " << usage << '\n';
        return std::nullopt;
    }
    return arguments;
}

std::unique_ptr<MainWindow> openTourWindow(const QString& recording)
{
    auto window = std::make_unique<MainWindow>(QStringList{"norvale", recording});
    window->resize(1400, 900);
    window->show();
    // As the application looks.
    QApplication::setStyle("Fusion");
    applyDarkPalette();
    settle(window->panel());
    return window;
}

void settle(ControlPanel* panel)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (panel->busy() && clock.elapsed() < 60000);
    QApplication::processEvents();
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers keys)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, keys);
    QApplication::sendEvent(widget, &event);
}

QPoint pointAt(const SpectrogramView* view, double seconds, double hertz)
{
    return {static_cast<int>(std::lround(view->timeAxisMap().pixelAt(seconds))),
            static_cast<int>(std::lround(view->frequencyAxisMap().pixelAt(hertz)))};
}

int saveTourPicture(MainWindow& window, const QString& path, const char* program)
{
    if (window.grab().toImage().save(path))
        return 0;
    std::cerr << program << ": cannot write " << path.toStdString() << '\n';
    return 1;
}
