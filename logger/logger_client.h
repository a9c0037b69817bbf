// The client side of the diagnostic logger: a module registers under its
// name, finds the running logger's window through the logger's shared block
// "KZLoggerMappedFile", delivers records to it, and starts the logger
// program when none is known.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>

namespace vellumar::logger {

// A logger window handle as kept in the first 32 bits of the shared block;
// 0 means no logger window.
using LoggerWindow = std::uint32_t;

inline constexpr const char kMappedFileName[] = "KZLoggerMappedFile";
inline constexpr const char kDebugMessageName[] = "mHandleDebugMsg";
inline constexpr const char kAlarmMessageName[] = "mHandleDebugAlarm";
// The gate of the block, signalled while no sender holds it.
inline constexpr const char kMapEventName[] = "KZLoggerMapEvent";
// Signalled by the logger once it has taken a record.
inline constexpr const char kDebugEventName[] = "KZLoggerDebugEvent";
inline constexpr const char kLoggerCommandLine[] = "kzlogger.exe";
// Offset of the record text in the block, after the window handle.
inline constexpr unsigned kRecordOffset = 4;

// Client state: zero at load, kept until unload.
extern std::atomic<std::int32_t> g_bLoggerInit;  // 1 once registration has run
extern char g_szClientTag[21];                   // 8 characters of the name, blank-padded, "/"
extern std::uint16_t g_uDebugMsg;                // low 16 bits of "mHandleDebugMsg"'s number
extern std::uint16_t g_uAlarmMsg;                // low 16 bits of "mHandleDebugAlarm"'s number
extern std::atomic<LoggerWindow> g_hLoggerWnd;   // the logger's window at the last refresh
extern char g_szFatalText[256];                  // the last fatal record's prompt text

// Registers the client under the first call's module name (any length, may be
// empty) and, on every call, refreshes g_hLoggerWnd. Reports nothing.
void LoggerInit(const char* lpszModule) noexcept;

// The logger's window as the shared block holds it now, or 0 when there is
// no block (or its view fails). Changes no client state.
LoggerWindow LoggerFindWindow() noexcept;

// Delivers one record, the prefix followed by the formatted text, to the
// running logger. A fatal record (bFatal non-zero) is also put to the user,
// who may answer that the program should stop in the debugger. Returns 1
// when the record was delivered or no logger is running, 0 when a logger is
// known but the record could not be delivered. Raises nothing.
std::int32_t LoggerSend(std::int32_t bFatal, const char* lpszPrefix, const char* lpszFormat,
                        va_list argList) noexcept;

// LoggerSend with the format's arguments given as for printf.
std::int32_t LoggerSendf(std::int32_t bFatal, const char* lpszPrefix, const char* lpszFormat,
                         ...) noexcept;

// Starts the logger program when no logger window is known, and waits a
// bounded time for it to be ready. Reports nothing.
void LoggerLaunch(const char* lpszModule) noexcept;

}  // namespace vellumar::logger
