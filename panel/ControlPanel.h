#pragma once
// The settings column on the left of the main window: file format and raw-file
// parameters, the Open button, the loaded file's summary and status, the time
// range, the spectrogram/spectrum and power settings, and the display switches.
// It reads and checks the fields into the view session's settings and asks the
// session to load and apply them; it writes back what the session shows.

#include "panel/ArchiveChoice.h"
#include "panel/PanelFields.h"
#include "panel/PanelForm.h"
#include "session/RecordingRequest.h"
#include "session/ViewSettings.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class AmplitudeView;
class BandListening;
class PendingEdits;
class PlotNavigator;
class PowerView;
class QLabel;
class Recording;
class SpectrogramView;
class SpectrumModel;
class SpectrumView;
class TraceView;
class ViewKind;
class ViewSession;
class WorkIndicator;

class ControlPanel : public QWidget
{
public:
    // The views must exist: the panel takes its defaults from them, shows them
    // through its session (the amplitude view hidden at first), and draws the
    // spectrum its session computes.
    // The trace view, when given, shows the band's trace and Play plays it.
    ControlPanel(Recording* recording, SpectrogramView* spectrogramView, PowerView* powerView,
                 AmplitudeView* amplitudeView, SpectrumView* spectrumView, QWidget* parent = nullptr,
                 TraceView* traceView = nullptr);
    ~ControlPanel() override;

    // The session the panel drives, and the spectrum it computes.
    ViewSession* session() const { return viewSession.get(); }
    SpectrumModel* spectrum() const { return spectrumModel.get(); }

    // Loads a recording and shows the whole of it and its whole band. Never
    // throws: a failure is shown in a critical "Error" box (no parent) and leaves
    // the previous recording, views and fields as they were. The file is read
    // at once; the views are computed in the background, and the recording
    // replaces the current one with their results (a cancel leaves everything
    // as it was).
    void loadFile(const QString& path, FileFormatChoice format);
    // Whether a load, an Apply, a refresh or an export is being computed or about to be.
    bool busy() const;
    // Stops the running work, dropping its result (the Cancel button).
    void cancelWork();
    // Stops all work and waits for it (the window is closing).
    void stopWork();

    // Open checks a raw file's datatype and rate before it asks for the file.
    void openFile();
    // Loads `path` with the Open group set to the format, datatype and rate given.
    void openWith(const QString& path, FileFormatChoice format, const QString& datatype, const QString& rate);
    // The Open group's format, datatype and rate texts.
    FileFormatChoice formatChoice() const;
    QString datatypeText() const;
    QString sampleRateText() const;
    // Asked before each load; the load goes ahead only when it returns true
    // (the annotations' unsaved changes are saved or given up first).
    void setLoadGuard(std::function<bool()> guard) { loadGuard = std::move(guard); }
    // Chooses which recording of an archive holding several to open (nothing
    // cancels the load); without one a list asks, or with a message sink the
    // first is opened.
    void setRecordingChooser(RecordingChooser chooser) { recordingChooser = std::move(chooser); }
    // The Apply buttons: each reads and checks its group, then applies it
    // (every other setting as it is asked for).
    void applyTimeRange();
    void applySpectrumSettings();
    void applyPowerSettings();

    // Status label "Processing..." (cyan) / "Ready" (green), repainted at once.
    void setStatusProcessing();
    void setStatusReady();

    // The band limits -(fs / 2) and fs / 2 in Hz (integer halving); NaN before a load.
    double lowestFrequency() const;
    double highestFrequency() const;
    // The view before or after in the history of time ranges and bands; the
    // whole recording and band.
    void goBack();
    void goForward();
    void showWholeRecording();
    // The line under the plots where the pointer and cursor readout goes.
    void setReadoutLabel(QLabel* label);

    // What the panel keeps from one start to the next; applying them sets the
    // FFT size, overlap, range, colour map and views shown.
    PanelSettings settings() const;
    void applySettings(const PanelSettings& settings);

    // Where the panel's messages go: message boxes ("Error" without parent,
    // "Input Error" on the panel) unless a sink is set.
    using MessageSink =
        std::function<void(QMessageBox::Icon icon, const QString& title, const QString& text)>;
    void setMessageSink(MessageSink sink) { messageSink = std::move(sink); }
    // Writes the time range shown, and with onlyBand only the band shown, to
    // `path` in the background (progress bar and Cancel meanwhile); `done` gets
    // an empty text when the file is written, else the reason, which has also
    // been shown unless it is a cancel.
    void exportSelection(const QString& path, bool onlyBand, std::function<void(const QString& failure)> done = {});

private:
    void connectForm();
    // The settings asked for with one change, applied (a switch, a gesture).
    void change(const std::function<void(ViewSettings&)>& edit);
    void recordingShown(const QString& path);
    void settingsShown(const ViewSettings& shown);
    void busyChanged(bool busy);
    void readCursorDivisions();
    void readSquelch();
    void showNote(const QString& title, const QString& text);
    void showInputError(const QString& text);
    void showError(const QString& text);

    Recording* recording;
    // The power view, computed anew by the power group's Apply.
    ViewKind* powerKind = nullptr;
    std::unique_ptr<SpectrumModel> spectrumModel;
    std::unique_ptr<ViewSession> viewSession;
    PanelWidgets form;
    PendingEdits* pendingEdits = nullptr;
    std::unique_ptr<PanelFields> fields;
    // The settings the fields were last written from.
    ViewSettings written;
    MessageSink messageSink;
    QString lastFolder;
    std::function<bool()> loadGuard;
    RecordingChooser recordingChooser;
    WorkIndicator* indicator = nullptr;
    std::unique_ptr<PlotNavigator> navigator;
    BandListening* listening = nullptr;
};
