#pragma once
// Runs of consecutive points that fall in one pixel column of a curve whose x
// ascends, found without mapping every point.

#include <cstddef>

// The first index past the run of points in the same column as point k, at most
// end; columnOf(index) must not decrease with the index. A galloping search,
// then bisection: the cost grows with the log of the run's length.
template <typename ColumnOf>
size_t columnRunEnd(const ColumnOf& columnOf, size_t k, size_t end)
{
    const auto c = columnOf(k);
    size_t step = 1;
    size_t inside = k;
    size_t outside = end;
    while (inside + step < end) {
        if (columnOf(inside + step) != c) {
            outside = inside + step;
            break;
        }
        inside += step;
        step *= 2;
    }
    while (outside - inside > 1) {
        const size_t mid = inside + (outside - inside) / 2;
        if (columnOf(mid) == c)
            inside = mid;
        else
            outside = mid;
    }
    return outside;
}
