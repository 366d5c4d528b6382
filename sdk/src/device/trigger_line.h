// The rig's trigger line: one signal wired to every camera of the rig.
//
// Cameras in Sync mode expose on the line's ticks; cameras in Non Periodic mode expose on its
// pulses (lxsim_trigger). The line also carries the clock that those cameras report their
// timestamps on, so that frames of one tick carry one timestamp whichever camera made them.
//
// The line is shared by the rig's cameras, each with a mutex of its own, so it has its own
// mutex. A camera calls it while holding its own mutex; the line never calls a camera (the rig
// wakes the cameras after a pulse, with the line's mutex released), so the two are always
// taken in that order.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>

#include "description/rig_description.h"

namespace lentra {

class TriggerLine {
public:
    using Clock = std::chrono::steady_clock;

    // A line whose clock reads 0 at `start`. With a rate in the description it ticks from
    // `start` on; without one it ticks at the rate of the first camera that joins it.
    TriggerLine(const TriggerDescription& description, Clock::time_point start);

    // A camera streaming in Sync joins the line with its own frame rate and leaves it when it
    // stops (or leaves Sync). The first camera to join a line that has no rate of its own and
    // no camera on it sets the rate; its ticks start at `now`. Returns the line's rate.
    double join(const void* camera, double cameraRate, Clock::time_point now);
    void leave(const void* camera);
    // Ticks per second.
    double rate() const;

    // The line's ticks: tick k is at ticksFrom + k / rate. The first tick at or after `t`, and
    // the time of tick k.
    uint64_t tickAtOrAfter(Clock::time_point t) const;
    Clock::time_point tickTime(uint64_t tick) const;

    struct Pulse {
        uint64_t count = 0;         // pulses fired on this line so far
        Clock::time_point at{};     // when the latest one was fired
    };
    // Fires one pulse at `now`; Rig::trigger wakes the cameras afterwards.
    Pulse fire(Clock::time_point now);
    Pulse latestPulse() const;

    // The line's clock: seconds from the line's start to `t`.
    double secondsAt(Clock::time_point t) const;

private:
    mutable std::mutex mutex_;
    const Clock::time_point start_;
    const double describedRate_;  // 0: the first joining camera's
    double rate_;
    Clock::duration period_;
    Clock::time_point ticksFrom_;
    std::set<const void*> members_;
    Pulse pulse_;
};

// How late, in seconds, a camera on the line exposes after tick or pulse `event`: its offset,
// and a share of its jitter (from 0 up to the jitter) that depends only on the camera and the
// event, so that a rig gives the same skews on every run whatever order cameras are read in.
double lineDelay(const CameraTriggerDescription& camera, uint64_t event);

}  // namespace lentra
