// Streamed I and Q curves.

#include "plotdata/AmplitudeStream.h"

#include <algorithm>

AmplitudeStream::AmplitudeStream(uint64_t first, uint64_t n, double fs, double iXMin,
                                 double iXMax, double qXMin, double qXMax, int width)
    : n(n), iEnvelope(iXMin, iXMax, width, first, fs), qEnvelope(qXMin, qXMax, width, first, fs)
{
}

void AmplitudeStream::consume(uint64_t, size_t count, const double* i, const double* q,
                              WorkControl&)
{
    if (consumed >= n)
        return;
    count = static_cast<size_t>(std::min<uint64_t>(count, n - consumed));
    iEnvelope.add(i, count);
    qEnvelope.add(q, count);
    consumed += count;
}

std::unique_ptr<CurvePass> amplitudePass(const StreamRange& range, double fs, int width)
{
    const CurveFrame whole = rangeFrame(range, fs);
    return std::make_unique<CurvePass>(
        std::vector<CurveFrame>{whole, whole},
        [range, fs, width](const std::vector<CurveFrame>& frames) {
            return std::make_unique<AmplitudeStream>(range.first, range.size(), fs, frames[0].xMin,
                                                     frames[0].xMax, frames[1].xMin, frames[1].xMax,
                                                     width);
        });
}
