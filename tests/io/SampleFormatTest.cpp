// Datatype parsing, per-value decoding, the specialised chunk decoders and
// readBinarySamples' file checks.

#include "io/MemoryCheck.h"
#include "io/SampleFormat.h"
#include "tests/io/IoTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

namespace {

struct ParseRow
{
    std::string datatype;
    bool complex;
    char kind;
    int bitDepth;
    bool littleEndian;
    int sampleSize;
};

TEST(ParseSampleFormat, AcceptedStrings)
{
    const ParseRow rows[] = {
        {"cf32_le", true, 'f', 32, true, 8},  {"ri16_be", false, 'i', 16, false, 2},
        {"cu8_le", true, 'u', 8, true, 2},    {"ru8_be", false, 'u', 8, false, 1},
        {"rf64_le", false, 'f', 64, true, 8}, {"ci64_be", true, 'i', 64, false, 16},
        // The kind is only checked when a value is decoded; 16-bit floats parse.
        {"cx16_le", true, 'x', 16, true, 4},  {"cf16_le", true, 'f', 16, true, 4},
        // std::stoi stops at the first non-digit and accepts blanks and a sign.
        {"ci16x_le", true, 'i', 16, true, 4}, {"ci +32_be", true, 'i', 32, false, 8},
    };
    for (const ParseRow& row : rows) {
        SCOPED_TRACE(row.datatype);
        const SampleFormat format = parseSampleFormat(row.datatype);
        EXPECT_EQ(format.complex, row.complex);
        EXPECT_EQ(format.kind, row.kind);
        EXPECT_EQ(format.bitDepth, row.bitDepth);
        EXPECT_EQ(format.littleEndian, row.littleEndian);
        EXPECT_EQ(format.bytesPerValue, row.bitDepth / 8);
        EXPECT_EQ(format.valuesPerSample, row.complex ? 2 : 1);
        EXPECT_EQ(format.sampleSize, row.sampleSize);
    }
}

TEST(ParseSampleFormat, MessagesInOrderOfChecks)
{
    const std::pair<std::string, std::string> rows[] = {
        {"ci8", "Invalid datatype string"},
        {"ci8_", "Invalid datatype string"},
        {"", "Invalid datatype string"},
        {"xi16_le", "Datatype must start with 'c' or 'r'"},
        {"xi12_LE", "Datatype must start with 'c' or 'r'"},
        {"ci16le", "Invalid datatype format - missing underscore"},
        {"ci12_le", "Unsupported bit depth: 12"},
        {"ci12_LE", "Unsupported bit depth: 12"},
        {"ci-8_le", "Unsupported bit depth: -8"},
        {"ci0_le", "Unsupported bit depth: 0"},
        {"ci16_LE", "Invalid endianness: LE"},
        {"ci16_le_", "Invalid endianness: le_"},
        {"ci16_", "Invalid endianness: "},
        // An underscore in the kind's place: the depth field runs to the end.
        {"c_16le", "Invalid endianness: 16le"},
    };
    for (const auto& [datatype, message] : rows) {
        SCOPED_TRACE(datatype);
        EXPECT_EQ(thrownMessage([&datatype = datatype] { parseSampleFormat(datatype); }), message);
        EXPECT_THROW(parseSampleFormat(datatype), std::runtime_error);
    }
}

TEST(ParseSampleFormat, BitDepthConversionErrorPassesThrough)
{
    EXPECT_THROW(parseSampleFormat("ci_le"), std::invalid_argument);
    EXPECT_THROW(parseSampleFormat("cixx_le"), std::invalid_argument);
    EXPECT_THROW(parseSampleFormat("ci99999999999_le"), std::out_of_range);
    EXPECT_EQ(thrownMessage([] { parseSampleFormat("ci_le"); }), "stoi");
    EXPECT_EQ(thrownMessage([] { parseSampleFormat("ci99999999999_le"); }), "stoi");
}

struct DecodeRow
{
    Bytes bytes;
    char kind;
    int bitDepth;
    bool littleEndian;
    double expected;
};

uint64_t bitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

TEST(DecodeValue, EveryKindDepthAndByteOrder)
{
    const double inf = std::numeric_limits<double>::infinity();
    const DecodeRow rows[] = {
        {{0xFF}, 'i', 8, true, -1.0},
        {{0x80}, 'i', 8, false, -128.0},
        {{0x7F}, 'i', 8, true, 127.0},
        {{0xFF}, 'u', 8, false, 255.0},
        {{0x00}, 'u', 8, true, 0.0},
        {{0x01, 0x02}, 'i', 16, true, 513.0},
        {{0x01, 0x02}, 'i', 16, false, 258.0},
        {{0xFF, 0xFE}, 'i', 16, false, -2.0},
        {{0x00, 0x80}, 'i', 16, true, -32768.0},
        {{0xFF, 0xFE}, 'u', 16, false, 65534.0},
        {{0xFF, 0xFE}, 'u', 16, true, 65279.0},
        {{0x00, 0x00, 0x00, 0x80}, 'i', 32, true, -2147483648.0},
        {{0x80, 0x00, 0x00, 0x00}, 'i', 32, false, -2147483648.0},
        {{0x12, 0x34, 0x56, 0x78}, 'i', 32, false, 305419896.0},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 'u', 32, true, 4294967295.0},
        {{0x01, 0x00, 0x00, 0x80}, 'u', 32, false, 16777344.0},
        {{0, 0, 0, 0, 0, 0, 0, 0x80}, 'i', 64, true, -9223372036854775808.0},
        {{0x80, 0, 0, 0, 0, 0, 0, 0}, 'i', 64, false, -9223372036854775808.0},
        {{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 'i', 64, false, 9223372036854775808.0},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 'i', 64, true, -1.0},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 'u', 64, true, 18446744073709551616.0},
        // 2^53 + 1 rounds to the even neighbour 2^53.
        {{0x01, 0, 0, 0, 0, 0, 0x20, 0}, 'u', 64, true, 9007199254740992.0},
        {{0, 0x20, 0, 0, 0, 0, 0, 0x03}, 'i', 64, false, 9007199254740996.0},
        {{0x00, 0x00, 0x80, 0x3F}, 'f', 32, true, 1.0},
        {{0x3F, 0x80, 0x00, 0x00}, 'f', 32, false, 1.0},
        {{0xBF, 0x00, 0x00, 0x00}, 'f', 32, false, -0.5},
        {{0x80, 0x00, 0x00, 0x00}, 'f', 32, false, -0.0},
        {{0x00, 0x00, 0x80, 0x7F}, 'f', 32, true, inf},
        {{0xFF, 0x80, 0x00, 0x00}, 'f', 32, false, -inf},
        {{0x01, 0x00, 0x00, 0x00}, 'f', 32, true, 1.401298464324817e-45},
        {{0xCD, 0xCC, 0xCC, 0x3D}, 'f', 32, true, static_cast<double>(0.1f)},
        {{0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}, 'f', 64, true, 0.1},
        {{0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}, 'f', 64, false, 0.1},
        {{0, 0, 0, 0, 0, 0, 0, 0x80}, 'f', 64, true, -0.0},
        {{0xFF, 0xF0, 0, 0, 0, 0, 0, 0}, 'f', 64, false, -inf},
        {{0x7F, 0xEF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 'f', 64, false,
         std::numeric_limits<double>::max()},
    };
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.kind << row.bitDepth << (row.littleEndian ? "_le" : "_be")
                                        << " expecting " << row.expected);
        const double value = decodeValue(row.bytes.data(), row.kind, row.bitDepth, row.littleEndian);
        EXPECT_EQ(bitsOf(value), bitsOf(row.expected));
    }
}

