// The SDK's firmware functions: USB program mode and firmware upgrades.
//
// An upgrade checks the whole image file before it touches a camera, then begins the upgrade
// under the camera's lock, runs the stages with the lock released (the progress function may call
// the SDK, and other cameras stay usable) and finishes under the lock again, committing the new
// firmware only if every stage passed. If the progress function throws, the upgrade is finished
// as failed before the exception goes on to the caller.
#include "api/common.h"
#include "device/rig.h"
#include "firmware/firmware_image.h"
#include "firmware/upgrade_procedure.h"

using lentra::Camera;
using lentra::FirmwareImage;
using lentra::Needs;
using lentra::onCamera;
using lentra::UpgradeRun;
using lentra::UpgradeStage;
namespace sim = lentra::sim;


namespace {

// The stage an injected fault makes fail, if it names one.
std::optional<UpgradeStage> injectedStage(const std::optional<lentra::sim::Fault>& fault) {
    if (!fault || !fault->failAt()) return std::nullopt;
    return lentra::stageNamed(*fault->failAt());
}

// Runs a begun upgrade on `camera` and finishes it. Returns the failed stage, if any; an
// exception from `progress` finishes the upgrade as failed and goes on.
std::optional<UpgradeStage> runAndFinish(Camera& camera, const char* function, UpgradeRun& run,
                                         const LxProgress& progress, int& status) {
    auto finish = [&](bool succeeded) {
        return camera.run(function, Needs::Handle, [succeeded](Camera& c) {
            c.firmware().finishUpgrade(succeeded);
            return LX_STATUS_OK;
        });
    };
    std::optional<UpgradeStage> failed;
    try {
        failed = lentra::runUpgrade(run, progress);
    } catch (...) {
        finish(false);
        lentra::log::failed(function, LX_STATUS_FAILED, "the progress function threw; the firmware is unchanged");
        throw;
    }
    status = finish(!failed);  // the rig may have been replaced meanwhile
    if (failed) lentra::log::failed(function, static_cast<int>(lentra::failureOf(*failed)), lentra::stageName(*failed));
    return failed;
}

}  // namespace

int LxGotoUSBProgramMode(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [](Camera& c) {
        const int status = c.firmware().enterProgramMode(c.state().streaming);
        if (status != LX_STATUS_OK) lentra::log::failed("LxGotoUSBProgramMode", status, "refused");
        return status;
    });
}

int LxUpgradeFX3FW(LX_FX3_FW_TARGET target, std::string path, LxProgress progress) {
    auto fault = sim::enter(__func__);
    if (fault && !fault->failAt()) return fault->progressThenStatus(progress);
    if (target != LX_FX3_FW_TARGET::FW_TARGET_RAM && target != LX_FX3_FW_TARGET::FW_TARGET_I2C &&
        target != LX_FX3_FW_TARGET::FW_TARGET_SPI)
        return lentra::log::failed(__func__, LX_STATUS_INVALID_ARGUMENT, "no such firmware target");
    if (int status = lentra::checkPath(__func__, path); status != LX_STATUS_OK) return status;

    FirmwareImage image;
    std::string why;
    if (int status = lentra::readFirmwareImage(path, image, why); status != LX_STATUS_OK)
        return lentra::log::failed(__func__, status, why.c_str());
    if (image.target != lentra::FirmwareTarget::UsbController)
        return lentra::log::failed(__func__, LX_STATUS_BAD_FILE, "the image is not USB controller firmware");

    // The camera addressed is the one whose controller waits in program mode.
    std::shared_ptr<Camera> camera;
    for (const auto& c : lentra::currentRig()->cameras()) {
        const bool waiting = c->run(__func__, Needs::Handle, [](Camera& cam) {
            return cam.state().open && cam.firmware().programMode() ? 1 : 0;
        }) == 1;
        if (waiting) {
            camera = c;
            break;
        }
    }
    if (!camera) return lentra::log::failed(__func__, LX_STATUS_NO_DEVICE, "no camera is in USB program mode");

    UpgradeRun run;
    run.failAt = injectedStage(fault);
    int status = camera->run(__func__, Needs::Open, [&](Camera& c) {
        return c.firmware().beginUsbUpgrade(target, image, run);
    });
    if (status != LX_STATUS_OK) return lentra::log::failed(__func__, status, "the camera cannot take the upgrade");
    if (runAndFinish(*camera, __func__, run, progress, status)) return LX_STATUS_FAILED;
    return status;
}

LX_UPGRADE_RESULT LxUpgradeSensorFW(LxCameraHandle cam, std::string path, LxProgress progress) {
    using R = LX_UPGRADE_RESULT;
    auto fault = sim::enter(__func__, cam);
    if (fault && !fault->failAt()) return fault->upgrade(progress);
    // The result has no invalid-argument value: a path that cannot name a file names no valid
    // firmware.
    if (lentra::checkPath(__func__, path) != LX_STATUS_OK) return R::LX_UPGRADE_INVALID_FIRMWARE;

    FirmwareImage image;
    std::string why;
    if (lentra::readFirmwareImage(path, image, why) != LX_STATUS_OK ||
        image.target != lentra::FirmwareTarget::Sensor) {
        if (why.empty()) why = "the image is not sensor firmware";
        lentra::log::failed(__func__, static_cast<int>(R::LX_UPGRADE_INVALID_FIRMWARE), why.c_str());
        return R::LX_UPGRADE_INVALID_FIRMWARE;
    }

    UpgradeRun run;
    run.failAt = injectedStage(fault);
    Camera* camera = nullptr;
    const int status = onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        const int s = c.firmware().beginSensorUpgrade(c.state().streaming, image, run);
        if (s == LX_STATUS_OK) camera = &c;
        return s;
    });
    if (status != LX_STATUS_OK) {
        lentra::log::failed(__func__, status, "the camera cannot take the upgrade");
        return R::LX_UPGRADE_OTHER_ERROR;
    }
    // `cam` keeps the camera alive for this call.
    int finished = LX_STATUS_OK;
    if (auto failed = runAndFinish(*camera, __func__, run, progress, finished))
        return lentra::failureOf(*failed);
    return finished == LX_STATUS_OK ? R::LX_UPGRADE_SUCCESS : R::LX_UPGRADE_OTHER_ERROR;
}
