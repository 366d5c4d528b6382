// The background thread of a latest-frame stream.
//
// It captures from the camera without pause into buffers of the pool and keeps only the newest
// frame; a newer frame sends the one nobody took back to the pool. When a fixed pool has no free
// buffer (the caller holds them all) the thread waits for one to come back. The thread never
// touches Python objects, so it runs whatever the interpreter lock is doing, and never lets an
// exception out: a failure (a capture failure, a restart of the camera's stream, no memory for
// a buffer) ends the thread and is handed to the next read. An LX_TIMEOUT the SDK answers before
// its wait has passed (capture_step.h) is handed to the next read too, and the thread goes on.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "LentraSDK.h"
#include "buffer_pool.h"
#include "capture_step.h"
#include "frame_numbering.h"

namespace lentra_stream {

class Grabber {
public:
    struct Captured {
        std::unique_ptr<Lease> lease;
        int size = 0;
        Clock::time_point arrival;
        std::uint64_t number = 0;
        CameraReport report;
    };
    // Verdict: the SDK answered LX_TIMEOUT early since the previous take (`verdict` says how).
    enum class Outcome { Frame, Failed, Ended, TimedOut, Verdict };
    struct Failure {
        enum class Kind { Capture, Restarted, OutOfMemory } kind = Kind::Capture;
        LX_CAPTURE_RESULT result = LX_CAPTURE_RESULT::LX_OTHER_ERROR;  // for Capture
    };

    // Starts the thread; throws std::system_error when it cannot be started.
    Grabber(LxCameraHandle cam, std::shared_ptr<BufferPool> pool, FrameNumbering numbering);
    ~Grabber();
    Grabber(const Grabber&) = delete;
    Grabber& operator=(const Grabber&) = delete;

    // Waits until `until` for a frame not taken before. Failed: the thread stopped on a capture
    // failure, given in `failure`. Ended: the thread was stopped. A verdict comes before a frame
    // that waits, which the next take then gives.
    Outcome take(Clock::time_point until, Captured& out, Failure& failure, CaptureStep& verdict);

    // Asks the thread to end; it leaves its capture when the stream stops (LxStopStreaming).
    void request_stop();
    void join();

private:
    void run();
    void capture();
    void finish(std::optional<Failure> failure);
    // Hands an early LX_TIMEOUT to the reader, then waits out the rest of its step, so that an
    // SDK that answers at once does not keep a core busy.
    void early_timeout(const CaptureStep& step);

    const LxCameraHandle cam_;
    const std::shared_ptr<BufferPool> pool_;
    FrameNumbering numbering_;  // used by the thread only
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Captured> newest_;
    std::optional<CaptureStep> verdict_;
    bool ended_ = false;
    std::optional<Failure> failure_;
    std::thread thread_;  // last: starts after every other member exists
};

}  // namespace lentra_stream
