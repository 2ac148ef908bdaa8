#include "panel/ControlPanel.h"

#include "io/Recording.h"
#include "panel/JobRunner.h"
#include "panel/LineEdits.h"
#include "panel/PlotNavigator.h"
#include "views/AmplitudeView.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"
#include "views/ViewComputation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
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
// More divisions than this would not show as separate ticks.
constexpr double maxCursorDivisions = 1000;

// A recording stores whole samples per second in 32 bits: a rate below 1 would
// become 0 and one of 2^32 or more would lose its high bits.
constexpr double minSampleRate = 1.0;
constexpr double sampleRateLimit = 4294967296.0;

// How often the progress bar follows the running work, and how long a view
// whose width changed waits before it is computed again (a resize by dragging
// changes the width many times).
constexpr int progressIntervalMs = 50;
constexpr int refreshDelayMs = 150;

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

constexpr qsizetype maxAnnotationText = 2000;

// A recording's annotations as the spectrogram draws them: the label in the box
// (the description when there is no label) and both in the tool tip.
std::vector<AnnotationBox> annotationBoxes(const std::vector<RecordingAnnotation>& annotations,
                                           double fs)
{
    std::vector<AnnotationBox> boxes;
    for (const RecordingAnnotation& annotation : annotations) {
        AnnotationBox box;
        box.startTime = static_cast<double>(annotation.sampleStart) / fs;
        box.stopTime = (static_cast<double>(annotation.sampleStart)
                        + static_cast<double>(annotation.sampleCount)) / fs;
        box.lowFrequency = annotation.lowFrequency;
        box.highFrequency = annotation.highFrequency;
        // Texts far longer than any box or tool tip shows are cut.
        const QString label = QString::fromStdString(annotation.label).left(maxAnnotationText);
        const QString description =
            QString::fromStdString(annotation.description).left(maxAnnotationText);
        box.label = label.isEmpty() ? description : label;
        box.toolTip = label.isEmpty() || description.isEmpty() || label == description
                          ? box.label
                          : label + QStringLiteral(": ") + description;
        boxes.push_back(std::move(box));
    }
    return boxes;
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
    , jobs(std::make_unique<JobRunner>(this))
{
    jobs->setIdleHandler([this] { jobsIdle(); });
    progressTimer = new QTimer(this);
    progressTimer->setInterval(progressIntervalMs);
    connect(progressTimer, &QTimer::timeout, this, &ControlPanel::updateProgress);
    refreshTimer = new QTimer(this);
    refreshTimer->setSingleShot(true);
    refreshTimer->setInterval(refreshDelayMs);
    connect(refreshTimer, &QTimer::timeout, this, &ControlPanel::refreshStaleViews);
    spectrogramView->setWidthChangedHandler([this] { requestRefresh(this->spectrogramView); });
    powerView->installEventFilter(this);
    amplitudeView->installEventFilter(this);
    powerView->setWidthChangedHandler([this] { requestRefresh(this->powerView); });
    amplitudeView->setWidthChangedHandler([this] { requestRefresh(this->amplitudeView); });

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
    navigator = std::make_unique<PlotNavigator>(this, recording, spectrogramView, powerView,
                                                amplitudeView, spectrumView);
}

ControlPanel::~ControlPanel()
{
    stopWork();
}

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
    dcOffsetLabel = named(new QLabel, "dcOffsetLabel");
    addRow(grid, 6, "DC offset", dcOffsetLabel);

    // Shown while work runs: how far it is, and a way to stop it.
    auto* progressRow = new QHBoxLayout;
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressBar = named(new QProgressBar, "progressBar");
    progressBar->setRange(0, 100);
    progressBar->setTextVisible(true);
    progressBar->setFormat("%p%");
    progressRow->addWidget(progressBar);
    cancelButton = named(new QPushButton("Cancel"), "cancelButton");
    connect(cancelButton, &QPushButton::clicked, this, &ControlPanel::cancelWork);
    progressRow->addWidget(cancelButton);
    group.layout->addLayout(progressRow);
    progressBar->setVisible(false);
    cancelButton->setVisible(false);
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

    removeDcCheckBox = named(new QCheckBox("Remove DC offset"), "removeDcCheckBox");
    removeDcCheckBox->setToolTip("Subtract the mean of I and of Q over the time range before every "
                                 "view is computed");
    connect(removeDcCheckBox, &QCheckBox::toggled, this, &ControlPanel::removeDcToggled);
    grid->addWidget(removeDcCheckBox, 2, 0);

    showAnnotationsCheckBox = named(new QCheckBox("Show annotations"), "showAnnotationsCheckBox");
    showAnnotationsCheckBox->setChecked(true);
    showAnnotationsCheckBox->setToolTip("Draw the recording's annotations on the spectrogram");
    connect(showAnnotationsCheckBox, &QCheckBox::toggled, spectrogramView,
            &SpectrogramView::setShowAnnotations);
    grid->addWidget(showAnnotationsCheckBox, 3, 0);

    absoluteFrequencyCheckBox =
        named(new QCheckBox("Show absolute frequency"), "absoluteFrequencyCheckBox");
    absoluteFrequencyCheckBox->setToolTip(
        "Label frequencies with the recording's centre frequency added");
    absoluteFrequencyCheckBox->setEnabled(false);
    connect(absoluteFrequencyCheckBox, &QCheckBox::toggled, this,
            &ControlPanel::showFrequencyOffset);
    grid->addWidget(absoluteFrequencyCheckBox, 4, 0);

    // Caption and field side by side in the one column the check boxes use.
    auto* divisionsRow = new QHBoxLayout;
    divisionsRow->addWidget(new QLabel("Cursor divisions"));
    cursorDivisionsEdit = named(new StrictPositiveLineEdit("1"), "cursorDivisionsEdit");
    cursorDivisionsEdit->setToolTip("Equal parts between cursors A and B, marked by ticks");
    connect(cursorDivisionsEdit, &QLineEdit::editingFinished, this,
            &ControlPanel::readCursorDivisions);
    divisionsRow->addWidget(cursorDivisionsEdit);
    grid->addLayout(divisionsRow, 5, 0);
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

// A file read and checked against the time fields, waiting for the views'
// computations before it replaces the current recording.
struct ControlPanel::PendingLoad
{
    std::shared_ptr<Recording> recording;
    QString path;
    double start = 0;
    double stop = 0;
    double duration = 0;
    bool fillStart = false;
    double range = 0;
    bool removeDc = false;
};

bool ControlPanel::busy() const
{
    return jobs->busy() || refreshTimer->isActive();
}

void ControlPanel::cancelWork()
{
    jobs->cancel();
}

void ControlPanel::stopWork()
{
    refreshTimer->stop();
    jobs->stop();
}

void ControlPanel::loadFile(const QString& path, FileFormatChoice format)
{
    // A new load stops whatever runs.
    jobs->cancel();
    setStatusProcessing();
    std::shared_ptr<PendingLoad> load;
    try {
        load = prepareLoad(path, format);
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "Error", QString::fromStdString(error.what()));
        setStatusReady();
        return;
    }

    const Recording& fresh = *load->recording;
    const double half = static_cast<double>(fresh.sampleRate() / 2);
    SpectrumSettings spectrum = spectrumView->settings();
    spectrum.startFrequency = -half;
    spectrum.stopFrequency = half;
    const double fs = static_cast<double>(fresh.sampleRate());
    std::vector<std::unique_ptr<ViewComputation>> computations = viewComputations(
        fresh.sampleRate(), fresh.sampleCount(), load->start, load->stop, spectrum);
    runViews(
        fresh.samples(), fs, load->start, load->stop, load->removeDc, std::move(computations),
        [this, load] { commitLoad(*load); },
        [this, load] {
            spectrogramView->setStartFrequency(minFrequency);
            spectrogramView->setStopFrequency(maxFrequency);
            spectrogramView->setMirror(mirrorCheckBox->isChecked());
            spectrogramView->rebuildImage();
            const QString fileName = QFileInfo(load->path).fileName();
            fileNameLabel->setText(fileName);
            fileNameLabel->setToolTip(fileName);
            fileLengthLabel->setText(QString::number(recording->sampleCount()));
            fileDurationLabel->setText(formatNumber(load->duration));
            sampleRateLabel->setText(QString::number(recording->sampleRate()));
            const RecordingInfo& info = recording->info();
            setOptionalRow(centreFrequencyLabel,
                           info.centreFrequency ? frequencyText(*info.centreFrequency) : QString());
            setOptionalRow(startTimeLabel, QString::fromStdString(info.startTime));
            fileNoteLabel->setText(QString::fromStdString(info.note));
            fileNoteLabel->setVisible(!info.note.empty());
            shown.startTime = startTimeEdit->text();
            shown.stopTime = stopTimeEdit->text();
            shown.startFrequency = startFrequencyEdit->text();
            shown.stopFrequency = stopFrequencyEdit->text();
            shown.start = load->start;
            shown.stop = load->stop;
            shown.low = minFrequency;
            shown.high = maxFrequency;
            history.reset(shown);
            spectrogramView->setAnnotations(
                annotationBoxes(info.annotations, static_cast<double>(recording->sampleRate())));
            showAnnotationsCheckBox->setChecked(!info.annotations.empty());
            const bool centred = info.centreFrequency && std::isfinite(*info.centreFrequency);
            if (!centred)
                absoluteFrequencyCheckBox->setChecked(false);
            absoluteFrequencyCheckBox->setEnabled(centred);
            navigator->reset();
            showFrequencyOffset();
        });
}

