#include "panel/ControlPanel.h"

#include "io/MemoryCheck.h"
#include "io/Recording.h"
#include "panel/LineEdits.h"
#include "views/AmplitudeView.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

constexpr int panelWidth = 320;
constexpr int panelMargin = 2;
constexpr int groupSpacing = 15;

constexpr FileFormatChoice autoFormat = 0;
constexpr FileFormatChoice sigmfFormat = 1;
constexpr FileFormatChoice wavFormat = 2;
constexpr FileFormatChoice binaryFormat = 3;
constexpr FileFormatChoice iqwFormat = 4;

// The spectrogram and spectrum handle FFT sizes up to 2^15.
constexpr int maxFftExponent = 15;

// A recording stores whole samples per second in 32 bits: a rate below 1 would
// become 0 and one of 2^32 or more would lose its high bits.
constexpr double minSampleRate = 1.0;
constexpr double sampleRateLimit = 4294967296.0;

// Memory a load needs per sample beyond the two sequences: every view is computed
// over the whole recording (spectrogram matrix, power curve, shared time values,
// amplitude copies and their images). A 100,000,000-sample cf32 load peaks at about
// 89 bytes per sample in all; this leaves some room above that.
constexpr uint64_t viewBytesPerSample = 96;

const char* const readyStyle = "QLabel { color : #1fcf3f; }";
const char* const processingStyle = "QLabel { color : cyan; }";

QString formatNumber(double x)
{
    return QString::number(x, 'g', 6);
}

// A group box with a vertical layout holding a margin-less container whose grid
// takes the caption/field rows; a button, if any, goes below the container.
struct Group
{
    QGroupBox* box;
    QVBoxLayout* layout;
    QGridLayout* grid;
};

Group addGroup(QBoxLayout* panelLayout, const char* title)
{
    Group group;
    group.box = new QGroupBox(title);
    group.layout = new QVBoxLayout(group.box);
    auto* container = new QWidget;
    group.grid = new QGridLayout(container);
    group.grid->setContentsMargins(0, 0, 0, 0);
    group.layout->addWidget(container);
    panelLayout->addWidget(group.box);
    return group;
}

void addRow(QGridLayout* grid, int row, const char* caption, QWidget* field)
{
    grid->addWidget(new QLabel(caption), row, 0);
    grid->addWidget(field, row, 1);
}

// A row shown only while its field has a text; the caption is found by name.
void addOptionalRow(QGridLayout* grid, int row, const char* caption, QLabel* field)
{
    auto* captionLabel = new QLabel(caption);
    captionLabel->setObjectName(field->objectName() + "Caption");
    grid->addWidget(captionLabel, row, 0);
    grid->addWidget(field, row, 1);
    captionLabel->hide();
    field->hide();
}

void setOptionalRow(QLabel* field, const QString& text)
{
    field->setText(text);
    field->setVisible(!text.isEmpty());
    if (auto* caption = field->parentWidget()->findChild<QLabel*>(field->objectName() + "Caption"))
        caption->setVisible(!text.isEmpty());
}

// Whole hertz as plain decimals, anything else to 12 significant digits.
QString frequencyText(double hz)
{
    constexpr double wholeLimit = 1e15;
    if (std::floor(hz) == hz && std::fabs(hz) < wholeLimit)
        return QString::number(static_cast<qint64>(hz));
    return QString::number(hz, 'g', 12);
}

bool endsWithAnyCase(const QString& path, const char* ending)
{
    return path.endsWith(ending, Qt::CaseInsensitive);
}

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

ControlPanel::ControlPanel(Recording* recording, SpectrogramView* spectrogramView,
                           PowerView* powerView, AmplitudeView* amplitudeView,
                           SpectrumView* spectrumView, QWidget* parent)
    : QWidget(parent)
    , recording(recording)
    , spectrogramView(spectrogramView)
    , powerView(powerView)
    , amplitudeView(amplitudeView)
    , spectrumView(spectrumView)
    , fileDuration(std::numeric_limits<double>::quiet_NaN())
    , minFrequency(std::numeric_limits<double>::quiet_NaN())
    , maxFrequency(std::numeric_limits<double>::quiet_NaN())
{
    // A recording that the views could not show in full is refused by the reader,
    // before anything is allocated, instead of failing half-way through drawing.
    setWorkingBytesPerSample(viewBytesPerSample);
    auto* panelLayout = new QVBoxLayout(this);
    panelLayout->setAlignment(Qt::AlignTop);
    panelLayout->setContentsMargins(panelMargin, panelMargin, panelMargin, panelMargin);
    panelLayout->setSpacing(groupSpacing);

    buildOpenGroup(panelLayout);
    buildFileInformationGroup(panelLayout);
    buildTimeRangeGroup(panelLayout);
    buildSpectrumGroup(panelLayout);
    buildPowerGroup(panelLayout);
    buildDisplayGroup(panelLayout);

    setFixedWidth(panelWidth);
}

