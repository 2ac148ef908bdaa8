// Reading the panel's groups into settings, and writing settings back.

#include "panel/PanelFields.h"

#include "io/Recording.h"
#include "panel/LineEdits.h"
#include "panel/PanelForm.h"
#include "panel/PendingEdits.h"
#include "panel/RangeNavigation.h"
#include "session/NumberText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>

namespace {

// The text of a time field: the end of the recording as its last sample, any
// other time as the shortest plain decimal that reads back as it.
QString timeText(double seconds, const Recording& recording, bool stop)
{
    if (stop && recording.isLoaded() && seconds == durationOf(recording))
        return stopTimeText(recording.sampleCount(), static_cast<double>(recording.sampleRate()));
    return fixedNumber(seconds);
}

// Whole hertz as plain decimals, like every band a load or the mouse gives.
QString bandText(double hertz)
{
    return exactNumber(hertz);
}

} // namespace

PanelFields::PanelFields(const PanelWidgets& form, PendingEdits* pending) : form(form), pending(pending) {}

std::optional<TimeRange> PanelFields::readTime(double duration, const Refusal& refuse) const
{
    return readTimeTexts(form.startTimeEdit->text(), form.stopTimeEdit->text(), duration, refuse);
}

std::optional<SpectrumValues> PanelFields::readSpectrum(const ValueRange& limits, const Refusal& refuse) const
{
    SpectrumTexts texts;
    texts.exponent = form.fftExponentSpinBox->value();
    texts.overlapPercent = form.overlapSpinBox->value();
    texts.startFrequency = form.startFrequencyEdit->text();
    texts.stopFrequency = form.stopFrequencyEdit->text();
    texts.range = form.rangeEdit->text();
    texts.referenceLevel = form.referenceLevelEdit->text();
    texts.mirror = form.mirrorCheckBox->isChecked();
    texts.colorMap = form.colorMapComboBox->currentIndex();
    return readSpectrumTexts(texts, limits, refuse);
}

std::optional<PowerCurveSettings> PanelFields::readPower(const Refusal& refuse) const
{
    PowerTexts texts;
    texts.averageWindow = form.averageWindowEdit->text();
    texts.fullScaleValue = form.fullScaleValueEdit->text();
    texts.fullScaleVoltage = form.fullScaleVoltageEdit->text();
    texts.inputImpedance = form.inputImpedanceEdit->text();
    texts.relativeToFullScale = form.powerUnitComboBox->currentIndex() == 1;
    return readPowerTexts(texts, refuse);
}

std::optional<int> PanelFields::readCursorDivisions(const Refusal& refuse) const
{
    return readCursorDivisionsText(form.cursorDivisionsEdit->text(), refuse);
}

void PanelFields::show(const ViewSettings& shown, const ViewSettings& before, const Recording& recording)
{
    write(shown, recording, &before);
}

void PanelFields::showAll(const ViewSettings& shown, const Recording& recording)
{
    write(shown, recording, nullptr);
}

void PanelFields::write(const ViewSettings& s, const Recording& recording, const ViewSettings* before)
{
    // A field is written unless it holds an edit of the user's not applied
    // yet that the new settings leave as it was.
    auto keeps = [&](QWidget* field, bool same) { return pending->isPending(field) && (!before || same); };
    auto text = [&](QLineEdit* field, const QString& value, bool same) {
        if (keeps(field, same))
            return;
        field->setText(value);
        pending->unmark(field);
    };
    const ViewSettings& b = before ? *before : s;
    // The range and band are the recording's: none before one is loaded.
    if (recording.isLoaded()) {
        text(form.startTimeEdit, timeText(s.range.start, recording, false), s.range.start == b.range.start);
        text(form.stopTimeEdit, timeText(s.range.stop, recording, true), s.range.stop == b.range.stop);
        text(form.startFrequencyEdit, bandText(s.band.low), s.band.low == b.band.low);
        text(form.stopFrequencyEdit, bandText(s.band.high), s.band.high == b.band.high);
    }
    text(form.rangeEdit, exactNumber(s.spectrogram.range), s.spectrogram.range == b.spectrogram.range);
    text(form.referenceLevelEdit, s.spectrogram.referenceLevel ? exactNumber(*s.spectrogram.referenceLevel) : QString(),
         s.spectrogram.referenceLevel == b.spectrogram.referenceLevel);
    if (!keeps(form.fftExponentSpinBox, s.spectrogram.exponent == b.spectrogram.exponent)) {
        const QSignalBlocker quiet(form.fftExponentSpinBox);
        form.fftExponentSpinBox->setValue(s.spectrogram.exponent);
        pending->unmark(form.fftExponentSpinBox);
    }
    form.fftSizeLabel->setText(QString::number(s.fftSize()));
    if (!keeps(form.overlapSpinBox, s.spectrogram.overlap == b.spectrogram.overlap)) {
        const QSignalBlocker quiet(form.overlapSpinBox);
        form.overlapSpinBox->setValue(s.spectrogram.overlap * 100.0);
        pending->unmark(form.overlapSpinBox);
    }
    const PowerCurveSettings& p = s.power;
    text(form.averageWindowEdit, QString::number(p.window), p.window == b.power.window);
    text(form.fullScaleValueEdit, exactNumber(p.fullScaleValue), p.fullScaleValue == b.power.fullScaleValue);
    text(form.fullScaleVoltageEdit, exactNumber(p.fullScaleVoltage), p.fullScaleVoltage == b.power.fullScaleVoltage);
    text(form.inputImpedanceEdit, exactNumber(p.inputImpedance), p.inputImpedance == b.power.inputImpedance);
    // The divisions are read when their edit ends: written only when they change.
    if (!before || s.display.cursorDivisions != b.display.cursorDivisions)
        form.cursorDivisionsEdit->setText(QString::number(s.display.cursorDivisions));
    // The squelch is read when its edit ends, as the divisions.
    if (form.squelchEdit && (!before || s.display.squelchDb != b.display.squelchDb))
        form.squelchEdit->setText(s.display.squelchDb ? exactNumber(*s.display.squelchDb) : QString());
    // Switches take effect at once: they always say what is shown.
    const std::pair<QCheckBox*, bool> boxes[] = {
        {form.mirrorCheckBox, s.spectrogram.mirror},
        {form.bandPowerCheckBox, s.bandPower},
        {form.showPowerViewCheckBox, s.display.showPower},
        {form.showAmplitudeViewCheckBox, s.display.showAmplitude},
        {form.removeDcCheckBox, s.removeDc},
        {form.showAnnotationsCheckBox, s.display.showAnnotations},
        {form.absoluteFrequencyCheckBox, s.display.absoluteFrequency},
        {form.showTraceViewCheckBox, s.display.showTrace},
    };
    for (const auto& [box, checked] : boxes) {
        const QSignalBlocker quiet(box);
        box->setChecked(checked);
    }
    const std::pair<QComboBox*, int> choices[] = {
        {form.colorMapComboBox, s.spectrogram.colorMap},
        {form.powerUnitComboBox, p.relativeToFullScale ? 1 : 0},
        {form.traceKindComboBox, s.display.traceKind},
    };
    for (const auto& [box, index] : choices) {
        if (!box)
            continue;
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(index);
    }
}
