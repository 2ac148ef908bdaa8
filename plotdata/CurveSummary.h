#pragma once
// Curves of one value per sample over a whole recording (the power, I and Q)
// kept as the blocks (CurveBlock: first, last, largest, smallest point) of
// aligned power-of-two runs of samples, at a ladder of run lengths. A range's
// curve, reduced per pixel column, is put together from them: each column's
// samples split into the largest kept runs that fit, and only the few samples
// at its two ends that fill no finest run computed from samples. The points are
// those a pass over the range gathers, bit for bit.

#include "plotdata/CurveEnvelope.h"
#include "plotdata/CurvePass.h"
#include "plotdata/SummaryStore.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CurveSummary
{
public:
    // `curves` curves of a recording of `samples` samples; `what` says what
    // they are and the settings they depend on (for a cache file's key). The
    // finest run as short as budgetBytes allows (none when nothing fits).
    CurveSummary(uint64_t samples, size_t curves, std::string what, uint64_t budgetBytes);

    bool empty() const { return levels.empty(); }
    // Run lengths kept, finest first; one section per curve and length.
    const std::vector<uint64_t>& poolings() const { return levels; }
    std::vector<SectionLayout> layout() const;
    std::string key() const;
    const std::string& what() const { return description; }

    void setStore(std::shared_ptr<SummaryStore> store) { records = std::move(store); }
    const std::shared_ptr<SummaryStore>& store() const { return records; }

    // Receives every value of curve c over the whole recording, in order, and
    // fills its levels of the store.
    std::unique_ptr<CurveValueSink> builder(size_t curve);

    // Whether a range of `rangeSamples` samples on a plot `width` pixels wide
    // holds enough samples per column to be put together from kept runs.
    bool reaches(uint64_t rangeSamples, int width) const;
    // Computes the values of the curves asked for at samples [first, end):
    // out[j] for the j-th of them.
    using Values = std::function<void(uint64_t first, uint64_t end, std::vector<std::vector<double>>& out)>;
    // Curves `which` over `range` at fs, reduced for a plot `width` pixels wide
    // over the frame's x range, as CurveEnvelope gathers them (their ranges
    // widened symmetrically when asked); the values of the samples at column
    // ends from `values` (read, when that is what it does, on several threads
    // at once, to keep a disk busy). Nothing when the store cannot be read.
    std::optional<std::vector<ReducedCurve>> curves(const std::vector<size_t>& which, const StreamRange& range,
                                                    double fs, int width, const CurveFrame& frame, bool symmetric,
                                                    const Values& values) const;

    // Coarser curves `which` over `range` from the summary alone: the points
    // of the kept runs inside it (the shortest of which there are at most two
    // per pixel column), at their times, on the frame's x range. Nothing for
    // fewer than a few runs, or when the store cannot be read.
    std::optional<std::vector<ReducedCurve>> sketch(const std::vector<size_t>& which, const StreamRange& range,
                                                    double fs, int width, const CurveFrame& frame,
                                                    bool symmetric) const;

private:
    uint64_t samples;
    size_t curveCount;
    std::string description;
    std::vector<uint64_t> levels;
    std::shared_ptr<SummaryStore> records;
};
