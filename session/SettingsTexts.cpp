// Reading each group's texts into settings with the fields' rules and messages.

#include "session/SettingsTexts.h"

#include "session/NumberText.h"

#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>

namespace {

// A dynamic range that shows anything: from 1 dB to far more than any recording holds.
constexpr double minRangeDb = 1;
constexpr double maxRangeDb = 300;
// More divisions than this would not show as separate ticks.
constexpr double maxCursorDivisions = 1000;

// The value `parse` reads from `text`, passed through `check`, which may throw a
// further reason; or nothing once "Invalid <what>: <reason>" has been given.
template <typename Check>
std::optional<double> read(const QString& text, double (*parse)(const QString&), const char* what,
                           const Refusal& refuse, Check check)
{
    try {
        const double value = parse(text);
        check(value);
        return value;
    } catch (const std::exception& error) {
        refuse(QStringLiteral("Invalid %1: %2").arg(QLatin1String(what), QString::fromUtf8(error.what())));
        return std::nullopt;
    }
}

std::optional<double> read(const QString& text, double (*parse)(const QString&), const char* what,
                           const Refusal& refuse)
{
    return read(text, parse, what, refuse, [](double) {});
}

// Fields with an upper bound read any number, so that one too large is refused
// with their range rather than as not finite.
void requirePositive(double v)
{
    if (!(v > 0))
        throw std::runtime_error("input shall be > 0");
}

} // namespace

std::optional<TimeRange> readTimeTexts(const QString& startText, const QString& stopText, double duration,
                                       const Refusal& refuse)
{
    // A start too large is refused below, with the duration it must stay under.
    const std::optional<double> start = read(startText, anyNumber, "start time", refuse, [](double t) {
        if (t < 0)
            throw std::runtime_error("input shall be >= 0");
    });
    if (!start)
        return std::nullopt;
    // A stop too large lies beyond the end, which means the end.
    std::optional<double> stop = read(stopText, anyNumber, "stop time", refuse, [duration](double t) {
        requirePositive(t);
        if (std::isinf(t) && std::isnan(duration))
            throw std::runtime_error("input shall be a finite number > 0");
    });
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

std::optional<int> readFftExponent(int exponent, const Refusal& refuse)
{
    if (exponent > mostFftExponent) {
        refuse(QStringLiteral("Invalid FFT size exponent: input shall be <= %1").arg(mostFftExponent));
        return std::nullopt;
    }
    if (exponent < fewestFftExponent) {
        refuse(QStringLiteral("Invalid FFT size exponent: input shall be >= %1").arg(fewestFftExponent));
        return std::nullopt;
    }
    return exponent;
}

std::optional<SpectrumValues> readSpectrumTexts(const SpectrumTexts& texts, const ValueRange& limits,
                                                const Refusal& refuse)
{
    const std::optional<int> exponent = readFftExponent(texts.exponent, refuse);
    if (!exponent)
        return std::nullopt;
    auto inBand = [&](double frequency) {
        if (!std::isfinite(frequency) || frequency < limits.low || frequency > limits.high)
            throw std::runtime_error(QStringLiteral("must lie between %1 and %2 Hz")
                                         .arg(exactNumber(limits.low), exactNumber(limits.high))
                                         .toStdString());
    };
    const std::optional<double> start = read(texts.startFrequency, anyNumber, "start frequency", refuse, inBand);
    if (!start)
        return std::nullopt;
    const std::optional<double> stop = read(texts.stopFrequency, anyNumber, "stop frequency", refuse, inBand);
    if (!stop)
        return std::nullopt;
    const std::optional<double> range = read(texts.range, anyNumber, "range", refuse, [](double db) {
        requirePositive(db);
        if (db < minRangeDb || db > maxRangeDb)
            throw std::runtime_error("must lie between 1 and 300 dB");
    });
    if (!range)
        return std::nullopt;
    std::optional<double> reference;
    const QString level = texts.referenceLevel.trimmed();
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
    SpectrumValues values;
    values.band = {*start, *stop};
    values.spectrogram = SpectrogramSettings{*exponent, texts.overlapPercent / 100.0, *range, texts.mirror,
                                             texts.colorMap, reference};
    return values;
}

std::optional<PowerCurveSettings> readPowerTexts(const PowerTexts& texts, const Refusal& refuse)
{
    const std::optional<double> fullScaleValue =
        read(texts.fullScaleValue, strictlyPositiveNumber, "full scale value", refuse);
    if (!fullScaleValue)
        return std::nullopt;
    const std::optional<double> fullScaleVoltage =
        read(texts.fullScaleVoltage, strictlyPositiveNumber, "full scale voltage", refuse);
    if (!fullScaleVoltage)
        return std::nullopt;
    const std::optional<double> inputImpedance =
        read(texts.inputImpedance, strictlyPositiveNumber, "input impedance", refuse);
    if (!inputImpedance)
        return std::nullopt;
    // Rounded half away from zero; it must stay a window of at least one sample
    // that a 32-bit integer holds.
    const std::optional<double> averageWindow =
        read(texts.averageWindow, anyNumber, "average window", refuse, [](double v) {
            requirePositive(v);
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
    settings.relativeToFullScale = texts.relativeToFullScale;
    return settings;
}

std::optional<int> readCursorDivisionsText(const QString& text, const Refusal& refuse)
{
    const std::optional<double> value =
        read(text, anyNumber, "cursor divisions", refuse, [](double v) {
            requirePositive(v);
            if (v != std::floor(v) || v > maxCursorDivisions)
                throw std::runtime_error("input shall be a whole number from 1 to 1000");
        });
    if (!value)
        return std::nullopt;
    return static_cast<int>(*value);
}
