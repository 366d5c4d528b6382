// Every FrameStream alive in the process, so that the interpreter's exit can stop them first.
//
// A thread still waiting in a stream's read when the interpreter finalises (a daemon thread, say)
// would be ended by the interpreter while it is inside this module's C++ code, when it tries to
// take the interpreter lock back on its way out; the C++ runtime then ends the process
// (std::terminate, "terminate called without an active exception"). At exit, before
// finalisation, every open stream is stopped and the readers are given the time to leave their
// reads, with the lock released so that they can.
#pragma once

namespace lentra_stream {

class FrameStream;

void register_stream(FrameStream* stream);
void unregister_stream(FrameStream* stream);

// Marks a read's wait for the whole of its life: stop_streams_at_exit waits for none to be left.
class ReaderInside {
public:
    ReaderInside();
    ~ReaderInside();
    ReaderInside(const ReaderInside&) = delete;
    ReaderInside& operator=(const ReaderInside&) = delete;
};

// Registered with Python's atexit by the module; called with the interpreter lock held.
void stop_streams_at_exit();

}  // namespace lentra_stream
