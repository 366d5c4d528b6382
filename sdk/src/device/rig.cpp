#include "device/rig.h"

#include <cstdio>
#include <cstdlib>

#include "device/default_rig.h"
#include "files/read_file.h"

namespace lentra {

Rig::Rig(const RigDescription& description) : platform_(description.platform) {
    for (const DeviceDescription& device : description.devices)
        cameras_.push_back(std::make_shared<Camera>(device));
}

std::shared_ptr<Camera> Rig::camera(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= cameras_.size()) return nullptr;
    return cameras_[static_cast<std::size_t>(index)];
}

void Rig::detach() {
    for (const auto& camera : cameras_) camera->detach();
}

namespace {

RigDescription defaultDescription() {
    RigParseResult parsed = parseRigDescription(defaultRigDescription());
    // The embedded rig is checked by the tests; should it ever be broken, an empty rig beats a
    // crash at a user's first call.
    if (!parsed.rig) {
        std::fprintf(stderr, "LentraSDK: the embedded default rig is malformed: %s\n",
                     parsed.error.c_str());
        return RigDescription{};
    }
    return std::move(*parsed.rig);
}

// The rig described by LENTRASDK_SIM, or the default one with a message saying why not.
RigDescription startupDescription() {
    const char* path = std::getenv("LENTRASDK_SIM");
    if (!path || !*path) return defaultDescription();
    std::string reason;
    if (auto text = files::readWholeFile(path, reason)) {
        RigParseResult parsed = parseRigDescription(*text);
        if (parsed.rig) return std::move(*parsed.rig);
        reason = parsed.error;
    }
    std::fprintf(stderr, "LentraSDK: LENTRASDK_SIM=%s: %s; using the default rig\n", path,
                 reason.c_str());
    std::fflush(stderr);
    return defaultDescription();
}

struct RigState {
    std::mutex mutex;
    std::shared_ptr<Rig> current;
    std::unique_ptr<RigDescription> startup;  // read once, reused by resets
};

RigState& rigState() {
    static RigState s;
    return s;
}

// Requires the rig mutex.
const RigDescription& startupLocked(RigState& s) {
    if (!s.startup) s.startup = std::make_unique<RigDescription>(startupDescription());
    return *s.startup;
}

void install(std::shared_ptr<Rig> rig) {
    RigState& s = rigState();
    std::shared_ptr<Rig> old;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        old = std::move(s.current);
        s.current = std::move(rig);
    }
    // Outside the rig mutex: detaching takes each camera's mutex.
    if (old) old->detach();
}

}  // namespace

std::shared_ptr<Rig> currentRig() {
    RigState& s = rigState();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.current) s.current = std::make_shared<Rig>(startupLocked(s));
    return s.current;
}

void replaceRig(const RigDescription& description) { install(std::make_shared<Rig>(description)); }

void resetRig() {
    std::shared_ptr<Rig> rig;
    {
        RigState& s = rigState();
        std::lock_guard<std::mutex> lock(s.mutex);
        rig = std::make_shared<Rig>(startupLocked(s));
    }
    install(std::move(rig));
}

}  // namespace lentra
