// Welch spectrum of the time range, centred, in dB, cut to the band.

#include "views/SpectrumView.h"

#include "io/Recording.h"
#include "session/SpectrumModel.h"
#include "session/ViewComputation.h"
#include "views/CustomPlot.h"

#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Room above the highest point for a marker's triangle and name at the usual plot heights.
constexpr double spectrumHeadroom = 0.08;

} // namespace

SpectrumView::SpectrumView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    plot = new CustomPlot("Frequency (Hz)", "Power spectral density (dB/Hz)", this);
    plot->setObjectName("plot");
    plot->setAxisQuantities(AxisQuantity::Frequency, AxisQuantity::Number);
    plot->setValueDescription({QString(), QStringLiteral("dB/Hz"), 1});
    // The strongest peak, where marker 1 goes, clear of the plot's top edge.
    plot->setHeadroom(spectrumHeadroom);
    layout->addWidget(plot);
    setLayout(layout);
}

SpectrumView::~SpectrumView() = default;

std::unique_ptr<ViewComputation> SpectrumView::computation(double sampleRate, uint64_t count,
                                                           double startTime, double stopTime,
                                                           const SpectrumSettings& settings,
                                                           std::shared_ptr<SummarySet> summaries)
{
    const StreamRange range = streamRangeOf(sampleRate, count, startTime, stopTime);
    return presentedBy<SpectrumPass>(
        this, std::make_unique<SpectrumPass>(range, sampleRate, settings, std::move(summaries)),
        [this, startTime, stopTime, settings](SpectrumPass& done) {
            this->startTime = startTime;
            this->stopTime = stopTime;
            current = settings;
            SpectrumCurve curve = done.curve();
            plot->setData(std::move(curve.frequency), std::move(curve.power), false);
            shown = done.result();
        });
}

void SpectrumView::setTimeRange(double startTime, double stopTime)
{
    this->startTime = startTime;
    this->stopTime = stopTime;
    computeAndPresent(*recording, startTime, stopTime, removeDcOffset,
                      computation(recording->sampleRate(), sampleCountOf(*recording), startTime,
                                  stopTime, settings()));
}

void SpectrumView::refresh()
{
    setTimeRange(startTime, stopTime);
}

bool SpectrumView::outdated(const ViewSettings&, const ViewSettings&) const
{
    return false;
}

std::unique_ptr<ViewComputation> SpectrumView::computation(const ViewSettings&, const RecordingFacts&)
{
    return nullptr;
}

void SpectrumView::present(const Presentation& presentation)
{
    removeDcOffset = presentation.settings.removeDc;
    plot->setXOffset(presentation.frequencyOffset);
    if (!source || source->revision() == drawnRevision)
        return;
    drawnRevision = source->revision();
    const ViewSettings& settings = presentation.settings;
    startTime = settings.range.start;
    stopTime = settings.range.stop;
    current = settings.spectrum();
    shown = source->result();
    plot->setData(source->curve().frequency, source->curve().power, false);
}