// The file is read into a recording of its own and checked against the time
// fields, none of which changes here: a load that fails at any step, or is
// cancelled while the views are computed, leaves the recording, the views, the
// fields and the panel's duration and band all describing the previous file.
std::shared_ptr<ControlPanel::PendingLoad> ControlPanel::prepareLoad(const QString& path,
                                                                    FileFormatChoice format)
{
    const std::string pathBytes = path.toStdString();
    auto load = std::make_shared<PendingLoad>();
    load->recording = std::make_shared<Recording>();
    load->path = path;
    Recording& fresh = *load->recording;

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
    load->range = spectrogramView->range();
    load->duration = static_cast<double>(n) / static_cast<double>(fs);

    // The time fields as the load will fill or clip them, read without
    // changing them; the stop field will only take a value that it accepts.
    load->fillStart = startTimeEdit->text().isEmpty();
    if (!load->fillStart)
        load->start = startTimeEdit->value();
    load->stop = stopTimeEdit->text().isEmpty() ? load->duration
                                                : std::min(stopTimeEdit->value(), load->duration);
    if (!(load->stop > 0) || std::isinf(load->stop))
        throw std::runtime_error("input shall be > 0");
    if (load->start >= load->stop)
        throw std::runtime_error("Start time is greater or equal than stop time");
    // Offset-binary samples sit around mid-scale: their DC offset is removed.
    load->removeDc = fresh.info().unsignedSamples;
    return load;
}

