#pragma once
// The views' earlier time ranges and bands, for going back and forward as a
// browser does: a new view drops whatever lay ahead of the current one.

#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

// A time range and a band as the panel's fields gave them: the texts to put back
// and the values they were applied as.
struct ViewState
{
    QString startTime;
    QString stopTime;
    QString startFrequency;
    QString stopFrequency;
    double start = 0;
    double stop = 0;
    double low = 0;
    double high = 0;

    // The same view: equal values, whatever their texts.
    bool sameView(const ViewState& other) const;
};

class ViewHistory
{
public:
    // Forgets everything; `first` becomes the only and current entry.
    void reset(const ViewState& first);
    // A view now shown: it becomes the current entry, after the current one
    // (dropping those ahead), unless it is the current one already.
    void visit(const ViewState& state);
    // The entry before or after the current one, which becomes current;
    // nothing at either end.
    std::optional<ViewState> back();
    std::optional<ViewState> forward();
    bool empty() const { return entries.empty(); }

private:
    // Entries kept; the oldest go first beyond it.
    static constexpr size_t capacity = 200;
    std::vector<ViewState> entries;
    size_t current = 0;
};
