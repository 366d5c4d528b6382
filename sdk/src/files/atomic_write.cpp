#include "files/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <set>

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

constexpr int kAttempts = 100;  // fresh random names tried before giving up on a folder

std::string because(const char* what) { return std::string(what) + " (" + std::strerror(errno) + ")"; }

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// ".<base>.<16 hex digits>.lxpart": a long base is cut so that the name still fits the folder.
std::string temporaryName(const std::string& base) {
    static std::mutex mutex;
    static std::random_device device;
    static std::mt19937_64 random(device());
    unsigned long long value;
    {
        std::lock_guard<std::mutex> lock(mutex);
        value = random();
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", value);
    return "." + base.substr(0, 64) + "." + digits + kTemporaryMarker;
}

// Closes a descriptor whatever way the scope ends.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int f) : fd(f) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Removes the temporary files in the folder that no live writer holds (its lock goes with its
// process): those of writers killed before their rename.
void removeStale(int folderFd, const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;  // a folder one may write into but not list keeps them
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] != '.' || !endsWith(name, kTemporaryMarker)) continue;
        Descriptor file{::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
        struct stat held {}, now {};
        if (file.fd < 0 || ::fstat(file.fd, &held) != 0 || !S_ISREG(held.st_mode)) continue;
        if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0) continue;  // its writer is alive
        if (::fstatat(folderFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == held.st_dev && now.st_ino == held.st_ino)
            ::unlinkat(folderFd, name.c_str(), 0);
    }
    ::closedir(dir);
}

// The first write of the process into a folder cleans it up; later ones do not scan it again.
void cleanOnce(int folderFd, const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> cleaned;
    char* real = ::realpath(folder.c_str(), nullptr);
    const std::string key = real ? real : folder;
    std::free(real);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!cleaned.insert(key).second) return;
    }
    removeStale(folderFd, folder);
}

bool procFdUsable() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

// The temporary file while it is written, then named and renamed: unlinked on failure, and its
// lock held until it is gone or in place.
struct Temporary {
    int folderFd = -1;
    int fd = -1;
    std::string name;  // empty while it has none
    ~Temporary() {
        if (!name.empty()) ::unlinkat(folderFd, name.c_str(), 0);
        if (fd >= 0) ::close(fd);
    }
};

// Makes the temporary file, locked. Unnamed where the platform allows; else named, and retried
// when a cleaner removed the name between its creation and the lock.
bool create(Temporary& temp, const std::string& base, mode_t mode) {
#ifdef O_TMPFILE
    if (procFdUsable()) {
        temp.fd = ::openat(temp.folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (temp.fd >= 0) return ::flock(temp.fd, LOCK_EX) == 0;
    }
#endif
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = temporaryName(base);
        const int fd = ::openat(temp.folderFd, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        struct stat info {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0) {
            temp.fd = fd;
            temp.name = name;
            return true;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return false;
}

// Gives the unnamed temporary file a name in its folder, through its /proc/self/fd link.
bool giveName(Temporary& temp, const std::string& base) {
    const std::string source = "/proc/self/fd/" + std::to_string(temp.fd);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = temporaryName(base);
        if (::linkat(AT_FDCWD, source.c_str(), temp.folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp.name = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// The new content takes the owner, group and permission bits of the file it replaces.
// Set-user-ID and set-group-ID are not carried over; an owner the process may not give is left,
// and so are permission bits a file system (FAT) refuses: the file then stays private (0600).
void keepOwnerAndMode(int fd, const struct stat& was) {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != was.st_uid || now.st_gid != was.st_gid) &&
        ::fchown(fd, was.st_uid, was.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), was.st_gid);
    (void)::fchmod(fd, was.st_mode & 0777);
}

// Why the path cannot be written ("is a FIFO, ..."), or "" when it names a regular file or
// nothing; `exists` and `info` say what is there.
std::string notAFile(const std::string& path, bool& exists, struct stat& info) {
    exists = ::lstat(path.c_str(), &info) == 0;
    if (!exists || S_ISREG(info.st_mode)) return "";
    const char* kind = S_ISLNK(info.st_mode)    ? "a symbolic link"
                       : S_ISDIR(info.st_mode)  ? "a folder"
                       : S_ISFIFO(info.st_mode) ? "a FIFO"
                       : S_ISSOCK(info.st_mode) ? "a socket"
                                                : "a device";
    return std::string("is ") + kind + ", not a regular file; it is left as it was";
}

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
    bool existed = false;
    struct stat was {};
    if (error = notAFile(path, existed, was); !error.empty()) return false;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) {
        error = "no file name given";
        return false;
    }
    // O_PATH: a folder one may write into but not list is written into, as with a plain open.
#ifdef O_PATH
    Descriptor folderFd{::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
#else
    Descriptor folderFd{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
#endif
    if (folderFd.fd < 0) {
        error = because("cannot create a file there");
        return false;
    }
    cleanOnce(folderFd.fd, folder);
    Temporary temp;
    temp.folderFd = folderFd.fd;
    // A file that was there is kept private until it has its own mode back; a new one gets
    // 0666 less the umask from the kernel (the umask is never changed: other threads use it).
    if (!create(temp, base, existed ? 0600 : 0666)) {
        error = because("cannot create a file there");
        return false;
    }
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
    if (existed) keepOwnerAndMode(temp.fd, was);
    if (::fsync(temp.fd) != 0) {
        error = because("cannot write the file");
        return false;
    }
    if (temp.name.empty() && !giveName(temp, base)) {
        error = because("cannot put the file in place");
        return false;
    }
    if (injectedFailure()) {
        error = "cannot put the file in place (a failure injected for a test)";
        return false;
    }
    // Something put at the path meanwhile is refused too, not replaced.
    struct stat now {};
    if (error = notAFile(path, existed, now); !error.empty()) return false;
    if (::renameat(temp.folderFd, temp.name.c_str(), temp.folderFd, base.c_str()) != 0) {
        error = because("cannot put the file in place");
        return false;
    }
    temp.name.clear();
    return true;
}

void failWritesBeforeRename(int count) { failuresBeforeRename.store(count > 0 ? count : 0); }

}  // namespace lentra::files
