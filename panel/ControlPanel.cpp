// The control panel: its fields read and checked, loads, Applies, history and
// the readout's wiring; the form is built by PanelForm and the views are
// computed by the ViewScheduler.

#include "panel/ControlPanel.h"

#include "io/Recording.h"
#include "io/SampleFormat.h"
#include "panel/CaptureReadout.h"
#include "panel/FieldReader.h"
#include "panel/OpenChoice.h"
#include "panel/LineEdits.h"
#include "panel/PanelFields.h"
#include "panel/PendingEdits.h"
#include "panel/PlotNavigator.h"
#include "panel/RangeNavigation.h"
#include "panel/SelectionExport.h"
#include "views/AmplitudeView.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

// The spectrogram and spectrum handle FFT sizes up to 2^15.
constexpr int maxFftExponent = 15;
// How often the progress bar follows the running work.
constexpr int progressIntervalMs = 50;

} // namespace

ControlPanel::ControlPanel(Recording* recording, SpectrogramView* spectrogramView,
                           PowerView* powerView, AmplitudeView* amplitudeView,
                           SpectrumView* spectrumView, QWidget* parent)
    : QWidget(parent), recording(recording), spectrogramView(spectrogramView),
      powerView(powerView), amplitudeView(amplitudeView), spectrumView(spectrumView),
      fileDuration(std::numeric_limits<double>::quiet_NaN()),
      minFrequency(std::numeric_limits<double>::quiet_NaN()),
      maxFrequency(std::numeric_limits<double>::quiet_NaN()),
      scheduler(std::make_unique<ViewScheduler>(recording, spectrogramView, powerView,
                                                amplitudeView, spectrumView, nullptr)),
      exporter(std::make_unique<SelectionExport>(recording, this))
{
    FormDefaults defaults;
    defaults.overlapPercent = spectrogramView->overlap() * 100.0;
    defaults.rangeDb = spectrogramView->range();
    defaults.averageWindow = powerView->averageWindow();
    defaults.fullScaleValue = powerView->fullScaleValue();
    defaults.fullScaleVoltage = powerView->fullScaleVoltage();
    defaults.inputImpedance = powerView->inputImpedance();
    form = buildPanelForm(this, defaults);
    setStatusReady();
    amplitudeView->setVisible(false);

    connect(form.openButton, &QPushButton::clicked, this, &ControlPanel::openFile);
    connect(form.cancelButton, &QPushButton::clicked, this, &ControlPanel::cancelWork);
    connect(form.timeRangeApplyButton, &QPushButton::clicked, this, &ControlPanel::applyTimeRange);
    connect(form.spectrumApplyButton, &QPushButton::clicked, this, &ControlPanel::applySpectrumSettings);
    connect(form.powerApplyButton, &QPushButton::clicked, this, &ControlPanel::applyPowerSettings);
    connect(form.showPowerViewCheckBox, &QCheckBox::toggled, powerView, &QWidget::setVisible);
    connect(form.showAmplitudeViewCheckBox, &QCheckBox::toggled, amplitudeView, &QWidget::setVisible);
    connect(form.removeDcCheckBox, &QCheckBox::toggled, this, [this](bool remove) {
        if (this->recording->isLoaded())
            scheduler->setRemoveDc(remove);
    });
    connect(form.showAnnotationsCheckBox, &QCheckBox::toggled, spectrogramView,
            &SpectrogramView::setShowAnnotations);
    connect(form.absoluteFrequencyCheckBox, &QCheckBox::toggled, this, &ControlPanel::showFrequencyOffset);
    connect(form.bandPowerCheckBox, &QCheckBox::toggled, this, &ControlPanel::applyPowerSettings);
    connect(form.cursorDivisionsEdit, &QLineEdit::editingFinished, this, &ControlPanel::readCursorDivisions);

    // Edits not applied yet are marked until their group's Apply or Escape.
    pendingEdits = new PendingEdits(this);
    pendingEdits->addGroup({form.startTimeEdit, form.stopTimeEdit}, form.timeRangeApplyButton,
                           [this] { showTimeFields(); });
    pendingEdits->addGroup({form.fftExponentSpinBox, form.startFrequencyEdit, form.stopFrequencyEdit,
                            form.overlapSpinBox, form.rangeEdit, form.referenceLevelEdit},
                           form.spectrumApplyButton, [this] { showSpectrumFields(); });
    pendingEdits->addGroup({form.averageWindowEdit, form.fullScaleValueEdit, form.fullScaleVoltageEdit,
                            form.inputImpedanceEdit},
                           form.powerApplyButton, [this] { showPowerFields(); });

    progressTimer = new QTimer(this);
    progressTimer->setInterval(progressIntervalMs);
    connect(progressTimer, &QTimer::timeout, this, [this] {
        const double done = exporter->busy() ? exporter->progress() : scheduler->progress();
        form.progressBar->setValue(static_cast<int>(done * 100.0));
    });
    scheduler->setHandlers([this] { jobStarted(); }, [this] { jobsIdle(); },
                           [this](const QString& message) { showError(message); });
    navigator = std::make_unique<PlotNavigator>(
        this, recording,
        std::vector<PlotWidget*>{spectrogramView, powerView->plotWidget(), amplitudeView->iPlotWidget(),
                                 amplitudeView->qPlotWidget(), spectrumView->plotWidget()});
}

