#pragma once
// Symbols and bits from a burst in a band's samples: the burst found by its
// power, the trace that fits the modulation (the amplitude of OOK and ASK, the
// frequency of FSK, the carrier-free constellation of PSK) matched-filtered
// over a symbol, the clock recovered by SymbolTiming, the levels fitted and
// the symbols sliced at their centres. Numbering: OOK and ASK by amplitude,
// FSK by frequency (lowest 0); PSK counter-clockwise by carrier phase, BPSK 0
// at 0 degrees, QPSK 0 at 45 and on by 90 degrees (up to a rotation: the
// carrier's phase is unknown).

#include "analysis/BandSamples.h"
#include "analysis/Modulation.h"
#include "analysis/SignalEstimate.h"

#include <optional>
#include <string>
#include <vector>

class WorkControl;

struct SymbolSettings
{
    double symbolRateHz = 0;
    Modulation modulation = Modulation::Bpsk;
    // Symbols of the keying: 2, 4 or 8.
    int levels = 2;
    // Levels the slicer uses instead of fitting its own, ascending, in the
    // trace's units (RecoveredSymbols::values); empty to fit them.
    std::vector<double> slicerLevels;
    // Of the spacing of adjacent levels (SymbolSlicer).
    double hysteresis = 0.1;
};

enum class SymbolTrace
{
    Amplitude, // the band's units
    Frequency, // hertz from the band's centre
    Phase,     // degrees, after the carrier's removal
};

SymbolTrace symbolTraceOf(Modulation modulation);

struct RecoveredSymbols
{
    SymbolSettings settings;
    SymbolTrace trace = SymbolTrace::Amplitude;
    // The clock recovered, symbols per second, over the burst.
    double recoveredRateHz = 0;
    // Seconds from the recording's start: symbol centres, the burst's edges.
    std::vector<double> timesS;
    double burstStartS = 0;
    double burstEndS = 0;
    std::vector<int> symbols;
    // The trace at each centre, and the slicer's levels (PSK: the points' angles).
    std::vector<double> values;
    std::vector<double> levels;
    // OOK and ASK: where the slicer cuts between adjacent levels.
    std::vector<double> thresholds;
    // PSK: the carrier's offset from the band's centre, hertz.
    double carrierOffsetHz = 0;

    double firstSymbolTimeS() const { return timesS.empty() ? 0.0 : timesS.front(); }
    // log2(levels) bits a symbol, most significant first.
    std::string bits() const;
};

// Throws std::invalid_argument for settings that cannot be used (a rate not
// positive or above half the band's rate, a modulation without symbols, levels
// other than 2, 4 or 8), std::runtime_error when no burst of a few symbols
// stands out, WorkCancelled when cancelled.
RecoveredSymbols recoverSymbols(const BandSamples& band, const SymbolSettings& settings, WorkControl& control);

// What the user gave; the rest is estimated.
struct SymbolChoice
{
    std::optional<double> symbolRateHz;
    std::optional<Modulation> modulation;
    std::optional<int> levels;
};

struct ResolvedSymbolSettings
{
    // Nothing when the estimate leaves the rate or the modulation open.
    std::optional<SymbolSettings> settings;
    bool rateMissing = false;
    bool modulationMissing = false;
};

// The settings a choice gives, estimateSignal filling what it leaves open.
ResolvedSymbolSettings resolveSymbolSettings(const BandSamples& band, const SymbolChoice& choice);
