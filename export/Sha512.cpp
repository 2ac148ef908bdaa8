// SHA-512 compression function and padding, as FIPS 180-4 defines them.

#include "export/Sha512.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t roundConstants[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

constexpr std::array<uint64_t, 8> initialState = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};

// The message length is appended as a 128-bit big-endian count of bits.
constexpr std::size_t lengthBytes = 16;

inline uint64_t rotateRight(uint64_t x, int n)
{
    return (x >> n) | (x << (64 - n));
}

inline uint64_t bigEndian64(const unsigned char* p)
{
    uint64_t value = 0;
    for (int k = 0; k < 8; ++k)
        value = (value << 8) | p[k];
    return value;
}

} // namespace

Sha512::Sha512() : state(initialState) {}

void Sha512::compress(const unsigned char* block)
{
    uint64_t w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = bigEndian64(block + 8 * t);
    for (int t = 16; t < 80; ++t) {
        const uint64_t s0 = rotateRight(w[t - 15], 1) ^ rotateRight(w[t - 15], 8) ^ (w[t - 15] >> 7);
        const uint64_t s1 = rotateRight(w[t - 2], 19) ^ rotateRight(w[t - 2], 61) ^ (w[t - 2] >> 6);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 80; ++t) {
        const uint64_t sum1 = rotateRight(e, 14) ^ rotateRight(e, 18) ^ rotateRight(e, 41);
        const uint64_t choose = (e & f) ^ (~e & g);
        const uint64_t t1 = h + sum1 + choose + roundConstants[t] + w[t];
        const uint64_t sum0 = rotateRight(a, 28) ^ rotateRight(a, 34) ^ rotateRight(a, 39);
        const uint64_t majority = (a & b) ^ (a & c) ^ (b & c);
        const uint64_t t2 = sum0 + majority;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

void Sha512::update(const void* data, std::size_t size)
{
    if (size == 0)
        return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    totalBytes += size;
    if (pendingBytes > 0) {
        const std::size_t take = std::min(size, blockBytes - pendingBytes);
        std::memcpy(pending.data() + pendingBytes, bytes, take);
        pendingBytes += take;
        bytes += take;
        size -= take;
        if (pendingBytes < blockBytes)
            return;
        compress(pending.data());
        pendingBytes = 0;
    }
    for (; size >= blockBytes; bytes += blockBytes, size -= blockBytes)
        compress(bytes);
    std::memcpy(pending.data(), bytes, size);
    pendingBytes = size;
}

std::string Sha512::hexDigest()
{
    const uint64_t bits = totalBytes * 8;
    const uint64_t bitsHigh = totalBytes >> 61;
    pending[pendingBytes++] = 0x80;
    if (pendingBytes > blockBytes - lengthBytes) {
        std::memset(pending.data() + pendingBytes, 0, blockBytes - pendingBytes);
        compress(pending.data());
        pendingBytes = 0;
    }
    std::memset(pending.data() + pendingBytes, 0, blockBytes - pendingBytes);
    for (int k = 0; k < 8; ++k) {
        pending[blockBytes - lengthBytes + k] = static_cast<unsigned char>(bitsHigh >> (56 - 8 * k));
        pending[blockBytes - 8 + k] = static_cast<unsigned char>(bits >> (56 - 8 * k));
    }
    compress(pending.data());

    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint64_t word : state)
        for (int shift = 60; shift >= 0; shift -= 4)
            hex.push_back(digits[(word >> shift) & 0xF]);
    return hex;
}
