#pragma once
// The settings column on the left of the main window: file format and raw-file
// parameters, the Open button, the loaded file's summary and status, the time
// range, the spectrogram/spectrum and power settings, and the display switches.
// It reads and checks the fields, loads into the main window's recording and
// asks its scheduler to compute the views; the mouse's requests come through
// the same fields and checks.

#include "panel/ArchiveChoice.h"
#include "panel/PanelForm.h"
#include "panel/ViewHistory.h"
#include "panel/ViewRequests.h"
#include "panel/ViewScheduler.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class AmplitudeView;
class PlotNavigator;
class PowerView;
class QLabel;
class PendingEdits;
class QTimer;
class Recording;
class SelectionExport;
class SpectrogramView;
class SpectrumView;

// Index of the "File format" box: 0 "Auto", 1 "SigMF", 2 "WAV", 3 "Binary",
// 4 "IQW" (the order of FileFormat). Any other value is an unsupported format.
using FileFormatChoice = int;

class ControlPanel : public QWidget, public ViewRequests
{
public:
    // The views must exist: the panel reads its defaults from them and hides the
    // amplitude view.
    ControlPanel(Recording* recording, SpectrogramView* spectrogramView, PowerView* powerView,
                 AmplitudeView* amplitudeView, SpectrumView* spectrumView,
                 QWidget* parent = nullptr);
    ~ControlPanel() override;

    // Loads a recording and recomputes every view over the whole of it and its
    // whole band. Never throws: a failure is shown in a critical "Error" box (no
    // parent) and leaves the previous recording, views and fields as they were.
    // The file is checked at once; the views are computed in the background, and
    // the recording replaces the current one with their results (a cancel leaves
    // everything as it was).
    void loadFile(const QString& path, FileFormatChoice format);
    // Whether a load, an Apply, a refresh or an export is being computed or about to be.
    bool busy() const override;
    // Stops the running work, dropping its result (the Cancel button).
    void cancelWork();
    // Stops all work and waits for its threads (the window is closing).
    void stopWork();

    // Reactions of the Open button and the three Apply buttons. Open checks a raw
    // file's datatype and rate before it asks for the file.
    void openFile();
    // Loads `path` with the Open group set to the format, datatype and rate given.
    void openWith(const QString& path, FileFormatChoice format, const QString& datatype,
                  const QString& rate);
    // The Open group's format, datatype and rate texts.
    FileFormatChoice formatChoice() const;
    QString datatypeText() const;
    QString sampleRateText() const;
    // Called with the path of each recording that loads.
    void setLoadedHandler(std::function<void(const QString& path)> handler) { onLoaded = std::move(handler); }
    // Called whenever the views have shown what was asked of them, or the frequency
    // offset changed.
    void setViewsShownHandler(std::function<void()> handler) { onViewsShown = std::move(handler); }
    // Asked before each load; the load goes ahead only when it returns true
    // (the annotations' unsaved changes are saved or given up first).
    void setLoadGuard(std::function<bool()> guard) { loadGuard = std::move(guard); }
    // Chooses which recording of an archive holding several to open (nothing
    // cancels the load); without one a list asks, or with a message sink the
    // first is opened.
    void setRecordingChooser(RecordingChooser chooser) { recordingChooser = std::move(chooser); }
    void applyTimeRange();
    void applySpectrumSettings();
    void applyPowerSettings();

    // Status label "Processing..." (cyan) / "Ready" (green), repainted at once.
    void setStatusProcessing();
    void setStatusReady();

