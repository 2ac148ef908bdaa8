#pragma once
// The ladder of block sizes a summary keeps: powers of two a factor of four
// apart, the finest as fine as a budget allows.

#include <cstdint>
#include <vector>

// Block sizes, finest first, for summaries of `units` units (time columns,
// samples or segments) in records of recordBytes per block: the finest is the
// smallest power of two of at least smallestBlock whose ladder (up to the first
// level of a single block) takes at most budgetBytes; none when not even a
// ladder of blocks of the whole fits, or there are fewer than two blocks of
// smallestBlock.
std::vector<uint64_t> summaryLevels(uint64_t units, uint64_t recordBytes, uint64_t budgetBytes,
                                    uint64_t smallestBlock);

// Records of a level of `block` units over `units` units (the last one partial).
inline uint64_t levelRecords(uint64_t units, uint64_t block)
{
    return (units + block - 1) / block;
}
