// Colour scale of the spectrogram.

#include "views/ColorMap.h"

#include "views/PlotMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct Stop
{
    int red;
    int green;
    int blue;
};

// At positions 0, 0.25, 0.5, 0.75 and 1.
constexpr Stop stops[5] = {
    {68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};

} // namespace

QRgb mapColorRgb(double v, double low, double high)
{
    const double t = (v - low) / (high - low);
    double d = std::min(1.0, t); // NaN gives 1.0
    d = std::max(0.0, d);
    // The segment whose stops enclose d. At a stop shared by two segments both
    // give that stop's colour exactly, so the upper one may be taken.
    const int i = std::min(3, static_cast<int>(d * 4.0));
    const double f = (d - i * 0.25) / 0.25;
    const Stop& a = stops[i];
    const Stop& b = stops[i + 1];
    const int red = static_cast<int>((b.red - a.red) * f + a.red);
    const int green = static_cast<int>((b.green - a.green) * f + a.green);
    const int blue = static_cast<int>((b.blue - a.blue) * f + a.blue);
    return qRgb(red, green, blue);
}

int scaleBottom(int top, double rangeDb)
{
    const double bottom = static_cast<double>(top) - rangeDb;
    if (std::isnan(bottom))
        return truncToInt(static_cast<double>(top) - 40.0);
    return truncToInt(bottom);
}

QString colorBarBottomLabel(int top, int bottom)
{
    const double difference = static_cast<double>(static_cast<int64_t>(bottom) - top);
    return QString::number(difference, 'f', 0) + " dB/Hz";
}
