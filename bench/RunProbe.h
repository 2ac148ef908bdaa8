#pragma once
// What the benchmarks watch while the application works: the peak of anonymous
// memory (RssAnon, sampled every 10 ms on a thread of its own; the file's page
// cache does not count) and the GUI thread's longest stall (the largest gap
// between ticks of a 10 ms timer on the event loop).

#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <thread>

// RssAnon of this process in bytes, from /proc/self/status.
uint64_t rssAnonBytes();

class RunProbe
{
public:
    // Starts sampling at once; the stall ticks need the event loop to run.
    RunProbe();
    ~RunProbe();
    RunProbe(const RunProbe&) = delete;
    RunProbe& operator=(const RunProbe&) = delete;

    // Peak RssAnon in bytes and longest stall in milliseconds since the start
    // or the last restart.
    uint64_t peakBytes() const { return peak.load(); }
    double longestStallMs() const { return double(longest); }
    void restart();

private:
    std::atomic<bool> sampling{true};
    std::atomic<uint64_t> peak{0};
    std::thread sampler;
    QTimer ticker;
    QElapsedTimer sinceTick;
    qint64 longest = 0;
};
