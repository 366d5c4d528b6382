#include "frame_stream.h"

#include <algorithm>
#include <climits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <pybind11/stl.h>

#include "errors.h"
#include "open_streams.h"

namespace lentra_stream {
namespace {

// The longest a read waits without looking at signals and at a close from another thread.
constexpr long long kStepMs = 100;
// A pool this large is a mistake rather than a plan.
constexpr int kMostBuffers = 64;

void check_timeout(const FrameStream::Timeout& timeout_ms) {
    if (timeout_ms && (*timeout_ms < 0 || *timeout_ms > INT_MAX)) {
        throw std::invalid_argument("timeout_ms must be None or from 0 to " + std::to_string(INT_MAX) +
                                    ", not " + std::to_string(*timeout_ms));
    }
}

std::optional<Clock::time_point> deadline_after(const FrameStream::Timeout& timeout_ms) {
    if (!timeout_ms) return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(*timeout_ms);
}

// The next wait step: up to kStepMs, never past the deadline.
std::uint16_t step_ms(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) return static_cast<std::uint16_t>(kStepMs);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<std::uint16_t>(std::clamp<long long>(left, 0, kStepMs));
}

double seconds_of(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// Marks the stream as read by this thread for the guard's life.
class ReadingGuard {
public:
    explicit ReadingGuard(std::atomic<bool>& reading) : reading_(reading) {
        if (reading_.exchange(true)) {
            raise_stream_error("another thread is reading from this stream; a stream has one reader at a time");
        }
    }
    ~ReadingGuard() { reading_.store(false); }
    ReadingGuard(const ReadingGuard&) = delete;
    ReadingGuard& operator=(const ReadingGuard&) = delete;

private:
    std::atomic<bool>& reading_;
};

}  // namespace

FrameStream::FrameStream(LxCameraHandle cam, const LxFormat& format, int buffers, bool fixed,
                         bool latest, Timeout timeout_ms)
    : cam_(std::move(cam)),
      format_(format),
      layout_(layout_for(format)),
      format_value_(std::make_shared<FormatValue>(format)),
      timeout_ms_(timeout_ms) {
    if (!cam_) throw py::type_error("cam must be an LxCamera, not None");
    if (buffers < 1 || buffers > kMostBuffers) {
        throw std::invalid_argument("buffers must be from 1 to " + std::to_string(kMostBuffers) +
                                    ", not " + std::to_string(buffers));
    }
    check_timeout(timeout_ms_);
    pool_ = std::make_shared<BufferPool>(layout_.buffer_bytes, static_cast<std::size_t>(buffers), fixed);

    const int set = LxSetFormat(cam_, format_);
    if (set != LX_STATUS_OK) {
        std::string detail = "cannot capture " + describe(format_);
        if (set == LX_STATUS_INVALID_ARGUMENT) detail += " (pass a record from this camera's LxGetFormatList)";
        raise_status("LxSetFormat", set, detail);
    }
    const int start = LxStartStreaming(cam_);
    if (start != LX_STATUS_OK) raise_status("LxStartStreaming", start, "");
    // From here on a failure (no memory, a thread that cannot be started) must not leave the
    // camera streaming with no object to stop it.
    try {
        std::uint8_t counter = 0;
        std::optional<std::uint8_t> counter_at_start;
        if (LxGetFrameCount(cam_, counter) == LX_STATUS_OK) counter_at_start = counter;
        const FrameNumbering numbering(counter_at_start, format_.framerate);
        if (latest) {
            grabber_ = std::make_unique<Grabber>(cam_, pool_, numbering);
        } else {
            numbering_.emplace(numbering);
        }
    } catch (...) {
        LxStopStreaming(cam_);
        throw;
    }
    register_stream(this);
}

FrameStream::~FrameStream() {
    unregister_stream(this);
    // Python is tearing the object down and holds the interpreter lock; the grabber never needs
    // it, so stopping with the lock held cannot deadlock.
    stop(false);
}

void FrameStream::close() { stop(true); }

void FrameStream::stop(bool release_gil) {
    if (closed_.exchange(true)) return;
    auto stop_streaming = [this] {
        if (grabber_) grabber_->request_stop();
        // Also ends a capture wait of a reader in another thread. A failure here (the camera
        // was closed first) leaves nothing to stop.
        LxStopStreaming(cam_);
        if (grabber_) grabber_->join();
    };
    if (release_gil) {
        py::gil_scoped_release nogil;
        stop_streaming();
    } else {
        stop_streaming();
    }
}

Frame FrameStream::read(Timeout timeout_ms) {
    const Timeout timeout = timeout_ms ? timeout_ms : timeout_ms_;
    check_timeout(timeout);
    return read_until(deadline_after(timeout), false);
}

Frame FrameStream::next() { return read_until(deadline_after(timeout_ms_), true); }

Frame FrameStream::read_until(std::optional<Clock::time_point> deadline, bool iterating) {
    if (closed_.load()) {
        if (iterating) throw py::stop_iteration();
        raise_closed("the stream is closed");
    }
    ReadingGuard guard(reading_);
    const ReaderInside inside;
    return grabber_ ? read_latest(deadline, iterating) : read_direct(deadline, iterating);
}

Frame FrameStream::read_direct(std::optional<Clock::time_point> deadline, bool iterating) {
    std::unique_ptr<Lease> lease;
    {
        // A new buffer is allocated and zero-filled here, which can take milliseconds.
        py::gil_scoped_release nogil;
        lease = std::make_unique<Lease>(pool_, pool_->take());
    }
    if (!lease->data()) {
        raise_pool_exhausted("all " + std::to_string(pool_->keep()) +
                             " buffers of the fixed pool are held by frames still referenced; "
                             "drop a frame (and its arrays) or make the pool larger");
    }
    for (;;) {
        CaptureStep step;
        {
            py::gil_scoped_release nogil;
            step = capture_step(cam_, lease->data(), layout_.buffer_bytes, step_ms(deadline));
        }
        if (step.result == LX_CAPTURE_RESULT::LX_SUCCESS) {
            const FrameNumbering::Numbered numbered = numbering_->next(step.report, seconds_of(step.arrival));
            if (numbered.restarted) restarted_under_stream();
            return deliver(std::move(lease), step.size, step.arrival, numbered.number, step.report);
        }
        if (closed_.load()) closed_during_wait(iterating);
        if (step.early_timeout) raise_capture(step.result, early_timeout_detail(step));
        if (step.result != LX_CAPTURE_RESULT::LX_TIMEOUT) capture_failed(step.result);
        after_empty_step(deadline, iterating);
    }
}

Frame FrameStream::read_latest(std::optional<Clock::time_point> deadline, bool iterating) {
    for (;;) {
        Clock::time_point until = Clock::now() + std::chrono::milliseconds(kStepMs);
        if (deadline) until = std::min(until, *deadline);
        Grabber::Captured frame;
        Grabber::Failure failure;
        CaptureStep verdict;
        Grabber::Outcome outcome;
        {
            py::gil_scoped_release nogil;
            outcome = grabber_->take(until, frame, failure, verdict);
        }
        switch (outcome) {
            case Grabber::Outcome::Frame:
                return deliver(std::move(frame.lease), frame.size, frame.arrival, frame.number,
                               frame.report);
            case Grabber::Outcome::Verdict:
                if (closed_.load()) closed_during_wait(iterating);
                raise_capture(verdict.result, early_timeout_detail(verdict));
            case Grabber::Outcome::Failed:
                if (closed_.load()) closed_during_wait(iterating);
                switch (failure.kind) {
                    case Grabber::Failure::Kind::OutOfMemory:
                        throw std::bad_alloc();  // MemoryError, as a direct read raises
                    case Grabber::Failure::Kind::Restarted:
                        restarted_under_stream();
                    case Grabber::Failure::Kind::Capture:
                        capture_failed(failure.result);
                }
                capture_failed(failure.result);
            case Grabber::Outcome::Ended:
                closed_during_wait(iterating);
            case Grabber::Outcome::TimedOut:
                break;
        }
        // With no frame waiting, a starved grabber means the caller holds every buffer.
        if (pool_->fixed() && pool_->starved()) {
            raise_pool_exhausted("all " + std::to_string(pool_->keep()) +
                                 " buffers of the fixed pool are held by frames still referenced; "
                                 "drop a frame (and its arrays) or make the pool larger");
        }
        if (closed_.load()) closed_during_wait(iterating);
        after_empty_step(deadline, iterating);
    }
}

void FrameStream::after_empty_step(std::optional<Clock::time_point> deadline, bool iterating) {
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    if (closed_.load()) closed_during_wait(iterating);
    if (deadline && Clock::now() >= *deadline) {
        raise_capture(LX_CAPTURE_RESULT::LX_TIMEOUT, "no frame within the time-out");
    }
}

Frame FrameStream::deliver(std::unique_ptr<Lease> lease, int size, Clock::time_point arrival,
                           std::uint64_t number, const CameraReport& report) {
    const bool fits = size > 0 && static_cast<std::size_t>(size) <= layout_.buffer_bytes &&
                      (!layout_.frame_bytes || static_cast<std::size_t>(size) == layout_.frame_bytes);
    if (!fits) {
        // Never shape (or hand out) bytes the SDK did not say it wrote for this frame.
        std::string expected = layout_.frame_bytes ? std::to_string(layout_.frame_bytes)
                                                   : "1 to " + std::to_string(layout_.buffer_bytes);
        raise_stream_error("LxGetImage reported " + std::to_string(size) + " bytes for a " +
                           describe(format_) + " frame, which takes " + expected);
    }
    Frame frame;
    frame.array = frame_array(layout_, std::move(lease), static_cast<std::size_t>(size));
    frame.number = number;
    frame.format = format_;
    frame.format_value = format_value_;
    frame.timestamp = seconds_of(arrival);
    if (report.timestamp) frame.sensor_timestamp = static_cast<double>(*report.timestamp);
    frame.exposure = report.exposure;
    frame.gain = report.gain;
    frame.dropped = static_cast<std::uint64_t>(static_cast<std::int64_t>(number) - last_number_ - 1);
    last_number_ = static_cast<std::int64_t>(number);
    ++frames_;
    dropped_ += frame.dropped;
    return frame;
}

void FrameStream::restarted_under_stream() {
    raise_stream_error("streaming was stopped and started again under the stream (or the camera's "
                       "timestamp was reset), possibly in another format: the frame is refused");
}

void FrameStream::closed_during_wait(bool iterating) {
    if (iterating) throw py::stop_iteration();
    raise_closed("the stream was closed while waiting for a frame");
}

void FrameStream::capture_failed(LX_CAPTURE_RESULT result) {
    std::string detail;
    switch (result) {
        case LX_CAPTURE_RESULT::LX_CAM_OCCUPIED:
            detail = "another capture from this camera is under way";
            break;
        case LX_CAPTURE_RESULT::LX_BUFFER_CORRUPTED:
            detail = "the frame did not fit a buffer of " + std::to_string(layout_.buffer_bytes) +
                     " bytes for " + describe(format_);
            break;
        default: {
            // Tell a camera closed under the stream from other failures.
            std::vector<LxFormat> formats;
            const int status = LxGetFormatList(cam_, formats);
            if (status == LX_STATUS_NOT_OPEN || status == LX_STATUS_INVALID_HANDLE) {
                detail = "the camera is no longer open (" + status_name(status) + ")";
            } else {
                detail = "the camera stopped streaming or failed";
            }
        }
    }
    raise_capture(result, detail);
}

namespace {

// "<FrameStream 1280x720:YUY2@30 open latest fixed buffers=4 frames=12 dropped=0>"
std::string repr(const FrameStream& s) {
    std::string text = "<FrameStream " + format_text(s.format()) + (s.closed() ? " closed" : " open");
    if (s.latest()) text += " latest";
    if (s.pool().fixed()) text += " fixed";
    return text + " buffers=" + std::to_string(s.pool().keep()) + " frames=" +
           std::to_string(s.frames()) + " dropped=" + std::to_string(s.dropped()) + ">";
}

}  // namespace

void init_frame_stream(py::module_& m) {
    py::class_<FrameStream>(m, "FrameStream",
                            "Frames from a camera into a pool of reused buffers; the wait for a "
                            "frame releases the interpreter lock. See docs/streaming.md.")
        .def(py::init<LxCameraHandle, const LxFormat&, int, bool, bool, FrameStream::Timeout>(),
             py::arg("cam").none(false), py::arg("fmt").none(false), py::arg("buffers") = 4,
             py::kw_only(), py::arg("fixed") = false, py::arg("latest") = false,
             py::arg("timeout_ms") = 3000,
             "Sets `fmt` on the opened camera `cam` and starts streaming. `buffers`: the "
             "buffers the pool keeps (1 to 64); with fixed=True it never holds more, and a read "
             "that finds them all held by the caller raises PoolExhaustedError. latest=True: a "
             "background thread captures all the time and a read returns the newest frame. "
             "`timeout_ms`: how long a read waits at most (None: no limit)")
        .def("read", &FrameStream::read, py::arg("timeout_ms") = py::none(),
             "The next frame (the newest in latest-frame mode) as a Frame, waiting at most "
             "timeout_ms milliseconds (None: the stream's time-out)")
        .def("close", &FrameStream::close,
             "Stops streaming; a read waiting in another thread ends. Safe to call again")
        .def("__enter__", [](FrameStream& s) -> FrameStream& {
                 if (s.closed()) raise_closed("the stream is closed");
                 return s;
             }, py::return_value_policy::reference_internal)
        .def("__exit__", [](FrameStream& s, const py::args&) { s.close(); })
        .def("__iter__", [](FrameStream& s) -> FrameStream& { return s; },
             py::return_value_policy::reference_internal)
        .def("__next__", &FrameStream::next)
        .def("__repr__", &repr)
        .def_property_readonly("format", &FrameStream::format, "The LxFormat being captured")
        .def_property_readonly("latest", &FrameStream::latest, "Whether this is a latest-frame stream")
        .def_property_readonly("closed", &FrameStream::closed, "Whether the stream is closed")
        .def_property_readonly("timeout_ms", &FrameStream::timeout_ms, "The stream's read time-out")
        .def_property_readonly("buffers", [](const FrameStream& s) { return s.pool().keep(); },
                               "The buffers the pool keeps for reuse")
        .def_property_readonly("fixed", [](const FrameStream& s) { return s.pool().fixed(); },
                               "Whether the pool never grows past `buffers`")
        .def_property_readonly("pool_size", [](const FrameStream& s) { return s.pool().allocated(); },
                               "Buffers that exist now, free or holding frames")
        .def_property_readonly("pool_free", [](const FrameStream& s) { return s.pool().free_count(); },
                               "Buffers free for the next frame")
        .def_property_readonly("frames", &FrameStream::frames, "Frames delivered so far")
        .def_property_readonly("dropped", &FrameStream::dropped,
                               "Frames the camera made that the stream did not deliver, so far");
}

}  // namespace lentra_stream
