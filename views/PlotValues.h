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

// The bins [begin, end) that image row group g of `groups` pools, g = 0 at
// firstBin's side: firstBin + floor(g * bins / groups) up to that of g + 1.
struct BinGroup
{
    int begin;
    int end;
};
BinGroup spectrogramBinGroup(int firstBin, int lastBin, size_t groups, size_t g);

// The held columns [columnBegin, columnEnd) that pixel column px of a plot
// `width` pixels wide shows (at least one), and the bins [binBegin, binEnd) that
// pixel row py of a plot `height` pixels high shows, for bins firstBin ...
// lastBin drawn with lastBin at the top (firstBin when mirrored): one bin while
// the bins fit the rows, else the group spectrogramBinGroup pools into the row.
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
