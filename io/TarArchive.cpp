// Tar headers walked one by one; sizes and names from the header itself, or from
// a pax extended header or GNU long-name entry before it.

#include "io/TarArchive.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace {

// Extended headers are read into memory; real ones are a few hundred bytes.
constexpr uint64_t maxExtendedHeaderBytes = 1 << 20;
constexpr uint64_t maxMemberSize = std::numeric_limits<int64_t>::max();

[[noreturn]] void fail(const std::string& message)
{
    throw std::runtime_error(message);
}

[[noreturn]] void damaged(uint64_t offset, const std::string& what)
{
    fail("SigMF archive is damaged: " + what + " at byte " + std::to_string(offset));
}

// An octal field: leading blanks, digits, then NUL or blank to its end.
std::optional<uint64_t> octalField(const unsigned char* field, std::size_t size)
{
    std::size_t k = 0;
    while (k < size && field[k] == ' ')
        ++k;
    uint64_t value = 0;
    bool digits = false;
    for (; k < size && field[k] >= '0' && field[k] <= '7'; ++k) {
        if (value > (maxMemberSize >> 3))
            return std::nullopt;
        value = value * 8 + (field[k] - '0');
        digits = true;
    }
    for (; k < size; ++k)
        if (field[k] != ' ' && field[k] != '\0')
            return std::nullopt;
    if (!digits)
        return std::nullopt;
    return value;
}

// The size field into size: octal, or GNU's base-256 (first byte 0x80) for large
// members. False when it is neither.
bool sizeField(const unsigned char* block, uint64_t& size)
{
    const unsigned char* field = block + ustar::size.offset;
    if ((field[0] & 0x80) == 0) {
        // An all-NUL size field is written by some archivers for empty members.
        if (std::all_of(field, field + ustar::size.bytes, [](unsigned char c) { return c == 0; })) {
            size = 0;
            return true;
        }
        const std::optional<uint64_t> octal = octalField(field, ustar::size.bytes);
        size = octal.value_or(0);
        return octal.has_value();
    }
    if (field[0] != 0x80)
        return false; // negative, or above any file size
    uint64_t value = 0;
    for (std::size_t k = 1; k < ustar::size.bytes; ++k) {
        if (value > (maxMemberSize >> 8))
            return false;
        value = (value << 8) | field[k];
    }
    size = value;
    return true;
}

std::string textField(const unsigned char* field, std::size_t size)
{
    const auto* begin = reinterpret_cast<const char*>(field);
    return std::string(begin, std::find(begin, begin + size, '\0'));
}

// pax records "<length> <key>=<value>\n": the path and size that override the
// next header's own.
void readPax(const std::vector<char>& data, uint64_t offset, std::optional<std::string>& name,
             bool& haveSize, uint64_t& size)
{
    std::size_t at = 0;
    while (at < data.size()) {
        if (data[at] == '\0')
            break; // padding some writers leave
        std::size_t length = 0;
        std::size_t k = at;
        for (; k < data.size() && data[k] >= '0' && data[k] <= '9' && length <= data.size(); ++k)
            length = length * 10 + static_cast<std::size_t>(data[k] - '0');
        if (k == at || k >= data.size() || data[k] != ' ' || length <= k - at + 1
            || length > data.size() - at || data[at + length - 1] != '\n')
            damaged(offset, "a malformed pax header");
        const std::string_view record(data.data() + k + 1, at + length - 1 - (k + 1));
        const std::size_t equals = record.find('=');
        if (equals == std::string_view::npos)
            damaged(offset, "a malformed pax header");
        const std::string_view key = record.substr(0, equals);
        const std::string_view value = record.substr(equals + 1);
        if (key == "path") {
            name = std::string(value);
        } else if (key == "size") {
            uint64_t number = 0;
            if (value.empty() || value.size() > 19)
                damaged(offset, "a malformed pax size");
            for (char c : value) {
                if (c < '0' || c > '9')
                    damaged(offset, "a malformed pax size");
                number = number * 10 + static_cast<uint64_t>(c - '0');
            }
            if (number > maxMemberSize)
                damaged(offset, "a malformed pax size");
            haveSize = true;
            size = number;
        }
        at += length;
    }
}

