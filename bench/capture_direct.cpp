// Direct C++ capture: the baselines for bench/capture.py.
//
//   capture_direct reused  FORMAT_VALUE WIDTH HEIGHT SECONDS
//       one camera, free run, LxGetImage into one reused buffer. Prints
//       "frames_per_second <rate> frame_bytes <n> memcpy_bytes_per_second <rate>", where the
//       memcpy figure is the machine's copy bandwidth over buffers of the frame's size.
//   capture_direct fresh   FORMAT_VALUE WIDTH HEIGHT SECONDS
//       one camera, free run, the work the binding's LxGetImage documents per call: a fresh
//       buffer of the binding's capacity, zero-filled, filled by the SDK, and kept until the next
//       frame is in (as a Python loop keeps its last frame). Prints
//       "frames_per_second <rate> frame_bytes <n>".
//   capture_direct fresh-dropped FORMAT_VALUE WIDTH HEIGHT SECONDS
//       as fresh, but each buffer is freed as soon as its frame is in.
//   capture_direct threads FORMAT_VALUE WIDTH HEIGHT SECONDS CAMERAS PACING
//       the first CAMERAS cameras offering the format, one thread each with a reused buffer,
//       PACING 0 (real time) or 1 (free run). Prints "thread_fps <rate> ... dropped <n>", the
//       dropped count read from the frame numbers stamped into the frames.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "LentraSDK.h"
#include "lxsim.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Request {
    LX_IMAGE_FORMAT format;
    int width;
    int height;
    double seconds;
};

// Opens every camera offering the format (up to `wanted`), each set to it and streaming.
std::vector<LxCameraHandle> openCamerasWith(const Request& r, std::size_t wanted) {
    std::vector<std::string> names;
    LxDiscoverCameraDevices(names);
    std::vector<LxCameraHandle> cameras;
    for (int i = 0; i < static_cast<int>(names.size()) && cameras.size() < wanted; ++i) {
        LxCameraHandle cam = LxInitialCameraDevice(i);
        if (!cam || LxOpen(cam) != 0) continue;
        std::vector<LxFormat> formats;
        LxGetFormatList(cam, formats);
        bool started = false;
        for (const LxFormat& f : formats) {
            if (f.format == r.format && f.width == r.width && f.height == r.height) {
                started = LxSetFormat(cam, f) == 0 && LxStartStreaming(cam) == 0;
                break;
            }
        }
        if (started) {
            cameras.push_back(cam);
        } else {
            LxClose(cam);
        }
    }
    return cameras;
}

void closeAll(const std::vector<LxCameraHandle>& cameras) {
    for (const LxCameraHandle& cam : cameras) {
        LxStopStreaming(cam);
        LxClose(cam);
    }
}