ControlPanel::~ControlPanel()
{
    stopWork();
}

void ControlPanel::setStatusProcessing()
{
    showStatus(form, true);
}

void ControlPanel::setStatusReady()
{
    showStatus(form, false);
}

void ControlPanel::showInputError(const QString& text)
{
    if (messageSink)
        messageSink(QMessageBox::Warning, "Input Error", text);
    else
        QMessageBox::warning(this, "Input Error", text);
}

void ControlPanel::showError(const QString& text)
{
    if (messageSink)
        messageSink(QMessageBox::Critical, "Error", text);
    else
        QMessageBox::critical(nullptr, "Error", text);
}

void ControlPanel::openFile()
{
    // A raw file's datatype and rate are checked before the file is asked for.
    try {
        checkOpenFields(form.formatComboBox->currentIndex(), form.binaryFormatEdit->text(),
                        form.sampleRateEdit);
    } catch (const std::exception& error) {
        showError(QString::fromStdString(error.what()));
        return;
    }
    const QString path = QFileDialog::getOpenFileName(
        this, "Import IQ file", lastFolder,
        "IQ recordings (*.sigmf-meta *.sigmf *.wav *.iqw *.cfile *.fc32 *.cu8 *.cs8 *.cs16 *.raw "
        "*.bin *.dat *.sigmf-data);;All Files (*)");
    if (path.isEmpty())
        return;
    lastFolder = QFileInfo(path).absolutePath();
    // Let the dialog close and the window repaint before the load blocks.
    QCoreApplication::processEvents();
    loadFile(path, form.formatComboBox->currentIndex());
}

void ControlPanel::openWith(const QString& path, FileFormatChoice format, const QString& datatype,
                            const QString& rate)
{
    form.formatComboBox->setCurrentIndex(format);
    form.binaryFormatEdit->setText(datatype);
    form.sampleRateEdit->setText(rate);
    loadFile(path, format);
}

FileFormatChoice ControlPanel::formatChoice() const
{
    return form.formatComboBox->currentIndex();
}

QString ControlPanel::datatypeText() const
{
    return form.binaryFormatEdit->text();
}

QString ControlPanel::sampleRateText() const
{
    return form.sampleRateEdit->text();
}

PanelSettings ControlPanel::settings() const
{
    PanelSettings kept = formSettings(form);
    kept.lastFolder = lastFolder;
    return kept;
}

