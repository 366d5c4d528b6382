// When each frame of a stream is due.
//
// In real time, frame k is due at base + (k - baseSequence) * period on the monotonic clock, so
// frames do not drift however long a stream runs. A caller that comes late gets the frame of the
// current slot at once: the slots it missed are dropped, as a camera drops frames it could not
// hand over, and the sequence number jumps. In free run every request gets the next number at
// once. Not thread-safe: the camera's lock guards it.
#pragma once

#include <chrono>
#include <cstdint>

namespace lentra {

class StreamClock {
public:
    using Clock = std::chrono::steady_clock;

    // Starts a stream at `now`: frame 0 is due at once.
    void start(Clock::time_point now, double framesPerSecond);
    // Changes the rate from the next frame on (a lower cap set while streaming).
    void setRate(Clock::time_point now, double framesPerSecond);
    // The next frame is due at `now` and the numbering goes on: for a camera that times its
    // frames itself again after following a trigger line.
    void resume(Clock::time_point now);

    struct Slot {
        uint64_t sequence;         // the frame to deliver
        Clock::time_point due;     // when it is due (at or before `now`: deliver at once)
    };
    // The frame a request made at `now` gets; in free run it is due at `now`.
    Slot next(Clock::time_point now, bool freeRun) const;
    // Records that `sequence` was delivered; the next request gets a later one.
    void delivered(uint64_t sequence) { next_ = sequence + 1; }
    // The first frame not delivered yet: the next request gets it or a later one.
    uint64_t nextSequence() const { return next_; }

private:
    Clock::time_point dueOf(uint64_t sequence) const;

    Clock::time_point base_{};
    uint64_t baseSequence_ = 0;
    uint64_t next_ = 0;
    double rate_ = 1.0;
    Clock::duration period_ = std::chrono::seconds(1);
};

// The library-wide pacing mode (lxsim_set_pacing): real time unless free run is chosen.
bool freeRunPacing();
void setFreeRunPacing(bool freeRun);

}  // namespace lentra
