// Frames of every pixel format as pictures (RGB, BGR or gray) and as JPEG files, with no Python
// in sight: the compiled module pylentrasdk._convert wraps these calls, and the fuzz target
// calls them directly.
//
// Every call checks the frame against its format and size before it reads a byte, and throws
// FrameError (a std::invalid_argument) with a sentence for the user when they do not match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "lentra/pixel_formats.h"

namespace lentra_convert {

struct FrameError : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

enum class Target { rgb, bgr, gray };

// The largest width or height a frame may have here (LxFormat holds them in 16 bits); it keeps
// every row length within the int arguments of libyuv and libjpeg-turbo.
constexpr int kMaxSide = 65535;

// The facts of `format` for a frame of width x height; throws FrameError for a format that
// carries no picture or a size the format cannot have.
const lentra_formats::PixelFormat& checked_format(int format, int width, int height);

// Throws FrameError unless `size` bytes are a whole raw frame of this format and size (any
// size goes for MJPG, whose JPEG is checked when it is decoded).
void check_frame(const lentra_formats::PixelFormat& f, std::size_t size, int width, int height);

// The bytes of the picture: width x height x 3 for rgb and bgr, width x height for gray.
inline std::size_t picture_bytes(Target target, int width, int height) {
    return std::size_t(width) * std::size_t(height) * (target == Target::gray ? 1 : 3);
}

// Writes the picture of the frame into `out` (picture_bytes long, rows without padding).
// RGB and BGR are the BT.601 limited-range inverse of the YUV formats, the channels of the RGB
// formats, RGB565 shifted up, or the decoded JPEG; gray is the luma plane of the YUV formats and
// the BT.601 luma ((66 R + 129 G + 25 B + 128) >> 8) + 16 of the others.
//
// The rows are converted by `threads` threads side by side (at most one per row; a JPEG is
// decoded on the calling thread all the same). `threads` 0 leaves the count to the conversion:
// one per core, each with at least 131,072 pixels. The picture is the same whatever the count.
void convert(const lentra_formats::PixelFormat& f, const std::uint8_t* frame, std::size_t size,
             int width, int height, Target target, std::uint8_t* out, int threads);

// The frame as a JPEG file of the given quality (1 to 100). YUV frames are compressed from their
// planes (4:2:2 or 4:2:0, brought to the full range JPEG's YCbCr uses); RGB formats through
// RGB; an MJPG frame is handed back as it is once its header is checked.
std::vector<std::uint8_t> to_jpeg(const lentra_formats::PixelFormat& f, const std::uint8_t* frame,
                                  std::size_t size, int width, int height, int quality);

}  // namespace lentra_convert
