#include "files/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace lentra::files {

namespace {

std::atomic<int> failuresBeforeRename{0};

// Takes one of the failures asked for by failWritesBeforeRename, if any is left.
bool injectedFailure() {
    int left = failuresBeforeRename.load();
    while (left > 0 && !failuresBeforeRename.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}

std::string because(const char* what) { return std::string(what) + " (" + std::strerror(errno) + ")"; }

// Removes the temporary file unless it has been renamed into place.
struct Temporary {
    std::string path;
    int fd = -1;
    bool kept = false;
    ~Temporary() {
        if (fd >= 0) ::close(fd);
        if (!kept && !path.empty()) ::unlink(path.c_str());
    }
};

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    if (path.empty()) {
        error = "no file name given";
        return false;
    }
    if (path.find('\0') != std::string::npos) {
        error = "the file name holds a NUL byte";
        return false;
    }
    // Only a regular file is ever replaced: renaming over a device, a FIFO, a socket or a link
    // would put a plain file in its place (as root, /dev/null itself).
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode)   ? "is a folder, not a file"
                : S_ISLNK(info.st_mode) ? "is a symbolic link, not a file"
                                        : "is not a regular file";
        return false;
    }
    Temporary temp;
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".tmp-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);  // with its NUL
    temp.fd = ::mkstemp(name.data());
    if (temp.fd < 0) {
        error = because("cannot create a file there");
        return false;
    }
    temp.path = name.data();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(temp.fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            error = because("cannot write the file");
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    // mkstemp makes the file 0600; a written file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(temp.fd, 0666 & ~mask) != 0 || ::fsync(temp.fd) != 0) {
        error = because("cannot write the file");
        return false;
    }
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0) {
        error = because("cannot write the file");
        return false;
    }
    if (injectedFailure()) {
        error = "cannot put the file in place (a failure injected for a test)";
        return false;
    }
    if (::rename(temp.path.c_str(), path.c_str()) != 0) {
        error = because("cannot put the file in place");
        return false;
    }
    temp.kept = true;
    return true;
}

void failWritesBeforeRename(int count) { failuresBeforeRename.store(count > 0 ? count : 0); }

}  // namespace lentra::files
