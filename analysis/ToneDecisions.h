#pragma once
// FSK symbols decided from the band's samples: for each symbol the tone whose
// correlation with the samples over the symbol is strongest in magnitude
// (noncoherent: each symbol's phase is free), first with the tone held over
// the symbol, then with the frequency shaped by the neighbours' tones the way
// the burst itself shows (learnt by least squares from the frequency between
// adjacent samples at the symbols' centres and boundaries).

#include <complex>
#include <vector>

// How the frequency passes from symbol to symbol: at a symbol's centre,
// centre * its tone + side * its neighbours'; at the boundary of two symbols,
// pair * their tones + outer * the next ones out.
struct FrequencyShape
{
    double centre = 1;
    double side = 0;
    double pair = 0.5;
    double outer = 0;
};

// Positions are samples of y (fractional), P samples a symbol, tones hertz in
// y's frame at rate R; the numbers are indices into tones. closeness, when
// given, gets each symbol's second strongest correlation over its strongest
// (energies, 0 ... 1: near 1 for a doubtful symbol).
std::vector<int> toneDecisions(const std::vector<std::complex<double>>& y, const std::vector<double>& centres,
                               double P, const std::vector<double>& tones, double R,
                               std::vector<double>* closeness = nullptr);

// The shape the samples show around the symbols as decided.
FrequencyShape learnShape(const std::vector<std::complex<double>>& y, const std::vector<double>& centres, double P,
                          const std::vector<double>& tones, double R, const std::vector<int>& symbols);

// The decisions of the doubtful symbols again with the frequency over each a
// parabola through the shape's values at its start, centre and end, the
// neighbours as decided (the others are kept).
std::vector<int> shapedToneDecisions(const std::vector<std::complex<double>>& y, const std::vector<double>& centres,
                                     double P, const std::vector<double>& tones, double R,
                                     const std::vector<int>& first, const FrequencyShape& shape,
                                     const std::vector<bool>& doubtful);
