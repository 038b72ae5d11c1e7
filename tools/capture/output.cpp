// What the capture writes: PNG files, and the MP4 video made by ffmpeg.
//
// The video is made in two steps. While the demo runs, raw YUV frames go down a
// pipe into ffmpeg, which encodes H.264 into a partial file without sound. When
// the last frame is in (the range's end, the demo's end or Ctrl-C), the number
// of frames is known, and a second ffmpeg copies the video and adds the
// soundtrack cut at the exact samples of the first and the end frame, so sound
// and picture are of the same length however the capture ended.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "tools/capture/capture.h"

VideoWriter videoWriter = {"", "", "", 0, 0, 0, -1, 0, {}};

namespace {

const char* const VIDEO_CODEC_ARGS[] = {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p"};
const char* const AUDIO_CODEC_ARGS[] = {"-c:a", "aac", "-b:a", "192k"};
constexpr double SOUNDTRACK_READ_MARGIN_S = 1.0;  // seconds of soundtrack read past the end frame's sample
// The encoder runs at the lowest priority. The software renderer leaves part of
// the cores idle while one thread bins a frame and the others wait, and the other
// way round; the encoder then fills those gaps instead of taking turns with the
// renderer's busy threads, which slowed every frame. Frames queue in the pipe
// and the writer while it is behind; when the queue is full the render thread
// waits and the encoder has the cores.
constexpr int ENCODER_NICENESS = 19;

// BT.601 for 8-bit limited range (luma 16..235, chroma 16..240), in 1/65536:
// each coefficient is the colour's weight times 219/255 (luma) or 224/255
// (chroma). The chroma rows each sum to 0, so greys have no colour.
constexpr int32_t YUV_ONE = 1 << 16;
constexpr int32_t Y_FROM_R = 16829, Y_FROM_G = 33039, Y_FROM_B = 6416;
constexpr int32_t U_FROM_R = -9713, U_FROM_G = -19071, U_FROM_B = 28784;
constexpr int32_t V_FROM_R = 28784, V_FROM_G = -24103, V_FROM_B = -4681;
constexpr int32_t LUMA_BLACK = 16, CHROMA_ZERO = 128;

// Starts a program with its own process group (so that Ctrl-C reaches only this
// process, which then finishes the files in order). stdinFd, when not -1, becomes
// the program's standard input; niceness is the program's nice value. Returns
// the process id, or -1.
pid_t spawn(const std::vector<std::string>& args, int stdinFd, int closeFd, int niceness)
{
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    setpgid(0, 0);
    if (niceness != 0) setpriority(PRIO_PROCESS, 0, niceness);  // a refusal leaves it at normal priority
    signal(SIGPIPE, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    if (stdinFd >= 0) {
        dup2(stdinFd, STDIN_FILENO);
        close(stdinFd);
    } else {
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, STDIN_FILENO);
    }
    if (closeFd >= 0) close(closeFd);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "vantrel-capture: cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
}

// Waits for a child; returns 1 when it exited with status 0.
int waitSucceeded(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return 0;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> ffmpegCommand()
{
    return {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-nostats", "-y"};
}

int writeAll(int fd, const unsigned char* bytes, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return 1;
}

}  // namespace

void rgbToYuv420(const unsigned char* rgb, unsigned char* yuv)
{
    constexpr int W = FRAME_WIDTH, H = FRAME_HEIGHT;
    unsigned char* lumaPlane = yuv;
    unsigned char* uPlane = yuv + W * H;
    unsigned char* vPlane = uPlane + (W / 2) * (H / 2);
    constexpr int32_t lumaBias = LUMA_BLACK * YUV_ONE + YUV_ONE / 2;       // rounds to nearest
    constexpr int32_t chromaBias = CHROMA_ZERO * 4 * YUV_ONE + 2 * YUV_ONE;  // over sums of four pixels
    for (size_t i = 0; i < static_cast<size_t>(W) * H; ++i) {
        const unsigned char* p = rgb + i * 3;
        lumaPlane[i] = static_cast<unsigned char>((Y_FROM_R * p[0] + Y_FROM_G * p[1] + Y_FROM_B * p[2] + lumaBias) >> 16);
    }
    for (int y = 0; y < H; y += 2) {
        const unsigned char* top = rgb + static_cast<size_t>(y) * W * 3;
        const unsigned char* bottom = top + W * 3;
        unsigned char* uRow = uPlane + static_cast<size_t>(y / 2) * (W / 2);
        unsigned char* vRow = vPlane + static_cast<size_t>(y / 2) * (W / 2);
        for (int x = 0; x < W / 2; ++x) {
            const unsigned char* a = top + x * 6;
            const unsigned char* b = bottom + x * 6;
            const int32_t r = a[0] + a[3] + b[0] + b[3];
            const int32_t g = a[1] + a[4] + b[1] + b[4];
            const int32_t bl = a[2] + a[5] + b[2] + b[5];
            uRow[x] = static_cast<unsigned char>((U_FROM_R * r + U_FROM_G * g + U_FROM_B * bl + chromaBias) >> 18);
            vRow[x] = static_cast<unsigned char>((V_FROM_R * r + V_FROM_G * g + V_FROM_B * bl + chromaBias) >> 18);
        }
    }
}

int writeFramePng(const std::string& path, const unsigned char* rgb)
{
    return stbi_write_png(path.c_str(), FRAME_WIDTH, FRAME_HEIGHT, 3, rgb, FRAME_WIDTH * 3) != 0;
}

int videoStart(const std::string& path, const std::string& soundtrack, int fps, int64_t firstFrame, std::string* error)
{
    videoWriter = VideoWriter{path, path + ".part", soundtrack, fps, firstFrame, 0, -1, 0, {}};
    videoWriter.yuv.assign(YUV_FRAME_BYTES, 0);
    int fds[2] = {-1, -1};
    if (pipe(fds) != 0) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return 0;
    }
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> args = ffmpegCommand();
    const std::string size = std::to_string(FRAME_WIDTH) + "x" + std::to_string(FRAME_HEIGHT);
    for (const char* arg : {"-f", "rawvideo", "-pix_fmt", "yuv420p", "-s"}) args.push_back(arg);
    args.push_back(size);
    args.push_back("-framerate");
    args.push_back(std::to_string(fps));
    for (const char* arg : {"-i", "pipe:0", "-an"}) args.push_back(arg);
    for (const char* arg : VIDEO_CODEC_ARGS) args.push_back(arg);
    for (const char* arg : {"-f", "mp4"}) args.push_back(arg);
    args.push_back(videoWriter.partPath);
    const pid_t pid = spawn(args, fds[0], fds[1], ENCODER_NICENESS);
    close(fds[0]);
    if (pid < 0) {
        close(fds[1]);
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return 0;
    }
    videoWriter.pid = pid;
    videoWriter.pipeFd = fds[1];
    return 1;
}

int videoWriteFrame(const unsigned char* rgb, std::string* error)
{
    if (videoWriter.pipeFd < 0) return 0;
    // Converted here, on the writer's thread, in half the bytes of RGB: cheaper
    // than the encoder's own conversion, and half as much goes down the pipe.
    rgbToYuv420(rgb, videoWriter.yuv.data());
    if (!writeAll(videoWriter.pipeFd, videoWriter.yuv.data(), videoWriter.yuv.size())) {
        *error = "ffmpeg stopped taking frames (" + std::string(std::strerror(errno)) + ")";
        return 0;
    }
    ++videoWriter.framesWritten;
    return 1;
}

int videoFinish(std::string* error)
{
    if (videoWriter.pid == 0) return 0;
    if (videoWriter.pipeFd >= 0) close(videoWriter.pipeFd);
    videoWriter.pipeFd = -1;
    const int encoded = waitSucceeded(videoWriter.pid);
    videoWriter.pid = 0;
    if (!encoded || videoWriter.framesWritten == 0) {
        unlink(videoWriter.partPath.c_str());
        *error = videoWriter.framesWritten == 0 ? "no frame was written to the video" : "ffmpeg failed to encode the video";
        return 0;
    }
    // The sound of exactly the frames written: from the first frame's sample to
    // the end frame's, padded with silence where the soundtrack is shorter.
    const int64_t startSample = audioSampleOfFrame(videoWriter.firstFrame, videoWriter.fps);
    const int64_t endSample = audioSampleOfFrame(videoWriter.firstFrame + videoWriter.framesWritten, videoWriter.fps);
    const std::string length = std::to_string(endSample - startSample);
    const std::string rate = std::to_string(AUDIO_RATE);
    std::vector<std::string> args = ffmpegCommand();
    args.push_back("-i");
    args.push_back(videoWriter.partPath);
    if (videoWriter.soundtrack.empty()) {
        for (const char* arg : {"-f", "lavfi", "-i"}) args.push_back(arg);
        args.push_back("anullsrc=r=" + rate + ":cl=stereo");
    } else {
        // Only the soundtrack up to the end frame is decoded (with a second to
        // spare for the decoder's delay), not the rest of the file.
        args.push_back("-t");
        args.push_back(std::to_string(static_cast<double>(endSample) / AUDIO_RATE + SOUNDTRACK_READ_MARGIN_S));
        args.push_back("-i");
        args.push_back(videoWriter.soundtrack);
    }
    args.push_back("-filter_complex");
    args.push_back("[1:a]aresample=" + rate + ",atrim=start_sample=" + std::to_string(startSample) +
                   ":end_sample=" + std::to_string(endSample) + ",asetpts=PTS-STARTPTS,apad=whole_len=" + length +
                   ",atrim=end_sample=" + length + "[a]");
    for (const char* arg : {"-map", "0:v", "-map", "[a]", "-c:v", "copy"}) args.push_back(arg);
    for (const char* arg : AUDIO_CODEC_ARGS) args.push_back(arg);
    // The edit lists that trim the encoder's priming are written in the movie's
    // time scale; the default (1/1000 s) would round the sound's length to a
    // millisecond. A scale that holds both a sample and a frame keeps both exact.
    args.push_back("-movie_timescale");
    args.push_back(std::to_string(std::lcm<int64_t>(AUDIO_RATE, videoWriter.fps)));
    for (const char* arg : {"-movflags", "+faststart", "-f", "mp4"}) args.push_back(arg);
    args.push_back(videoWriter.path);
    const pid_t pid = spawn(args, -1, -1, 0);
    const int muxed = pid > 0 && waitSucceeded(pid);
    unlink(videoWriter.partPath.c_str());
    if (!muxed) {
        *error = "ffmpeg failed to add the soundtrack to " + videoWriter.path;
        return 0;
    }
    return 1;
}
