// Fuzz target of the TGA loader: the input is a whole file. It is loaded from
// memory and, written to a scratch file, from the file; both ways must give
// the same result code and, when they load, upload the same pixels.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/tga.h"
#include "fuzz/gl_stub.h"

namespace {

constexpr unsigned FUZZ_TEXTURE_NAME = 7;  // any name: the stand-ins only record it

std::string scratchPath;  // this process's scratch file, in memory-backed /dev/shm where there is one

bool writeScratch(const uint8_t* data, size_t size)
{
    std::FILE* file = std::fopen(scratchPath.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

[[noreturn]] void mismatch(const char* what, int fromMemory, int fromFile)
{
    std::fprintf(stderr, "TGA loader: %s (memory %d, file %d)\n", what, fromMemory, fromFile);
    std::abort();
}

void removeScratch() { std::remove(scratchPath.c_str()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratchPath = std::string(dir) + "/vantrel-fuzz-tga-" + std::to_string(getpid()) + ".tga";
    std::atexit(removeScratch);
    return 0;
}

// Longest input tried (scripts/fuzz.sh passes it as -max_len): the largest
// image the loader takes, 512 x 512 at 32 bits, with room to spare.
constexpr size_t MAX_INPUT_BYTES = 1114112;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > MAX_INPUT_BYTES) return 0;
    stubReset();
    const int fromMemory = loadTgaTextureFromMemory(data, size, FUZZ_TEXTURE_NAME);
    const int memoryUploads = stubUploadCount;
    const StubUpload memoryUpload = stubLastUpload;
    if ((fromMemory == TGA_OK) != (memoryUploads == 1)) mismatch("upload count does not match the result", fromMemory, 0);
    if (fromMemory == TGA_OK && memoryUpload.texture != FUZZ_TEXTURE_NAME)
        mismatch("uploaded under another texture name", fromMemory, 0);

    if (!writeScratch(data, size)) return 0;
    stubReset();
    const int fromFile = loadTgaTexture(scratchPath.c_str(), FUZZ_TEXTURE_NAME);
    if (fromFile != fromMemory) mismatch("file and memory loads disagree", fromMemory, fromFile);
    if (stubUploadCount != memoryUploads) mismatch("file and memory loads upload differently", fromMemory, fromFile);
    if (fromFile == TGA_OK &&
        (stubLastUpload.width != memoryUpload.width || stubLastUpload.height != memoryUpload.height ||
         stubLastUpload.format != memoryUpload.format || stubLastUpload.checksum != memoryUpload.checksum))
        mismatch("file and memory loads upload different pixels", fromMemory, fromFile);
    return 0;
}
