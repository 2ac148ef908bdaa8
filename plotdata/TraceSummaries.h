#pragma once
// What is kept of the traces of a recording's bands, so that a band's trace
// over any range is put together without reading the recording again: every
// output of the band while they fit in the budget (a narrow band), or their
// blocks over aligned runs (CurveSummary) for a wide one. Built by a pass over
// the whole recording; kept in memory for the latest bands only. Safe to use
// from several threads.

#include "plotdata/CurveEnvelope.h"
#include "plotdata/CurveSummary.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TraceSummaries
{
public:
    // One band's trace over all its outputs.
    struct Kept
    {
        std::string key;
        uint64_t outputs = 0;
        // Every output, or empty when `runs` keeps them.
        std::vector<double> values;
        std::shared_ptr<CurveSummary> runs;
    };

    // Bytes each kept band may take; bands kept at once (together, by
    // default, the budget of one curve's summary).
    explicit TraceSummaries(uint64_t budgetBytes = uint64_t(16) << 20, std::size_t bands = 2);

    // The trace kept under `key`, when one is ready.
    std::shared_ptr<const Kept> find(const std::string& key) const;
    // Whether one is ready or being built under `key`.
    bool has(const std::string& key) const;
    // A trace of `outputs` outputs to build under `key`: null when one is
    // ready or being built.
    std::shared_ptr<Kept> startBuild(const std::string& key, uint64_t outputs);
    // Receives every output of a build, in order.
    static std::unique_ptr<CurveValueSink> builder(const std::shared_ptr<Kept>& build);
    // A build that received all its outputs becomes ready (the oldest band
    // ready goes when more are kept than allowed); an unfinished one is dropped.
    void finished(const std::shared_ptr<Kept>& build, bool complete);

private:
    uint64_t budget;
    std::size_t bandCount;
    mutable std::mutex mutex;
    std::vector<std::shared_ptr<const Kept>> ready;
    std::vector<std::weak_ptr<Kept>> building;
};
