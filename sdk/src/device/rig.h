// The rig: the simulated cameras and platform that the library offers.
//
// It is built on first use, from the description file named by LENTRASDK_SIM or else from the
// embedded default, and can be replaced at any time (lxsim_load_*, lxsim_reset). Replacing it
// detaches the old cameras, so that their handles, which callers may still hold, answer as
// invalid ones instead of reaching devices that no longer exist.
//
// A description that fails to load is never replaced by another rig behind the user's back: the
// library is left with a rig of no cameras that remembers why (loadError), and discovery says so.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/camera.h"
#include "device/trigger_line.h"
#include "description/rig_description.h"
#include "routes/media_graph.h"

namespace lentra {

class Rig {
public:
    explicit Rig(const RigDescription& description);
    // A rig with no cameras, left by a description that failed to load for `loadError`.
    static std::shared_ptr<Rig> failed(std::string loadError);
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    const std::vector<std::shared_ptr<Camera>>& cameras() const { return cameras_; }
    // The camera at `index`, or empty.
    std::shared_ptr<Camera> camera(int index) const;
    const PlatformDescription& platform() const { return platform_; }
    MediaGraph& mediaGraph() { return mediaGraph_; }
    // Why the description of this rig failed to load ("" for a rig that loaded).
    const std::string& loadError() const { return loadError_; }
    void detach();
    // Fires one pulse on the rig's trigger line and wakes the cameras that wait for one.
    void trigger();

private:
    std::shared_ptr<TriggerLine> line_;  // shared with the cameras, which handles may outlive
    std::vector<std::shared_ptr<Camera>> cameras_;
    const PlatformDescription platform_;
    MediaGraph mediaGraph_;
    std::string loadError_;
};

// The current rig (built on first use; safe from any thread).
std::shared_ptr<Rig> currentRig();
// Replaces the current rig with one built from `description`.
void replaceRig(const RigDescription& description);
// Replaces the current rig with one of no cameras that failed to load for `loadError`.
void replaceWithFailedRig(std::string loadError);
// Back to the start-up rig (LENTRASDK_SIM's description, or the embedded default; a rig of no
// cameras when LENTRASDK_SIM names a description that fails to load).
void resetRig();

}  // namespace lentra
