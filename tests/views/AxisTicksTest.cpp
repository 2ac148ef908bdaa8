// Axis ticks and their labels: exact texts, units and titles for known ranges, and
// for a table of awkward ranges measured with the real font, labels that tell
// their tick's value, never overlap, never repeat and number at least three.

#include "views/AxisTicks.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

constexpr AxisOrientation across = AxisOrientation::Horizontal;
constexpr AxisOrientation upright = AxisOrientation::Vertical;

// A font of 7-pixel characters, 15 pixels high: texts independent of the machine.
const LabelMetrics fixedPitch{[](const QString& s) { return 7 * static_cast<int>(s.size()); }, 15,
                              76};

LabelMetrics applicationFont(int maxWidth)
{
    const QFontMetrics metrics(QApplication::font());
    return {[metrics](const QString& s) { return metrics.horizontalAdvance(s); }, metrics.height(),
            maxWidth};
}

// "label@position ..."
std::string ticksText(const AxisScale& scale)
{
    QStringList texts;
    for (const AxisTick& t : scale.ticks)
        texts << t.label + '@' + QString::number(t.position);
    return texts.join(' ').toStdString();
}

const QHash<QString, double> unitFactors = {{"ns", 1e-9}, {"\u00b5s", 1e-6}, {"ms", 1e-3},
                                            {"s", 1},     {"Hz", 1},          {"kHz", 1e3},
                                            {"MHz", 1e6}, {"GHz", 1e9},       {"", 1}};

} // namespace

TEST(AxisTicks, LabelTextsUnitsAndTitles)
{
    struct Row
    {
        const char* name;
        double low, high;
        int length, offset;
        AxisOrientation orientation;
        AxisQuantity quantity;
        const char* ticks;
        const char* title;
    } rows[] = {
        {"0 ... 1 s on a 300-pixel plot", 0, 1, 110, 110, across, AxisQuantity::Time,
         "0.0@110 0.5@165 1.0@220", "Time (s)"},
        {"I from -1 to 1 on a 115-pixel plot", -1, 1, 115, 15, upright, AxisQuantity::Number,
         "1@15 0@72 -1@130", "I amplitude"},
        {"power -93.4 ... -20.1", -93.4, -20.1, 115, 15, upright, AxisQuantity::Number,
         "-20@15 -40@46 -60@77 -80@108", "I amplitude"},
        {"a curve's last sample a sample short of 4 s", 0, 799999 / 200000.0, 786, 110, across,
         AxisQuantity::Time, "0.0@110 0.5@208 1.0@306 1.5@404 2.0@503 2.5@601 3.0@699 3.5@797 4.0@896",
         "Time (s)"},
        {"+-500 kHz on the spectrogram", -500000, 500000, 180, 20, upright,
         AxisQuantity::Frequency, "500@20 0@110 -500@200", "Frequency (kHz)"},
        {"0.5 ms steps", 0.0005, 0.002, 310, 110, across, AxisQuantity::Time,
         "0.5@110 1.0@213 1.5@316 2.0@420", "Time (ms)"},
        {"tiny power range", -30.0001, -30.0, 115, 15, upright, AxisQuantity::Number,
         "-30.00000@15 -30.00005@72 -30.00010@130", "I amplitude"},
        {"small amplitudes in exponent form", -3e-7, 3e-7, 180, 20, upright,
         AxisQuantity::Number, "2e-7@50 0@110 -2e-7@170", "I amplitude"},
        {"a year in seconds", 0, 3.2e7, 310, 110, across, AxisQuantity::Time,
         "0@110 1e7@206 2e7@303 3e7@400", "Time (s)"},
        {"zero extent", 2, 2, 310, 110, across, AxisQuantity::Time, "2@265", "Time (s)"},
        {"zero extent at zero", 0, 0, 180, 20, upright, AxisQuantity::Frequency, "0@110",
         "Frequency (Hz)"},
        {"not a number", notANumber, 1, 310, 110, across, AxisQuantity::Time, "", "Time (s)"},
        {"inverted", 2, 1, 310, 110, across, AxisQuantity::Frequency, "", "Frequency (Hz)"},
    };
    for (const Row& r : rows) {
        const AxisScale scale =
            axisTicks(r.low, r.high, r.length, r.offset, r.orientation, r.quantity, fixedPitch);
        EXPECT_EQ(ticksText(scale), r.ticks) << r.name;
        EXPECT_EQ(axisTitle(r.quantity, scale.unit, "I amplitude").toStdString(), r.title)
            << r.name;
    }
}

