// Fuzz target of the ASE reader: the input is a whole file, read from memory.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_ase_common.h"

// Longest input tried (scripts/fuzz.sh passes it as -max_len); longer ones are
// skipped, so a replayed file is held to the same size as a generated one.
constexpr size_t MAX_INPUT_BYTES = 1048576;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > MAX_INPUT_BYTES) return 0;
    aseFuzzLoad(reinterpret_cast<const char*>(data), size);
    return 0;
}
