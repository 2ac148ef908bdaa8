// Value-to-pixel maps of the plot axes.

#include "plotdata/AxisMap.h"

#include <cmath>

bool AxisMap::valid() const
{
    return std::isfinite(low) && std::isfinite(high) && std::isfinite(high - low) && high > low
           && length > 0;
}

double AxisMap::valueAt(double pixel) const
{
    const double fraction = (pixel - offset) / length;
    return growsWithPixels ? low + fraction * (high - low) : high - fraction * (high - low);
}

double AxisMap::pixelAt(double value) const
{
    const double fraction =
        growsWithPixels ? (value - low) / (high - low) : (high - value) / (high - low);
    return offset + fraction * length;
}

double AxisMap::valuePerPixel() const
{
    return (high - low) / length;
}

AxisMap horizontalAxisMap(double low, double high, int offset, int length)
{
    return {low, high, offset, length, true};
}

AxisMap verticalAxisMap(double low, double high, int offset, int length, bool mirrored)
{
    return {low, high, offset, length, mirrored};
}

AxisMap AxisMap::draggedBy(int pixels) const
{
    AxisMap dragged = *this;
    const double shift = pixels * (high - low) / length;
    if (pixels == 0 || length <= 0)
        return dragged;
    dragged.low = growsWithPixels ? low - shift : low + shift;
    dragged.high = growsWithPixels ? high - shift : high + shift;
    return dragged;
}
