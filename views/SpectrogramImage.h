#pragma once
// The spectrogram view's computations: frequency band edges to FFT bins, and
// the colour image of the matrix columns over a band of bins.

#include "views/ColorMap.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <vector>

// A band edge: the bin chosen for it (by the spectrum's rule, bandStartPosition
// and bandStopPosition) and the outer edge of that bin's row in Hz. Bin b stands for
// (b - N/2) * fs / N and its row covers half a bin either side, so the start
// edge is (b - N/2 - 1/2) * fs / N and the stop edge (b - N/2 + 1/2) * fs / N.
struct BandEdge
{
    int bin;
    double frequency;
};
BandEdge startBandEdge(double fs, uint32_t N, double hertz);
BandEdge stopBandEdge(double fs, uint32_t N, double hertz);

// Largest colour image the view builds: beyond it the time columns are merged.
constexpr size_t spectrogramImageBudget = size_t(256) << 20;

// The painter scales images in 16.16 fixed point: no image side it is handed may
// exceed this.
constexpr int largestPaintedImageSide = 65535;

// Image columns for `columns` time columns drawn into a plot `plotWidth` pixels
// wide: all of them while there are at most twice as many as pixels (the painter
// scales them), otherwise exactly one per pixel, each pooling its share of the
// time columns by maximum so that no burst is lost; never more than
// largestPaintedImageSide.
size_t spectrogramImageWidth(size_t columns, int plotWidth);

// Image rows for a plot `plotHeight` pixels high: one per pixel row (within
// 1 ... largestPaintedImageSide), so that the painter never scales the bins.
size_t spectrogramImageHeight(int plotHeight);

// The colour image of bins firstBin ... lastBin of the given columns (each a
// pointer to its values, indexed by bin), coloured on the scale low ... high.
// One image column per matrix column, earliest left; row 0 holds lastBin, or
// firstBin when `mirrored`. When cols x rows RGB32 pixels would exceed
// `byteBudget`, neighbouring columns are merged, each image column holding the
// per-bin maximum (NaN counting as the largest) of the columns it stands for, so
// that no short burst disappears. With `rows` set (not 0), the image has that
// many rows, row u from the bottom showing the bins binsOfRow gives it: more
// bins than rows are pooled the same way, fewer are repeated. A null image when
// there is nothing to show. Coloured with the map `colors`.
QImage spectrogramImage(const std::vector<const double*>& columns, int firstBin, int lastBin,
                        double low, double high, bool mirrored,
                        size_t byteBudget = spectrogramImageBudget);
// The same, written into `reuse` instead of fresh storage when it already has
// the image's size and format and shares its pixels with no other image; it is
// then moved into the result (and left null), otherwise left untouched. At most
// `maxColumns` image columns are made, merged as for the budget.
QImage spectrogramImage(const std::vector<const double*>& columns, int firstBin, int lastBin,
                        double low, double high, bool mirrored, size_t byteBudget,
                        QImage& reuse, size_t maxColumns = SIZE_MAX, size_t rows = 0,
                        ColorMapKind colors = ColorMapKind::Viridis);
