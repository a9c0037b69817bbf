// The program's terminal and its standard output, as a program that may be
// started with neither (by a module, say) asks about them.
#pragma once

namespace vellumar::platform {

// Whether the program has a terminal of its own, where a user could be
// watching and answering.
bool HasControllingTerminal() noexcept;

// Whether standard output leads somewhere that takes what is written: a
// terminal, a file or another program, but not the null device, and not
// nothing at all.
bool StandardOutputIsUseful() noexcept;

// From now on, writing to an output whose reader has gone (a closed pipe)
// fails with an error instead of ending the program.
void SurviveClosedOutputs() noexcept;

}  // namespace vellumar::platform
