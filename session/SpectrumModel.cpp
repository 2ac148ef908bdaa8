// The spectrum of the range shown, its band's curve and measurements.

#include "session/SpectrumModel.h"

#include "session/SummaryBuilds.h"

SpectrumModel::SpectrumModel(QObject* parent) : QObject(parent) {}

bool SpectrumModel::outdated(const ViewSettings& computed, const ViewSettings& next) const
{
    return !(computed.range == next.range) || computed.fftSize() != next.fftSize()
           || computed.spectrogram.overlap != next.spectrogram.overlap || computed.removeDc != next.removeDc;
}

std::unique_ptr<ViewComputation> SpectrumModel::computation(const ViewSettings& settings,
                                                            const RecordingFacts& recording)
{
    const StreamRange range =
        streamRangeOf(recording.sampleRate, recording.sampleCount, settings.range.start, settings.range.stop);
    auto pass = std::make_unique<SpectrumPass>(range, recording.sampleRate,
                                               settings.spectrum(), recording.summaries);
    return presentedBy<SpectrumPass>(this, std::move(pass), [this](SpectrumPass& done) {
        welch = done.result();
        fresh = true;
    });
}

void SpectrumModel::present(const Presentation& presentation)
{
    const ViewSettings& settings = presentation.settings;
    const PowerCalibration calibration{settings.power.fullScaleValue, settings.power.fullScaleVoltage,
                                       settings.power.inputImpedance};
    const bool sameCalibration = calibration.fullScaleValue == shownCalibration.fullScaleValue
                                 && calibration.fullScaleVoltage == shownCalibration.fullScaleVoltage
                                 && calibration.inputImpedance == shownCalibration.inputImpedance;
    if (!fresh && settings.band == shownBand && sameCalibration && settings.occupiedPercent == shownPercent)
        return;
    fresh = false;
    shownBand = settings.band;
    shownCalibration = calibration;
    shownPercent = settings.occupiedPercent;
    if (welch.power.empty()) {
        bandCurve = {};
        measured.reset();
    } else {
        bandCurve = spectrumCurve(welch.power, welch.sampleRate, shownBand.low,
                                  shownBand.high);
        measured = measureBand({welch.power, welch.sampleRate, welch.segmentLength, welch.effectiveSegments},
                               shownBand.low, shownBand.high, calibration, shownPercent);
    }
    ++shownRevision;
}

void SpectrumModel::addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const
{
    needs.spectrum = settings.spectrum();
}
