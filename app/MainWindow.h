#pragma once
// The application's only top-level window: it owns the recording, the four views
// and the control panel, with the Help menu, the control column on the left and
// the "Time" / "Frequency" tabs on the right.

#include "io/Recording.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class AmplitudeView;
class ControlPanel;
class QDragEnterEvent;
class QDropEvent;
class PowerView;
class QLabel;
class SpectrogramView;
class SpectrumView;

class MainWindow : public QWidget
{
public:
    // Builds the views and the panel and, when the command line
    // (QCoreApplication::arguments()) names a recording, has the panel load it
    // (format "Auto") before the window is shown.
    explicit MainWindow(QWidget* parent = nullptr);
    // The same with the argument list given: its second entry, if any, is loaded.
    explicit MainWindow(const QStringList& arguments, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Help menu boxes, modal, with this window as parent.
    void showFileFormats();
    void showAbout();
    void showAboutQt();

protected:
    // A local file dropped on the window is loaded with the "Auto" rules, once the
    // drop has returned to the program it came from.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Menu bar, the fixed-width scroll area holding the panel, and the two tabs
    // holding the given widgets top to bottom.
    void buildFrame(QWidget* panel, const QList<QWidget*>& timeWidgets,
                    const QList<QWidget*>& frequencyWidgets);

    // Destroyed before the widgets, which hold pointers to it but do not use it
    // while being destroyed.
    Recording recording;
    ControlPanel* controlPanel = nullptr;
    SpectrogramView* spectrogramView = nullptr;
    AmplitudeView* amplitudeView = nullptr;
    PowerView* powerView = nullptr;
    SpectrumView* spectrumView = nullptr;
    // Under the tabs: what lies under the pointer, and what the cursors measure.
    QLabel* readoutLabel = nullptr;
};
