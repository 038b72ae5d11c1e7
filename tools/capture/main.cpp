// vantrel-capture: the demo, unchanged, on the headless layer; all the work is
// done at the buffer swaps, where the frame just drawn is still in the target.
//
// At a swap the virtual counter has not yet moved on, so the frame index is
// (counter - clock start) / counts per frame, exactly. The loading phase swaps
// once before the demo clock starts; that swap is the loading image, not a demo
// frame. A scene's draw sets sceneDone in its last frame and that frame is still
// swapped, so counting the swaps that see sceneDone set tells which scene drew
// each frame.
#include <GL/gl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>

#include "platform/headless.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "tools/capture/capture.h"

namespace {

constexpr double DEMO_SECONDS = 192.0;          // end of the last scene; only for the progress estimate
constexpr double PROGRESS_INTERVAL_TTY = 0.1;   // wall seconds between progress bar updates on a terminal
constexpr double PROGRESS_INTERVAL_LOG = 5.0;   // ... and between progress lines into a file or pipe
constexpr int PROGRESS_BAR_WIDTH = 30;          // characters
const char* const SOUNDTRACK_FILE = "Halvo.mp3";
// Frames rasterised in full before each written frame, after a stretch run with
// rasterisation off. Every scene clears the whole target and redraws it each
// frame, and the spheres' texture copy is of the same frame's corner, so the
// first frame drawn again is already the full run's picture; one more frame is
// drawn as a margin for any effect that reads the previous frame.
constexpr int64_t SETTLE_FRAMES = 1;

CaptureOptions options;                 // the command line
volatile sig_atomic_t interrupted = 0;  // Ctrl-C seen; the next swap ends the run

struct CaptureRun {
    int64_t countsPerFrame;         // virtual counts between two frames
    int64_t firstFrame;             // first frame of the range
    int64_t endFrame;               // one past the range's last frame; INT64_MAX: to the demo's end
    std::vector<int64_t> atFrames;  // --at frames, ascending, each once
    int64_t progressTotal;          // frames the run is expected to draw, for the progress bar
    std::string framesPath;         // --frames folder as an absolute path
    std::string videoPath;          // --video as an absolute path
    std::string soundtrack;         // absolute path of the soundtrack, empty when it cannot be read
    int scenesEnded;                // scenes whose last frame has been swapped
    int64_t lastFrame;              // last demo frame seen, -1 before the first
    int stopping;                   // a quit message has been posted
    int failed;                     // an output failed; the reason is in failure
    std::string failure;
    double startWall;               // wall seconds when demoMain was called
    HostCpu startCpu;               // --bench: the machine's CPU time then; hasStartCpu: it was read
    int hasStartCpu;
    double lastSwapWall;            // wall seconds at the end of the previous demo frame's swap
    double lastProgressWall;
    int progressShown;              // a progress bar is on the terminal line
    double loadingMs;               // demoMain's call to the first frame's swap
    std::vector<double> sceneMs[SCENE_COUNT];  // frame times of the frames in range, per scene
    std::vector<WrittenFile> written;
    std::deque<int64_t> reading;               // frames whose reads back have started and not finished, oldest first
};
CaptureRun run;  // state of the one run of the demo

double wallSeconds()
{
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double frameSeconds(int64_t frame)
{
    return static_cast<double>(frame) / options.fps;
}

void onInterrupt(int)
{
    if (interrupted) {
        // A second Ctrl-C does not wait for the files.
        signal(SIGINT, SIG_DFL);
        raise(SIGINT);
    }
    interrupted = 1;
}

std::string absolutePath(const std::string& path)
{
    if (path.empty() || path[0] == '/') return path;
    char cwd[PATH_MAX] = {};
    if (getcwd(cwd, sizeof cwd) == nullptr) return path;
    return std::string(cwd) + "/" + path;
}

// Creates a folder and its parents.
int makeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return 0;
        if (slash == std::string::npos) break;
    }
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && access(path.c_str(), W_OK) == 0;
}

int inRange(int64_t frame)
{
    if (!run.atFrames.empty()) return std::binary_search(run.atFrames.begin(), run.atFrames.end(), frame);
    return frame >= run.firstFrame && frame < run.endFrame;
}

// The first frame to be written at or after a frame; INT64_MAX when none is.
int64_t nextWanted(int64_t frame)
{
    if (!run.atFrames.empty()) {
        const auto next = std::lower_bound(run.atFrames.begin(), run.atFrames.end(), frame);
        return next == run.atFrames.end() ? INT64_MAX : *next;
    }
    if (frame >= run.endFrame) return INT64_MAX;
    return std::max(frame, run.firstFrame);
}

