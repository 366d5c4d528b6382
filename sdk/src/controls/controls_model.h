// A camera's image and stream controls: the UVC and ISP image properties, the sensor's
// exposure and gain, the frame-rate cap, the throughput and the OSP profile.
//
// Plain state with no lock of its own: the camera owns one and calls it only under its mutex
// (inside Camera::run, or from capture while it holds the mutex). Every method answers an
// LX_STATUS code and changes nothing when it refuses.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "LentraSDK.h"
#include "description/profile_config.h"
#include "description/rig_description.h"
#include "frames/image_adjustments.h"

namespace lentra {

struct PropertyRange {
    int32_t min, max, step, def;
};

// value / default as a percentage (100 at the default); with a default of 0 or below, the
// distance from it added to 100.
int percentOfDefault(int32_t value, int32_t def);

class ControlsModel {
public:
    // A control's value with its default and range: the ISP control, or where the camera lacks
    // it, the UVC property of that kind.
    struct Quantity {
        int32_t value, def, min, max;
    };

    explicit ControlsModel(const DeviceDescription& device);

    // ISP properties. The auxiliary integer of a reading is 1 for a read-only control, else 0.
    int ispValue(LX_ISP_IMAGE_PROPERTIES property, int32_t& value, int32_t& aux) const;
    int ispRange(LX_ISP_IMAGE_PROPERTIES property, PropertyRange& range) const;
    // Refuses a value outside [min, max] (LX_STATUS_INVALID_ARGUMENT), a read-only control
    // (LX_STATUS_READ_ONLY) and one the camera lacks (LX_STATUS_NOT_SUPPORTED); a value
    // between steps is taken to the nearest step.
    int setIsp(LX_ISP_IMAGE_PROPERTIES property, int32_t value);
    // Sets each value as setIsp does, in order; the first refusal undoes the values set before
    // it and is answered.
    int setIspAll(const std::vector<std::pair<LX_ISP_IMAGE_PROPERTIES, int32_t>>& values);
    int restoreIspDefaults();

    // UVC properties: a UVC property whose ISP counterpart the camera has is that ISP control
    // seen through UVC (same value, range and read-only flag); the auxiliary integer is the
    // UVC property's own.
    int uvcValue(LX_UVC_IMAGE_PROPERTIES property, int32_t& value, int32_t& aux) const;
    int uvcRange(LX_UVC_IMAGE_PROPERTIES property, PropertyRange& range) const;
    int setUvc(LX_UVC_IMAGE_PROPERTIES property, int32_t value, int32_t aux);

    // The sensor's current exposure and gain: the set values in manual mode, the values auto
    // exposure has reached otherwise.
    int currentExposure(uint32_t& exposure) const;
    int currentGain(uint8_t& gain) const;
    // One step of auto exposure, taken for every frame the camera delivers.
    void onFrame();

    int maxFps(uint8_t& fps) const;
    int setMaxFps(uint8_t fps);
    int throughput(uint16_t& value) const;
    int setThroughput(uint16_t value);
    // The rate frames are paced at: the format's rate, capped by the frame-rate cap, and slowed
    // to what the throughput carries (throughput x 10^6 bytes per second).
    double pacedRate(double formatRate, std::size_t bytesPerFrame) const;

    int ospFlag(LX_OSP_PROFILE_FLAG& flag) const;
    int setOspFlag(LX_OSP_PROFILE_FLAG flag);
    int ospConfig(std::string& text) const;
    // Keeps a profile already checked against the camera (see checkProfileForDevice).
    int keepProfile(ProfileConfig profile);
    const std::optional<ProfileConfig>& profile() const { return profile_; }
    bool hasOsp() const { return osp_.has_value(); }
    // Closing the camera drops an OSP flag that was enabled without being saved.
    void onClose();

    // What the controls do to the frames (sdk/docs/test-pattern.md).
    ImageAdjustments imageAdjustments() const;

    const IspControlDescriptions& ispControls() const { return isp_; }

private:
    // Where a property's value lives: an ISP control, or a UVC control of its own (a UVC
    // property with an ISP twin lives in the twin). No control: the camera lacks the property.
    struct Slot {
        const ControlDescription* control = nullptr;
        bool isp = false;
        std::size_t index = 0;
    };
    Slot ispSlot(LX_ISP_IMAGE_PROPERTIES property) const;
    Slot uvcSlot(LX_UVC_IMAGE_PROPERTIES property) const;
    int32_t valueAt(const Slot& slot) const { return slot.isp ? ispValues_[slot.index] : uvcValues_[slot.index]; }
    int32_t& valueAt(const Slot& slot) { return slot.isp ? ispValues_[slot.index] : uvcValues_[slot.index]; }
    std::optional<Quantity> quantity(LX_ISP_IMAGE_PROPERTIES property,
                                     std::optional<LX_UVC_IMAGE_PROPERTIES> uvc = std::nullopt) const;
    std::optional<Quantity> exposureTime() const;
    std::optional<Quantity> gainControl() const;
    // Auto exposure's limits: the exposure time's range within the set minimum and maximum.
    std::pair<int64_t, int64_t> exposureBounds() const;
    std::optional<int32_t> isp(LX_ISP_IMAGE_PROPERTIES property) const;
    int exposureMode() const;

    IspControlDescriptions isp_;
    UvcControlDescriptions uvc_;
    std::array<int32_t, kIspPropertyCount> ispValues_{};
    std::array<int32_t, kUvcPropertyCount> uvcValues_{};
    std::array<int32_t, kUvcPropertyCount> uvcAux_{};

    // Auto exposure's state; absent where the camera reports no exposure (or gain).
    std::optional<uint32_t> exposure_;
    std::optional<uint8_t> gain_;

    std::optional<uint8_t> maxFps_;
    std::optional<uint16_t> throughput_;

    struct Osp {
        LX_OSP_PROFILE_FLAG flag;
        LX_OSP_PROFILE_FLAG saved;  // what the flag returns to when the camera is closed
    };
    std::optional<Osp> osp_;
    std::optional<ProfileConfig> profile_;
};

// The bytes one frame of this format puts on the link: a raw frame's size, and for MJPG a
// nominal W x H / 2 (about 4 bits a pixel, the compression of a typical picture).
std::size_t linkBytesPerFrame(LX_IMAGE_FORMAT format, int width, int height);

}  // namespace lentra
