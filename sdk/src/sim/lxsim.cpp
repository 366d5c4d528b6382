// The simulation-control C API (lxsim.h): rig replacement, faults, pacing, call counts.
#include "lxsim.h"

#include <string>

#include <nlohmann/json.hpp>

#include "description/enum_names.h"
#include "description/json_reader.h"
#include "device/default_rig.h"
#include "device/rig.h"
#include "files/atomic_write.h"
#include "files/read_file.h"
#include "frames/frame_generator.h"
#include "frames/stream_clock.h"
#include "sim/fault_description.h"
#include "sim/faults.h"

namespace {

thread_local std::string lastError;

int fail(int status, std::string why) {
    lastError = std::move(why);
    return status;
}

int succeed() {
    lastError.clear();
    return LX_STATUS_OK;
}

thread_local std::string loadError;

// A description that fails to load leaves a rig of no cameras that keeps the reason, never the
// rig that was there before: a test that loads a rig and goes on after a refused load would
// otherwise run against cameras it did not describe.
int loadFailed(int status, std::string why) {
    lentra::replaceWithFailedRig(why);
    return fail(status, std::move(why));
}

// Builds and installs the rig of a description text.
int load(const std::string& text, int malformedStatus, const std::string& source) {
    lentra::RigParseResult parsed = lentra::parseRigDescription(text);
    if (!parsed.rig) return loadFailed(malformedStatus, source + parsed.error);
    lentra::replaceRig(*parsed.rig);
    return succeed();
}

}  // namespace

extern "C" {

int lxsim_load_description(const char* json) {
    if (!json) return loadFailed(LX_STATUS_INVALID_ARGUMENT, "no description given");
    return load(json, LX_STATUS_INVALID_ARGUMENT, "");
}

int lxsim_load_description_file(const char* path) {
    if (!path || !*path) return loadFailed(LX_STATUS_INVALID_ARGUMENT, "no file name given");
    const std::string shown = lentra::printableText(path, 256) + ": ";
    std::string error;
    auto text = lentra::files::readWholeFile(path, error, lentra::kMaxRigDescriptionBytes);
    if (!text) return loadFailed(LX_STATUS_IO_ERROR, shown + error);
    return load(*text, LX_STATUS_BAD_FILE, shown);
}

int lxsim_reset(void) {
    lentra::resetRig();
    lentra::sim::clearFaults();
    lentra::sim::resetCallCounts();
    lentra::setFreeRunPacing(false);
    lentra::files::failWritesBeforeRename(0);
    return succeed();
}

const char* lxsim_default_description(void) { return lentra::defaultRigDescription(); }

const char* lxsim_last_error(void) { return lastError.c_str(); }

const char* lxsim_load_error(void) {
    loadError = lentra::currentRig()->loadError();
    return loadError.c_str();
}

long lxsim_inject_fault(const char* function, int count, const char* fault_json) {
    lentra::FaultParseResult parsed = lentra::parseFaultDescription(fault_json);
    if (!parsed.fault) return fail(LX_STATUS_INVALID_ARGUMENT, parsed.error);
    std::string error;
    long id = 0;
    int status = lentra::sim::inject(function, count, std::move(*parsed.fault), error, &id);
    if (status != LX_STATUS_OK) return fail(status, error);
    succeed();
    return id;
}

int lxsim_inject(const char* function, int count, const char* fault_json) {
    const long id = lxsim_inject_fault(function, count, fault_json);
    return id < 0 ? static_cast<int>(id) : LX_STATUS_OK;
}

void lxsim_withdraw_fault(long id) { lentra::sim::withdraw(id); }

void lxsim_clear_faults(void) { lentra::sim::clearFaults(); }

const char* lxsim_camera_names(void) {
    thread_local std::string text;
    nlohmann::json names = nlohmann::json::array();
    for (const auto& camera : lentra::currentRig()->cameras())
        names.push_back(camera->description().name);
    text = names.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return text.c_str();
}

int lxsim_fail_file_writes(int count) {
    if (count < 0) return fail(LX_STATUS_INVALID_ARGUMENT, "count: must be 0 or more");
    lentra::files::failWritesBeforeRename(count);
    return succeed();
}

int lxsim_set_pacing(int mode) {
    if (mode != 0 && mode != 1)
        return fail(LX_STATUS_INVALID_ARGUMENT, "pacing: 0 (real time) or 1 (free run)");
    lentra::setFreeRunPacing(mode == 1);
    return succeed();
}

int lxsim_get_pacing(void) { return lentra::freeRunPacing() ? 1 : 0; }

int lxsim_trigger(void) {
    lentra::currentRig()->trigger();
    return succeed();
}

long lxsim_call_count(const char* function) {
    const long count = lentra::sim::callCount(function);
    if (count < 0) {
        fail(LX_STATUS_INVALID_ARGUMENT, "no SDK function is named \"" +
                                             lentra::printableText(function ? function : "", 64) + "\"");
        return count;
    }
    succeed();
    return count;
}

void lxsim_reset_call_counts(void) { lentra::sim::resetCallCounts(); }

int lxsim_capture(int index, uint8_t* buffer, int* size, uint16_t timeout_ms) {
    if (!size) return static_cast<int>(LX_CAPTURE_RESULT::LX_OTHER_ERROR);
    return static_cast<int>(LxGetImage(lentra::currentRig()->camera(index), buffer, *size, timeout_ms));
}

const char* lxsim_status_name(int status) { return lentra::kStatusNames.nameOf(status); }

long lxsim_read_frame_number(const uint8_t* data, size_t size, int format, int width, int height) {
    if (!data) return -1;
    return lentra::readFrameNumber(data, size, static_cast<LX_IMAGE_FORMAT>(format), width, height);
}

}  // extern "C"
