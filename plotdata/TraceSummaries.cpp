// The kept traces of the latest bands.

#include "plotdata/TraceSummaries.h"

#include "plotdata/SummaryStore.h"

#include <algorithm>

namespace {

// Hands the outputs to the kept values, or to the runs' builder.
class KeptBuilder : public CurveValueSink
{
public:
    explicit KeptBuilder(std::shared_ptr<TraceSummaries::Kept> kept) : kept(std::move(kept))
    {
        if (this->kept->runs)
            runs = this->kept->runs->builder(0);
    }
    void add(const double* y, size_t count) override
    {
        if (runs)
            runs->add(y, count);
        else
            kept->values.insert(kept->values.end(), y, y + count);
    }

private:
    std::shared_ptr<TraceSummaries::Kept> kept;
    std::unique_ptr<CurveValueSink> runs;
};

} // namespace

TraceSummaries::TraceSummaries(uint64_t budgetBytes, std::size_t bands)
    : budget(budgetBytes), bandCount(std::max<std::size_t>(bands, 1))
{
}

std::shared_ptr<const TraceSummaries::Kept> TraceSummaries::find(const std::string& key) const
{
    const std::lock_guard lock(mutex);
    for (const auto& kept : ready)
        if (kept->key == key)
            return kept;
    return nullptr;
}

bool TraceSummaries::has(const std::string& key) const
{
    const std::lock_guard lock(mutex);
    for (const auto& kept : ready)
        if (kept->key == key)
            return true;
    for (const auto& weak : building)
        if (const auto build = weak.lock(); build && build->key == key)
            return true;
    return false;
}

std::shared_ptr<TraceSummaries::Kept> TraceSummaries::startBuild(const std::string& key, uint64_t outputs)
{
    const std::lock_guard lock(mutex);
    for (const auto& kept : ready)
        if (kept->key == key)
            return nullptr;
    for (const auto& weak : building)
        if (const auto build = weak.lock(); build && build->key == key)
            return nullptr;
    auto build = std::make_shared<Kept>();
    build->key = key;
    build->outputs = outputs;
    if (outputs * sizeof(double) <= budget) {
        build->values.reserve(static_cast<std::size_t>(outputs));
    } else {
        build->runs = std::make_shared<CurveSummary>(outputs, 1, key, budget);
        if (build->runs->empty())
            return nullptr;
        build->runs->setStore(std::make_shared<SummaryStore>(build->runs->layout()));
    }
    std::erase_if(building, [](const std::weak_ptr<Kept>& weak) { return weak.expired(); });
    building.push_back(build);
    return build;
}

std::unique_ptr<CurveValueSink> TraceSummaries::builder(const std::shared_ptr<Kept>& build)
{
    return std::make_unique<KeptBuilder>(build);
}

void TraceSummaries::finished(const std::shared_ptr<Kept>& build, bool complete)
{
    const std::lock_guard lock(mutex);
    std::erase_if(building, [&](const std::weak_ptr<Kept>& weak) { return weak.expired() || weak.lock() == build; });
    if (!complete)
        return;
    if (build->runs ? !build->runs->store()->finish() : build->values.size() != build->outputs)
        return;
    ready.push_back(build);
    if (ready.size() > bandCount)
        ready.erase(ready.begin());
}
