#pragma once
// Where the symbols of a burst stand. A timing error detector (Gardner's on
// the complex samples of a phase keying, a zero-crossing detector on the
// trace of an amplitude or frequency keying) is evaluated over the offsets of
// the nominal symbol grid, block by block: each block's stable zero is found
// and followed from block to block. The blocks' offsets are then fitted by
// weighted least squares to a quadratic in the symbol number (an offset, a
// period correction and its linear drift), the file being at hand whole, so a
// clock hundreds of ppm off slips no symbol. Positions are in samples of the
// sequence given (fractional, interpolated by cubic Catmull-Rom).

#include <complex>
#include <cstddef>
#include <vector>

struct SymbolClock
{
    // The nominal grid: symbol k at origin + k * nominalPeriod, plus the fit.
    double origin = 0;
    double nominalPeriod = 1;
    // The fitted offset a + b u + c u^2 with u = (k - centreK) / scaleK.
    double a = 0;
    double b = 0;
    double c = 0;
    double centreK = 0;
    double scaleK = 1;
    // Blocks the fit used and those it left out as outliers.
    std::size_t blocksUsed = 0;
    std::size_t blocksRejected = 0;
    // The median distance of all the blocks' offsets from the fit, samples:
    // small for a clock, a quarter period for noise.
    double spread = 0;

    // The centre of symbol k (k may be negative or fractional), samples.
    double centre(double k) const;
    // The period at symbol k, samples.
    double period(double k) const;
};

// One block's timing: the offset of its stable zero from the nominal grid at
// symbol k (the block's middle), in samples, and its weight (the transitions
// or symbols the detector summed).
struct TimingBlock
{
    double k = 0;
    double offset = 0;
    double weight = 0;
};

// The least-squares fit of the blocks' offsets (already unwrapped) by a
// quadratic in k (a line with fewer than four blocks, a constant with one);
// blocks more than a quarter of a period off the fit are left out and the fit
// repeated. No blocks give the nominal grid.
SymbolClock fitClock(double origin, double nominalPeriod, std::vector<TimingBlock> blocks);

// The clock of a phase keying's complex samples x (matched-filtered), symbols
// 0 ... symbols - 1 nominally at origin + k * samplesPerSymbol.
SymbolClock gardnerClock(const std::vector<std::complex<double>>& x, double origin, double samplesPerSymbol,
                         std::size_t symbols);

// The same on a real trace with its mean taken out (a pulse-amplitude
// signal: the frequency of an FSK burst).
SymbolClock gardnerClock(const std::vector<double>& x, double origin, double samplesPerSymbol,
                         std::size_t symbols);

// The clock of a real trace r (amplitude or frequency) whose symbols sit at
// `levels` (ascending), symbols 0 ... symbols - 1 nominally at origin + k *
// samplesPerSymbol.
SymbolClock zeroCrossingClock(const std::vector<double>& r, const std::vector<double>& levels, double origin,
                              double samplesPerSymbol, std::size_t symbols);

// The clock of an FSK burst's samples y from the energy of its strongest tone
// (tones in radians per sample) over a symbol-long window, by an early-late
// gate (the energies a quarter symbol early and late balance at the centre).
SymbolClock toneEnergyClock(const std::vector<std::complex<double>>& y, const std::vector<double>& tones,
                            double origin, double samplesPerSymbol, std::size_t symbols);

// The value of x at a fractional position (cubic Catmull-Rom, the ends held).
double interpolateAt(const std::vector<double>& x, double position);
std::complex<double> interpolateAt(const std::vector<std::complex<double>>& x, double position);
