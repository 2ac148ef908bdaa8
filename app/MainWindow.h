#pragma once
// The application's only top-level window: it owns the recording, the four views
// and the control panel, with the File and Help menus, the control column on the
// left of a splitter and the "Time" / "Frequency" tabs on the right.

#include "io/Recording.h"

#include <QImage>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <memory>

class AmplitudeView;
class TraceView;
class MeasurementsGroup;
class SignalGroup;
class AnnotationEditor;
class BurstFinder;
class AnnotationPane;
class ControlPanel;
class QAction;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class PowerView;
class SpectrogramView;
class SpectrumView;
class ViewSession;

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

    ControlPanel* panel() const { return controlPanel; }
    // The session behind the panel and the views.
    ViewSession* session() const;
    // The measurements under the spectrum.
    MeasurementsGroup* measurements() const { return measurementsGroup; }
    AnnotationEditor* annotations() const { return annotationEditor.get(); }
    BurstFinder* burstFinder() const { return bursts.get(); }
    const Recording& recording() const { return shownRecording; }

    // Help menu boxes, modal, with this window as parent.
    void showFileFormats();
    void showMouseAndKeys();
    void showAbout();
    void showAboutQt();

    // File menu: the export dialog, then the export; the shown tab's plots saved
    // as a PNG file or copied to the clipboard; the settings back to the defaults.
    void exportSelection();
    void savePicture();
    void copyPicture();
    void resetSettings();

    // The plots of the tab shown, as the user sees them (the readout below the
    // tabs is left out); the "Time" tab's or the "Frequency" tab's.
    QImage picture() const;
    QImage timePicture() const;
    QImage frequencyPicture() const;
    // The size the "Time" tab's page would have in a window of `size`.
    QSize windowSizeForPage(const QSize& page) const;

protected:
    // A local file dropped on the window is loaded with the "Auto" rules, once the
    // drop has returned to the program it came from.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Asks what to do with unsaved annotations first (Cancel keeps the window
    // open), then keeps the window's geometry and the panel's settings for the
    // next start.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus(QWidget* menuParent, class QVBoxLayout* rootLayout);
    void buildFrame(QWidget* panel, const QList<QWidget*>& timeWidgets,
                    const QList<QWidget*>& frequencyWidgets);
    void buildEditMenu(class QMenuBar* menuBar);
    void fillRecentMenu();
    void recordingLoaded(const QString& path);

    QWidget* pageOf(int tab) const;

    // Destroyed before the widgets, which hold pointers to it but do not use it
    // while being destroyed.
    Recording shownRecording;
    ControlPanel* controlPanel = nullptr;
    SpectrogramView* spectrogramView = nullptr;
    AmplitudeView* amplitudeView = nullptr;
    TraceView* traceView = nullptr;
    PowerView* powerView = nullptr;
    SpectrumView* spectrumView = nullptr;
    MeasurementsGroup* measurementsGroup = nullptr;
    SignalGroup* signalGroup = nullptr;
    QSplitter* splitter = nullptr;
    QTabWidget* tabWidget = nullptr;
    QMenu* recentMenu = nullptr;
    QAction* previousAnnotationAction = nullptr;
    // Edit menu: each names the change it undoes or redoes.
    QAction* undoAction = nullptr;
    QAction* redoAction = nullptr;
    // The export dialog's last name and band choice.
    QString lastExportPath;
    bool lastExportBand = false;
    // Under the tabs: what lies under the pointer, and what the cursors measure.
    QLabel* readoutLabel = nullptr;
    // Under the readout: the annotation table and its buttons.
    AnnotationPane* annotationPane = nullptr;
    QSplitter* plotSplitter = nullptr;
    // Destroyed before the widgets it wires.
    std::unique_ptr<AnnotationEditor> annotationEditor;
    std::unique_ptr<BurstFinder> bursts;
};
