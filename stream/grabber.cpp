#include "grabber.h"

namespace lentra_stream {
namespace {
// A capture waits in steps this long, so that a stop request is seen even if the SDK does not
// end a capture wait when streaming stops.
constexpr std::uint16_t kStepMs = 100;
}  // namespace

Grabber::Grabber(LxCameraHandle cam, std::shared_ptr<BufferPool> pool, FrameNumbering numbering)
    : cam_(std::move(cam)), pool_(std::move(pool)), numbering_(numbering), thread_([this] { run(); }) {}

Grabber::~Grabber() {
    request_stop();
    join();
}

void Grabber::request_stop() {
    stop_.store(true);
    pool_->wake();
}

void Grabber::join() {
    if (thread_.joinable()) thread_.join();
}

void Grabber::run() {
    while (!stop_.load()) {
        Buffer buffer = pool_->take_waiting(stop_);
        if (!buffer) break;
        auto lease = std::make_unique<Lease>(pool_, std::move(buffer));
        for (;;) {
            int size = static_cast<int>(pool_->buffer_bytes());
            const LX_CAPTURE_RESULT result = LxGetImage(cam_, lease->data(), size, kStepMs);
            if (stop_.load()) break;
            if (result == LX_CAPTURE_RESULT::LX_TIMEOUT) continue;
            if (result != LX_CAPTURE_RESULT::LX_SUCCESS) {
                finish(result);
                return;
            }
            const Clock::time_point arrival = Clock::now();
            Captured frame{std::move(lease), size, arrival, numbering_.next(arrival)};
            std::optional<Captured> skipped;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                skipped = std::move(newest_);  // its buffer goes back when `skipped` goes
                newest_ = std::move(frame);
            }
            changed_.notify_all();
            break;
        }
    }
    finish(std::nullopt);
}

void Grabber::finish(std::optional<LX_CAPTURE_RESULT> failure) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        failure_ = failure;
    }
    changed_.notify_all();
}

Grabber::Outcome Grabber::take(Clock::time_point until, Captured& out, LX_CAPTURE_RESULT& failure) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_until(lock, until, [this] { return newest_.has_value() || ended_; });
    if (newest_) {
        out = std::move(*newest_);
        newest_.reset();
        return Outcome::Frame;
    }
    if (ended_ && failure_) {
        failure = *failure_;
        return Outcome::Failed;
    }
    return ended_ ? Outcome::Ended : Outcome::TimedOut;
}

}  // namespace lentra_stream
