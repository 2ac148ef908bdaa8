#pragma once
// A file written under a temporary name in its destination's folder and renamed
// onto the destination only when complete, so that a failed or cancelled write
// leaves nothing behind; the folder is synced after each rename, so that a
// crash cannot take the rename back.

#include <cstddef>
#include <cstdint>
#include <string>

class OutputFile
{
public:
    // Creates the temporary file beside path. Throws std::runtime_error("Cannot
    // write <path>: <reason>") when the folder does not take it.
    explicit OutputFile(std::string path);
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return target; }
    // Bytes written so far.
    uint64_t size() const { return written; }
    // Appends size bytes; throws like the constructor (a full disk, say).
    void write(const void* data, std::size_t size);
    void write(const std::string& text) { write(text.data(), text.size()); }
    // Overwrites size bytes already written from offset on.
    void writeAt(uint64_t offset, const void* data, std::size_t size);
    // Gives the file the permission bits of the file at `path` (and its owner
    // and group, where this process may), for a file rewritten in place; nothing
    // when there is no file there. Before finish; throws like write.
    void keepPermissionsOf(const std::string& path);
    // Flushes the bytes to the disk and closes the file, so that late write
    // errors are reported here; throws like write.
    void finish();
    // Renames the finished file onto path, replacing what was there.
    void commit();
    // Renames the finished file onto path only where no file (or link) has that
    // name, in one step that no other program can come between: false, and
    // nothing renamed, when one has. Throws like write for other failures.
    [[nodiscard]] bool commitNew();

private:
    friend void commitPair(OutputFile& data, OutputFile& meta);
    [[noreturn]] void fail(int error) const;
    void rename();
    // Renames onto path; what had the name (a file or link) keeps another one,
    // `kept`, until dropKept or putBack.
    void placeKeepingOld();
    void dropKept();
    // Gives path back what it had before placeKeepingOld: the file kept, or nothing.
    void putBack();
    void syncFolder() const;

    std::string target;
    std::string temporary;
    std::string kept;
    int descriptor = -1;
    uint64_t written = 0;
    bool committed = false;
};

// Commits a pair's data file, then its metadata. When the metadata's rename
// fails, the data's name gets back what it had: the file there before, as it
// was, or nothing; so no half pair stays and no file is lost.
void commitPair(OutputFile& data, OutputFile& meta);
