// Memory and stall probes of the benchmarks.

#include "bench/RunProbe.h"

#include <chrono>
#include <fstream>
#include <string>

uint64_t rssAnonBytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "RssAnon:") {
            uint64_t kib = 0;
            status >> kib;
            return kib * 1024;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

RunProbe::RunProbe()
{
    peak = rssAnonBytes();
    sampler = std::thread([this] {
        while (sampling) {
            const uint64_t now = rssAnonBytes();
            if (now > peak)
                peak = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [this] { longest = std::max(longest, sinceTick.restart()); });
    sinceTick.start();
    ticker.start();
}

RunProbe::~RunProbe()
{
    sampling = false;
    sampler.join();
}

void RunProbe::restart()
{
    peak = rssAnonBytes();
    longest = 0;
    sinceTick.restart();
}
