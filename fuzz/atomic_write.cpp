// Writing files atomically (files/atomic_write): whatever the content and wherever the write
// fails, the file is afterwards either wholly the old content or wholly the new one, and no
// temporary file is left in the folder; the file keeps the permission bits it had. The first byte
// chooses whether the write is made to fail before the rename and the old file's mode, the second
// how the rest is split into the old and the new content.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "files/atomic_write.h"

namespace {

char name[] = "/dev/shm/lentra-fuzz-write-XXXXXX";

void removeScratch() {
    ::unlink((std::string(name) + "/file").c_str());
    ::rmdir(name);
}

const std::string& folder() {
    static const std::string path = [] {
        if (!::mkdtemp(name)) std::abort();  // memory, not the disk: every write is synced
        std::atexit(removeScratch);
        return std::string(name);
    }();
    return path;
}

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t entriesIn(const std::string& path) {
    std::size_t count = 0;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) std::abort();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ++count;
    }
    ::closedir(dir);
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool fail = data[0] & 1;
    static const mode_t modes[] = {0600, 0640, 0644, 0664, 0400, 0444, 0700, 0755};
    const mode_t mode = modes[(data[0] >> 1) & 7];
    const std::size_t split = data[1] % (size - 1);
    const std::string old(reinterpret_cast<const char*>(data + 2), split);
    const std::string fresh(reinterpret_cast<const char*>(data + 2 + split), size - 2 - split);
    const std::string path = folder() + "/file";
    std::string error;
    lentra::files::failWritesBeforeRename(0);
    if (!lentra::files::writeFileAtomically(path, old, error)) std::abort();
    if (::chmod(path.c_str(), mode) != 0) std::abort();
    lentra::files::failWritesBeforeRename(fail ? 1 : 0);
    const bool written = lentra::files::writeFileAtomically(path, fresh, error);
    if (written == fail) std::abort();
    if (!written && error.empty()) std::abort();
    if (contentOf(path) != (written ? fresh : old)) std::abort();
    if (entriesIn(folder()) != 1) std::abort();  // no temporary file left behind
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || (info.st_mode & 07777) != mode) std::abort();
    return 0;
}