void ControlPanel::applySettings(const PanelSettings& kept)
{
    setFormSettings(form, kept);
    lastFolder = kept.lastFolder;
    const int exponent = std::clamp(kept.fftExponent, 1, maxFftExponent);
    spectrogramView->setFftExponent(exponent);
    spectrogramView->setOverlap(kept.overlapPercent / 100.0);
    spectrumView->setFftSize(1 << exponent);
    spectrumView->setOverlap(kept.overlapPercent / 100.0);
    if (kept.rangeDb > 0)
        spectrogramView->setRange(kept.rangeDb);
    spectrogramView->setColorMap(static_cast<ColorMapKind>(form.colorMapComboBox->currentIndex()));
    appliedSpectrogram.exponent = exponent;
    appliedSpectrogram.overlap = kept.overlapPercent / 100.0;
    appliedSpectrogram.range = spectrogramView->range();
    appliedSpectrogram.colorMap = form.colorMapComboBox->currentIndex();
}

bool ControlPanel::busy() const
{
    return scheduler->busy() || exporter->busy();
}

void ControlPanel::cancelWork()
{
    const bool running = scheduler->computing() || exporter->busy();
    exporter->cancel();
    scheduler->cancel();
    // What was typed and not shown goes back, and the panel says what happened.
    pendingEdits->restoreAll();
    if (running)
        showStatus(form, false, QStringLiteral("Cancelled"));
}

void ControlPanel::stopWork()
{
    exporter->stop();
    scheduler->stop();
}

void ControlPanel::exportSelection(const QString& path, bool onlyBand,
                                   std::function<void(const QString&)> done)
{
    if (!recording->isLoaded()) {
        if (done)
            done(QStringLiteral("No recording is open"));
        return;
    }
    exporter->start(path, {shown.start, shown.stop, shown.low, shown.high, onlyBand},
                    [this, done = std::move(done)](const QString& failure) {
                        jobsIdle();
                        if (!failure.isEmpty() && failure != QLatin1String("Cancelled"))
                            showError(failure);
                        if (done)
                            done(failure);
                    });
    jobStarted();
}

void ControlPanel::loadFile(const QString& path, FileFormatChoice format)
{
    if (loadGuard && !loadGuard())
        return;
    const std::optional<std::size_t> member =
        archiveRecordingChoice(path, format, recordingChooser, !messageSink, this);
    if (!member)
        return;
    // A new load stops whatever runs.
    scheduler->cancel();
    setStatusProcessing();
    std::shared_ptr<Recording> fresh;
    try {
        fresh = readChosenRecording(path, format, form.binaryFormatEdit, form.sampleRateEdit, *member);
    } catch (const std::exception& error) {
        showError(QString::fromStdString(error.what()));
        setStatusReady();
        return;
    }
    // The file's name from the start of its load; the previous one comes back
    // if the load is cancelled.
    previousFileName = form.fileNameLabel->text();
    form.fileNameLabel->setText(QFileInfo(path).fileName());
    // The whole recording and its whole band, and the datatype's full scale.
    const double duration =
        static_cast<double>(fresh->sampleCount()) / static_cast<double>(fresh->sampleRate());
    const double half = static_cast<double>(fresh->sampleRate() / 2);
    SpectrumSettings spectrum = spectrumView->settings();
    spectrum.startFrequency = -half;
    spectrum.stopFrequency = half;
    PowerCurveSettings power = powerView->settings();
    const std::optional<StoredSamples> stored = fresh->samples()->stored();
    power.fullScaleValue = stored ? fullScaleOf(stored->datatype) : 1.0;
    if (!viewsComputed) {
        scheduler->cancel();
        commitLoad(*fresh, duration, power.fullScaleValue);
        showLoaded(path, duration);
        setStatusReady();
        return;
    }
    // Offset-binary samples sit around mid-scale: their DC offset is removed.
    scheduler->load(fresh->samples(), fresh->sampleRate(), {0.0, duration},
                    fresh->info().unsignedSamples, spectrum, power,
                    [this, fresh, duration, fullScale = power.fullScaleValue] {
                        commitLoad(*fresh, duration, fullScale);
                    },
                    [this, path, duration] { showLoaded(path, duration); });
}

