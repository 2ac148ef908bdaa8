#pragma once
// SHA-512 (FIPS 180-4) of a stream of bytes, for the core:sha512 of an exported
// dataset; written here because the aarch64 cross build has no crypto library.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha512
{
public:
    Sha512();
    // Appends size bytes to the message.
    void update(const void* data, std::size_t size);
    // The digest of everything appended, as 128 lowercase hexadecimal digits.
    // The object is spent afterwards.
    std::string hexDigest();

private:
    static constexpr std::size_t blockBytes = 128;

    void compress(const unsigned char* block);

    std::array<uint64_t, 8> state;
    std::array<unsigned char, blockBytes> pending{};
    std::size_t pendingBytes = 0;
    uint64_t totalBytes = 0;
};
