#include "controls/controls_model.h"

#include <algorithm>
#include <cmath>

#include "description/family_defaults.h"
#include "frames/frame_generator.h"

namespace lentra {

namespace {

using IP = LX_ISP_IMAGE_PROPERTIES;
using UP = LX_UVC_IMAGE_PROPERTIES;

template <typename E>
std::optional<std::size_t> indexOf(E property, std::size_t count) {
    const auto i = static_cast<int64_t>(property);
    if (i < 0 || i >= static_cast<int64_t>(count)) return std::nullopt;
    return static_cast<std::size_t>(i);
}

// Half-way toward the target each frame, then onto it once within 2 % of it.
int64_t stepToward(int64_t current, int64_t target) {
    const int64_t diff = target - current;
    if (std::llabs(diff) <= std::max<int64_t>(1, std::llabs(target) / 50)) return target;
    return current + diff / 2;
}

}  // namespace

ControlsModel::ControlsModel(const DeviceDescription& d)
    : isp_(d.ispControls), uvc_(d.uvcControls), maxFps_(d.maxFps), throughput_(d.throughput) {
    for (std::size_t i = 0; i < kIspPropertyCount; ++i) ispValues_[i] = isp_[i].value;
    for (std::size_t i = 0; i < kUvcPropertyCount; ++i) uvcValues_[i] = uvc_[i].value;
        if (auto e = exposureTime()) exposure_ = static_cast<uint32_t>(std::max(0, e->value));
    if (d.currentExposure) exposure_ = d.currentExposure;
    if (auto g = gainControl()) gain_ = static_cast<uint8_t>(std::clamp(g->value, 0, 255));
    if (d.currentGain) gain_ = d.currentGain;
    if (d.ospProfile) {
        const LX_OSP_PROFILE_FLAG flag = d.ospProfile->flag;
        const bool saved = flag == LX_OSP_PROFILE_FLAG::ENABLED_AND_SAVE;
        osp_ = Osp{flag, saved ? flag : LX_OSP_PROFILE_FLAG::DISABLED};
        profile_ = d.ospProfile->profile;  // checked against the camera when the rig was built
    }
}

ControlsModel::Slot ControlsModel::ispSlot(IP property) const {
    auto i = indexOf(property, kIspPropertyCount);
    if (!i || !isp_[*i].present) return {};
    return {&isp_[*i], true, *i};
}

ControlsModel::Slot ControlsModel::uvcSlot(UP property) const {
    auto i = indexOf(property, kUvcPropertyCount);
    if (!i || !uvc_[*i].present) return {};
    if (auto twin = ispTwinOf(property)) {
        Slot shared = ispSlot(*twin);
        if (shared.control) return shared;
    }
    return {&uvc_[*i], false, *i};
}

int percentOfDefault(int32_t value, int32_t def) {
    const int64_t percent = def > 0 ? int64_t{100} * value / def : int64_t{100} + value - def;
    return static_cast<int>(std::clamp<int64_t>(percent, -100000, 100000));
}

std::optional<ControlsModel::Quantity> ControlsModel::quantity(IP property, std::optional<UP> uvcProperty) const {
    auto i = indexOf(property, kIspPropertyCount);
    if (i && isp_[*i].present) {
        const ControlDescription& c = isp_[*i];
        return Quantity{ispValues_[*i], c.def, c.min, c.max};
    }
    if (!uvcProperty) return std::nullopt;
    auto u = indexOf(*uvcProperty, kUvcPropertyCount);
    if (!u || !uvc_[*u].present) return std::nullopt;
    const ControlDescription& c = uvc_[*u];
    return Quantity{uvcValues_[*u], c.def, c.min, c.max};
}

std::optional<ControlsModel::Quantity> ControlsModel::exposureTime() const {
    return quantity(IP::ISP_IMAGE_EXPOSURE_TIME, UP::UVC_IMAGE_EXPOSURE);
}

std::optional<ControlsModel::Quantity> ControlsModel::gainControl() const {
    return quantity(IP::ISP_IMAGE_EXPOSURE_GAIN, UP::UVC_IMAGE_GAIN);
}

std::pair<int64_t, int64_t> ControlsModel::exposureBounds() const {
    const auto time = exposureTime();
    int64_t lo = time ? time->min : 0, hi = time ? time->max : 0;
    if (auto min = isp(IP::ISP_IMAGE_EXPOSURE_MIN_TIME)) lo = std::max<int64_t>(lo, *min);
    if (auto max = isp(IP::ISP_IMAGE_EXPOSURE_MAX_TIME)) hi = std::min<int64_t>(hi, *max);
    return {lo, std::max(lo, hi)};
}

std::optional<int32_t> ControlsModel::isp(IP property) const {
    auto i = indexOf(property, kIspPropertyCount);
    if (!i || !isp_[*i].present) return std::nullopt;
    return ispValues_[*i];
}

namespace {

int write(const ControlDescription* control, int32_t& value, int32_t wanted) {
    if (control->readOnly) return LX_STATUS_READ_ONLY;
    if (wanted < control->min || wanted > control->max) return LX_STATUS_INVALID_ARGUMENT;
    const int64_t step = std::max(1, control->step);
    int64_t snapped = control->min + (int64_t{wanted} - control->min + step / 2) / step * step;
    if (snapped > control->max) snapped -= step;
    value = static_cast<int32_t>(snapped);
    return LX_STATUS_OK;
}

}  // namespace

int ControlsModel::ispValue(IP property, int32_t& value, int32_t& aux) const {
    const Slot s = ispSlot(property);
    if (!s.control) return LX_STATUS_NOT_SUPPORTED;
    value = valueAt(s);
    aux = s.control->readOnly ? 1 : 0;
    return LX_STATUS_OK;
}

int ControlsModel::ispRange(IP property, PropertyRange& range) const {
    const Slot s = ispSlot(property);
    if (!s.control) return LX_STATUS_NOT_SUPPORTED;
    range = {s.control->min, s.control->max, s.control->step, s.control->def};
    return LX_STATUS_OK;
}

int ControlsModel::setIsp(IP property, int32_t value) {
    const Slot s = ispSlot(property);
    return s.control ? write(s.control, valueAt(s), value) : LX_STATUS_NOT_SUPPORTED;
}

int ControlsModel::setIspAll(const std::vector<std::pair<IP, int32_t>>& values) {
    const auto before = ispValues_;
    for (const auto& [property, value] : values) {
        const int status = setIsp(property, value);
        if (status != LX_STATUS_OK) {
            ispValues_ = before;
            return status;
        }
    }
    return LX_STATUS_OK;
}

int ControlsModel::restoreIspDefaults() {
    bool any = false;
    for (std::size_t i = 0; i < kIspPropertyCount; ++i) {
        if (!isp_[i].present) continue;
        ispValues_[i] = isp_[i].def;
        any = true;
    }
    return any ? LX_STATUS_OK : LX_STATUS_NOT_SUPPORTED;
}

int ControlsModel::uvcValue(UP property, int32_t& value, int32_t& aux) const {
    const Slot s = uvcSlot(property);
    if (!s.control) return LX_STATUS_NOT_SUPPORTED;
    value = valueAt(s);
    aux = uvcAux_[static_cast<std::size_t>(property)];
    return LX_STATUS_OK;
}

int ControlsModel::uvcRange(UP property, PropertyRange& range) const {
    const Slot s = uvcSlot(property);
    if (!s.control) return LX_STATUS_NOT_SUPPORTED;
    range = {s.control->min, s.control->max, s.control->step, s.control->def};
    return LX_STATUS_OK;
}

int ControlsModel::setUvc(UP property, int32_t value, int32_t aux) {
    const Slot s = uvcSlot(property);
    const int status = s.control ? write(s.control, valueAt(s), value) : LX_STATUS_NOT_SUPPORTED;
    if (status == LX_STATUS_OK) uvcAux_[static_cast<std::size_t>(property)] = aux;
    return status;
}

int ControlsModel::exposureMode() const {
    return isp(IP::ISP_IMAGE_EXPOSURE_MODE).value_or(0);
}

int ControlsModel::currentExposure(uint32_t& exposure) const {
    if (!exposure_) return LX_STATUS_NOT_SUPPORTED;
    auto set = exposureTime();
    exposure = (set && exposureMode() != 1) ? static_cast<uint32_t>(std::max(0, set->value)) : *exposure_;
    return LX_STATUS_OK;
}

int ControlsModel::currentGain(uint8_t& gain) const {
    if (!gain_) return LX_STATUS_NOT_SUPPORTED;
    auto set = gainControl();
    gain = (set && exposureMode() != 2) ? static_cast<uint8_t>(std::clamp(set->value, 0, 255)) : *gain_;
    return LX_STATUS_OK;
}

void ControlsModel::onFrame() {
        const auto time = exposureTime();
    const auto gain = gainControl();
    const int mode = exposureMode();
    // Manual values carry over, so auto exposure starts from where the sensor is.
    if (time && exposure_ && mode != 1) exposure_ = static_cast<uint32_t>(std::max(0, time->value));
    if (gain && gain_ && mode != 2) gain_ = static_cast<uint8_t>(std::clamp(gain->value, 0, 255));

    // The target keeps exposure x gain at the reference (both defaults), the level at which the
    // pattern's mean is as drawn.
    if (mode == 1 && time && exposure_) {
        const int64_t gainPercent = gain ? std::max(1, percentOfDefault(gain->value, gain->def)) : 100;
        const auto [lo, hi] = exposureBounds();
        const int64_t target = std::clamp<int64_t>(int64_t{time->def} * 100 / gainPercent, lo, hi);
        exposure_ = static_cast<uint32_t>(std::max<int64_t>(0, stepToward(*exposure_, target)));
    } else if (mode == 2 && gain && gain_) {
        const int64_t exposurePercent =
            time ? std::max(1, percentOfDefault(time->value, time->def)) : 100;
        // The gain whose percentage of its default makes up for the exposure's.
        const int64_t wanted = 10000 / exposurePercent;
        int64_t target = gain->def > 0 ? gain->def * wanted / 100 : gain->def + wanted - 100;
        target = std::clamp<int64_t>(target, std::max(0, gain->min), std::min(255, gain->max));
        gain_ = static_cast<uint8_t>(stepToward(*gain_, target));
    }
}

int ControlsModel::maxFps(uint8_t& fps) const {
    if (!maxFps_) return LX_STATUS_NOT_SUPPORTED;
    fps = *maxFps_;
    return LX_STATUS_OK;
}

int ControlsModel::setMaxFps(uint8_t fps) {
    if (!maxFps_) return LX_STATUS_NOT_SUPPORTED;
    if (fps == 0) return LX_STATUS_INVALID_ARGUMENT;  // no frame would ever come
    maxFps_ = fps;
    return LX_STATUS_OK;
}

int ControlsModel::throughput(uint16_t& value) const {
    if (!throughput_) return LX_STATUS_NOT_SUPPORTED;
    value = *throughput_;
    return LX_STATUS_OK;
}

int ControlsModel::setThroughput(uint16_t value) {
    if (!throughput_) return LX_STATUS_NOT_SUPPORTED;
    if (value == 0) return LX_STATUS_INVALID_ARGUMENT;  // a link that carries nothing
    throughput_ = value;
    return LX_STATUS_OK;
}

double ControlsModel::pacedRate(double formatRate, std::size_t bytesPerFrame) const {
    double rate = formatRate;
    if (maxFps_) rate = std::min(rate, static_cast<double>(*maxFps_));
    if (throughput_ && bytesPerFrame > 0)
        rate = std::min(rate, *throughput_ * 1e6 / static_cast<double>(bytesPerFrame));
    return rate;
}

int ControlsModel::ospFlag(LX_OSP_PROFILE_FLAG& flag) const {
    if (!osp_) return LX_STATUS_NOT_SUPPORTED;
    flag = osp_->flag;
    return LX_STATUS_OK;
}

int ControlsModel::setOspFlag(LX_OSP_PROFILE_FLAG flag) {
    if (!osp_) return LX_STATUS_NOT_SUPPORTED;
    switch (flag) {
        case LX_OSP_PROFILE_FLAG::DISABLED:
        case LX_OSP_PROFILE_FLAG::ENABLED_AND_SAVE:
            osp_->saved = flag;  // both are kept across close and open
            break;
        case LX_OSP_PROFILE_FLAG::ENABLED:
            break;
        default:
            return LX_STATUS_INVALID_ARGUMENT;
    }
    osp_->flag = flag;
    return LX_STATUS_OK;
}

int ControlsModel::ospConfig(std::string& text) const {
    if (!osp_) return LX_STATUS_NOT_SUPPORTED;
    text = profile_ ? profile_->text : std::string();
    return LX_STATUS_OK;
}

int ControlsModel::keepProfile(ProfileConfig profile) {
    if (!osp_) return LX_STATUS_NOT_SUPPORTED;
    profile_ = std::move(profile);
    return LX_STATUS_OK;
}

void ControlsModel::onClose() {
    if (osp_) osp_->flag = osp_->saved;
}

std::size_t linkBytesPerFrame(LX_IMAGE_FORMAT format, int width, int height) {
    if (format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_MJPG)
        return width > 0 && height > 0 ? std::size_t(width) * std::size_t(height) / 2 : 0;
    return frameByteCount(format, width, height);
}

}  // namespace lentra
