#pragma once
// Opening recording files for reading without blocking on, or misreading,
// things that are not files.

#include <fstream>
#include <string>

// Opens path in file for binary reading; unbuffered, large reads go straight
// into the caller's buffer (small reads then cost a system call each). Directories, FIFOs and sockets are not
// opened (a FIFO would block until a writer appears). Returns whether it is open.
bool openInputFile(std::ifstream& file, const std::string& path, bool unbuffered);
