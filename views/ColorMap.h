#pragma once
// The spectrogram's colour scales, each five stops interpolated linearly: viridis
// (dark violet through blue and green to yellow, the default), inferno, magma
// and grey.

#include <QRgb>
#include <QString>

#include <cstddef>

enum class ColorMapKind
{
    Viridis,
    Inferno,
    Magma,
    Grey,
};

// Colour of v on the scale low ... high as an opaque RGB32 pixel. t = (v - low) /
// (high - low) is limited to 0 ... 1 (NaN counts as 1, the top colour); channels
// are interpolated linearly between the stops and truncated. Viridis unless told.
QRgb mapColorRgb(double v, double low, double high);
QRgb mapColorRgb(double v, double low, double high, ColorMapKind kind);

// out[k] = mapColorRgb(values[k], low, high, kind) for k = 0 ... n - 1, four at a
// time where the processor allows (equal bit for bit).
void colorizeRange(const double* values, size_t n, double low, double high, QRgb* out,
                   ColorMapKind kind = ColorMapKind::Viridis);

// Bottom of the colour scale: trunc(top - rangeDb), saturated to the int range
// (NaN gives top - 40, the default range).
int scaleBottom(int top, double rangeDb);

// A colour bar label: the matrix value (dB, as held: the density less the window's
// correction) plus correctionDb, in absolute dB/Hz with one decimal, as the readout
// gives the density of a cell ("-63.2 dB/Hz"); the correction is left out when it
// is not finite.
QString colorBarLabel(double matrixValue, double correctionDb);
