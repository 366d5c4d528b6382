// Writing a file so that it is either wholly the new content or left as it was.
#pragma once

#include <string>

namespace lentra::files {

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. A failure at any step leaves `path` as it was, removes the temporary file and returns
// false with one line in `error`. The folder must exist: it is never created. A path that names
// a folder, a device, a FIFO or a symbolic link (anything but a regular file), or holds a
// NUL byte, is refused: nothing is replaced.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// For tests (lxsim_fail_file_writes): the next `count` atomic writes fail after the temporary
// file is written and before it is renamed into place, as a full disk would make them fail.
void failWritesBeforeRename(int count);

}  // namespace lentra::files