ControlPanel::~ControlPanel() = default;

void ControlPanel::buildOpenGroup(QBoxLayout* panelLayout)
{
    const Group group = addGroup(panelLayout, "Open");
    group.box->setAlignment(Qt::AlignBottom);
    QGridLayout* grid = group.grid;

    formatComboBox = named(new QComboBox, "formatComboBox");
    formatComboBox->addItems({"Auto", "SigMF", "WAV", "Binary", "IQW"});
    formatComboBox->setCurrentIndex(autoFormat);
    addRow(grid, 0, "File format", formatComboBox);

    binaryFormatEdit = named(new QLineEdit, "binaryFormatEdit");
    binaryFormatEdit->setPlaceholderText("e.g. ci32_le");
    addRow(grid, 1, "Binary format", binaryFormatEdit);

    sampleRateEdit = named(new StrictPositiveLineEdit, "sampleRateEdit");
    addRow(grid, 2, "Sample rate (sample/s)", sampleRateEdit);

    auto* openButton = named(new QPushButton("Open"), "openButton");
    connect(openButton, &QPushButton::clicked, this, &ControlPanel::openFile);
    group.layout->addWidget(openButton);
}

void ControlPanel::buildFileInformationGroup(QBoxLayout* panelLayout)
{
    const Group group = addGroup(panelLayout, "File informations");
    QGridLayout* grid = group.grid;

    fileNameLabel = named(new QLabel("No file loaded"), "fileNameLabel");
    group.layout->insertWidget(0, fileNameLabel);

    statusLabel = named(new QLabel, "statusLabel");
    setStatusReady();
    addRow(grid, 0, "State", statusLabel);
    fileLengthLabel = named(new QLabel, "fileLengthLabel");
    addRow(grid, 1, "File length (samples)", fileLengthLabel);
    fileDurationLabel = named(new QLabel, "fileDurationLabel");
    addRow(grid, 2, "File duration (s)", fileDurationLabel);
    sampleRateLabel = named(new QLabel, "sampleRateLabel");
    addRow(grid, 3, "Sample rate (sample/s)", sampleRateLabel);
    centreFrequencyLabel = named(new QLabel, "centreFrequencyLabel");
    addOptionalRow(grid, 4, "Centre frequency (Hz)", centreFrequencyLabel);
    startTimeLabel = named(new QLabel, "startTimeLabel");
    addOptionalRow(grid, 5, "Start time", startTimeLabel);
    fileNoteLabel = named(new QLabel, "fileNoteLabel");
    fileNoteLabel->setWordWrap(true);
    fileNoteLabel->hide();
    group.layout->addWidget(fileNoteLabel);
}

void ControlPanel::buildTimeRangeGroup(QBoxLayout* panelLayout)
{
    const Group group = addGroup(panelLayout, "Time range");
    QGridLayout* grid = group.grid;

    startTimeEdit = named(new PositiveLineEdit, "startTimeEdit");
    addRow(grid, 0, "Start time (s)", startTimeEdit);
    stopTimeEdit = named(new StrictPositiveLineEdit, "stopTimeEdit");
    addRow(grid, 1, "Stop time (s)", stopTimeEdit);

    auto* applyButton = named(new QPushButton("Apply"), "timeRangeApplyButton");
    connect(applyButton, &QPushButton::clicked, this, &ControlPanel::applyTimeRange);
    group.layout->addWidget(applyButton);
}

