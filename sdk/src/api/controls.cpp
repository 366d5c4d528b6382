// The SDK's image-processing and stream-control functions: each finds the open camera and
// hands the work to its controls model (controls/controls_model.h) or, for the timestamp and
// frame counter, to the stream.
#include "api/common.h"
#include "files/read_file.h"

using lentra::Camera;
using lentra::Needs;
using lentra::onCamera;
namespace sim = lentra::sim;

namespace {

// The controls' refusals are ordinary outcomes: logged at debug level like every failure.
int answer(const char* function, int status, const char* why) {
    return status == LX_STATUS_OK ? status : lentra::log::failed(function, status, why);
}

const char* refusal(int status) {
    switch (status) {
        case LX_STATUS_NOT_SUPPORTED: return "the camera lacks this control";
        case LX_STATUS_READ_ONLY: return "the control is read-only";
        case LX_STATUS_INVALID_ARGUMENT: return "the value is out of range";
        default: return "refused";
    }
}

// A control's range, UVC or ISP alike: the outputs are written only when the camera has it.
template <typename Fetch>
int rangeOf(LxCameraHandle cam, const char* function, Fetch fetch, int32_t& min, int32_t& max,
            int32_t& step, int32_t& def) {
    return onCamera(cam, function, Needs::Open, [&](Camera& c) {
        lentra::PropertyRange r{};
        const int status = fetch(c.controls(), r);
        if (status == LX_STATUS_OK) min = r.min, max = r.max, step = r.step, def = r.def;
        return answer(function, status, "the camera lacks this control");
    });
}

}  // namespace

int LxSetUVCImageProcessing(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES prop, int32_t value, int32_t aux) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        const int status = c.controls().setUvc(prop, value, aux);
        return answer(__func__, status, refusal(status));
    });
}

int LxGetUVCImageProcessing(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES prop, int32_t& value,
                            int32_t& aux) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(value, aux);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().uvcValue(prop, value, aux), "the camera lacks this control");
    });
}

int LxGetUVCImageProcessingRange(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES prop, int32_t& min,
                                 int32_t& max, int32_t& step, int32_t& def) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(min, max, step, def);
    const auto fetch = [&](lentra::ControlsModel& controls, lentra::PropertyRange& r) {
        return controls.uvcRange(prop, r);
    };
    return rangeOf(cam, __func__, fetch, min, max, step, def);
}

int LxSetISPImageProcessing(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES prop, int32_t value) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        const int status = c.controls().setIsp(prop, value);
        return answer(__func__, status, refusal(status));
    });
}

int LxSetISPImageProcessingDefault(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().restoreIspDefaults(), "the camera has no ISP controls");
    });
}

int LxGetISPImageProcessing(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES prop, int32_t& value,
                            int32_t& aux) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(value, aux);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().ispValue(prop, value, aux), "the camera lacks this control");
    });
}

int LxGetISPImageProcessingRange(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES prop, int32_t& min,
                                 int32_t& max, int32_t& step, int32_t& def) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(min, max, step, def);
    const auto fetch = [&](lentra::ControlsModel& controls, lentra::PropertyRange& r) {
        return controls.ispRange(prop, r);
    };
    return rangeOf(cam, __func__, fetch, min, max, step, def);
}

int LxGetCurrentGain(LxCameraHandle cam, uint8_t& gain) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(gain);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().currentGain(gain), "the camera reports no gain");
    });
}

int LxGetCurrentExposure(LxCameraHandle cam, uint32_t& exposure) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(exposure);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().currentExposure(exposure), "the camera reports no exposure");
    });
}

int LxGetMaxFPS(LxCameraHandle cam, uint8_t& fps) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(fps);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().maxFps(fps), "the camera has no frame-rate cap");
    });
}

int LxSetMaxFPS(LxCameraHandle cam, uint8_t fps) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().setMaxFps(fps), "no cap on this camera, or a cap of 0");
    });
}

