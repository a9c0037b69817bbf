// Where the running program lies, for finding the files installed with it.
#pragma once

#include <string>

namespace vellumar::platform {

// The folder of the running executable, with its trailing separator; empty
// when the system cannot tell.
std::string ExecutableDirectory();

}  // namespace vellumar::platform
