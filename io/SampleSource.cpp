// Samples held in memory.

#include "io/SampleSource.h"

#include <algorithm>
#include <stdexcept>

namespace {

class MemorySamples final : public SampleSource
{
public:
    MemorySamples(std::vector<double> i, std::vector<double> q)
        : iData(std::move(i)), qData(std::move(q))
    {
    }

    uint64_t size() const override { return iData.size(); }

    void read(uint64_t first, size_t count, double* i, double* q) const override
    {
        if (first > iData.size() || count > iData.size() - first)
            throw std::runtime_error("Failed to read samples: range beyond the recording");
        std::copy_n(iData.data() + first, count, i);
        std::copy_n(qData.data() + first, count, q);
    }

    const std::vector<double>* memoryI() const override { return &iData; }
    const std::vector<double>* memoryQ() const override { return &qData; }

private:
    std::vector<double> iData;
    std::vector<double> qData;
};

} // namespace

std::shared_ptr<const SampleSource> memorySamples(std::vector<double> i, std::vector<double> q)
{
    if (i.size() != q.size())
        throw std::invalid_argument("I and Q sequences must have the same length");
    return std::make_shared<const MemorySamples>(std::move(i), std::move(q));
}
