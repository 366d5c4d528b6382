#include "routes/media_graph.h"

#include "log/log.h"

namespace lentra {

MediaGraph::MediaGraph(const PlatformDescription& platform)
    : managed_(platform.routeManagement), entities_(platform.entities) {
    for (const MediaLinkDescription& l : platform.links) {
        links_.push_back({l.source, l.sourcePad, l.sink, l.sinkPad});
        active_.push_back(l.enabled);
    }
}

int MediaGraph::find(const RouteLink& link) const {
    for (std::size_t i = 0; i < links_.size(); ++i)
        if (links_[i] == link) return static_cast<int>(i);
    return -1;
}

bool MediaGraph::check(const std::vector<RouteLink>& route, std::string& error) const {
    auto padsOf = [this](const std::string& name) {
        for (const MediaEntityDescription& e : entities_)
            if (e.name == name) return e.pads;
        return 0;
    };
    for (std::size_t i = 0; i < route.size(); ++i) {
        const RouteLink& link = route[i];
        const std::string where = "routes[" + std::to_string(i) + "]: ";
        for (const auto& [entity, pad] : {std::make_pair(link.source, link.sourcePad),
                                          std::make_pair(link.sink, link.sinkPad)}) {
            const int pads = padsOf(entity);
            if (pads == 0) {
                error = where + "no entity is named \"" + entity + "\"";
                return false;
            }
            if (pad >= pads) {
                error = where + "\"" + entity + "\" has no pad " + std::to_string(pad);
                return false;
            }
        }
        if (find(link) < 0) {
            error = where + "the platform offers no link from \"" + link.source + "\" pad " +
                    std::to_string(link.sourcePad) + " to \"" + link.sink + "\" pad " +
                    std::to_string(link.sinkPad);
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (route[j].sameSinkAs(link)) {
                error = where + "routes[" + std::to_string(j) + "] feeds the same sink pad";
                return false;
            }
        }
    }
    return true;
}

int MediaGraph::activate(const char* function, const std::vector<RouteLink>& route) {
    std::string error;
    if (!check(route, error)) return log::failed(function, LX_STATUS_INVALID_ARGUMENT, error.c_str());
    std::lock_guard<std::mutex> lock(mutex_);
    for (const RouteLink& link : route) {
        for (std::size_t i = 0; i < links_.size(); ++i) {
            if (active_[i] && links_[i].sameSinkAs(link) && !(links_[i] == link)) {
                error = "\"" + link.sink + "\" pad " + std::to_string(link.sinkPad) +
                        " is already fed by \"" + links_[i].source + "\"";
                return log::failed(function, LX_STATUS_BUSY, error.c_str());
            }
        }
    }
    for (const RouteLink& link : route) active_[static_cast<std::size_t>(find(link))] = true;
    return LX_STATUS_OK;
}

void MediaGraph::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    active_.assign(active_.size(), false);
}

std::vector<RouteLink> MediaGraph::activeLinks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RouteLink> out;
    for (std::size_t i = 0; i < links_.size(); ++i)
        if (active_[i]) out.push_back(links_[i]);
    return out;
}

}  // namespace lentra