void ControlPanel::buildSpectrumGroup(QBoxLayout* panelLayout)
{
    const Group group = addGroup(panelLayout, "Spectrogram and Spectrum");
    QGridLayout* grid = group.grid;

    fftExponentSpinBox = named(new QSpinBox, "fftExponentSpinBox");
    fftExponentSpinBox->setValue(8);
    fftExponentSpinBox->setRange(1, std::numeric_limits<int>::max());
    fftExponentSpinBox->setSingleStep(1);
    addRow(grid, 0, "FFT size exponent (N)", fftExponentSpinBox);

    fftSizeLabel = named(new QLabel(QString::number(1 << 8)), "fftSizeLabel");
    addRow(grid, 1, "FFT size (2^N)", fftSizeLabel);

    startFrequencyEdit = named(new RealLineEdit, "startFrequencyEdit");
    addRow(grid, 2, "Start frequency (Hz)", startFrequencyEdit);
    stopFrequencyEdit = named(new RealLineEdit, "stopFrequencyEdit");
    addRow(grid, 3, "Stop frequency (Hz)", stopFrequencyEdit);

    overlapSpinBox = named(new QDoubleSpinBox, "overlapSpinBox");
    overlapSpinBox->setValue(spectrogramView->overlap() * 100.0);
    overlapSpinBox->setRange(0.0, 100.0);
    addRow(grid, 4, "Overlap (%)", overlapSpinBox);

    rangeEdit = named(new StrictPositiveLineEdit(formatNumber(spectrogramView->range())),
                      "rangeEdit");
    addRow(grid, 5, "Range (dB)", rangeEdit);

    mirrorCheckBox = named(new QCheckBox, "mirrorCheckBox");
    mirrorCheckBox->setToolTip("Flip spectrogram vertically");
    addRow(grid, 6, "Mirror frequency", mirrorCheckBox);

    auto* applyButton = named(new QPushButton("Apply"), "spectrumApplyButton");
    connect(applyButton, &QPushButton::clicked, this, &ControlPanel::applySpectrumSettings);
    group.layout->addWidget(applyButton);
}

void ControlPanel::buildPowerGroup(QBoxLayout* panelLayout)
{
    const Group group = addGroup(panelLayout, "Power");
    QGridLayout* grid = group.grid;

    averageWindowEdit = named(
        new StrictPositiveLineEdit(QString::number(powerView->averageWindow())),
        "averageWindowEdit");
    addRow(grid, 0, "Average window (samples)", averageWindowEdit);
    fullScaleValueEdit = named(
        new StrictPositiveLineEdit(formatNumber(powerView->fullScaleValue())),
        "fullScaleValueEdit");
    addRow(grid, 1, "Full scale value", fullScaleValueEdit);
    fullScaleVoltageEdit = named(
        new StrictPositiveLineEdit(formatNumber(powerView->fullScaleVoltage())),
        "fullScaleVoltageEdit");
    addRow(grid, 2, "Full scale voltage (V)", fullScaleVoltageEdit);
    inputImpedanceEdit = named(
        new StrictPositiveLineEdit(formatNumber(powerView->inputImpedance())),
        "inputImpedanceEdit");
    addRow(grid, 3, "Input impedance (ohm)", inputImpedanceEdit);

    auto* applyButton = named(new QPushButton("Apply"), "powerApplyButton");
    connect(applyButton, &QPushButton::clicked, this, &ControlPanel::applyPowerSettings);
    group.layout->addWidget(applyButton);
}

void ControlPanel::buildDisplayGroup(QBoxLayout* panelLayout)
{
    auto* group = new QGroupBox("Display");
    auto* grid = new QGridLayout(group);
    panelLayout->addWidget(group);

    auto* showPowerCheckBox = named(new QCheckBox("Show power view"), "showPowerViewCheckBox");
    showPowerCheckBox->setChecked(true);
    connect(showPowerCheckBox, &QCheckBox::toggled, powerView, &QWidget::setVisible);
    grid->addWidget(showPowerCheckBox, 0, 0);

    amplitudeView->setVisible(false);

    auto* showAmplitudeCheckBox =
        named(new QCheckBox("Show amplitude view"), "showAmplitudeViewCheckBox");
    connect(showAmplitudeCheckBox, &QCheckBox::toggled, amplitudeView, &QWidget::setVisible);
    grid->addWidget(showAmplitudeCheckBox, 1, 0);
}

void ControlPanel::setStatusProcessing()
{
    statusLabel->setText("Processing...");
    statusLabel->setStyleSheet(processingStyle);
    statusLabel->repaint();
}

void ControlPanel::setStatusReady()
{
    statusLabel->setText("Ready");
    statusLabel->setStyleSheet(readyStyle);
    statusLabel->repaint();
}

void ControlPanel::showInputError(const QString& text)
{
    QMessageBox::warning(this, "Input Error", text);
}

void ControlPanel::openFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, "Import IQ file", QString(), "All Files (*)");
    if (path.isEmpty())
        return;
    // Let the dialog close and the window repaint before the load blocks.
    QCoreApplication::processEvents();
    loadFile(path, formatComboBox->currentIndex());
}

void ControlPanel::loadFile(const QString& path, FileFormatChoice format)
{
    setStatusProcessing();
    try {
        loadOrThrow(path, format);
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "Error", QString::fromStdString(error.what()));
    }
    setStatusReady();
}

