#pragma once
// Small helpers of the reader tests: a scratch directory, byte builders and the
// message of whatever a call throws.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// The whole file as text (empty when it cannot be read).
inline std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

// One entry of a tar archive built by tarArchive: a regular file ('0'), a
// directory ('5') or a pax header ('x'); declaredSize, when given, is what the
// header claims instead of the data's real size.
struct TarEntry
{
    std::string name;
    Bytes data;
    char type = '0';
    int64_t declaredSize = -1;
};

inline void putOctal(Bytes& header, std::size_t offset, std::size_t digits, uint64_t value)
{
    for (std::size_t k = 0; k < digits; ++k)
        header[offset + digits - 1 - k] = static_cast<unsigned char>('0' + ((value >> (3 * k)) & 7));
}

// A POSIX ustar archive of entries, each padded to 512 bytes, and its end blocks.
inline Bytes tarArchive(const std::vector<TarEntry>& entries)
{
    Bytes out;
    for (const TarEntry& entry : entries) {
        Bytes header(512, 0);
        std::memcpy(header.data(), entry.name.data(), std::min<std::size_t>(entry.name.size(), 100));
        putOctal(header, 100, 7, 0644);
        putOctal(header, 108, 7, 0);
        putOctal(header, 116, 7, 0);
        putOctal(header, 124, 11,
                 entry.declaredSize >= 0 ? uint64_t(entry.declaredSize) : entry.data.size());
        putOctal(header, 136, 11, 0);
        header[156] = static_cast<unsigned char>(entry.type);
        std::memcpy(header.data() + 257, "ustar\0" "00", 8);
        std::memset(header.data() + 148, ' ', 8);
        unsigned sum = 0;
        for (unsigned char byte : header)
            sum += byte;
        putOctal(header, 148, 6, sum);
        header[154] = 0;
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), entry.data.begin(), entry.data.end());
        out.resize(out.size() + (512 - entry.data.size() % 512) % 512, 0);
    }
    out.resize(out.size() + 1024, 0);
    return out;
}
