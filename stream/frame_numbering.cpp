#include "frame_numbering.h"

#include <algorithm>
#include <cmath>

namespace lentra_stream {
namespace {
// How fast the phase may move later, in seconds per second: the clock error tolerated.
constexpr double kPhaseCreep = 1e-3;
}  // namespace

FrameNumbering::FrameNumbering(double frames_per_second, Clock::time_point started)
    : interval_(frames_per_second > 0.0 ? 1.0 / frames_per_second : 0.0), origin_(started) {}

std::uint64_t FrameNumbering::next(Clock::time_point arrival) {
    const double t = std::chrono::duration_cast<Seconds>(arrival - origin_).count();
    std::int64_t number = last_number_ + 1;
    if (interval_ > 0.0) {
        phase_ += kPhaseCreep * std::max(0.0, t - last_arrival_);
        const double slots = std::floor((t - phase_) / interval_);
        if (slots > static_cast<double>(number)) number = static_cast<std::int64_t>(slots);
        phase_ = std::min(phase_, t - static_cast<double>(number) * interval_);
    }
    last_arrival_ = t;
    last_number_ = number;
    return static_cast<std::uint64_t>(number);
}

}  // namespace lentra_stream