// The file is read into a recording of its own and checked against the time
// fields before it replaces the current one: a load that fails at any step
// leaves the recording, the views, the fields and the panel's duration and band
// all describing the previous file.
void ControlPanel::loadOrThrow(const QString& path, FileFormatChoice format)
{
    const std::string pathBytes = path.toStdString();
    Recording fresh;

    // The SigMF endings match in any letter case, as the reader takes them; the
    // others exactly.
    const bool archiveEnding = endsWithAnyCase(path, ".sigmf");
    if (archiveEnding && (format == sigmfFormat || format == autoFormat)) {
        fresh.loadSigmfArchive(pathBytes);
    } else if (format == sigmfFormat
               || (format == autoFormat && endsWithAnyCase(path, ".sigmf-meta"))) {
        fresh.loadSigmf(pathBytes);
    } else if (format == wavFormat || (format == autoFormat && path.endsWith(".wav"))) {
        fresh.loadWav(pathBytes);
    } else if (format == binaryFormat || format == iqwFormat
               || (format == autoFormat && path.endsWith(".iqw"))) {
        std::string datatype;
        if (format == binaryFormat) {
            datatype = binaryFormatEdit->text().toStdString();
        } else {
            datatype = "cf32_le";
            binaryFormatEdit->setText("cf32_le");
        }
        double sampleRate = 0;
        try {
            sampleRate = sampleRateEdit->value();
            if (sampleRate < minSampleRate)
                throw std::runtime_error("input shall be >= 1");
            if (sampleRate >= sampleRateLimit)
                throw std::runtime_error("input shall be < 4294967296");
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string("Invalid sample rate: ") + error.what());
        }
        fresh.loadBinary(pathBytes, datatype, sampleRate);
    } else {
        throw std::runtime_error("Unsupported file format");
    }

    const uint32_t fs = fresh.sampleRate();
    const uint32_t n = fresh.sampleCount();
    if (fs == 0)
        throw std::runtime_error("Invalid sample rate: the file gives 0 samples per second");
    const double range = spectrogramView->range();
    const double duration = static_cast<double>(n) / static_cast<double>(fs);

    // The time fields are filled or clipped here and put back if a check fails.
    const QString oldStartText = startTimeEdit->text();
    const QString oldStopText = stopTimeEdit->text();
    double start = 0;
    double stop = 0;
    try {
        if (startTimeEdit->text().isEmpty()) {
            startTimeEdit->setValue(0.0);
        } else {
            start = startTimeEdit->value();
        }
        stop = stopTimeEdit->text().isEmpty() ? duration
                                              : std::min(stopTimeEdit->value(), duration);
        stopTimeEdit->setValue(stop);
        if (start >= stop)
            throw std::runtime_error("Start time is greater or equal than stop time");
    } catch (...) {
        startTimeEdit->setText(oldStartText);
        stopTimeEdit->setText(oldStopText);
        throw;
    }

    // Nothing can refuse the file any more: it becomes the recording.
    recording->swap(fresh);
    fresh.assign(0, {}, {}); // frees the previous samples before the views compute
    fileDuration = duration;
    minFrequency = -static_cast<double>(fs / 2);
    maxFrequency = static_cast<double>(fs / 2);

    startFrequencyEdit->setValue(minFrequency);
    stopFrequencyEdit->setValue(maxFrequency);
    rangeEdit->setValue(range);

    spectrogramView->setTimeRange(start, stop);
    spectrogramView->setStartFrequency(minFrequency);
    spectrogramView->setStopFrequency(static_cast<int>(maxFrequency));
    spectrogramView->setMirror(mirrorCheckBox->isChecked());
    spectrogramView->rebuildImage();
    powerView->setTimeRange(start, stop);
    amplitudeView->setTimeRange(start, stop);
    spectrumView->setStartFrequency(minFrequency);
    spectrumView->setStopFrequency(maxFrequency);
    spectrumView->setTimeRange(start, stop);

    const QString fileName = QFileInfo(path).fileName();
    fileNameLabel->setText(fileName);
    fileNameLabel->setToolTip(fileName);
    fileLengthLabel->setText(QString::number(n));
    fileDurationLabel->setText(formatNumber(duration));
    sampleRateLabel->setText(QString::number(fs));
    const RecordingInfo& info = recording->info();
    setOptionalRow(centreFrequencyLabel,
                   info.centreFrequency ? frequencyText(*info.centreFrequency) : QString());
    setOptionalRow(startTimeLabel, QString::fromStdString(info.startTime));
    fileNoteLabel->setText(QString::fromStdString(info.note));
    fileNoteLabel->setVisible(!info.note.empty());
}

