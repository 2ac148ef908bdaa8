// Version 4 UUIDs from the system's random device.

#include "sigmf/Uuid.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>

std::string randomUuid()
{
    static thread_local std::mt19937_64 generator = [] {
        std::random_device seed;
        std::seed_seq sequence{seed(), seed(), seed(), seed()};
        return std::mt19937_64(sequence);
    }();
    std::array<uint8_t, 16> bytes{};
    for (std::size_t k = 0; k < bytes.size(); k += 8) {
        const uint64_t word = generator();
        for (std::size_t b = 0; b < 8; ++b)
            bytes[k + b] = static_cast<uint8_t>(word >> (8 * b));
    }
    constexpr uint8_t versionFour = 0x40;
    constexpr uint8_t variantRfc = 0x80;
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0f) | versionFour);
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3f) | variantRfc);
    char text[37];
    std::snprintf(text, sizeof(text),
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}
