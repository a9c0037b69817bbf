// One record delivered to a running kzlogger, beside its baseline: one byte
// sent through a pipe to another process and back, the least that any
// exchange between two processes costs. The run prints both, and the
// delivery's ratio to the round trip as a counter.
//
// kzlogger is taken from the directory of this program (the build puts
// both in bin/) and runs in a namespace of the run's own, writing its
// records to /dev/null. The timings are wall-clock: most of a delivery is
// spent waiting for the other process.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "logger/logger_client.h"
#include "platform/executable_path.h"

extern char** environ;

namespace {

namespace logger = vellumar::logger;

// kzlogger, started in a namespace of this run's own and stopped at the end.
class RunningLogger {
 public:
  RunningLogger() {
    ::setenv("VELLUMAR_NAMESPACE", m_namespace.c_str(), 1);
    std::string program = vellumar::platform::ExecutableDirectory() + "/kzlogger";
    std::string output = "--output";
    std::string devNull = "/dev/null";
    char* argv[] = {program.data(), output.data(), devNull.data(), nullptr};
    if (::posix_spawn(&m_pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) m_pid = -1;
    // Ready once its window stands in the block.
    for (int wait = 0; m_pid > 0 && wait < 500 && !m_ready; ++wait) {
      m_ready = logger::LoggerFindWindow() != 0;
      if (!m_ready) ::usleep(10000);
    }
    logger::LoggerInit("bench");
  }
  ~RunningLogger() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
    }
    // What the namespace's objects left behind (the message registry).
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
      if (entry.path().filename().string().rfind(m_namespace + ".", 0) == 0) {
        std::filesystem::remove(entry.path(), ec);
      }
    }
  }
  RunningLogger(const RunningLogger&) = delete;
  RunningLogger& operator=(const RunningLogger&) = delete;

  bool ready() const { return m_ready; }

 private:
  const std::string m_namespace = "vellumar-bench-" + std::to_string(::getpid());
  pid_t m_pid = -1;
  bool m_ready = false;
};

// A child that sends back every byte it reads, until its input ends.
class EchoProcess {
 public:
  EchoProcess() {
    if (::pipe(m_toChild) != 0 || ::pipe(m_fromChild) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::close(m_toChild[1]);
      ::close(m_fromChild[0]);
      char c;
      while (::read(m_toChild[0], &c, 1) == 1 && ::write(m_fromChild[1], &c, 1) == 1) {
      }
      ::_exit(0);
    }
    ::close(m_toChild[0]);
    ::close(m_fromChild[1]);
  }
  ~EchoProcess() {
    ::close(m_toChild[1]);
    ::close(m_fromChild[0]);
    if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
  }
  EchoProcess(const EchoProcess&) = delete;
  EchoProcess& operator=(const EchoProcess&) = delete;

  bool RoundTrip() {
    char c = 'x';
    return ::write(m_toChild[1], &c, 1) == 1 && ::read(m_fromChild[0], &c, 1) == 1;
  }

 private:
  int m_toChild[2] = {-1, -1};
  int m_fromChild[2] = {-1, -1};
  pid_t m_pid = -1;
};

// Wall-clock nanoseconds per iteration of the last round-trip run, for the
// delivery's ratio (the round trip runs first).
double g_roundTripNs = 0;

double NanosecondsPerIteration(std::chrono::steady_clock::time_point start,
                               const benchmark::State& state) {
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const double ns = std::chrono::duration<double, std::nano>(elapsed).count();
  return state.iterations() > 0 ? ns / static_cast<double>(state.iterations()) : 0;
}

void BM_PipeRoundTrip(benchmark::State& state) {
  EchoProcess echo;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (!echo.RoundTrip()) {
      state.SkipWithError("the echo process did not answer");
      break;
    }
  }
  g_roundTripNs = NanosecondsPerIteration(start, state);
}

void BM_DeliveryToKzlogger(benchmark::State& state) {
  RunningLogger running;
  if (!running.ready()) {
    state.SkipWithError("kzlogger did not start (is it beside this program?)");
    return;
  }
  std::int64_t failed = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (logger::LoggerSendf(0, "bench: ", "record %d", 1) != 1) ++failed;
  }
  const double deliveryNs = NanosecondsPerIteration(start, state);
  state.counters["records_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["not_delivered"] = static_cast<double>(failed);
  if (g_roundTripNs > 0) state.counters["ratio_to_round_trip"] = deliveryNs / g_roundTripNs;
}

BENCHMARK(BM_PipeRoundTrip)->UseRealTime();
BENCHMARK(BM_DeliveryToKzlogger)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
