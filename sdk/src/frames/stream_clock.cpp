#include "frames/stream_clock.h"

#include <algorithm>
#include <atomic>

namespace lentra {

namespace {
using Clock = StreamClock::Clock;

// A rate below one frame per second (a cap of 0) is caught here rather than divided by: such a
// stream runs at one frame per second.
Clock::duration periodOf(double framesPerSecond) {
    const double fps = framesPerSecond >= 1.0 ? framesPerSecond : 1.0;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / fps));
}
std::atomic<bool> freeRun{false};

}  // namespace

bool freeRunPacing() { return freeRun.load(std::memory_order_relaxed); }
void setFreeRunPacing(bool on) { freeRun.store(on, std::memory_order_relaxed); }

void StreamClock::start(Clock::time_point now, double framesPerSecond) {
    rate_ = framesPerSecond;
    period_ = periodOf(framesPerSecond);
    base_ = now;
    baseSequence_ = 0;
    next_ = 0;
}

void StreamClock::setRate(Clock::time_point now, double framesPerSecond) {
    if (framesPerSecond == rate_) return;
    // Rebase on the next undelivered frame so that numbering continues without a jump. Frames
    // made in free run are ahead of the schedule: the next frame comes a period of the new rate
    // from now at the latest, not when those frames would have been due (seconds away).
    const Clock::time_point due = dueOf(next_);
    rate_ = framesPerSecond;
    period_ = periodOf(framesPerSecond);
    base_ = std::max(std::min(due, now + period_), now);
    baseSequence_ = next_;
}

void StreamClock::resume(Clock::time_point now) {
    base_ = now;
    baseSequence_ = next_;
}

Clock::time_point StreamClock::dueOf(uint64_t sequence) const {
    return base_ + period_ * static_cast<Clock::rep>(sequence - baseSequence_);
}

StreamClock::Slot StreamClock::next(Clock::time_point now, bool freeRun) const {
    if (freeRun) return {next_, now};
    const Clock::time_point due = dueOf(next_);
    if (due > now) return {next_, due};
    // Late: the frame of the slot that `now` falls in, dropping the ones before it.
    const auto current = baseSequence_ + static_cast<uint64_t>((now - base_) / period_);
    return {std::max(current, next_), now};
}

}  // namespace lentra