// Nothing can refuse the file any more: it becomes the recording, and the
// fields and the panel's state describe it.
void ControlPanel::commitLoad(const PendingLoad& load)
{
    recording->swap(*load.recording);
    load.recording->assign(0, {}, {}); // frees the previous samples
    const uint32_t fs = recording->sampleRate();
    fileDuration = load.duration;
    minFrequency = -static_cast<double>(fs / 2);
    maxFrequency = static_cast<double>(fs / 2);
    if (load.fillStart)
        startTimeEdit->setValue(0.0);
    stopTimeEdit->setValue(load.stop);
    startFrequencyEdit->setValue(minFrequency);
    stopFrequencyEdit->setValue(maxFrequency);
    rangeEdit->setValue(load.range);
    const QSignalBlocker quiet(removeDcCheckBox);
    removeDcCheckBox->setChecked(load.removeDc);
}

void ControlPanel::runViews(std::shared_ptr<const SampleSource> samples, double sampleRate,
                            double start, double stop, bool removeDc,
                            std::vector<std::unique_ptr<ViewComputation>> computations,
                            std::function<void()> before, std::function<void()> after)
{
    if (!samples)
        samples = memorySamples({}, {});
    const StreamRange range = streamRangeOf(sampleRate, samples->size(), start, stop);
    auto work = std::make_shared<std::vector<std::unique_ptr<ViewComputation>>>(std::move(computations));
    auto offset = std::make_shared<DcOffset>();
    jobs->start(
        [samples, range, removeDc, work, offset](WorkControl& control) {
            control.addPlanned(range.size() * (removeDc ? 2 : 1));
            if (removeDc)
                *offset = rangeMean(*samples, range.first, range.end, control);
            std::vector<ViewComputation*> pointers;
            for (const auto& computation : *work)
                pointers.push_back(computation.get());
            runComputations(*samples, range, *offset, pointers, control, true);
        },
        [this, work, offset, start, stop, removeDc, before = std::move(before), after = std::move(after)] {
            if (before)
                before();
            for (const auto& computation : *work)
                computation->present();
            // A hidden view left out is behind whenever the range or the offset moved.
            if (start != shownStart || stop != shownStop || removeDc != dcRemoved || before) {
                for (QWidget* view : {static_cast<QWidget*>(powerView), static_cast<QWidget*>(amplitudeView)})
                    if (view->isHidden())
                        outdatedViews.insert(view);
            }
            shownStart = start;
            shownStop = stop;
            dcRemoved = removeDc;
            dcI = offset->i;
            dcQ = offset->q;
            spectrogramView->setRemoveDc(removeDc);
            powerView->setRemoveDc(removeDc);
            amplitudeView->setRemoveDc(removeDc);
            spectrumView->setRemoveDc(removeDc);
            if (after)
                after();
            showDcOffset();
            refreshViewsNeedingWidth();
        },
        [](const QString& message) { QMessageBox::critical(nullptr, "Error", message); });
    jobStarted();
}

