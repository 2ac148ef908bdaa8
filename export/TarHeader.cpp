// ustar fields in octal, their checksum, and pax "<length> <key>=<value>\n"
// records for what the fields cannot hold.

#include "export/TarHeader.h"

#include "io/TarLayout.h"

#include <algorithm>
#include <cstring>

namespace {

// The checksum's six digits are followed by a NUL and a blank.
constexpr std::size_t checksumDigits = ustar::checksum.bytes - 2;
constexpr uint64_t maxOctalSize = (uint64_t(1) << (3 * (ustar::size.bytes - 1))) - 1;
constexpr uint64_t fileMode = 0644;

// An octal number filling the field but its last byte, which is NUL.
void putOctal(unsigned char* block, TarField field, uint64_t value, std::size_t digits = 0)
{
    if (digits == 0)
        digits = field.bytes - 1;
    unsigned char* out = block + field.offset;
    for (std::size_t k = 0; k < digits; ++k)
        out[digits - 1 - k] = static_cast<unsigned char>('0' + ((value >> (3 * k)) & 7));
    out[digits] = '\0';
}

// One ustar header block; name is cut to the field's 100 bytes.
std::vector<unsigned char> headerBlock(const std::string& name, uint64_t size, int64_t modified,
                                       char type)
{
    std::vector<unsigned char> block(tarBlockBytes, 0);
    std::memcpy(block.data() + ustar::name.offset, name.data(), std::min(name.size(), ustar::name.bytes));
    putOctal(block.data(), ustar::mode, fileMode);
    putOctal(block.data(), ustar::owner, 0);
    putOctal(block.data(), ustar::group, 0);
    putOctal(block.data(), ustar::size, std::min(size, maxOctalSize));
    putOctal(block.data(), ustar::modified,
             static_cast<uint64_t>(std::clamp<int64_t>(modified, 0, int64_t(maxOctalSize))));
    block[ustar::type.offset] = static_cast<unsigned char>(type);
    std::memcpy(block.data() + ustar::magic.offset, "ustar\0", ustar::magic.bytes);
    std::memcpy(block.data() + ustar::version.offset, "00", ustar::version.bytes);
    // The checksum counts its own field as blanks.
    std::memset(block.data() + ustar::checksum.offset, ' ', ustar::checksum.bytes);
    uint64_t sum = 0;
    for (unsigned char byte : block)
        sum += byte;
    putOctal(block.data(), ustar::checksum, sum, checksumDigits);
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
    if (name.size() > ustar::name.bytes)
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
