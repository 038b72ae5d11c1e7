// The part of SDL's audio interface that the shared sound layer uses, for the
// web build, which has no SDL: the converter a stream in another format than
// the device's goes through. platform/web/web_audio_stream.cpp implements it.
#pragma once

#include <cstdint>

using Uint8 = uint8_t;
using Uint16 = uint16_t;
constexpr Uint16 AUDIO_S16SYS = 0x8010;  // signed 16-bit samples in the machine's byte order

// Converts interleaved 16-bit audio from one channel count and rate to another.
struct SDL_AudioStream;

// Null when a format is not 16-bit, a count is not 1 or 2, or a rate is not positive.
SDL_AudioStream* SDL_NewAudioStream(Uint16 srcFormat, Uint8 srcChannels, int srcRate, Uint16 dstFormat,
                                    Uint8 dstChannels, int dstRate);
// Takes bytes of source samples; 0 on success, -1 on failure.
int SDL_AudioStreamPut(SDL_AudioStream* stream, const void* buffer, int bytes);
// Copies up to bytes of converted samples out; returns how many bytes.
int SDL_AudioStreamGet(SDL_AudioStream* stream, void* buffer, int bytes);
// Bytes of converted samples ready to be taken.
int SDL_AudioStreamAvailable(SDL_AudioStream* stream);
// Converts what is held back for the next input: the end of the source.
int SDL_AudioStreamFlush(SDL_AudioStream* stream);
// Forgets everything put and not yet taken.
void SDL_AudioStreamClear(SDL_AudioStream* stream);
void SDL_FreeAudioStream(SDL_AudioStream* stream);
