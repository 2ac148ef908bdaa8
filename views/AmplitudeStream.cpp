// Streamed I and Q curves.

#include "views/AmplitudeStream.h"

#include <algorithm>

AmplitudeStream::AmplitudeStream(uint64_t first, uint64_t n, double fs, double iXMin,
                                 double iXMax, double qXMin, double qXMax, int width)
    : first(first), n(n), fs(fs), iEnvelope(iXMin, iXMax, width), qEnvelope(qXMin, qXMax, width)
{
}

void AmplitudeStream::consume(uint64_t, size_t count, const double* i, const double* q,
                              WorkControl&)
{
    if (consumed >= n)
        return;
    count = static_cast<size_t>(std::min<uint64_t>(count, n - consumed));
    times.resize(count);
    for (size_t j = 0; j < count; ++j)
        times[j] = static_cast<double>(first + consumed + j) / fs;
    iEnvelope.add(times.data(), i, count);
    qEnvelope.add(times.data(), q, count);
    consumed += count;
}
