// Names of the modulations.

#include "analysis/Modulation.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace {

constexpr std::array<std::pair<Modulation, const char*>, 9> names{{
    {Modulation::Ook, "OOK"},
    {Modulation::Ask, "ASK"},
    {Modulation::Fsk2, "2FSK"},
    {Modulation::Fsk4, "4FSK"},
    {Modulation::Bpsk, "BPSK"},
    {Modulation::Qpsk, "QPSK"},
    {Modulation::Cw, "CW"},
    {Modulation::Noise, "noise"},
    {Modulation::Unknown, "unknown"},
}};

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string modulationName(Modulation modulation)
{
    for (const auto& [m, name] : names)
        if (m == modulation)
            return name;
    return "unknown";
}

std::optional<Modulation> modulationFromName(const std::string& name)
{
    const std::string wanted = lower(name);
    for (const auto& [m, text] : names)
        if (lower(text) == wanted)
            return m;
    return std::nullopt;
}

int modulationLevels(Modulation modulation)
{
    switch (modulation) {
    case Modulation::Ook:
    case Modulation::Fsk2:
    case Modulation::Bpsk:
        return 2;
    case Modulation::Ask:
    case Modulation::Fsk4:
    case Modulation::Qpsk:
        return 4;
    default:
        return 0;
    }
}
