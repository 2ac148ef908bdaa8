#pragma once
// The settings column on the left of the main window: file format and raw-file
// parameters, the Open button, the loaded file's summary and status, the time
// range, the spectrogram/spectrum and power settings, and the display switches.
// It owns no signal data: it loads into the main window's recording and drives
// the four views through pointers that outlive it.

#include "panel/ViewHistory.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class AmplitudeView;
class JobRunner;
class PlotNavigator;
class QBoxLayout;
class QProgressBar;
class QPushButton;
class QTimer;
class ViewComputation;
class PositiveLineEdit;
class PowerView;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class RealLineEdit;
class SampleSource;
class Recording;
class SpectrogramView;
class SpectrumView;
class StrictPositiveLineEdit;
struct SpectrumSettings;

// Index of the "File format" box: 0 "Auto", 1 "SigMF", 2 "WAV", 3 "Binary",
// 4 "IQW". Any other value is an unsupported format.
using FileFormatChoice = int;

class ControlPanel : public QWidget
{
public:
    // The views must exist: the panel reads its defaults from them and hides the
    // amplitude view.
    ControlPanel(Recording* recording, SpectrogramView* spectrogramView, PowerView* powerView,
                 AmplitudeView* amplitudeView, SpectrumView* spectrumView,
                 QWidget* parent = nullptr);
    ~ControlPanel() override;

    // Loads a recording and recomputes every view. Never throws: a failure is shown
    // in a critical "Error" box (no parent) and leaves the previous recording,
    // views and fields as they were. The file is checked at once; the views are
    // computed in the background, and the recording replaces the current one
    // with their results (a cancel leaves everything as it was).
    void loadFile(const QString& path, FileFormatChoice format);
    // Whether a load, an Apply or a refresh is being computed or about to be.
    bool busy() const;
    // Stops the running work, dropping its result (the Cancel button).
    void cancelWork();
    // Stops all work and waits for its threads (the window is closing).
    void stopWork();

    // Reactions of the Open button and the three Apply buttons.
    void openFile();
    void applyTimeRange();
    void applySpectrumSettings();
    void applyPowerSettings();

    // Status label "Processing..." (cyan) / "Ready" (green), repainted at once.
    void setStatusProcessing();
    void setStatusReady();

    // What the mouse and the keys over the plots ask for goes through the fields
    // and the Apply reactions above, with their checks and messages.
    // The time range and band the views show, as applied (values and field texts).
    ViewState shownView() const { return shown; }
    // The band limits -(fs / 2) and fs / 2 in Hz (integer halving); NaN before a load.
    double lowestFrequency() const { return minFrequency; }
    double highestFrequency() const { return maxFrequency; }
    // Sets the time fields, then the time-range Apply.
    void applyTimeRangeTexts(const QString& start, const QString& stop);
    // Sets the band fields, then the spectrum Apply.
    void applyBandTexts(const QString& low, const QString& high);
    // Sets all four fields, then applies the time range and the spectrum settings
    // together, with the checks of both Apply reactions in turn.
    void applyView(const ViewState& state);
    // The view before or after the current one in the history of time ranges
    // and bands; the whole recording and band.
    void goBack();
    void goForward();
    void showWholeRecording();
    // Equal parts of the span between the two cursors (the "Cursor divisions" field
    // as last accepted).
    int cursorDivisions() const { return divisions; }
    // Hertz the views add to baseband frequencies: the centre frequency while
    // "Show absolute frequency" is ticked, else 0.
    double frequencyOffset() const;
    // The line under the plots where the pointer and cursor readout goes.
    void setReadoutLabel(QLabel* label);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildOpenGroup(QBoxLayout* panelLayout);
    void buildFileInformationGroup(QBoxLayout* panelLayout);
    void buildTimeRangeGroup(QBoxLayout* panelLayout);
    void buildSpectrumGroup(QBoxLayout* panelLayout);
    void buildPowerGroup(QBoxLayout* panelLayout);
    void buildDisplayGroup(QBoxLayout* panelLayout);
    struct PendingLoad;
    std::shared_ptr<PendingLoad> prepareLoad(const QString& path, FileFormatChoice format);
    void commitLoad(const PendingLoad& load);
    // A time range or spectrum settings read and checked as their Apply does.
    struct TimeRequest
    {
        double start;
        double stop;
        QString startText;
        QString stopText;
    };
    struct SpectrumRequest
    {
        int exponent;
        double startFrequency;
        double stopFrequency;
        double range;
        double overlap;
        QString startText;
        QString stopText;
    };
    std::optional<TimeRequest> readTimeRange();
    std::optional<SpectrumRequest> readSpectrumSettings();
    // Recomputes the views for a new time range, new spectrum settings or both.
    void runRequests(const std::optional<TimeRequest>& time,
                     const std::optional<SpectrumRequest>& spectrum);
    void readCursorDivisions();
    void showFrequencyOffset();
    void showInputError(const QString& text);
    // Computes `computations` over [start, stop] of the samples in the background
    // (with the range's DC offset removed when asked); then, on the GUI thread,
    // runs `before`, presents them and runs `after`. A failure is shown in an
    // "Error" box and changes nothing.
    void runViews(std::shared_ptr<const SampleSource> samples, double sampleRate, double start,
                  double stop, bool removeDc,
                  std::vector<std::unique_ptr<ViewComputation>> computations,
                  std::function<void()> before, std::function<void()> after);
    // The spectrogram's computation with its current FFT size and overlap, and
    // every view's with its current settings (the spectrum's as given).
    std::unique_ptr<ViewComputation> spectrogramComputation(double fs, uint64_t count, double start,
                                                            double stop);
    std::vector<std::unique_ptr<ViewComputation>> viewComputations(uint32_t rate, uint64_t count,
                                                                   double start, double stop,
                                                                   const SpectrumSettings& spectrum);
    void jobStarted();
    void jobsIdle();
    void updateProgress();
    // The DC check box was ticked or unticked by the user.
    void removeDcToggled(bool remove);
    void showDcOffset();
    // A view's plot width changed under results computed for another: it is
    // computed again (after a short pause, and once nothing else runs).
    void requestRefresh(QWidget* view);
    void refreshStaleViews();

