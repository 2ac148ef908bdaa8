#pragma once
// Header blocks of regular files in a POSIX ustar archive, as the SigMF archive
// reader (io/TarArchive) reads them.

#include "io/TarLayout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// 512-byte blocks that precede a file named name holding size bytes, last
// modified at modifiedSeconds (since 1970, UTC). A pax extended header comes
// first when the name passes the header's 100 bytes or the size the octal
// field's 8 GiB - 1.
std::vector<unsigned char> tarFileHeader(const std::string& name, uint64_t size,
                                         int64_t modifiedSeconds);

// Zero bytes after a member of size bytes up to the next 512-byte block.
std::size_t tarPadding(uint64_t size);

// The two zero blocks that end an archive.
constexpr std::size_t tarEndBytes = 2 * tarBlockBytes;
