// The stages of a firmware upgrade, and the one procedure that steps through them.
//
// A sensor firmware upgrade reads the sensor's MCU, checks that the image is made for it,
// switches the MCU to its boot loader, initialises it, erases the spare bank, programs it (in
// steps), verifies it, resets and starts the new application. The USB controller's upgrade uses
// the stages that apply to its target. Each stage has the LX_UPGRADE_RESULT that names its
// failure.
//
// Nothing is committed while the stages run: the caller switches to the new firmware only when
// every stage has passed, so a failure at any stage (or a progress function that throws) leaves
// the camera on the firmware it had.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "LentraSDK.h"

namespace lentra {

enum class UpgradeStage { Read, Compare, Switch, Init, Erase, Program, Verify, Reset, Start };

// The stage's name as fault injection names it ("read", "compare", "switch", "init", "erase",
// "program", "verify", "reset", "start"), and back.
const char* stageName(UpgradeStage stage);
std::optional<UpgradeStage> stageNamed(const std::string& name);
LX_UPGRADE_RESULT failureOf(UpgradeStage stage);

struct UpgradeRun {
    std::vector<UpgradeStage> stages;
    std::optional<UpgradeStage> failAt;          // an injected failure
    std::function<bool(UpgradeStage)> passes;    // the device's own verdict on a stage, if any
};

// Runs the stages in order on the calling thread. `progress` (may be empty) is called with 0
// first and then with increasing values, 100 once the last stage has passed. Returns the failed
// stage, or nothing when all passed. An exception thrown by `progress` passes through.
std::optional<UpgradeStage> runUpgrade(const UpgradeRun& run, const LxProgress& progress);

}  // namespace lentra
