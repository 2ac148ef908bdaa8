// The control panel's groups, rows and widgets.

#include "panel/PanelForm.h"

#include "dsp/SpectrogramStream.h"

#include "io/Recording.h"
#include "panel/ElidedLabel.h"
#include "panel/LineEdits.h"
#include "session/NumberText.h"
#include "session/ViewSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int panelMargin = 2;
// Compact enough that every group shows in a window 900 pixels high.
constexpr int groupSpacing = 4;
constexpr int groupMargin = 4;
constexpr int rowSpacing = 1;
constexpr int defaultFftExponent = 8;

const char* const readyStyle = "QLabel { color : #1fcf3f; }";
const char* const processingStyle = "QLabel { color : cyan; }";

// Whole hertz as plain decimals, anything else to 12 significant digits.
QString frequencyText(double hz)
{
    constexpr double wholeLimit = 1e15;
    if (std::floor(hz) == hz && std::fabs(hz) < wholeLimit)
        return QString::number(static_cast<qint64>(hz));
    return QString::number(hz, 'g', 12);
}

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
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
    group.layout->setContentsMargins(groupMargin, groupMargin, groupMargin, groupMargin);
    group.layout->setSpacing(rowSpacing);
    auto* container = new QWidget;
    group.grid = new QGridLayout(container);
    group.grid->setContentsMargins(0, 0, 0, 0);
    group.grid->setVerticalSpacing(rowSpacing);
    group.layout->addWidget(container);
    panelLayout->addWidget(group.box);
    return group;
}

void addRow(QGridLayout* grid, int row, const char* caption, QWidget* field)
{
    grid->addWidget(new QLabel(caption), row, 0);
    grid->addWidget(field, row, 1);
}

// A row shown only while its field has a text; returns its caption.
QLabel* addOptionalRow(QGridLayout* grid, int row, const char* caption, QLabel* field)
{
    auto* captionLabel = new QLabel(caption);
    captionLabel->setObjectName(field->objectName() + "Caption");
    grid->addWidget(captionLabel, row, 0);
    grid->addWidget(field, row, 1);
    captionLabel->hide();
    field->hide();
    return captionLabel;
}

// Shows an optional row's text, or hides the row (caption and field) when it is empty.
void setOptionalRow(QLabel* caption, QLabel* field, const QString& text)
{
    field->setText(text);
    field->setVisible(!text.isEmpty());
    caption->setVisible(!text.isEmpty());
}

QPushButton* addButton(const Group& group, const char* text, const char* name)
{
    auto* button = named(new QPushButton(text), name);
    group.layout->addWidget(button);
    return button;
}

void buildOpenGroup(QBoxLayout* panelLayout, PanelWidgets& w)
{
    const Group group = addGroup(panelLayout, "Open");
    group.box->setAlignment(Qt::AlignBottom);
    w.formatComboBox = named(new QComboBox, "formatComboBox");
    w.formatComboBox->addItems({"Auto", "SigMF", "WAV", "Binary", "IQW"});
    // The Open button beside the format it opens with.
    w.openButton = named(new QPushButton("Open"), "openButton");
    auto* formatRow = new QWidget;
    auto* formatLayout = new QHBoxLayout(formatRow);
    formatLayout->setContentsMargins(0, 0, 0, 0);
    formatLayout->addWidget(w.formatComboBox, 1);
    formatLayout->addWidget(w.openButton, 1);
    addRow(group.grid, 0, "File format", formatRow);
    w.binaryFormatEdit = named(new QLineEdit, "binaryFormatEdit");
    w.binaryFormatEdit->setPlaceholderText("e.g. ci32_le");
    addRow(group.grid, 1, "Binary format", w.binaryFormatEdit);
    w.sampleRateEdit = named(new StrictPositiveLineEdit, "sampleRateEdit");
    addRow(group.grid, 2, "Sample rate (sample/s)", w.sampleRateEdit);
}

