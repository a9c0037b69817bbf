// kzlogger: the diagnostic logger program. It creates the logger's shared
// block, its two events and its window, puts the window into the block, and
// writes out every record that a module delivers, one line each.
//
// Exit status: 0 after SIGINT, SIGTERM or SIGHUP; 1 when it cannot start;
// 2 for a usage error.
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>

#include "logger/logger_client.h"
#include "platform/instance_lock.h"
#include "platform/message_window.h"
#include "platform/named_event.h"
#include "platform/registered_message.h"
#include "platform/shared_block.h"

namespace {

namespace logger = vellumar::logger;
namespace platform = vellumar::platform;

constexpr int kExitStopped = 0;
constexpr int kExitCannotStart = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kDefaultBlockSize = 4096;
constexpr char kInstanceLockName[] = "KZLoggerInstance";

// Why the logger cannot start; whatever it made so far is undone as this
// passes.
struct StartError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& what) { throw StartError(what); }

std::string ErrorText(int error) { return std::strerror(error); }

// Whose logger this is, for messages: the user, and the namespace if any.
std::string Scope() {
  const char* ns = std::getenv("VELLUMAR_NAMESPACE");
  std::string scope = "user " + std::to_string(::geteuid());
  if (ns != nullptr && *ns != '\0') scope += " in namespace \"" + std::string(ns) + "\"";
  return scope;
}

bool HasControllingTerminal() {
  int fd = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// Standard output leads somewhere useful: a terminal, a file, a pipe or a
// socket, but not /dev/null or nothing at all.
bool StandardOutputIsUseful() {
  struct stat st;
  if (::fstat(STDOUT_FILENO, &st) != 0) return false;
  return !S_ISCHR(st.st_mode) || ::isatty(STDOUT_FILENO) != 0;
}

// $XDG_STATE_HOME/kzlogger/kzlogger.log, with ~/.local/state standing in
// for an unset or relative $XDG_STATE_HOME.
std::string StateLogPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string dir;
  if (state != nullptr && state[0] == '/') {
    dir = state;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* pw = ::getpwuid(::geteuid());
      if (pw == nullptr) Fail("cannot find the home directory for the log file");
      home = pw->pw_dir;
    }
    dir = std::string(home) + "/.local/state";
  }
  return dir + "/kzlogger/kzlogger.log";
}

// Creates the directories above `path` that are missing, for the user only.
void MakeParentDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string dir = path.substr(0, slash);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
      Fail("cannot create " + dir + ": " + ErrorText(errno));
    }
  }
}

// Records are the user's own: a new output file is readable by the user
// alone, and it is not handed on to anything this program might start.
std::FILE* OpenOutput(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  std::FILE* out = fd >= 0 ? ::fdopen(fd, "a") : nullptr;
  if (out == nullptr) {
    int error = errno;
    if (fd >= 0) ::close(fd);
    Fail("cannot open " + path + ": " + ErrorText(error));
  }
  return out;
}

std::FILE* ChooseOutput(const std::string& outputOption) {
  if (!outputOption.empty()) return OpenOutput(outputOption);
  // Started with no terminal and no output (as the logger client starts
  // it), the records would be lost: they go to the user's state directory.
  if (!HasControllingTerminal() && !StandardOutputIsUseful()) {
    std::string path = StateLogPath();
    MakeParentDirectories(path);
    return OpenOutput(path);
  }
  return stdout;
}

void WriteRecord(std::FILE* out, const char* record, std::size_t length, bool timestamps) {
  if (timestamps) {
    std::time_t now = std::time(nullptr);
    std::tm local;
    char stamp[32];
    if (::localtime_r(&now, &local) != nullptr &&
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local) > 0) {
      std::fputs(stamp, out);
    }
  }
  std::fwrite(record, 1, length, out);
  std::fputc('\n', out);
  std::fflush(out);
}

void RemoveNamedObjects() {
  platform::SharedMapping::Remove(logger::kMappedFileName);
  platform::NamedEvent::Remove(logger::kMapEventName);
  platform::NamedEvent::Remove(logger::kDebugEventName);
}

// The named objects of a running logger, made in the order that lets no
// module see a window before the block and both events are in place, and
// removed so that modules see the window go first.
class Logger {
 public:
  Logger(std::size_t blockSize, std::FILE* out, bool timestamps)
      : m_out(out), m_timestamps(timestamps) {
    m_debugMessage = platform::RegisterMessage(logger::kDebugMessageName);
    platform::RegisterMessage(logger::kAlarmMessageName);
    m_mapping = platform::SharedMapping::Create(logger::kMappedFileName, blockSize);
    if (!m_mapping) Fail("cannot create the shared block: " + ErrorText(errno));
    m_block = m_mapping.MapView();
    if (!m_block) Fail("cannot map the shared block: " + ErrorText(errno));
    m_mapEvent =
        platform::NamedEvent::Create(logger::kMapEventName, platform::EventReset::automatic, true);
    m_debugEvent = platform::NamedEvent::Create(logger::kDebugEventName,
                                                platform::EventReset::automatic, false);
    if (!m_mapEvent || !m_debugEvent)
      Fail("cannot create the logger's events: " + ErrorText(errno));
    m_window = platform::MessageWindow::Create();
    if (!m_window) Fail("cannot create the logger's window: " + ErrorText(errno));
    PublishWindow(m_window.handle());
  }

