// Test-pattern frames in every pixel format of the SDK.
//
// A generator is configured once per format, size and set of image adjustments (the costly
// work: the pattern is drawn, adjusted and converted to the pixel format then), and afterwards
// makes each frame cheaply: a moving element is placed and the frame number is stamped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "LentraSDK.h"
#include "frames/image_adjustments.h"
#include "frames/lens_distortion.h"

namespace lentra {

// The exact byte count of one frame, or for MJPG the largest a frame can be. 0 for a format
// that carries no frames (LX_IMAGE_FORMAT_NONE, unknown values), a size of 0, or a side above
// 16384 pixels.
size_t frameByteCount(LX_IMAGE_FORMAT format, int width, int height);

class FrameGenerator {
public:
    FrameGenerator();
    ~FrameGenerator();
    FrameGenerator(const FrameGenerator&) = delete;
    FrameGenerator& operator=(const FrameGenerator&) = delete;

    // Prepares frames of this format, size and look, seen through `lens` when one is given
    // (lens_distortion.h; the stamp is drawn after it, never distorted). Returns false (and
    // keeps nothing) for a format without frames or a size the pattern cannot be drawn at (width
    // or height < 16, odd width for the 4:2:2 and 4:2:0 formats, odd height for NV12, a side
    // above 16384).
    bool configure(LX_IMAGE_FORMAT format, int width, int height, const ImageAdjustments& adj,
                   const std::optional<LensModel>& lens = std::nullopt);
    bool configuredFor(LX_IMAGE_FORMAT format, int width, int height, const ImageAdjustments& adj,
                       const std::optional<LensModel>& lens = std::nullopt) const;

    // Writes frame `number` to `dst`, which holds `capacity` bytes. Returns the frame's byte
    // count, or 0 when the generator is not configured or the frame does not fit (nothing is
    // written then). An MJPG frame needs only its own size, not frameByteCount's bound.
    size_t generate(uint32_t number, uint8_t* dst, size_t capacity);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads back the frame number stamped into a frame made by FrameGenerator (MJPG frames are
// decoded first). Returns -1 when the data is too short or holds no readable stamp.
long readFrameNumber(const uint8_t* data, size_t size, LX_IMAGE_FORMAT format, int width,
                     int height);

}  // namespace lentra