std::unique_ptr<ViewComputation> ControlPanel::spectrogramComputation(double fs, uint64_t count,
                                                                     double start, double stop)
{
    return spectrogramView->computation(
        fs, count, start, stop,
        static_cast<int>(std::log2(static_cast<double>(spectrogramView->fftSize()))),
        spectrogramView->overlap());
}

std::vector<std::unique_ptr<ViewComputation>>
ControlPanel::viewComputations(uint32_t rate, uint64_t count, double start, double stop,
                               const SpectrumSettings& spectrum)
{
    const double fs = static_cast<double>(rate);
    std::vector<std::unique_ptr<ViewComputation>> computations;
    computations.push_back(spectrogramComputation(fs, count, start, stop));
    // Views the user has hidden are computed when they are shown again.
    if (!powerView->isHidden())
        computations.push_back(powerView->computation(fs, count, start, stop, powerView->settings()));
    if (!amplitudeView->isHidden())
        computations.push_back(amplitudeView->computation(fs, count, start, stop));
    computations.push_back(spectrumView->computation(rate, count, start, stop, spectrum));
    return computations;
}

void ControlPanel::jobStarted()
{
    setStatusProcessing();
    progressBar->setValue(0);
    progressBar->setVisible(true);
    cancelButton->setVisible(true);
    progressTimer->start();
}

void ControlPanel::jobsIdle()
{
    progressTimer->stop();
    progressBar->setVisible(false);
    cancelButton->setVisible(false);
    setStatusReady();
    // The box says what the views show, also after a cancelled or failed change.
    if (recording->isLoaded()) {
        const QSignalBlocker quiet(removeDcCheckBox);
        removeDcCheckBox->setChecked(dcRemoved);
    }
    if (!staleViews.empty())
        refreshTimer->start();
    if (navigator)
        navigator->viewsChanged();
}

void ControlPanel::updateProgress()
{
    progressBar->setValue(static_cast<int>(jobs->progress() * 100.0));
}

void ControlPanel::showDcOffset()
{
    if (!recording->isLoaded()) {
        dcOffsetLabel->clear();
        return;
    }
    dcOffsetLabel->setText(dcRemoved ? QString("Removed (I %1, Q %2)").arg(formatNumber(dcI), formatNumber(dcQ))
                                     : QString("Not removed"));
}

