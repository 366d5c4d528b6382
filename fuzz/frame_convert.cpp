// The frame conversions of pylentrasdk._convert (convert/pixel_convert.cpp) on any format, size
// and bytes: RGB, BGR and gray pictures and JPEG files. A frame that does not fit its format must
// be refused with FrameError, never read past; a picture is written only within its buffer.
// A picture made is made again with every instruction set of the SIMD kernels this processor runs
// and another thread count, into a buffer filled differently: all of it must be written, and
// alike every time.
//
// Input: byte 0 picks the format (the nine, NONE, or a value no format has), what to make and the
// threads (0, the conversion's choice, to 3); bytes 1-2 and 3-4 are the width and height
// (little-endian, mostly small); byte 5 the JPEG quality; the rest is the frame. A frame whose
// size is already right for the format is kept as it is; otherwise the bytes are used as they
// come, so short, long and odd frames all occur.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kernels.h"
#include "pixel_convert.h"

namespace {

constexpr int kFormats[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 42};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const int pick = data[0];
    const int format = kFormats[(pick & 0x0F) % (sizeof kFormats / sizeof kFormats[0])];
    const int what = (pick >> 4) & 3;  // rgb, bgr, gray, jpeg
    const int threads = pick >> 6;
    int width = data[1] | (data[2] << 8);
    int height = data[3] | (data[4] << 8);
    // Mostly small pictures, so that runs are fast; a set high bit keeps the odd large one.
    if (!(data[2] & 0x80)) width %= 80;
    if (!(data[4] & 0x80)) height %= 80;
    const int quality = data[5] % 102;  // 0 and 101 are refused
    // A copy of exactly the frame's bytes, so that the sanitizer sees a read past its end.
    std::vector<std::uint8_t> frame(data + 6, data + size);

    try {
        const auto& f = lentra_convert::checked_format(format, width, height);
        if (what == 3) {
            const std::vector<std::uint8_t> jpeg =
                lentra_convert::to_jpeg(f, frame.data(), frame.size(), width, height, quality);
            if (jpeg.empty()) __builtin_trap();
            return 0;
        }
        const auto target = what == 0   ? lentra_convert::Target::rgb
                            : what == 1 ? lentra_convert::Target::bgr
                                        : lentra_convert::Target::gray;
        const std::size_t bytes = lentra_convert::picture_bytes(target, width, height);
        if (bytes > (std::size_t(64) << 20)) return 0;  // a large picture of a refused frame
        std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[bytes]);
        std::memset(out.get(), 0x00, bytes);
        lentra_convert::convert(f, frame.data(), frame.size(), width, height, target, out.get(), threads);

        static const std::vector<std::string> simd_targets = lentra_convert::kernels::targets();
        std::unique_ptr<std::uint8_t[]> again(new std::uint8_t[bytes]);
        for (const std::string& simd : simd_targets) {
            lentra_convert::kernels::use_target(simd);
            std::memset(again.get(), 0xFF, bytes);
            lentra_convert::convert(f, frame.data(), frame.size(), width, height, target, again.get(),
                                    1 + threads % 3);
            if (std::memcmp(out.get(), again.get(), bytes) != 0) __builtin_trap();
        }
        lentra_convert::kernels::use_target("");
    } catch (const lentra_convert::FrameError&) {
        // Refused with a message: what must happen to a frame that does not fit.
    }
    return 0;
}
