// kzlog: sends records through the logger client, as a module would, and
// starts or finds the logger.
//
//   kzlog send [--fatal] [--prefix TEXT] [--module NAME] TEXT
//   kzlog launch [--module NAME]
//   kzlog find
//
// Exit status of send: 0 when the client reported the record delivered (or
// no logger running), 1 when it was not delivered. 0 for launch and find;
// 2 on a usage error.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>

#include "logger/logger_client.h"
#include "tools/cli.h"

namespace {

namespace logger = vellumar::logger;

constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kzlog: sends records to the diagnostic logger, starts it, or finds it"};
  app.require_subcommand(1);

  bool fatal = false;
  std::string prefix;
  std::string module;
  std::string text;
  CLI::App* send = app.add_subcommand("send", "deliver TEXT as one record");
  send->add_flag("--fatal", fatal, "mark the record fatal: ask whether to continue");
  send->add_option("--prefix", prefix, "text written before the record")->type_name("TEXT");
  send->add_option("--module", module, "register under this module name first")->type_name("NAME");
  send->add_option("text", text, "the record")->required()->type_name("TEXT");

  std::string launchModule;
  CLI::App* launch = app.add_subcommand("launch", "start the logger program unless one is known");
  launch->add_option("--module", launchModule, "module name to register under")->type_name("NAME");

  CLI::App* find = app.add_subcommand("find", "print the logger's window handle (0 when none)");

  if (const std::optional<int> exit =
          vellumar::tools::ParseCommandLine(app, argc, argv, kExitUsage)) {
    return *exit;
  }

  if (send->parsed()) {
    if (send->count("--module") > 0) logger::LoggerInit(module.c_str());
    return logger::LoggerSendf(fatal ? 1 : 0, prefix.c_str(), "%s", text.c_str()) == 1 ? 0 : 1;
  }
  if (launch->parsed()) {
    logger::LoggerLaunch(launchModule.c_str());
    return 0;
  }
  if (find->parsed()) {
    std::printf("%u\n", static_cast<unsigned>(logger::LoggerFindWindow()));
    return 0;
  }
  return kExitUsage;
}
