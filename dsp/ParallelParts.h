#pragma once
// Splitting a pass over a long array into contiguous parts run on the
// processor's cores; the caller merges the parts' results in order.

#include <cstddef>
#include <functional>

// How many parts `items` items make when each part should hold at least
// `minItemsPerPart` of them: between 1 and the number of cores.
size_t partCount(size_t items, size_t minItemsPerPart);

// Runs part(0) ... part(parts - 1), part 0 on the calling thread and the others
// on threads of their own (in the calling thread when none can be started), and
// returns when all are done. The first exception a part threw is rethrown then.
void runParts(size_t parts, const std::function<void(size_t)>& part);
