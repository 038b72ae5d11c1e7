// The command line of vantrel-capture, the frame and sample arithmetic of a
// range, and the figures of --bench.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <unistd.h>

#include "platform/headless.h"
#include "tools/capture/capture.h"

namespace {

constexpr double FRAME_TOLERANCE = 1e-6;  // frames; absorbs the rounding of decimal times like 0.1
constexpr double MAX_SECONDS = 1e6;       // far past the demo's end, small enough for exact frame numbers

const char* const USAGE =
    "usage: vantrel-capture [--data DIR] [--fps N] [--from S] [--to S] [--at T,T,...]\n"
    "                       [--frames DIR] [--video FILE.mp4] [--bench] [--draw-all] [--quiet]\n"
    "\n"
    "Runs the demo offscreen on a virtual clock: frame k is drawn at demo time k / N.\n"
    "  --data DIR        asset folder to run in (default: the current directory)\n"
    "  --fps N           frames per second of demo time (default 60; must divide 27720000)\n"
    "  --from S, --to S  demo seconds to write: frames with S_from <= k / N < S_to\n"
    "                    (default: from 0 to the end of the demo)\n"
    "  --at T,T,...      write only the first frame at or after each time T\n"
    "  --frames DIR      write DIR/frame-NNNNNN.png (NNNNNN: the frame index k)\n"
    "  --video FILE.mp4  write H.264 video at N fps with the soundtrack cut to the range\n"
    "  --bench           write nothing; print the loading time (start to the first frame\n"
    "                    on screen), then for each scene the frames in the range with\n"
    "                    their median, 95th percentile and longest time, swap to swap,\n"
    "                    the process's peak resident memory, and the CPU time a virtual\n"
    "                    machine's host took from the machine meanwhile (it stretches\n"
    "                    the timings)\n"
    "  --draw-all        rasterise every frame; by default the frames before the range\n"
    "                    and between --at times run the scenes but draw nothing, but\n"
    "                    for the few just before each written frame (the same bytes)\n"
    "  --quiet           no progress bar on stderr\n"
    "Each written file is printed on stdout with its demo time. Without a display the\n"
    "tool starts its own Xvfb. Ctrl-C finishes the files written so far.\n";

// A number of seconds: finite, not negative, the whole text consumed.
int parseSeconds(const char* text, double* seconds)
{
    if (text == nullptr || *text == '\0') return 0;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value) || value < 0.0 ||
        value > MAX_SECONDS)
        return 0;
    *seconds = value;
    return 1;
}

int parseTimes(const char* text, std::vector<double>* times)
{
    std::string list = text ? text : "";
    if (list.empty()) return 0;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        double seconds = 0.0;
        if (!parseSeconds(list.substr(start, comma - start).c_str(), &seconds)) return 0;
        times->push_back(seconds);
        start = comma + 1;
    }
    return 1;
}

}  // namespace

const char* usageText()
{
    return USAGE;
}

