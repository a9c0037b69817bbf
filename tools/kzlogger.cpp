// kzlogger: the diagnostic logger program. It creates the logger's shared
// block, its two events and its window, puts the window into the block, and
// writes out every record that a module delivers, one line each.
//
// Exit status: 0 after a stop request (SIGINT, SIGTERM or SIGHUP); 1 when it
// cannot start; 2 for a usage error.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "logger/logger_server.h"
#include "platform/civil_time.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/instance_lock.h"
#include "platform/local_zone.h"
#include "platform/message_window.h"
#include "platform/object_namespace.h"
#include "platform/os_error.h"
#include "platform/stop_request.h"
#include "platform/user_files.h"
#include "tools/cli.h"

namespace {

namespace logger = vellumar::logger;
namespace platform = vellumar::platform;

constexpr int kExitStopped = 0;
constexpr int kExitCannotStart = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kDefaultBlockSize = 4096;
constexpr std::size_t kMaxBlockSize = std::size_t{16} << 20;

// Why the logger cannot start; whatever it made so far is undone as this
// passes.
struct StartError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& what) { throw StartError(what); }

std::string ErrorText(platform::OsError error) { return platform::OsErrorText(error); }

// Records are the user's own: a new output file is readable by the user
// alone, and it is not handed on to anything this program might start.
std::FILE* OpenOutput(const std::string& path) {
  platform::OsError error;
  std::FILE* out = platform::OpenPrivateAppend(path, &error);
  if (out == nullptr) Fail("cannot open " + path + ": " + ErrorText(error));
  return out;
}

std::FILE* ChooseOutput(const std::string& outputOption) {
  if (!outputOption.empty()) return OpenOutput(outputOption);
  // Started with no terminal and no output (as the logger client starts
  // it), the records would be lost: they go to the user's state directory.
  if (!platform::HasControllingTerminal() && !platform::StandardOutputIsUseful()) {
    const std::optional<std::string> state = platform::UserStateDirectory();
    if (!state) Fail("cannot find the home directory for the log file");
    const std::string path = *state + "/kzlogger/kzlogger.log";
    std::string failedDirectory;
    if (const platform::OsError error = platform::CreateParentDirectories(path, failedDirectory)) {
      Fail("cannot create " + failedDirectory + ": " + ErrorText(error));
    }
    return OpenOutput(path);
  }
  return stdout;
}

// The local time as "YYYY-MM-DD hh:mm:ss "; false when the zone cannot place
// the moment.
bool LocalTimeStamp(char (&stamp)[32]) {
  const platform::Instant now = platform::Now();
  const std::optional<platform::UtcOffset> offset = platform::LocalOffsetAt(now);
  if (!offset) return false;
  const platform::CivilTime t = platform::CivilFromInstant(now, *offset);
  const int n =
      std::snprintf(stamp, sizeof stamp, "%lld-%02d-%02d %02d:%02d:%02d ",
                    static_cast<long long>(t.year), t.month, t.day, t.hour, t.minute, t.second);
  return n > 0 && static_cast<std::size_t>(n) < sizeof stamp;
}

void WriteRecord(std::FILE* out, std::string_view record, bool timestamps) {
  char stamp[32];
  if (timestamps && LocalTimeStamp(stamp)) std::fputs(stamp, out);
  std::fwrite(record.data(), 1, record.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

std::string StartFailureText(const logger::ServerStartError& failure) {
  using Step = logger::ServerStartError::Step;
  const char* what = "cannot create the shared block: ";
  switch (failure.step) {
    case Step::block:
      break;
    case Step::blockView:
      what = "cannot map the shared block: ";
      break;
    case Step::events:
      what = "cannot create the logger's events: ";
      break;
    case Step::window:
      what = "cannot create the logger's window: ";
      break;
  }
  return what + ErrorText(failure.error);
}

int Run(std::size_t blockSize, const std::string& outputOption, bool timestamps) {
  platform::SurviveClosedOutputs();
  // Stop requests wait for the loop below, so that the named objects are
  // always removed.
  platform::OsError error;
  const platform::StopRequest stop = platform::StopRequest::Watch(&error);
  if (!stop) Fail("cannot watch the stop signals: " + ErrorText(error));
  platform::LockResult locked = platform::LockResult::failed;
  platform::InstanceLock instance =
      platform::InstanceLock::Acquire(logger::kInstanceLockName, &locked, &error);
  if (!instance) {
    if (locked == platform::LockResult::heldByAnother) {
      Fail("another logger is already running for " + platform::ObjectNamespaceText());
    }
    Fail("cannot take the logger's instance lock: " + ErrorText(error));
  }
  std::FILE* out = ChooseOutput(outputOption);
  logger::ServerStartError failure;
  logger::LoggerServer server = logger::LoggerServer::Start(blockSize, &failure);
  if (!server) Fail(StartFailureText(failure));
  platform::WindowMessage message;
  while (server.Receive(message, platform::kWaitForever, &stop) ==
         platform::ReceiveResult::message) {
    server.HandleMessage(message,
                         [&](std::string_view record) { WriteRecord(out, record, timestamps); });
  }
  server.Stop();
  instance.Release();
  if (out != stdout) std::fclose(out);
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
      ->check(CLI::Range(logger::kMinBlockSize, kMaxBlockSize));
  app.add_option("--output", output, "append the records to FILE instead of standard output")
      ->type_name("FILE");
  app.add_flag("--timestamps", timestamps, "put the local time before each record");
  if (const std::optional<int> exit =
          vellumar::tools::ParseCommandLine(app, argc, argv, kExitUsage)) {
    return *exit;
  }
  try {
    return Run(blockSize, output, timestamps);
  } catch (const StartError& e) {
    std::fprintf(stderr, "kzlogger: %s\n", e.what());
    return kExitCannotStart;
  }
}
