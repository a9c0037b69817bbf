// The command-line parsing that every tool does the same way.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>

namespace vellumar::tools {

// Parses the command line into `app`. Nothing when the program goes on;
// otherwise the status to exit with, once CLI11 has printed what it had to
// say: 0 after --help (asking for help is no error), `usageExit` after a
// usage error.
inline std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv, int usageExit) {
  try {
    app.parse(argc, argv);
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : usageExit;
  }
}

}  // namespace vellumar::tools
