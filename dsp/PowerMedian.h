#pragma once
// The median of a stream of powers in decibels, in bounded memory: counted in
// bins of a hundredth of a decibel, so that the order the values come in and
// the blocks they come in change nothing.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class PowerMedian
{
public:
    // Bins cover lowestDb ... highestDb; values beyond count in the end bins.
    static constexpr double lowestDb = -400.0;
    static constexpr double highestDb = 200.0;
    static constexpr double binDb = 0.01;

    PowerMedian();
    // Values that are NaN are passed over; -inf counts as the lowest.
    void add(const double* db, std::size_t count);
    uint64_t count() const { return counted; }
    // The centre of the bin holding the middle value (the lower middle of an
    // even count); nothing before any value.
    std::optional<double> median() const;

private:
    std::vector<uint64_t> bins;
    uint64_t counted = 0;
};
