// The symbols as JSON, CSV and packed bits.

#include "analysis/SymbolExport.h"

#include <nlohmann/json.hpp>

#include <cstdio>

std::string symbolsJson(const RecoveredSymbols& symbols)
{
    nlohmann::ordered_json out;
    out["symbolRateHz"] = symbols.settings.symbolRateHz;
    out["modulation"] = modulationName(symbols.settings.modulation);
    out["levels"] = symbols.settings.levels;
    out["firstSymbolTimeS"] = symbols.firstSymbolTimeS();
    out["symbols"] = symbols.symbols;
    out["bits"] = symbols.bits();
    return out.dump();
}

std::string symbolsCsv(const RecoveredSymbols& symbols)
{
    std::string text = "time_s,symbol,bits\n";
    const std::string bits = symbols.bits();
    const std::size_t width = symbols.symbols.empty() ? 0 : bits.size() / symbols.symbols.size();
    char line[64];
    for (std::size_t k = 0; k < symbols.symbols.size(); ++k) {
        const int n = std::snprintf(line, sizeof line, "%.17g,%d,", symbols.timesS[k], symbols.symbols[k]);
        text.append(line, static_cast<std::size_t>(n));
        text.append(bits, k * width, width);
        text.push_back('\n');
    }
    return text;
}

std::vector<uint8_t> symbolsPacked(const RecoveredSymbols& symbols, LineCode code)
{
    return packBits(decodeLine(symbols.bits(), code));
}