// Whether a frame is drawn into the target: a written frame or one of the
// settling frames before it. The others run with rasterisation off.
int rasterised(int64_t frame)
{
    if (options.drawAll) return 1;
    const int64_t next = nextWanted(frame);
    return next != INT64_MAX && next - frame <= SETTLE_FRAMES;
}

int lastWanted(int64_t frame)
{
    if (!run.atFrames.empty()) return frame >= run.atFrames.back();
    return run.endFrame != INT64_MAX && frame >= run.endFrame - 1;
}

// Ends the demo after this frame: the quit message is taken before the next draw.
void stopDemo()
{
    if (run.stopping) return;
    run.stopping = 1;
    platformPostQuitMessage(0);
}

void fail(const std::string& reason)
{
    if (!run.failed) run.failure = reason;
    run.failed = 1;
    stopDemo();
}

std::string clockText(double seconds)
{
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32] = {};
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

void showProgress(int64_t frame, int final)
{
    if (options.quiet) return;
    const double now = wallSeconds();
    const int tty = isatty(STDERR_FILENO);
    if (!final && now - run.lastProgressWall < (tty ? PROGRESS_INTERVAL_TTY : PROGRESS_INTERVAL_LOG)) return;
    run.lastProgressWall = now;
    const int64_t done = frame + 1;
    // A demo that ran to its own end is done whatever the estimate said.
    const int ranToEnd = final && !run.stopping;
    const int64_t total = ranToEnd ? done : std::max(run.progressTotal, done);
    const double fraction = static_cast<double>(done) / static_cast<double>(total);
    const double elapsed = now - run.startWall;
    const double eta = fraction > 0.0 ? elapsed * (1.0 - fraction) / fraction : 0.0;
    char bar[PROGRESS_BAR_WIDTH + 1] = {};
    const int filled = static_cast<int>(fraction * PROGRESS_BAR_WIDTH);
    for (int i = 0; i < PROGRESS_BAR_WIDTH; ++i) bar[i] = i < filled ? '#' : '-';
    std::fprintf(stderr, "%s[%s] frames %lld/%lld  demo %.1f/%.1f s  elapsed %s  ETA %s%s", tty ? "\r" : "", bar,
                 static_cast<long long>(done), static_cast<long long>(total), frameSeconds(frame),
                 frameSeconds(total - 1), clockText(elapsed).c_str(), clockText(eta).c_str(), tty ? "\033[K" : "\n");
    run.progressShown = tty;
}

// Hands the oldest frame read back to the writer.
void finishRead()
{
    std::vector<unsigned char> rgb = frameWriterBuffer();
    if (!headlessFinishFrameRead(rgb.data())) fail("the GL lost a frame being read back");
    frameWriterPut(run.reading.front(), std::move(rgb));
    run.reading.pop_front();
}

// Starts reading back the frame just swapped. The frame before it, if still
// pending, is handed to the writer now: its copy was started a frame ago, so
// taking it does not wait for the drawing just sent.
void readFrame(int64_t frame)
{
    // ffmpeg is started here, on the thread that started the process, at the
    // video's first frame; the writer only feeds its pipe.
    std::string error;
    if (!options.videoFile.empty() && videoWriter.pid == 0 &&
        !videoStart(run.videoPath, run.soundtrack, options.fps, frame, &error)) {
        fail(error);
        return;
    }
    if (!headlessStartFrameRead()) {
        finishRead();
        headlessStartFrameRead();
    }
    run.reading.push_back(frame);
    while (static_cast<int>(run.reading.size()) >= HEADLESS_READ_SLOTS) finishRead();
}

void onSwap(void*)
{
    if (interrupted) stopDemo();
    std::string failure;
    if (frameWriterFailed(&failure)) fail(failure);
    if (demoClock.frequency == 0) {
        // The loading image: the demo clock has not started. Frame 0 is the next drawn.
        headlessSetRasterDiscard(!rasterised(0));
        return;
    }
    if (options.bench) glFinish();         // the frame's GL work belongs to its time
    const double now = wallSeconds();
    const int64_t frame = (headlessCounter() - demoClock.counterStart) / run.countsPerFrame;
    if (frame <= run.lastFrame) return;    // only the frames of the demo's run, each once
    run.lastFrame = frame;
    const int scene = std::min(run.scenesEnded, SCENE_COUNT - 1);
    if (sceneDone) ++run.scenesEnded;
    if (frame == 0) run.loadingMs = (now - run.startWall) * 1000.0;
    if (!run.stopping && inRange(frame)) {
        // The first frame has no earlier frame to be timed from: its time is in the loading figure.
        if (options.bench && frame > 0) run.sceneMs[scene].push_back((now - run.lastSwapWall) * 1000.0);
        if (!options.bench) readFrame(frame);
        if (lastWanted(frame)) stopDemo();
    }
    // The demo draws no more frames once stopping, or after its last scene; the
    // reads still pending are finished while the window is open.
    if (run.stopping || run.scenesEnded == SCENE_COUNT)
        while (!run.reading.empty()) finishRead();
    headlessSetRasterDiscard(!rasterised(frame + 1));
    showProgress(frame, 0);
    run.lastSwapWall = wallSeconds();
}

