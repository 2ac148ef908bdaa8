// Tick steps, tick positions and label texts of the plot and spectrogram axes.

#include "views/AxisTicks.h"

#include "plotdata/PlotMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace {

// Steps within a decade, coarse to fine.
constexpr int mantissas[] = {5, 2, 1};
// Tick values are n * 10^e with an integer n; beyond 2^53 neighbouring n are no
// longer distinct doubles.
constexpr double exactIntegerLimit = 9007199254740992.0;
// Candidate steps looked at, coarse to fine; a few decades at most are ever needed.
constexpr int maxCandidates = 60;
constexpr size_t maxTickCount = 1000;
// Significant digits of the single label of a zero-extent axis.
constexpr int zeroExtentDigits = 6;
// Magnitudes outside this range, in the axis's unit, are written with an exponent.
constexpr double largestFixedMagnitude = 1e6;
constexpr double smallestFixedMagnitude = 1e-3;

// n * 10^e, correctly rounded for |e| <= 22.
double scaledValue(double n, int e)
{
    return e >= 0 ? n * std::pow(10.0, e) : n / std::pow(10.0, -e);
}

// floor(log10(x)) for a positive finite x, exact at powers of ten.
int decimalExponent(double x)
{
    int p = static_cast<int>(std::floor(std::log10(x)));
    if (scaledValue(1, p) > x)
        --p;
    else if (scaledValue(1, p + 1) <= x)
        ++p;
    return p;
}

int floorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Labels show value / 10^unitExponent, followed by `suffix` (an exponent, for
// plain numbers too large or small for fixed notation).
struct LabelFormat
{
    int unitExponent;
    QString unit;
    QString suffix;
};

QString unitName(AxisQuantity quantity, int unitExponent)
{
    if (quantity == AxisQuantity::Time) {
        switch (unitExponent) {
        case -9: return QStringLiteral("ns");
        case -6: return QStringLiteral("\u00b5s");
        case -3: return QStringLiteral("ms");
        default: return QStringLiteral("s");
        }
    }
    if (quantity == AxisQuantity::Frequency) {
        switch (unitExponent) {
        case 3: return QStringLiteral("kHz");
        case 6: return QStringLiteral("MHz");
        case 9: return QStringLiteral("GHz");
        default: return QStringLiteral("Hz");
        }
    }
    return QString();
}

// The unit is the largest one of the quantity that is not above the largest
// magnitude on the axis, so that labels keep at most three digits before the
// point. Magnitudes that would still need more than six digits there, or start
// below the third decimal, are written in the base unit with an exponent.
LabelFormat labelFormat(AxisQuantity quantity, double magnitude)
{
    const int e = magnitude > 0 && std::isfinite(magnitude) ? decimalExponent(magnitude) : 0;
    int u = 0;
    if (quantity == AxisQuantity::Time)
        u = std::clamp(3 * floorDiv(e, 3), -9, 0);
    else if (quantity == AxisQuantity::Frequency)
        u = std::clamp(3 * floorDiv(e, 3), 0, 9);
    const double inUnit = scaledValue(magnitude, -u);
    if (inUnit >= largestFixedMagnitude || (inUnit > 0 && inUnit < smallestFixedMagnitude))
        return {e, unitName(quantity, 0), QStringLiteral("e%1").arg(e)};
    return {u, unitName(quantity, u), QString()};
}

// n * 10^shift written out exactly: the digits of n, with a point -shift digits
// from the right when shift < 0 and shift zeros appended when shift > 0.
QString scaledIntegerText(int64_t n, int shift)
{
    QString digits = QString::number(n < 0 ? -n : n);
    if (shift > 0 && n != 0) {
        digits += QString(shift, QLatin1Char('0'));
    } else if (shift < 0) {
        const qsizetype decimals = -shift;
        if (digits.size() <= decimals)
            digits.prepend(QString(decimals - digits.size() + 1, QLatin1Char('0')));
        digits.insert(digits.size() - decimals, QLatin1Char('.'));
    }
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

// Label of the tick n * 10^e. All labels of one step carry the same number of
// decimals; zero in exponent form reads "0".
QString tickLabel(int64_t n, int e, const LabelFormat& format)
{
    if (n == 0 && !format.suffix.isEmpty())
        return QStringLiteral("0");
    return scaledIntegerText(n, e - format.unitExponent) + format.suffix;
}

// Label of a lone value: its leading significant digits.
QString valueLabel(double value, const LabelFormat& format)
{
    if (value == 0)
        return QStringLiteral("0");
    return QString::number(scaledValue(value, -format.unitExponent), 'g', zeroExtentDigits) +
           format.suffix;
}

// The ticks of one step with the extents their labels take along the axis.
struct Candidate
{
    std::vector<AxisTick> ticks;
    std::vector<int> widths;
};

class TickBuilder
{
public:
    TickBuilder(double low, double high, int length, int offset, AxisOrientation orientation,
                const LabelFormat& format, const LabelMetrics& metrics, int smallGap)
        : low(low), high(high), length(length), offset(offset), orientation(orientation),
          format(format), metrics(metrics), smallGap(smallGap)
    {
        // A range wider than the largest double is mapped in halves, exactly alike.
        scale = std::isfinite(high - low) ? 1.0 : 0.5;
        span = high * scale - low * scale;
    }

    int position(double v) const
    {
        if (orientation == AxisOrientation::Horizontal)
            return truncToInt((v * scale - low * scale) * length / span + offset);
        return truncToInt((high * scale - v * scale) / span * length + offset);
    }

    // Ticks at the multiples of mantissa * 10^e within the range, in order of
    // position; nullopt when they are too many or too close for any finer step to
    // keep its labels apart, or too finely spaced to be distinct.
    std::optional<Candidate> build(int mantissa, int e) const
    {
        const double step = scaledValue(mantissa, e);
        if (!std::isfinite(step) || step <= 0)
            return Candidate{};
        auto value = [&](double k) { return scaledValue(k * mantissa, e); };
        // A round value less than half a pixel beyond an end is that end's
        // tick (a curve whose last point stands a sample short of a whole second).
        const double slack = scale == 1.0 ? 0.5 * span / length : 0.0;
        const double lowEdge = low - slack;
        const double highEdge = high + slack;
        double kLow = std::ceil(lowEdge / step);
        double kHigh = std::floor(highEdge / step);
        if (!std::isfinite(kLow) || !std::isfinite(kHigh) ||
            std::max(std::fabs(kLow), std::fabs(kHigh)) * mantissa > exactIntegerLimit)
            return std::nullopt;
        // The divisions can round a multiple lying on an end of the range away.
        if (value(kLow - 1) >= lowEdge)
            kLow -= 1;
        if (value(kHigh + 1) <= highEdge)
            kHigh += 1;
        if (kHigh < kLow)
            return Candidate{};
        if (kHigh - kLow + 1 > static_cast<double>(maxTickCount))
            return std::nullopt;
        // Finer steps only bring ticks closer and labels no shorter: once one
        // label's extent and the small gap exceed the spacing, stop looking.
        const double spacing = step * scale / span * length;
        const int64_t firstN = static_cast<int64_t>(kLow) * mantissa;
        const int probe = orientation == AxisOrientation::Horizontal
                              ? metrics.width(tickLabel(firstN, e, format))
                              : metrics.height;
        if (kHigh > kLow && spacing < probe + smallGap)
            return std::nullopt;

        Candidate c;
        const bool vertical = orientation == AxisOrientation::Vertical;
        const int64_t first = static_cast<int64_t>(vertical ? kHigh : kLow);
        const int64_t last = static_cast<int64_t>(vertical ? kLow : kHigh);
        const int64_t direction = vertical ? -1 : 1;
        for (int64_t k = first;; k += direction) {
            const int64_t n = k * mantissa;
            const double v = scaledValue(static_cast<double>(n), e);
            if (v >= lowEdge && v <= highEdge) {
                AxisTick tick{v, std::clamp(position(v), offset, offset + length), tickLabel(n, e, format)};
                c.widths.push_back(metrics.width(tick.label));
                c.ticks.push_back(std::move(tick));
            }
            if (k == last)
                break;
        }
        return c;
    }

    // Whether neighbouring labels keep `gap` pixels between them.
    bool fits(const Candidate& c, int gap) const
    {
        for (size_t k = 1; k < c.ticks.size(); ++k) {
            const int distance = c.ticks[k].position - c.ticks[k - 1].position;
            if (2 * distance < extent(c, k - 1) + extent(c, k) + 2 * gap)
                return false;
        }
        return true;
    }

    bool withinWidth(const Candidate& c) const
    {
        return metrics.maxWidth <= 0 ||
               std::all_of(c.widths.begin(), c.widths.end(),
                           [&](int w) { return w <= metrics.maxWidth; });
    }

    // The first tick and every later one that keeps `gap` from the last one kept.
    Candidate thinned(const Candidate& c, int gap) const
    {
        Candidate kept;
        for (size_t k = 0; k < c.ticks.size(); ++k) {
            if (!kept.ticks.empty()) {
                const size_t j = kept.ticks.size() - 1;
                const int distance = c.ticks[k].position - kept.ticks[j].position;
                if (2 * distance < extent(kept, j) + extent(c, k) + 2 * gap)
                    continue;
            }
            kept.ticks.push_back(c.ticks[k]);
            kept.widths.push_back(c.widths[k]);
        }
        return kept;
    }

private:
    int extent(const Candidate& c, size_t k) const
    {
        return orientation == AxisOrientation::Horizontal ? c.widths[k] : metrics.height;
    }

    double low;
    double high;
    int length;
    int offset;
    AxisOrientation orientation;
    const LabelFormat& format;
    const LabelMetrics& metrics;
    int smallGap;
    double scale;
    double span;
};

} // namespace

AxisScale axisTicks(double low, double high, int length, int offset, AxisOrientation orientation,
                    AxisQuantity quantity, const LabelMetrics& metrics, double unitMagnitude)
{
    AxisScale scale;
    if (!std::isfinite(low) || !std::isfinite(high) || low > high || length <= 0) {
        scale.unit = unitName(quantity, 0);
        return scale;
    }
    const LabelFormat format = labelFormat(
        quantity, std::isfinite(unitMagnitude) ? std::fabs(unitMagnitude) : std::max(std::fabs(low), std::fabs(high)));
    scale.unit = format.unit;
    // Also a span below the smallest double, which halving leaves zero.
    if (!(0.5 * high - 0.5 * low > 0)) {
        scale.ticks.push_back({low, offset + length / 2, valueLabel(low, format)});
        return scale;
    }

    const bool horizontal = orientation == AxisOrientation::Horizontal;
    const int h = std::max(1, metrics.height);
    const int comfortableGap = 2 * h;
    const int smallGap = std::max(1, horizontal ? h / 2 : h / 4);
    const TickBuilder builder(low, high, length, offset, orientation, format, metrics, smallGap);
    // The coarsest candidate is at least the span: one tick or none.
    const int topExponent = decimalExponent(0.5 * high - 0.5 * low) + 1;
    std::optional<Candidate> comfortable, three, coarsest;
    for (int i = 0; i < maxCandidates; ++i) {
        const std::optional<Candidate> c = builder.build(mantissas[i % 3], topExponent - i / 3);
        if (!c)
            break;
        if (c->ticks.empty())
            continue;
        if (!coarsest)
            coarsest = c;
        const bool roomy = builder.withinWidth(*c);
        if (roomy && builder.fits(*c, comfortableGap))
            comfortable = c;
        if (!three && c->ticks.size() >= 3 && roomy && builder.fits(*c, smallGap))
            three = c;
    }
    if ((!comfortable || comfortable->ticks.size() < 3) && three)
        comfortable = three;
    if (comfortable)
        scale.ticks = std::move(comfortable->ticks);
    else if (coarsest)
        scale.ticks = builder.thinned(*coarsest, smallGap).ticks;
    return scale;
}

QString axisTitle(AxisQuantity quantity, const QString& unit, const QString& numberTitle)
{
    switch (quantity) {
    case AxisQuantity::Time:
        return QStringLiteral("Time (%1)").arg(unit);
    case AxisQuantity::Frequency:
        return QStringLiteral("Frequency (%1)").arg(unit);
    case AxisQuantity::Number:
        break;
    }
    return numberTitle;
}

QString quantityText(double value, AxisQuantity quantity, double resolution, double unitMagnitude)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    constexpr int mostDecimals = 12;
    const double step = std::isfinite(resolution) && resolution > 0 ? resolution : 0.0;
    const double magnitude = std::isfinite(unitMagnitude) && unitMagnitude != 0 ? std::fabs(unitMagnitude)
                             : value != 0                                       ? std::fabs(value)
                                                                                : step;
    const LabelFormat format = labelFormat(quantity, magnitude);
    QString text;
    if (!format.suffix.isEmpty()) {
        text = QString::number(value, 'g', zeroExtentDigits);
    } else {
        const double inUnit = scaledValue(value, -format.unitExponent);
        const double stepInUnit = scaledValue(step, -format.unitExponent);
        // A step a rounding below a power of ten (a span divided by the pixels that
        // show it) needs that power's decimals, not one more.
        constexpr double roundingAllowance = 1 + 1e-12;
        const int decimals = stepInUnit > 0
                                 ? std::clamp(-decimalExponent(stepInUnit * roundingAllowance), 0, mostDecimals)
                                 : 0;
        text = QString::number(inUnit, 'f', decimals);
        // "-0.0" reads as a sign the value does not have.
        if (text.startsWith(QLatin1Char('-')) && text.toDouble() == 0)
            text.remove(0, 1);
    }
    return format.unit.isEmpty() ? text : text + QLatin1Char(' ') + format.unit;
}
