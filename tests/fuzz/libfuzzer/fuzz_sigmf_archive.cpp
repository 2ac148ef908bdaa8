// libFuzzer entry point for fuzzSigmfArchive.

#include "tests/fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzSigmfArchive(data, size);
    return 0;
}
