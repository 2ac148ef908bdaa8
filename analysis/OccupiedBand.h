#pragma once
// Where in a band its signal lies: a Welch power spectrum, the noise floor
// (its lowest plateau) and the bins that stand above it; then the signal alone
// (OccupiedBand::isolate): mixed to its centre, low-pass filtered to its width
// and decimated, trimmed to the span where it is on (the middle of it when
// longer than needed).

#include <complex>
#include <cstddef>
#include <vector>

struct IsolatedSignal
{
    std::vector<std::complex<double>> z;
    double rate = 1;
    // Hertz the signal was moved down by (within the band given).
    double centre = 0;
    // Mean noise power per sample of z (the floor over the filter's width).
    double noisePower = 0;
    // The filter's passband half-width, hertz.
    double halfWidth = 0;
};

class OccupiedBand
{
public:
    // The spectrum of the n values of y at `rate`.
    OccupiedBand(const std::complex<double>* y, std::size_t n, double rate);

    // Whether any bins stand clearly above the noise floor.
    bool found() const { return signalFound; }
    // The excess power's centroid, and the half-width about it that holds the
    // bins above the floor, hertz.
    double centre() const { return centroid; }
    double halfWidth() const { return width; }
    // The Welch spectrum's resolution, hertz.
    double binHz() const { return rate / static_cast<double>(psd.size()); }
    // Noise power per hertz.
    double noiseDensity() const { return floorDensity; }

    // The signal alone, from the same n values of y: at most `most` samples
    // of z, from the middle of the span where the signal is on; nothing when
    // the range holds fewer than a few dozen samples of it.
    IsolatedSignal isolate(const std::complex<double>* y, std::size_t n, std::size_t most) const;

private:
    double rate;
    std::vector<double> psd; // power per bin, natural order
    bool signalFound = false;
    double centroid = 0;
    double width = 0;
    double floorDensity = 0;
};
