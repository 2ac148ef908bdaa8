#pragma once
// A WAV file of mono 16-bit PCM, as the band's audio is written.

#include <cstdint>
#include <string>
#include <vector>

// Writes `samples` at `rate` to `path` under a temporary name, renamed when
// complete. Throws std::runtime_error "Cannot write <path>: <reason>".
void writeAudioWav(const std::string& path, const std::vector<int16_t>& samples, uint32_t rate);