void printStats(const char* label, const std::vector<double>& milliseconds)
{
    const FrameStats stats = frameStats(milliseconds);
    std::printf("%s  frames %d  median %.2f ms  p95 %.2f ms  max %.2f ms\n", label, stats.frames, stats.median,
                stats.p95, stats.max);
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "vantrel-capture: %s\n", message.c_str());
    return EXIT_USAGE;
}

// Checks the outputs and the data folder, creates the --frames folder and moves
// into the data folder; nothing is created before every check has passed.
// Returns 0 or an exit status.
int prepare()
{
    if (!options.videoFile.empty() && !findOnPath("ffmpeg"))
        return usageError("--video needs ffmpeg, which is not on PATH (install the ffmpeg package)");
    run.framesPath = absolutePath(options.framesDir);
    run.videoPath = absolutePath(options.videoFile);
    if (!options.dataDir.empty()) {
        struct stat info = {};
        if (stat(options.dataDir.c_str(), &info) != 0)
            return usageError("cannot read --data folder '" + options.dataDir + "': " + std::strerror(errno));
        if (!S_ISDIR(info.st_mode)) return usageError("cannot read --data folder '" + options.dataDir + "': not a folder");
        if (access(options.dataDir.c_str(), R_OK | X_OK) != 0)
            return usageError("cannot read --data folder '" + options.dataDir + "': " + std::strerror(errno));
    }
    if (!options.videoFile.empty()) {
        const std::string folder = run.videoPath.substr(0, run.videoPath.rfind('/') + 1);
        if (access(folder.c_str(), W_OK) != 0)
            return usageError("cannot write --video '" + options.videoFile + "': " + std::strerror(errno));
    }
    if (!options.framesDir.empty() && !makeFolders(run.framesPath))
        return usageError("cannot create or write --frames folder '" + options.framesDir + "': " + std::strerror(errno));
    if (!options.dataDir.empty() && chdir(options.dataDir.c_str()) != 0)
        return usageError("cannot read --data folder '" + options.dataDir + "': " + std::strerror(errno));
    if (!options.videoFile.empty()) {
        if (access(SOUNDTRACK_FILE, R_OK) == 0) {
            run.soundtrack = absolutePath(SOUNDTRACK_FILE);
        } else {
            std::fprintf(stderr, "vantrel-capture: no readable %s in the data folder; the video's sound is silence\n",
                         SOUNDTRACK_FILE);
        }
    }
    return 0;
}

