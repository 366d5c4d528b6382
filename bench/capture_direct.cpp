// Direct C++ capture rate: the baseline for bench/capture.py.
//
// Opens the first simulated camera offering the requested format, streams in free-run pacing
// and calls LxGetImage with one reused buffer for the given number of seconds. Prints one line:
// "frames_per_second <rate> frame_bytes <n> memcpy_bytes_per_second <rate>", where the memcpy
// figure is the machine's copy bandwidth over buffers of the frame's size (the physical reference).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "LentraSDK.h"
#include "lxsim.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

LxCameraHandle openCameraWith(LX_IMAGE_FORMAT format, int width, int height, LxFormat& chosen) {
    std::vector<std::string> names;
    LxDiscoverCameraDevices(names);
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
        LxCameraHandle cam = LxInitialCameraDevice(i);
        if (!cam || LxOpen(cam) != 0) continue;
        std::vector<LxFormat> formats;
        LxGetFormatList(cam, formats);
        for (const LxFormat& f : formats) {
            if (f.format == format && f.width == width && f.height == height) {
                chosen = f;
                return cam;
            }
        }
        LxClose(cam);
    }
    return nullptr;
}

double memcpyBandwidth(size_t bytes, double seconds) {
    std::vector<uint8_t> src(bytes, 0x5a), dst(bytes);
    size_t copies = 0;
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) {
        std::memcpy(dst.data(), src.data(), bytes);
        src[copies % bytes] = static_cast<uint8_t>(copies);  // keep the copies observable
        ++copies;
    }
    return static_cast<double>(copies) * static_cast<double>(bytes) / secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s FORMAT_VALUE WIDTH HEIGHT SECONDS\n", argv[0]);
        return 2;
    }
    const auto format = static_cast<LX_IMAGE_FORMAT>(std::atoi(argv[1]));
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    const double seconds = std::atof(argv[4]);

    LxFormat chosen{};
    LxCameraHandle cam = openCameraWith(format, width, height, chosen);
    if (!cam) {
        std::fprintf(stderr, "no simulated camera offers that format\n");
        return 1;
    }
    lxsim_set_pacing(1);
    if (LxSetFormat(cam, chosen) != 0 || LxStartStreaming(cam) != 0) {
        std::fprintf(stderr, "cannot stream that format\n");
        return 1;
    }
    // The same capacity the binding computes, so both sides hand the SDK the same buffer size.
    const int bytesPerPixel = (format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRA ||
                               format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRX) ? 4 : 3;
    const int capacity = width * height * bytesPerPixel;
    std::vector<uint8_t> buffer(static_cast<size_t>(capacity));

    int size = capacity;
    LxGetImage(cam, buffer.data(), size, 3000);  // warm-up: the generator prepares its pattern
    size_t frames = 0;
    int frameBytes = 0;
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) {
        size = capacity;
        if (LxGetImage(cam, buffer.data(), size, 3000) != LX_CAPTURE_RESULT::LX_SUCCESS) {
            std::fprintf(stderr, "capture failed\n");
            return 1;
        }
        frameBytes = size;
        ++frames;
    }
    const double rate = static_cast<double>(frames) / secondsSince(start);
    LxStopStreaming(cam);
    LxClose(cam);
    std::printf("frames_per_second %.2f frame_bytes %d memcpy_bytes_per_second %.0f\n", rate,
                frameBytes, memcpyBandwidth(static_cast<size_t>(frameBytes), seconds / 2));
    return 0;
}
