// The rig: the simulated cameras and platform that the library offers.
//
// It is built on first use, from the description file named by LENTRASDK_SIM or else from the
// embedded default, and can be replaced at any time (lxsim_load_*, lxsim_reset). Replacing it
// detaches the old cameras, so that their handles, which callers may still hold, answer as
// invalid ones instead of reaching devices that no longer exist.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/camera.h"
#include "description/rig_description.h"

namespace lentra {

class Rig {
public:
    explicit Rig(const RigDescription& description);
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    const std::vector<std::shared_ptr<Camera>>& cameras() const { return cameras_; }
    // The camera at `index`, or empty.
    std::shared_ptr<Camera> camera(int index) const;
    const PlatformDescription& platform() const { return platform_; }
    void detach();

private:
    std::vector<std::shared_ptr<Camera>> cameras_;
    const PlatformDescription platform_;
};

// The current rig (built on first use; safe from any thread).
std::shared_ptr<Rig> currentRig();
// Replaces the current rig with one built from `description`.
void replaceRig(const RigDescription& description);
// Back to the start-up rig (LENTRASDK_SIM's description, or the embedded default).
void resetRig();

}  // namespace lentra
