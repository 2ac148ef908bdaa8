// A band's amplitude, frequency or phase on the recording's grid of outputs.

#include "dsp/BandTrace.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double notDrawn = std::numeric_limits<double>::quiet_NaN();

uint64_t ceilDiv(uint64_t a, uint64_t b)
{
    return a / b + (a % b != 0 ? 1 : 0);
}

} // namespace

BandTrace::BandTrace(const TraceRequest& request)
    : request(request), extractor(request.sampleRate, request.low, request.high)
{
    correction = extractor.mixFrequency() - (request.low + request.high) / 2.0;
    const uint64_t D = extractor.decimation();
    const uint64_t n = request.recordingSamples;
    const uint64_t total = ceilDiv(n, D);
    const uint64_t end = std::min(request.end, n);
    const uint64_t first = std::min(request.first, end);
    shownFirst = std::min(ceilDiv(first, D), total);
    shownEnd = std::max(shownFirst, std::min(ceilDiv(end, D), total));
    keptFirst = shownFirst - std::min<uint64_t>(shownFirst, 1 + squelchHalfSpan);
    keptEnd = std::min(total, shownEnd + squelchHalfSpan);
    const uint64_t half = extractor.taps().size() / 2;
    startOutput = keptFirst - std::min(keptFirst, ceilDiv(half, D));
    inputFirst = startOutput * D;
    inputEnd = shownEnd > shownFirst ? std::min(n, (keptEnd - 1) * D + half + 1) : inputFirst;
    bufferFirst = keptFirst;
    nextValue = shownFirst;
}

double BandTrace::powerDb(std::complex<double> y) const
{
    const double fs = request.fullScale;
    return 10.0 * std::log10((y.real() * y.real() + y.imag() * y.imag()) / (fs * fs));
}

void BandTrace::consume(uint64_t index, std::size_t count, const double* i, const double* q,
                        std::vector<double>& values, std::vector<double>* powers)
{
    const uint64_t from = std::max(index, inputFirst + fed);
    const uint64_t to = std::min(index + count, inputEnd);
    if (to <= from || finished)
        return;
    scratch.clear();
    extractor.process(from, static_cast<std::size_t>(to - from), i + (from - index), q + (from - index), scratch);
    fed = to - inputFirst;
    for (const std::complex<double>& y : scratch) {
        const uint64_t m = startOutput + extracted++;
        // The export writes single precision: so is every output read here.
        if (m >= keptFirst && m < keptEnd)
            buffer.emplace_back(static_cast<float>(y.real()), static_cast<float>(y.imag()));
    }
    giveValues(false, values, powers);
}

void BandTrace::finish(std::vector<double>& values, std::vector<double>* powers)
{
    if (finished)
        return;
    if (inputEnd > inputFirst) {
        scratch.clear();
        extractor.flush(scratch);
        for (const std::complex<double>& y : scratch) {
            const uint64_t m = startOutput + extracted++;
            if (m >= keptFirst && m < keptEnd)
                buffer.emplace_back(static_cast<float>(y.real()), static_cast<float>(y.imag()));
        }
    }
    giveValues(true, values, powers);
    finished = true;
}

void BandTrace::giveValues(bool atEnd, std::vector<double>& values, std::vector<double>* powers)
{
    const uint64_t known = bufferFirst + buffer.size();
    const double fs2 = request.fullScale * request.fullScale;
    const double toHertz = extractor.outputRate() / (2.0 * std::numbers::pi);
    const double toDegrees = 180.0 / std::numbers::pi;
    auto at = [&](uint64_t m) { return buffer[static_cast<std::size_t>(m - bufferFirst)]; };
    for (; nextValue < shownEnd; ++nextValue) {
        const uint64_t m = nextValue;
        if (!atEnd && m + squelchHalfSpan >= known)
            break;
        if (m >= known) {
            // Owed outputs the samples never reached (cannot happen once fed).
            values.push_back(notDrawn);
            if (powers)
                powers->push_back(notDrawn);
            continue;
        }
        const std::complex<double> y = at(m);
        if (powers)
            powers->push_back(powerDb(y));
        bool open = true;
        if (request.squelchBelowDb) {
            const uint64_t lo = std::max(keptFirst, m - std::min(m, squelchHalfSpan));
            const uint64_t hi = std::min(known, m + squelchHalfSpan + 1);
            double sum = 0;
            for (uint64_t k = lo; k < hi; ++k) {
                const std::complex<double> v = at(k);
                sum += (v.real() * v.real() + v.imag() * v.imag()) / fs2;
            }
            open = 10.0 * std::log10(sum / static_cast<double>(hi - lo)) >= *request.squelchBelowDb;
        }
        double value = notDrawn;
        switch (request.kind) {
        case TraceKind::Amplitude:
            value = powerDb(y);
            break;
        case TraceKind::Frequency: {
            // The mean of the turns from the output before and to the one
            // after: centred on the output's own time, each turn below half a cycle.
            // The recording's first and last outputs have one of them only.
            const bool after = m + 1 < known;
            const double back = m > 0 ? std::arg(y * std::conj(at(m - 1))) : 0.0;
            const double ahead = after ? std::arg(at(m + 1) * std::conj(y)) : 0.0;
            if (m > 0 && after)
                value = (back + ahead) / 2.0 * toHertz + correction;
            else if (m > 0 || after)
                value = (back + ahead) * toHertz + correction;
            break;
        }
        case TraceKind::Phase: {
            const double angle = std::arg(y);
            if (anyAngle) {
                const double step = angle - lastAngle;
                if (step > std::numbers::pi)
                    --turns;
                else if (step < -std::numbers::pi)
                    ++turns;
            }
            anyAngle = true;
            lastAngle = angle;
            value = angle * toDegrees + 360.0 * static_cast<double>(turns);
            break;
        }
        }
        values.push_back(open || request.kind == TraceKind::Amplitude ? value : notDrawn);
    }
    // What later values still need: the previous output and the squelch's neighbours.
    const uint64_t keep = std::max(keptFirst, nextValue - std::min(nextValue, 1 + squelchHalfSpan));
    if (keep > bufferFirst + (buffer.size() / 2) || (keep > bufferFirst && buffer.size() > 4096)) {
        const auto drop = static_cast<std::ptrdiff_t>(std::min<uint64_t>(keep - bufferFirst, buffer.size()));
        buffer.erase(buffer.begin(), buffer.begin() + drop);
        bufferFirst += static_cast<uint64_t>(drop);
    }
}

std::vector<double> traceOf(const TraceRequest& request, const std::vector<double>& i,
                            const std::vector<double>& q, std::size_t block)
{
    BandTrace trace(request);
    std::vector<double> values;
    for (uint64_t at = trace.readFirst(); at < trace.readEnd();) {
        const auto count = static_cast<std::size_t>(std::min<uint64_t>(block, trace.readEnd() - at));
        trace.consume(at, count, i.data() + at, q.data() + at, values);
        at += count;
    }
    trace.finish(values);
    return values;
}
