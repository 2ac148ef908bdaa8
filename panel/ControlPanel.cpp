// The control panel: the form wired to the view session, loads, Applies and the
// state of the work shown.

#include "panel/ControlPanel.h"

#include "io/Recording.h"
#include "panel/BandListening.h"
#include "panel/FieldShortcuts.h"
#include "panel/LineEdits.h"
#include "panel/PendingEdits.h"
#include "panel/PlotNavigator.h"
#include "panel/WorkIndicator.h"
#include "session/NativePath.h"
#include "session/NumberText.h"
#include "session/SpectrumModel.h"
#include "session/ViewSession.h"
#include "views/AmplitudeView.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"
#include "views/TraceView.h"
#include "views/ViewSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <exception>

ControlPanel::ControlPanel(Recording* recording, SpectrogramView* spectrogramView, PowerView* powerView,
                           AmplitudeView* amplitudeView, SpectrumView* spectrumView, QWidget* parent,
                           TraceView* traceView)
    : QWidget(parent), recording(recording),
      spectrumModel(std::make_unique<SpectrumModel>()),
      viewSession(std::make_unique<ViewSession>(recording))
{
    FormDefaults defaults;
    defaults.overlapPercent = spectrogramView->overlap() * 100.0;
    defaults.rangeDb = spectrogramView->range();
    defaults.averageWindow = powerView->averageWindow();
    defaults.fullScaleValue = powerView->fullScaleValue();
    defaults.fullScaleVoltage = powerView->fullScaleVoltage();
    defaults.inputImpedance = powerView->inputImpedance();
    form = buildPanelForm(this, defaults);
    if (traceView) {
        form.traceKindComboBox = traceView->kindChoice();
        form.squelchEdit = traceView->squelchField();
        form.playButton = traceView->playControl();
    }
    setStatusReady();

    // What the session starts with: the views' own settings, the amplitude view hidden.
    const ViewSet views{spectrogramView, powerView, amplitudeView, spectrumView, traceView};
    powerKind = powerView;
    const ViewSettings initial = startingSettings(views);
    addViews(*viewSession, *spectrumModel, views);

    pendingEdits = new PendingEdits(this, [this] { fields->showAll(viewSession->shown(), *this->recording); });
    fields = std::make_unique<PanelFields>(form, pendingEdits);
    // Edits not applied yet are marked until their group's Apply or Escape.
    pendingEdits->addGroup({form.startTimeEdit, form.stopTimeEdit}, form.timeRangeApplyButton);
    pendingEdits->addGroup({form.fftExponentSpinBox, form.startFrequencyEdit, form.stopFrequencyEdit,
                            form.overlapSpinBox, form.rangeEdit, form.referenceLevelEdit},
                           form.spectrumApplyButton);
    pendingEdits->addGroup({form.averageWindowEdit, form.fullScaleValueEdit, form.fullScaleVoltageEdit,
                            form.inputImpedanceEdit},
                           form.powerApplyButton);
    indicator = new WorkIndicator(form, viewSession.get(), this);
    std::vector<PlotWidget*> timePlots{spectrogramView, powerView->plotWidget(), amplitudeView->iPlotWidget(),
                                       amplitudeView->qPlotWidget()};
    if (traceView)
        timePlots.push_back(traceView->plotWidget());
    std::vector<PlotWidget*> plots = timePlots;
    plots.push_back(spectrumView->plotWidget());
    navigator = std::make_unique<PlotNavigator>(viewSession.get(), plots);
    if (form.playButton) {
        listening = new BandListening(viewSession.get(), form.playButton, timePlots,
                                      [this](const QString& title, const QString& text) { showNote(title, text); },
                                      [this] { return navigator->cursorASample(); }, this);
        navigator->setKeyHook([this](int key) {
            if (key == Qt::Key_Space) {
                listening->toggle();
                return true;
            }
            return key == Qt::Key_Escape && listening->stop();
        });
    }
    connectForm();
    new FieldShortcuts(this);
    viewSession->apply(initial);
}

ControlPanel::~ControlPanel()
{
    stopWork();
    navigator.reset();
}

