#pragma once
// The kinds of signal the estimator tells apart and the symbol recovery reads,
// with the names the window and the command line show for them.

#include <optional>
#include <string>

enum class Modulation
{
    Ook,
    Ask,
    Fsk2,
    Fsk4,
    Bpsk,
    Qpsk,
    Cw,
    Noise,
    Unknown,
};

// "OOK", "ASK", "2FSK", "4FSK", "BPSK", "QPSK", "CW", "noise", "unknown".
std::string modulationName(Modulation modulation);
// The modulation a name gives (case-insensitive), nothing for an unknown name.
std::optional<Modulation> modulationFromName(const std::string& name);
// Symbols of a keyed modulation: 2 for OOK, 2FSK and BPSK, 4 for ASK, 4FSK and
// QPSK; 0 for CW, noise and unknown.
int modulationLevels(Modulation modulation);
