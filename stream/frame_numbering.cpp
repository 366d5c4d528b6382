#include "frame_numbering.h"

#include <algorithm>
#include <cmath>

namespace lentra_stream {
namespace {
// How far the camera's timestamp may fall behind this side's clock before the stream counts as
// restarted: a delivery delay (a large frame made after its timestamp was taken, a busy machine)
// plus a camera clock that runs up to 1 % slow.
constexpr double kRestartSlack = 0.25;
constexpr double kClockError = 0.01;
}  // namespace

FrameNumbering::FrameNumbering(std::optional<std::uint8_t> counter_at_start, double frames_per_second)
    : shortest_interval_(frames_per_second > 0.0 ? 1.0 / frames_per_second : 0.0),
      last_counter_(counter_at_start) {}

FrameNumbering::Numbered FrameNumbering::next(const CameraReport& report, double arrival) {
    Numbered out;
    std::int64_t step = 1;
    if (report.counter && last_counter_) {
        step = static_cast<std::uint8_t>(*report.counter - *last_counter_);
        if (first_number_ && last_number_ > *first_number_) {
            // The counter may have wrapped since the previous frame: take the step of the 256
            // possible ones that fits the time that passed.
            const double interval = (last_arrival_ - first_arrival_) /
                                    static_cast<double>(last_number_ - *first_number_);
            if (interval > 0.0) {
                const double elapsed = arrival - last_arrival_;
                const double frames = elapsed / interval;
                double wraps = std::round((frames - static_cast<double>(step)) / 256.0);
                if (shortest_interval_ > 0.0) {
                    // At most the frames the format's rate makes in that time (and a frame more,
                    // for the delivery delay), give or take a camera clock 5 % fast.
                    const double most = elapsed / shortest_interval_ * 1.05 + 1.0;
                    wraps = std::min(wraps, std::floor((most - static_cast<double>(step)) / 256.0));
                }
                if (wraps > 0.0) step += 256 * static_cast<std::int64_t>(std::min(wraps, 1e12));
            }
        }
        // A counter that did not move (reset under the stream, or a camera that counts something
        // else) still gives a new number: numbers only grow.
        step = std::max<std::int64_t>(step, 1);
    }
    out.number = static_cast<std::uint64_t>(last_number_ + step);
    if (report.counter && !first_number_ && last_counter_) {
        first_number_ = static_cast<std::int64_t>(out.number);
        first_arrival_ = arrival;
    }
    if (report.counter) last_counter_ = report.counter;
    last_number_ = static_cast<std::int64_t>(out.number);
    last_arrival_ = arrival;

    if (report.timestamp) {
        const double start = arrival - static_cast<double>(*report.timestamp);
        if (!camera_start_ || start < *camera_start_) camera_start_ = start;
        const double elapsed = std::max(0.0, arrival - *camera_start_);
        out.restarted = start > *camera_start_ + kRestartSlack + kClockError * elapsed;
    }
    return out;
}

}  // namespace lentra_stream
