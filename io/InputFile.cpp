// See InputFile.h.

#include "io/InputFile.h"

#include <filesystem>

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
