// Frame numbers for a stream, estimated from arrival times.
//
// The SDK hands over a frame with no sequence number, so the stream counts frames on the
// camera's frame interval: frame n of a stream is due n intervals after the stream started, and a
// frame that arrives in the interval of frame m is frame m; the frames between the previous one
// and it were dropped (the camera made them and nobody took them). A frame that arrives earlier
// than its interval (free-run pacing, a rate above the nominal one) is simply the next number.
//
// The stream's phase is the earliest (arrival - n x interval) seen: frames taken on time, which
// arrive right after their due time, set it; late frames, which arrive mid-interval, do not. The
// phase creeps later by 0.1 % of the elapsed time, so a camera whose clock runs that much slower
// than its nominal rate does not pile up frames that were never dropped.
#pragma once

#include <chrono>
#include <cstdint>

namespace lentra_stream {

class FrameNumbering {
public:
    using Clock = std::chrono::steady_clock;

    // `frames_per_second` <= 0: no interval is known, and every frame is the next number.
    FrameNumbering(double frames_per_second, Clock::time_point started);

    // The number of the frame that arrived at `arrival` (0 for the first frame of the stream when
    // it is taken on time). Numbers only grow.
    std::uint64_t next(Clock::time_point arrival);

private:
    using Seconds = std::chrono::duration<double>;

    double interval_ = 0.0;  // seconds
    double phase_ = 0.0;     // seconds since `origin_` at which frame 0 was due
    Clock::time_point origin_;
    double last_arrival_ = 0.0;
    std::int64_t last_number_ = -1;
};

}  // namespace lentra_stream
