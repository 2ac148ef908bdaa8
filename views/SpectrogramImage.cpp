// Band edges and the colour image of the spectrogram.

#include "views/SpectrogramImage.h"

#include "dsp/ParallelParts.h"

#include "views/ColorMap.h"
#include "plotdata/PlotValues.h"
#include "plotdata/SpectrumCurve.h"

#include <algorithm>
#include <cmath>

namespace {

// Bin index from a rounded position, kept within 0 ... N - 1.
int clampBin(double k, uint32_t N, int whenNan)
{
    if (std::isnan(k))
        return whenNan;
    const double top = static_cast<double>(N - 1);
    if (k <= 0)
        return 0;
    if (k >= top)
        return static_cast<int>(N - 1);
    return static_cast<int>(k);
}

// Frequency of bin `bin` moved by `halves` half bins: (bin - N/2 + halves/2) * fs / N.
double binEdge(int bin, int halves, double fs, uint32_t N)
{
    if (N < 2)
        return 0;
    const double n = static_cast<double>(N);
    const double position = static_cast<double>(bin) - static_cast<double>(N / 2) + 0.5 * halves;
    return position * fs / n;
}

// Image columns are filled in tiles, so that reading the matrix column by column
// and writing the image row by row both stay within the cache.
constexpr size_t tileColumns = 64;
// Fewer tile rows (64 pixels each) than this per thread are not worth a thread.
constexpr size_t minTileRowsPerThread = 4096;

} // namespace

BandEdge startBandEdge(double fs, uint32_t N, double hertz)
{
    if (N == 0)
        return {0, 0};
    const int bin = clampBin(bandStartPosition(fs, N, hertz), N, 0);
    return {bin, binEdge(bin, -1, fs, N)};
}

BandEdge stopBandEdge(double fs, uint32_t N, double hertz)
{
    if (N == 0)
        return {0, 0};
    const int bin = clampBin(bandStopPosition(fs, N, hertz), N, static_cast<int>(N - 1));
    return {bin, binEdge(bin, 1, fs, N)};
}

size_t spectrogramImageHeight(int plotHeight)
{
    return static_cast<size_t>(std::clamp(plotHeight, 1, largestPaintedImageSide));
}

size_t spectrogramImageWidth(size_t columns, int plotWidth)
{
    const size_t pixels = static_cast<size_t>(std::max(plotWidth, 1));
    const size_t side = static_cast<size_t>(largestPaintedImageSide);
    if (columns <= std::min(2 * pixels, side))
        return columns;
    return std::min(pixels, side);
}

QImage spectrogramImage(const std::vector<const double*>& columns, int firstBin, int lastBin,
                        double low, double high, bool mirrored, size_t byteBudget)
{
    QImage none;
    return spectrogramImage(columns, firstBin, lastBin, low, high, mirrored, byteBudget, none);
}

