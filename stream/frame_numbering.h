// Frame numbers for a stream, from what the camera reports about its frames.
//
// The SDK hands over a frame with no sequence number, but the camera keeps an 8-bit frame
// counter of the frames it made (LxGetFrameCount) and the time of its latest frame since
// streaming started (LxGetTimestamp). The stream reads both right after each frame it takes:
//
// - The counter's step since the previous frame is how many frames the camera made meanwhile,
//   so the frames between are the ones nobody took. Whatever paces the camera (its format's rate,
//   a frame-rate cap, a throughput limit, a long exposure), the count follows it: nothing here
//   recomputes the pacing. The counter wraps at 256; a step that may have wrapped is told by the
//   time it took, at the stream's own average frame interval so far, and never taken for more
//   frames than the format's rate can make in that time (an average taken over frames that came
//   close together, as the first ones may, would otherwise see wraps in every ordinary gap).
// - The timestamp counts from the start of streaming. If it falls behind the time that passed on
//   this side, streaming was stopped and started again under the stream (or the timestamp was
//   reset), and the frame may be of another format: the frame is refused.
//
// A camera that reports no counter gets every frame numbered as the next one (no drops known),
// one that reports no timestamp is not watched for restarts.
#pragma once

#include <cstdint>
#include <optional>

namespace lentra_stream {

// What the camera said right after a frame was taken. Each is absent where the camera did not
// answer (a camera without the feature).
struct CameraReport {
    std::optional<std::uint8_t> counter;    // LxGetFrameCount
    std::optional<float> timestamp;         // LxGetTimestamp (seconds)
    std::optional<std::uint32_t> exposure;  // LxGetCurrentExposure
    std::optional<std::uint8_t> gain;       // LxGetCurrentGain
};

class FrameNumbering {
public:
    // `counter_at_start`: the camera's counter read right after streaming started;
    // `frames_per_second`: the format's rate, the fastest the camera makes frames (0: unknown).
    FrameNumbering(std::optional<std::uint8_t> counter_at_start, double frames_per_second);

    struct Numbered {
        std::uint64_t number = 0;  // 0 for the first frame the camera made
        bool restarted = false;    // the camera's stream was restarted under this one
    };
    // The number of the frame that arrived at `arrival` (seconds on the monotonic clock), given
    // what the camera reported after it. Numbers only grow.
    Numbered next(const CameraReport& report, double arrival);

private:
    // The fewest seconds between two frames the camera makes (0: unknown): a counter step of
    // 256 frames more than that time allows is no wrap, whatever the average interval says.
    double shortest_interval_ = 0.0;
    std::optional<std::uint8_t> last_counter_;
    std::int64_t last_number_ = -1;
    double last_arrival_ = 0.0;
    // The first frame numbered with a counter step: the base of the average frame interval.
    std::optional<std::int64_t> first_number_;
    double first_arrival_ = 0.0;
    // The smallest (arrival - camera timestamp) seen: when the camera's stream started, on this
    // side's clock, plus the shortest delivery delay.
    std::optional<double> camera_start_;
};

}  // namespace lentra_stream