void ControlPanel::connectForm()
{
    connect(form.openButton, &QPushButton::clicked, this, &ControlPanel::openFile);
    connect(form.cancelButton, &QPushButton::clicked, this, &ControlPanel::cancelWork);
    connect(form.timeRangeApplyButton, &QPushButton::clicked, this, &ControlPanel::applyTimeRange);
    connect(form.spectrumApplyButton, &QPushButton::clicked, this, &ControlPanel::applySpectrumSettings);
    connect(form.powerApplyButton, &QPushButton::clicked, this, &ControlPanel::applyPowerSettings);
    // Switches and choices take effect at once, and only themselves.
    const std::pair<QCheckBox*, bool ViewSettings::*> flags[] = {
        {form.bandPowerCheckBox, &ViewSettings::bandPower},
        {form.removeDcCheckBox, &ViewSettings::removeDc},
    };
    for (const auto& [box, flag] : flags)
        connect(box, &QCheckBox::toggled, this, [this, flag](bool on) { change([&](ViewSettings& s) { s.*flag = on; }); });
    const std::pair<QCheckBox*, bool DisplaySettings::*> switches[] = {
        {form.showPowerViewCheckBox, &DisplaySettings::showPower},
        {form.showAmplitudeViewCheckBox, &DisplaySettings::showAmplitude},
        {form.showAnnotationsCheckBox, &DisplaySettings::showAnnotations},
        {form.absoluteFrequencyCheckBox, &DisplaySettings::absoluteFrequency},
        {form.showTraceViewCheckBox, &DisplaySettings::showTrace},
    };
    for (const auto& [box, flag] : switches)
        connect(box, &QCheckBox::toggled, this,
                [this, flag](bool on) { change([&](ViewSettings& s) { s.display.*flag = on; }); });
    connect(form.mirrorCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { change([on](ViewSettings& s) { s.spectrogram.mirror = on; }); });
    connect(form.colorMapComboBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { change([index](ViewSettings& s) { s.spectrogram.colorMap = index; }); });
    connect(form.powerUnitComboBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { change([index](ViewSettings& s) { s.power.relativeToFullScale = index == 1; }); });
    connect(form.cursorDivisionsEdit, &QLineEdit::editingFinished, this, &ControlPanel::readCursorDivisions);
    if (form.traceKindComboBox) {
        connect(form.traceKindComboBox, &QComboBox::currentIndexChanged, this,
                [this](int index) { change([index](ViewSettings& s) { s.display.traceKind = index; }); });
        connect(form.squelchEdit, &QLineEdit::editingFinished, this, &ControlPanel::readSquelch);
    }
    connect(form.fftExponentSpinBox, &QSpinBox::valueChanged, this, [this] { showHop(form); });
    connect(form.overlapSpinBox, &QDoubleSpinBox::valueChanged, this, [this] { showHop(form); });

    connect(viewSession.get(), &ViewSession::recordingLoaded, this, &ControlPanel::recordingShown);
    connect(viewSession.get(), &ViewSession::settingsApplied, this, &ControlPanel::settingsShown);
    connect(viewSession.get(), &ViewSession::busyChanged, this, &ControlPanel::busyChanged);
    connect(viewSession.get(), &ViewSession::failed, this, &ControlPanel::showError);
}

void ControlPanel::setStatusProcessing()
{
    showStatus(form, true);
}

void ControlPanel::setStatusReady()
{
    showStatus(form, false);
}

void ControlPanel::openFile()
{
    // A raw file's datatype and rate are checked before the file is asked for.
    try {
        checkRecordingRequest(form.formatComboBox->currentIndex(), form.binaryFormatEdit->text(),
                              form.sampleRateEdit->text());
    } catch (const std::exception& error) {
        showError(pathText(error.what()));
        return;
    }
    const QString path = QFileDialog::getOpenFileName(
        this, "Import IQ file", lastFolder,
        "IQ recordings (*.sigmf-meta *.sigmf *.wav *.iqw *.cfile *.fc32 *.cu8 *.cs8 *.cs16 *.raw "
        "*.bin *.dat *.sigmf-data);;All Files (*)");
    if (path.isEmpty())
        return;
    lastFolder = QFileInfo(path).absolutePath();
    // Let the dialog close and the window repaint before the file is read.
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
    // The fields as they stand, with what was typed and not applied yet.
    const ViewSettings& shown = viewSession->requested();
    PanelSettings kept;
    kept.fftExponent = form.fftExponentSpinBox->value();
    kept.overlapPercent = form.overlapSpinBox->value();
    kept.rangeDb = form.rangeEdit->text().toDouble();
    kept.showPowerView = shown.display.showPower;
    kept.showAmplitudeView = shown.display.showAmplitude;
    kept.colorMap = shown.spectrogram.colorMap;
    kept.lastFolder = lastFolder;
    return kept;
}

