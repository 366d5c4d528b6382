#include "device/rig.h"

#include <cstdio>
#include <cstdlib>

#include <optional>

#include "description/json_reader.h"
#include "device/default_rig.h"
#include "files/read_file.h"

namespace lentra {

Rig::Rig(const RigDescription& description)
    : line_(std::make_shared<TriggerLine>(description.trigger, TriggerLine::Clock::now())),
      platform_(description.platform),
      mediaGraph_(description.platform) {
    for (const DeviceDescription& device : description.devices)
        cameras_.push_back(std::make_shared<Camera>(device, line_));
}

std::shared_ptr<Camera> Rig::camera(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= cameras_.size()) return nullptr;
    return cameras_[static_cast<std::size_t>(index)];
}

std::shared_ptr<Rig> Rig::failed(std::string loadError) {
    auto rig = std::make_shared<Rig>(RigDescription{});
    rig->loadError_ = std::move(loadError);
    return rig;
}

void Rig::detach() {
    for (const auto& camera : cameras_) camera->detach();
}

void Rig::trigger() {
    line_->fire(TriggerLine::Clock::now());
    // After the line's mutex is released: a camera holds its own while it asks the line.
    for (const auto& camera : cameras_) camera->lineChanged();
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

// What the library starts with: the description LENTRASDK_SIM names, or the default one. A
// named description that cannot be read or parsed gives no rig but the reason, which discovery
// logs every time it is asked.
struct Startup {
    std::optional<RigDescription> description;
    std::string error;
};

Startup startupDescription() {
    const char* path = std::getenv("LENTRASDK_SIM");
    if (!path || !*path) return {defaultDescription(), ""};
    std::string reason;
    if (auto text = files::readWholeFile(path, reason, kMaxRigDescriptionBytes)) {
        RigParseResult parsed = parseRigDescription(*text);
        if (parsed.rig) return {std::move(*parsed.rig), ""};
        reason = parsed.error;
    }
    return {std::nullopt, "LENTRASDK_SIM=" + printableText(path, 256) + ": " + reason};
}

std::shared_ptr<Rig> build(const Startup& startup) {
    if (!startup.description) return Rig::failed(startup.error);
    return std::make_shared<Rig>(*startup.description);
}

struct RigState {
    std::mutex mutex;
    std::shared_ptr<Rig> current;
    std::unique_ptr<Startup> startup;  // read once, reused by resets
};

RigState& rigState() {
    static RigState s;
    return s;
}

// Requires the rig mutex.
const Startup& startupLocked(RigState& s) {
    if (!s.startup) s.startup = std::make_unique<Startup>(startupDescription());
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
    if (!s.current) s.current = build(startupLocked(s));
    return s.current;
}

void replaceRig(const RigDescription& description) { install(std::make_shared<Rig>(description)); }

void replaceWithFailedRig(std::string loadError) { install(Rig::failed(std::move(loadError))); }

void resetRig() {
    std::shared_ptr<Rig> rig;
    {
        RigState& s = rigState();
        std::lock_guard<std::mutex> lock(s.mutex);
        rig = build(startupLocked(s));
    }
    install(std::move(rig));
}

}  // namespace lentra