QImage spectrogramImage(const std::vector<const double*>& columns, int firstBin, int lastBin,
                        double low, double high, bool mirrored, size_t byteBudget, QImage& reuse,
                        size_t maxColumns, size_t imageRows, ColorMapKind colorMap)
{
    if (columns.empty() || firstBin < 0 || lastBin < firstBin)
        return QImage();
    const size_t cols = columns.size();
    const size_t rows = static_cast<size_t>(lastBin - firstBin) + 1;
    const size_t height = imageRows == 0 ? rows : imageRows;
    const size_t rowBytes = height * sizeof(QRgb);
    const size_t widthLimit = std::max<size_t>(1, byteBudget / rowBytes);
    const size_t width = std::min({cols, widthLimit, std::max<size_t>(1, maxColumns)});
    if (width > static_cast<size_t>(INT32_MAX) || height > static_cast<size_t>(INT32_MAX))
        return QImage();
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    // Every pixel is written below, so old contents never show.
    QImage image = reuse.size() == size && reuse.format() == QImage::Format_RGB32 && reuse.isDetached()
                       ? std::move(reuse)
                       : QImage(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;

    // Per image column, a pointer to its values from firstBin upward: straight
    // into the matrix, or into a thread's `merged` when several columns are combined.
    const bool merging = width < cols;
    // More bins than rows: each row takes the largest of its group of bins
    // (`values` per column); fewer: rows repeat bins, coloured once each.
    const bool pooling = height < rows;
    const size_t values = std::min(rows, height);
    std::vector<size_t> sourceOfRow(height);
    for (size_t u = 0; u < height; ++u)
        sourceOfRow[u] = pooling ? u : binsOfRow(rows, height, u).begin;
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    struct Scratch
    {
        std::vector<double> merged;
        std::vector<double> pooled;
        std::vector<QRgb> colors;
    };
    // Image columns x0 ... x1 - 1 (x0 a multiple of the tile width).
    auto fill = [&](size_t x0Begin, size_t x1, Scratch& scratch) {
        const double* tile[tileColumns];
        for (size_t x0 = x0Begin; x0 < x1; x0 += tileColumns) {
            const size_t count = std::min(tileColumns, x1 - x0);
            for (size_t t = 0; t < count; ++t) {
                const size_t x = x0 + t;
                if (!merging) {
                    tile[t] = columns[x] + firstBin;
                    continue;
                }
                const size_t begin = x * cols / width;
                const size_t end = (x + 1) * cols / width;
                double* out = scratch.merged.data() + t * rows;
                std::copy_n(columns[begin] + firstBin, rows, out);
                for (size_t c = begin + 1; c < end; ++c) {
                    const double* in = columns[c] + firstBin;
                    for (size_t r = 0; r < rows; ++r) {
                        const double v = in[r];
                        if (!(std::isnan(out[r]) || v <= out[r]))
                            out[r] = v;
                    }
                }
                tile[t] = out;
            }
            if (pooling) {
                for (size_t t = 0; t < count; ++t) {
                    double* out = scratch.pooled.data() + t * height;
                    for (size_t g = 0; g < height; ++g) {
                        const BinGroup group = binsOfRow(rows, height, g);
                        double m = tile[t][group.begin];
                        for (size_t r = group.begin + 1; r < group.end; ++r) {
                            const double v = tile[t][r];
                            if (!(std::isnan(m) || v <= m))
                                m = v;
                        }
                        out[g] = m;
                    }
                    tile[t] = out;
                }
            }
            // Colour each column's contiguous values, then write them across the rows.
            QRgb* colors = scratch.colors.data();
            for (size_t t = 0; t < count; ++t)
                colorizeRange(tile[t], values, low, high, colors + t * values, colorMap);
            for (size_t j = 0; j < height; ++j) {
                const size_t r = sourceOfRow[mirrored ? j : height - 1 - j];
                QRgb* line = reinterpret_cast<QRgb*>(bits + static_cast<qsizetype>(j) * bytesPerLine) + x0;
                for (size_t t = 0; t < count; ++t)
                    line[t] = colors[t * values + r];
            }
        }
    };

    // Image columns are independent: runs of whole tiles go to separate threads,
    // each with its own scratch (allocated here, so that only arithmetic runs on them).
    const size_t tiles = (width + tileColumns - 1) / tileColumns;
    const size_t team = std::min(partCount(tiles * rows, minTileRowsPerThread), std::max<size_t>(tiles, 1));
    std::vector<Scratch> scratch(team);
    for (Scratch& s : scratch) {
        s.merged.resize(merging ? tileColumns * rows : 0);
        s.pooled.resize(pooling ? tileColumns * height : 0);
        s.colors.resize(tileColumns * values);
    }
    auto part = [&](size_t t) {
        fill(tiles * t / team * tileColumns, std::min(width, tiles * (t + 1) / team * tileColumns),
             scratch[t]);
    };
    runParts(team, part);
    return image;
}
