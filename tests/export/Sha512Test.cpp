// SHA-512 against the FIPS 180-4 example messages and the padding boundaries,
// each fed whole and in pieces of odd sizes.

#include "export/Sha512.h"

#include <gtest/gtest.h>

#include <string>

TEST(Sha512, KnownDigestsWholeAndInPieces)
{
    const struct
    {
        std::string message;
        std::string digest;
    } rows[] = {
        {"", "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
        {"abc", "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
        {std::string(1000000, 'a'), "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
        // The last sizes whose length fits the final block, and the first that does not.
        {std::string(111, 'x'), "9a2a120825c2319867758ec277924f6faa254968bf752046dacdd948d8ad299b10359fd04bfd7d3810b5fa1b16a294236138baff981cbb85248478053ac4d3dd"},
        {std::string(112, 'x'), "a3722b515ef40c910f2419f6e0da8ca51d410114ce6272faae64045f9e9f630e7fa8dd5a3243c9860b899d148c3da4bc0f9e07454542604d030bb55531fe0d5b"},
        {std::string(128, 'x'), "e2e22f8422b54b06e35c3ea30a383d1de7a8fbc27992923074103117020d8dd7024c3ecf7d6d1a15a6de5a75ff32fb486b9e8ced4c02ffe05822bf2cb734d0e0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message.size());
        Sha512 whole;
        whole.update(row.message.data(), row.message.size());
        EXPECT_EQ(whole.hexDigest(), row.digest);
        Sha512 pieces;
        // An empty piece, as a sink gives for an empty range, without data.
        pieces.update(nullptr, 0);
        std::size_t at = 0;
        for (std::size_t piece = 1; at < row.message.size(); piece = piece * 3 % 997 + 1) {
            const std::size_t size = std::min(piece, row.message.size() - at);
            pieces.update(row.message.data() + at, size);
            at += size;
        }
        EXPECT_EQ(pieces.hexDigest(), row.digest);
    }
}