void buildFileInformationGroup(QBoxLayout* panelLayout, PanelWidgets& w)
{
    const Group group = addGroup(panelLayout, "File informations");
    QGridLayout* grid = group.grid;
    w.fileNameLabel = named(new ElidedLabel("No file loaded"), "fileNameLabel");
    w.statusLabel = named(new QLabel, "statusLabel");
    addRow(grid, 0, "State", w.statusLabel);
    w.fileLengthLabel = named(new ElidedLabel, "fileLengthLabel");
    addRow(grid, 1, "File length (samples)", w.fileLengthLabel);
    w.fileDurationLabel = named(new ElidedLabel, "fileDurationLabel");
    addRow(grid, 2, "File duration (s)", w.fileDurationLabel);
    w.sampleRateLabel = named(new ElidedLabel, "sampleRateLabel");
    addRow(grid, 3, "Sample rate (sample/s)", w.sampleRateLabel);
    w.centreFrequencyLabel = named(new ElidedLabel, "centreFrequencyLabel");
    w.centreFrequencyCaption = addOptionalRow(grid, 4, "Centre frequency (Hz)", w.centreFrequencyLabel);
    // The number of captures beside the centre frequency, in its cell: the group
    // takes no more height and the other rows keep their width.
    w.captureCountLabel = named(new QLabel, "captureCountLabel");
    w.captureCountLabel->setToolTip("Number of SigMF captures (a retune or a gap starts a new one)");
    w.captureCountLabel->hide();
    grid->removeWidget(w.centreFrequencyLabel);
    auto* centreCell = new QHBoxLayout;
    centreCell->setContentsMargins(0, 0, 0, 0);
    centreCell->addWidget(w.centreFrequencyLabel, 1);
    centreCell->addWidget(w.captureCountLabel);
    grid->addLayout(centreCell, 4, 1);
    w.startTimeLabel = named(new ElidedLabel, "startTimeLabel");
    w.startTimeCaption = addOptionalRow(grid, 5, "Start time", w.startTimeLabel);
    w.fileNoteLabel = named(new QLabel, "fileNoteLabel");
    w.fileNoteLabel->setWordWrap(true);
    w.fileNoteLabel->hide();
    group.layout->addWidget(w.fileNoteLabel);
    w.dcOffsetLabel = named(new ElidedLabel, "dcOffsetLabel");
    addRow(grid, 6, "DC offset", w.dcOffsetLabel);
    // The captions keep their width and the values take the rest, whichever rows are
    // shown (the values' labels ask for no width of their own).
    for (int row = 0; row < grid->rowCount(); ++row) {
        if (QLayoutItem* caption = grid->itemAtPosition(row, 0); caption && caption->widget())
            caption->widget()->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
        if (QLayoutItem* value = grid->itemAtPosition(row, 1); value && value->widget())
            value->widget()->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }
    w.centreFrequencyLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    // Shown while work runs, beside the file's name: how far it is, and a way to
    // stop it. The row is as high as the button throughout, so that nothing below
    // moves when they come and go.
    auto* nameRow = new QHBoxLayout;
    nameRow->setContentsMargins(0, 0, 0, 0);
    nameRow->addWidget(w.fileNameLabel, 1);
    w.progressBar = named(new QProgressBar, "progressBar");
    w.progressBar->setRange(0, 100);
    w.progressBar->setTextVisible(true);
    w.progressBar->setFormat("%p%");
    nameRow->addWidget(w.progressBar, 1);
    w.cancelButton = named(new QPushButton("Cancel"), "cancelButton");
    nameRow->addWidget(w.cancelButton);
    w.fileNameLabel->setMinimumHeight(w.cancelButton->sizeHint().height());
    group.layout->insertLayout(0, nameRow);
    w.progressBar->setVisible(false);
    w.cancelButton->setVisible(false);
}

void buildTimeRangeGroup(QBoxLayout* panelLayout, PanelWidgets& w)
{
    const Group group = addGroup(panelLayout, "Time range");
    w.startTimeEdit = named(new PositiveLineEdit, "startTimeEdit");
    addRow(group.grid, 0, "Start time (s)", w.startTimeEdit);
    w.stopTimeEdit = named(new StrictPositiveLineEdit, "stopTimeEdit");
    addRow(group.grid, 1, "Stop time (s)", w.stopTimeEdit);
    w.timeRangeApplyButton = addButton(group, "Apply", "timeRangeApplyButton");
}

