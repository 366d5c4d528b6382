// One simulated camera: its description (identity, fixed for its life) and its device state,
// guarded by one mutex per camera.
//
// Every operation but capture runs under the camera's mutex through run(), which checks the
// preconditions in one place (the handle still part of the rig, the camera open where needed and
// then not held by USB program mode or a firmware upgrade); the SDK's front functions reach a
// camera only that way (api/common.h). Ordinary failures are logged at debug level. Capture takes the mutex itself, since its waits never hold it: they wait
// on a condition variable, so other calls on the camera go on, and ending the stream (stop,
// close, reset, detach) ends them.
//
// The camera follows its trigger mode (ISP_IMAGE_TRIGGER_MODE, where it has the control): in
// Disable and Periodic it times its frames itself (the stream clock); in Sync it exposes on the
// ticks of the rig's trigger line, and in Non Periodic on the line's pulses, and its timestamps
// are then on the line's clock. A change of mode is taken up right after the call that made it
// (run() looks), so every way of setting the control counts.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "LentraSDK.h"
#include "bootdata/boot_data.h"
#include "firmware/firmware_state.h"
#include "frames/frame_generator.h"
#include "controls/controls_model.h"
#include "registers/i2c_bus.h"
#include "registers/register_file.h"
#include "description/rig_description.h"
#include "device/trigger_line.h"
#include "frames/stream_clock.h"
#include "imu/imu.h"
#include "intrinsics/intrinsics_store.h"
#include "sensorconfig/sensor_config.h"

namespace lentra {

class Camera final : public LxCamera {
public:
    Camera(DeviceDescription description, std::shared_ptr<TriggerLine> line);
    ~Camera() override;

    const DeviceDescription& description() const { return description_; }

    struct State {
        bool detached = false;  // the rig was replaced: the handle answers as an invalid one
        bool open = false;
        bool streaming = false;
        bool capturing = false;  // one capture at a time per camera
        std::size_t formatIndex = 0;
        uint64_t streamEpoch = 0;  // advanced whenever a stream ends: waits of that stream end
        StreamClock clock;
        // The stream's own counters: frames made (8 bits, wrapping; frames nobody took count
        // too) and the time of the latest one delivered, both since the stream started or was
        // last reset.
        uint8_t frameCount = 0;
        StreamClock::Clock::time_point streamStart{};
        StreamClock::Clock::time_point lastFrameAt{};
        // What LxGetTimestamp reports: the latest frame's time, in seconds.
        double stamp = 0;
        // The trigger mode last taken up, and where the stream stands on the line: whether it
        // has joined the line's ticks (Sync), the first tick it may take next, the pulses it
        // has seen (Non Periodic). `lineZero` is the line's clock at this camera's
        // LxResetTimestamp.
        int triggerMode = 0;
        bool onLine = false;
        uint64_t nextTick = 0;
        uint64_t pulsesSeen = 0;
        double lineZero = 0;
        // Advanced by whatever a waiting capture must look at again (a pulse, a mode change).
        uint64_t wakeups = 0;
    };

    enum class Needs { Handle, Open };

    // Runs body(Camera&) under the camera's mutex if the camera is still part of the rig (and
    // open, when `needs` says so); otherwise answers that status.
    template <typename F>
    int run(const char* function, Needs needs, F&& body) {
        std::lock_guard<std::mutex> lock(mutex_);
        const int status = check(function, needs);
        if (status != LX_STATUS_OK) return status;
        const int answer = body(*this);
        followTriggerModeLocked();
        return answer;
    }

    // The device state and the operations below belong to whoever holds the mutex: call them
    // only inside run()'s body.
    State& state() { return state_; }
    ControlsModel& controls() { return controls_; }
    Imu& imu() { return imu_; }
    SensorConfig& sensorConfig() { return sensorConfig_; }
    IntrinsicsStore& intrinsics() { return intrinsics_; }
    int open();
    int close();
    int startStreaming();
    int stopStreaming();
    int resetUvc();
    int formatList(std::vector<LxFormat>& formats);
    int setFormat(const LxFormat& format);
    int timestamp(float& seconds) const;
    int resetTimestamp();
    int frameCount(uint8_t& count) const;
    int resetFrameCount();

    // Takes the mutex itself, and releases it while it waits for the frame.
    LX_CAPTURE_RESULT capture(uint8_t* buffer, int& size, uint16_t timeoutMs);

    // The camera's models, like state(): only inside run()'s body.
    RegisterFile& registers() { return registers_; }
    I2cBus& i2c() { return i2c_; }
    FirmwareState& firmware() { return firmware_; }
    BootData& bootData() { return bootData_; }

    // Takes the camera out of the rig for good: closes it and ends any wait.
    void detach();
    // The rig's trigger line fired a pulse: a capture waiting for one looks again.
    void lineChanged();

private:
    // The frame a capture delivers next: when it is due, the camera's sequence number it
    // gets, the frames it accounts for (itself and those nobody took) and its timestamp.
    // `ready` is false while no frame is coming (Non Periodic, no pulse yet).
    struct NextFrame {
        bool ready = false;
        StreamClock::Clock::time_point due{};
        uint64_t sequence = 0;
        uint64_t made = 0;
        double stamp = 0;
        uint64_t event = 0;  // the line's tick (Sync) or pulse count (Non Periodic) it is of
    };
    NextFrame nextFrameLocked(StreamClock::Clock::time_point now);
    void countMadeLocked(uint64_t lastSequence, uint64_t made);
    void takeFrameLocked(const NextFrame& frame);
    int triggerModeLocked() const;
    void followTriggerModeLocked();
    void leaveLineLocked();

    int check(const char* function, Needs needs) const;
    void endStreamLocked();
    double frameRateLocked() const;
    bool hasFrameFormat() const;
    IspControlAccess ispControlAccess();

    const DeviceDescription description_;
    const std::shared_ptr<TriggerLine> line_;
    std::mutex mutex_;
    std::condition_variable streamChanged_;
    State state_;
    ControlsModel controls_;
    Imu imu_;
    SensorConfig sensorConfig_;
    IntrinsicsStore intrinsics_;
    RegisterFile registers_;
    I2cBus i2c_;
    FirmwareState firmware_;
    BootData bootData_;
    // Touched only by the one capturing thread (State::capturing), outside the mutex.
    FrameGenerator generator_;
};

// The camera behind a handle, or nullptr for an empty handle or an object not made here.
Camera* cameraFrom(const LxCameraHandle& handle);

}  // namespace lentra