TEST(DecodeValue, NotANumberStaysNotANumber)
{
    const Bytes single = {0x7F, 0xC0, 0x00, 0x01};
    const Bytes negativeDouble = {0x01, 0, 0, 0, 0, 0, 0xF8, 0xFF};
    EXPECT_TRUE(std::isnan(decodeValue(single.data(), 'f', 32, false)));
    const double value = decodeValue(negativeDouble.data(), 'f', 64, true);
    EXPECT_TRUE(std::isnan(value));
    EXPECT_TRUE(std::signbit(value));
}

TEST(DecodeValue, UndecodableKindsAndDepths)
{
    const unsigned char bytes[8] = {};
    const struct
    {
        char kind;
        int bitDepth;
        std::string message;
    } rows[] = {
        {'f', 8, "Unsupported datatype"},
        {'f', 16, "Unsupported datatype"},
        {'x', 32, "Unsupported datatype"},
        {'F', 32, "Unsupported datatype"},
        {'i', 12, "Unsupported bit depth for signed int"},
        {'u', 24, "Unsupported bit depth for unsigned int"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.kind << row.bitDepth);
        EXPECT_EQ(thrownMessage([&] { decodeValue(bytes, row.kind, row.bitDepth, true); }),
                  row.message);
    }
    EXPECT_EQ(thrownMessage([&] { decodeSigned(bytes, 48, false); }),
              "Unsupported bit depth for signed int");
    EXPECT_EQ(thrownMessage([&] { decodeUnsigned(bytes, 0, true); }),
              "Unsupported bit depth for unsigned int");
}

