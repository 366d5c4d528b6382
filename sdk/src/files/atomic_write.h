// Writing a file so that it is either wholly the new content or left as it was.
#pragma once

#include <string>

namespace lentra::files {

// The end of the name of every temporary file a writer leaves while it runs (Python's writer in
// pylentrasdk/_files.py uses the same): how a stale one, left by a killed process, is found.
inline constexpr char kTemporaryMarker[] = ".lxpart";

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. A failure at any step leaves `path` as it was, removes the temporary file and returns
// false with one line in `error`. The folder must exist: it is never created.
//
// Only a new name or a regular file is written: a path that names a folder, a device, a FIFO, a
// socket or a symbolic link (dangling or not), or holds a NUL byte, is refused and nothing is
// replaced. A file that was there keeps its permission bits, and its owner and group where the
// process may set them; a new file gets 0666 less the umask (which is never changed).
//
// The temporary file has no name while it is written where the platform allows (O_TMPFILE, then
// linkat through /proc/self/fd), so a killed process leaves nothing behind; it is named
// ".<name>.<random>.lxpart" only until the rename, and locked (flock) while it has a name. The
// first write of the process into a folder removes the named temporary files no writer holds.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// For tests (lxsim_fail_file_writes): the next `count` atomic writes fail after the temporary
// file is written and before it is renamed into place, as a full disk would make them fail.
void failWritesBeforeRename(int count);

}  // namespace lentra::files
