#pragma once
// The spectrogram's colour scale: five stops from dark violet through blue and
// green to yellow.

#include <QRgb>
#include <QString>

#include <cstddef>

// Colour of v on the scale low ... high as an opaque RGB32 pixel. t = (v - low) /
// (high - low) is limited to 0 ... 1 (NaN counts as 1, the top colour); channels
// are interpolated linearly between the stops and truncated.
QRgb mapColorRgb(double v, double low, double high);

// out[k] = mapColorRgb(values[k], low, high) for k = 0 ... n - 1, four at a time
// where the processor allows (equal bit for bit).
void colorizeRange(const double* values, size_t n, double low, double high, QRgb* out);

// Bottom of the colour scale: trunc(top - rangeDb), saturated to the int range
// (NaN gives top - 40, the default range).
int scaleBottom(int top, double rangeDb);

// The colour bar's bottom label: bottom - top in whole dB, "-40 dB/Hz".
QString colorBarBottomLabel(int top, int bottom);
