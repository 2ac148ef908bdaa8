#pragma once
// Opening recording files for reading without blocking on, or misreading,
// things that are not files; positional reads that several threads can share.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

// An open file read by offset (pread), never by a shared position, so any number
// of threads may read it at once. Move-only; closes the file when destroyed.
class InputFile
{
public:
    // Opens path for reading. Directories, FIFOs and sockets are not opened (a
    // FIFO would block until a writer appears); isOpen() tells whether it worked.
    explicit InputFile(const std::string& path);
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) = delete;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    bool isOpen() const { return descriptor >= 0; }
    // The path as given.
    const std::string& path() const { return name; }
    // Why the file is not open, in the user's words ("it is a folder",
    // "Permission denied", ...); empty when it is.
    const std::string& whyNotOpen() const { return problem; }
    // Throws FileError("Cannot open \"<path>\": <whyNotOpen()>") unless open.
    void requireOpen() const;
    // Bytes in the file when it was opened; 0 when that cannot be told (a terminal
    // or another character device).
    uint64_t size() const { return bytes; }
    // The file as it was opened: its path, device and inode, size and
    // modification time (nanoseconds), as text.
    const std::string& identity() const { return description; }
    // Reads up to size bytes at offset into out and returns how many were read:
    // fewer only where the file ends. Throws FileError("Cannot read
    // \"<path>\": <reason>") on a read error.
    std::size_t readAt(uint64_t offset, void* out, std::size_t size) const;

private:
    int descriptor = -1;
    uint64_t bytes = 0;
    std::string name;
    std::string problem;
    std::string description;
};

// Opens path in file for binary reading; unbuffered, large reads go straight
// into the caller's buffer (small reads then cost a system call each). Directories, FIFOs and sockets are not
// opened (a FIFO would block until a writer appears). Returns whether it is open.
bool openInputFile(std::ifstream& file, const std::string& path, bool unbuffered);

// A file's path as messages name it: in double quotes, its bytes as they are.
std::string quotedPath(const std::string& path);
