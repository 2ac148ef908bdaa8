// Curve and spectrogram values under a pointer.

#include "plotdata/PlotValues.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Pixel column of x as the curve raster places it, the right end in the last column.
int columnOf(double x, double xMin, double xMax, int width)
{
    const double p = width * ((x - xMin) / (xMax - xMin));
    if (!(p >= 0))
        return -1;
    if (p >= width)
        return p > width ? width : width - 1;
    return static_cast<int>(p);
}

} // namespace

std::optional<ColumnValues> curveColumnValues(const std::vector<double>& x,
                                              const std::vector<double>& y, double xMin,
                                              double xMax, int width, int column)
{
    const size_t n = std::min(x.size(), y.size());
    if (n == 0 || width <= 0 || column < 0 || column >= width || !(xMax > xMin)
        || !std::isfinite(xMax - xMin))
        return std::nullopt;
    // The first point at or after the column's left edge.
    const double left = xMin + (xMax - xMin) * column / width;
    const auto end = x.begin() + static_cast<std::ptrdiff_t>(n);
    size_t k = static_cast<size_t>(std::lower_bound(x.begin(), end, left) - x.begin());
    // The division can put a point just left of the edge into the column.
    while (k > 0 && columnOf(x[k - 1], xMin, xMax, width) == column)
        --k;
    bool any = false;
    ColumnValues values{0, 0, false};
    for (size_t j = k; j < n; ++j) {
        const int c = columnOf(x[j], xMin, xMax, width);
        if (c > column)
            break;
        if (c != column || !std::isfinite(y[j]))
            continue;
        if (!any) {
            values.low = values.high = y[j];
            any = true;
        }
        values.low = std::min(values.low, y[j]);
        values.high = std::max(values.high, y[j]);
    }
    if (any)
        return values;

    // No point in the column: the finite point nearest to its centre.
    const double centre = xMin + (xMax - xMin) * (column + 0.5) / width;
    std::optional<size_t> best;
    auto consider = [&](size_t j) {
        if (std::isfinite(y[j]) && std::isfinite(x[j])
            && (!best || std::fabs(x[j] - centre) < std::fabs(x[*best] - centre)))
            best = j;
    };
    for (size_t j = k; j < n && !(best && x[j] > centre && std::isfinite(y[j])); ++j)
        consider(j);
    for (size_t j = k; j-- > 0;) {
        consider(j);
        if (std::isfinite(y[j]))
            break;
    }
    if (!best)
        return std::nullopt;
    return ColumnValues{y[*best], y[*best], true};
}

BinGroup binsOfRow(size_t bins, size_t rows, size_t u)
{
    if (rows == 0 || bins == 0)
        return {0, 0};
    const uint64_t b = bins;
    const uint64_t r = rows;
    if (bins < rows) {
        const size_t bin = static_cast<size_t>((2 * u + 1) * b / (2 * r));
        return {bin, bin + 1};
    }
    // The first bin whose centre, (bin + 1/2) * rows / bins, lies at or above row v.
    auto firstAtOrAbove = [b, r](uint64_t v) -> size_t {
        const uint64_t twice = 2 * v * b;
        return twice <= r ? 0 : static_cast<size_t>((twice - r + 2 * r - 1) / (2 * r));
    };
    return {firstAtOrAbove(u), firstAtOrAbove(u + 1)};
}

std::optional<SpectrogramCells> spectrogramCellsAt(int px, int py, int width, int height,
                                                   size_t columns, int firstBin, int lastBin,
                                                   bool mirrored)
{
    if (px < 0 || py < 0 || px >= width || py >= height || columns == 0 || lastBin < firstBin)
        return std::nullopt;
    const auto w = static_cast<unsigned long long>(width);
    const auto x = static_cast<unsigned long long>(px);
    const size_t begin = static_cast<size_t>(x * columns / w);
    const size_t end = std::max(begin + 1, static_cast<size_t>((x + 1) * columns / w));
    const size_t bins = static_cast<size_t>(static_cast<long long>(lastBin) - firstBin + 1);
    const size_t rows = static_cast<size_t>(height);
    const size_t row = static_cast<size_t>(py);
    const BinGroup group = binsOfRow(bins, rows, mirrored ? row : rows - 1 - row);
    return SpectrogramCells{begin, std::min(end, columns), firstBin + static_cast<int>(group.begin),
                            firstBin + static_cast<int>(group.end)};
}
