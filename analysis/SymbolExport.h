#pragma once
// Recovered symbols as the files and text they are written to: the JSON
// object of the command line (members in its order), CSV rows of time,
// symbol and bits, and the decoded bits packed in bytes.

#include "analysis/SymbolBits.h"
#include "analysis/SymbolRecovery.h"

#include <cstdint>
#include <string>
#include <vector>

// {"symbolRateHz":..,"modulation":"..","levels":N,"firstSymbolTimeS":..,"symbols":[..],"bits":".."}
// on one line (no newline).
std::string symbolsJson(const RecoveredSymbols& symbols);

// "time_s,symbol,bits" then one row per symbol: its centre in seconds from the
// recording's start (full precision), its number, its bits (MSB first).
std::string symbolsCsv(const RecoveredSymbols& symbols);

// The bits the line code carries, packed eight a byte, most significant first.
std::vector<uint8_t> symbolsPacked(const RecoveredSymbols& symbols, LineCode code);
