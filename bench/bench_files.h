// The sample application that every benchmark reads: an information file
// and a save stamp in a private temporary directory, made once per run and
// removed at exit, with the library's data paths pointing at them.
#pragma once

#include <string>

namespace vellumar::bench {

// The directory, made on first use.
const std::string& AppDirectory();

}  // namespace vellumar::bench