void ControlPanel::removeDcToggled(bool remove)
{
    if (!recording->isLoaded())
        return;
    // The views follow at once, over the range they show.
    const double fs = static_cast<double>(recording->sampleRate());
    std::vector<std::unique_ptr<ViewComputation>> computations =
        viewComputations(recording->sampleRate(), recording->sampleCount(), shownStart, shownStop,
                         spectrumView->settings());
    // A failure or a cancel puts the box back to what the views show (jobsIdle).
    runViews(recording->samples(), fs, shownStart, shownStop, remove, std::move(computations), nullptr,
             [this] { spectrogramView->rebuildImage(); });
}

bool ControlPanel::eventFilter(QObject* watched, QEvent* event)
{
    // A view left behind while hidden is computed as soon as it shows again.
    if (event->type() == QEvent::Show) {
        auto* view = static_cast<QWidget*>(watched);
        if (outdatedViews.erase(view))
            requestRefresh(view);
    }
    return QWidget::eventFilter(watched, event);
}

void ControlPanel::requestRefresh(QWidget* view)
{
    if (!recording->isLoaded())
        return;
    staleViews.insert(view);
    refreshTimer->start();
}

void ControlPanel::refreshViewsNeedingWidth()
{
    if (spectrogramView->needsNewWidth())
        requestRefresh(spectrogramView);
    if (powerView->needsNewWidth())
        requestRefresh(powerView);
    if (amplitudeView->needsNewWidth())
        requestRefresh(amplitudeView);
}

void ControlPanel::refreshStaleViews()
{
    if (staleViews.empty() || !recording->isLoaded())
        return;
    // Whatever runs finishes first; its own results may well be up to date.
    if (jobs->busy())
        return;
    for (QWidget* view : {static_cast<QWidget*>(powerView), static_cast<QWidget*>(amplitudeView)}) {
        if (staleViews.count(view) && view->isHidden()) {
            staleViews.erase(view);
            outdatedViews.insert(view);
        }
    }
    if (staleViews.empty())
        return;
    const double fs = static_cast<double>(recording->sampleRate());
    const uint64_t n = recording->sampleCount();
    std::vector<std::unique_ptr<ViewComputation>> computations;
    const bool spectrogram = staleViews.count(spectrogramView) > 0;
    if (spectrogram)
        computations.push_back(spectrogramComputation(fs, n, shownStart, shownStop));
    if (staleViews.count(powerView))
        computations.push_back(powerView->computation(fs, n, shownStart, shownStop, powerView->settings()));
    if (staleViews.count(amplitudeView))
        computations.push_back(amplitudeView->computation(fs, n, shownStart, shownStop));
    staleViews.clear();
    runViews(recording->samples(), fs, shownStart, shownStop, dcRemoved, std::move(computations), nullptr,
             [this, spectrogram] {
                 if (spectrogram)
                     spectrogramView->rebuildImage();
             });
}

std::optional<ControlPanel::TimeRequest> ControlPanel::readTimeRange()
{
    double start = 0;
    double stop = 0;
    try {
        start = startTimeEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid start time: ") + error.what());
        return std::nullopt;
    }
    try {
        stop = stopTimeEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid stop time: ") + error.what());
        return std::nullopt;
    }
    // Stop times beyond the end, or within a relative 1e-5 below it, mean the end.
    // Before the first load fileDuration is NaN and nothing snaps.
    if ((fileDuration - stop) / fileDuration < 1e-5)
        stop = fileDuration;
    if (start >= stop) {
        showInputError("Start time is greater or equal than stop time or file duration");
        return std::nullopt;
    }
    return TimeRequest{start, stop, startTimeEdit->text(), stopTimeEdit->text()};
}