void ControlPanel::applyTimeRange()
{
    double start = 0;
    double stop = 0;
    try {
        start = startTimeEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid start time: ") + error.what());
        return;
    }
    try {
        stop = stopTimeEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid stop time: ") + error.what());
        return;
    }
    // Stop times beyond the end, or within a relative 1e-5 below it, mean the end.
    // Before the first load fileDuration is NaN and nothing snaps.
    if ((fileDuration - stop) / fileDuration < 1e-5)
        stop = fileDuration;
    if (start >= stop) {
        showInputError("Start time is greater or equal than stop time or file duration");
        return;
    }
    if (!recording->isLoaded())
        return;

    setStatusProcessing();
    spectrogramView->setTimeRange(start, stop);
    spectrogramView->rebuildImage();
    powerView->setTimeRange(start, stop);
    amplitudeView->setTimeRange(start, stop);
    spectrumView->setTimeRange(start, stop);
    setStatusReady();
}

void ControlPanel::applySpectrumSettings()
{
    const int exponent = fftExponentSpinBox->value();
    if (exponent > maxFftExponent) {
        showInputError("Invalid FFT size exponent: input shall be <= 15");
        return;
    }
    const int fftSize = 1 << exponent;
    fftSizeLabel->setText(QString::number(fftSize));
    if (!recording->isLoaded())
        return;

    auto readFrequency = [this](RealLineEdit* edit) {
        const double frequency = edit->value();
        if (frequency < minFrequency || frequency > maxFrequency)
            throw std::runtime_error("outside frequency range");
        return frequency;
    };
    double startFrequency = 0;
    double stopFrequency = 0;
    double range = 0;
    try {
        startFrequency = readFrequency(startFrequencyEdit);
    } catch (const std::exception& error) {
        showInputError(QString("Invalid start frequency: ") + error.what());
        return;
    }
    try {
        stopFrequency = readFrequency(stopFrequencyEdit);
    } catch (const std::exception& error) {
        showInputError(QString("Invalid stop frequency: ") + error.what());
        return;
    }
    try {
        range = rangeEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid range: ") + error.what());
        return;
    }
    const double overlap = overlapSpinBox->value();
    if (startFrequency >= stopFrequency) {
        showInputError("Start frequency is greater or equal than stop frequency");
        return;
    }

    setStatusProcessing();
    // The spectrogram matrix is recomputed only for a new FFT size or overlap;
    // otherwise the image is rebuilt from the data already there.
    if (overlap != appliedOverlap || exponent != appliedFftExponent) {
        spectrogramView->setOverlap(overlap / 100.0);
        spectrogramView->setFftExponent(exponent);
        spectrogramView->recompute();
    }
    appliedOverlap = overlap;
    appliedFftExponent = exponent;
    spectrogramView->setRange(range);
    spectrogramView->setStartFrequency(startFrequency);
    spectrogramView->setStopFrequency(static_cast<int>(stopFrequency));
    spectrogramView->setMirror(mirrorCheckBox->isChecked());

    spectrumView->setOverlap(overlap / 100.0);
    spectrumView->setFftSize(fftSize);
    spectrumView->setStartFrequency(startFrequency);
    spectrumView->setStopFrequency(stopFrequency);
    spectrumView->refresh();

    spectrogramView->rebuildImage();
    setStatusReady();
}

void ControlPanel::applyPowerSettings()
{
    if (!recording->isLoaded())
        return;

    double fullScaleValue = 0;
    double fullScaleVoltage = 0;
    double inputImpedance = 0;
    double averageWindow = 0;
    try {
        fullScaleValue = fullScaleValueEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid full scale value: ") + error.what());
        return;
    }
    try {
        fullScaleVoltage = fullScaleVoltageEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid full scale voltage: ") + error.what());
        return;
    }
    try {
        inputImpedance = inputImpedanceEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid input impedance: ") + error.what());
        return;
    }
    try {
        averageWindow = averageWindowEdit->value();
        // Rounded half away from zero; it must stay a window of at least one sample
        // that a 32-bit integer holds.
        if (std::round(averageWindow) < 1)
            throw std::runtime_error("input shall be >= 0.5");
        if (std::round(averageWindow) > std::numeric_limits<int32_t>::max())
            throw std::runtime_error("input shall be <= 2147483647");
    } catch (const std::exception& error) {
        showInputError(QString("Invalid average window: ") + error.what());
        return;
    }

    setStatusProcessing();
    powerView->setAverageWindow(static_cast<int32_t>(std::round(averageWindow)));
    powerView->setFullScaleValue(fullScaleValue);
    powerView->setFullScaleVoltage(fullScaleVoltage);
    powerView->setInputImpedance(inputImpedance);
    powerView->refresh();
    setStatusReady();
}
