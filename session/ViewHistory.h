#pragma once
// The views' earlier time ranges and bands, for going back and forward as a
// browser does: a new view drops whatever lay ahead of the current one.

#include "session/ViewSettings.h"

#include <cstddef>
#include <optional>
#include <vector>

// A time range (seconds) and a band (baseband hertz) as they were shown.
struct ViewPlace
{
    TimeRange range;
    ValueRange band;
    bool operator==(const ViewPlace& other) const = default;
};

class ViewHistory
{
public:
    // Forgets everything; `first` becomes the only and current entry.
    void reset(const ViewPlace& first);
    // A view now shown: it becomes the current entry, after the current one
    // (dropping those ahead), unless it is the current one already.
    void visit(const ViewPlace& place);
    // The entry before or after the current one, which becomes current;
    // nothing at either end.
    std::optional<ViewPlace> back();
    std::optional<ViewPlace> forward();
    bool empty() const { return entries.empty(); }

private:
    // Entries kept; the oldest go first beyond it.
    static constexpr size_t capacity = 200;
    std::vector<ViewPlace> entries;
    size_t current = 0;
};
