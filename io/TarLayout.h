#pragma once
// Where each field of a POSIX ustar header block lies and how many bytes it
// has: one layout for the archive reader (io/TarArchive) and the writer
// (export/TarHeader).

#include <cstddef>

constexpr std::size_t tarBlockBytes = 512;

struct TarField
{
    std::size_t offset;
    std::size_t bytes;
};

namespace ustar {
constexpr TarField name{0, 100};
constexpr TarField mode{100, 8};
constexpr TarField owner{108, 8};
constexpr TarField group{116, 8};
constexpr TarField size{124, 12};
constexpr TarField modified{136, 12};
constexpr TarField checksum{148, 8};
constexpr TarField type{156, 1};
constexpr TarField magic{257, 6};   // "ustar\0"
constexpr TarField version{263, 2}; // "00"
constexpr TarField prefix{345, 155};
} // namespace ustar
