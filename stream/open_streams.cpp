#include "open_streams.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include <pybind11/pybind11.h>

#include "frame_stream.h"

namespace py = pybind11;

namespace lentra_stream {
namespace {

// How long the exit waits for readers to leave their reads; a reader that needs longer (its
// thread kept off the processor) is left to the interpreter as before.
constexpr std::chrono::seconds kLeaveTime{2};

struct OpenStreams {
    std::mutex mutex;
    std::condition_variable left;
    std::set<FrameStream*> streams;
    int readers = 0;
};

// Never destroyed: streams may end during the interpreter's finalisation, after static
// destructors would have run.
OpenStreams& open_streams() {
    static OpenStreams* const all = new OpenStreams();
    return *all;
}

}  // namespace

void register_stream(FrameStream* stream) {
    OpenStreams& all = open_streams();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.streams.insert(stream);
}

void unregister_stream(FrameStream* stream) {
    OpenStreams& all = open_streams();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.streams.erase(stream);
}

ReaderInside::ReaderInside() {
    OpenStreams& all = open_streams();
    std::lock_guard<std::mutex> lock(all.mutex);
    ++all.readers;
}

ReaderInside::~ReaderInside() {
    OpenStreams& all = open_streams();
    {
        std::lock_guard<std::mutex> lock(all.mutex);
        --all.readers;
    }
    all.left.notify_all();
}

void stop_streams_at_exit() {
    OpenStreams& all = open_streams();
    // The readers need the interpreter lock to leave their reads.
    py::gil_scoped_release nogil;
    std::unique_lock<std::mutex> lock(all.mutex);
    // A stream's destructor unregisters it under this mutex, so none goes away while stopped.
    for (FrameStream* stream : all.streams) stream->stop_without_python();
    all.left.wait_for(lock, kLeaveTime, [&all] { return all.readers == 0; });
}

}  // namespace lentra_stream
