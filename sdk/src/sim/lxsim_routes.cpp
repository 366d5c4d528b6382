// lxsim_active_routes: the media graph's active links, for tests of the route functions.
#include <string>

#include <nlohmann/json.hpp>

#include "device/rig.h"
#include "lxsim.h"

extern "C" const char* lxsim_active_routes(void) {
    thread_local std::string text;
    nlohmann::json links = nlohmann::json::array();
    for (const lentra::RouteLink& link : lentra::currentRig()->mediaGraph().activeLinks())
        links.push_back({{"source", link.source}, {"source_pad", link.sourcePad},
                         {"sink", link.sink}, {"sink_pad", link.sinkPad}});
    // Entity names come from the rig description, which is valid UTF-8 JSON.
    text = links.dump();
    return text.c_str();
}
