// One step of a capture: LxGetImage waits at most a step (so that a reader can look at signals
// and at a close in between), and right after a frame the camera is asked what it knows about
// it. Used by direct reads and by the latest-frame thread alike; no Python is touched.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "LentraSDK.h"
#include "frame_numbering.h"

namespace lentra_stream {

using Clock = std::chrono::steady_clock;

// What the camera reports right after a frame was taken: its frame counter and timestamp, and
// the exposure and gain the frame was made with.
CameraReport camera_report(const LxCameraHandle& cam);

struct CaptureStep {
    LX_CAPTURE_RESULT result = LX_CAPTURE_RESULT::LX_OTHER_ERROR;
    int size = 0;                // the frame's bytes, on success
    Clock::time_point arrival;   // when LxGetImage returned
    CameraReport report;         // on success
    // LX_TIMEOUT that came well before the step had passed. A wait step that ends says only
    // that no frame came yet; an answer this early is the SDK's own verdict (the camera gives
    // no frame), which the caller hears at once rather than waiting on.
    bool early_timeout = false;
    std::chrono::milliseconds waited{0};
    std::uint16_t step_ms = 0;
};

// Captures into `buffer` (`capacity` bytes), waiting at most `step_ms`.
CaptureStep capture_step(const LxCameraHandle& cam, std::uint8_t* buffer, std::size_t capacity,
                         std::uint16_t step_ms);

// "LxGetImage answered after 0 ms of a 100 ms wait", for the message of an early time-out.
std::string early_timeout_detail(const CaptureStep& step);

}  // namespace lentra_stream
