// A route loaded from a route file: the object behind an LxRouteHandle. It holds the links and
// nothing else, so it stays valid whatever happens to the rig; activating it checks the links
// against the graph of the moment.
#pragma once

#include <vector>

#include "LentraSDK.h"
#include "routes/media_graph.h"

namespace lentra {

class Route final : public LxRoute {
public:
    explicit Route(std::vector<RouteLink> links) : links_(std::move(links)) {}
    const std::vector<RouteLink>& links() const { return links_; }

private:
    const std::vector<RouteLink> links_;
};

// The route behind a handle, or nullptr for an empty handle or an object not made here.
inline const Route* routeFrom(const LxRouteHandle& handle) { return dynamic_cast<const Route*>(handle.get()); }

}  // namespace lentra