// Every datatype that decodes: {c,r} x {f32,f64,i8..i64,u8..u64} x {le,be}.
std::vector<std::string> decodableDatatypes()
{
    std::vector<std::string> names;
    for (const char* shape : {"c", "r"})
        for (const char* value : {"f32", "f64", "i8", "i16", "i32", "i64", "u8", "u16", "u32", "u64"})
            for (const char* order : {"_le", "_be"})
                names.push_back(std::string(shape) + value + order);
    return names;
}

// The literal definition: each value through decodeValue at its offset.
void referenceDecode(const Bytes& bytes, const SampleFormat& format, std::vector<double>& i,
                     std::vector<double>& q)
{
    const std::size_t count = bytes.size() / format.sampleSize;
    i.assign(count, 0.0);
    q.assign(count, 0.0);
    for (std::size_t k = 0; k < count; ++k) {
        const unsigned char* sample = bytes.data() + k * format.sampleSize;
        i[k] = decodeValue(sample, format.kind, format.bitDepth, format.littleEndian);
        q[k] = format.complex ? decodeValue(sample + format.bytesPerValue, format.kind,
                                            format.bitDepth, format.littleEndian)
                              : 0.0;
    }
}

void expectSameBits(const std::vector<double>& actual, const std::vector<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t k = 0; k < actual.size(); ++k)
        if (bitsOf(actual[k]) != bitsOf(expected[k]))
            FAIL() << "value " << k << ": " << actual[k] << " instead of " << expected[k];
}

Bytes randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (unsigned char& byte : bytes)
        byte = static_cast<unsigned char>(generator());
    return bytes;
}

TEST(ChunkDecoder, BitIdenticalToDecodeValue)
{
    unsigned seed = 1;
    for (const std::string& datatype : decodableDatatypes()) {
        SCOPED_TRACE(datatype);
        const SampleFormat format = parseSampleFormat(datatype);
        // Random bytes cover NaNs with payloads, infinities, subnormals and both signs.
        const Bytes bytes = randomBytes(4096 * format.sampleSize, seed++);
        std::vector<double> expectedI, expectedQ;
        referenceDecode(bytes, format, expectedI, expectedQ);
        const std::size_t count = expectedI.size();
        std::vector<double> i(count, -7.0), q(count, -7.0);
        const ChunkDecoder decode = chunkDecoderFor(format);
        ASSERT_NE(decode, nullptr);
        decode(bytes.data(), count, i.data(), q.data());
        expectSameBits(i, expectedI);
        expectSameBits(q, expectedQ);
    }
    for (const char* undecodable : {"cf16_le", "rf8_be", "cx32_le"})
        EXPECT_EQ(chunkDecoderFor(parseSampleFormat(undecodable)), nullptr) << undecodable;
}

