#pragma once
// Power spectra searched for spectral lines: a line's frequency refined below
// one bin, and its height over the spectrum's background (a median).

#include <complex>
#include <cstddef>
#include <optional>
#include <vector>

class LineSpectrum
{
public:
    struct Line
    {
        double hz = 0;       // refined frequency, signed, within (-rate/2, rate/2]
        double heightDb = 0; // power over the background at the line, dB
        std::size_t bin = 0; // the padded spectrum's bin of the peak
    };

    // |X[k]|^2 of the n values of x zero-padded to the next power of two >=
    // 2 n, unscaled, natural order (bin 0 is 0 Hz); x at `rate` samples per second.
    LineSpectrum(const std::complex<double>* x, std::size_t n, double rate);
    // The spectra of two real sequences of n values, from one complex transform.
    static std::pair<LineSpectrum, LineSpectrum> ofReal(const double* a, const double* b, std::size_t n,
                                                        double rate);

    std::size_t size() const { return power.size(); }
    double binHz() const { return rate / static_cast<double>(power.size()); }
    const std::vector<double>& powers() const { return power; }

    // Background: the median of the bins in [lowHz, highHz] for every bin.
    void useMedianOver(double lowHz, double highHz);
    // Background over [lowHz, highHz] (1 elsewhere): medians of blocks of
    // `blockBins` bins, joined linearly between the blocks' centres, so that a
    // slowly varying spectrum is its own level.
    void useLocalMedian(std::size_t blockBins, double lowHz, double highHz);

    // The powers over the background, bin by bin.
    std::vector<double> normalised() const;
    // A spectrum whose powers are `powers`, at rate, background 1.
    static LineSpectrum ofPowers(std::vector<double> powers, double rate);

    // The bin of highest power over background among those in [lowHz, highHz];
    // nothing for an empty range.
    std::optional<Line> strongest(double lowHz, double highHz) const;
    // The same within `span` bins either side of hz.
    std::optional<Line> near(double hz, std::size_t span) const;
    // The share of the spectrum's power within `span` bins of the line.
    double share(const Line& line, std::size_t span) const;

private:
    LineSpectrum(std::vector<double> power, double rate);
    std::size_t binOf(double hz) const;
    double frequencyOf(double bin) const;
    Line refine(std::size_t bin) const;

    std::vector<double> power;
    std::vector<double> background;
    double rate;
};

// The detection threshold in dB of power over median for the highest of
// `bins` bins of a noise-alone spectrum, exceeded with probability
// `falseAlarm` (bins exponential, so their median is ln 2 of their mean).
double lineThresholdDb(double bins, double falseAlarm);
