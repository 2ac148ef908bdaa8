// libFuzzer entry point for fuzzSigmf.

#include "tests/fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzSigmf(data, size);
    return 0;
}
