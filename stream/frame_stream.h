// FrameStream: frames from one camera into a pool of reused buffers, waiting without the
// interpreter lock. See docs/streaming.md.
//
// The stream sets the format and starts streaming when made, and stops streaming when closed
// (close(), the end of a with block, or the object's end). A read waits for the next frame in
// steps of at most 100 ms with the interpreter lock released, and between steps checks for
// signals (Ctrl-C) and for a close from another thread. In latest-frame mode a background thread
// (grabber.h) captures all the time, and a read takes the newest frame it has. A read ends with
// CaptureTimeoutError when its deadline passes, or at once when the SDK answers LX_TIMEOUT well
// before a wait step has passed (capture_step.h).
//
// One thread reads at a time; any thread may close. Only the public SDK API is called.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "LentraSDK.h"
#include "buffer_pool.h"
#include "capture_step.h"
#include "frame.h"
#include "frame_layout.h"
#include "frame_numbering.h"
#include "grabber.h"

namespace lentra_stream {

class FrameStream {
public:
    using Timeout = std::optional<long long>;  // milliseconds; none: no limit

    FrameStream(LxCameraHandle cam, const LxFormat& format, int buffers, bool fixed, bool latest,
                Timeout timeout_ms);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // The next frame (the newest, in latest-frame mode), waiting at most `timeout_ms` (the
    // stream's own time-out when none is given).
    Frame read(Timeout timeout_ms);
    // read() with the stream's time-out for iteration: a closed stream ends the iteration.
    Frame next();
    void close();
    // Stops streaming from a thread that does not hold the interpreter lock (the exit's).
    void stop_without_python() { stop(false); }

    const LxFormat& format() const { return format_; }
    const BufferPool& pool() const { return *pool_; }
    bool latest() const { return grabber_ != nullptr; }
    bool closed() const { return closed_.load(); }
    Timeout timeout_ms() const { return timeout_ms_; }
    std::uint64_t frames() const { return frames_; }
    std::uint64_t dropped() const { return dropped_; }

private:
    Frame read_until(std::optional<Clock::time_point> deadline, bool iterating);
    Frame read_direct(std::optional<Clock::time_point> deadline, bool iterating);
    Frame read_latest(std::optional<Clock::time_point> deadline, bool iterating);
    Frame deliver(std::unique_ptr<Lease> lease, int size, Clock::time_point arrival,
                  std::uint64_t number, const CameraReport& report);
    // After a wait step ended without a frame: signals, a close, the deadline.
    void after_empty_step(std::optional<Clock::time_point> deadline, bool iterating);
    [[noreturn]] void closed_during_wait(bool iterating);
    [[noreturn]] void capture_failed(LX_CAPTURE_RESULT result);
    [[noreturn]] void restarted_under_stream();
    void stop(bool release_gil);

    const LxCameraHandle cam_;
    const LxFormat format_;
    const FrameLayout layout_;
    const std::shared_ptr<FormatValue> format_value_;
    const Timeout timeout_ms_;
    std::shared_ptr<BufferPool> pool_;
    std::optional<FrameNumbering> numbering_;  // direct reads only; the grabber has its own
    std::unique_ptr<Grabber> grabber_;
    std::atomic<bool> closed_{false};
    std::atomic<bool> reading_{false};
    std::int64_t last_number_ = -1;
    std::uint64_t frames_ = 0;
    std::uint64_t dropped_ = 0;
};

void init_frame_stream(py::module_& m);

}  // namespace lentra_stream
