// vantrel-capture: runs the unchanged demo on the headless platform layer and
// reads back frames at their buffer swaps, to write PNG files, an MP4 video with
// the soundtrack, or per-scene frame timings.
//
// Frame k of a run at N frames per second is drawn at demo time exactly k / N:
// the headless counter advances by a whole number of counts per swap. Every frame
// from 0 on is run (the scenes' state depends on each one); frames outside the
// chosen range are not read back, and those not just before a written frame are
// sent with rasterisation off, so they cost the scenes' own work and the GL calls
// but no pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int EXIT_USAGE = 2;        // bad command line, unreadable data, missing tool
constexpr int EXIT_RUN_FAILED = 1;   // the demo or an output failed while running
constexpr int EXIT_INTERRUPTED = 130;  // stopped by Ctrl-C after finishing the files

constexpr int FRAME_WIDTH = 800;     // pixels of every captured frame
constexpr int FRAME_HEIGHT = 600;
constexpr int AUDIO_RATE = 44100;    // sample frames per second of the video's sound
constexpr int DEFAULT_FPS = 60;

struct CaptureOptions {
    std::string dataDir;          // where the demo runs; empty: the current directory
    int fps = DEFAULT_FPS;        // frames per second of demo time
    int hasFrom = 0;
    double from = 0.0;            // demo seconds, first time written
    int hasTo = 0;
    double to = 0.0;              // demo seconds, end of the range (not included)
    std::vector<double> at;       // --at times; empty: the range above
    std::string framesDir;        // --frames; empty: no PNG files
    std::string videoFile;        // --video; empty: no video
    int bench = 0;
    int drawAll = 0;              // rasterise every frame, the pre-roll too
    int quiet = 0;
    int help = 0;
};

// Reads the command line into options. Returns 1, or 0 with one line of
// explanation in error.
int parseOptions(int argc, char** argv, CaptureOptions* options, std::string* error);
// The usage text.
const char* usageText();

// The first frame at or after a demo time, for a frame rate: ceil(seconds * fps),
// with a tolerance for the rounding of decimal input (0.1 s at 30 fps is frame 3).
int64_t firstFrameAtOrAfter(double seconds, int fps);
// Sample frame of the soundtrack at the start of video frame k.
int64_t audioSampleOfFrame(int64_t frame, int fps);

// Frame-time statistics of one group of frames, milliseconds.
struct FrameStats {
    int frames;
    double median;
    double p95;      // nearest rank
    double max;
};
FrameStats frameStats(std::vector<double> milliseconds);

// The machine's CPU time, summed over its CPUs, in seconds: all of it, and the
// part that the host of a virtual machine gave to other guests while this one
// had work to run ("steal" in /proc/stat). On a shared host a run's wall time
// stretches by what is stolen, so --bench prints it beside the timings.
struct HostCpu {
    double totalS;
    double stolenS;
};
// Reads the figures from /proc/stat now. Returns 1, or 0 where the kernel
// gives no whole "cpu" line.
int readHostCpu(HostCpu* cpu);

// Makes sure an X display answers: the one in DISPLAY, or a private Xvfb
// started for this process. The private Xvfb ends when this process does (the
// GL and GLUT connections stay open to the very end, so it is not stopped
// earlier). Returns 1, or 0 with the reason in error.
int ensureDisplay(std::string* error);

// Whether an executable of that name is on PATH.
int findOnPath(const char* name);

// The video writer: frames converted to the encoder's YUV 4:2:0 and piped into
// ffmpeg, which writes H.264 into a partial file; finishing muxes it with the
// soundtrack, cut at the exact sample.
struct VideoWriter {
    std::string path;          // the MP4 to write
    std::string partPath;      // video without sound while frames arrive
    std::string soundtrack;    // MP3 to take the sound from; empty: silence
    int fps;
    int64_t firstFrame;        // demo frame of the video's first frame
    int64_t framesWritten;
    int pipeFd;                // ffmpeg's standard input, -1 when not running
    int pid;                   // ffmpeg's process id, 0 when not running
    std::vector<unsigned char> yuv;  // the frame being sent, YUV_FRAME_BYTES
};
extern VideoWriter videoWriter;  // the one video of a run

// A frame as the encoder takes it: full-size luma, then the two chroma planes at
// half the width and height (each sample the mean of a 2 x 2 block).
constexpr size_t YUV_FRAME_BYTES = static_cast<size_t>(FRAME_WIDTH) * FRAME_HEIGHT * 3 / 2;
// Converts an RGB frame (top row first) to limited-range BT.601 YUV 4:2:0, the
// form and range ffmpeg gives RGB input for H.264 by default.
void rgbToYuv420(const unsigned char* rgb, unsigned char* yuv);

// Starts ffmpeg for a video whose first frame is the demo frame firstFrame.
int videoStart(const std::string& path, const std::string& soundtrack, int fps, int64_t firstFrame, std::string* error);
// Sends one frame (FRAME_WIDTH x FRAME_HEIGHT RGB, top row first).
int videoWriteFrame(const unsigned char* rgb, std::string* error);
// Ends the frame stream and writes the MP4 with its sound; removes the partial file.
int videoFinish(std::string* error);

// Writes one frame as a PNG file. Returns 1 on success.
int writeFramePng(const std::string& path, const unsigned char* rgb);

// A file the run wrote, for the list on stdout.
struct WrittenFile {
    std::string path;   // as the user named it
    double seconds;     // demo time of the frame, or of the video's first frame
    double endSeconds;  // videos: demo time just after the last frame
    int video;
};

// Where the frame writer puts the frames it is given.
struct FrameOutput {
    std::string framesPath;  // folder of the PNG files, absolute; empty: no PNG files
    std::string framesName;  // the same folder as the user named it, for the list of files
    std::string videoPath;   // the MP4, absolute; empty: no video
    std::string soundtrack;  // MP3 of the video's sound; empty: silence
    int fps;
};

// The frame writer: a worker thread that encodes the PNG files and feeds ffmpeg
// (started by the render thread before the video's first frame is put),
// so that the render thread goes on drawing meanwhile. Frames are written in the
// order they are put, through a queue of FRAME_QUEUE_LENGTH frames; a put waits
// while the queue is full, so memory stays bounded when writing is the slower.
// After a failure the writer drops the frames still to come.
constexpr int FRAME_QUEUE_LENGTH = 4;
struct FrameWriter {
    FrameOutput output;
    int running;                          // the worker thread is started
    int failed;                           // a write failed; the reason is in failure (under the lock)
    std::string failure;
    std::vector<WrittenFile> written;     // files done, in order (under the lock)
};
extern FrameWriter frameWriter;  // the one writer of a run

// Starts the worker thread. Returns 1, or 0 with the reason in error.
int frameWriterStart(const FrameOutput& output, std::string* error);
// A frame buffer (FRAME_WIDTH x FRAME_HEIGHT RGB) to fill and put: one the
// writer is done with, or a new one.
std::vector<unsigned char> frameWriterBuffer();
// Hands demo frame number frame, read into rgb, to the writer.
void frameWriterPut(int64_t frame, std::vector<unsigned char>&& rgb);
// Whether a write has failed so far, and why.
int frameWriterFailed(std::string* reason);
// Waits until every frame put is written and ends the thread.
void frameWriterFinish();
