// The measurements of the spectrum shown, and its markers.

#include "panel/MeasurementsGroup.h"

#include "dsp/MeasurementReport.h"
#include "session/SpectrumModel.h"
#include "session/ViewSession.h"
#include "views/AxisTicks.h"
#include "views/PlotWidget.h"

#include <QApplication>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>

#include <cmath>

namespace {

QLabel* valueLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("-"), parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-000.00 dB/Hz")));
    return label;
}

QString decibels(const std::optional<double>& value, const char* unit)
{
    return value && std::isfinite(*value) ? QString::number(*value, 'f', 2) + QLatin1Char(' ') + unit
                                          : QStringLiteral("-");
}

QString hertz(const std::optional<double>& value, double offset, double resolution)
{
    return value ? quantityText(*value + offset, AxisQuantity::Frequency, resolution) : QStringLiteral("-");
}

} // namespace

MeasurementsGroup::MeasurementsGroup(const SpectrumModel* spectrum, ViewSession* session, PlotWidget* spectrumPlot,
                                     QWidget* parent)
    : QGroupBox(QStringLiteral("Measurements"), parent), spectrum(spectrum), session(session),
      spectrumPlot(spectrumPlot)
{
    channelPowerLabel = valueLabel("channelPowerLabel", this);
    noiseDensityLabel = valueLabel("noiseDensityLabel", this);
    snrLabel = valueLabel("snrLabel", this);
    occupiedBandwidthLabel = valueLabel("occupiedBandwidthLabel", this);
    peakFrequencyLabel = valueLabel("peakFrequencyLabel", this);
    meanFrequencyLabel = valueLabel("meanFrequencyLabel", this);
    occupiedPercentSpinBox = new QDoubleSpinBox(this);
    occupiedPercentSpinBox->setObjectName("occupiedPercentSpinBox");
    occupiedPercentSpinBox->setRange(1.0, 100.0);
    occupiedPercentSpinBox->setDecimals(1);
    occupiedPercentSpinBox->setSuffix(QStringLiteral(" %"));
    occupiedPercentSpinBox->setValue(defaultOccupiedPercent);
    occupiedPercentSpinBox->setToolTip(QStringLiteral("Share of the band's power the occupied bandwidth holds"));
    markerLabel = new QLabel(this);
    markerLabel->setObjectName("markerLabel");
    markerLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    peakButton = new QPushButton(QStringLiteral("Peak"), this);
    peakButton->setObjectName("peakButton");
    peakButton->setToolTip(QStringLiteral("Marker 1 on the highest peak (P); Shift+P: marker 2 on the "
                                          "next peak; Left, Right: the next peak"));
    copyMeasurementsButton = new QPushButton(QStringLiteral("Copy"), this);
    copyMeasurementsButton->setObjectName("copyMeasurementsButton");
    copyMeasurementsButton->setToolTip(QStringLiteral("Copy the measurements as text"));

    auto* grid = new QGridLayout(this);
    const std::pair<const char*, QLabel*> rows[] = {
        {"Channel power", channelPowerLabel},    {"Noise density", noiseDensityLabel},
        {"SNR", snrLabel},                         {"Peak frequency", peakFrequencyLabel},
        {"Mean frequency", meanFrequencyLabel},    {"Occupied bandwidth", occupiedBandwidthLabel},
    };
    for (int k = 0; k < 6; ++k) {
        const int row = k % 3;
        const int column = 3 * (k / 3);
        grid->addWidget(new QLabel(QString::fromLatin1(rows[k].first), this), row, column);
        grid->addWidget(rows[k].second, row, column + 1);
    }
    auto* occupied = new QHBoxLayout;
    occupied->addWidget(new QLabel(QStringLiteral("Occupied share"), this));
    occupied->addWidget(occupiedPercentSpinBox);
    occupied->addStretch();
    grid->addLayout(occupied, 0, 6);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(peakButton);
    buttons->addWidget(copyMeasurementsButton);
    buttons->addStretch();
    grid->addLayout(buttons, 1, 6);
    grid->addWidget(markerLabel, 3, 0, 1, 7);
    grid->setColumnStretch(7, 1);
    grid->setColumnMinimumWidth(2, 16);
    grid->setColumnMinimumWidth(5, 16);

    connect(peakButton, &QPushButton::clicked, this, &MeasurementsGroup::peak);
    connect(copyMeasurementsButton, &QPushButton::clicked, this, &MeasurementsGroup::copyMeasurements);
    // The share is a setting of what is shown: the model measures with it.
    connect(occupiedPercentSpinBox, &QDoubleSpinBox::valueChanged, this, [this](double percent) {
        ViewSettings next = this->session->requested();
        next.occupiedPercent = percent;
        this->session->apply(next);
    });
    connect(session, &ViewSession::viewsPresented, this, &MeasurementsGroup::remeasure);
    connect(session, &ViewSession::settingsApplied, this, &MeasurementsGroup::remeasure);
    connect(session, &ViewSession::recordingLoaded, this, &MeasurementsGroup::clearMarkers);
    // P and Shift+P wherever the Frequency tab is shown; Left and Right on the
    // spectrum or in the group.
    auto* peakKey = new QShortcut(QKeySequence(Qt::Key_P), this, this, &MeasurementsGroup::peak);
    auto* besideKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_P), this, this,
                                    &MeasurementsGroup::secondBeside);
    peakKey->setContext(Qt::WindowShortcut);
    besideKey->setContext(Qt::WindowShortcut);
    for (QWidget* owner : {static_cast<QWidget*>(spectrumPlot), static_cast<QWidget*>(this)}) {
        const Qt::ShortcutContext context =
            owner == this ? Qt::WidgetWithChildrenShortcut : Qt::WidgetShortcut;
        auto* left = new QShortcut(QKeySequence(Qt::Key_Left), owner, this,
                                   [this] { stepMarker(PeakDirection::left); });
        auto* right = new QShortcut(QKeySequence(Qt::Key_Right), owner, this,
                                    [this] { stepMarker(PeakDirection::right); });
        left->setContext(context);
        right->setContext(context);
    }
    spectrumPlot->installEventFilter(this);
}