void ControlPanel::applySettings(const PanelSettings& kept)
{
    lastFolder = kept.lastFolder;
    change([&kept](ViewSettings& s) {
        s.spectrogram.exponent = std::clamp(kept.fftExponent, fewestFftExponent, mostFftExponent);
        if (kept.overlapPercent >= 0 && kept.overlapPercent <= 100)
            s.spectrogram.overlap = kept.overlapPercent / 100.0;
        if (kept.rangeDb >= 1 && kept.rangeDb <= 300)
            s.spectrogram.range = kept.rangeDb;
        s.spectrogram.colorMap = std::clamp(kept.colorMap, 0, 3);
        s.display.showPower = kept.showPowerView;
        s.display.showAmplitude = kept.showAmplitudeView;
    });
}

bool ControlPanel::busy() const
{
    return viewSession->busy();
}

void ControlPanel::cancelWork()
{
    viewSession->cancel();
    // What was typed and not shown goes back: the fields say what the views show.
    pendingEdits->restoreAll();
}

void ControlPanel::stopWork()
{
    viewSession->stop();
}

void ControlPanel::exportSelection(const QString& path, bool onlyBand, std::function<void(const QString&)> done)
{
    viewSession->exportSelection(path, onlyBand, std::move(done));
}

void ControlPanel::loadFile(const QString& path, FileFormatChoice format)
{
    if (loadGuard && !loadGuard())
        return;
    const std::optional<std::size_t> member =
        archiveRecordingChoice(path, format, recordingChooser, !messageSink, this);
    if (!member)
        return;
    setStatusProcessing();
    const RecordingRequest request{path, format, form.binaryFormatEdit->text(), form.sampleRateEdit->text(), *member};
    // The datatype a raw file's format or ending implies shows from the start.
    if (const std::optional<QString> datatype = impliedDatatype(request))
        form.binaryFormatEdit->setText(*datatype);
    std::shared_ptr<Recording> fresh;
    try {
        fresh = readRecording(request);
    } catch (const std::exception& error) {
        showError(pathText(error.what()));
        if (!viewSession->busy())
            setStatusReady();
        return;
    }
    // The file's name from the start of its load.
    indicator->loadStarted(shownFileName(path));
    viewSession->load(std::move(fresh), path);
}

void ControlPanel::recordingShown(const QString& path)
{
    indicator->loadFinished();
    showFileInformation(form, shownFileName(path), *recording, durationOf(*recording));
    const std::optional<double> centre = recording->info().centreFrequency;
    form.absoluteFrequencyCheckBox->setEnabled(centre && std::isfinite(*centre));
    navigator->reset();
}

void ControlPanel::settingsShown(const ViewSettings& shown)
{
    fields->show(shown, written, *recording);
    showHop(form);
    written = shown;
    showDcOffsetText(form, recording->isLoaded() ? std::optional<DcOffset>(viewSession->removedOffset())
                                                 : std::nullopt);
    navigator->viewsChanged();
}

void ControlPanel::busyChanged(bool busy)
{
    if (!busy)
        navigator->viewsChanged();
}

void ControlPanel::change(const std::function<void(ViewSettings&)>& edit)
{
    ViewSettings next = viewSession->requested();
    edit(next);
    viewSession->apply(next);
}

void ControlPanel::applyTimeRange()
{
    const std::optional<TimeRange> time =
        fields->readTime(viewSession->duration(), [this](const QString& message) { showInputError(message); });
    if (!time || !recording->isLoaded())
        return;
    pendingEdits->unmarkGroup(form.timeRangeApplyButton);
    // Every view is computed anew over the range.
    ViewSettings next = viewSession->requested();
    next.range = *time;
    viewSession->apply(next, viewSession->views());
}

