// Fuzz target of MP3 stream creation in the sound layer, on the headless
// layer's silent device. The sound layer opens streams from files only, so
// the input is written to this process's scratch file (in memory-backed
// /dev/shm where there is one) and opened from there. A stream that opens is
// measured, read from at its edges, played through the mixer (and so through
// the rate converter for files not at the device's rate), moved and freed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/common/sound_device.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t DEVICE_FREQUENCY = 44100;  // Hz, the demo's rate
constexpr int MIX_FRAMES = 1024;              // device frames mixed at a time
constexpr int MIX_BUFFERS = 24;               // buffers mixed from each position (about half a second)
constexpr uint32_t READ_BYTES = 4096;         // bytes asked of soundStreamGetData at a time

std::string scratchPath;
volatile uint32_t fuzzSink = 0;  // keeps the reads from being optimised away

[[noreturn]] void broken(const char* what, uint32_t a, uint32_t b)
{
    std::fprintf(stderr, "sound layer: %s (%u, %u)\n", what, a, b);
    std::abort();
}

bool writeScratch(const uint8_t* data, size_t size)
{
    std::FILE* file = std::fopen(scratchPath.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

void removeScratch() { std::remove(scratchPath.c_str()); }

// Reads READ_BYTES from offset; checks the count against the length.
void readAt(uint32_t stream, uint32_t offset, uint32_t length)
{
    std::vector<unsigned char> buffer(READ_BYTES);
    const uint32_t got = soundStreamGetData(stream, offset, buffer.data(), READ_BYTES);
    if (offset > length) {
        if (got != 0 || soundErrorGetCode() != SOUND_ERROR_POSITION) broken("read past the end succeeded", offset, got);
        return;
    }
    const uint32_t expected = length - offset < READ_BYTES ? length - offset : READ_BYTES;
    if (got != expected) broken("read gave another count than the length allows", offset, got);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < got; ++i) sum += buffer[i];
    fuzzSink = fuzzSink + sum;
}

void mixFrom(uint32_t stream, uint32_t bytes)
{
    if (!soundChannelSetPosition(stream, bytes)) broken("seek failed", bytes, 0);
    std::vector<int16_t> out(static_cast<size_t>(MIX_FRAMES) * 2);
    for (int i = 0; i < MIX_BUFFERS; ++i) soundMixOutput(out.data(), MIX_FRAMES);
    const uint32_t position = soundChannelGetPosition(stream);
    if (position > soundStreamGetLength(stream)) broken("play position past the end", position, bytes);
}

void exercise(uint32_t stream)
{
    const uint32_t length = soundStreamGetLength(stream);
    uint32_t frequency = 0;
    if (!soundChannelGetFrequency(stream, &frequency) || frequency == 0) broken("no frequency", frequency, length);
    const uint32_t frameBytes = (soundChannelGetFlags(stream) & SOUND_SAMPLE_MONO) ? 2 : 4;
    if (length == 0 || length % frameBytes != 0) broken("length is not whole frames", length, frameBytes);
    const uint32_t offsets[] = {0, length / 2, length - 1, length, length + 1, UINT32_MAX};
    for (uint32_t offset : offsets) readAt(stream, offset, length);
    if (!soundStreamPlay(stream)) broken("play failed", length, 0);
    mixFrom(stream, 0);
    mixFrom(stream, length / 2 + 1);
    mixFrom(stream, length > 8 ? length - 8 : 0);
    mixFrom(stream, UINT32_MAX);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratchPath = std::string(dir) + "/vantrel-fuzz-mp3-" + std::to_string(getpid()) + ".mp3";
    std::atexit(removeScratch);
    if (!soundInit(-1, DEVICE_FREQUENCY, 0) || !soundStart()) {
        std::fprintf(stderr, "fuzz_mp3: the silent sound device did not open (%d)\n", soundErrorGetCode());
        std::exit(2);
    }
    return 0;
}

// Longest input tried (scripts/fuzz.sh passes it as -max_len): some 30 s of
// music at 160 kbps, plenty for every header and frame form.
constexpr size_t MAX_INPUT_BYTES = 614400;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > MAX_INPUT_BYTES) return 0;
    if (!writeScratch(data, size)) return 0;
    const uint32_t stream = soundStreamCreateFile(scratchPath.c_str());
    if (stream == 0) {
        const int code = soundErrorGetCode();
        if (code != SOUND_ERROR_FORMAT && code != SOUND_ERROR_MEMORY) broken("unexpected failure code", code, 0);
        return 0;
    }
    exercise(stream);
    if (!soundStreamFree(stream)) broken("free failed", stream, 0);
    return 0;
}
