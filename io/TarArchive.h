#pragma once
// The members of a POSIX tar archive (ustar, with pax and GNU long names and
// sizes), read in place: a member's bytes are one contiguous run of the archive.

#include "io/InputFile.h"
#include "io/TarLayout.h"

#include <cstdint>
#include <functional>
#include <string>

// A regular file in the archive: its path and where its bytes lie.
struct TarMember
{
    std::string name;
    uint64_t offset = 0;
    uint64_t size = 0;
};

// Whether block (tarBlockBytes long) is a tar header: its checksum is right.
bool isTarHeader(const unsigned char* block);

// Walks the archive in file from its first header to its end, calling visit for
// each regular file in archive order; visit returns false to stop the walk there.
// Throws std::runtime_error with a user-facing message when the file is not a
// tar archive, or a header is damaged or a member runs past the end of the file.
void forEachTarMember(const InputFile& file, const std::function<bool(const TarMember&)>& visit);
