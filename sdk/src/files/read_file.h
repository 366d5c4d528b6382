// Reading an input file whole: the one way the SDK reads a file a user names.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace lentra::files {

// The largest input file the SDK reads (rig descriptions, profiles, route files, images).
constexpr std::size_t kMaxInputFileBytes = std::size_t{64} << 20;

// The bytes of a regular file of at most `limit` bytes. Anything else (a missing file, a folder,
// a FIFO or a device, which could block or never end, a larger file, a path holding a NUL byte)
// gives nothing and one line in `error` saying why.
std::optional<std::string> readWholeFile(const std::string& path, std::string& error,
                                         std::size_t limit = kMaxInputFileBytes);

}  // namespace lentra::files
