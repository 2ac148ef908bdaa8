// The canonical 44-byte header of mono 16-bit PCM, then the samples.

#include "export/AudioWav.h"

#include "export/OutputFile.h"

#include <stdexcept>

namespace {

void put16(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>((v >> 8) & 0xff));
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

} // namespace

void writeAudioWav(const std::string& path, const std::vector<int16_t>& samples, uint32_t rate)
{
    const uint64_t bytes = uint64_t(samples.size()) * 2;
    if (bytes > 0xffffffffull - 36)
        throw std::runtime_error("Cannot write " + path + ": the audio is too long for a WAV file");
    std::string header = "RIFF";
    put32(header, static_cast<uint32_t>(36 + bytes));
    header += "WAVEfmt ";
    put32(header, 16);
    put16(header, 1); // PCM
    put16(header, 1); // mono
    put32(header, rate);
    put32(header, rate * 2);
    put16(header, 2);
    put16(header, 16);
    header += "data";
    put32(header, static_cast<uint32_t>(bytes));
    OutputFile file(path);
    file.write(header);
    std::string data;
    data.reserve(static_cast<size_t>(bytes));
    for (int16_t s : samples)
        put16(data, static_cast<uint16_t>(s));
    file.write(data);
    file.finish();
    file.commit();
}
