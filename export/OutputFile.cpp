// Temporary files created exclusively with the usual permissions, written with
// plain system calls, renamed into place (renameat2 where a name must not be
// replaced, or must get back what it had), and their folder synced.

#include "export/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Names tried before giving up on finding a free one.
constexpr int nameAttempts = 100;
// Permissions of a new file before the umask, as any program creates one.
constexpr mode_t fileMode = 0666;
constexpr mode_t permissionBits = 07777;
// renameat2's flags, as <linux/fs.h> defines them.
constexpr unsigned renameNoReplace = 1u << 0;
constexpr unsigned renameExchange = 1u << 1;

// A free-looking name beside target: ".<name>.<16 hex digits>.part".
std::string temporaryName(const std::string& target)
{
    thread_local std::mt19937_64 random = [] {
        std::random_device seed;
        return std::mt19937_64((static_cast<uint64_t>(seed()) << 32) ^ seed() ^ uint64_t(::getpid()));
    }();
    const std::filesystem::path path(target);
    char suffix[32];
    std::snprintf(suffix, sizeof(suffix), ".%016llx.part",
                  static_cast<unsigned long long>(random()));
    std::string name = path.filename().string();
    name.insert(name.begin(), '.');
    name.append(suffix);
    return (path.parent_path() / name).string();
}

// renameat2 through its system call: C libraries older than glibc 2.28 have no
// wrapper for it. 0, or -1 with errno set.
int renameWithFlags(const std::string& from, const std::string& to, unsigned flags)
{
#ifdef SYS_renameat2
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags));
#else
    (void)from;
    (void)to;
    (void)flags;
    errno = ENOSYS;
    return -1;
#endif
}

// Whether renameat2 failed for want of the flag (the file system, or an old
// kernel, does not know it) rather than for the rename itself.
bool flagUnknown(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

bool isFolder(const std::string& path)
{
    struct stat status{};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

OutputFile::OutputFile(std::string path) : target(std::move(path))
{
    for (int attempt = 0; attempt < nameAttempts; ++attempt) {
        temporary = temporaryName(target);
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, fileMode);
        if (descriptor >= 0)
            return;
        if (errno != EEXIST)
            fail(errno);
    }
    fail(EEXIST);
}

OutputFile::~OutputFile()
{
    if (descriptor >= 0)
        ::close(descriptor);
    if (!committed)
        ::unlink(temporary.c_str());
}

void OutputFile::fail(int error) const
{
    throw std::runtime_error("Cannot write " + target + ": " + std::strerror(error));
}

void OutputFile::write(const void* data, std::size_t size)
{
    writeAt(written, data, size);
    written += size;
}

void OutputFile::writeAt(uint64_t offset, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t done = ::pwrite(descriptor, bytes, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            fail(errno);
        // A write that takes nothing and reports no error: the disk is full.
        if (done == 0)
            fail(ENOSPC);
        bytes += done;
        offset += static_cast<uint64_t>(done);
        size -= static_cast<std::size_t>(done);
    }
}

void OutputFile::keepPermissionsOf(const std::string& path)
{
    struct stat old{};
    if (::stat(path.c_str(), &old) != 0) {
        if (errno == ENOENT)
            return;
        fail(errno);
    }
    // The owner and group where this process may give them (root may, and an
    // owner may give a group it is in); the bits after, as a change of owner
    // clears the set-ID bits.
    if (::fchown(descriptor, old.st_uid, old.st_gid) != 0
        && ::fchown(descriptor, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // The file stays this process's; its permission bits are still the old file's.
    }
    if (::fchmod(descriptor, old.st_mode & permissionBits) != 0)
        fail(errno);
}

void OutputFile::finish()
{
    if (::fsync(descriptor) != 0)
        fail(errno);
    const int closing = descriptor;
    descriptor = -1;
    if (::close(closing) != 0)
        fail(errno);
}

void OutputFile::rename()
{
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        fail(errno);
    committed = true;
}

void OutputFile::commit()
{
    rename();
    syncFolder();
}

bool OutputFile::commitNew()
{
    if (renameWithFlags(temporary, target, renameNoReplace) != 0) {
        if (errno == EEXIST)
            return false;
        if (!flagUnknown(errno))
            fail(errno);
        // A hard link, too, takes a name only where none is, in one step.
        if (::link(temporary.c_str(), target.c_str()) != 0) {
            if (errno == EEXIST)
                return false;
            fail(errno);
        }
        ::unlink(temporary.c_str());
    }
    committed = true;
    syncFolder();
    return true;
}

void OutputFile::placeKeepingOld()
{
    if (renameWithFlags(temporary, target, renameNoReplace) == 0) {
        committed = true;
        return;
    }
    if (errno == EEXIST && renameWithFlags(temporary, target, renameExchange) == 0) {
        // What had the name now has the temporary one.
        committed = true;
        kept = temporary;
        if (isFolder(kept)) {
            // A folder is never replaced by a file, as a plain rename refuses it.
            if (renameWithFlags(temporary, target, renameExchange) == 0) {
                committed = false;
                kept.clear();
            }
            fail(EISDIR);
        }
        return;
    }
    if (!flagUnknown(errno))
        fail(errno);

    // Without renameat2's flags: a second name (a hard link) keeps what is there.
    for (int attempt = 0; attempt < nameAttempts && kept.empty(); ++attempt) {
        const std::string name = temporaryName(target);
        if (::link(target.c_str(), name.c_str()) == 0)
            kept = name;
        else if (errno == ENOENT)
            break; // nothing has the name
        else if (const int error = errno; error != EEXIST)
            fail(isFolder(target) ? EISDIR : error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        if (!kept.empty())
            ::unlink(kept.c_str());
        kept.clear();
        fail(error);
    }
    committed = true;
}

void OutputFile::dropKept()
{
    if (!kept.empty())
        ::unlink(kept.c_str());
    kept.clear();
}

void OutputFile::putBack()
{
    // Within a failure already reported: nothing more to say if this fails too.
    if (kept.empty()) {
        ::unlink(target.c_str());
        committed = false;
    } else if (::rename(kept.c_str(), target.c_str()) == 0) {
        kept.clear();
        committed = false;
    }
    // Else the old file keeps its other name, which nothing removes then.
}

void OutputFile::syncFolder() const
{
    const std::filesystem::path parent = std::filesystem::path(target).parent_path();
    const std::filesystem::path folder = parent.empty() ? std::filesystem::path(".") : parent;
    // A folder this process may write but not read cannot be opened to sync: the
    // rename stands there as the file system keeps it.
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return;
    const int synced = ::fsync(handle);
    const int error = errno;
    ::close(handle);
    // Some file systems cannot sync a folder at all (EINVAL).
    if (synced != 0 && error != EINVAL)
        fail(error);
}

void commitPair(OutputFile& data, OutputFile& meta)
{
    data.placeKeepingOld();
    try {
        // The data's name reaches the disk before the metadata names it.
        data.syncFolder();
        meta.rename();
    } catch (...) {
        data.putBack();
        throw;
    }
    data.dropKept();
    meta.syncFolder();
}
