// One way for a test to run something in a separate process: a program, or
// a piece of the test itself. Either is a Child: its input can be written
// and closed, its output read a line or a value at a time or collected to
// the end, it can be waited for with a time limit, asked to stop or killed,
// and it is always stopped and collected when the object goes.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace vellumar::testing {

// How long a wait or a read gives the child unless told otherwise.
inline constexpr int kChildWaitMs = 20000;

// Where one standard stream of a program goes.
struct Redirect {
  enum class Kind {
    pipe,        // connected to the test: input it writes, output it reads
    inherit,     // the test program's own stream
    nullDevice,  // nothing comes in, and what goes out is lost
    file,        // this file: read from, or created (or emptied) and written to
  };
  Kind kind = Kind::pipe;
  std::string path{};

  static Redirect Pipe() { return {Kind::pipe, {}}; }
  static Redirect Inherit() { return {Kind::inherit, {}}; }
  static Redirect NullDevice() { return {Kind::nullDevice, {}}; }
  static Redirect File(std::string path) { return {Kind::file, std::move(path)}; }
};

struct ChildOptions {
  // "NAME=value" entries added to the environment the child inherits; an
  // entry replaces an inherited variable of the same name.
  std::vector<std::string> environment{};
  // A program's standard streams. A piece of the test (Child::Run) keeps
  // the test program's own streams and reports through its ChildReport, so
  // for it these must stay as they are.
  Redirect input{};
  Redirect output{};
  Redirect error{};
  // Started without a controlling terminal, in a session of its own.
  bool newSession = false;
};

// The ways to end a child. `interrupt` and `terminate` are requests that a
// program may handle (as after Ctrl-C, or when the system shuts it down);
// `kill` ends it at once, with no chance to tidy up.
enum class StopRequest { interrupt, terminate, kill };

// The channel through which a piece of the test run as a Child tells the
// test what it saw. Checks made in that process never reach the test:
// report what was seen, and check it in the test.
class ChildReport {
 public:
  virtual void Write(const void* data, std::size_t size) = 0;
  void Write(std::string_view text) { Write(text.data(), text.size()); }
  // The bytes of a value, for the test to read back with Child::ReadValue.
  template <typename T>
  void WriteValue(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    Write(&value, sizeof value);
  }

 protected:
  ~ChildReport() = default;
};

// A piece of the test run in a separate process: one of
//   int (ChildReport&), void (ChildReport&), int (), void ()
// where the int is the exit code and void stands for 0.
template <typename Body>
concept ChildBody = std::is_invocable_v<Body&, ChildReport&> || std::is_invocable_v<Body&>;

class Child {
 public:
  // Not started.
  Child() noexcept;
  // Starts a program: argv[0] is a path, or a name looked up on PATH. When
  // it cannot be started, Started() is false and Wait gives -1.
  explicit Child(const std::vector<std::string>& argv, const ChildOptions& options = {});

  // Runs `body` in a separate process that starts as a copy of this one at
  // the moment of the call: the body sees the test's state as it was then,
  // and what it changes stays in that process. What the body writes to its
  // ChildReport is the child's output here (ReadLine, ReadValue, Wait, Out);
  // the value it returns is the child's exit code. The child ends as soon as
  // the body returns: nothing else of the test program runs there, and an
  // exception that escapes the body ends it with kChildBodyThrew.
  //
  // Where a process cannot be copied, an implementation may start the test
  // program again, run the same test up to this call and only then run the
  // body, as death tests do. A test that is to run there too keeps to this:
  //  - it reaches the call the same way on every run: nothing before the
  //    call depends on timing, on another process or on chance, and the
  //    calls of one test are told apart by their order;
  //  - the body relies only on what the test's own steps before the call
  //    make (the fixture, local values, files written, objects created),
  //    not on state left by earlier tests;
  //  - those steps run again in the child, and what they make there is the
  //    child's own: a file the body writes into the test's directory, say,
  //    may not be the test's, so the body reports what the test needs. And
  //    before the call the test starts nothing of which a second copy would
  //    change the outcome.
  // The body may run children of its own.
  template <ChildBody Body>
  static Child Run(Body body, const ChildOptions& options = {}) {
    return RunFunction(
        [body = std::move(body)](ChildReport& report) mutable -> int {
          if constexpr (std::is_invocable_v<Body&, ChildReport&>) {
            if constexpr (std::is_void_v<std::invoke_result_t<Body&, ChildReport&>>) {
              body(report);
              return 0;
            } else {
              return body(report);
            }
          } else if constexpr (std::is_void_v<std::invoke_result_t<Body&>>) {
            body();
            return 0;
          } else {
            return body();
          }
        },
        options);
  }

  // Stopped (killed) and collected if still running.
  ~Child();
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const noexcept;

  // Standard input, when it is a pipe. Write gives false when the child no
  // longer reads it.
  bool Write(std::string_view bytes);
  void CloseInput();

  // Standard output (a program's, when it is a pipe) or the report (a piece
  // of the test). One line, without its line feed; at the end of the output,
  // or when no whole line came within the time, what there is (maybe empty).
  std::string ReadLine(int timeoutMs = kChildWaitMs);
  // Exactly `size` bytes; false when the output ended or the time ran out
  // first (nothing is taken then).
  bool Read(void* data, std::size_t size, int timeoutMs = kChildWaitMs);
  template <typename T>
  bool ReadValue(T& value, int timeoutMs = kChildWaitMs) {
    static_assert(std::is_trivially_copyable_v<T>);
    return Read(&value, sizeof value, timeoutMs);
  }

  // Closes the input, collects the output and error streams while the child
  // runs, and waits for it to end: its exit code, or -1 when it ended
  // otherwise (killed, crashed), never started, or is still running after
  // `timeoutMs` (it is left running then).
  int Wait(int timeoutMs = kChildWaitMs);
  // Whether it has started and not yet been seen to end.
  bool Running();
  // False when it is not running.
  bool Stop(StopRequest request = StopRequest::kill);

  // What the child wrote to a piped output (or its report) and to a piped
  // error stream, collected so far and not yet taken by ReadLine or Read.
  // Complete once Wait has seen the child end.
  const std::string& Out() const noexcept;
  const std::string& Err() const noexcept;

  // The exit code of a piece of the test whose body threw.
  static constexpr int kChildBodyThrew = 125;

  struct State;  // the backend's

 private:
  friend struct ChildAccess;
  static Child RunFunction(std::function<int(ChildReport&)> body, const ChildOptions& options);

  std::unique_ptr<State> m_state;
};

// A program, or a piece of the test, run to its end.
struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally, or not in time
  std::string out;    // standard output, or the report
  std::string err;    // standard error, when piped
};

// Runs a program with its output collected, and waits at most `timeoutMs`
// for it; a child still running then is killed.
ProcessResult RunProgram(const std::vector<std::string>& argv, const ChildOptions& options = {},
                         int timeoutMs = kChildWaitMs);

// Runs a piece of the test as Child::Run does, and waits at most
// `timeoutMs` for it.
template <ChildBody Body>
ProcessResult RunInChild(Body body, const ChildOptions& options = {},
                         int timeoutMs = kChildWaitMs) {
  Child child = Child::Run(std::move(body), options);
  ProcessResult result;
  result.exitCode = child.Wait(timeoutMs);
  result.out = child.Out();
  result.err = child.Err();
  return result;
}

// Children of this process that have ended and that nobody has waited for
// (where ending leaves nothing to collect: always 0).
int UncollectedChildren();

}  // namespace vellumar::testing
