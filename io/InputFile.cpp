// See InputFile.h.

#include "io/InputFile.h"

#include "io/FileError.h"

#include <cerrno>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Why a file of this type is not read as a recording, or nothing for one that is.
const char* refusedType(mode_t mode)
{
    if (S_ISDIR(mode))
        return "it is a folder";
    if (S_ISFIFO(mode))
        return "it is a named pipe (FIFO), not a file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a file";
    return nullptr;
}

// What the system said when path could not be opened, in words a user can act on:
// a link whose target is gone says so rather than "No such file or directory".
std::string openFailure(const std::string& path, int error)
{
    if (error == ENOENT) {
        struct stat link = {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            std::error_code ignored;
            const std::string target = std::filesystem::read_symlink(path, ignored).string();
            return "it is a link to " + quotedPath(target) + ", which does not exist";
        }
    }
    return std::error_code(error, std::generic_category()).message();
}

} // namespace

InputFile::InputFile(const std::string& path) : name(path)
{
    // Non-blocking so that opening a FIFO returns at once; the type is then
    // checked on the open file itself, so no rename can slip in between.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        problem = openFailure(path, errno);
        return;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0) {
        problem = std::error_code(errno, std::generic_category()).message();
        ::close(fd);
        return;
    }
    if (const char* refused = refusedType(status.st_mode)) {
        problem = refused;
        ::close(fd);
        return;
    }
    // Reads of character devices would otherwise fail with EAGAIN.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (S_ISREG(status.st_mode)) {
        bytes = status.st_size > 0 ? static_cast<uint64_t>(status.st_size) : 0;
    } else {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        bytes = end > 0 ? static_cast<uint64_t>(end) : 0;
    }
    descriptor = fd;
    description = path + " device=" + std::to_string(status.st_dev) + " inode=" + std::to_string(status.st_ino)
                  + " size=" + std::to_string(bytes) + " modified="
                  + std::to_string(int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec);
}

InputFile::InputFile(InputFile&& other) noexcept
    : descriptor(other.descriptor), bytes(other.bytes), name(std::move(other.name)),
      problem(std::move(other.problem)), description(std::move(other.description))
{
    other.descriptor = -1;
    other.bytes = 0;
}

void InputFile::requireOpen() const
{
    if (!isOpen())
        throw FileError("Cannot open " + quotedPath(name) + ": " + problem);
}

InputFile::~InputFile()
{
    if (descriptor >= 0)
        ::close(descriptor);
}

std::size_t InputFile::readAt(uint64_t offset, void* out, std::size_t size) const
{
    constexpr auto maxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    auto* target = static_cast<unsigned char*>(out);
    std::size_t done = 0;
    while (done < size) {
        if (offset > maxOffset - done)
            break;
        const ssize_t got = ::pread(descriptor, target + done, size - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw FileError("Cannot read " + quotedPath(name) + ": "
                            + std::error_code(errno, std::generic_category()).message());
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool openInputFile(std::ifstream& file, const std::string& path, bool unbuffered)
{
    std::error_code error;
    const auto type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::directory || type == std::filesystem::file_type::fifo
        || type == std::filesystem::file_type::socket)
        return false;
    if (unbuffered)
        file.rdbuf()->pubsetbuf(nullptr, 0);
    file.open(path, std::ios::binary);
    return file.is_open();
}

std::string quotedPath(const std::string& path)
{
    return "\"" + path + "\"";
}
