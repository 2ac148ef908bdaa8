// Back and forward over the views' time ranges and bands.

#include "panel/ViewHistory.h"

bool ViewState::sameView(const ViewState& other) const
{
    return start == other.start && stop == other.stop && low == other.low && high == other.high;
}

void ViewHistory::reset(const ViewState& first)
{
    entries.assign(1, first);
    current = 0;
}

void ViewHistory::visit(const ViewState& state)
{
    if (entries.empty()) {
        reset(state);
        return;
    }
    if (entries[current].sameView(state)) {
        entries[current] = state;
        return;
    }
    entries.resize(current + 1);
    entries.push_back(state);
    if (entries.size() > capacity)
        entries.erase(entries.begin());
    current = entries.size() - 1;
}

std::optional<ViewState> ViewHistory::back()
{
    if (entries.empty() || current == 0)
        return std::nullopt;
    return entries[--current];
}

std::optional<ViewState> ViewHistory::forward()
{
    if (current + 1 >= entries.size())
        return std::nullopt;
    return entries[++current];
}
