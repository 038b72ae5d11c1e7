// The audio converter of the web build (see include/sdl/SDL.h): channel counts
// by copying or averaging, rates by linear interpolation between source frames.
// The source position advances by srcRate / dstRate frames per output frame,
// counted exactly in whole and fractional parts so no drift builds up.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

struct SDL_AudioStream {
    int srcChannels;
    int dstChannels;
    int64_t srcRate;             // Hz
    int64_t dstRate;             // Hz
    std::vector<float> source;   // source frames not yet passed, as stereo, left then right
    int64_t phase;               // position between source[0] and source[1], in 1 / dstRate frames
    std::vector<int16_t> output; // converted samples not yet taken
    int flushed;                 // the end has been put: the last frame is converted without a successor
};

namespace {

constexpr int MAX_CHANNELS = 2;

int16_t toSample(float value)
{
    const float rounded = value < 0.0f ? value - 0.5f : value + 0.5f;
    return static_cast<int16_t>(std::clamp(rounded, -32768.0f, 32767.0f));
}

// Converts every output frame whose two source neighbours are there.
void convert(SDL_AudioStream* s)
{
    const size_t frames = s->source.size() / 2;
    size_t used = 0;  // source frames passed for good
    while (used + 1 < frames || (s->flushed && used < frames)) {
        const float* a = &s->source[used * 2];
        const float* b = used + 1 < frames ? &s->source[(used + 1) * 2] : a;
        const float t = static_cast<float>(s->phase) / static_cast<float>(s->dstRate);
        const float left = a[0] + (b[0] - a[0]) * t;
        const float right = a[1] + (b[1] - a[1]) * t;
        if (s->dstChannels == 1) {
            s->output.push_back(toSample((left + right) * 0.5f));
        } else {
            s->output.push_back(toSample(left));
            s->output.push_back(toSample(right));
        }
        s->phase += s->srcRate;
        used += static_cast<size_t>(s->phase / s->dstRate);
        s->phase %= s->dstRate;
    }
    used = std::min(used, frames);
    s->source.erase(s->source.begin(), s->source.begin() + static_cast<std::ptrdiff_t>(used * 2));
}

}  // namespace

SDL_AudioStream* SDL_NewAudioStream(Uint16 srcFormat, Uint8 srcChannels, int srcRate, Uint16 dstFormat,
                                    Uint8 dstChannels, int dstRate)
{
    if (srcFormat != AUDIO_S16SYS || dstFormat != AUDIO_S16SYS) return nullptr;
    if (srcChannels < 1 || srcChannels > MAX_CHANNELS || dstChannels < 1 || dstChannels > MAX_CHANNELS) return nullptr;
    if (srcRate <= 0 || dstRate <= 0) return nullptr;
    return new (std::nothrow) SDL_AudioStream{srcChannels, dstChannels, srcRate, dstRate, {}, 0, {}, 0};
}

int SDL_AudioStreamPut(SDL_AudioStream* s, const void* buffer, int bytes)
{
    if (s == nullptr || buffer == nullptr || bytes < 0) return -1;
    const int16_t* in = static_cast<const int16_t*>(buffer);
    const int frames = bytes / (2 * s->srcChannels);
    s->flushed = 0;
    for (int i = 0; i < frames; ++i) {
        const float left = in[i * s->srcChannels];
        const float right = s->srcChannels == 2 ? in[i * 2 + 1] : left;
        s->source.push_back(left);
        s->source.push_back(right);
    }
    convert(s);
    return 0;
}

int SDL_AudioStreamGet(SDL_AudioStream* s, void* buffer, int bytes)
{
    if (s == nullptr || buffer == nullptr || bytes <= 0) return 0;
    const size_t samples = std::min(s->output.size(), static_cast<size_t>(bytes) / 2);
    std::memcpy(buffer, s->output.data(), samples * 2);
    s->output.erase(s->output.begin(), s->output.begin() + static_cast<std::ptrdiff_t>(samples));
    return static_cast<int>(samples * 2);
}

int SDL_AudioStreamAvailable(SDL_AudioStream* s)
{
    return s == nullptr ? 0 : static_cast<int>(s->output.size() * 2);
}

int SDL_AudioStreamFlush(SDL_AudioStream* s)
{
    if (s == nullptr) return -1;
    s->flushed = 1;
    convert(s);
    return 0;
}

void SDL_AudioStreamClear(SDL_AudioStream* s)
{
    if (s == nullptr) return;
    s->source.clear();
    s->output.clear();
    s->phase = 0;
    s->flushed = 0;
}

void SDL_FreeAudioStream(SDL_AudioStream* s) { delete s; }