int LxGetThroughPut(LxCameraHandle cam, uint16_t& throughput) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(throughput);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().throughput(throughput), "the camera has no throughput setting");
    });
}

int LxSetThroughPut(LxCameraHandle cam, uint16_t throughput) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().setThroughput(throughput),
                      "no throughput setting on this camera, or a throughput of 0");
    });
}

int LxGetOSPProfileFlag(LxCameraHandle cam, LX_OSP_PROFILE_FLAG& flag) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(flag);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().ospFlag(flag), "the camera has no OSP profiles");
    });
}

int LxSetOSPProfileFlag(LxCameraHandle cam, LX_OSP_PROFILE_FLAG flag) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().setOspFlag(flag), "no OSP profiles, or not a flag");
    });
}

int LxGetOSPProfileConfig(LxCameraHandle cam, std::string& config) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(config);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return answer(__func__, c.controls().ospConfig(config), "the camera has no OSP profiles");
    });
}

int LxLoadProfileConfig(LxCameraHandle cam, std::string path) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    if (int status = lentra::checkPath(__func__, path); status != LX_STATUS_OK) return status;
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        lentra::ControlsModel& controls = c.controls();
        if (!controls.hasOsp()) return lentra::log::failed(__func__, LX_STATUS_NOT_SUPPORTED, "the camera has no OSP profiles");
        // The whole file is checked before anything is kept: a bad one leaves the loaded profile.
        std::string error;
        auto text = lentra::files::readWholeFile(path, error, lentra::kMaxProfileBytes);
        if (!text) return lentra::log::failed(__func__, LX_STATUS_IO_ERROR, (path + ": " + error).c_str());
        lentra::ProfileParseResult parsed = lentra::parseProfileConfig(*text);
        if (!parsed.profile) return lentra::log::failed(__func__, LX_STATUS_BAD_FILE, (path + ": " + parsed.error).c_str());
        if (auto problem = lentra::checkProfileForDevice(*parsed.profile, c.description()))
            return lentra::log::failed(__func__, LX_STATUS_INVALID_ARGUMENT, (path + ": " + problem->message()).c_str());
        return controls.keepProfile(std::move(*parsed.profile));
    });
}

int LxActivateProfileStreaming(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        const auto& profile = c.controls().profile();
        if (!profile) return lentra::log::failed(__func__, LX_STATUS_NOTHING_LOADED, "no profile has been loaded");
        const auto& formats = c.description().formats;
        for (std::size_t i = 0; i < formats.size(); ++i) {
            const lentra::FormatDescription& f = formats[i];
            if (!f.carriesFrames() || !f.sameAs(profile->stream)) continue;
            // setFormat's refusal (LX_STATUS_STREAMING while the camera streams) is the answer.
            return c.setFormat(LxFormat{static_cast<uint16_t>(i), f.width, f.height, f.framerate, f.format});
        }
        return lentra::log::failed(__func__, LX_STATUS_INVALID_ARGUMENT, "the camera lists no such format");
    });
}

int LxActivateProfileImageProcessing(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        lentra::ControlsModel& controls = c.controls();
        if (!controls.profile())
            return lentra::log::failed(__func__, LX_STATUS_NOTHING_LOADED, "no profile has been loaded");
        // Checked when loaded or when the rig was built, so no refusal is expected; should one
        // come, it is answered and no value is changed.
        const int status = controls.setIspAll(controls.profile()->imageProcessing);
        return answer(__func__, status, refusal(status));
    });
}

int LxGetTimestamp(LxCameraHandle cam, float& timestamp) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(timestamp);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) { return c.timestamp(timestamp); });
}

int LxResetTimestamp(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) { return c.resetTimestamp(); });
}

int LxGetFrameCount(LxCameraHandle cam, uint8_t& count) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(count);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) { return c.frameCount(count); });
}

int LxResetFrameCount(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) { return c.resetFrameCount(); });
}
