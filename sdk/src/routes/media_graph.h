// The platform's media graph: entities with pads, the links the hardware offers between them,
// and which of those links are active. A route (a set of links to enable) is checked against the
// graph, activated as a whole or not at all, and the active links can be reset.
//
// A sink pad takes its data from one source at a time: a link whose sink pad is already fed by
// another active link conflicts with it. The graph is shared by every caller of the route
// functions and guards itself with its own mutex.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "description/rig_description.h"

namespace lentra {

struct RouteLink {
    std::string source;
    int sourcePad = 0;
    std::string sink;
    int sinkPad = 0;

    bool sameSinkAs(const RouteLink& other) const { return sink == other.sink && sinkPad == other.sinkPad; }
    bool operator==(const RouteLink& other) const {
        return sameSinkAs(other) && source == other.source && sourcePad == other.sourcePad;
    }
};

class MediaGraph {
public:
    explicit MediaGraph(const PlatformDescription& platform);
    MediaGraph(const MediaGraph&) = delete;
    MediaGraph& operator=(const MediaGraph&) = delete;

    // Whether the platform manages media routes at all.
    bool managed() const { return managed_; }

    // Every link names entities and pads of the graph and is one the graph offers, and no two
    // links feed one sink pad. Otherwise false, with one line in `error`.
    bool check(const std::vector<RouteLink>& route, std::string& error) const;
    // Enables every link of the route, or none: LX_STATUS_INVALID_ARGUMENT when the route does
    // not fit this graph, LX_STATUS_BUSY when a link conflicts with an active one.
    int activate(const char* function, const std::vector<RouteLink>& route);
    // No link is active afterwards.
    void reset();
    // The active links, in the graph's order.
    std::vector<RouteLink> activeLinks() const;

private:
    // The index of `link` among the offered links, or -1.
    int find(const RouteLink& link) const;

    const bool managed_;
    const std::vector<MediaEntityDescription> entities_;
    std::vector<RouteLink> links_;  // the links the hardware offers
    mutable std::mutex mutex_;
    std::vector<bool> active_;      // parallel to links_, under mutex_
};

}  // namespace lentra
