// The debugger break: stops in the debugger when one is attached to the
// process, and otherwise does nothing, so a program without a debugger goes
// on instead of dying of the break.
#pragma once

namespace vellumar::platform {

// Whether a debugger is attached to this process now.
bool DebuggerAttached() noexcept;

void BreakIntoDebugger() noexcept;

namespace test {
// Called in place of the break until the previous hook is put back; nullptr
// restores the break. For tests only; production code never calls it.
using BreakHook = void (*)();
BreakHook SetDebugBreakHook(BreakHook hook) noexcept;
}  // namespace test

}  // namespace vellumar::platform