// The capacity the binding computes, so both sides hand the SDK the same buffer size.
int bindingCapacity(const Request& r) {
    const int bytesPerPixel = (r.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRA ||
                               r.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRX) ? 4 : 3;
    return r.width * r.height * bytesPerPixel;
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

bool capture(const LxCameraHandle& cam, uint8_t* buffer, int capacity, int& size) {
    size = capacity;
    return LxGetImage(cam, buffer, size, 3000) == LX_CAPTURE_RESULT::LX_SUCCESS;
}

enum class Buffers { Reused, FreshKept, FreshDropped };

int runSingle(const Request& r, Buffers mode) {
    lxsim_set_pacing(1);
    const std::vector<LxCameraHandle> cameras = openCamerasWith(r, 1);
    if (cameras.empty()) {
        std::fprintf(stderr, "no simulated camera streams that format\n");
        return 1;
    }
    const LxCameraHandle& cam = cameras.front();
    const int capacity = bindingCapacity(r);
    std::vector<uint8_t> reused(static_cast<size_t>(capacity));
    std::vector<uint8_t> previous;  // fresh mode: the last frame, held until the next one is in
    int size = 0;
    capture(cam, reused.data(), capacity, size);  // warm-up: the generator prepares its pattern
    size_t frames = 0;
    int frameBytes = 0;
    const auto start = Clock::now();
    while (secondsSince(start) < r.seconds) {
        bool ok;
        if (mode != Buffers::Reused) {
            std::vector<uint8_t> buffer(static_cast<size_t>(capacity));  // zero-filled
            ok = capture(cam, buffer.data(), capacity, size);
            // Kept: as `result, image = LxGetImage(...)` in a loop holds the last frame.
            if (mode == Buffers::FreshKept) previous = std::move(buffer);
        } else {
            ok = capture(cam, reused.data(), capacity, size);
        }
        if (!ok) {
            std::fprintf(stderr, "capture failed\n");
            return 1;
        }
        frameBytes = size;
        ++frames;
    }
    const double rate = static_cast<double>(frames) / secondsSince(start);
    closeAll(cameras);
    std::printf("frames_per_second %.2f frame_bytes %d", rate, frameBytes);
    if (mode == Buffers::Reused) {
        std::printf(" memcpy_bytes_per_second %.0f",
                    memcpyBandwidth(static_cast<size_t>(frameBytes), r.seconds / 2));
    }
    std::printf("\n");
    return 0;
}

int runThreads(const Request& r, std::size_t wanted, int pacing) {
    lxsim_set_pacing(pacing);
    const std::vector<LxCameraHandle> cameras = openCamerasWith(r, wanted);
    if (cameras.size() != wanted) {
        std::fprintf(stderr, "only %zu cameras stream that format\n", cameras.size());
        closeAll(cameras);
        return 1;
    }
    const int capacity = bindingCapacity(r);
    std::vector<double> rates(wanted, 0.0);
    std::vector<long> dropped(wanted, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < wanted; ++t) {
        threads.emplace_back([&, t] {
            std::vector<uint8_t> buffer(static_cast<size_t>(capacity));
            long previous = -1;
            size_t frames = 0;
            int size = 0;
            const auto start = Clock::now();
            while (secondsSince(start) < r.seconds) {
                if (!capture(cameras[t], buffer.data(), capacity, size)) break;
                const long number = lxsim_read_frame_number(
                    buffer.data(), static_cast<size_t>(size), static_cast<int>(r.format),
                    r.width, r.height);
                if (previous >= 0 && number > previous + 1) dropped[t] += number - previous - 1;
                previous = number;
                ++frames;
            }
            rates[t] = static_cast<double>(frames) / secondsSince(start);
        });
    }
    for (std::thread& thread : threads) thread.join();
    closeAll(cameras);
    long totalDropped = 0;
    std::printf("thread_fps");
    for (std::size_t t = 0; t < wanted; ++t) {
        std::printf(" %.2f", rates[t]);
        totalDropped += dropped[t];
    }
    std::printf(" dropped %ld\n", totalDropped);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool threads = mode == "threads";
    const bool single = mode == "reused" || mode == "fresh" || mode == "fresh-dropped";
    if ((!single && !threads) || argc != (threads ? 8 : 6)) {
        std::fprintf(stderr,
                     "usage: %s reused|fresh|fresh-dropped FORMAT_VALUE WIDTH HEIGHT SECONDS\n"
                     "       %s threads FORMAT_VALUE WIDTH HEIGHT SECONDS CAMERAS PACING\n",
                     argv[0], argv[0]);
        return 2;
    }
    const Request r{static_cast<LX_IMAGE_FORMAT>(std::atoi(argv[2])), std::atoi(argv[3]),
                    std::atoi(argv[4]), std::atof(argv[5])};
    if (threads) return runThreads(r, static_cast<std::size_t>(std::atoi(argv[6])), std::atoi(argv[7]));
    return runSingle(r, mode == "reused" ? Buffers::Reused
                        : mode == "fresh" ? Buffers::FreshKept : Buffers::FreshDropped);
}
