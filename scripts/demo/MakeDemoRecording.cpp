// Writes the demo recording that `scripts/run` opens when no file is given: a
// SigMF pair (cf32_le) of four seconds at 200,000 samples/s holding a repeating
// chirp, two steady tones 20 dB apart, a short wideband burst and noise, captured
// at 433.92 MHz, with annotations on the burst and on the weak tone.
//
// Usage: norvale-make-demo <output base path>   (writes base.sigmf-meta and base.sigmf-data)

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double sampleRate = 200000.0;
constexpr double centreFrequencyHz = 433.92e6;
constexpr double durationSeconds = 4.0;
constexpr double pi = 3.14159265358979323846;

constexpr double noiseSigma = 0.01;

constexpr double strongToneHz = 50000.0;
constexpr double strongToneAmplitude = 0.5;
constexpr double weakToneHz = -30000.0;
constexpr double weakToneAmplitude = 0.05; // 20 dB below the strong tone

// Linear sweep from -80 kHz to +80 kHz, restarting every 2 s.
constexpr double chirpLowHz = -80000.0;
constexpr double chirpHighHz = 80000.0;
constexpr double chirpPeriodSeconds = 2.0;
constexpr double chirpAmplitude = 0.2;

// QPSK-like symbols, 20 samples each (10,000 symbols/s) with raised-cosine
// transitions between them so that the burst stays in its band, centred on -60 kHz.
constexpr double burstStartSeconds = 2.5;
constexpr double burstStopSeconds = 2.8;
constexpr double burstCentreHz = -60000.0;
constexpr int burstSamplesPerSymbol = 20;
constexpr double burstAmplitude = 0.8;

std::vector<std::complex<double>> makeSamples()
{
    const auto count = static_cast<std::size_t>(sampleRate * durationSeconds);
    std::vector<std::complex<double>> samples(count);
    std::mt19937 generator(20261207);
    std::normal_distribution<double> noise(0.0, noiseSigma);
    std::uniform_int_distribution<int> quadrant(0, 3);
    std::complex<double> symbol;
    std::complex<double> nextSymbol = std::polar(burstAmplitude, pi / 4);

    const double sweepRate = (chirpHighHz - chirpLowHz) / chirpPeriodSeconds;
    for (std::size_t k = 0; k < count; ++k) {
        const double t = static_cast<double>(k) / sampleRate;
        std::complex<double> x(noise(generator), noise(generator));
        x += std::polar(strongToneAmplitude, 2 * pi * strongToneHz * t);
        x += std::polar(weakToneAmplitude, 2 * pi * weakToneHz * t);

        const double tc = std::fmod(t, chirpPeriodSeconds);
        x += std::polar(chirpAmplitude, 2 * pi * (chirpLowHz * tc + 0.5 * sweepRate * tc * tc));

        if (t >= burstStartSeconds && t < burstStopSeconds) {
            const std::size_t phase = k % burstSamplesPerSymbol;
            if (phase == 0) {
                symbol = nextSymbol;
                nextSymbol = std::polar(burstAmplitude, pi / 4 + pi / 2 * quadrant(generator));
            }
            const double ramp =
                (1 - std::cos(pi * static_cast<double>(phase) / burstSamplesPerSymbol)) / 2;
            x += (symbol + (nextSymbol - symbol) * ramp) * std::polar(1.0, 2 * pi * burstCentreHz * t);
        }
        samples[k] = x;
    }
    return samples;
}

void putFloatLittleEndian(std::string& bytes, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<char>((bits >> shift) & 0xffu));
}

bool writeFile(const std::string& path, const std::string& contents)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    file.close();
    if (!file) {
        std::cerr << "norvale-make-demo: cannot write " << path << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Usage: " << argv[0] << " <output base path>\n";
        return 2;
    }
    const std::string base = argv[1];

    const std::vector<std::complex<double>> samples = makeSamples();
    std::string data;
    data.reserve(samples.size() * 8);
    for (const std::complex<double>& x : samples) {
        putFloatLittleEndian(data, static_cast<float>(x.real()));
        putFloatLittleEndian(data, static_cast<float>(x.imag()));
    }

    // The burst's symbols fill about +-10 kHz around its centre; the annotations
    // give absolute frequencies, as SigMF does.
    auto hz = [](double baseband) {
        return std::to_string(std::llround(centreFrequencyHz + baseband));
    };
    auto sample = [](double seconds) {
        return std::to_string(std::llround(seconds * sampleRate));
    };
    const std::string meta =
        "{\n"
        "  \"global\": {\n"
        "    \"core:datatype\": \"cf32_le\",\n"
        "    \"core:sample_rate\": 200000,\n"
        "    \"core:version\": \"1.0.0\",\n"
        "    \"core:description\": \"Norvale demo: repeating chirp from -80 to +80 kHz, "
        "tones at +50 kHz and -30 kHz 20 dB apart, a QPSK-like burst at -60 kHz from 2.5 to "
        "2.8 s, and noise\"\n"
        "  },\n"
        "  \"captures\": [ { \"core:sample_start\": 0, \"core:frequency\": "
        + hz(0) + " } ],\n"
        "  \"annotations\": [\n"
        "    { \"core:sample_start\": " + sample(burstStartSeconds)
        + ", \"core:sample_count\": " + sample(burstStopSeconds - burstStartSeconds)
        + ", \"core:freq_lower_edge\": " + hz(burstCentreHz - 12000)
        + ", \"core:freq_upper_edge\": " + hz(burstCentreHz + 12000)
        + ", \"core:label\": \"QPSK burst\", \"core:description\": \"QPSK-like symbols, "
          "10,000 per second, raised-cosine transitions\" },\n"
        "    { \"core:sample_start\": 0, \"core:sample_count\": " + sample(durationSeconds)
        + ", \"core:freq_lower_edge\": " + hz(weakToneHz - 1500)
        + ", \"core:freq_upper_edge\": " + hz(weakToneHz + 1500)
        + ", \"core:label\": \"Weak tone\", \"core:description\": \"Steady tone 20 dB below "
          "the one at +50 kHz\" }\n"
        "  ]\n"
        "}\n";

    if (!writeFile(base + ".sigmf-data", data) || !writeFile(base + ".sigmf-meta", meta))
        return 1;
    return 0;
}
