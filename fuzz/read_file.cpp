// Reading input files (files/read_file): a regular file of at most the limit comes back byte for
// byte, a larger one is refused with a reason. The first two bytes of the input set the limit,
// the rest is the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "files/read_file.h"

namespace {

char folder[] = "/dev/shm/lentra-fuzz-read-XXXXXX";

void removeScratch() {
    ::unlink((std::string(folder) + "/input").c_str());
    ::rmdir(folder);
}

std::string scratchFile() {
    static const std::string path = [] {
        if (!::mkdtemp(folder)) std::abort();  // memory, not the disk: fast, and no wear
        std::atexit(removeScratch);
        return std::string(folder) + "/input";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t limit = (std::size_t{data[0]} << 8 | data[1]) % 4096;
    const std::string content(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string path = scratchFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) std::abort();
    }
    std::string error;
    const auto bytes = lentra::files::readWholeFile(path, error, limit);
    if (content.size() <= limit) {
        if (!bytes || *bytes != content) std::abort();
    } else if (bytes || error.empty()) {
        std::abort();
    }
    return 0;
}
