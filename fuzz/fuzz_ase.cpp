// Fuzz target of the ASE reader: the input is a whole file, read from memory.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_ase_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    aseFuzzLoad(reinterpret_cast<const char*>(data), size);
    return 0;
}
