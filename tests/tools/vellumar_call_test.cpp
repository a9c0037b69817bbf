// The host caller as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"

namespace vellumar {
namespace {

class VellumarCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteFile(dir_ / "vers_res.inf", {0x20, 0x03, 0x58, 0x02, 0x1A, 0x00});
    testing::WriteText(dir_ / "win.ini", "[Pelorin]\nApplicationDirectory=" + dir_.path() + "\n");
  }
  testing::ProcessResult Call(std::vector<std::string> args) {
    args.insert(args.begin(), testing::Paths().CallTool());
    return testing::RunProgram(
        args, {.environment = {"WININI=" + (dir_ / "win.ini"), ns_.EnvironmentEntry()}});
  }
  testing::TempDir dir_;
  testing::PrivateNamespace ns_;
};

TEST_F(VellumarCallTest, PrintsTheAnswerOfOneExport) {
  testing::ProcessResult r = Call({"GetAppVersion"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Pelorin Version 5.1\n");
  r = Call({"GetResolutionInt"});
  EXPECT_EQ(r.out, "800 600\n");
}

TEST_F(VellumarCallTest, ScriptErrorIsNamedAndExitsTwo) {
  testing::ProcessResult r = Call({"GetOSVer"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Unknown OS\n");
  testing::WriteFile(dir_ / "vers_res.inf", {1, 2, 3, 4});
  r = Call({"GetAppVersion"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "ScriptError 2563 (ERR_INFO_READ)\n");
}

TEST_F(VellumarCallTest, FileErrorShowsCauseOsErrorAndPathAndExitsThree) {
  std::filesystem::remove(dir_ / "vers_res.inf");
  testing::ProcessResult r = Call({"GetResolutionStr"});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.err, "file error: fileNotFound (No such file or directory), path \"" + dir_.path() +
                       "\\vers_res.inf\"\n");
}

TEST_F(VellumarCallTest, UsageProblemsExitOneWithAMessage) {
  struct {
    std::vector<std::string> args;
    const char* message;
  } rows[] = {
      {{}, "name an export or give --all"},
      {{"GetNothing"}, "unknown export \"GetNothing\""},
      {{"--all", "GetOSVer"}, "either --all or one export"},
      {{"--library", "/nonexistent/lib.so", "GetOSVer"}, "cannot load /nonexistent/lib.so"},
      {{"--bogus"}, "--bogus"},
      {{"GetOSVer", "extra", "more"}, "more"},
  };
  for (const auto& row : rows) {
    testing::ProcessResult r = Call(row.args);
    EXPECT_EQ(r.exitCode, 1) << row.message;
    EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
  }
}

TEST_F(VellumarCallTest, HelpDescribesTheCommand) {
  testing::ProcessResult r = Call({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--library"), std::string::npos);
  EXPECT_NE(r.out.find("--all"), std::string::npos);
}

}  // namespace
}  // namespace vellumar