void buildSpectrumGroup(QBoxLayout* panelLayout, PanelWidgets& w, const FormDefaults& defaults)
{
    const Group group = addGroup(panelLayout, "Spectrogram and Spectrum");
    QGridLayout* grid = group.grid;
    w.fftExponentSpinBox = named(new QSpinBox, "fftExponentSpinBox");
    w.fftExponentSpinBox->setValue(defaultFftExponent);
    w.fftExponentSpinBox->setRange(1, std::numeric_limits<int>::max());
    w.fftExponentSpinBox->setSingleStep(1);
    addRow(grid, 0, "FFT size exponent (N)", w.fftExponentSpinBox);
    // The size 2^N beside its exponent.
    w.fftSizeLabel = named(new QLabel(QString::number(1 << defaultFftExponent)), "fftSizeLabel");
    w.fftSizeLabel->setToolTip("FFT size (2^N)");
    grid->addWidget(w.fftSizeLabel, 0, 2);
    w.startFrequencyEdit = named(new RealLineEdit, "startFrequencyEdit");
    addRow(grid, 2, "Start frequency (Hz)", w.startFrequencyEdit);
    w.stopFrequencyEdit = named(new RealLineEdit, "stopFrequencyEdit");
    addRow(grid, 3, "Stop frequency (Hz)", w.stopFrequencyEdit);
    w.overlapSpinBox = named(new QDoubleSpinBox, "overlapSpinBox");
    w.overlapSpinBox->setValue(defaults.overlapPercent);
    w.overlapSpinBox->setRange(0.0, 100.0);
    addRow(grid, 4, "Overlap (%)", w.overlapSpinBox);
    w.hopLabel = named(new QLabel, "hopLabel");
    grid->addWidget(w.hopLabel, 4, 2);
    w.rangeEdit = named(new StrictPositiveLineEdit(shortNumber(defaults.rangeDb)), "rangeEdit");
    addRow(grid, 5, "Range (dB)", w.rangeEdit);
    // The colour map and the mirror share a row.
    w.colorMapComboBox = named(new QComboBox, "colorMapComboBox");
    w.colorMapComboBox->addItems({"viridis", "inferno", "magma", "grey"});
    addRow(grid, 6, "Colour map", w.colorMapComboBox);
    w.mirrorCheckBox = named(new QCheckBox, "mirrorCheckBox");
    w.mirrorCheckBox->setToolTip("Flip spectrogram vertically");
    auto* mirrorRow = new QHBoxLayout;
    mirrorRow->addWidget(new QLabel("Mirror"));
    mirrorRow->addWidget(w.mirrorCheckBox);
    grid->addLayout(mirrorRow, 6, 2);
    w.referenceLevelEdit = named(new QLineEdit, "referenceLevelEdit");
    w.referenceLevelEdit->setPlaceholderText("Auto");
    addRow(grid, 8, "Reference level (dB/Hz)", w.referenceLevelEdit);
    w.spectrumApplyButton = addButton(group, "Apply", "spectrumApplyButton");
}

void buildPowerGroup(QBoxLayout* panelLayout, PanelWidgets& w, const FormDefaults& defaults)
{
    const Group group = addGroup(panelLayout, "Power");
    QGridLayout* grid = group.grid;
    w.averageWindowEdit = named(new StrictPositiveLineEdit(QString::number(defaults.averageWindow)),
                                "averageWindowEdit");
    addRow(grid, 0, "Average window (samples)", w.averageWindowEdit);
    w.fullScaleValueEdit = named(new StrictPositiveLineEdit(shortNumber(defaults.fullScaleValue)),
                                 "fullScaleValueEdit");
    addRow(grid, 1, "Full scale value", w.fullScaleValueEdit);
    w.fullScaleVoltageEdit = named(
        new StrictPositiveLineEdit(shortNumber(defaults.fullScaleVoltage)), "fullScaleVoltageEdit");
    addRow(grid, 2, "Full scale voltage (V)", w.fullScaleVoltageEdit);
    w.inputImpedanceEdit = named(new StrictPositiveLineEdit(shortNumber(defaults.inputImpedance)),
                                 "inputImpedanceEdit");
    addRow(grid, 3, "Input impedance (ohm)", w.inputImpedanceEdit);
    w.powerUnitComboBox = named(new QComboBox, "powerUnitComboBox");
    w.powerUnitComboBox->addItems({"dBm", "dBFS"});
    w.bandPowerCheckBox = named(new QCheckBox("Band only"), "bandPowerCheckBox");
    // The unit beside its caption and the band in the fields' column: one row.
    auto* unitRow = new QWidget;
    auto* unitLayout = new QHBoxLayout(unitRow);
    unitLayout->setContentsMargins(0, 0, 0, 0);
    unitLayout->addWidget(new QLabel("Unit"));
    unitLayout->addWidget(w.powerUnitComboBox);
    unitLayout->addStretch();
    grid->addWidget(unitRow, 4, 0);
    grid->addWidget(w.bandPowerCheckBox, 4, 1);
    w.powerApplyButton = addButton(group, "Apply", "powerApplyButton");
}

