#pragma once
// The folder summary cache files live in: a file's name from its key, and a cap
// on the files' total size kept by removing the least recently used first.

#include <cstdint>
#include <string>

class SummaryFolder
{
public:
    // Files in `path` (made when first written to), at most capBytes in all.
    SummaryFolder(std::string path, uint64_t capBytes);

    const std::string& path() const { return folder; }
    uint64_t cap() const { return capBytes; }
    // Where the file holding `key` goes: a name made of a hash of the key (the
    // file's header holds the key itself, which decides).
    std::string pathFor(const std::string& key) const;
    // Makes room for a file of `bytes`: the least recently used cache files (by
    // modification time) are removed until the rest and the new one are within
    // the cap, with temporary files left by a writer that stopped long ago.
    // False when the cap is smaller than `bytes` or the folder cannot be made.
    bool makeRoom(uint64_t bytes) const;
    // Marks a file used now, so that it is removed after the others.
    void touch(const std::string& file) const;
    // Bytes of the cache files in the folder.
    uint64_t totalBytes() const;

private:
    std::string folder;
    uint64_t capBytes;
};
