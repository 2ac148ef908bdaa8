#pragma once
// Averaged power spectrum of a time range in dB against frequency, cut to a band.

#include "plotdata/SpectrumPass.h"
#include "session/ViewKind.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class CustomPlot;
class Recording;
class SpectrumModel;
class SummarySet;
class ViewComputation;

class SpectrumView : public QWidget, public ViewKind
{
public:
    SpectrumView(Recording* recording, QWidget* parent = nullptr);
    ~SpectrumView() override;

    // FFT size in points (a power of two), also the segment length. Does not recompute.
    void setFftSize(int points) { current.fftSize = points < 0 ? 0 : static_cast<uint32_t>(points); }
    // Fraction (0 to 1) of a segment shared with the next. Does not recompute.
    void setOverlap(double fraction) { current.overlap = fraction; }
    // Band edges in Hz. Do not recompute.
    void setStartFrequency(double hertz) { current.startFrequency = hertz; }
    void setStopFrequency(double hertz) { current.stopFrequency = hertz; }

    // Start and stop in seconds; stored for refresh() and the curve recomputed.
    void setTimeRange(double startTime, double stopTime);
    // Recomputes with the stored time range and the current settings.
    void refresh();

    SpectrumSettings settings() const { return current; }
    // The spectrum over [startTime, stopTime] of a recording of `count` samples
    // at a rate of `sampleRate` with the given settings, to be run on any
    // thread; presenting it also stores the range and the settings. With the
    // recording's summaries, put together from them where they reach.
    std::unique_ptr<ViewComputation> computation(double sampleRate, uint64_t count,
                                                 double startTime, double stopTime,
                                                 const SpectrumSettings& settings,
                                                 std::shared_ptr<SummarySet> summaries = nullptr);
    // Remove the range's mean from I and Q in setTimeRange and refresh.
    void setRemoveDc(bool remove) { removeDcOffset = remove; }
    // The plot the spectrum is drawn in (dB/Hz against baseband hertz).
    CustomPlot* plotWidget() const { return plot; }
    // The Welch powers of the spectrum shown.
    const WelchResult& shownResult() const { return shown; }

    // As a kind of view of a session: it draws what `model` (a kind added to
    // the same session before it) computes, with the axis offset.
    void showModel(const SpectrumModel* model) { source = model; }
    bool outdated(const ViewSettings& computed, const ViewSettings& next) const override;
    std::unique_ptr<ViewComputation> computation(const ViewSettings& settings,
                                                 const RecordingFacts& recording) override;
    void present(const Presentation& presentation) override;

private:
    SpectrumSettings current;
    WelchResult shown;
    const SpectrumModel* source = nullptr;
    // The model's revision drawn last.
    uint64_t drawnRevision = 0;
    Recording* recording;
    CustomPlot* plot;
    double startTime = 0;
    double stopTime = 0;
    bool removeDcOffset = false;
};
