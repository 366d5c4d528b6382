#include "log/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include <spdlog/logger.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

#include "description/enum_names.h"

namespace lentra::log {

namespace {

// LX_LOG_LEVEL's seven values are spdlog's seven levels, in the same order.
static_assert(static_cast<int>(LX_LOG_LEVEL::LX_LOG_LEVEL_TRACE) == spdlog::level::trace &&
                  static_cast<int>(LX_LOG_LEVEL::LX_LOG_LEVEL_DEBUG) == spdlog::level::debug &&
                  static_cast<int>(LX_LOG_LEVEL::LX_LOG_LEVEL_INFO) == spdlog::level::info &&
                  static_cast<int>(LX_LOG_LEVEL::LX_LOG_LEVEL_WARN) == spdlog::level::warn &&
                  static_cast<int>(LX_LOG_LEVEL::LX_LOG_LEVEL_ERROR) == spdlog::level::err &&
                  static_cast<int>(LX_LOG_LEVEL::LX_LOG_LEVEL_CRITICAL) == spdlog::level::critical &&
                  static_cast<int>(LX_LOG_LEVEL::LX_LOG_LEVEL_OFF) == spdlog::level::off,
              "LX_LOG_LEVEL matches spdlog's levels");

struct State {
    std::mutex mutex;  // guards `logger` (replaced by setFile)
    std::shared_ptr<spdlog::logger> logger;
    std::atomic<int> level{spdlog::level::warn};

    State() {
        // Not registered with spdlog's global registry: a program that uses spdlog itself keeps
        // its own loggers and names.
        logger = std::make_shared<spdlog::logger>(
            "LentraSDK", std::make_shared<spdlog::sinks::stderr_sink_mt>());
        logger->set_level(spdlog::level::trace);  // the level is filtered in `level`
    }
};

// Appends each message to a file the library opened itself (spdlog's file sink opens by name,
// which would follow a symbolic link put there after the checks).
class DescriptorSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    explicit DescriptorSink(int fd) : fd_(fd) {}
    DescriptorSink(const DescriptorSink&) = delete;
    DescriptorSink& operator=(const DescriptorSink&) = delete;
    ~DescriptorSink() override { ::close(fd_); }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        spdlog::memory_buf_t formatted;
        formatter_->format(msg, formatted);
        std::size_t done = 0;
        while (done < formatted.size()) {
            const ssize_t put = ::write(fd_, formatted.data() + done, formatted.size() - done);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return;  // a full disk loses the message, never the call
            done += static_cast<std::size_t>(put);
        }
    }
    void flush_() override {}  // every message is written at once

private:
    int fd_;
};

// Opens `path` for appending, creating it, without following a symbolic link and without
// waiting on a FIFO. -1 with `why` set when it cannot be, or is not a file a log may go to.
int openLogFile(const std::string& path, std::string& why) {
    // Refused before it is opened: a symbolic link (whose target the caller never named; a
    // dangling one would have it created), a folder, a FIFO (whose open would wait for a reader
    // for good), a socket, a block device. A character device such as /dev/null is fine.
    struct stat info {};
    const auto refused = [&why](const struct stat& what) {
        if (S_ISREG(what.st_mode) || S_ISCHR(what.st_mode)) return false;
        why = S_ISLNK(what.st_mode) ? "is a symbolic link, not a file"
                                    : "is not a file (a folder, a FIFO, a socket or a block device)";
        return true;
    };
    if (::lstat(path.c_str(), &info) == 0 && refused(info)) return -1;
    // O_NOFOLLOW and O_NONBLOCK: whatever was put at the path since, the open neither follows
    // a link nor waits; the descriptor's own type is checked again.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        why = errno == ELOOP ? "is a symbolic link, not a file" : std::strerror(errno);
        return -1;
    }
    if (::fstat(fd, &info) != 0 || refused(info) || ::fcntl(fd, F_SETFL, O_APPEND) != 0) {
        if (why.empty()) why = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

State& state() {
    static State s;
    return s;
}

std::shared_ptr<spdlog::logger> current() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.logger;
}

}  // namespace

bool enabled(LX_LOG_LEVEL level) {
    const int l = static_cast<int>(level);
    return l < spdlog::level::off && l >= state().level.load(std::memory_order_relaxed);
}

void write(LX_LOG_LEVEL level, const std::string& message) {
    if (!enabled(level)) return;
    try {
        auto logger = current();
        logger->log(static_cast<spdlog::level::level_enum>(level), "{}", message);
        logger->flush();
    } catch (...) {
        // A log that cannot be written must never fail the call that logs.
    }
}

void debug(const std::string& message) { write(LX_LOG_LEVEL::LX_LOG_LEVEL_DEBUG, message); }
void warn(const std::string& message) { write(LX_LOG_LEVEL::LX_LOG_LEVEL_WARN, message); }

int setFile(const std::string& path) {
    if (path.empty()) return failed("LxSetLogFile", LX_STATUS_INVALID_ARGUMENT, "no file name given");
    // spdlog would make missing folders; like every other file the library opens, the folder
    // must exist.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return failed("LxSetLogFile", LX_STATUS_IO_ERROR, "the folder does not exist");
    std::string why;
    const int fd = openLogFile(path, why);
    if (fd < 0) return failed("LxSetLogFile", LX_STATUS_IO_ERROR, why.c_str());
    std::shared_ptr<spdlog::logger> logger;
    try {
        std::shared_ptr<DescriptorSink> sink;
        try {
            sink = std::make_shared<DescriptorSink>(fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
        logger = std::make_shared<spdlog::logger>("LentraSDK", std::move(sink));
        logger->set_level(spdlog::level::trace);
    } catch (const std::exception& e) {
        return failed("LxSetLogFile", LX_STATUS_IO_ERROR, e.what());
    }
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.logger = std::move(logger);
    return LX_STATUS_OK;
}

void setLevel(LX_LOG_LEVEL level) {
    const int l = static_cast<int>(level);
    if (l < spdlog::level::trace || l > spdlog::level::off) return;
    state().level.store(l, std::memory_order_relaxed);
}

int failed(const char* function, int status, const char* why) {
    if (enabled(LX_LOG_LEVEL::LX_LOG_LEVEL_DEBUG))
        debug(std::string(function) + ": " + why + " -> " + statusText(status));
    return status;
}

}  // namespace lentra::log
