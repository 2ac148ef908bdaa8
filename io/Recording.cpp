#include "io/Recording.h"

#include <limits>
#include <stdexcept>

Recording::Recording() = default;
Recording::~Recording() = default;

void Recording::assign(uint32_t sampleRate, std::vector<double> i, std::vector<double> q)
{
    if (i.size() != q.size())
        throw std::invalid_argument("I and Q sequences must have the same length");
    if (i.size() > std::numeric_limits<uint32_t>::max())
        throw std::invalid_argument("Too many samples for one recording");
    iData.swap(i);
    qData.swap(q);
    rate = sampleRate;
    count = static_cast<uint32_t>(iData.size());
    loaded = true;
}

void Recording::loadWav(const std::string&)
{
    throw std::runtime_error("WAV reading is not available yet");
}

void Recording::loadSigmf(const std::string&)
{
    throw std::runtime_error("SigMF reading is not available yet");
}

void Recording::loadBinary(const std::string&, const std::string&, double)
{
    throw std::runtime_error("Binary reading is not available yet");
}
