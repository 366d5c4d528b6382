// A camera's image controls and what they do to its frames.
#pragma once

#include <array>
#include <cstdint>

#include "description/enum_names.h"
#include "frames/image_adjustments.h"
#include "description/rig_description.h"

namespace lentra {

// Current values of a camera's controls (meaningful only where the description has the control).
struct ControlValues {
    std::array<int32_t, kIspPropertyCount> isp{};
    std::array<int32_t, kUvcPropertyCount> uvc{};
    std::array<int32_t, kUvcPropertyCount> uvcAux{};

    static ControlValues initial(const DeviceDescription& device);
};

// The one place that turns control values into the look of the frames, so that anything that
// changes a control changes the frames with no more plumbing. Each control acts relative to its
// default, so a rig at its defaults shows the undistorted pattern whatever ranges it declares:
//   brightness  value - default added to R, G and B (clamped to -255..255)
//   contrast, saturation, gamma   value / default, as a percentage (100 at the default)
//   flip mode   bit 0 mirrors horizontally, bit 1 vertically (3: rotated by 180 degrees)
//   special effect  1 black-and-white and 2 greyscale: monochrome; 3 negative; 4 sketch: sepia
//   JPEG quality    the MJPG quality, 1..100
// ISP controls come first; a camera without an ISP control of a kind (a plain UVC webcam) uses
// its UVC control of that kind.
ImageAdjustments imageAdjustmentsFor(const DeviceDescription& device, const ControlValues& values);

}  // namespace lentra