    void refreshViewsNeedingWidth();

    Recording* recording;
    SpectrogramView* spectrogramView;
    PowerView* powerView;
    AmplitudeView* amplitudeView;
    SpectrumView* spectrumView;
    QComboBox* formatComboBox = nullptr;
    QLineEdit* binaryFormatEdit = nullptr;
    StrictPositiveLineEdit* sampleRateEdit = nullptr;
    // Duration in seconds of the loaded recording; NaN before the first load, so
    // that no stop time snaps to it.
    double fileDuration;
    QLabel* statusLabel = nullptr;
    QLabel* fileNameLabel = nullptr;
    QLabel* fileLengthLabel = nullptr;
    QLabel* fileDurationLabel = nullptr;
    QLabel* sampleRateLabel = nullptr;
    // What the file says besides its samples; hidden when it says nothing.
    QLabel* centreFrequencyLabel = nullptr;
    QLabel* startTimeLabel = nullptr;
    QLabel* fileNoteLabel = nullptr;
    QLabel* dcOffsetLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* cancelButton = nullptr;
    PositiveLineEdit* startTimeEdit = nullptr;
    StrictPositiveLineEdit* stopTimeEdit = nullptr;
    // Band limits -(fs / 2) and fs / 2 in Hz (integer halving); NaN before the first load.
    double minFrequency;
    double maxFrequency;
    QSpinBox* fftExponentSpinBox = nullptr;
    QLabel* fftSizeLabel = nullptr;
    RealLineEdit* startFrequencyEdit = nullptr;
    RealLineEdit* stopFrequencyEdit = nullptr;
    QDoubleSpinBox* overlapSpinBox = nullptr;
    StrictPositiveLineEdit* rangeEdit = nullptr;
    StrictPositiveLineEdit* averageWindowEdit = nullptr;
    StrictPositiveLineEdit* fullScaleValueEdit = nullptr;
    StrictPositiveLineEdit* fullScaleVoltageEdit = nullptr;
    StrictPositiveLineEdit* inputImpedanceEdit = nullptr;
    QCheckBox* mirrorCheckBox = nullptr;
    QCheckBox* removeDcCheckBox = nullptr;
    QCheckBox* showAnnotationsCheckBox = nullptr;
    QCheckBox* absoluteFrequencyCheckBox = nullptr;
    StrictPositiveLineEdit* cursorDivisionsEdit = nullptr;
    int divisions = 1;
    // Overlap (percent) and exponent last given to the spectrogram; 0 never matches
    // the exponent box (minimum 1), so the first spectrum Apply recomputes.
    double appliedOverlap = 0;
    int32_t appliedFftExponent = 0;
    // The time range and DC removal the views show, and the offset removed.
    double shownStart = 0;
    double shownStop = 0;
    bool dcRemoved = false;
    double dcI = 0;
    double dcQ = 0;
    std::unique_ptr<JobRunner> jobs;
    QTimer* progressTimer = nullptr;
    QTimer* refreshTimer = nullptr;
    std::set<QWidget*> staleViews;
    // Hidden views whose pictures are of another range or offset than the rest.
    std::set<QWidget*> outdatedViews;
    // What the views show, and where they were before.
    ViewState shown;
    ViewHistory history;
    std::unique_ptr<PlotNavigator> navigator;
};
