#pragma once
// Symbols as bits: each symbol of M levels as log2(M) bits, most significant
// first, no Gray coding; the line codes NRZ (the bits themselves), NRZI and
// Manchester; and the bits as hexadecimal text and packed bytes.

#include <cstdint>
#include <string>
#include <vector>

enum class LineCode
{
    Nrz,
    Nrzi,
    Manchester,
};

// "NRZ", "NRZI", "Manchester".
std::string lineCodeName(LineCode code);

// '0' and '1', log2(levels) of them per symbol (levels 2, 4 or 8).
std::string symbolBits(const std::vector<int>& symbols, int levels);

// The bits a line code carries in `bits`: NRZ gives them back; NRZI gives 1
// for a change from the bit before and 0 for none (the first bit has none
// before it and gives nothing); Manchester reads pairs, 01 as 1 and 10 as 0
// (IEEE 802.3), pairs starting at the bit that leaves fewer invalid pairs, and
// an invalid pair (00 or 11) as '?'.
std::string decodeLine(const std::string& bits, LineCode code);

// The bits as hexadecimal digits (upper case), four bits a digit, most
// significant first, the last digit filled with zeros; '?' counts as 0.
std::string bitsHex(const std::string& bits);

// The bits packed eight a byte, most significant first, the last byte filled
// with zeros; '?' counts as 0.
std::vector<uint8_t> packBits(const std::string& bits);
