// The library's log (spdlog). By default it goes to standard error at level WARN; LxSetLogFile
// sends it to a file instead and LxSetLogLevel changes the level. Ordinary failed calls (a
// camera not open, an argument out of range) are logged at debug level only, so that a
// program's screen is not cluttered by answers it handles itself.
//
// spdlog stays inside log.cpp: the rest of the library hands over finished texts.
#pragma once

#include <string>

#include "LentraSDK.h"

namespace lentra::log {

bool enabled(LX_LOG_LEVEL level);
void write(LX_LOG_LEVEL level, const std::string& message);
void debug(const std::string& message);
void warn(const std::string& message);

// Sends the log to `path` (appending). LX_STATUS_INVALID_ARGUMENT for an empty path (LxSetLogFile
// refuses one holding a NUL byte before it comes here); LX_STATUS_IO_ERROR when its folder does
// not exist (it is not made), when it names a symbolic link (dangling or not: the link is never
// followed), a folder, a FIFO, a socket or a block device (a character device such as /dev/null
// is fine), or when it cannot be opened.
// On failure the log stays where it was.
int setFile(const std::string& path);
// Levels outside LX_LOG_LEVEL are ignored.
void setLevel(LX_LOG_LEVEL level);

// Logs "<function>: <why> -> <status>" at debug level and returns `status`.
int failed(const char* function, int status, const char* why);

}  // namespace lentra::log