TEST(AxisTicks, AwkwardRangesGiveDistinctReadableLabels)
{
    const double deep = 87.654321; // a 1 ns view deep into a 100 s recording
    struct Row
    {
        const char* name;
        double low, high;
        int length;
        AxisOrientation orientation;
        AxisQuantity quantity;
        const char* unit;
        size_t minTicks;
    } rows[] = {
        {"1 ns at 87 s", deep, deep + 1e-9, 610, across, AxisQuantity::Time, "s", 3},
        {"picoseconds", 0, 2e-12, 310, across, AxisQuantity::Time, "ns", 3},
        {"days", 0, 3e5, 310, across, AxisQuantity::Time, "s", 3},
        {"negative microseconds", -250e-6, -20e-6, 310, across, AxisQuantity::Time, "\u00b5s", 3},
        {"negative, without zero", -0.02, -0.005, 610, across, AxisQuantity::Time, "ms", 3},
        {"spectrum at 1 MS/s, 800 pixels", -500000, 496093.75, 610, across,
         AxisQuantity::Frequency, "kHz", 3},
        {"spectrogram band at 1 MS/s", -500000, 500000, 180, upright, AxisQuantity::Frequency,
         "kHz", 3},
        {"1 kHz around 2.4 GHz", 2.4e9 + 250, 2.4e9 + 1250, 180, upright,
         AxisQuantity::Frequency, "GHz", 3},
        {"tiny power range", -30.0001, -30.0, 115, upright, AxisQuantity::Number, "", 3},
        {"power over 70 dB", -93.4, -20.1, 115, upright, AxisQuantity::Number, "", 3},
        {"huge amplitudes", -1.7e308, 1.7e308, 115, upright, AxisQuantity::Number, "", 3},
        {"huge, across", 0, 1e300, 310, across, AxisQuantity::Number, "", 3},
        {"tiny amplitudes", 1e-300, 5e-300, 185, upright, AxisQuantity::Number, "", 3},
        {"one ulp at 4e19", 4e19, std::nextafter(4e19, infinity), 185, upright,
         AxisQuantity::Number, "", 0},
        {"no room", 0, 1, 12, across, AxisQuantity::Time, "s", 0},
        {"smallest span", 0, 5e-324, 310, across, AxisQuantity::Number, "", 0},
    };
    for (const Row& r : rows) {
        const int offset = 20;
        const LabelMetrics metrics = applicationFont(r.orientation == upright ? 76 : 0);
        const AxisScale scale =
            axisTicks(r.low, r.high, r.length, offset, r.orientation, r.quantity, metrics);
        const auto& ticks = scale.ticks;
        EXPECT_EQ(scale.unit.toStdString(), r.unit) << r.name;
        EXPECT_GE(ticks.size(), r.minTicks) << r.name << ": " << ticksText(scale);
        QSet<QString> seen;
        for (size_t k = 0; k < ticks.size(); ++k) {
            const AxisTick& t = ticks[k];
            const std::string text = r.name + (": " + t.label.toStdString());
            EXPECT_FALSE(seen.contains(t.label)) << text << " repeated";
            seen.insert(t.label);
            // Within the range, or less than half a pixel beyond an end.
            const double slack = std::isfinite(r.high - r.low) ? 0.5 * (r.high - r.low) / r.length : 0.0;
            EXPECT_TRUE(t.value >= r.low - slack && t.value <= r.high + slack) << text;
            EXPECT_TRUE(t.position >= offset && t.position <= offset + r.length) << text;
            // The label reads as its value, closer than a thousandth of the span.
            const double read = t.label.toDouble() * unitFactors.value(scale.unit);
            EXPECT_LE(std::fabs(read - t.value), std::fabs(r.high / 1000 - r.low / 1000)) << text;
            if (r.orientation == upright && r.minTicks > 0) {
                EXPECT_LE(metrics.width(t.label), metrics.maxWidth) << text;
            }
            if (k == 0)
                continue;
            const AxisTick& previous = ticks[k - 1];
            EXPECT_EQ(t.value > previous.value, r.orientation == across) << text;
            // The label boxes as drawn, centred on their ticks, keep apart.
            const int room = r.orientation == across
                                 ? (metrics.width(previous.label) + metrics.width(t.label) + 1) / 2
                                 : metrics.height;
            EXPECT_GT(t.position - previous.position, room) << text;
        }
    }
}

// Stacked time plots whose data end a little apart (a spectrogram's last column
// before the range's end, a power curve at it) read in the unit of the range they
// show, not each in its own.
TEST(AxisTicks, OneUnitForEveryTimePlotOfARange)
{
    struct Row
    {
        double low, high, range;
        const char* unit;
    } rows[] = {
        {0.0, 0.9987, 1.0, "s"}, {0.0, 1.0, 1.0, "s"}, {0.5, 0.9987, 1.0, "s"},
        {0.0, 0.00099, 0.001, "ms"}, {0.0, 0.0009, 0.00099, "\u00b5s"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.high);
        const AxisScale scale = axisTicks(row.low, row.high, 800, 0, across, AxisQuantity::Time, fixedPitch, row.range);
        EXPECT_EQ(scale.unit, row.unit);
        for (const AxisTick& tick : scale.ticks)
            EXPECT_NEAR(tick.label.toDouble() * unitFactors[scale.unit], tick.value, 1e-12);
    }
    // Without the range each plot chose its own: the difference this removes.
    EXPECT_EQ(axisTicks(0.0, 0.9987, 800, 0, across, AxisQuantity::Time, fixedPitch).unit, "ms");
}