void buildDisplayGroup(QBoxLayout* panelLayout, PanelWidgets& w)
{
    auto* group = new QGroupBox("Display");
    auto* grid = new QGridLayout(group);
    panelLayout->addWidget(group);
    w.showPowerViewCheckBox = named(new QCheckBox("Show power view"), "showPowerViewCheckBox");
    w.showPowerViewCheckBox->setChecked(true);
    // Four rows: no margin above and below them and no space between them, so
    // that the panel still fits a window 900 pixels high.
    grid->setContentsMargins(groupMargin, 0, groupMargin, 0);
    grid->setVerticalSpacing(0);
    grid->addWidget(w.showPowerViewCheckBox, 0, 0);
    w.showAmplitudeViewCheckBox =
        named(new QCheckBox("Show amplitude view"), "showAmplitudeViewCheckBox");
    grid->addWidget(w.showAmplitudeViewCheckBox, 0, 1);
    w.removeDcCheckBox = named(new QCheckBox("Remove DC offset"), "removeDcCheckBox");
    w.removeDcCheckBox->setToolTip(
        "Subtract the mean of I and of Q over the time range before every view is computed");
    grid->addWidget(w.removeDcCheckBox, 1, 0);
    w.showAnnotationsCheckBox = named(new QCheckBox("Show annotations"), "showAnnotationsCheckBox");
    w.showAnnotationsCheckBox->setChecked(true);
    w.showAnnotationsCheckBox->setToolTip("Draw the recording's annotations on the spectrogram");
    grid->addWidget(w.showAnnotationsCheckBox, 1, 1);
    w.absoluteFrequencyCheckBox =
        named(new QCheckBox("Show absolute frequency"), "absoluteFrequencyCheckBox");
    w.absoluteFrequencyCheckBox->setToolTip(
        "Label frequencies with the recording's centre frequency added");
    w.absoluteFrequencyCheckBox->setEnabled(false);
    grid->addWidget(w.absoluteFrequencyCheckBox, 2, 0);
    // Caption and field side by side, beside the last check box.
    auto* divisionsRow = new QHBoxLayout;
    divisionsRow->addWidget(new QLabel("Cursor divisions"));
    w.cursorDivisionsEdit = named(new StrictPositiveLineEdit("1"), "cursorDivisionsEdit");
    w.cursorDivisionsEdit->setToolTip("Equal parts between cursors A and B, marked by ticks");
    w.cursorDivisionsEdit->setMaximumWidth(w.cursorDivisionsEdit->fontMetrics().horizontalAdvance("00000") + 12);
    divisionsRow->addWidget(w.cursorDivisionsEdit);
    divisionsRow->addStretch();
    grid->addLayout(divisionsRow, 2, 1);
    w.showTraceViewCheckBox = named(new QCheckBox("Show trace view"), "showTraceViewCheckBox");
    grid->addWidget(w.showTraceViewCheckBox, 3, 0);
}

// What each field holds, in what unit, and what it does.
void addToolTips(const PanelWidgets& w)
{
    const std::pair<QWidget*, const char*> tips[] = {
        {w.formatComboBox, "How the file is read: Auto by its ending (.sigmf-meta, .sigmf, .wav, .iqw, "
                           ".cfile, .cu8, ...), or the format named"},
        {w.binaryFormatEdit, "SigMF datatype of a raw file's samples, [r|c][f|i|u]bits_[le|be], e.g. ci16_le"},
        {w.sampleRateEdit, "Samples per second of a raw or IQW file"},
        {w.startTimeEdit, "Start of the time range shown, seconds from the start of the recording"},
        {w.stopTimeEdit, "End of the time range shown, seconds (beyond the end means the end)"},
        {w.fftExponentSpinBox, "FFT size as a power of two, 1 to 15: more points, finer frequency steps"},
        {w.startFrequencyEdit, "Lowest frequency shown, Hz about the centre (baseband)"},
        {w.stopFrequencyEdit, "Highest frequency shown, Hz about the centre (baseband)"},
        {w.overlapSpinBox, "Share of one FFT segment that the next one repeats, percent"},
        {w.rangeEdit, "Span of the colour scale below its top, dB"},
        {w.colorMapComboBox, "Colours of the spectrogram's scale"},
        {w.referenceLevelEdit, "Top of the colour scale in dB/Hz, or empty for Auto: the strongest "
                               "value of the band shown"},
        {w.averageWindowEdit, "Samples averaged for each point of the power curve"},
        {w.fullScaleValueEdit, "Sample value of full scale (a load sets it from the datatype)"},
        {w.fullScaleVoltageEdit, "Peak voltage of a full-scale signal, volts"},
        {w.inputImpedanceEdit, "Impedance the power is computed into, ohms"},
        {w.powerUnitComboBox, "dBm: power into the impedance; dBFS: power relative to full scale"},
        {w.bandPowerCheckBox, "The power of the band shown only (mixed, filtered and decimated "
                              "as an export of the band), averaged over the same time"},
        {w.showPowerViewCheckBox, "Show the power against time"},
        {w.showAmplitudeViewCheckBox, "Show the raw I and Q values against time"},
        {w.showTraceViewCheckBox, "Show what the band shown carries against time: its amplitude, "
                                  "frequency or phase"},
    };
    for (const auto& [widget, tip] : tips)
        widget->setToolTip(tip);
}

} // namespace

