// Frames seen through a lens: the test pattern drawn through the radial-tangential
// (Brown-Conrady) distortion that a camera's calibration describes, so that undistorting a frame
// with that calibration gives back the straight pattern.
//
// An ideal point at normalised coordinates (x, y) (pixels relative to the centre, divided by the
// focal length) shows at
//
//     r2 = x*x + y*y,  radial = 1 + k1*r2 + k2*r2^2 + k3*r2^3
//     xd = x*radial + 2*p1*x*y + p2*(r2 + 2*x*x)
//     yd = y*radial + p1*(r2 + 2*y*y) + 2*p2*x*y
//
// and the frame pixel (fx*xd + cx, fy*yd + cy) shows what the undistorted picture has at
// (fx*x + cx, fy*y + cy). Drawing a frame needs the inverse: for each frame pixel, the picture
// point it shows. That is solved once per frame size and lens (Newton's method on a grid,
// interpolated between its nodes) and kept as a remap (LensMap); the distorted background is
// drawn through it once per look (LensDrawing); each frame then costs a copy of that background
// and a redraw of the pixels the moving square touches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "LentraSDK.h"
#include "frames/pixel_format.h"

namespace lentra {

// A calibration at one frame size: focal lengths and centre in that frame's pixels, and the
// coefficients in the record's order k1, k2, p1, p2, k3.
struct LensModel {
    double fx = 1, fy = 1, cx = 0, cy = 0;
    double k1 = 0, k2 = 0, p1 = 0, p2 = 0, k3 = 0;

    bool operator==(const LensModel& other) const;
    bool operator!=(const LensModel& other) const { return !(*this == other); }
};

// The calibration at a frame of `width` x `height` pixels. The simulated sensor fills every
// format's frame with the same view, so each axis scales by frame size / calibrated size, about
// pixel centres: f' = f * s, c' = (c + 0.5) * s - 0.5. Empty when the calibration distorts
// nothing (model NONE, or every coefficient 0) or describes no lens (a size below 1, a focal
// length not above 0, a number that is not finite).
std::optional<LensModel> lensAt(const LxIntrinsics& calibration, int width, int height);

// The picture before the lens, as the frame generator makes it: rows [0, splitRow) repeat `top`
// and the others `bottom` (each `width` pixels); the moving square, of colour `element`, covers
// rows [elementTop, elementBottom) and, per frame, the columns the caller gives.
struct LensScene {
    std::vector<Rgb> top, bottom;
    int splitRow = 0;
    Rgb element;
    int elementTop = 0, elementBottom = 0;
};

// The remap of one frame size through one lens: for each frame pixel, the picture point it
// shows, as the top-left of four picture pixels and bilinear weights in 1/256. Solving it is
// the costly part of preparing a lens, and it depends on nothing but the lens and the size, so
// it is kept while the look of the picture changes. 6 bytes a pixel (12 MB at 1920 x 1080).
class LensMap {
public:
    static constexpr uint16_t kNone = 0xFFFF;  // x of a pixel that shows no point of the picture
    struct Sample {
        uint16_t x = kNone, y = 0;  // picture pixel (x, y) and the three right of and below it
        uint8_t wx = 0, wy = 0;
    };

    LensMap(const LensModel& lens, int width, int height);
    const LensModel& lens() const { return lens_; }
    int width() const { return width_; }
    int height() const { return height_; }
    const Sample* samples() const { return samples_.data(); }  // width * height, row by row

private:
    LensModel lens_;
    int width_, height_;
    std::vector<Sample> samples_;
};

// One format's frames of one look through one lens, prepared when made (the distorted
// background, encoded in the pixel format). Frame pixels that show no point of the picture
// (beyond its edges, or past a fold of a strongly distorting lens) are black.
class LensDrawing {
public:
    // `info` describes the frame's pixel layout (MJPG's packed RGB for MJPG frames); the frame
    // is the map's size.
    LensDrawing(std::shared_ptr<const LensMap> map, const PixelFormatInfo& info,
                const LensScene& scene);
    const std::shared_ptr<const LensMap>& map() const { return map_; }

    // Writes the whole frame: the background, then the square over columns [left, right)
    // (none when right <= left). The frame-number stamp is the caller's, drawn afterwards.
    void draw(uint8_t* frame, int left, int right);

    // Frame pixels whose colour depends on the square's rows: the ones each frame redraws.
    std::size_t squarePixels() const { return taps_.size(); }

private:
    // A frame pixel over the square's rows: where it samples the band of picture rows kept in
    // band_, as bilinear weights in 1/256.
    struct Tap {
        int32_t pixel;   // y * width + x in the frame
        int32_t source;  // the top-left of its four samples, an index into band_
        uint16_t wx, wy;
    };

    void encodeRect(const Rgb* pixels, int top, int rowCount, int left, int columns,
                    uint8_t* frame);

    std::shared_ptr<const LensMap> map_;
    const PixelFormatInfo& info_;
    int width_, height_;
    std::size_t planeOffset_[2] = {0, 0};
    std::vector<uint8_t> background_;  // the encoded frame without the square
    // The background's pixels of the rows a square can reach, [rgbFirst_, rgbFirst_ + rows).
    std::vector<Rgb> backgroundRgb_;
    int rgbFirst_ = 0;
    // Picture rows [bandTop_, bandTop_ + rows): the bands without and with the square.
    std::vector<Rgb> bandBackground_, band_;
    int bandTop_ = 0;
    Rgb element_;
    int elementTop_ = 0, elementBottom_ = 0;
    std::vector<Tap> taps_;           // sorted by the picture column they sample first
    std::vector<int32_t> tapColumns_;  // that column of each tap
    std::vector<Rgb> rows_;           // the rectangle being redrawn
    std::vector<uint8_t> chroma_;     // a spare chroma row for NV12
};

}  // namespace lentra
