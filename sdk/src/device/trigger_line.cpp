#include "device/trigger_line.h"

namespace lentra {

namespace {

using Clock = TriggerLine::Clock;

Clock::duration periodOf(double rate) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
}

// SplitMix64's finaliser: a well-mixed 64-bit value of its input.
uint64_t mixed(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

TriggerLine::TriggerLine(const TriggerDescription& description, Clock::time_point start)
    : start_(start),
      describedRate_(description.rate),
      rate_(description.rate > 0 ? description.rate : 1.0),
      period_(periodOf(rate_)),
      ticksFrom_(start) {}

double TriggerLine::join(const void* camera, double cameraRate, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (describedRate_ <= 0 && members_.empty()) {
        // A rate below one frame a second (a cap of 0) is caught as the stream clock catches
        // it, rather than divided by.
        rate_ = cameraRate >= 1.0 ? cameraRate : 1.0;
        period_ = periodOf(rate_);
        ticksFrom_ = now;
    }
    members_.insert(camera);
    return rate_;
}

void TriggerLine::leave(const void* camera) {
    std::lock_guard<std::mutex> lock(mutex_);
    members_.erase(camera);
}

double TriggerLine::rate() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rate_;
}

uint64_t TriggerLine::tickAtOrAfter(Clock::time_point t) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (t <= ticksFrom_) return 0;
    const auto since = t - ticksFrom_;
    return static_cast<uint64_t>(since / period_) + (since % period_ != Clock::duration::zero() ? 1 : 0);
}

Clock::time_point TriggerLine::tickTime(uint64_t tick) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ticksFrom_ + period_ * static_cast<Clock::rep>(tick);
}

TriggerLine::Pulse TriggerLine::fire(Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++pulse_.count;
    pulse_.at = now;
    return pulse_;
}

TriggerLine::Pulse TriggerLine::latestPulse() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pulse_;
}

double TriggerLine::secondsAt(Clock::time_point t) const {
    return std::chrono::duration<double>(t - start_).count();
}

double lineDelay(const CameraTriggerDescription& camera, uint64_t event) {
    if (camera.jitter <= 0) return camera.offset;
    // The top 53 bits as a fraction from 0 up to (not including) 1.
    const double share = static_cast<double>(mixed(camera.seed * 0x100000001B3ull ^ mixed(event)) >> 11) *
                         (1.0 / 9007199254740992.0);
    return camera.offset + camera.jitter * share;
}

}  // namespace lentra
