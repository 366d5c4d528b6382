#include "firmware/upgrade_procedure.h"

#include <algorithm>
#include <array>

namespace lentra {

namespace {

struct StageInfo {
    UpgradeStage stage;
    const char* name;
    LX_UPGRADE_RESULT failure;
    int weight;  // share of the progress range
    int steps;   // progress reports within the stage
};

using R = LX_UPGRADE_RESULT;
constexpr std::array<StageInfo, 9> kStages{{
    {UpgradeStage::Read, "read", R::LX_UPGRADE_MCU_READ_FAIL, 4, 1},
    {UpgradeStage::Compare, "compare", R::LX_UPGRADE_MCU_MISMATCH, 2, 1},
    {UpgradeStage::Switch, "switch", R::LX_UPGRADE_BSL_SWITCH_FAIL, 4, 1},
    {UpgradeStage::Init, "init", R::LX_UPGRADE_INIT_FAIL, 4, 1},
    {UpgradeStage::Erase, "erase", R::LX_UPGRADE_ERASE_FAIL, 12, 1},
    {UpgradeStage::Program, "program", R::LX_UPGRADE_PROGRAM_FAIL, 50, 5},
    {UpgradeStage::Verify, "verify", R::LX_UPGRADE_VERIFY_FAIL, 16, 1},
    {UpgradeStage::Reset, "reset", R::LX_UPGRADE_RESET_FAIL, 4, 1},
    {UpgradeStage::Start, "start", R::LX_UPGRADE_START_APP_FAIL, 4, 1},
}};

const StageInfo& info(UpgradeStage stage) { return kStages[static_cast<std::size_t>(stage)]; }

}  // namespace

const char* stageName(UpgradeStage stage) { return info(stage).name; }

std::optional<UpgradeStage> stageNamed(const std::string& name) {
    for (const StageInfo& s : kStages)
        if (name == s.name) return s.stage;
    return std::nullopt;
}

LX_UPGRADE_RESULT failureOf(UpgradeStage stage) { return info(stage).failure; }

std::optional<UpgradeStage> runUpgrade(const UpgradeRun& run, const LxProgress& progress) {
    int total = 0;
    for (UpgradeStage s : run.stages) total += info(s).weight;
    if (total == 0) total = 1;
    int reported = 0;
    auto report = [&](int done) {
        // Integer shares of a positive total only grow, and reach 100 at the end.
        const int value = done * 100 / total;
        if (progress && value > reported) progress(value);
        reported = std::max(reported, value);
    };
    if (progress) progress(0);
    int done = 0;
    for (UpgradeStage stage : run.stages) {
        const StageInfo& s = info(stage);
        if (run.failAt == stage || (run.passes && !run.passes(stage))) return stage;
        for (int step = 1; step <= s.steps; ++step) report(done + s.weight * step / s.steps);
        done += s.weight;
    }
    return std::nullopt;
}

}  // namespace lentra
