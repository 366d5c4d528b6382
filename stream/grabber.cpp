#include "grabber.h"

#include <new>

namespace lentra_stream {
namespace {
// A capture waits in steps this long, so that a stop request is seen even if the SDK does not
// end a capture wait when streaming stops.
constexpr std::uint16_t kStepMs = 100;

double seconds_of(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}
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
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();  // ends the wait after an early time-out
}

void Grabber::join() {
    if (thread_.joinable()) thread_.join();
}

void Grabber::run() {
    // An exception leaving a thread's function ends the process: none may.
    try {
        capture();
    } catch (const std::bad_alloc&) {
        finish(Failure{Failure::Kind::OutOfMemory});
    } catch (...) {
        finish(Failure{});
    }
}

void Grabber::capture() {
    while (!stop_.load()) {
        Buffer buffer = pool_->take_waiting(stop_);
        if (!buffer) break;
        auto lease = std::make_unique<Lease>(pool_, std::move(buffer));
        for (;;) {
            const CaptureStep step = capture_step(cam_, lease->data(), pool_->buffer_bytes(), kStepMs);
            if (stop_.load()) break;
            if (step.early_timeout) {
                early_timeout(step);
                continue;
            }
            if (step.result == LX_CAPTURE_RESULT::LX_TIMEOUT) continue;
            if (step.result != LX_CAPTURE_RESULT::LX_SUCCESS) {
                finish(Failure{Failure::Kind::Capture, step.result});
                return;
            }
            const FrameNumbering::Numbered numbered = numbering_.next(step.report, seconds_of(step.arrival));
            if (numbered.restarted) {
                finish(Failure{Failure::Kind::Restarted});
                return;
            }
            Captured frame{std::move(lease), step.size, step.arrival, numbered.number, step.report};
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

void Grabber::finish(std::optional<Failure> failure) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        failure_ = failure;
    }
    changed_.notify_all();
}

void Grabber::early_timeout(const CaptureStep& step) {
    std::unique_lock<std::mutex> lock(mutex_);
    verdict_ = step;
    changed_.notify_all();
    const Clock::time_point until = step.arrival - step.waited + std::chrono::milliseconds(step.step_ms);
    changed_.wait_until(lock, until, [this] { return stop_.load(); });
}

Grabber::Outcome Grabber::take(Clock::time_point until, Captured& out, Failure& failure,
                               CaptureStep& verdict) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_until(lock, until, [this] { return newest_.has_value() || verdict_ || ended_; });
    if (verdict_) {
        verdict = *verdict_;
        verdict_.reset();
        return Outcome::Verdict;
    }
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
