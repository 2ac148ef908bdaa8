#pragma once
// Test helper: the fsync calls of the code under test, seen as they happen. The
// test executable's own fsync stands before the C library's; while a SyncHook
// lives, each call is shown to it first (a regular file's or a folder's), so a
// test can act at that moment as another process could, or note what a folder
// held when it was synced.

#include <functional>

class SyncHook
{
public:
    using Observer = std::function<void(int descriptor)>;
    explicit SyncHook(Observer observer);
    ~SyncHook();
    SyncHook(const SyncHook&) = delete;
    SyncHook& operator=(const SyncHook&) = delete;
};
