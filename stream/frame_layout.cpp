#include "frame_layout.h"

#include <climits>
#include <stdexcept>

#include "lentra/pixel_formats.h"

namespace lentra_stream {

using lentra_formats::PixelFormat;

namespace {
std::string pixel_format_name(LX_IMAGE_FORMAT format) {
    const PixelFormat* p = lentra_formats::find(format);
    return p ? p->name : "format " + std::to_string(static_cast<int>(format));
}
}  // namespace

std::string describe(const LxFormat& format) {
    return std::to_string(format.width) + "x" + std::to_string(format.height) + " " +
           pixel_format_name(format.format);
}

std::string format_text(const LxFormat& format) {
    std::string text = std::to_string(format.width) + "x" + std::to_string(format.height) + ":" +
                       pixel_format_name(format.format);
    if (format.framerate) text += "@" + std::to_string(format.framerate);
    return text;
}

FrameLayout layout_for(const LxFormat& format) {
    const PixelFormat* p = lentra_formats::find(format.format);
    if (!p) throw std::invalid_argument(describe(format) + " carries no frames");
    const std::ptrdiff_t w = format.width;
    const std::ptrdiff_t h = format.height;
    if (w == 0 || h == 0) throw std::invalid_argument(describe(format) + " has no pixels");

    FrameLayout layout;
    if (p->compressed) {
        // The same capacity LxGetImage of the binding gives a JPEG; frames are copied out at
        // their own size, so the buffer goes back to the pool at once.
        layout.compressed = true;
        layout.buffer_bytes = static_cast<std::size_t>(w * h * 3);
    } else if (p->format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NV12) {
        if (h % 2 == 0) {
            layout.shape = {h * 3 / 2, w};
            layout.frame_bytes = static_cast<std::size_t>(w * h * 3 / 2);
        }
        // An odd height has no rectangular layout: a flat frame of whatever size arrives.
        layout.buffer_bytes = static_cast<std::size_t>(w * (h + 1) * 3 / 2 + w);
    } else if (p->channels == 1) {  // RGB16: one 16-bit word per pixel
        layout.shape = {h, w};
        layout.sixteen_bit = p->bytes_per_channel == 2;
        layout.frame_bytes = static_cast<std::size_t>(w * h * p->bytes_per_channel);
    } else {
        layout.shape = {h, w, p->channels};
        layout.frame_bytes = static_cast<std::size_t>(w * h * p->channels);
    }
    if (layout.frame_bytes) layout.buffer_bytes = layout.frame_bytes;
    if (layout.buffer_bytes > static_cast<std::size_t>(INT_MAX)) {
        throw std::invalid_argument("a " + describe(format) +
                                    " frame is larger than the SDK's int byte count can hold");
    }
    return layout;
}

}  // namespace lentra_stream
