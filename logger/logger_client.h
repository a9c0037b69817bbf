// The client side of the diagnostic logger: a module registers under its
// name, finds the running logger's window through the logger's shared block
// "KZLoggerMappedFile", and delivers records to it.
#pragma once

#include <atomic>
#include <cstdint>

namespace vellumar::logger {

// A logger window handle as kept in the first 32 bits of the shared block;
// 0 means no logger window.
using LoggerWindow = std::uint32_t;

inline constexpr const char kMappedFileName[] = "KZLoggerMappedFile";
inline constexpr const char kDebugMessageName[] = "mHandleDebugMsg";
inline constexpr const char kAlarmMessageName[] = "mHandleDebugAlarm";

// Client state: zero at load, kept until unload.
extern std::atomic<std::int32_t> g_bLoggerInit;  // 1 once registration has run
extern char g_szClientTag[21];                   // 8 characters of the name, blank-padded, "/"
extern std::uint16_t g_uDebugMsg;                // low 16 bits of "mHandleDebugMsg"'s number
extern std::uint16_t g_uAlarmMsg;                // low 16 bits of "mHandleDebugAlarm"'s number
extern std::atomic<LoggerWindow> g_hLoggerWnd;   // the logger's window at the last refresh

// Registers the client under the first call's module name (any length, may be
// empty) and, on every call, refreshes g_hLoggerWnd. Reports nothing.
void LoggerInit(const char* lpszModule) noexcept;

// The logger's window as the shared block holds it now, or 0 when there is
// no block (or its view fails). Changes no client state.
LoggerWindow LoggerFindWindow() noexcept;

}  // namespace vellumar::logger
