#pragma once
// A folder of its own for the tests' cache files, removed with everything in it.

#include <filesystem>
#include <random>
#include <string>

class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        std::random_device seed;
        folder = std::filesystem::temp_directory_path() / ("norvale-summary-test-" + std::to_string(seed()));
        std::filesystem::create_directories(folder);
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string path() const { return folder.string(); }
    std::string file(const std::string& name) const { return (folder / name).string(); }

private:
    std::filesystem::path folder;
};
