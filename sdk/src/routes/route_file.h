// The route file: YAML naming the links of the platform's media graph to enable. The schema is
// documented for users in sdk/docs/media-routes.md; this is the only code that knows it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "routes/media_graph.h"

namespace lentra {

// Route files are small; a larger file is refused before it is parsed.
constexpr std::size_t kRouteFileMaxBytes = std::size_t{1} << 20;
constexpr std::size_t kRouteMaxLinks = 1024;
// The most nodes (mappings, lists, texts) a route file may hold: a file of kRouteMaxLinks links
// with every key given holds 3 + 9 per link. A file of more is refused before its tree is built.
constexpr std::size_t kRouteMaxNodes = 3 + 9 * kRouteMaxLinks;

// The links of a route file, in file order. Checks the YAML's syntax and the schema (a mapping
// whose only key is "routes", a list of links, each a mapping of source, source_pad, sink,
// sink_pad, no key twice), not whether the links exist: MediaGraph::check does that.
std::optional<std::vector<RouteLink>> parseRouteYaml(const std::string& text, std::string& error);

}  // namespace lentra
