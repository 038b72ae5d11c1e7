// The sound layer shared by both platform variants: one output device (opened
// by the variant, see sound_device.h) and one MP3 stream at a time.
//
// A stream is decoded whole when it is created, by libmpg123, into 16-bit
// samples in the format of the file's first frame (later frames of another rate
// or channel count are converted to it by the decoder). So its length in bytes
// is exact, seeking is a matter of moving an index, and a damaged file fails at
// creation instead of in the middle of the show. The mixer hands the device
// stereo at the device's rate; a stream in another format goes through an
// SDL_AudioStream on the way out. The play position is counted from the samples
// the device has taken.
#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/common/sound_device.h"
#include "platform/platform.h"

namespace {

constexpr int DEVICE_CHANNELS = 2;                      // the device always plays stereo
constexpr int DEVICE_FRAME_BYTES = DEVICE_CHANNELS * 2;  // 16-bit samples
constexpr uint32_t MIN_DEVICE_FREQUENCY = 8000;          // Hz
constexpr uint32_t MAX_DEVICE_FREQUENCY = 192000;        // Hz
constexpr size_t DECODE_CHUNK_BYTES = 64 * 1024;         // decoder output per read
constexpr uint64_t MAX_DECODED_BYTES = 0xFFFFFFF0u;      // lengths are reported as unsigned 32-bit
constexpr int MAX_IDLE_READS = 64;                       // reads that give nothing before decoding gives up
constexpr uint32_t CONVERT_CHUNK_FRAMES = 4096;          // source frames handed to the converter at once
constexpr uint32_t CONVERT_TAIL_FRAMES = 1024;          // silence behind the end that pushes the last frames out

// Decoder sample rates the stream accepts, Hz (every MPEG audio rate).
constexpr long DECODER_RATES[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

enum OutputState {
    OUTPUT_STOPPED,  // after soundInit and soundStop: nothing plays until soundStart
    OUTPUT_RUNNING,
    OUTPUT_PAUSED,   // after soundPause: nothing is consumed until soundStart
};

// A growable block of bytes; null and zero when empty.
struct ByteBuffer {
    unsigned char* data;
    size_t size;
    size_t capacity;
};

struct Stream {
    uint32_t handle;         // 0: no stream
    int16_t* samples;        // decoded, interleaved
    uint32_t frames;         // sample frames decoded
    uint32_t frequency;      // Hz, of the file
    int channels;            // 1 or 2, of the file
    int playing;             // 1 from soundStreamPlay until soundStop
    uint32_t nextFrame;      // next source frame the mixer reads
    uint32_t baseFrame;      // source frame at the last play or seek
    uint64_t outputFrames;   // device frames of the stream mixed since then
    int64_t lastMixed;       // device frames of the stream in the buffer the device took last
    SDL_AudioStream* converter;  // null when the stream is already stereo at the device's rate
    int flushed;             // the converter has been given the end of the stream
};

int initialised = 0;                      // soundInit succeeded and soundFree has not run
OutputState output = OUTPUT_STOPPED;
uint32_t deviceFrequency = 0;             // Hz
Stream stream = {};                       // the one stream
uint32_t nextHandle = 1;                  // handle of the next stream; never 0
int lastError = SOUND_OK;                 // code of the last call
uint32_t reportedVersion = SOUND_VERSION;  // what soundGetVersion says
int decoderReady = 0;                     // mpg123_init has succeeded

int fail(int code)
{
    lastError = code;
    return 0;
}

int succeed()
{
    lastError = SOUND_OK;
    return 1;
}

void freeBuffer(ByteBuffer* buffer)
{
    std::free(buffer->data);
    *buffer = ByteBuffer{};
}

// Makes room for at least extra more bytes; 0 when memory runs out.
int reserveBuffer(ByteBuffer* buffer, size_t extra)
{
    if (buffer->capacity - buffer->size >= extra) return 1;
    size_t capacity = buffer->capacity ? buffer->capacity : extra;
    while (capacity - buffer->size < extra) capacity *= 2;
    void* grown = std::realloc(buffer->data, capacity);
    if (grown == nullptr) return 0;
    buffer->data = static_cast<unsigned char*>(grown);
    buffer->capacity = capacity;
    return 1;
}

// Reads a whole regular file (anything else is not opened). Returns SOUND_OK,
// SOUND_ERROR_FILEOPEN or SOUND_ERROR_MEMORY.
int readWholeFile(const char* path, ByteBuffer* contents)
{
    *contents = ByteBuffer{};
    size_t size = 0;
    std::FILE* file = platformOpenRegularFile(path, &size);
    if (file == nullptr) return SOUND_ERROR_FILEOPEN;
    int result = SOUND_OK;
    // The size the file had when opened bounds the read; one byte more tells a
    // file that grew meanwhile, which is read no further.
    if (!reserveBuffer(contents, size + 1)) {
        result = SOUND_ERROR_MEMORY;
    } else {
        contents->size = std::fread(contents->data, 1, size + 1, file);
        if (std::ferror(file)) result = SOUND_ERROR_FILEOPEN;
        if (contents->size > size) contents->size = size;
    }
    std::fclose(file);
    if (result != SOUND_OK) freeBuffer(contents);
    return result;
}

struct DecodedSound {
    ByteBuffer pcm;      // interleaved 16-bit samples
    long frequency;      // Hz
    int channels;        // 1 or 2
};

// Decodes a whole MP3 held in memory. Returns SOUND_OK, SOUND_ERROR_FORMAT when
// not one frame could be decoded, or SOUND_ERROR_MEMORY.
int decodeMp3(const unsigned char* data, size_t size, DecodedSound* decoded)
{
    *decoded = DecodedSound{};
    if (size == 0) return SOUND_ERROR_FORMAT;
    if (!decoderReady) {
        if (mpg123_init() != MPG123_OK) return SOUND_ERROR_FORMAT;
        decoderReady = 1;
    }
    int error = MPG123_OK;
    mpg123_handle* decoder = mpg123_new(nullptr, &error);
    if (decoder == nullptr) return SOUND_ERROR_MEMORY;
    // Gapless: the encoder's delay and padding, where the file says how long they are, are cut off.
    mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(decoder);
    for (long rate : DECODER_RATES) mpg123_format(decoder, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    int result = SOUND_ERROR_FORMAT;
    if (mpg123_open_feed(decoder) != MPG123_OK || mpg123_feed(decoder, data, size) != MPG123_OK) {
        mpg123_delete(decoder);
        return result;
    }
    // The first frame fixes the stream's format; everything after is decoded to it.
    size_t done = 0;
    unsigned char probe[1] = {};
    if (mpg123_read(decoder, probe, 0, &done) == MPG123_NEW_FORMAT) {
        int encoding = 0;
        if (mpg123_getformat(decoder, &decoded->frequency, &decoded->channels, &encoding) == MPG123_OK &&
            (decoded->channels == 1 || decoded->channels == 2) && encoding == MPG123_ENC_SIGNED_16) {
            mpg123_format_none(decoder);
            mpg123_format(decoder, decoded->frequency, decoded->channels, MPG123_ENC_SIGNED_16);
            result = SOUND_OK;
        }
    }
    const size_t frameBytes = static_cast<size_t>(decoded->channels) * 2;
    int idleReads = 0;
    while (result == SOUND_OK && idleReads < MAX_IDLE_READS) {
        if (!reserveBuffer(&decoded->pcm, DECODE_CHUNK_BYTES)) {
            result = SOUND_ERROR_MEMORY;
            break;
        }
        done = 0;
        const int status = mpg123_read(decoder, decoded->pcm.data + decoded->pcm.size, DECODE_CHUNK_BYTES, &done);
        decoded->pcm.size += done;
        idleReads = done == 0 ? idleReads + 1 : 0;
        if (decoded->pcm.size >= MAX_DECODED_BYTES) {
            decoded->pcm.size = MAX_DECODED_BYTES;
            break;
        }
        if (status == MPG123_NEW_FORMAT) {
            long frequency = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(decoder, &frequency, &channels, &encoding);
            if (frequency != decoded->frequency || channels != decoded->channels) break;  // keep what fits
            continue;
        }
        // The end of the data (the decoder wants more), or a frame it cannot get past.
        if (status != MPG123_OK) break;
    }
    mpg123_delete(decoder);
    decoded->pcm.size -= decoded->pcm.size % (frameBytes ? frameBytes : 1);
    if (result == SOUND_OK && decoded->pcm.size == 0) result = SOUND_ERROR_FORMAT;
    if (result != SOUND_OK) freeBuffer(&decoded->pcm);
    return result;
}

// The stream a handle names, or null (with SOUND_ERROR_HANDLE) when it names none.
Stream* findStream(uint32_t handle)
{
    if (!initialised) {
        fail(SOUND_ERROR_INIT);
        return nullptr;
    }
    if (handle == 0 || handle != stream.handle) {
        fail(SOUND_ERROR_HANDLE);
        return nullptr;
    }
    return &stream;
}

uint32_t frameBytesOf(const Stream& s)
{
    return static_cast<uint32_t>(s.channels) * 2;
}

// Moves the mixer to a source frame; called with the device lock held.
void rewindTo(Stream* s, uint32_t frame)
{
    s->nextFrame = frame;
    s->baseFrame = frame;
    s->outputFrames = 0;
    s->lastMixed = 0;
    s->flushed = 0;
    if (s->converter != nullptr) SDL_AudioStreamClear(s->converter);
}

// The source frame the device has consumed up to; called with the device lock held.
uint32_t heardFrame(const Stream& s)
{
    // What is being heard lags what was handed over by the part of the last buffer still playing.
    const int64_t sinceMix = soundDeviceFramesSinceMix();
    const uint64_t unheard = sinceMix < s.lastMixed ? static_cast<uint64_t>(s.lastMixed - sinceMix) : 0;
    uint64_t source = s.outputFrames - std::min(s.outputFrames, unheard);
    if (s.converter != nullptr && deviceFrequency != 0) source = source * s.frequency / deviceFrequency;
    const uint64_t frame = s.baseFrame + source;
    return frame < s.frames ? static_cast<uint32_t>(frame) : s.frames;
}

void releaseStream()
{
    if (stream.converter != nullptr) SDL_FreeAudioStream(stream.converter);
    std::free(stream.samples);
    stream = Stream{};
}

// Copies stereo source frames straight to the device; returns how many.
int mixDirect(int16_t* out, int frames)
{
    const uint32_t left = stream.frames - stream.nextFrame;
    const uint32_t count = static_cast<uint32_t>(frames) < left ? static_cast<uint32_t>(frames) : left;
    std::memcpy(out, stream.samples + static_cast<size_t>(stream.nextFrame) * DEVICE_CHANNELS,
                static_cast<size_t>(count) * DEVICE_FRAME_BYTES);
    stream.nextFrame += count;
    return static_cast<int>(count);
}

// Converts source frames to the device's format; returns how many device frames came out.
int mixConverted(int16_t* out, int frames)
{
    // The device frames the rest of the stream lasts from the last play or seek; the
    // converter gives no more than that, so the silence put in behind the end stays out.
    const uint64_t sourceLeft = stream.frames - stream.baseFrame;
    const uint64_t lasts = (sourceLeft * deviceFrequency + stream.frequency - 1) / stream.frequency;
    const uint64_t allowed = lasts > stream.outputFrames ? lasts - stream.outputFrames : 0;
    if (allowed < static_cast<uint64_t>(frames)) frames = static_cast<int>(allowed);
    const int wanted = frames * DEVICE_FRAME_BYTES;
    const uint32_t frameBytes = frameBytesOf(stream);
    while (SDL_AudioStreamAvailable(stream.converter) < wanted && !stream.flushed) {
        if (stream.nextFrame < stream.frames) {
            const uint32_t left = stream.frames - stream.nextFrame;
            const uint32_t count = left < CONVERT_CHUNK_FRAMES ? left : CONVERT_CHUNK_FRAMES;
            const int16_t* from = stream.samples + static_cast<size_t>(stream.nextFrame) * stream.channels;
            if (SDL_AudioStreamPut(stream.converter, from, static_cast<int>(count * frameBytes)) != 0) {
                stream.flushed = 1;  // out of memory: the rest stays silent
                break;
            }
            stream.nextFrame += count;
        } else {
            // The resampler keeps the last of its input back even when flushed: push it
            // out with silence.
            static const int16_t silence[CONVERT_TAIL_FRAMES * DEVICE_CHANNELS] = {};
            SDL_AudioStreamPut(stream.converter, silence, static_cast<int>(CONVERT_TAIL_FRAMES * frameBytes));
            SDL_AudioStreamFlush(stream.converter);
            stream.flushed = 1;
        }
    }
    if (wanted == 0) return 0;
    const int got = SDL_AudioStreamGet(stream.converter, out, wanted);
    return got > 0 ? got / DEVICE_FRAME_BYTES : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Called by the device.

void soundMixOutput(int16_t* output, int frames)
{
    if (frames <= 0) return;
    std::memset(output, 0, static_cast<size_t>(frames) * DEVICE_FRAME_BYTES);
    stream.lastMixed = 0;
    if (stream.handle == 0 || !stream.playing) return;
    const int mixed = stream.converter != nullptr ? mixConverted(output, frames) : mixDirect(output, frames);
    stream.outputFrames += static_cast<uint64_t>(mixed);
    stream.lastMixed = mixed;
}

void soundSetReportedVersion(uint32_t version)
{
    reportedVersion = version;
}

// ---------------------------------------------------------------------------

uint32_t soundGetVersion()
{
    return reportedVersion;
}

int soundInit(int device, uint32_t freq, uint32_t)
{
    if (initialised) return fail(SOUND_ERROR_ALREADY);
    if (device != -1) return fail(SOUND_ERROR_DRIVER);  // only the default device exists
    if (freq < MIN_DEVICE_FREQUENCY || freq > MAX_DEVICE_FREQUENCY) return fail(SOUND_ERROR_DRIVER);
    if (!soundDeviceOpen(freq)) return fail(SOUND_ERROR_DRIVER);
    initialised = 1;
    output = OUTPUT_STOPPED;
    deviceFrequency = freq;
    return succeed();
}

int soundStart()
{
    if (!initialised) return fail(SOUND_ERROR_INIT);
    output = OUTPUT_RUNNING;
    soundDeviceRun(1);
    return succeed();
}

int soundPause()
{
    if (!initialised) return fail(SOUND_ERROR_INIT);
    if (output == OUTPUT_STOPPED) return fail(SOUND_ERROR_START);
    output = OUTPUT_PAUSED;
    soundDeviceRun(0);
    return succeed();
}

int soundStop()
{
    if (!initialised) return fail(SOUND_ERROR_INIT);
    soundDeviceRun(0);
    output = OUTPUT_STOPPED;
    soundDeviceLock();
    stream.playing = 0;
    soundDeviceUnlock();
    return succeed();
}

void soundFree()
{
    if (!initialised) {
        fail(SOUND_ERROR_INIT);
        return;
    }
    soundDeviceClose();  // the device takes nothing more from the mixer after this
    releaseStream();
    initialised = 0;
    output = OUTPUT_STOPPED;
    deviceFrequency = 0;
    succeed();
}

uint32_t soundStreamCreateFile(const char* path)
{
    if (!initialised) return static_cast<uint32_t>(fail(SOUND_ERROR_INIT));
    if (stream.handle != 0) return static_cast<uint32_t>(fail(SOUND_ERROR_ALREADY));  // one stream at a time
    ByteBuffer file = {};
    int result = readWholeFile(path, &file);
    if (result != SOUND_OK) return static_cast<uint32_t>(fail(result));
    DecodedSound decoded = {};
    result = decodeMp3(file.data, file.size, &decoded);
    freeBuffer(&file);
    if (result != SOUND_OK) return static_cast<uint32_t>(fail(result));

    Stream created = {};
    created.samples = reinterpret_cast<int16_t*>(decoded.pcm.data);
    created.channels = decoded.channels;
    created.frequency = static_cast<uint32_t>(decoded.frequency);
    created.frames = static_cast<uint32_t>(decoded.pcm.size / frameBytesOf(created));
    if (created.channels != DEVICE_CHANNELS || created.frequency != deviceFrequency) {
        created.converter = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(created.channels),
                                               static_cast<int>(created.frequency), AUDIO_S16SYS, DEVICE_CHANNELS,
                                               static_cast<int>(deviceFrequency));
        if (created.converter == nullptr) {
            freeBuffer(&decoded.pcm);
            return static_cast<uint32_t>(fail(SOUND_ERROR_MEMORY));
        }
    }
    created.handle = nextHandle++;
    if (nextHandle == 0) nextHandle = 1;
    soundDeviceLock();
    stream = created;
    soundDeviceUnlock();
    succeed();
    return stream.handle;
}

uint32_t soundStreamGetLength(uint32_t handle)
{
    const Stream* s = findStream(handle);
    if (s == nullptr) return 0;
    succeed();
    return s->frames * frameBytesOf(*s);
}

int soundChannelGetFrequency(uint32_t handle, uint32_t* frequency)
{
    if (frequency != nullptr) *frequency = 0;
    const Stream* s = findStream(handle);
    if (s == nullptr) return 0;
    if (frequency != nullptr) *frequency = s->frequency;
    return succeed();
}

uint32_t soundChannelGetFlags(uint32_t handle)
{
    const Stream* s = findStream(handle);
    if (s == nullptr) return 0;
    succeed();
    return s->channels == 1 ? SOUND_SAMPLE_MONO : 0;  // always decoded to 16 bits
}

int soundStreamPlay(uint32_t handle)
{
    Stream* s = findStream(handle);
    if (s == nullptr) return 0;
    if (output == OUTPUT_STOPPED) return fail(SOUND_ERROR_START);
    soundDeviceLock();
    rewindTo(s, 0);
    s->playing = 1;
    soundDeviceUnlock();
    return succeed();
}

int soundChannelSetPosition(uint32_t handle, uint32_t bytes)
{
    Stream* s = findStream(handle);
    if (s == nullptr) return 0;
    uint32_t frame = bytes / frameBytesOf(*s);
    if (frame > s->frames) frame = s->frames;
    soundDeviceLock();
    rewindTo(s, frame);
    soundDeviceUnlock();
    return succeed();
}

uint32_t soundChannelGetPosition(uint32_t handle)
{
    const Stream* s = findStream(handle);
    if (s == nullptr) return 0;
    soundDeviceLock();
    const uint32_t frame = heardFrame(*s);
    soundDeviceUnlock();
    succeed();
    return frame * frameBytesOf(*s);
}

uint32_t soundStreamGetData(uint32_t handle, uint32_t offset, void* buffer, uint32_t bytes)
{
    const Stream* s = findStream(handle);
    if (s == nullptr) return 0;
    const uint32_t length = s->frames * frameBytesOf(*s);
    if (buffer == nullptr || offset > length) return static_cast<uint32_t>(fail(SOUND_ERROR_POSITION));
    const uint32_t count = bytes < length - offset ? bytes : length - offset;
    std::memcpy(buffer, reinterpret_cast<const unsigned char*>(s->samples) + offset, count);
    succeed();
    return count;
}

int soundStreamFree(uint32_t handle)
{
    if (findStream(handle) == nullptr) return 0;
    soundDeviceLock();
    Stream freed = stream;
    stream = Stream{};
    soundDeviceUnlock();
    if (freed.converter != nullptr) SDL_FreeAudioStream(freed.converter);
    std::free(freed.samples);
    return succeed();
}

int soundErrorGetCode()
{
    return lastError;
}