// Also shows the FFT size of the exponent, loaded or not; nothing to apply
// without a recording.
void ControlPanel::applySpectrumSettings()
{
    const auto refuse = [this](const QString& message) { showInputError(message); };
    const std::optional<int> exponent = readFftExponent(form.fftExponentSpinBox->value(), refuse);
    if (!exponent)
        return;
    form.fftSizeLabel->setText(QString::number(1 << *exponent));
    if (!recording->isLoaded())
        return;
    const std::optional<SpectrumValues> values = fields->readSpectrum(viewSession->bandLimits(), refuse);
    if (!values)
        return;
    pendingEdits->unmarkGroup(form.spectrumApplyButton);
    // The spectrum is computed anew, the spectrogram's columns when their FFT size or overlap changed.
    ViewSettings next = viewSession->requested();
    next.band = values->band;
    next.spectrogram = values->spectrogram;
    viewSession->apply(next, {spectrumModel.get()});
}

void ControlPanel::applyPowerSettings()
{
    if (!recording->isLoaded())
        return;
    const std::optional<PowerCurveSettings> power =
        fields->readPower([this](const QString& message) { showInputError(message); });
    if (!power)
        return;
    pendingEdits->unmarkGroup(form.powerApplyButton);
    ViewSettings next = viewSession->requested();
    next.power = *power;
    viewSession->apply(next, {powerKind});
}

double ControlPanel::lowestFrequency() const
{
    return viewSession->bandLimits().low;
}

double ControlPanel::highestFrequency() const
{
    return viewSession->bandLimits().high;
}

void ControlPanel::goBack()
{
    viewSession->goBack();
}

void ControlPanel::goForward()
{
    viewSession->goForward();
}

void ControlPanel::showWholeRecording()
{
    viewSession->showWholeRecording();
}

void ControlPanel::readCursorDivisions()
{
    // Return and the loss of focus both end an edit: one message per text.
    const int divisions = viewSession->requested().display.cursorDivisions;
    if (form.cursorDivisionsEdit->text() == QString::number(divisions))
        return;
    const std::optional<int> value = fields->readCursorDivisions([this, divisions](const QString& message) {
        form.cursorDivisionsEdit->setText(QString::number(divisions));
        showInputError(message);
    });
    if (!value)
        return;
    form.cursorDivisionsEdit->setText(QString::number(*value));
    change([&value](ViewSettings& s) { s.display.cursorDivisions = *value; });
}

void ControlPanel::setReadoutLabel(QLabel* label)
{
    navigator->setReadoutLabel(label);
}

void ControlPanel::readSquelch()
{
    const std::optional<double> squelch = viewSession->requested().display.squelchDb;
    const QString text = form.squelchEdit->text().trimmed();
    std::optional<double> value;
    if (!text.isEmpty()) {
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (!ok || !std::isfinite(number)) {
            form.squelchEdit->setText(squelch ? exactNumber(*squelch) : QString());
            showInputError(QStringLiteral("Invalid squelch: input shall be a number of decibels, or empty for none"));
            return;
        }
        value = number;
    }
    if (value != squelch)
        change([value](ViewSettings& s) { s.display.squelchDb = value; });
}

void ControlPanel::showNote(const QString& title, const QString& text)
{
    if (messageSink)
        messageSink(QMessageBox::Information, title, text);
    else
        QMessageBox::information(this, title, text);
}

void ControlPanel::showInputError(const QString& text)
{
    if (messageSink)
        messageSink(QMessageBox::Warning, QStringLiteral("Input Error"), text);
    else
        QMessageBox::warning(this, QStringLiteral("Input Error"), text);
}

void ControlPanel::showError(const QString& message)
{
    // A file name's bytes that are not text show as U+FFFD.
    const QString text = shownPath(message);
    if (messageSink)
        messageSink(QMessageBox::Critical, QStringLiteral("Error"), text);
    else
        QMessageBox::critical(nullptr, QStringLiteral("Error"), text);
}