    // The time range and band the views show, as applied (values and field texts).
    ViewState shownView() const override { return shown; }
    // The band limits -(fs / 2) and fs / 2 in Hz (integer halving); NaN before a load.
    double lowestFrequency() const { return minFrequency; }
    double highestFrequency() const { return maxFrequency; }
    ValueRange bandLimits() const override { return {minFrequency, maxFrequency}; }
    // Sets the time fields, then the time-range Apply.
    void applyTimeRangeTexts(const QString& start, const QString& stop) override;
    // Sets the band fields, then the spectrum Apply.
    void applyBandTexts(const QString& low, const QString& high) override;
    // Sets all four fields, then applies the time range and the spectrum settings
    // together, with the checks of both Apply reactions in turn.
    void applyView(const ViewState& state);
    // The view before or after the current one in the history of time ranges
    // and bands; the whole recording and band.
    void goBack() override;
    void goForward() override;
    void showWholeRecording() override;
    // Equal parts of the span between the two cursors (the "Cursor divisions" field
    // as last accepted).
    int cursorDivisions() const override { return divisions; }
    // Hertz the views add to baseband frequencies: while "Show absolute
    // frequency" is ticked, the centre frequency of the capture holding the
    // view's start (or at `seconds`), else 0.
    double frequencyOffset() const override;
    double frequencyOffsetAt(double seconds) const override;
    uint32_t fftSize() const override;
    // The line under the plots where the pointer and cursor readout goes.
    void setReadoutLabel(QLabel* label);

    // What the panel keeps from one start to the next; applying them sets the
    // fields and the views' FFT size, overlap, range and colour map.
    PanelSettings settings() const;
    void applySettings(const PanelSettings& settings);

    // Where the panel's messages go: message boxes ("Error" without parent,
    // "Input Error" on the panel) unless a sink is set, as a command line sets one.
    using MessageSink =
        std::function<void(QMessageBox::Icon icon, const QString& title, const QString& text)>;
    void setMessageSink(MessageSink sink) { messageSink = std::move(sink); }
    // With false, loads fill the fields and labels at once without computing
    // the views (a command line that only exports or informs).
    void setViewsComputed(bool computed) { viewsComputed = computed; }
    // Writes the time range the views show, and with onlyBand only the band
    // shown, to `path` in the background (progress bar and Cancel meanwhile);
    // `done` gets an empty text when the file is written, else the reason, which
    // has also gone to the message sink unless it is a cancel.
    void exportSelection(const QString& path, bool onlyBand,
                         std::function<void(const QString& failure)> done = {});

private:
    void commitLoad(Recording& fresh, double duration, double fullScale);
    void showLoaded(const QString& path, double duration);
    // The time range, and the spectrogram's settings, read and checked as their
    // Apply does (each refusal shown in an "Input Error" box).
    std::optional<TimeRange> readTimeRange();
    std::optional<SpectrogramSettings> readSpectrumSettings();
    // Recomputes the views for a new time range, new spectrum settings or both.
    void runRequests(const std::optional<TimeRange>& time,
                     const std::optional<SpectrogramSettings>& spectrogram);
    void readCursorDivisions();
    void showFrequencyOffset();
    void showInputError(const QString& text);
    void showError(const QString& text);
    void jobStarted();
    void jobsIdle();
    void showDcOffset();
    // The fields of each group written back from what the views show.
    void showTimeFields();
    void showSpectrumFields();
    void showPowerFields();

    Recording* recording;
    SpectrogramView* spectrogramView;
    PowerView* powerView;
    AmplitudeView* amplitudeView;
    SpectrumView* spectrumView;
    PanelWidgets form;
    // Duration in seconds of the loaded recording; NaN before the first load, so
    // that no stop time snaps to it.
    double fileDuration;
    // Band limits -(fs / 2) and fs / 2 in Hz (integer halving); NaN before the first load.
    double minFrequency;
    double maxFrequency;
    int divisions = 1;
    std::unique_ptr<ViewScheduler> scheduler;
    std::unique_ptr<SelectionExport> exporter;
    MessageSink messageSink;
    bool viewsComputed = true;
    PendingEdits* pendingEdits = nullptr;
    // The spectrogram's settings as last applied (the fields put back on Escape).
    SpectrogramSettings appliedSpectrogram;
    QString lastFolder;
    std::function<void(const QString&)> onLoaded;
    std::function<void()> onViewsShown;
    std::function<bool()> loadGuard;
    RecordingChooser recordingChooser;
    // The file name shown before a load started (put back when it is cancelled).
    QString previousFileName;
    QTimer* progressTimer = nullptr;
    // What the views show, and where they were before.
    ViewState shown;
    ViewHistory history;
    std::unique_ptr<PlotNavigator> navigator;
};
