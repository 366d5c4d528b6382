#pragma once

#include <cstddef>
#include <string>

namespace lentra {

// Whether the first YAML document of `text` holds at most `limit` nodes (mappings, sequences,
// scalars, nulls and aliases). The nodes are counted from the parser's events, before any tree
// is built, and counting stops at the first node beyond the limit: a file of many small nodes
// would otherwise grow into a tree hundreds of times its size. Malformed YAML throws the
// parser's YAML::Exception, as loading the text would.
bool yamlNodesAtMost(const std::string& text, std::size_t limit);

}  // namespace lentra
