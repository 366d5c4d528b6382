#include "log/log.h"

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <mutex>

#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>
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
    // A FIFO would block the open until some reader came; a character device (/dev/null) is fine.
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode))
        return failed("LxSetLogFile", LX_STATUS_IO_ERROR, "is not a file (a folder, a FIFO or a socket)");
    std::shared_ptr<spdlog::logger> logger;
    try {
        auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(path, /*truncate=*/false);
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
