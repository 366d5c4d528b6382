// The SDK's media-route functions. They act on the platform's media graph, not on a camera.
//
// On a platform without route management every one of them throws std::runtime_error, as the
// maker's library does; the caller (the tool) recognises such a platform by that exception.
#include <memory>
#include <stdexcept>

#include "api/common.h"
#include "device/rig.h"
#include "files/read_file.h"
#include "routes/route.h"
#include "routes/route_file.h"

namespace sim = lentra::sim;

namespace {

// The current rig's media graph, kept alive by `rig` for the call.
lentra::MediaGraph& managedGraph(const std::shared_ptr<lentra::Rig>& rig) {
    if (!rig->mediaGraph().managed())
        throw std::runtime_error("this platform has no media route management");
    return rig->mediaGraph();
}

}  // namespace

int LxResetActiveRoutes() {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return fault->answer();
    }
    auto rig = lentra::currentRig();
    managedGraph(rig).reset();
    return LX_STATUS_OK;
}

LxRouteHandle LxLoadRouteYaml(std::string path) {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return nullptr;
    }
    auto rig = lentra::currentRig();
    lentra::MediaGraph& graph = managedGraph(rig);
    if (lentra::checkPath(__func__, path) != LX_STATUS_OK) return nullptr;
    std::string error;
    auto text = lentra::files::readWholeFile(path, error, lentra::kRouteFileMaxBytes);
    if (!text) {
        lentra::log::failed(__func__, LX_STATUS_IO_ERROR, (path + ": " + error).c_str());
        return nullptr;
    }
    auto links = lentra::parseRouteYaml(*text, error);
    if (!links || !graph.check(*links, error)) {
        lentra::log::failed(__func__, LX_STATUS_BAD_FILE, (path + ": " + error).c_str());
        return nullptr;
    }
    return std::make_shared<lentra::Route>(std::move(*links));
}

int LxActivateYamlRoutes(LxRouteHandle route) {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return fault->answer();
    }
    auto rig = lentra::currentRig();
    lentra::MediaGraph& graph = managedGraph(rig);
    const lentra::Route* r = lentra::routeFrom(route);
    if (!r) return lentra::log::failed(__func__, LX_STATUS_INVALID_HANDLE, "empty route handle");
    return graph.activate(__func__, r->links());
}
