// Back and forward over the views' time ranges and bands.

#include "session/ViewHistory.h"

void ViewHistory::reset(const ViewPlace& first)
{
    entries.assign(1, first);
    current = 0;
}

void ViewHistory::visit(const ViewPlace& place)
{
    if (entries.empty()) {
        reset(place);
        return;
    }
    if (entries[current] == place)
        return;
    entries.resize(current + 1);
    entries.push_back(place);
    if (entries.size() > capacity)
        entries.erase(entries.begin());
    current = entries.size() - 1;
}

std::optional<ViewPlace> ViewHistory::back()
{
    if (entries.empty() || current == 0)
        return std::nullopt;
    return entries[--current];
}

std::optional<ViewPlace> ViewHistory::forward()
{
    if (current + 1 >= entries.size())
        return std::nullopt;
    return entries[++current];
}
