#pragma once
// What the README's picture tours share: the window as the application shows it
// (1400 x 900, Fusion, dark palette) on a recording, waiting for its work, mouse
// events sent as a user's, a point of the spectrogram, and the picture saved.

#include <QEvent>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class ControlPanel;
class MainWindow;
class QWidget;
class SpectrogramView;

// The tour's arguments (program, recording, picture, then up to `extra` more);
// nothing, with the usage printed, when they do not fit.
std::optional<QStringList> tourArguments(int extra, const char* usage);
// The main window on `recording`, shown as the application shows it, its load done.
std::unique_ptr<MainWindow> openTourWindow(const QString& recording);
// Runs the event loop until the panel's work is done (at most a minute).
void settle(ControlPanel* panel);
void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers keys = {});
// The pixel of the spectrogram at a time and a baseband frequency.
QPoint pointAt(const SpectrogramView* view, double seconds, double hertz);
// The whole window saved as a PNG; 0, or 1 with a message naming `program`.
int saveTourPicture(MainWindow& window, const QString& path, const char* program);