PanelWidgets buildPanelForm(QWidget* panel, const FormDefaults& defaults)
{
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setAlignment(Qt::AlignTop);
    panelLayout->setContentsMargins(panelMargin, panelMargin, panelMargin, panelMargin);
    panelLayout->setSpacing(groupSpacing);
    PanelWidgets w{};
    buildOpenGroup(panelLayout, w);
    buildFileInformationGroup(panelLayout, w);
    buildTimeRangeGroup(panelLayout, w);
    buildSpectrumGroup(panelLayout, w, defaults);
    buildPowerGroup(panelLayout, w, defaults);
    buildDisplayGroup(panelLayout, w);
    addToolTips(w);
    showHop(w);
    return w;
}

void showStatus(const PanelWidgets& form, bool processing, const QString& idleText, const QString& busyText)
{
    form.statusLabel->setText(processing ? busyText : idleText);
    form.statusLabel->setStyleSheet(processing ? processingStyle : readyStyle);
    form.statusLabel->repaint();
}

void showFileInformation(const PanelWidgets& form, const QString& fileName,
                         const Recording& recording, double duration)
{
    form.fileNameLabel->setText(fileName);
    form.fileNameLabel->setToolTip(fileName);
    form.fileLengthLabel->setText(QString::number(recording.sampleCount()));
    form.fileDurationLabel->setText(exactNumber(duration));
    form.sampleRateLabel->setText(exactNumber(recording.sampleRate()));
    const RecordingInfo& info = recording.info();
    setOptionalRow(form.centreFrequencyCaption, form.centreFrequencyLabel,
                   info.centreFrequency ? frequencyText(*info.centreFrequency) : QString());
    setOptionalRow(form.startTimeCaption, form.startTimeLabel, QString::fromStdString(info.startTime));
    const std::size_t captures = info.captures.size();
    form.captureCountLabel->setText(
        captures == 0 ? QString() : QStringLiteral("%1 capture%2").arg(captures).arg(captures == 1 ? "" : "s"));
    form.captureCountLabel->setVisible(captures > 0);
    form.fileNoteLabel->setText(QString::fromStdString(info.note));
    form.fileNoteLabel->setVisible(!info.note.empty());
}

void showHop(const PanelWidgets& form)
{
    // Past this many FFTs per segment of no overlap, whole-recording views take long.
    constexpr uint32_t slowFactor = 64;
    const int exponent = form.fftExponentSpinBox->value();
    if (exponent < fewestFftExponent || exponent > mostFftExponent) {
        form.hopLabel->clear();
        form.hopLabel->setToolTip(QString());
        return;
    }
    const uint32_t n = uint32_t(1) << exponent;
    const uint32_t hop = spectrogramHop(n, form.overlapSpinBox->value() / 100.0);
    const bool slow = n / hop >= slowFactor;
    form.hopLabel->setText(slow ? QStringLiteral("hop %1, slow").arg(hop) : QStringLiteral("hop %1").arg(hop));
    form.hopLabel->setStyleSheet(slow ? QStringLiteral("QLabel { color : #ff9f1f; }") : QString());
    form.hopLabel->setToolTip(
        slow ? QStringLiteral("Each FFT segment starts %1 sample%2 after the previous one: views of a long range "
                              "compute %3 times the FFTs of no overlap and take long. A lower overlap is "
                              "faster.")
                   .arg(hop)
                   .arg(hop == 1 ? "" : "s")
                   .arg(n / hop)
             : QStringLiteral("Samples from the start of one FFT segment to the next"));
}

void showDcOffsetText(const PanelWidgets& form, const std::optional<DcOffset>& offset)
{
    if (!offset) {
        form.dcOffsetLabel->clear();
        return;
    }
    form.dcOffsetLabel->setText(offset->remove ? QString("Removed (I %1, Q %2)")
                                                     .arg(shortNumber(offset->i), shortNumber(offset->q))
                                               : QString("Not removed"));
}