std::vector<char> readBody(const InputFile& file, uint64_t offset, uint64_t size)
{
    if (size > maxExtendedHeaderBytes)
        damaged(offset, "an extended header too large to be real");
    std::vector<char> data(static_cast<std::size_t>(size));
    if (file.readAt(offset, data.data(), data.size()) != data.size())
        fail("SigMF archive is truncated: the file ends inside an extended header");
    return data;
}

bool carriesData(unsigned char type)
{
    // Links, devices, directories and FIFOs have no bytes after their header.
    return type < '1' || type > '6';
}

bool isRegularFile(unsigned char type)
{
    return type == '0' || type == '\0' || type == '7';
}

} // namespace

bool isTarHeader(const unsigned char* block)
{
    const std::optional<uint64_t> stored = octalField(block + ustar::checksum.offset, ustar::checksum.bytes);
    if (!stored)
        return false;
    uint64_t unsignedSum = 0;
    int64_t signedSum = 0;
    for (std::size_t k = 0; k < tarBlockBytes; ++k) {
        const bool inChecksum =
            k >= ustar::checksum.offset && k < ustar::checksum.offset + ustar::checksum.bytes;
        const unsigned char byte = inChecksum ? ' ' : block[k];
        unsignedSum += byte;
        signedSum += static_cast<signed char>(byte);
    }
    return *stored == unsignedSum || static_cast<int64_t>(*stored) == signedSum;
}

void forEachTarMember(const InputFile& file, const std::function<bool(const TarMember&)>& visit)
{
    const uint64_t fileSize = file.size();
    std::optional<std::string> longName;
    // GCC warns about a std::optional here that it cannot follow; a flag it can.
    bool haveLongSize = false;
    uint64_t longSize = 0;
    uint64_t offset = 0;
    for (bool first = true;; first = false) {
        unsigned char block[tarBlockBytes];
        const bool whole = offset < fileSize && fileSize - offset >= tarBlockBytes
                           && file.readAt(offset, block, sizeof(block)) == sizeof(block);
        const bool zero = whole && std::all_of(block, block + tarBlockBytes,
                                               [](unsigned char c) { return c == 0; });
        if (first && (!whole || zero || !isTarHeader(block)))
            fail("Not a SigMF archive: the file is not a tar archive");
        if (offset >= fileSize || zero)
            return; // the end, with or without its blocks of zeros
        if (!whole)
            fail("SigMF archive is truncated: the file ends inside a tar header at byte "
                 + std::to_string(offset));
        if (!isTarHeader(block))
            damaged(offset, "no valid tar header");

        const unsigned char type = block[ustar::type.offset];
        // pax and GNU entries describe the entry that follows them.
        const bool extension = type == 'x' || type == 'g' || type == 'L' || type == 'K';
        uint64_t size = 0;
        if (haveLongSize && !extension) {
            size = longSize;
            haveLongSize = false;
        } else if (!sizeField(block, size)) {
            damaged(offset, "an invalid member size");
        }
        const uint64_t dataOffset = offset + tarBlockBytes;
        const uint64_t length = carriesData(type) ? size : 0;
        std::string name = longName ? *longName : textField(block + ustar::name.offset, ustar::name.bytes);
        if (!longName && std::memcmp(block + ustar::magic.offset, "ustar\0", ustar::magic.bytes) == 0
            && block[ustar::prefix.offset] != '\0')
            name = textField(block + ustar::prefix.offset, ustar::prefix.bytes) + "/" + name;
        if (length > fileSize - std::min(fileSize, dataOffset)) {
            const uint64_t present = fileSize - std::min(fileSize, dataOffset);
            fail("SigMF archive is truncated: \"" + name + "\" should hold "
                 + std::to_string(length) + " bytes, but the file ends after "
                 + std::to_string(present) + " of them");
        }

        if (type == 'x') {
            readPax(readBody(file, dataOffset, length), offset, longName, haveLongSize, longSize);
        } else if (type == 'L') {
            const std::vector<char> body = readBody(file, dataOffset, length);
            longName = std::string(body.begin(), std::find(body.begin(), body.end(), '\0'));
        } else if (!extension) {
            if (isRegularFile(type) && !visit(TarMember{name, dataOffset, length}))
                return;
            longName.reset();
        }
        const uint64_t padded = length + (tarBlockBytes - length % tarBlockBytes) % tarBlockBytes;
        offset = dataOffset + padded;
    }
}
