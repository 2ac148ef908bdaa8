// libFuzzer entry point for fuzzWav.

#include "tests/fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzWav(data, size);
    return 0;
}
