#include "files/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lentra::files {

namespace {

// Closes the descriptor whatever way the read ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::string because(const char* what) { return std::string(what) + " (" + std::strerror(errno) + ")"; }

}  // namespace

std::optional<std::string> readWholeFile(const std::string& path, std::string& error,
                                         std::size_t limit) {
    if (path.empty()) {
        error = "no file name given";
        return std::nullopt;
    }
    if (path.find('\0') != std::string::npos) {
        error = "the file name holds a NUL byte";
        return std::nullopt;
    }
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type check below refuses it.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        error = because("cannot read the file");
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        error = because("cannot read the file");
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "is a folder, not a file" : "is not a regular file";
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(info.st_size) > limit) {
        error = "the file is larger than " + std::to_string(limit) + " bytes";
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    // The file may change size while it is read: read to its end, never past `limit`.
    for (;;) {
        if (done == bytes.size()) {
            if (bytes.size() >= limit) {
                char probe;
                const ssize_t more = ::read(file.fd, &probe, 1);
                if (more > 0) {
                    error = "the file is larger than " + std::to_string(limit) + " bytes";
                    return std::nullopt;
                }
                break;
            }
            bytes.resize(std::min(limit, bytes.size() + 65536));
        }
        const ssize_t got = ::read(file.fd, &bytes[done], bytes.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = because("cannot read the file");
            return std::nullopt;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace lentra::files
