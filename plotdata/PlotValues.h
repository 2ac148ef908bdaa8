#pragma once
// What a plot shows at a pointer position: the values of a curve in one pixel
// column, and the spectrogram cells under one pixel. Plain functions over the
// data the widgets hold.

#include <cstddef>
#include <optional>
#include <vector>

// The values of a curve drawn in a pixel column: the smallest and largest, equal
// when one sample falls in it. When no point falls in the column (a curve of
// fewer points than pixels), the value of the point nearest to it, and `nearest` set.
struct ColumnValues
{
    double low;
    double high;
    bool nearest;
};

// Points (x ascending) drawn over `width` pixels from xMin to xMax, point k in
// column trunc(width * (x[k] - xMin) / (xMax - xMin)), the last column taking
// xMax. Points whose y is not finite are left out; nothing for a column outside
// 0 ... width - 1 or a curve with no finite point.
std::optional<ColumnValues> curveColumnValues(const std::vector<double>& x,
                                              const std::vector<double>& y, double xMin,
                                              double xMax, int width, int column);

// The bins [begin, end), counted from the band's first bin, that pixel row u of
// a band of `bins` bins drawn over `rows` pixel rows shows, u = 0 at the band's
// low edge: with at least as many bins as rows, those whose centres fall in the
// row (so each bin is pooled into exactly one row); with fewer, the one bin whose
// row holds the pixel row's centre.
struct BinGroup
{
    size_t begin;
    size_t end;
};
BinGroup binsOfRow(size_t bins, size_t rows, size_t u);

// The held columns [columnBegin, columnEnd) that pixel column px of a plot
// `width` pixels wide shows (at least one), and the bins [binBegin, binEnd) that
// pixel row py of a plot `height` pixels high shows (binsOfRow), for bins
// firstBin ... lastBin drawn with lastBin at the top (firstBin when mirrored).
// Nothing outside the plot or the data.
struct SpectrogramCells
{
    size_t columnBegin;
    size_t columnEnd;
    int binBegin;
    int binEnd;
};
std::optional<SpectrogramCells> spectrogramCellsAt(int px, int py, int width, int height,
                                                   size_t columns, int firstBin, int lastBin,
                                                   bool mirrored);