const std::optional<BandMeasurements>& MeasurementsGroup::measurements() const
{
    return spectrum->measurements();
}

std::optional<MarkedSpectrum> MeasurementsGroup::shownSpectrum() const
{
    const WelchResult& result = spectrum->result();
    if (result.power.empty())
        return std::nullopt;
    const ValueRange band = spectrum->band();
    return MarkedSpectrum{{result.power, result.sampleRate, result.segmentLength, result.effectiveSegments},
                          band.low, band.high, spectrum->calibration()};
}

void MeasurementsGroup::remeasure()
{
    {
        const QSignalBlocker quiet(occupiedPercentSpinBox);
        occupiedPercentSpinBox->setValue(session->requested().occupiedPercent);
    }
    // The markers are read again from each new spectrum, band or calibration.
    if (spectrum->revision() != markedRevision) {
        markedRevision = spectrum->revision();
        if (const std::optional<MarkedSpectrum> shown = shownSpectrum())
            shownMarkers.reread(*shown);
        else
            shownMarkers.clear();
    }
    showMeasurements();
    showMarkers();
}

void MeasurementsGroup::clearMarkers()
{
    shownMarkers.clear();
    showMarkers();
}

void MeasurementsGroup::peak()
{
    if (const std::optional<MarkedSpectrum> shown = shownSpectrum(); shown && shownMarkers.putOnPeak(*shown))
        showMarkers();
}

void MeasurementsGroup::secondBeside()
{
    if (const std::optional<MarkedSpectrum> shown = shownSpectrum();
        shown && shownMarkers.putSecondBeside(*shown))
        showMarkers();
}

void MeasurementsGroup::stepMarker(PeakDirection direction)
{
    if (const std::optional<MarkedSpectrum> shown = shownSpectrum();
        shown && shownMarkers.step(*shown, direction))
        showMarkers();
}

void MeasurementsGroup::secondAt(double hertz)
{
    if (const std::optional<MarkedSpectrum> shown = shownSpectrum();
        shown && shownMarkers.putSecondAt(*shown, hertz))
        showMarkers();
}

void MeasurementsGroup::showMeasurements()
{
    const std::optional<BandMeasurements>& measured = spectrum->measurements();
    if (!measured) {
        for (QLabel* label : {channelPowerLabel, noiseDensityLabel, snrLabel, occupiedBandwidthLabel,
                              peakFrequencyLabel, meanFrequencyLabel})
            label->setText(QStringLiteral("-"));
        return;
    }
    const BandMeasurements& m = *measured;
    const double offset = session->frequencyOffset();
    // Refined frequencies are good to a small part of a bin.
    const double resolution = m.binWidthHz / 100;
    channelPowerLabel->setText(decibels(m.channelPowerDbm, "dBm"));
    noiseDensityLabel->setText(decibels(m.noiseDensityDbHz, "dB/Hz"));
    snrLabel->setText(decibels(m.snrDb, "dB"));
    peakFrequencyLabel->setText(hertz(m.peakFrequencyHz, offset, resolution));
    meanFrequencyLabel->setText(hertz(m.meanFrequencyHz, offset, resolution));
    occupiedBandwidthLabel->setText(
        m.occupiedBandwidthHz ? QStringLiteral("%1 (%2 to %3)")
                                    .arg(hertz(m.occupiedBandwidthHz, 0.0, resolution),
                                         hertz(m.occupiedLowHz, offset, resolution),
                                         hertz(m.occupiedHighHz, offset, resolution))
                              : QStringLiteral("-"));
}

void MeasurementsGroup::showMarkers()
{
    const WelchResult& result = spectrum->result();
    const double resolution =
        result.power.empty() ? 1.0 : result.sampleRate / static_cast<double>(result.power.size()) / 100;
    markerLabel->setText(shownMarkers.readout(session->frequencyOffset(), resolution));
    spectrumPlot->setMarks(shownMarkers.marks());
}

void MeasurementsGroup::copyMeasurements()
{
    const std::optional<BandMeasurements>& measured = spectrum->measurements();
    if (!measured)
        return;
    QString text = QString::fromStdString(measurementsText(*measured));
    const QString markers = markerLabel->text();
    if (!markers.isEmpty())
        text += markers.split(QStringLiteral("   ")).join(QLatin1Char('\n')) + QLatin1Char('\n');
    QApplication::clipboard()->setText(text);
}

// Shift+click on the spectrum puts marker 2 there; the press and its release go
// no further.
bool MeasurementsGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != spectrumPlot)
        return false;
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if (!press && !release)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (release) {
        const bool consumed = shiftPressConsumed && mouse->button() == Qt::LeftButton;
        if (consumed)
            shiftPressConsumed = false;
        return consumed;
    }
    const QPoint at = mouse->position().toPoint();
    if (mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::ShiftModifier)
        || !spectrumPlot->plotRect().contains(at) || !spectrumPlot->horizontalMap().valid())
        return false;
    shiftPressConsumed = true;
    secondAt(spectrumPlot->horizontalMap().valueAt(at.x() + 0.5));
    return true;
}