TEST(ReadBinarySamples, FilesSpanningSeveralChunksMatchTheLiteralDecoding)
{
    TempDir dir;
    unsigned seed = 100;
    for (const std::string& datatype : decodableDatatypes()) {
        SCOPED_TRACE(datatype);
        const SampleFormat format = parseSampleFormat(datatype);
        // Three full 8192-byte chunks and a partial fourth.
        const std::size_t count = 3 * (8192 / format.sampleSize) + 5;
        const Bytes bytes = randomBytes(count * format.sampleSize, seed++);
        const std::string path = dir.write(datatype, bytes);
        std::vector<double> expectedI, expectedQ;
        referenceDecode(bytes, format, expectedI, expectedQ);
        // Leftovers of a longer earlier use are overwritten or dropped.
        std::vector<double> i(count + 9, 5.0), q(3, 5.0);
        EXPECT_EQ(readBinarySamples(path, datatype, i, q), static_cast<int32_t>(count));
        expectSameBits(i, expectedI);
        expectSameBits(q, expectedQ);
    }
}

TEST(ReadBinarySamples, SmallHandBuiltFiles)
{
    TempDir dir;
    Bytes singles;
    for (float value : {1.0f, -1.0f, 0.5f, 2.0f})
        appendFloat(singles, value);
    const struct
    {
        Bytes bytes;
        std::string datatype;
        std::vector<double> i, q;
    } rows[] = {
        {singles, "cf32_le", {1.0, 0.5}, {-1.0, 2.0}},
        {{0x01, 0x02, 0xFF, 0xFE}, "ri16_be", {258.0, -2.0}, {0.0, 0.0}},
        {{0xFF, 0x00}, "cu8_le", {255.0}, {0.0}},
        {{0xFF, 0x80}, "ci8_le", {-1.0}, {-128.0}},
        {{0xFF, 0x80}, "ru8_be", {255.0, 128.0}, {0.0, 0.0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.datatype);
        const std::string path = dir.write("small", row.bytes);
        std::vector<double> i, q;
        EXPECT_EQ(readBinarySamples(path, row.datatype, i, q), static_cast<int32_t>(row.i.size()));
        EXPECT_EQ(i, row.i);
        EXPECT_EQ(q, row.q);
    }
}

TEST(ReadBinarySamples, FileChecksComeBeforeDatatypeChecks)
{
    TempDir dir;
    const std::string missing = dir.path("missing.bin");
    const std::string empty = dir.write("empty.bin", {});
    const std::string four = dir.write("four.bin", {1, 2, 3, 4});
    const std::string seven = dir.write("seven.bin", {1, 2, 3, 4, 5, 6, 7});
    const struct
    {
        std::string path;
        std::string datatype;
        std::string message;
    } rows[] = {
        {missing, "bogus", "Cannot open \"" + missing + "\": No such file or directory"},
        {missing, "cf32_le", "Cannot open \"" + missing + "\": No such file or directory"},
        {dir.path(""), "cf32_le", "Cannot open \"" + dir.path("") + "\": it is a folder"},
        {empty, "bogus", "File is empty or invalid"},
        {empty, "ci8_le", "File is empty or invalid"},
        {four, "ci8", "Invalid datatype string"},
        {four, "xi16_le", "Datatype must start with 'c' or 'r'"},
        {seven, "ci12_le", "Unsupported bit depth: 12"},
        {seven, "ci_le", "stoi"},
        {seven, "ci16_le", "File size is not a multiple of sample size"},
        {seven, "cf16_le", "File size is not a multiple of sample size"},
        {four, "cf16_le", "Unsupported datatype"},
        {four, "rq8_le", "Unsupported datatype"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path + " " + row.datatype);
        std::vector<double> i, q;
        EXPECT_EQ(thrownMessage([&] { readBinarySamples(row.path, row.datatype, i, q); }),
                  row.message);
    }
}

// Points the memory check at a made-up /proc/meminfo for one test.
class FakeMeminfo
{
public:
    FakeMeminfo(const TempDir& dir, const std::string& text)
    {
        setMeminfoPath(dir.writeText("meminfo", text));
    }
    ~FakeMeminfo() { setMeminfoPath(""); }
};

std::string sparseFile(const TempDir& dir, const std::string& name, uint64_t size)
{
    const std::string path = dir.write(name, {});
    std::filesystem::resize_file(path, size);
    return path;
}

TEST(ReadBinarySamples, CountLimitIsCheckedBeforeAnyAllocation)
{
    TempDir dir;
    const std::string oneTooMany = sparseFile(dir, "big.bin", 8000000008ULL);
    std::vector<double> i, q;
    EXPECT_EQ(thrownMessage([&] { readBinarySamples(oneTooMany, "rf64_le", i, q); }),
              "File too large or invalid datatype specified");
    EXPECT_EQ(i.capacity(), 0u);
    EXPECT_EQ(q.capacity(), 0u);
    const std::string twoBillionBytes = sparseFile(dir, "bytes.bin", 2000000000ULL);
    EXPECT_EQ(thrownMessage([&] { readBinarySamples(twoBillionBytes, "ru8_le", i, q); }),
              "File too large or invalid datatype specified");

    // Exactly 1,000,000,000 samples pass the limit and reach the memory check.
    const std::string limit = sparseFile(dir, "limit.bin", 8000000000ULL);
    FakeMeminfo meminfo(dir, "MemTotal:  2048 kB\nMemAvailable:    1048576 kB\n");
    EXPECT_EQ(thrownMessage([&] { readBinarySamples(limit, "rf64_le", i, q); }),
              "Not enough memory to load 1000000000 samples: they need 16000000000 bytes, "
              "but only 1073741824 bytes are available");
    EXPECT_EQ(i.capacity(), 0u);
}

TEST(MemoryCheck, ReadsMemAvailableAndGoesAheadWhenUnknown)
{
    TempDir dir;
    const std::string path = dir.write("samples.bin", Bytes(1024, 0));
    std::vector<double> i, q;
    {
        FakeMeminfo meminfo(dir, "MemFree: 1 kB\nMemAvailable: 16 kB\n");
        EXPECT_EQ(availableMemoryBytes(), 16384u);
        EXPECT_EQ(readBinarySamples(path, "ru8_le", i, q), 1024);
        EXPECT_EQ(thrownMessage([&] { readBinarySamples(path, "ri8_le", i, q); }),
                  "<no exception>");
    }
    {
        FakeMeminfo meminfo(dir, "MemAvailable: 15 kB\n");
        std::vector<double> fresh;
        EXPECT_EQ(thrownMessage([&] { readBinarySamples(path, "ru8_le", fresh, fresh); }),
                  "Not enough memory to load 1024 samples: they need 16384 bytes, but only "
                  "15360 bytes are available");
    }
    for (const std::string text : {"MemTotal: 4 kB\n", "", "MemAvailable: lots\n"}) {
        FakeMeminfo meminfo(dir, text);
        EXPECT_EQ(availableMemoryBytes(), std::numeric_limits<uint64_t>::max()) << text;
        EXPECT_EQ(readBinarySamples(path, "ru8_le", i, q), 1024) << text;
    }
    setMeminfoPath(dir.path("no-such-meminfo"));
    EXPECT_EQ(availableMemoryBytes(), std::numeric_limits<uint64_t>::max());
    setMeminfoPath("");
}

TEST(MemoryCheck, CountsTheWorkingShareOfEverySample)
{
    TempDir dir;
    const std::string path = dir.write("samples.bin", Bytes(1024, 0));
    std::vector<double> i, q;
    setWorkingBytesPerSample(100);
    {
        // 1024 samples of 16 + 100 bytes: 118784 bytes, exactly 116 kB.
        FakeMeminfo meminfo(dir, "MemAvailable: 116 kB\n");
        EXPECT_EQ(readBinarySamples(path, "ru8_le", i, q), 1024);
    }
    {
        FakeMeminfo meminfo(dir, "MemAvailable: 115 kB\n");
        std::vector<double> fresh;
        EXPECT_EQ(thrownMessage([&] { readBinarySamples(path, "ru8_le", fresh, fresh); }),
                  "Not enough memory to load 1024 samples: they need 118784 bytes, but only "
                  "117760 bytes are available");
        EXPECT_EQ(fresh.capacity(), 0u);
    }
    setWorkingBytesPerSample(0);
}

} // namespace
