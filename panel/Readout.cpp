// Readout texts of the pointer and the cursors.

#include "panel/Readout.h"

#include "views/AxisTicks.h"
#include "views/PlotWidget.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString separator = QStringLiteral("   ");

// Six significant digits of a rate or a duration that is not tied to a sample.
double sixDigits(double value)
{
    return std::fabs(value) * 1e-5;
}

QString number(double value, int decimals)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    return decimals < 0 ? QString::number(value, 'g', 6) : QString::number(value, 'f', decimals);
}

// `timeUnit`: the magnitude whose unit the time is written in.
QString cursorText(const QString& name, const CursorPosition& cursor, double fs, double offset,
                   double frequencyResolution, double timeUnit)
{
    QStringList parts;
    if (cursor.sample)
        parts << QStringLiteral("t = %1 (sample %2)")
                     .arg(quantityText(static_cast<double>(*cursor.sample) / fs, AxisQuantity::Time,
                                       1.0 / fs, timeUnit))
                     .arg(*cursor.sample);
    if (cursor.frequency)
        parts << frequencyReadout(*cursor.frequency + offset, frequencyResolution);
    return name + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

} // namespace

QString timeReadout(double seconds, double resolution)
{
    return QStringLiteral("t = ") + quantityText(seconds, AxisQuantity::Time, resolution);
}

QString frequencyReadout(double hertz, double resolution)
{
    return QStringLiteral("f = ") + quantityText(hertz, AxisQuantity::Frequency, resolution);
}

QString valueReadout(const ColumnValues& values, const QString& name, const QString& unit,
                     int decimals)
{
    QString text = name.isEmpty() ? QString() : name + QStringLiteral(" = ");
    text += number(values.low, decimals);
    if (values.high != values.low)
        text += QStringLiteral(" \u2026 ") + number(values.high, decimals);
    return unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}

QString cursorReadout(const std::optional<CursorPosition>& a,
                      const std::optional<CursorPosition>& b, double fs, int divisions,
                      double frequencyOffset, double frequencyResolution)
{
    // Both times in the unit of the larger one.
    double timeUnit = std::numeric_limits<double>::quiet_NaN();
    for (const std::optional<CursorPosition>* cursor : {&a, &b})
        if (*cursor && (*cursor)->sample) {
            const double t = static_cast<double>(*(*cursor)->sample) / fs;
            timeUnit = std::isfinite(timeUnit) ? std::max(timeUnit, t) : t;
        }
    QStringList cursors;
    if (a)
        cursors << cursorText(QStringLiteral("A"), *a, fs, frequencyOffset, frequencyResolution, timeUnit);
    if (b)
        cursors << cursorText(QStringLiteral("B"), *b, fs, frequencyOffset, frequencyResolution, timeUnit);
    // What the two measure, on a line of its own: the cursors' line fills the width.
    QStringList between;
    if (a && b && a->sample && b->sample) {
        const double dt = (static_cast<double>(*b->sample) - static_cast<double>(*a->sample)) / fs;
        QString text =
            QStringLiteral("\u0394t = ") + quantityText(dt, AxisQuantity::Time, 1.0 / fs);
        if (dt != 0) {
            const double rate = 1.0 / std::fabs(dt);
            text += QStringLiteral(", 1/\u0394t = ")
                    + quantityText(rate, AxisQuantity::Frequency, sixDigits(rate));
        }
        between << text;
    }
    if (a && b && a->frequency && b->frequency)
        between << QStringLiteral("\u0394f = ")
                       + quantityText(*b->frequency - *a->frequency, AxisQuantity::Frequency,
                                      frequencyResolution)
                       + QStringLiteral(", centre = ")
                       + quantityText((*a->frequency + *b->frequency) / 2 + frequencyOffset,
                                      AxisQuantity::Frequency, frequencyResolution);
    if (a && b && a->sample && b->sample && divisions > 1 && *b->sample != *a->sample) {
        const double period =
            std::fabs(static_cast<double>(*b->sample) - static_cast<double>(*a->sample)) / fs / divisions;
        between << QStringLiteral("1/%1 of \u0394t: %2, %3")
                       .arg(divisions)
                       .arg(quantityText(period, AxisQuantity::Time, sixDigits(period)),
                            quantityText(1.0 / period, AxisQuantity::Frequency, sixDigits(1.0 / period)));
    }
    const QString text = cursors.join(separator);
    return between.isEmpty() ? text : text + QLatin1Char('\n') + between.join(separator);
}

QString pointerReadout(const PlotWidget& plot, const QPoint& point, double frequencyOffset)
{
    const AxisMap x = plot.horizontalMap();
    if (!plot.plotRect().contains(point) || !x.valid())
        return {};
    QStringList parts;
    // Frequencies are read at the pixel's centre, where the bins it shows lie.
    if (plot.horizontalQuantity() == AxisQuantity::Time)
        parts << timeReadout(x.valueAt(point.x()), x.valuePerPixel());
    else
        parts << frequencyReadout(x.valueAt(point.x() + 0.5) + frequencyOffset, x.valuePerPixel());
    if (const std::optional<AxisMap> band = plot.bandMap(); band && plot.bandIsVertical() && band->valid())
        parts << frequencyReadout(band->valueAt(point.y() + 0.5) + frequencyOffset,
                                  band->valuePerPixel());
    if (const std::optional<ColumnValues> values = plot.valuesAt(point)) {
        const ValueDescription& description = plot.valueDescription();
        parts << valueReadout(*values, description.name, description.unit, description.decimals);
    }
    return parts.join(separator);
}
