// libFuzzer entry point for fuzzDatatype.

#include "tests/fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzDatatype(data, size);
    return 0;
}