// Nothing can refuse the file any more: it becomes the recording, and the
// fields and the panel's state describe it.
void ControlPanel::commitLoad(Recording& fresh, double duration, double fullScale)
{
    recording->swap(fresh);
    fresh.assign(0, {}, {}); // frees the previous samples
    previousFileName = QString();
    const uint32_t fs = recording->sampleRate();
    fileDuration = duration;
    minFrequency = -static_cast<double>(fs / 2);
    maxFrequency = static_cast<double>(fs / 2);
    powerView->setFullScaleValue(fullScale);
    PowerCurveSettings whole = powerView->settings();
    whole.band.reset();
    powerView->setSettings(whole);
    const QSignalBlocker quietBand(form.bandPowerCheckBox);
    form.bandPowerCheckBox->setChecked(false);
    showPowerFields();
    const QSignalBlocker quiet(form.removeDcCheckBox);
    form.removeDcCheckBox->setChecked(recording->info().unsignedSamples);
}

void ControlPanel::showLoaded(const QString& path, double duration)
{
    spectrogramView->setStartFrequency(minFrequency);
    spectrogramView->setStopFrequency(maxFrequency);
    spectrogramView->setMirror(form.mirrorCheckBox->isChecked());
    spectrogramView->rebuildImage();
    showFileInformation(form, QFileInfo(path).fileName(), *recording, duration);
    const RecordingInfo& info = recording->info();
    // Exact numbers: the stop time reads as the last sample, the band in whole hertz.
    const double fs = static_cast<double>(recording->sampleRate());
    shown = ViewState{QStringLiteral("0"), stopTimeText(recording->sampleCount(), fs),
                      QString::number(static_cast<qint64>(minFrequency)),
                      QString::number(static_cast<qint64>(maxFrequency)), 0.0, duration,
                      minFrequency, maxFrequency};
    showTimeFields();
    form.startFrequencyEdit->setText(shown.startFrequency);
    form.stopFrequencyEdit->setText(shown.stopFrequency);
    form.rangeEdit->setText(exactNumber(spectrogramView->range()));
    pendingEdits->applied(form.timeRangeApplyButton);
    history.reset(shown);
    spectrogramView->setAnnotations(annotationBoxes(info.annotations, fs));
    form.showAnnotationsCheckBox->setChecked(!info.annotations.empty());
    const bool centred = info.centreFrequency && std::isfinite(*info.centreFrequency);
    if (!centred)
        form.absoluteFrequencyCheckBox->setChecked(false);
    form.absoluteFrequencyCheckBox->setEnabled(centred);
    navigator->reset();
    showFrequencyOffset();
    if (onLoaded)
        onLoaded(path);
}

void ControlPanel::showTimeFields()
{
    form.startTimeEdit->setText(shown.startTime);
    form.stopTimeEdit->setText(shown.stopTime);
}

void ControlPanel::showSpectrumFields()
{
    ::showSpectrumFields(form, shown.startFrequency, shown.stopFrequency, spectrogramView->fftSize(),
                         spectrogramView->overlap(), spectrogramView->range(), appliedSpectrogram.referenceLevel);
}

void ControlPanel::showPowerFields()
{
    ::showPowerFields(form, powerView->settings());
}

void ControlPanel::jobStarted()
{
    setStatusProcessing();
    form.progressBar->setValue(0);
    form.progressBar->setVisible(true);
    form.cancelButton->setVisible(true);
    progressTimer->start();
}