int parseOptions(int argc, char** argv, CaptureOptions* options, std::string* error)
{
    *options = CaptureOptions{};
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        int hasValue = 0;
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = 1;
        }
        const bool flag = name == "--bench" || name == "--quiet" || name == "--draw-all" || name == "--help" ||
                          name == "-h";
        const bool takesValue = name == "--data" || name == "--fps" || name == "--from" || name == "--to" ||
                                name == "--at" || name == "--frames" || name == "--video";
        if (!flag && !takesValue) {
            *error = "unknown option '" + std::string(argv[i]) + "' (try --help)";
            return 0;
        }
        if (flag && hasValue) {
            *error = "option " + name + " takes no value";
            return 0;
        }
        if (takesValue && !hasValue) {
            if (i + 1 >= argc) {
                *error = "option " + name + " needs a value";
                return 0;
            }
            value = argv[++i];
        }
        if (name == "--bench") {
            options->bench = 1;
        } else if (name == "--quiet") {
            options->quiet = 1;
        } else if (name == "--draw-all") {
            options->drawAll = 1;
        } else if (name == "--help" || name == "-h") {
            options->help = 1;
        } else if (name == "--data") {
            if (value.empty()) {
                *error = "option --data needs a folder";
                return 0;
            }
            options->dataDir = value;
        } else if (name == "--fps") {
            char* end = nullptr;
            errno = 0;
            const long fps = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || errno != 0 || *end != '\0' || fps <= 0 || fps > HEADLESS_COUNTER_FREQUENCY ||
                HEADLESS_COUNTER_FREQUENCY % fps != 0) {
                *error = "--fps '" + value + "': must be a whole number of frames per second that divides " +
                         std::to_string(HEADLESS_COUNTER_FREQUENCY) + " (e.g. 24, 25, 30, 50, 60)";
                return 0;
            }
            options->fps = static_cast<int>(fps);
        } else if (name == "--from" || name == "--to") {
            double seconds = 0.0;
            if (!parseSeconds(value.c_str(), &seconds)) {
                *error = name + " '" + value + "': must be a number of seconds from 0 to 1000000";
                return 0;
            }
            if (name == "--from") {
                options->hasFrom = 1;
                options->from = seconds;
            } else {
                options->hasTo = 1;
                options->to = seconds;
            }
        } else if (name == "--at") {
            if (!parseTimes(value.c_str(), &options->at)) {
                *error = "--at '" + value + "': must be a comma-separated list of seconds, each from 0 to 1000000";
                return 0;
            }
        } else if (name == "--frames") {
            if (value.empty()) {
                *error = "option --frames needs a folder";
                return 0;
            }
            options->framesDir = value;
        } else if (name == "--video") {
            if (value.empty()) {
                *error = "option --video needs a file name";
                return 0;
            }
            options->videoFile = value;
        }
    }
    if (options->help) return 1;
    if (options->hasFrom && options->hasTo &&
        firstFrameAtOrAfter(options->to, options->fps) <= firstFrameAtOrAfter(options->from, options->fps)) {
        *error = "--from and --to hold no frame: --to must come at least one frame after --from";
        return 0;
    }
    if (options->hasTo && !options->hasFrom && firstFrameAtOrAfter(options->to, options->fps) == 0) {
        *error = "--to 0 holds no frame";
        return 0;
    }
    if (!options->at.empty() && (options->hasFrom || options->hasTo)) {
        *error = "--at picks its own frames; it cannot be combined with --from or --to";
        return 0;
    }
    if (!options->at.empty() && !options->videoFile.empty()) {
        *error = "--at picks single frames; use it with --frames, not --video";
        return 0;
    }
    if (options->bench && (!options->framesDir.empty() || !options->videoFile.empty())) {
        *error = "--bench writes nothing; it cannot be combined with --frames or --video";
        return 0;
    }
    if (options->bench && !options->at.empty()) {
        *error = "--bench times ranges of frames; it cannot be combined with --at";
        return 0;
    }
    return 1;
}

int64_t firstFrameAtOrAfter(double seconds, int fps)
{
    return static_cast<int64_t>(std::ceil(seconds * fps - FRAME_TOLERANCE));
}

int64_t audioSampleOfFrame(int64_t frame, int fps)
{
    // Nearest sample; exact whenever the frame rate divides 44100.
    return (frame * AUDIO_RATE + fps / 2) / fps;
}

FrameStats frameStats(std::vector<double> milliseconds)
{
    FrameStats stats = {};
    stats.frames = static_cast<int>(milliseconds.size());
    if (milliseconds.empty()) return stats;
    std::sort(milliseconds.begin(), milliseconds.end());
    const size_t n = milliseconds.size();
    stats.median = n % 2 == 1 ? milliseconds[n / 2] : (milliseconds[n / 2 - 1] + milliseconds[n / 2]) / 2.0;
    const size_t rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(n)));
    stats.p95 = milliseconds[std::max<size_t>(rank, 1) - 1];
    stats.max = milliseconds[n - 1];
    return stats;
}

namespace {

// The figures from the first line of /proc/stat, whose counters tick ticksPerS
// times a second. Returns 1, or 0 when the line is not a whole "cpu" line.
int parseHostCpu(const char* statText, double ticksPerS, HostCpu* cpu)
{
    // The first line sums every CPU: user nice system idle iowait irq softirq
    // steal, then guest times that user already holds.
    constexpr int FIELDS = 8;
    constexpr int STEAL_FIELD = 7;
    if (std::strncmp(statText, "cpu ", 4) != 0 || ticksPerS <= 0.0) return 0;
    const char* cursor = statText + 4;
    double ticks[FIELDS] = {};
    for (int i = 0; i < FIELDS; ++i) {
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(cursor, &end, 10);
        if (end == cursor || errno != 0) return 0;
        ticks[i] = static_cast<double>(value);
        cursor = end;
    }
    double total = 0.0;
    for (double field : ticks) total += field;
    *cpu = HostCpu{total / ticksPerS, ticks[STEAL_FIELD] / ticksPerS};
    return 1;
}

}  // namespace

int readHostCpu(HostCpu* cpu)
{
    std::ifstream file("/proc/stat");
    std::string line;
    if (!std::getline(file, line)) return 0;
    return parseHostCpu(line.c_str(), static_cast<double>(sysconf(_SC_CLK_TCK)), cpu);
}
