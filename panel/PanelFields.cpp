// Reading the panel's groups from their fields, and writing applied values back.

#include "panel/PanelFields.h"

#include "panel/LineEdits.h"
#include "panel/PanelForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

// A dynamic range that shows anything: from 1 dB to far more than any recording holds.
constexpr double minRangeDb = 1;
constexpr double maxRangeDb = 300;
// More divisions than this would not show as separate ticks.
constexpr double maxCursorDivisions = 1000;

} // namespace

std::optional<TimeRange> readTimeFields(const PanelWidgets& form, double duration,
                                        const FieldReader::Refusal& refuse)
{
    const FieldReader fields(refuse);
    const std::optional<double> start = fields.read(form.startTimeEdit, "start time");
    if (!start)
        return std::nullopt;
    std::optional<double> stop = fields.read(form.stopTimeEdit, "stop time");
    if (!stop)
        return std::nullopt;
    if ((duration - *stop) / duration < 1e-5)
        stop = duration;
    if (*start >= *stop) {
        refuse(std::isnan(duration) ? QStringLiteral("Start time must be less than the stop time")
                                    : QStringLiteral("Start time must be less than the stop time and the "
                                                     "duration of the recording (%1 s)")
                                          .arg(exactNumber(duration)));
        return std::nullopt;
    }
    return TimeRange{*start, *stop};
}

std::optional<SpectrogramSettings> readSpectrumFields(const PanelWidgets& form, int exponent,
                                                      double minFrequency, double maxFrequency,
                                                      const FieldReader::Refusal& refuse)
{
    const FieldReader fields(refuse);
    auto inBand = [&](double frequency) {
        if (frequency < minFrequency || frequency > maxFrequency)
            throw std::runtime_error(QStringLiteral("must lie between %1 and %2 Hz")
                                         .arg(exactNumber(minFrequency), exactNumber(maxFrequency))
                                         .toStdString());
    };
    const std::optional<double> start = fields.read(form.startFrequencyEdit, "start frequency", inBand);
    if (!start)
        return std::nullopt;
    const std::optional<double> stop = fields.read(form.stopFrequencyEdit, "stop frequency", inBand);
    if (!stop)
        return std::nullopt;
    const std::optional<double> range = fields.read(form.rangeEdit, "range", [](double db) {
        if (db < minRangeDb || db > maxRangeDb)
            throw std::runtime_error("must lie between 1 and 300 dB");
    });
    if (!range)
        return std::nullopt;
    std::optional<double> reference;
    const QString level = form.referenceLevelEdit->text().trimmed();
    if (!level.isEmpty() && level.compare(QLatin1String("auto"), Qt::CaseInsensitive) != 0) {
        bool ok = false;
        reference = level.toDouble(&ok);
        if (!ok || !std::isfinite(*reference)) {
            refuse("Invalid reference level: input shall be a number of dB/Hz, or empty for Auto");
            return std::nullopt;
        }
    }
    if (*start >= *stop) {
        refuse("Start frequency must be less than the stop frequency");
        return std::nullopt;
    }
    return SpectrogramSettings{exponent, form.overlapSpinBox->value() / 100.0, *range,
                               *start, *stop, form.mirrorCheckBox->isChecked(),
                               form.colorMapComboBox->currentIndex(), reference};
}

std::optional<PowerCurveSettings> readPowerFields(const PanelWidgets& form, const FieldReader::Refusal& refuse)
{
    const FieldReader fields(refuse);
    const std::optional<double> fullScaleValue = fields.read(form.fullScaleValueEdit, "full scale value");
    if (!fullScaleValue)
        return std::nullopt;
    const std::optional<double> fullScaleVoltage = fields.read(form.fullScaleVoltageEdit, "full scale voltage");
    if (!fullScaleVoltage)
        return std::nullopt;
    const std::optional<double> inputImpedance = fields.read(form.inputImpedanceEdit, "input impedance");
    if (!inputImpedance)
        return std::nullopt;
    // Rounded half away from zero; it must stay a window of at least one sample
    // that a 32-bit integer holds.
    const std::optional<double> averageWindow = fields.read(form.averageWindowEdit, "average window", [](double v) {
        if (std::round(v) < 1)
            throw std::runtime_error("input shall be >= 0.5");
        if (std::round(v) > std::numeric_limits<int32_t>::max())
            throw std::runtime_error("input shall be <= 2147483647");
    });
    if (!averageWindow)
        return std::nullopt;
    PowerCurveSettings settings;
    settings.window = static_cast<uint32_t>(static_cast<int32_t>(std::round(*averageWindow)));
    settings.fullScaleValue = *fullScaleValue;
    settings.fullScaleVoltage = *fullScaleVoltage;
    settings.inputImpedance = *inputImpedance;
    settings.relativeToFullScale = form.powerUnitComboBox->currentIndex() == 1;
    return settings;
}

std::optional<int> readCursorDivisionsField(const PanelWidgets& form, const FieldReader::Refusal& refuse)
{
    const FieldReader fields(refuse);
    const std::optional<double> value = fields.read(form.cursorDivisionsEdit, "cursor divisions", [](double v) {
        if (v != std::floor(v) || v > maxCursorDivisions)
            throw std::runtime_error("input shall be a whole number from 1 to 1000");
    });
    if (!value)
        return std::nullopt;
    return static_cast<int>(*value);
}

void showSpectrumFields(const PanelWidgets& form, const QString& startFrequency, const QString& stopFrequency,
                        uint32_t fftSize, double overlap, double range, std::optional<double> referenceLevel)
{
    form.startFrequencyEdit->setText(startFrequency);
    form.stopFrequencyEdit->setText(stopFrequency);
    const QSignalBlocker quietExponent(form.fftExponentSpinBox);
    const QSignalBlocker quietOverlap(form.overlapSpinBox);
    form.fftExponentSpinBox->setValue(static_cast<int>(std::log2(double(fftSize))));
    form.overlapSpinBox->setValue(overlap * 100.0);
    form.rangeEdit->setText(exactNumber(range));
    form.referenceLevelEdit->setText(referenceLevel ? exactNumber(*referenceLevel) : QString());
}

void showPowerFields(const PanelWidgets& form, const PowerCurveSettings& power)
{
    form.averageWindowEdit->setText(QString::number(power.window));
    form.fullScaleValueEdit->setText(exactNumber(power.fullScaleValue));
    form.fullScaleVoltageEdit->setText(exactNumber(power.fullScaleVoltage));
    form.inputImpedanceEdit->setText(exactNumber(power.inputImpedance));
}
