// libFuzzer entry point for fuzzRawReader.

#include "tests/fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzRawReader(data, size);
    return 0;
}
