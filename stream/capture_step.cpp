#include "capture_step.h"

#include <cmath>

namespace lentra_stream {
namespace {
// A step shorter than this cannot tell an early answer from scheduling noise; the read's
// deadline is then that close anyway.
constexpr std::uint16_t kJudgedStepMs = 20;
}  // namespace

CameraReport camera_report(const LxCameraHandle& cam) {
    CameraReport report;
    std::uint8_t counter = 0;
    if (LxGetFrameCount(cam, counter) == LX_STATUS_OK) report.counter = counter;
    float stamp = 0.0f;
    if (LxGetTimestamp(cam, stamp) == LX_STATUS_OK && std::isfinite(stamp)) report.timestamp = stamp;
    std::uint32_t exposure = 0;
    if (LxGetCurrentExposure(cam, exposure) == LX_STATUS_OK) report.exposure = exposure;
    std::uint8_t gain = 0;
    if (LxGetCurrentGain(cam, gain) == LX_STATUS_OK) report.gain = gain;
    return report;
}

CaptureStep capture_step(const LxCameraHandle& cam, std::uint8_t* buffer, std::size_t capacity,
                         std::uint16_t step_ms) {
    CaptureStep step;
    step.step_ms = step_ms;
    step.size = static_cast<int>(capacity);
    const Clock::time_point started = Clock::now();
    step.result = LxGetImage(cam, buffer, step.size, step_ms);
    step.arrival = Clock::now();
    step.waited = std::chrono::duration_cast<std::chrono::milliseconds>(step.arrival - started);
    if (step.result == LX_CAPTURE_RESULT::LX_SUCCESS) {
        step.report = camera_report(cam);
    } else if (step.result == LX_CAPTURE_RESULT::LX_TIMEOUT) {
        step.early_timeout = step_ms >= kJudgedStepMs && step.waited.count() * 2 < step_ms;
    }
    return step;
}

std::string early_timeout_detail(const CaptureStep& step) {
    return "the SDK answered after " + std::to_string(step.waited.count()) + " ms of a " +
           std::to_string(step.step_ms) + " ms wait (the camera gives no frame)";
}

}  // namespace lentra_stream