void planFrames()
{
    run.countsPerFrame = HEADLESS_COUNTER_FREQUENCY / options.fps;
    run.firstFrame = options.hasFrom ? firstFrameAtOrAfter(options.from, options.fps) : 0;
    run.endFrame = options.hasTo ? firstFrameAtOrAfter(options.to, options.fps) : INT64_MAX;
    for (double seconds : options.at) run.atFrames.push_back(firstFrameAtOrAfter(seconds, options.fps));
    std::sort(run.atFrames.begin(), run.atFrames.end());
    run.atFrames.erase(std::unique(run.atFrames.begin(), run.atFrames.end()), run.atFrames.end());
    if (!run.atFrames.empty()) run.progressTotal = run.atFrames.back() + 1;
    else if (options.hasTo) run.progressTotal = run.endFrame;
    else run.progressTotal = firstFrameAtOrAfter(DEMO_SECONDS, options.fps) + 1;
    run.lastFrame = -1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    if (!parseOptions(argc, argv, &options, &error)) return usageError(error);
    if (options.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (options.framesDir.empty() && options.videoFile.empty() && !options.bench) {
        std::fputs(usageText(), stderr);
        return EXIT_USAGE;
    }
    const int prepared = prepare();
    if (prepared != 0) return prepared;
    if (!ensureDisplay(&error)) return usageError(error);
    planFrames();

    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a dead ffmpeg shows as a failed write

    const FrameOutput output{run.framesPath, options.framesDir, run.videoPath, run.soundtrack, options.fps};
    if (!options.bench && !frameWriterStart(output, &error)) {
        std::fprintf(stderr, "vantrel-capture: %s\n", error.c_str());
        return EXIT_RUN_FAILED;
    }

    HeadlessConfig config;
    config.framesPerSecond = options.fps;
    config.keepHeardSamples = 0;  // the video's sound is cut from the soundtrack file
    config.onSwap = onSwap;
    headlessConfigure(config);
    run.startWall = wallSeconds();
    run.hasStartCpu = options.bench && readHostCpu(&run.startCpu);
    run.lastProgressWall = run.startWall;
    // What the demo itself prints goes to stderr: stdout carries only the list of written files.
    std::fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    const int demoStatus = demoMain();
    std::fflush(stdout);
    if (savedStdout >= 0) {
        dup2(savedStdout, STDOUT_FILENO);
        close(savedStdout);
    }
    if (run.lastFrame >= 0) showProgress(run.lastFrame, 1);
    if (run.progressShown) std::fputc('\n', stderr);
    frameWriterFinish();
    run.written = frameWriter.written;
    if (frameWriterFailed(&error) && !run.failed) {
        run.failed = 1;
        run.failure = error;
    }

    if (videoWriter.pid != 0) {
        const int64_t first = videoWriter.firstFrame;
        if (videoFinish(&error)) {
            run.written.push_back(WrittenFile{options.videoFile, frameSeconds(first),
                                              frameSeconds(first + videoWriter.framesWritten), 1});
        } else if (!run.failed) {
            run.failed = 1;
            run.failure = error;
        }
    }
    for (const WrittenFile& file : run.written) {
        if (file.video) std::printf("%s\t%.6f\t%.6f\n", file.path.c_str(), file.seconds, file.endSeconds);
        else std::printf("%s\t%.6f\n", file.path.c_str(), file.seconds);
    }
    if (options.bench && demoStatus == 0 && run.lastFrame >= 0) {
        std::printf("loading  %.1f ms\n", run.loadingMs);
        std::vector<double> all;
        for (int scene = 0; scene < SCENE_COUNT; ++scene) {
            if (run.sceneMs[scene].empty()) continue;
            const std::string label = "scene " + std::to_string(scene + 1);
            printStats(label.c_str(), run.sceneMs[scene]);
            all.insert(all.end(), run.sceneMs[scene].begin(), run.sceneMs[scene].end());
        }
        printStats("total", all);
        // The high-water mark of the whole run, the GL driver's memory included.
        struct rusage usage {};
        if (getrusage(RUSAGE_SELF, &usage) == 0)
            std::printf("peak memory  %.1f MB\n", static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6);
        // What the host took from this machine during the run: the timings above
        // are stretched by about that much, so runs are only compared when it is small.
        HostCpu endCpu = {};
        if (run.hasStartCpu && readHostCpu(&endCpu)) {
            const double total = endCpu.totalS - run.startCpu.totalS;
            const double stolen = endCpu.stolenS - run.startCpu.stolenS;
            std::printf("cpu stolen  %.1f s  %.1f %% of the machine's cpu time\n", stolen,
                        total > 0.0 ? 100.0 * stolen / total : 0.0);
        }
    }
    std::fflush(stdout);

    if (demoStatus != 0) {
        std::fprintf(stderr, "vantrel-capture: the demo failed to start (see the messages above)\n");
        return EXIT_RUN_FAILED;
    }
    if (run.failed) {
        std::fprintf(stderr, "vantrel-capture: %s\n", run.failure.c_str());
        return EXIT_RUN_FAILED;
    }
    if (interrupted) {
        std::fprintf(stderr, "vantrel-capture: interrupted at demo time %.3f s; the files above are complete\n",
                     run.lastFrame >= 0 ? frameSeconds(run.lastFrame) : 0.0);
        return EXIT_INTERRUPTED;
    }
    const double endSeconds = run.lastFrame >= 0 ? frameSeconds(run.lastFrame) : 0.0;
    if (!run.atFrames.empty() && run.lastFrame < run.atFrames.back()) {
        std::fprintf(stderr, "vantrel-capture: the demo ended at %.3f s, before the last --at time\n", endSeconds);
        return EXIT_RUN_FAILED;
    }
    if (!options.bench && run.written.empty()) {
        std::fprintf(stderr, "vantrel-capture: nothing written: the demo ended at %.3f s, before --from\n", endSeconds);
        return EXIT_RUN_FAILED;
    }
    return 0;
}