void ControlPanel::jobsIdle()
{
    if (scheduler->computing() || exporter->busy())
        return;
    // A load that ended without its recording (cancelled, failed) leaves the old name.
    if (!previousFileName.isNull()) {
        form.fileNameLabel->setText(previousFileName);
        previousFileName = QString();
    }
    progressTimer->stop();
    form.progressBar->setVisible(false);
    form.cancelButton->setVisible(false);
    setStatusReady();
    // The box says what the views show, also after a cancelled or failed change.
    if (recording->isLoaded()) {
        const QSignalBlocker quiet(form.removeDcCheckBox);
        form.removeDcCheckBox->setChecked(scheduler->dcRemoved());
    }
    showDcOffset();
    if (navigator)
        navigator->viewsChanged();
    if (onViewsShown)
        onViewsShown();
}

void ControlPanel::showDcOffset()
{
    showDcOffsetText(form, recording->isLoaded() ? std::optional<DcOffset>(scheduler->removedOffset())
                                                 : std::nullopt);
}

std::optional<TimeRange> ControlPanel::readTimeRange()
{
    return readTimeFields(form, fileDuration, [this](const QString& message) { showInputError(message); });
}

// Also shows the FFT size of the exponent, loaded or not; nothing to apply
// without a recording.
std::optional<SpectrogramSettings> ControlPanel::readSpectrumSettings()
{
    const int exponent = form.fftExponentSpinBox->value();
    if (exponent > maxFftExponent) {
        showInputError("Invalid FFT size exponent: input shall be <= 15");
        return std::nullopt;
    }
    form.fftSizeLabel->setText(QString::number(1 << exponent));
    if (!recording->isLoaded())
        return std::nullopt;
    return readSpectrumFields(form, exponent, minFrequency, maxFrequency,
                              [this](const QString& message) { showInputError(message); });
}

void ControlPanel::applyTimeRange()
{
    const std::optional<TimeRange> time = readTimeRange();
    if (!time || !recording->isLoaded())
        return;
    runRequests(time, std::nullopt);
}

void ControlPanel::applySpectrumSettings()
{
    const std::optional<SpectrogramSettings> spectrogram = readSpectrumSettings();
    if (!spectrogram)
        return;
    runRequests(std::nullopt, spectrogram);
}

void ControlPanel::runRequests(const std::optional<TimeRange>& time,
                               const std::optional<SpectrogramSettings>& spectrogram)
{
    SpectrumSettings spectrum = spectrumView->settings();
    ViewState next = shown;
    if (spectrogram) {
        spectrum.fftSize = uint32_t(1) << spectrogram->exponent;
        spectrum.overlap = spectrogram->overlap;
        spectrum.startFrequency = spectrogram->startFrequency;
        spectrum.stopFrequency = spectrogram->stopFrequency;
        next.startFrequency = form.startFrequencyEdit->text();
        next.stopFrequency = form.stopFrequencyEdit->text();
        next.low = spectrogram->startFrequency;
        next.high = spectrogram->stopFrequency;
    }
    if (time) {
        next.startTime = form.startTimeEdit->text();
        next.stopTime = form.stopTimeEdit->text();
        next.start = time->start;
        next.stop = time->stop;
    }
    // A stop time beyond the end shows the end.
    if (time && time->stop == fileDuration)
        next.stopTime = stopTimeText(recording->sampleCount(), static_cast<double>(recording->sampleRate()));
    const auto showApplied = [this, next, time, spectrogram] {
        shown = next;
        history.visit(shown);
        if (spectrogram)
            appliedSpectrogram = *spectrogram;
        if (time) {
            showTimeFields();
            pendingEdits->applied(form.timeRangeApplyButton);
        }
        if (spectrogram) {
            showSpectrumFields();
            pendingEdits->applied(form.spectrumApplyButton);
            if (form.bandPowerCheckBox->isChecked())
                applyPowerSettings();
        }
        // The view may now start in another capture, with another centre.
        showFrequencyOffset();
    };
    if (!viewsComputed) {
        showApplied();
        return;
    }
    const bool removeDc = time ? form.removeDcCheckBox->isChecked() : scheduler->dcRemoved();
    scheduler->apply(time, spectrogram, spectrum, removeDc, showApplied);
}

