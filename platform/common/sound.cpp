// The sound layer shared by both platform variants: one output device (opened
// by the variant, see sound_device.h) and one MP3 stream at a time.
//
// A stream is opened, not decoded. Creating it decodes the file's first frame,
// which fixes the stream's format (16-bit samples at the first frame's rate and
// channel count; later frames of another channel count are converted to it by
// the decoder), and scans the headers of every frame with libmpg123, which gives
// the exact length (the encoder's delay and padding, where the file says how
// long they are, cut off) and an index of every frame. The samples are decoded
// as they are asked for, by the mixer on the device's side or by a read, a few
// kilobytes at a time straight from the file; reading from anywhere but where
// the decoder stands seeks it. A seek restarts the decoder far enough before the
// frame that holds the wanted sample, and in step with the frames before it,
// that what comes out is sample for sample what a decode from the start gives,
// so playing, pausing and seeking sound as if the whole file had been decoded
// in memory. The mixer hands the device stereo at the device's rate; a stream in
// another format goes through an SDL_AudioStream on the way out. The play
// position is counted from the samples the device has taken, less what it still
// holds and has not yet played.
#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/common/sound_device.h"
#include "platform/platform.h"

namespace {

constexpr int DEVICE_CHANNELS = 2;                      // the device always plays stereo
constexpr int DEVICE_FRAME_BYTES = DEVICE_CHANNELS * 2;  // 16-bit samples
constexpr uint32_t MIN_DEVICE_FREQUENCY = 8000;          // Hz
constexpr uint32_t MAX_DEVICE_FREQUENCY = 192000;        // Hz
constexpr size_t DECODE_CHUNK_BYTES = 16 * 1024;         // decoder output per read, held until taken
constexpr uint64_t MAX_DECODED_BYTES = 0xFFFFFFF0u;      // lengths are reported as unsigned 32-bit
constexpr int MAX_IDLE_READS = 64;                       // reads that give nothing before decoding gives up
constexpr uint32_t CONVERT_CHUNK_FRAMES = 4096;          // source frames handed to the converter at once
constexpr uint32_t CONVERT_TAIL_FRAMES = 1024;          // silence behind the end that pushes the last frames out
constexpr long FRAME_INDEX_STEP = -1024;                 // the frame index grows by this many entries: every frame
constexpr int64_t RESTART_LEAD_FRAMES = 12;              // MPEG frames decoded before a seek's frame, at least
constexpr std::chrono::milliseconds FIRST_BUFFER_WAIT{50};  // longest wait for a play to be taken
constexpr std::chrono::microseconds FIRST_BUFFER_POLL{100};  // between two looks at the device
constexpr double MAX_CATCH_UP_SECONDS = 0.1;              // a seek is taken at most this far further in
constexpr int64_t SYNTH_CYCLE_FRAMES = 16;               // MPEG frames after which the synthesis filter is back on its step

// Decoder sample rates the stream accepts, Hz (every MPEG audio rate).
constexpr long DECODER_RATES[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

enum OutputState {
    OUTPUT_STOPPED,  // after soundInit and soundStop: nothing plays until soundStart
    OUTPUT_RUNNING,
    OUTPUT_PAUSED,   // after soundPause: nothing is consumed until soundStart
};

// The file a decoder reads, through readSource and seekSource. The size the file
// had when opened bounds every read, so a file that grows meanwhile is read no
// further.
struct SourceFile {
    std::FILE* file;
    int64_t size;    // bytes, when opened
    int64_t offset;  // where the next read starts
};

// A decoder standing at one byte of a stream's decoded data, with what it last
// decoded and nobody has taken yet.
struct Decoder {
    mpg123_handle* handle;                       // null where a restart could not open one
    SourceFile source;
    long frequency;                              // Hz, of the first frame
    int channels;                                // 1 or 2, of the first frame
    int frameSamples;                            // samples per MPEG frame
    off_t firstFrame;                            // the MPEG frame that holds the first sample
    off_t* index;                                // file offsets of the frames, from the scan
    off_t indexStep;                             // frames from one entry to the next
    size_t indexFill;                            // entries
    uint64_t next;                               // byte of decoded data pending[pendingAt] is
    unsigned char pending[DECODE_CHUNK_BYTES];   // decoded, interleaved 16-bit
    size_t pendingAt;                            // first byte not taken
    size_t pendingEnd;                           // bytes decoded into pending
    int idleReads;                               // reads in a row that gave nothing
    int ended;                                   // nothing more comes from here: the end, a frame it cannot get past, another format
    int16_t convertChunk[CONVERT_CHUNK_FRAMES * DEVICE_CHANNELS];  // source frames on their way to the converter
};

struct Stream {
    uint32_t handle;         // 0: no stream
    Decoder* decoder;        // the file, decoded as it is read
    uint32_t frames;         // sample frames of the stream
    uint32_t frequency;      // Hz, of the file
    int channels;            // 1 or 2, of the file
    int playing;             // 1 from soundStreamPlay until soundStop
    uint32_t nextFrame;      // next source frame the mixer reads
    uint32_t baseFrame;      // source frame at the last play or seek
    uint64_t outputFrames;   // device frames of the stream mixed since then
    int clockPending;        // the device has not yet taken the stream since the last play, seek or start
    int64_t clockAtStart;    // device clock when it took the stream's first buffer since then
    uint64_t framesAtStart;  // outputFrames then
    int64_t positionSetAt;   // steadyNanoseconds() when a seek set the position the device has yet to take; 0: none
    SDL_AudioStream* converter;  // null when the stream is already stereo at the device's rate
    int flushed;             // the converter has been given the end of the stream
};

int initialised = 0;                      // soundInit succeeded and soundFree has not run
OutputState output = OUTPUT_STOPPED;
uint32_t deviceFrequency = 0;             // Hz
Stream stream = {};                       // the one stream
uint32_t nextHandle = 1;                  // handle of the next stream; never 0
int64_t outputStartedAt = 0;              // steadyNanoseconds() at the last soundStart
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

// libmpg123's read and seek on a SourceFile, as POSIX read and lseek behave.
mpg123_ssize_t readSource(void* handle, void* buffer, size_t bytes)
{
    SourceFile* source = static_cast<SourceFile*>(handle);
    const int64_t left = source->size - source->offset;
    if (left <= 0) return 0;
    if (static_cast<uint64_t>(left) < bytes) bytes = static_cast<size_t>(left);
    const size_t got = std::fread(buffer, 1, bytes, source->file);
    source->offset += static_cast<int64_t>(got);
    if (got == 0 && std::ferror(source->file)) return -1;
    return static_cast<mpg123_ssize_t>(got);
}

off_t seekSource(void* handle, off_t offset, int whence)
{
    SourceFile* source = static_cast<SourceFile*>(handle);
    int64_t to = offset;
    if (whence == SEEK_CUR) to += source->offset;
    else if (whence == SEEK_END) to += source->size;
    else if (whence != SEEK_SET) return -1;
    if (to < 0 || fseeko(source->file, static_cast<off_t>(to), SEEK_SET) != 0) return -1;
    source->offset = to;
    return static_cast<off_t>(to);
}

// A new libmpg123 handle on a decoder's file, decoding to 16-bit samples at the
// given rate and channel count (every MPEG rate, mono or stereo, where rate is
// 0); null when it cannot be opened.
mpg123_handle* openHandle(SourceFile* source, long rate, int channels)
{
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (handle == nullptr) return nullptr;
    // Gapless: the encoder's delay and padding, where the file says how long they are, are cut off.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_param(handle, MPG123_INDEX_SIZE, FRAME_INDEX_STEP, 0.0);
    mpg123_format_none(handle);
    if (rate == 0) {
        for (long decoderRate : DECODER_RATES)
            mpg123_format(handle, decoderRate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    } else {
        mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_16);
    }
    source->offset = 0;
    if (std::fseek(source->file, 0, SEEK_SET) != 0 ||
        mpg123_replace_reader_handle(handle, readSource, seekSource, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, source) != MPG123_OK) {
        mpg123_delete(handle);
        return nullptr;
    }
    return handle;
}

void closeDecoder(Decoder* decoder)
{
    if (decoder == nullptr) return;
    if (decoder->handle != nullptr) mpg123_delete(decoder->handle);
    if (decoder->source.file != nullptr) std::fclose(decoder->source.file);
    std::free(decoder->index);
    std::free(decoder);
}

// Reads the first frame's format and scans every frame's header of a decoder's
// file: *frames gets the exact length in sample frames, the decoder the frame
// index. Returns SOUND_OK, or SOUND_ERROR_FORMAT when not one frame can be decoded.
int scanDecoder(Decoder* decoder, uint32_t* frames)
{
    mpg123_handle* handle = openHandle(&decoder->source, 0, 0);
    if (handle == nullptr) return SOUND_ERROR_FORMAT;
    int result = SOUND_ERROR_FORMAT;
    size_t done = 0;
    unsigned char probe[1] = {};
    if (mpg123_read(handle, probe, 0, &done) == MPG123_NEW_FORMAT) {
        int encoding = 0;
        if (mpg123_getformat(handle, &decoder->frequency, &decoder->channels, &encoding) == MPG123_OK &&
            (decoder->channels == 1 || decoder->channels == 2) && encoding == MPG123_ENC_SIGNED_16) {
            result = SOUND_OK;
        }
    }
    off_t length = 0;
    if (result == SOUND_OK && mpg123_scan(handle) == MPG123_OK) length = mpg123_length(handle);
    off_t* offsets = nullptr;
    off_t step = 0;
    size_t fill = 0;
    decoder->frameSamples = mpg123_spf(handle);
    if (mpg123_seek(handle, 0, SEEK_SET) >= 0) decoder->firstFrame = mpg123_tellframe(handle);
    if (length <= 0 || decoder->frameSamples <= 0 || mpg123_index(handle, &offsets, &step, &fill) != MPG123_OK) {
        mpg123_delete(handle);
        return SOUND_ERROR_FORMAT;
    }
    decoder->index = static_cast<off_t*>(std::malloc(std::max<size_t>(fill, 1) * sizeof(off_t)));
    if (decoder->index != nullptr) {
        if (fill > 0) std::memcpy(decoder->index, offsets, fill * sizeof(off_t));
        decoder->indexStep = step;
        decoder->indexFill = fill;
    }
    mpg123_delete(handle);
    const uint64_t frameBytes = static_cast<uint64_t>(decoder->channels) * 2;
    *frames = static_cast<uint32_t>(std::min(static_cast<uint64_t>(length), MAX_DECODED_BYTES / frameBytes));
    return SOUND_OK;
}

// Restarts decoding on a fresh handle so that the next byte that comes is byte
// offset of the decoded data, exactly as a decode from the start gives it. The
// handle is moved (by the frame index) to a frame RESTART_LEAD_FRAMES or more
// before the one that holds offset, so that the bit reservoir and the overlap of
// the filter bank are filled as they are there, and the frames in between are
// decoded and skipped. That frame also lies a whole number of
// SYNTH_CYCLE_FRAMES after the frame of the first sample: the synthesis filter
// turns through its buffer a fixed step a frame, a fresh handle starts at step 0
// as the decode from the start does on that frame, and a frame taken at another
// step rounds some samples the other way. Near the start the handle just decodes
// from the first sample.
void startDecoder(Decoder* decoder, uint64_t offset)
{
    const uint64_t frameBytes = static_cast<uint64_t>(decoder->channels) * 2;
    const uint64_t sample = offset / frameBytes;
    if (decoder->handle != nullptr) mpg123_delete(decoder->handle);
    decoder->pendingAt = decoder->pendingEnd = 0;
    decoder->idleReads = 0;
    decoder->ended = 0;
    decoder->next = 0;
    decoder->handle = openHandle(&decoder->source, decoder->frequency, decoder->channels);
    if (decoder->handle == nullptr) {
        decoder->ended = 1;
        decoder->next = offset;
        return;
    }
    const int64_t lead = static_cast<int64_t>(sample / static_cast<uint64_t>(decoder->frameSamples)) -
                         RESTART_LEAD_FRAMES - decoder->firstFrame;
    if (lead < SYNTH_CYCLE_FRAMES) return;  // decoded from the first sample on
    const off_t frame = static_cast<off_t>(decoder->firstFrame + lead - lead % SYNTH_CYCLE_FRAMES);
    off_t at = -1;
    if (mpg123_set_index(decoder->handle, decoder->index, decoder->indexStep, decoder->indexFill) == MPG123_OK &&
        mpg123_seek_frame(decoder->handle, frame, SEEK_SET) >= 0)
        at = mpg123_tell(decoder->handle);
    if (at >= 0 && static_cast<uint64_t>(at) <= sample) {
        decoder->next = static_cast<uint64_t>(at) * frameBytes;
    } else {
        decoder->ended = 1;  // the index leads nowhere: silence from here
        decoder->next = offset;
    }
}

// Opens an MP3 file as a decoder at its first sample; *frames gets its length in
// sample frames. Returns SOUND_OK, SOUND_ERROR_FILEOPEN, SOUND_ERROR_FORMAT when
// not one frame can be decoded, or SOUND_ERROR_MEMORY.
int openDecoder(const char* path, Decoder** opened, uint32_t* frames)
{
    *opened = nullptr;
    *frames = 0;
    size_t size = 0;
    std::FILE* file = platformOpenRegularFile(path, &size);
    if (file == nullptr) return SOUND_ERROR_FILEOPEN;
    Decoder* decoder = static_cast<Decoder*>(std::calloc(1, sizeof(Decoder)));
    if (decoder == nullptr) {
        std::fclose(file);
        return SOUND_ERROR_MEMORY;
    }
    decoder->source.file = file;
    decoder->source.size = static_cast<int64_t>(size);
    int result = size == 0 ? SOUND_ERROR_FORMAT : SOUND_OK;
    if (result == SOUND_OK && !decoderReady) {
        if (mpg123_init() == MPG123_OK) decoderReady = 1;
        else result = SOUND_ERROR_FORMAT;
    }
    if (result == SOUND_OK) result = scanDecoder(decoder, frames);
    if (result == SOUND_OK && decoder->index == nullptr) result = SOUND_ERROR_MEMORY;
    if (result == SOUND_OK) {
        startDecoder(decoder, 0);
        if (decoder->handle == nullptr) result = SOUND_ERROR_MEMORY;
    }
    if (result != SOUND_OK) {
        closeDecoder(decoder);
        *frames = 0;
        return result;
    }
    *opened = decoder;
    return SOUND_OK;
}

// Decodes the next chunk into pending; 0 when nothing more comes.
int decodeMore(Decoder* decoder)
{
    while (!decoder->ended && decoder->pendingAt == decoder->pendingEnd) {
        size_t done = 0;
        const int status = mpg123_read(decoder->handle, decoder->pending, DECODE_CHUNK_BYTES, &done);
        decoder->pendingAt = 0;
        decoder->pendingEnd = done;
        decoder->idleReads = done == 0 ? decoder->idleReads + 1 : 0;
        if (decoder->idleReads >= MAX_IDLE_READS) decoder->ended = 1;
        if (status == MPG123_NEW_FORMAT) {
            long frequency = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(decoder->handle, &frequency, &channels, &encoding);
            if (frequency != decoder->frequency || channels != decoder->channels) decoder->ended = 1;  // keep what fits
            continue;
        }
        // The end of the file, or a frame the decoder cannot get past.
        if (status != MPG123_OK) decoder->ended = 1;
    }
    return decoder->pendingAt < decoder->pendingEnd;
}

// Copies bytes of decoded data from byte offset on into out: silence where the
// decoder gives nothing (after a frame it cannot get past). Called with the device
// lock held, since the mixer reads through the same decoder.
void readDecoded(Decoder* decoder, uint64_t offset, unsigned char* out, size_t bytes)
{
    const uint64_t pendingEnd = decoder->next + (decoder->pendingEnd - decoder->pendingAt);
    if (offset < decoder->next || offset > pendingEnd) startDecoder(decoder, offset);
    while (bytes > 0) {
        if (!decodeMore(decoder)) {
            std::memset(out, 0, bytes);
            decoder->next = std::max(decoder->next, offset) + bytes;
            return;
        }
        const size_t available = decoder->pendingEnd - decoder->pendingAt;
        if (decoder->next < offset) {  // before the byte asked for: skipped
            const size_t skip = static_cast<size_t>(std::min<uint64_t>(available, offset - decoder->next));
            decoder->pendingAt += skip;
            decoder->next += skip;
            continue;
        }
        const size_t count = std::min(available, bytes);
        std::memcpy(out, decoder->pending + decoder->pendingAt, count);
        decoder->pendingAt += count;
        decoder->next += count;
        offset += count;
        out += count;
        bytes -= count;
    }
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

// Reads count source frames from frame on; called with the device lock held.
void readFrames(const Stream& s, uint32_t frame, int16_t* out, uint32_t count)
{
    const uint32_t frameBytes = frameBytesOf(s);
    readDecoded(s.decoder, static_cast<uint64_t>(frame) * frameBytes, reinterpret_cast<unsigned char*>(out),
                static_cast<size_t>(count) * frameBytes);
}

// Moves the mixer to a source frame; called with the device lock held.
void rewindTo(Stream* s, uint32_t frame)
{
    s->nextFrame = frame;
    s->baseFrame = frame;
    s->outputFrames = 0;
    s->clockPending = 1;
    s->positionSetAt = 0;
    s->flushed = 0;
    if (s->converter != nullptr) SDL_AudioStreamClear(s->converter);
}

// The source frame the device has consumed up to; called with the device lock held.
uint32_t heardFrame(const Stream& s)
{
    // What is being heard lags what was handed over by what the device still holds:
    // from the buffer that took the stream's first frames on, the device plays in
    // real time, and never more than it was handed.
    uint64_t source = s.outputFrames;
    const int64_t clock = soundDeviceClock();
    if (clock >= 0 && !s.clockPending && clock >= s.clockAtStart)
        source = std::min(source, s.framesAtStart + static_cast<uint64_t>(clock - s.clockAtStart));
    if (s.converter != nullptr && deviceFrequency != 0) source = source * s.frequency / deviceFrequency;
    const uint64_t frame = s.baseFrame + source;
    return frame < s.frames ? static_cast<uint32_t>(frame) : s.frames;
}

// The monotonic clock, in nanoseconds; never 0 once the program runs.
int64_t steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
               .count() + 1;
}

// A seek sets where the stream is at the moment it is made, or at the moment
// output starts again after it, on the caller's clock. A device that plays in
// real time takes it with its next buffer, up to a buffer's length later, so it
// starts that much further in (at most MAX_CATCH_UP_SECONDS): the sound keeps
// to the clock the caller placed it by. Called with the device lock held.
void catchUp(Stream* s)
{
    const int64_t from = std::max(s->positionSetAt, outputStartedAt);
    const int64_t now = steadyNanoseconds();
    double elapsed = now > from ? static_cast<double>(now - from) * 1e-9 : 0.0;
    elapsed = std::min(elapsed, MAX_CATCH_UP_SECONDS);
    const uint64_t target = std::min<uint64_t>(s->frames, s->nextFrame + static_cast<uint64_t>(elapsed * s->frequency));
    rewindTo(s, static_cast<uint32_t>(target));
}

// After a play, on a device that plays in real time on a thread of its own,
// waits until the device has taken the stream's first frames (at most one
// buffer's length, bounded by FIRST_BUFFER_WAIT): the caller starts its clock
// next, which then starts with the sound instead of up to a buffer ahead of it.
// A device that hears samples as they are taken (the headless one, whose clock
// reads -1) has nothing to wait for.
void awaitFirstBuffer()
{
    const auto deadline = std::chrono::steady_clock::now() + FIRST_BUFFER_WAIT;
    for (;;) {
        soundDeviceLock();
        const int waiting = stream.playing && stream.clockPending && stream.nextFrame < stream.frames &&
                            soundDeviceClock() >= 0;
        soundDeviceUnlock();
        if (!waiting || std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(FIRST_BUFFER_POLL);
    }
}

void releaseStream()
{
    if (stream.converter != nullptr) SDL_FreeAudioStream(stream.converter);
    closeDecoder(stream.decoder);
    stream = Stream{};
}

// Copies stereo source frames straight to the device; returns how many.
int mixDirect(int16_t* out, int frames)
{
    const uint32_t left = stream.frames - stream.nextFrame;
    const uint32_t count = static_cast<uint32_t>(frames) < left ? static_cast<uint32_t>(frames) : left;
    readFrames(stream, stream.nextFrame, out, count);
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
            int16_t* chunk = stream.decoder->convertChunk;
            readFrames(stream, stream.nextFrame, chunk, count);
            if (SDL_AudioStreamPut(stream.converter, chunk, static_cast<int>(count * frameBytes)) != 0) {
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
    if (stream.handle == 0 || !stream.playing) return;
    if (stream.clockPending && stream.positionSetAt != 0 && soundDeviceClock() >= 0) catchUp(&stream);
    const int mixed = stream.converter != nullptr ? mixConverted(output, frames) : mixDirect(output, frames);
    if (stream.clockPending && mixed > 0) {
        stream.clockPending = 0;
        stream.clockAtStart = soundDeviceClock();
        stream.framesAtStart = stream.outputFrames;
    }
    stream.outputFrames += static_cast<uint64_t>(mixed);
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
    soundDeviceLock();
    stream.clockPending = 1;  // the device's clock holds again from the next buffer it takes
    outputStartedAt = steadyNanoseconds();
    soundDeviceUnlock();
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
    Stream created = {};
    const int result = openDecoder(path, &created.decoder, &created.frames);
    if (result != SOUND_OK) return static_cast<uint32_t>(fail(result));
    created.channels = created.decoder->channels;
    created.frequency = static_cast<uint32_t>(created.decoder->frequency);
    if (created.channels != DEVICE_CHANNELS || created.frequency != deviceFrequency) {
        created.converter = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(created.channels),
                                               static_cast<int>(created.frequency), AUDIO_S16SYS, DEVICE_CHANNELS,
                                               static_cast<int>(deviceFrequency));
        if (created.converter == nullptr) {
            closeDecoder(created.decoder);
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
    if (output == OUTPUT_RUNNING) awaitFirstBuffer();
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
    s->positionSetAt = steadyNanoseconds();
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
    soundDeviceLock();
    readDecoded(s->decoder, offset, static_cast<unsigned char*>(buffer), count);
    soundDeviceUnlock();
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
    closeDecoder(freed.decoder);
    return succeed();
}

int soundErrorGetCode()
{
    return lastError;
}
