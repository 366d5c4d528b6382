// The pixel kernels of the conversions that libyuv has not (YUV to RGB by the exact formula,
// RGB565 shifted up, luma of 3-byte pixels): one source (kernels.cpp) compiled by Highway for
// each instruction set (SSE4, AVX2, AVX-512 on x86; NEON on Arm; a portable fallback), the best
// one the processor runs chosen on the first call.
//
// Each kernel converts a run of whole pixels that lie one after the other in the frame and in the
// picture (rows without padding, so a run of rows is one run of pixels); NV12, whose chroma rows
// serve two luma rows, goes one row at a time. The caller has checked the sizes; a kernel reads
// exactly the frame bytes of its pixels and writes exactly their picture bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lentra_convert {
namespace kernels {

// The order of the three bytes of a picture's pixel.
enum class Order { rgb, bgr };

// YUY2 (Y0 U Y1 V) or UYVY (U Y0 V Y1), an even number of pixels, to RGB or BGR by the exact
// BT.601 limited-range integer formula.
void yuy2_to_rgb(const std::uint8_t* src, std::size_t pixels, Order order, std::uint8_t* out);
void uyvy_to_rgb(const std::uint8_t* src, std::size_t pixels, Order order, std::uint8_t* out);
// One NV12 row: `width` (even) lumas and width / 2 (U, V) pairs.
void nv12_row_to_rgb(const std::uint8_t* y, const std::uint8_t* uv, std::size_t width, Order order,
                     std::uint8_t* out);

// Three bytes to BT.601 limited-range luma; `order` is the order of the frame's bytes.
void rgb_to_gray(const std::uint8_t* src, std::size_t pixels, Order order, std::uint8_t* out);
// RGB565, low byte first, each channel shifted up (R5 << 3, G6 << 2, B5 << 3); and its luma.
void rgb565_to_rgb(const std::uint8_t* src, std::size_t pixels, Order order, std::uint8_t* out);
void rgb565_to_gray(const std::uint8_t* src, std::size_t pixels, std::uint8_t* out);

// The instruction sets compiled here that this processor runs, best first ("AVX3" is AVX-512).
std::vector<std::string> targets();
// Runs the kernels with the named instruction set only (one of targets()), or, given "", with
// the best again. For the tests that hold every instruction set to the same results; it changes
// the choice for the whole process. Returns false for a name not in targets().
bool use_target(const std::string& name);
// The instruction set the kernels run with now.
std::string target_in_use();

}  // namespace kernels
}  // namespace lentra_convert
