// The frame writer's worker thread. The render thread reads a frame back and
// puts it into the queue; the worker takes the frames in order and writes each
// as a PNG file and into the video's pipe, the two slow steps of a capture, so
// that the next frames are drawn meanwhile. Buffers go back into a free list
// when written, so a long run allocates only the few the queue holds.
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>

#include <pthread.h>

#include "tools/capture/capture.h"

FrameWriter frameWriter = {{"", "", "", "", 0}, 0, 0, "", {}};

namespace {

struct FrameJob {
    int64_t frame;                    // demo frame number
    std::vector<unsigned char> rgb;   // FRAME_WIDTH x FRAME_HEIGHT RGB, top row first
};

std::mutex lock;                                // guards everything below and the writer's failure and list
std::condition_variable changed;                // a job was put or taken, or the end was asked for
std::deque<FrameJob> queue;                     // frames put and not yet taken, oldest first
std::vector<std::vector<unsigned char>> spare;  // buffers already written, for the next frames
int ending = 0;                                 // no more frames will come
pthread_t worker;

void recordFailure(const std::string& reason)
{
    std::lock_guard<std::mutex> hold(lock);
    if (!frameWriter.failed) frameWriter.failure = reason;
    frameWriter.failed = 1;
}

// Writes one frame to every output; returns 0 after recording why it could not.
int writeJob(const FrameJob& job)
{
    const FrameOutput& out = frameWriter.output;
    const double seconds = static_cast<double>(job.frame) / out.fps;
    if (!out.framesPath.empty()) {
        char name[32] = {};
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(job.frame));
        if (!writeFramePng(out.framesPath + "/" + name, job.rgb.data())) {
            recordFailure("cannot write " + out.framesName + "/" + name + ": " + std::strerror(errno));
            return 0;
        }
        std::lock_guard<std::mutex> hold(lock);
        frameWriter.written.push_back(WrittenFile{out.framesName + "/" + name, seconds, 0.0, 0});
    }
    if (!out.videoPath.empty()) {
        std::string error;
        if (!videoWriteFrame(job.rgb.data(), &error)) {
            recordFailure(error);
            return 0;
        }
    }
    return 1;
}

void* work(void*)
{
    int ok = 1;
    for (;;) {
        FrameJob job;
        {
            std::unique_lock<std::mutex> hold(lock);
            changed.wait(hold, [] { return !queue.empty() || ending; });
            if (queue.empty()) return nullptr;
            job = std::move(queue.front());
            queue.pop_front();
        }
        changed.notify_all();
        if (ok) ok = writeJob(job);  // after a failure the rest are dropped
        std::lock_guard<std::mutex> hold(lock);
        spare.push_back(std::move(job.rgb));
    }
}

}  // namespace

int frameWriterStart(const FrameOutput& output, std::string* error)
{
    frameWriter = FrameWriter{output, 0, 0, "", {}};
    ending = 0;
    const int status = pthread_create(&worker, nullptr, work, nullptr);
    if (status != 0) {
        *error = std::string("cannot start the frame writer: ") + std::strerror(status);
        return 0;
    }
    frameWriter.running = 1;
    return 1;
}

std::vector<unsigned char> frameWriterBuffer()
{
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!spare.empty()) {
            std::vector<unsigned char> buffer = std::move(spare.back());
            spare.pop_back();
            return buffer;
        }
    }
    return std::vector<unsigned char>(static_cast<size_t>(FRAME_WIDTH) * FRAME_HEIGHT * 3);
}

void frameWriterPut(int64_t frame, std::vector<unsigned char>&& rgb)
{
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [] { return queue.size() < static_cast<size_t>(FRAME_QUEUE_LENGTH); });
        queue.push_back(FrameJob{frame, std::move(rgb)});
    }
    changed.notify_all();
}

int frameWriterFailed(std::string* reason)
{
    std::lock_guard<std::mutex> hold(lock);
    if (frameWriter.failed && reason != nullptr) *reason = frameWriter.failure;
    return frameWriter.failed;
}

void frameWriterFinish()
{
    if (!frameWriter.running) return;
    {
        std::lock_guard<std::mutex> hold(lock);
        ending = 1;
    }
    changed.notify_all();
    pthread_join(worker, nullptr);
    frameWriter.running = 0;
    spare.clear();
}
