// Bits of symbols and their line codes.

#include "analysis/SymbolBits.h"

#include <cstddef>

namespace {

int bitsPerSymbol(int levels)
{
    int bits = 0;
    while ((1 << (bits + 1)) <= levels)
        ++bits;
    return bits < 1 ? 1 : bits;
}

} // namespace

std::string lineCodeName(LineCode code)
{
    switch (code) {
    case LineCode::Nrzi:
        return "NRZI";
    case LineCode::Manchester:
        return "Manchester";
    default:
        return "NRZ";
    }
}

std::string symbolBits(const std::vector<int>& symbols, int levels)
{
    const int width = bitsPerSymbol(levels);
    std::string bits;
    bits.reserve(symbols.size() * static_cast<std::size_t>(width));
    for (int s : symbols)
        for (int b = width - 1; b >= 0; --b)
            bits.push_back((s >> b) & 1 ? '1' : '0');
    return bits;
}

std::string decodeLine(const std::string& bits, LineCode code)
{
    std::string out;
    if (code == LineCode::Nrzi) {
        for (std::size_t k = 1; k < bits.size(); ++k)
            out.push_back(bits[k] != bits[k - 1] ? '1' : '0');
        return out;
    }
    if (code != LineCode::Manchester)
        return bits;
    auto invalid = [&](std::size_t from) {
        std::size_t count = 0;
        for (std::size_t k = from; k + 1 < bits.size(); k += 2)
            count += bits[k] == bits[k + 1];
        return count;
    };
    const std::size_t from = bits.size() > 2 && invalid(1) < invalid(0) ? 1 : 0;
    for (std::size_t k = from; k + 1 < bits.size(); k += 2)
        out.push_back(bits[k] == bits[k + 1] ? '?' : bits[k] == '0' ? '1' : '0');
    return out;
}

std::string bitsHex(const std::string& bits)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::size_t k = 0; k < bits.size(); k += 4) {
        int v = 0;
        for (std::size_t b = 0; b < 4; ++b)
            v = v << 1 | (k + b < bits.size() && bits[k + b] == '1');
        hex.push_back(digits[v]);
    }
    return hex;
}

std::vector<uint8_t> packBits(const std::string& bits)
{
    std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
    for (std::size_t k = 0; k < bits.size(); ++k)
        if (bits[k] == '1')
            bytes[k / 8] = static_cast<uint8_t>(bytes[k / 8] | (0x80u >> (k % 8)));
    return bytes;
}