// Also shows the FFT size of the exponent, loaded or not; nothing to apply
// without a recording.
std::optional<ControlPanel::SpectrumRequest> ControlPanel::readSpectrumSettings()
{
    const int exponent = fftExponentSpinBox->value();
    if (exponent > maxFftExponent) {
        showInputError("Invalid FFT size exponent: input shall be <= 15");
        return std::nullopt;
    }
    const int fftSize = 1 << exponent;
    fftSizeLabel->setText(QString::number(fftSize));
    if (!recording->isLoaded())
        return std::nullopt;

    auto readFrequency = [this](RealLineEdit* edit) {
        const double frequency = edit->value();
        if (frequency < minFrequency || frequency > maxFrequency)
            throw std::runtime_error("outside frequency range");
        return frequency;
    };
    SpectrumRequest request{exponent, 0, 0, 0, 0, startFrequencyEdit->text(),
                            stopFrequencyEdit->text()};
    try {
        request.startFrequency = readFrequency(startFrequencyEdit);
    } catch (const std::exception& error) {
        showInputError(QString("Invalid start frequency: ") + error.what());
        return std::nullopt;
    }
    try {
        request.stopFrequency = readFrequency(stopFrequencyEdit);
    } catch (const std::exception& error) {
        showInputError(QString("Invalid stop frequency: ") + error.what());
        return std::nullopt;
    }
    try {
        request.range = rangeEdit->value();
    } catch (const std::exception& error) {
        showInputError(QString("Invalid range: ") + error.what());
        return std::nullopt;
    }
    request.overlap = overlapSpinBox->value();
    if (request.startFrequency >= request.stopFrequency) {
        showInputError("Start frequency is greater or equal than stop frequency");
        return std::nullopt;
    }
    return request;
}

void ControlPanel::applyTimeRange()
{
    const std::optional<TimeRequest> time = readTimeRange();
    if (!time || !recording->isLoaded())
        return;
    runRequests(time, std::nullopt);
}

void ControlPanel::applySpectrumSettings()
{
    const std::optional<SpectrumRequest> spectrum = readSpectrumSettings();
    if (!spectrum)
        return;
    runRequests(std::nullopt, spectrum);
}

void ControlPanel::runRequests(const std::optional<TimeRequest>& time,
                               const std::optional<SpectrumRequest>& spectrum)
{
    const double start = time ? time->start : shownStart;
    const double stop = time ? time->stop : shownStop;
    const double fs = static_cast<double>(recording->sampleRate());
    const uint64_t n = recording->sampleCount();
    std::vector<std::unique_ptr<ViewComputation>> computations;
    // The spectrogram's columns are recomputed for a new range, FFT size or
    // overlap; otherwise the image is rebuilt from the columns already there.
    if (spectrum
        && (spectrum->overlap != appliedOverlap || spectrum->exponent != appliedFftExponent))
        computations.push_back(spectrogramView->computation(fs, n, start, stop, spectrum->exponent,
                                                            spectrum->overlap / 100.0));
    else if (time)
        computations.push_back(spectrogramComputation(fs, n, start, stop));
    // Views the user has hidden are computed when they are shown again.
    if (time && !powerView->isHidden())
        computations.push_back(powerView->computation(fs, n, start, stop, powerView->settings()));
    if (time && !amplitudeView->isHidden())
        computations.push_back(amplitudeView->computation(fs, n, start, stop));
    SpectrumSettings settings = spectrumView->settings();
    if (spectrum) {
        settings.fftSize = static_cast<uint32_t>(1 << spectrum->exponent);
        settings.overlap = spectrum->overlap / 100.0;
        settings.startFrequency = spectrum->startFrequency;
        settings.stopFrequency = spectrum->stopFrequency;
    }
    computations.push_back(
        spectrumView->computation(recording->sampleRate(), n, start, stop, settings));
    const bool removeDc = time ? removeDcCheckBox->isChecked() : dcRemoved;
    runViews(recording->samples(), fs, start, stop, removeDc, std::move(computations), nullptr,
             [this, time, spectrum] {
                 if (spectrum) {
                     appliedOverlap = spectrum->overlap;
                     appliedFftExponent = spectrum->exponent;
                     spectrogramView->setRange(spectrum->range);
                     spectrogramView->setStartFrequency(spectrum->startFrequency);
                     spectrogramView->setStopFrequency(spectrum->stopFrequency);
                     spectrogramView->setMirror(mirrorCheckBox->isChecked());
                     shown.startFrequency = spectrum->startText;
                     shown.stopFrequency = spectrum->stopText;
                     shown.low = spectrum->startFrequency;
                     shown.high = spectrum->stopFrequency;
                 }
                 if (time) {
                     shown.startTime = time->startText;
                     shown.stopTime = time->stopText;
                     shown.start = time->start;
                     shown.stop = time->stop;
                 }
                 spectrogramView->rebuildImage();
                 history.visit(shown);
             });
}

