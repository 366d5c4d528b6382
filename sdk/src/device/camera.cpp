#include "device/camera.h"

#include <algorithm>
#include <limits>

#include "log/log.h"

namespace lentra {

namespace {

using Clock = StreamClock::Clock;
constexpr const char* kCapture = "LxGetImage";

LX_CAPTURE_RESULT captureFailed(LX_CAPTURE_RESULT result, const char* why) {
    log::failed(kCapture, static_cast<int>(result), why);
    return result;
}

}  // namespace

Camera::Camera(DeviceDescription description)
    : description_(std::move(description)),
      controls_(description_),
      imu_(description_.imu),
      sensorConfig_(description_),
      intrinsics_(description_.lentra, description_.intrinsics),
      registers_(description_.registers, ispControlAccess()),
      i2c_(description_.registers.i2c),
      firmware_(description_),
      bootData_(description_) {
    State& s = state_;
    s.frameCount = description_.frameCountStart;
}

Camera::~Camera() = default;

// The ISP controls that mirrored registers read and write: the controls model's values, with its
// checks (range, step, read-only). Called under the camera's mutex, from inside a register access.
IspControlAccess Camera::ispControlAccess() {
    return IspControlAccess{
        [this](LX_ISP_IMAGE_PROPERTIES p) {
            int32_t value = 0;
            int32_t aux = 0;
            controls_.ispValue(p, value, aux);
            return value;
        },
        [this](LX_ISP_IMAGE_PROPERTIES p, int32_t value) { return controls_.setIsp(p, value); }};
}

int Camera::check(const char* function, Needs needs) const {
    if (state_.detached)
        return log::failed(function, LX_STATUS_INVALID_HANDLE, "the camera's rig has been replaced");
    if (needs == Needs::Open && !state_.open)
        return log::failed(function, LX_STATUS_NOT_OPEN, "the camera is not open");
    if (needs == Needs::Open && firmware_.admits(function) != LX_STATUS_OK)
        return log::failed(function, LX_STATUS_BUSY, "the camera is in program mode or upgrading");
    return LX_STATUS_OK;
}

bool Camera::hasFrameFormat() const {
    return std::any_of(description_.formats.begin(), description_.formats.end(),
                       [](const FormatDescription& f) { return f.carriesFrames(); });
}

int Camera::open() {
    State& s = state_;
    if (s.open) return log::failed("LxOpen", LX_STATUS_BUSY, "the camera is already open");
    s.open = true;
    imu_.powerUp(Clock::now());
    // Each opening starts from the first format that carries frames.
    const auto& formats = description_.formats;
    auto first = std::find_if(formats.begin(), formats.end(),
                              [](const FormatDescription& f) { return f.carriesFrames(); });
    s.formatIndex = first == formats.end() ? 0 : static_cast<std::size_t>(first - formats.begin());
    return LX_STATUS_OK;
}

int Camera::close() {
    if (state_.streaming) endStreamLocked();
    state_.open = false;
    controls_.onClose();
    firmware_.closed();
    return LX_STATUS_OK;
}

void Camera::endStreamLocked() {
    state_.streaming = false;
    imu_.setStreaming(Clock::now(), false);
    ++state_.streamEpoch;
    streamChanged_.notify_all();
}

double Camera::frameRateLocked() const {
    const FormatDescription& f = description_.formats[state_.formatIndex];
    return controls_.pacedRate(f.framerate, linkBytesPerFrame(f.format, f.width, f.height));
}

int Camera::startStreaming() {
    State& s = state_;
    if (s.streaming) return LX_STATUS_OK;
    if (!hasFrameFormat())
        return log::failed("LxStartStreaming", LX_STATUS_NOT_SUPPORTED,
                           "the camera offers no format that carries frames");
    s.streaming = true;
    s.streamStart = Clock::now();
    s.lastFrameAt = s.streamStart;
    s.frameCount = description_.frameCountStart;
    s.clock.start(s.streamStart, frameRateLocked());
    imu_.setStreaming(s.streamStart, true);
    return LX_STATUS_OK;
}

int Camera::stopStreaming() {
    if (!state_.streaming)
        return log::failed("LxStopStreaming", LX_STATUS_NOT_STREAMING, "the camera is not streaming");
    endStreamLocked();
    return LX_STATUS_OK;
}

int Camera::resetUvc() {
    if (description_.interface != LX_CAMERA_INTERFACE_TYPE::INTERFACE_USB)
        return log::failed("LxResetUVC", LX_STATUS_NOT_SUPPORTED, "not a USB camera");
    if (state_.streaming) endStreamLocked();
    return LX_STATUS_OK;
}

int Camera::formatList(std::vector<LxFormat>& formats) {
    formats.clear();
    const auto& list = description_.formats;
    for (std::size_t i = 0; i < list.size(); ++i)
        formats.push_back(LxFormat{static_cast<uint16_t>(i), list[i].width, list[i].height,
                                   list[i].framerate, list[i].format});
    return LX_STATUS_OK;
}

int Camera::setFormat(const LxFormat& format) {
    if (state_.streaming)
        return log::failed("LxSetFormat", LX_STATUS_STREAMING, "the camera is streaming");
    const auto& list = description_.formats;
    if (format.index >= list.size())
        return log::failed("LxSetFormat", LX_STATUS_INVALID_ARGUMENT, "no format has that index");
    const FormatDescription& f = list[format.index];
    if (f.width != format.width || f.height != format.height ||
        f.framerate != format.framerate || f.format != format.format)
        return log::failed("LxSetFormat", LX_STATUS_INVALID_ARGUMENT,
                           "the record differs from the listed format of that index");
    if (!f.carriesFrames())
        return log::failed("LxSetFormat", LX_STATUS_INVALID_ARGUMENT,
                           "that format carries no frames");
    state_.formatIndex = format.index;
    return LX_STATUS_OK;
}

LX_CAPTURE_RESULT Camera::capture(uint8_t* buffer, int& size, uint16_t timeoutMs) {
    if (!buffer) return captureFailed(LX_CAPTURE_RESULT::LX_OTHER_ERROR, "no buffer");
    if (size < 0) return captureFailed(LX_CAPTURE_RESULT::LX_OTHER_ERROR, "negative buffer size");

    std::unique_lock<std::mutex> lock(mutex_);
    if (state_.detached) return captureFailed(LX_CAPTURE_RESULT::LX_OTHER_ERROR, "the rig was replaced");
    if (!state_.open) return captureFailed(LX_CAPTURE_RESULT::LX_OTHER_ERROR, "the camera is not open");
    if (!state_.streaming)
        return captureFailed(LX_CAPTURE_RESULT::LX_OTHER_ERROR, "the camera is not streaming");
    if (state_.capturing)
        return captureFailed(LX_CAPTURE_RESULT::LX_CAM_OCCUPIED, "another capture is under way");

    // Holds the camera's one capture slot until this call returns, whatever way it returns.
    struct CaptureSlot {
        std::unique_lock<std::mutex>& lock;
        bool& capturing;
        ~CaptureSlot() {
            if (!lock.owns_lock()) lock.lock();
            capturing = false;
        }
    } slot{lock, state_.capturing};
    state_.capturing = true;

    const uint64_t epoch = state_.streamEpoch;
    auto streamEnded = [this, epoch] { return state_.streamEpoch != epoch; };
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    StreamClock::Slot frame{};
    for (;;) {
        const Clock::time_point now = Clock::now();
        state_.clock.setRate(now, frameRateLocked());
        frame = state_.clock.next(now, freeRunPacing());
        if (frame.due <= now) break;
        if (frame.due > deadline) {
            if (streamChanged_.wait_until(lock, deadline, streamEnded))
                return captureFailed(LX_CAPTURE_RESULT::LX_OTHER_ERROR, "the stream ended during the wait");
            return captureFailed(LX_CAPTURE_RESULT::LX_TIMEOUT, "no frame within the timeout");
        }
        if (streamChanged_.wait_until(lock, frame.due, streamEnded))
            return captureFailed(LX_CAPTURE_RESULT::LX_OTHER_ERROR, "the stream ended during the wait");
    }
    // The counter counts the frames the camera made: this one and those nobody took before it.
    const uint64_t made = frame.sequence + 1 - state_.clock.nextSequence();
    state_.clock.delivered(frame.sequence);
    state_.frameCount = static_cast<uint8_t>(state_.frameCount + made);
    state_.lastFrameAt = Clock::now();
    controls_.onFrame();
    const FormatDescription format = description_.formats[state_.formatIndex];
    const ImageAdjustments look = controls_.imageAdjustments();
    // A camera described with lens_distortion draws its frames through the calibration it
    // holds now, so a calibration written changes the lens of the next frame.
    const std::optional<LxIntrinsics> calibration =
        description_.lensDistortion ? intrinsics_.record() : std::nullopt;
    lock.unlock();

    // The frame is made straight into the caller's buffer, outside the mutex: only this thread
    // holds the capture slot, so the generator is ours until we return.
    const bool jpeg = format.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_MJPG;
    const std::size_t needed = frameByteCount(format.format, format.width, format.height);
    const std::size_t capacity = size > 0 ? static_cast<std::size_t>(size) : needed;
    if (!jpeg && needed > capacity) {
        size = 0;
        return captureFailed(LX_CAPTURE_RESULT::LX_BUFFER_CORRUPTED, "the frame is larger than the buffer");
    }
    std::size_t written = 0;
    try {
        const std::optional<LensModel> lens =
            calibration ? lensAt(*calibration, format.width, format.height) : std::nullopt;
        if (generator_.configuredFor(format.format, format.width, format.height, look, lens) ||
            generator_.configure(format.format, format.width, format.height, look, lens))
            written = generator_.generate(static_cast<uint32_t>(frame.sequence), buffer, capacity);
    } catch (const std::exception& e) {
        log::warn(std::string("LxGetImage: frame generation failed: ") + e.what());
    }
    if (written == 0 || written > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        size = 0;
        if (jpeg && needed > capacity)
            return captureFailed(LX_CAPTURE_RESULT::LX_BUFFER_CORRUPTED, "the JPEG is larger than the buffer");
        return captureFailed(LX_CAPTURE_RESULT::LX_OTHER_ERROR, "the frame could not be made");
    }
    size = static_cast<int>(written);
    return LX_CAPTURE_RESULT::LX_SUCCESS;
}

int Camera::timestamp(float& seconds) const {
    seconds = std::chrono::duration<float>(state_.lastFrameAt - state_.streamStart).count();
    return LX_STATUS_OK;
}

int Camera::resetTimestamp() {
    if (!state_.streaming)
        return log::failed("LxResetTimestamp", LX_STATUS_NOT_STREAMING, "the camera is not streaming");
    state_.streamStart = state_.lastFrameAt = Clock::now();
    return LX_STATUS_OK;
}

int Camera::frameCount(uint8_t& count) const {
    count = state_.frameCount;
    return LX_STATUS_OK;
}

int Camera::resetFrameCount() {
    if (!state_.streaming)
        return log::failed("LxResetFrameCount", LX_STATUS_NOT_STREAMING, "the camera is not streaming");
    state_.frameCount = 0;
    return LX_STATUS_OK;
}

void Camera::detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_.streaming) endStreamLocked();
    state_.open = false;
    state_.detached = true;
    ++state_.streamEpoch;
    streamChanged_.notify_all();
}

}  // namespace lentra
