// Pieces of the web build that stand in for what Debian's Emscripten lacks,
// checked under node: the float std::from_chars the ASE reader uses, against
// strtof and from_chars' own rules, and the audio converter the sound layer
// sends other rates and channel counts through. Prints one line per failure;
// the exit status is the number of failures.
#include <SDL.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    if (ok) return;
    std::printf("FAIL: %s\n", what);
    ++failures;
}

struct FloatCase {
    const char* text;
    std::chars_format format;
    std::errc error;
    size_t used;     // characters taken
    float value;     // when error is none
};

void checkFromChars()
{
    const FloatCase CASES[] = {
        {"1.5", std::chars_format::general, std::errc{}, 3, 1.5f},
        {"-0.25e2xyz", std::chars_format::general, std::errc{}, 7, -25.0f},
        {"3.", std::chars_format::general, std::errc{}, 2, 3.0f},
        {".5", std::chars_format::general, std::errc{}, 2, 0.5f},
        {"0x1p3", std::chars_format::general, std::errc{}, 1, 0.0f},  // no hexadecimal: the 0
        {"1p3", std::chars_format::hex, std::errc{}, 3, 8.0f},
        {"a.8", std::chars_format::hex, std::errc{}, 3, 10.5f},
        {"+1", std::chars_format::general, std::errc::invalid_argument, 0, 0.0f},
        {" 1", std::chars_format::general, std::errc::invalid_argument, 0, 0.0f},
        {"e5", std::chars_format::general, std::errc::invalid_argument, 0, 0.0f},
        {"-", std::chars_format::general, std::errc::invalid_argument, 0, 0.0f},
        {"1e60", std::chars_format::general, std::errc::result_out_of_range, 4, 0.0f},
    };
    for (const FloatCase& c : CASES) {
        float value = -7.0f;
        const std::from_chars_result r = std::from_chars(c.text, c.text + std::strlen(c.text), value, c.format);
        char what[96];
        std::snprintf(what, sizeof what, "from_chars(\"%s\"): error %d used %d value %g", c.text,
                      static_cast<int>(r.ec), static_cast<int>(r.ptr - c.text), value);
        check(r.ec == c.error, what);
        if (c.error == std::errc::invalid_argument) check(r.ptr == c.text && value == -7.0f, what);
        if (c.error == std::errc::result_out_of_range) check(value == -7.0f, what);  // left as it was
        if (c.error != std::errc::invalid_argument) check(static_cast<size_t>(r.ptr - c.text) == c.used, what);
        if (c.error == std::errc{}) check(value == c.value, what);
    }
    // The end bounds the number: "12345" cut after 3 characters is 123.
    float value = 0.0f;
    const char* text = "12345";
    std::from_chars(text, text + 3, value);
    check(value == 123.0f, "from_chars stops at its end");
}

// Puts source frames in and takes everything out after a flush.
std::vector<int16_t> convert(const std::vector<int16_t>& in, int inChannels, int inRate, int outChannels, int outRate)
{
    SDL_AudioStream* s = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(inChannels), inRate, AUDIO_S16SYS,
                                            static_cast<Uint8>(outChannels), outRate);
    std::vector<int16_t> out;
    if (s == nullptr) return out;
    const size_t half = in.size() / 2 / static_cast<size_t>(inChannels) * static_cast<size_t>(inChannels);
    SDL_AudioStreamPut(s, in.data(), static_cast<int>(half * 2));  // in two parts: nothing lost between them
    SDL_AudioStreamPut(s, in.data() + half, static_cast<int>((in.size() - half) * 2));
    SDL_AudioStreamFlush(s);
    out.resize(static_cast<size_t>(SDL_AudioStreamAvailable(s)) / 2);
    SDL_AudioStreamGet(s, out.data(), static_cast<int>(out.size() * 2));
    SDL_FreeAudioStream(s);
    return out;
}

void checkAudioStream()
{
    check(SDL_NewAudioStream(AUDIO_S16SYS, 3, 44100, AUDIO_S16SYS, 2, 44100) == nullptr, "3 channels refused");
    check(SDL_NewAudioStream(AUDIO_S16SYS, 2, 0, AUDIO_S16SYS, 2, 44100) == nullptr, "rate 0 refused");
    // Mono to stereo at the same rate: every sample twice, exactly.
    const std::vector<int16_t> mono = {0, 1000, -1000, 32767, -32768};
    const std::vector<int16_t> stereo = convert(mono, 1, 44100, 2, 44100);
    check(stereo == std::vector<int16_t>({0, 0, 1000, 1000, -1000, -1000, 32767, 32767, -32768, -32768}),
          "mono to stereo copies each sample");
    // 22050 to 44100 Hz: twice the frames, the new ones halfway between their neighbours.
    std::vector<int16_t> ramp;
    for (int i = 0; i < 100; ++i) {
        ramp.push_back(static_cast<int16_t>(i * 100));
        ramp.push_back(static_cast<int16_t>(-i * 100));
    }
    const std::vector<int16_t> up = convert(ramp, 2, 22050, 2, 44100);
    check(up.size() == ramp.size() * 2, "22050 to 44100 Hz doubles the frames");
    check(up.size() > 8 && up[2] == 50 && up[3] == -50 && up[4] == 100, "22050 to 44100 Hz interpolates");
    // 48000 to 44100 Hz: the length scales by the rates, within a frame.
    std::vector<int16_t> tone(2 * 4800);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>(10000 * std::sin(0.01 * (i / 2)));
    const std::vector<int16_t> down = convert(tone, 2, 48000, 2, 44100);
    check(std::abs(static_cast<long>(down.size() / 2) - 4410) <= 1, "48000 to 44100 Hz keeps the duration");
}

}  // namespace

int main()
{
    checkFromChars();
    checkAudioStream();
    std::printf("%s (%d failures)\n", failures == 0 ? "web units pass" : "web units FAIL", failures);
    return failures;
}
