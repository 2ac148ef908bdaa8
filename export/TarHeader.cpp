// ustar fields in octal, their checksum, and pax "<length> <key>=<value>\n"
// records for what the fields cannot hold.

#include "export/TarHeader.h"

#include "io/TarArchive.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t nameBytes = 100;
constexpr std::size_t modeOffset = 100;
constexpr std::size_t ownerOffset = 108;
constexpr std::size_t groupOffset = 116;
constexpr std::size_t sizeOffset = 124;
constexpr std::size_t timeOffset = 136;
constexpr std::size_t checksumOffset = 148;
constexpr std::size_t typeOffset = 156;
constexpr std::size_t magicOffset = 257;
constexpr std::size_t numberDigits = 7;   // mode, owner, group
constexpr std::size_t longDigits = 11;    // size, time
constexpr std::size_t checksumDigits = 6;
constexpr uint64_t maxOctalSize = (uint64_t(1) << (3 * longDigits)) - 1;
constexpr uint64_t fileMode = 0644;

void putOctal(unsigned char* field, std::size_t digits, uint64_t value)
{
    for (std::size_t k = 0; k < digits; ++k)
        field[digits - 1 - k] = static_cast<unsigned char>('0' + ((value >> (3 * k)) & 7));
    field[digits] = '\0';
}

// One ustar header block; name is cut to the field's 100 bytes.
std::vector<unsigned char> headerBlock(const std::string& name, uint64_t size, int64_t modified,
                                       char type)
{
    std::vector<unsigned char> block(tarBlockBytes, 0);
    std::memcpy(block.data(), name.data(), std::min(name.size(), nameBytes));
    putOctal(block.data() + modeOffset, numberDigits, fileMode);
    putOctal(block.data() + ownerOffset, numberDigits, 0);
    putOctal(block.data() + groupOffset, numberDigits, 0);
    putOctal(block.data() + sizeOffset, longDigits, std::min(size, maxOctalSize));
    putOctal(block.data() + timeOffset, longDigits,
             static_cast<uint64_t>(std::clamp<int64_t>(modified, 0, int64_t(maxOctalSize))));
    block[typeOffset] = static_cast<unsigned char>(type);
    std::memcpy(block.data() + magicOffset, "ustar\0" "00", 8);
    // The checksum counts its own field as blanks.
    std::memset(block.data() + checksumOffset, ' ', 8);
    uint64_t sum = 0;
    for (unsigned char byte : block)
        sum += byte;
    putOctal(block.data() + checksumOffset, checksumDigits, sum);
    return block;
}

// "<length> key=value\n", length counting its own digits.
std::string paxRecord(const std::string& key, const std::string& value)
{
    const std::size_t body = 1 + key.size() + 1 + value.size() + 1;
    std::size_t length = body + 1;
    while (std::to_string(length).size() + body != length)
        ++length;
    return std::to_string(length) + " " + key + "=" + value + "\n";
}

} // namespace

std::vector<unsigned char> tarFileHeader(const std::string& name, uint64_t size,
                                         int64_t modifiedSeconds)
{
    std::string pax;
    if (name.size() > nameBytes)
        pax += paxRecord("path", name);
    if (size > maxOctalSize)
        pax += paxRecord("size", std::to_string(size));
    std::vector<unsigned char> out;
    if (!pax.empty()) {
        out = headerBlock("PaxHeader", pax.size(), modifiedSeconds, 'x');
        out.insert(out.end(), pax.begin(), pax.end());
        out.resize(out.size() + tarPadding(pax.size()), 0);
    }
    const std::vector<unsigned char> own = headerBlock(name, size, modifiedSeconds, '0');
    out.insert(out.end(), own.begin(), own.end());
    return out;
}

std::size_t tarPadding(uint64_t size)
{
    return static_cast<std::size_t>((tarBlockBytes - size % tarBlockBytes) % tarBlockBytes);
}
