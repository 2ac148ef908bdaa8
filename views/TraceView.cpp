// The band's trace against time, computed by TracePass and shifted to
// absolute hertz when the display asks for absolute frequencies.

#include "views/TraceView.h"

#include "io/Recording.h"
#include "plotdata/TracePass.h"
#include "plotdata/TraceSummaries.h"
#include "session/SummaryBuilds.h"
#include "session/ViewComputation.h"
#include "views/CaptureMarkers.h"
#include "views/CustomPlot.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

TraceSettings traceSettingsOf(const ViewSettings& s)
{
    TraceSettings trace;
    trace.kind = TraceView::kindOf(s.display.traceKind);
    trace.low = s.band.low;
    trace.high = s.band.high;
    trace.fullScale = s.power.fullScaleValue;
    trace.squelchDb = trace.kind == TraceKind::Amplitude ? std::nullopt : s.display.squelchDb;
    return trace;
}

} // namespace

TraceView::TraceView(Recording* recording, QWidget* parent) : QWidget(parent), recording(recording)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(4, 2, 4, 2);
    traceKindComboBox = new QComboBox(this);
    traceKindComboBox->setObjectName("traceKindComboBox");
    traceKindComboBox->addItems({"Amplitude (dBFS)", "Frequency (Hz)", "Phase (°)"});
    traceKindComboBox->setCurrentIndex(1);
    traceKindComboBox->setToolTip("What the trace draws of the band shown (and how Play demodulates it: "
                                  "amplitude as AM, frequency and phase as FM)");
    controls->addWidget(traceKindComboBox);
    controls->addStretch();
    controls->addWidget(new QLabel("Squelch (dB)", this));
    squelchEdit = new QLineEdit(this);
    squelchEdit->setObjectName("squelchEdit");
    squelchEdit->setMaximumWidth(squelchEdit->fontMetrics().horizontalAdvance("000000") + 12);
    squelchEdit->setToolTip("Decibels above the band's noise floor (its median power over the range) "
                            "below which frequency and phase are not drawn; empty for none");
    controls->addWidget(squelchEdit);
    playButton = new QPushButton("Play", this);
    playButton->setObjectName("playButton");
    playButton->setToolTip("Play the band shown from the start of the range (Space on a plot); "
                           "Stop ends it (Escape)");
    controls->addWidget(playButton);
    layout->addLayout(controls);
    plot = new CustomPlot("Time (s)", title(TraceKind::Frequency), this);
    plot->setObjectName("tracePlot");
    plot->setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
    plot->setBreaksAtNaN(true);
    plot->setValueDescription({QString(), QStringLiteral("Hz"), 1});
    layout->addWidget(plot);
    plot->setWidthChangedHandler([this] { askForNewWidth(); });
    setVisible(false);
}

TraceView::~TraceView() = default;

TraceKind TraceView::kindOf(int choice)
{
    return choice == 0 ? TraceKind::Amplitude : choice == 2 ? TraceKind::Phase : TraceKind::Frequency;
}

QString TraceView::title(TraceKind kind)
{
    switch (kind) {
    case TraceKind::Amplitude:
        return QStringLiteral("Amplitude (dBFS)");
    case TraceKind::Phase:
        return QStringLiteral("Phase (°)");
    case TraceKind::Frequency:
        break;
    }
    return QStringLiteral("Frequency (Hz)");
}

void TraceView::setPlayPosition(std::optional<double> seconds)
{
    plot->setPlayLine(seconds);
}

bool TraceView::active(const ViewSettings& settings) const
{
    return settings.display.showTrace;
}

void TraceView::setShown(ViewSettings& settings, bool shown) const
{
    settings.display.showTrace = shown;
}

bool TraceView::outdated(const ViewSettings& computed, const ViewSettings& next) const
{
    return !(computed.range == next.range) || computed.removeDc != next.removeDc
           || !(traceSettingsOf(computed) == traceSettingsOf(next));
}

std::unique_ptr<ViewComputation> TraceView::computation(const ViewSettings& settings,
                                                        const RecordingFacts& facts)
{
    // What is kept belongs to one recording: its summaries say which.
    if (keptFor.lock() != facts.summaries || !kept) {
        kept = std::make_shared<TraceSummaries>();
        keptFor = facts.summaries;
    }
    const StreamRange range = streamRangeOf(facts.sampleRate, facts.sampleCount, settings.range.start,
                                            settings.range.stop);
    const TraceSettings trace = traceSettingsOf(settings);
    auto pass = std::make_unique<TracePass>(range, facts.sampleRate, facts.sampleCount, trace,
                                            std::max(1, plot->plotAreaWidth()), facts.summaries ? kept : nullptr);
    pass->setSketchSource(facts.samples);
    return presentedBy<TracePass>(this, std::move(pass), [this, trace](TracePass& done) {
        computed = std::move(done.curve());
        computedKind = trace.kind;
        floor = done.noiseFloor();
        showCurve(shownShift);
    });
}

void TraceView::addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const
{
    // What is kept is made with the recording's first trace.
    if (kept)
        needs.trace = SummaryNeeds::Trace{traceSettingsOf(settings), kept};
}

void TraceView::showCurve(double shift)
{
    shownShift = shift;
    ReducedCurve curve = computed;
    if (computedKind == TraceKind::Frequency && shift != 0) {
        for (double& y : curve.y)
            y += shift;
        curve.ranges.yMin += shift;
        curve.ranges.yMax += shift;
    }
    plot->setYTitle(title(computedKind));
    const QString unit = computedKind == TraceKind::Amplitude ? QStringLiteral("dBFS")
                         : computedKind == TraceKind::Phase   ? QStringLiteral("°")
                                                              : QStringLiteral("Hz");
    plot->setValueDescription({QString(), unit, 1});
    plot->setCurve(std::move(curve));
}

void TraceView::present(const Presentation& presentation)
{
    const ViewSettings& settings = presentation.settings;
    setVisible(settings.display.showTrace);
    // Relative to the band's centre, or absolute: the centre frequency and the band's centre added.
    const double shift = settings.display.absoluteFrequency
                             ? presentation.frequencyOffset + (settings.band.low + settings.band.high) / 2.0
                             : 0.0;
    if (presentation.computed || shift != shownShift)
        showCurve(shift);
    if (presentation.computed)
        plot->setMarkers(captureMarkers(recording->info(), static_cast<double>(recording->sampleRate())));
}

bool TraceView::needsNewWidth() const
{
    return plot->curveNeedsNewWidth();
}

bool TraceView::laidOut() const
{
    return window()->isVisible();
}

void TraceView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    tellVisibility(!isHidden());
}

void TraceView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    tellVisibility(!isHidden());
}
