#include "routes/route_file.h"

#include <map>
#include <set>

#include <yaml-cpp/yaml.h>

#include "description/yaml_nodes.h"

namespace lentra {

namespace {

struct RouteFileError {
    std::string message;
};

[[noreturn]] void fail(const std::string& where, const std::string& why) {
    throw RouteFileError{where + ": " + why};
}

// The mapping's values by key, refusing keys that are not texts, unknown keys and, since
// yaml-cpp keeps duplicates silently, any key given twice.
std::map<std::string, YAML::Node> entries(const YAML::Node& node, const std::string& where,
                                          const std::set<std::string>& known) {
    if (!node.IsMap()) fail(where, "must be a mapping");
    std::map<std::string, YAML::Node> out;
    for (const auto& pair : node) {
        if (!pair.first.IsScalar()) fail(where, "keys must be plain texts");
        const std::string key = pair.first.Scalar();
        if (!known.count(key)) fail(where + "." + key, "unknown key");
        if (!out.emplace(key, pair.second).second) fail(where + "." + key, "is given twice");
    }
    return out;
}

std::string text(const std::map<std::string, YAML::Node>& m, const char* key, const std::string& where) {
    auto it = m.find(key);
    if (it == m.end()) fail(where + "." + key, "is missing");
    if (!it->second.IsScalar() || it->second.Scalar().empty())
        fail(where + "." + key, "must be an entity name");
    return it->second.Scalar();
}

int pad(const std::map<std::string, YAML::Node>& m, const char* key, const std::string& where) {
    auto it = m.find(key);
    if (it == m.end()) return 0;
    const std::string why = "must be a pad number from 0 to 63";
    if (!it->second.IsScalar()) fail(where + "." + key, why);
    const std::string& s = it->second.Scalar();
    if (s.empty() || s.size() > 2 || s.find_first_not_of("0123456789") != std::string::npos)
        fail(where + "." + key, why);
    const int value = std::stoi(s);
    if (value > 63) fail(where + "." + key, why);
    return value;
}

}  // namespace

std::optional<std::vector<RouteLink>> parseRouteYaml(const std::string& content, std::string& error) {
    try {
        if (!yamlNodesAtMost(content, kRouteMaxNodes))
            fail("the route file", "holds more than " + std::to_string(kRouteMaxNodes) + " entries");
        const YAML::Node document = YAML::Load(content);
        const auto top = entries(document, "the route file", {"routes"});
        auto routes = top.find("routes");
        if (routes == top.end()) fail("routes", "is missing");
        if (!routes->second.IsSequence() || routes->second.size() == 0)
            fail("routes", "must be a list of links");
        if (routes->second.size() > kRouteMaxLinks)
            fail("routes", "must not hold more than " + std::to_string(kRouteMaxLinks) + " links");
        std::vector<RouteLink> links;
        for (std::size_t i = 0; i < routes->second.size(); ++i) {
            const std::string where = "routes[" + std::to_string(i) + "]";
            const auto link = entries(routes->second[i], where, {"source", "source_pad", "sink", "sink_pad"});
            links.push_back({text(link, "source", where), pad(link, "source_pad", where),
                             text(link, "sink", where), pad(link, "sink_pad", where)});
        }
        return links;
    } catch (const RouteFileError& e) {
        error = e.message;
    } catch (const YAML::Exception& e) {
        error = std::string("not valid YAML: ") + e.what();
    } catch (const std::exception& e) {
        error = std::string("cannot be read: ") + e.what();
    }
    return std::nullopt;
}

}  // namespace lentra
