// Route files (LxLoadRouteYaml, LxActivateYamlRoutes): any text gives links or one reason; links
// that the platform's media graph accepts activate all together or not at all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "routes/media_graph.h"
#include "routes/route_file.h"

namespace {

// The default rig's platform: two sensors, each through a CSI-2 receiver to a capture node; the
// first path is active.
const lentra::PlatformDescription& platform() {
    static const lentra::PlatformDescription p = [] {
        lentra::PlatformDescription d;
        d.routeManagement = true;
        d.entities = {{"ar0234 2-0010", "sensor", 1},   {"ar0234 3-0010", "sensor", 1},
                      {"csi2-receiver-0", "csi2", 2},   {"csi2-receiver-1", "csi2", 2},
                      {"video-capture-0", "video", 1},  {"video-capture-1", "video", 1}};
        d.links = {{"ar0234 2-0010", 0, "csi2-receiver-0", 0, true},
                   {"csi2-receiver-0", 1, "video-capture-0", 0, true},
                   {"ar0234 3-0010", 0, "csi2-receiver-1", 0, false},
                   {"csi2-receiver-1", 1, "video-capture-1", 0, false}};
        return d;
    }();
    return p;
}

bool isActive(const std::vector<lentra::RouteLink>& active, const lentra::RouteLink& link) {
    for (const lentra::RouteLink& a : active)
        if (a == link) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto links = lentra::parseRouteYaml(text, error);
    if (!links) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (links->empty() || links->size() > lentra::kRouteMaxLinks) std::abort();
    for (const lentra::RouteLink& l : *links) {
        if (l.source.empty() || l.sink.empty()) std::abort();
        if (l.sourcePad < 0 || l.sourcePad > 63 || l.sinkPad < 0 || l.sinkPad > 63) std::abort();
    }
    lentra::MediaGraph graph(platform());
    const std::vector<lentra::RouteLink> before = graph.activeLinks();
    const bool fits = graph.check(*links, error);
    if (!fits && error.empty()) std::abort();
    const int status = graph.activate("LxActivateYamlRoutes", *links);
    if (status == LX_STATUS_OK) {
        if (!fits) std::abort();
        const std::vector<lentra::RouteLink> after = graph.activeLinks();
        for (const lentra::RouteLink& l : *links)
            if (!isActive(after, l)) std::abort();
        for (const lentra::RouteLink& l : before)
            if (!isActive(after, l)) std::abort();  // activating never drops a link
    } else {
        if (status != (fits ? LX_STATUS_BUSY : LX_STATUS_INVALID_ARGUMENT)) std::abort();
        if (graph.activeLinks().size() != before.size()) std::abort();  // none of the route
    }
    return 0;
}