  ~Logger() {
    PublishWindow(0);
    RemoveNamedObjects();
  }

  int WindowFd() const { return m_window.NativeHandle(); }

  // Handles the messages that wait at the window.
  void HandleMessages() {
    platform::WindowMessage message;
    while (m_window.Receive(message, 0) == platform::ReceiveResult::message) {
      if (m_debugMessage != 0 && message.message == m_debugMessage) TakeRecord();
    }
  }

 private:
  void PublishWindow(logger::LoggerWindow window) {
    std::atomic_ref<logger::LoggerWindow>(*static_cast<logger::LoggerWindow*>(m_block.data()))
        .store(window, std::memory_order_release);
  }

  // The record runs from byte 4 to its NUL, and never past the block.
  void TakeRecord() {
    const char* record = static_cast<const char*>(m_block.data()) + logger::kRecordOffset;
    WriteRecord(m_out, record, strnlen(record, m_block.size() - logger::kRecordOffset),
                m_timestamps);
    m_debugEvent.Set();
  }

  std::FILE* m_out;
  bool m_timestamps;
  unsigned m_debugMessage = 0;
  platform::SharedMapping m_mapping;
  platform::SharedView m_block;
  platform::NamedEvent m_mapEvent;
  platform::NamedEvent m_debugEvent;
  platform::MessageWindow m_window;
};

// Blocks the stop signals and returns a descriptor that reports them, so a
// stop is handled between records and the named objects are removed.
int StopSignals() {
  sigset_t stops;
  ::sigemptyset(&stops);
  ::sigaddset(&stops, SIGINT);
  ::sigaddset(&stops, SIGTERM);
  ::sigaddset(&stops, SIGHUP);
  if (::sigprocmask(SIG_BLOCK, &stops, nullptr) != 0) Fail("cannot block the stop signals");
  int fd = ::signalfd(-1, &stops, SFD_CLOEXEC);
  if (fd < 0) Fail("cannot watch the stop signals: " + ErrorText(errno));
  return fd;
}

int Run(std::size_t blockSize, const std::string& outputOption, bool timestamps) {
  ::signal(SIGPIPE, SIG_IGN);
  const int stopFd = StopSignals();
  platform::InstanceLock instance = platform::InstanceLock::Acquire(kInstanceLockName);
  if (!instance) {
    if (errno == EWOULDBLOCK) Fail("another logger is already running for " + Scope());
    Fail("cannot take the logger's instance lock: " + ErrorText(errno));
  }
  std::FILE* out = ChooseOutput(outputOption);
  try {
    Logger running(blockSize, out, timestamps);
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {running.WindowFd(), POLLIN, 0}};
    for (;;) {
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[0].revents != 0) break;
      if (fds[1].revents != 0) running.HandleMessages();
    }
  } catch (const StartError&) {
    // What was made before the failure (or left by a dead logger) goes;
    // holding the instance lock, all of it is this logger's to remove.
    RemoveNamedObjects();
    throw;
  }
  instance.Release();
  if (out != stdout) std::fclose(out);
  ::close(stopFd);
  return kExitStopped;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "kzlogger: the diagnostic logger. Writes each record that a module delivers through the\n"
      "logger's shared block as one line. Stop it with Ctrl-C (SIGINT) or SIGTERM.\n"
      "With no terminal and no output (as when a module starts it), records are appended\n"
      "to $XDG_STATE_HOME/kzlogger/kzlogger.log (default ~/.local/state)."};
  std::size_t blockSize = kDefaultBlockSize;
  std::string output;
  bool timestamps = false;
  app.add_option("--block-size", blockSize, "size of the shared block in bytes (default 4096)")
      ->check(CLI::Range(std::size_t{8}, std::size_t{16} << 20));
  app.add_option("--output", output, "append the records to FILE instead of standard output")
      ->type_name("FILE");
  app.add_flag("--timestamps", timestamps, "put the local time before each record");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitStopped : kExitUsage;  // --help is no error
  }
  try {
    return Run(blockSize, output, timestamps);
  } catch (const StartError& e) {
    std::fprintf(stderr, "kzlogger: %s\n", e.what());
    return kExitCannotStart;
  }
}