void ControlPanel::applyTimeRangeTexts(const QString& start, const QString& stop)
{
    startTimeEdit->setText(start);
    stopTimeEdit->setText(stop);
    applyTimeRange();
}

void ControlPanel::applyBandTexts(const QString& low, const QString& high)
{
    startFrequencyEdit->setText(low);
    stopFrequencyEdit->setText(high);
    applySpectrumSettings();
}

void ControlPanel::applyView(const ViewState& state)
{
    startTimeEdit->setText(state.startTime);
    stopTimeEdit->setText(state.stopTime);
    startFrequencyEdit->setText(state.startFrequency);
    stopFrequencyEdit->setText(state.stopFrequency);
    const std::optional<TimeRequest> time = readTimeRange();
    if (!time)
        return;
    const std::optional<SpectrumRequest> spectrum = readSpectrumSettings();
    if (!spectrum)
        return;
    runRequests(time, spectrum);
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
    ViewState whole;
    whole.startTime = formatNumber(0.0);
    whole.stopTime = formatNumber(fileDuration);
    whole.startFrequency = formatNumber(minFrequency);
    whole.stopFrequency = formatNumber(maxFrequency);
    whole.start = 0;
    whole.stop = fileDuration;
    whole.low = minFrequency;
    whole.high = maxFrequency;
    if (whole.sameView(shown) && !jobs->busy())
        return;
    applyView(whole);
}

double ControlPanel::frequencyOffset() const
{
    const std::optional<double>& centre = recording->info().centreFrequency;
    if (!absoluteFrequencyCheckBox->isChecked() || !recording->isLoaded() || !centre
        || !std::isfinite(*centre))
        return 0.0;
    return *centre;
}

void ControlPanel::showFrequencyOffset()
{
    const double offset = frequencyOffset();
    spectrogramView->setFrequencyOffset(offset);
    spectrumView->plotWidget()->setXOffset(offset);
    navigator->refresh();
}

void ControlPanel::readCursorDivisions()
{
    // Return and the loss of focus both end an edit: one message per text.
    const QString text = cursorDivisionsEdit->text();
    if (text == QString::number(divisions))
        return;
    double value = 0;
    try {
        value = cursorDivisionsEdit->value();
        if (value != std::floor(value) || value > maxCursorDivisions)
            throw std::runtime_error("input shall be a whole number from 1 to 1000");
    } catch (const std::exception& error) {
        cursorDivisionsEdit->setText(QString::number(divisions));
        showInputError(QString("Invalid cursor divisions: ") + error.what());
        return;
    }
    divisions = static_cast<int>(value);
    cursorDivisionsEdit->setText(QString::number(divisions));
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

    PowerCurveSettings settings;
    settings.window = static_cast<uint32_t>(static_cast<int32_t>(std::round(averageWindow)));
    settings.fullScaleValue = fullScaleValue;
    settings.fullScaleVoltage = fullScaleVoltage;
    settings.inputImpedance = inputImpedance;
    const double fs = static_cast<double>(recording->sampleRate());
    std::vector<std::unique_ptr<ViewComputation>> computations;
    computations.push_back(powerView->computation(fs, recording->sampleCount(), powerView->startTime(),
                                                  powerView->stopTime(), settings));
    runViews(recording->samples(), fs, powerView->startTime(), powerView->stopTime(), dcRemoved,
             std::move(computations), nullptr, nullptr);
}
