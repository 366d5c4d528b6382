// The SDK's media-route functions.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include <stdexcept>

#include "api/common.h"
#include "device/rig.h"

using lentra::notSupported;
namespace sim = lentra::sim;

int LxResetActiveRoutes() {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return fault->answer();
    }
    // The maker's library throws here on a platform without media routes; so do we.
    if (!lentra::currentRig()->platform().routeManagement)
        throw std::runtime_error("this platform has no media route management");
    return notSupported(__func__);
}

LxRouteHandle LxLoadRouteYaml(std::string) {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return nullptr;
    }
    notSupported(__func__);
    return nullptr;
}

int LxActivateYamlRoutes(LxRouteHandle route) {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return fault->answer();
    }
    if (!route) return lentra::log::failed(__func__, LX_STATUS_INVALID_HANDLE, "empty route handle");
    return notSupported(__func__);
}
