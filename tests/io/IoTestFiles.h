#pragma once
// Small helpers of the reader tests: a scratch directory, byte builders and the
// message of whatever a call throws.

#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stdlib.h>

using Bytes = std::vector<unsigned char>;

class TempDir
{
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvale-io-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        root = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path(const std::string& name) const { return (root / name).string(); }

    std::string write(const std::string& name, const Bytes& bytes) const
    {
        const std::string file = path(name);
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    std::string writeText(const std::string& name, const std::string& text) const
    {
        return write(name, Bytes(text.begin(), text.end()));
    }

private:
    std::filesystem::path root;
};

inline void append(Bytes& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
}

inline void appendLe(Bytes& out, uint64_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        out.push_back(static_cast<unsigned char>(value >> (8 * k)));
}

inline void appendFloat(Bytes& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    appendLe(out, bits, 4);
}

// The what() of the exception call throws, or "<no exception>".
template <typename Call>
std::string thrownMessage(Call&& call)
{
    try {
        call();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "<no exception>";
}