void ControlPanel::applyTimeRangeTexts(const QString& start, const QString& stop)
{
    form.startTimeEdit->setText(start);
    form.stopTimeEdit->setText(stop);
    applyTimeRange();
}

void ControlPanel::applyBandTexts(const QString& low, const QString& high)
{
    form.startFrequencyEdit->setText(low);
    form.stopFrequencyEdit->setText(high);
    applySpectrumSettings();
}

void ControlPanel::applyView(const ViewState& state)
{
    form.startTimeEdit->setText(state.startTime);
    form.stopTimeEdit->setText(state.stopTime);
    form.startFrequencyEdit->setText(state.startFrequency);
    form.stopFrequencyEdit->setText(state.stopFrequency);
    const std::optional<TimeRange> time = readTimeRange();
    if (!time)
        return;
    const std::optional<SpectrogramSettings> spectrogram = readSpectrumSettings();
    if (!spectrogram)
        return;
    runRequests(time, spectrogram);
}

void ControlPanel::goBack()
{
    if (!recording->isLoaded())
        return;
    if (const std::optional<ViewState> state = history.back())
        applyView(*state);
}

void ControlPanel::goForward()
{
    if (!recording->isLoaded())
        return;
    if (const std::optional<ViewState> state = history.forward())
        applyView(*state);
}

void ControlPanel::showWholeRecording()
{
    if (!recording->isLoaded())
        return;
    const ViewState whole{QStringLiteral("0"),
                          stopTimeText(recording->sampleCount(), static_cast<double>(recording->sampleRate())),
                          QString::number(static_cast<qint64>(minFrequency)),
                          QString::number(static_cast<qint64>(maxFrequency)), 0.0, fileDuration,
                          minFrequency, maxFrequency};
    if (whole.sameView(shown) && !scheduler->busy())
        return;
    applyView(whole);
}

double ControlPanel::frequencyOffset() const
{
    // The capture of the view's first sample: its centre labels the axes.
    return frequencyOffsetAt(shown.start);
}

double ControlPanel::frequencyOffsetAt(double seconds) const
{
    if (!form.absoluteFrequencyCheckBox->isChecked() || !recording->isLoaded())
        return 0.0;
    const std::optional<double> centre = captureCentreAt(*recording, seconds);
    return centre && std::isfinite(*centre) ? *centre : 0.0;
}

uint32_t ControlPanel::fftSize() const
{
    return spectrogramView->fftSize();
}

void ControlPanel::showFrequencyOffset()
{
    const double offset = frequencyOffset();
    spectrogramView->setFrequencyOffset(offset);
    spectrumView->plotWidget()->setXOffset(offset);
    navigator->refresh();
    if (onViewsShown)
        onViewsShown();
}

void ControlPanel::readCursorDivisions()
{
    // Return and the loss of focus both end an edit: one message per text.
    if (form.cursorDivisionsEdit->text() == QString::number(divisions))
        return;
    const std::optional<int> value = readCursorDivisionsField(form, [this](const QString& message) {
        form.cursorDivisionsEdit->setText(QString::number(divisions));
        showInputError(message);
    });
    if (!value)
        return;
    divisions = *value;
    form.cursorDivisionsEdit->setText(QString::number(divisions));
    navigator->refresh();
}

void ControlPanel::setReadoutLabel(QLabel* label)
{
    navigator->setReadoutLabel(label);
}

void ControlPanel::applyPowerSettings()
{
    if (!recording->isLoaded())
        return;
    std::optional<PowerCurveSettings> settings =
        readPowerFields(form, [this](const QString& message) { showInputError(message); });
    if (!settings)
        return;
    if (form.bandPowerCheckBox->isChecked())
        settings->band = std::make_pair(shown.low, shown.high);
    scheduler->applyPower(*settings);
    pendingEdits->applied(form.powerApplyButton);
}
