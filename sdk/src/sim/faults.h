// Call counting and fault injection, one mechanism for every SDK function.
//
// Each API function begins with
//     if (auto fault = sim::enter(__func__)) return fault->answer(out1, out2, ...);
// (sim::enter(__func__, cam) in a function that takes a camera handle). enter() counts the call
// and takes the next pending fault injected for that function (see lxsim_inject). A fault skips the function's real work: answer() stores the fault's values into
// the function's outputs, through one store() overload per output type, and returns its status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "LentraSDK.h"
#include "sim/fault_description.h"

namespace lentra::sim {

// The two-byte read buffer of LxGenericI2CRead.
struct I2CBytes {
    uint8_t* data;
    std::size_t count;
};

// Storing a fault's "value" into one output. `position` is the output's place among the
// function's `count` outputs: a list value is spread over several outputs (a range's min, max,
// step and default), a single value goes to the first. An output the fault says nothing about
// is left as it is.
void store(const FaultDescription& d, std::size_t position, std::size_t count, std::string& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count, uint8_t& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count, uint16_t& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count, uint32_t& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count, int32_t& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count, float& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count,
           std::vector<std::string>& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count,
           std::vector<float>& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count,
           std::vector<LxFormat>& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count, LxImuIspu& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count, LxIntrinsics& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count,
           std::unique_ptr<LxHeaderV2>& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count,
           std::unique_ptr<LxHeaderV3>& out);
void store(const FaultDescription& d, std::size_t position, std::size_t count, I2CBytes& out);

// Enumerations take the fault's number as their value (any value, member or not).
std::optional<int32_t> integerAt(const FaultDescription& d, std::size_t position, std::size_t count);
template <typename E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
void store(const FaultDescription& d, std::size_t position, std::size_t count, E& out) {
    if (auto v = integerAt(d, position, count)) out = static_cast<E>(*v);
}

class Fault {
public:
    explicit Fault(std::shared_ptr<const FaultDescription> description)
        : d_(std::move(description)) {}

    // The fault's "status" (0 when it gives none).
    int status() const { return d_->status.value_or(0); }

    template <typename... Outs>
    int answer(Outs&... outs) const {
        std::size_t position = 0;
        (store(*d_, position++, sizeof...(Outs), outs), ...);
        return status();
    }

    // LxGetImage: reports "size" (nothing is written to the buffer) and "result".
    LX_CAPTURE_RESULT capture(int& size) const;
    // Firmware upgrades: report each "progress" value, then answer.
    LX_UPGRADE_RESULT upgrade(const LxProgress& progress) const;
    int progressThenStatus(const LxProgress& progress) const;
    // Firmware upgrades: the stage named by "fail_at". Such a fault does not skip the upgrade: it
    // runs, and fails at that stage as a device would.
    const std::optional<std::string>& failAt() const { return d_->failAt; }
    // Throws std::runtime_error with the fault's "throw" message, if it has one.
    void throwIfAsked() const;

private:
    std::shared_ptr<const FaultDescription> d_;
};

// Counts a call of `function` and takes its next pending fault, if any.
std::optional<Fault> enter(const char* function);
// The same for a call on a camera, which counts and takes a fault only while `current(camera)`
// holds: a call on a camera of a rig that has since been replaced counts nothing and meets no
// fault (the function then answers as on an invalid handle), so a thread left holding it cannot
// reach the call counts or the faults meant for the new rig. `current` is asked before the call
// is counted and again, under the faults' lock, before a fault is taken: a fault injected after
// the rig was replaced never goes to a call on one of the old rig's cameras.
std::optional<Fault> enter(const char* function, const LxCameraHandle& camera,
                           bool (*current)(const LxCameraHandle&));
// enter() with the check above against the current rig (camera_calls.cpp).
std::optional<Fault> enter(const char* function, const LxCameraHandle& camera);

// Calls since the last reset, or -1 for a name that is not an SDK function.
long callCount(const char* name);
void resetCallCounts();
// Queues `fault` for the next `count` calls of `function`, after any already pending.
// Returns an LX_STATUS code and, on failure, why in `error`; on success `id`, when given, is the
// fault's id (1 or more) for withdraw().
int inject(const char* function, int count, FaultDescription fault, std::string& error,
           long* id = nullptr);
// Drops what is left of one injected fault; the others stay pending in their order. An id whose
// fault is used up or cleared already drops nothing.
void withdraw(long id);
void clearFaults();

}  // namespace lentra::sim
