// Every committed fuzz input (seed corpus and the inputs that once crashed a
// reader) replayed through its target: none may abort or trip a sanitizer.

#include "tests/fuzz/FuzzTargets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using Target = void (*)(const uint8_t*, size_t);

size_t replayFolder(const std::filesystem::path& folder, Target target)
{
    size_t count = 0;
    if (!std::filesystem::is_directory(folder))
        return 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++count;
    }
    return count;
}

void replay(const char* name, Target target)
{
    const std::filesystem::path root(NORVALE_FUZZ_DIR);
    const size_t seeds = replayFolder(root / "corpus" / name, target);
    replayFolder(root / "crashes" / name, target);
    EXPECT_GT(seeds, 0u) << "no seed corpus for " << name;
}

} // namespace

TEST(FuzzCorpusReplay, Datatype) { replay("datatype", fuzzDatatype); }
TEST(FuzzCorpusReplay, RawReader) { replay("raw", fuzzRawReader); }
TEST(FuzzCorpusReplay, Wav) { replay("wav", fuzzWav); }
TEST(FuzzCorpusReplay, Sigmf) { replay("sigmf", fuzzSigmf); }
TEST(FuzzCorpusReplay, SigmfArchive) { replay("sigmf_archive", fuzzSigmfArchive); }
