// Start-up through the real load path: a separate process loads the built
// shared library with a profile of the test's making.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/environment.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"

namespace vellumar {
namespace {

const std::vector<unsigned char> kSampleInfo = {0x00, 0x04, 0x00, 0x03, 0xD8, 0x07, 0, 0, 0,
                                                0,    3,    0,    0,    0,    0,    0, 0, 0};

class StartupTest : public ::testing::Test {
 protected:
  // A profile holding `body` under [Pelorin]; returns its path.
  std::string Profile(const std::string& body) {
    std::string path = dir_ / "win.ini";
    testing::WriteText(path, "; written by the test\n[Pelorin]\n" + body + "\n");
    return path;
  }
  // An application directory of exactly `length` characters holding the sample file.
  std::string AppDirectoryOfLength(std::size_t length) {
    std::string base = dir_ / "";
    std::string path = base + std::string(length - base.size(), 'a');
    std::filesystem::create_directories(path);
    testing::WriteFile(path + "/vers_res.inf", kSampleInfo);
    testing::WriteText(path + "/app.ver", "saved");
    return path;
  }
  testing::ProcessResult CallAll(const std::string& profile) {
    return testing::RunProgram(
        {testing::Paths().CallTool(), "--library", testing::Paths().Library(), "--all"},
        {.environment = {"WININI=" + profile, ns_.EnvironmentEntry()}});
  }

  testing::TempDir dir_;
  testing::PrivateNamespace ns_;
};

const char kSampleAnswers[] =
    "GetResolutionStr: 1024 x 768\n"
    "GetResolutionInt: 1024 768\n"
    "GetAppVersion: Pelorin Version 7.0\n"
    "GetOSVer: Windows NT\n"
    "GetLastSaveDate: ";

const char kOpenFailures[] =
    "GetAppVersion: ScriptError 2562 (ERR_INFO_OPEN)\n"
    "GetOSVer: ScriptError 2562 (ERR_INFO_OPEN)\n"
    "GetLastSaveDate: ScriptError 2564 (ERR_STAMP_OPEN)\n";

TEST_F(StartupTest, ProfileValueLocatesTheApplicationAtLoad) {
  std::string app = AppDirectoryOfLength(60);
  testing::ProcessResult r = CallAll(Profile("ApplicationDirectory = " + app));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, sizeof kSampleAnswers - 1), kSampleAnswers);
}

TEST_F(StartupTest, LongestDirectoryThatFitsStillAnswers) {
  std::string app = AppDirectoryOfLength(242);
  testing::ProcessResult r = CallAll(Profile("ApplicationDirectory=" + app));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, sizeof kSampleAnswers - 1), kSampleAnswers);
}

struct UnconfiguredCase {
  const char* name;
  std::string body;
};
VELLUMAR_PRINT_AS_CASE_NAME(UnconfiguredCase)

const UnconfiguredCase kUnconfigured[] = {
    {"KeyAbsent", "Other=1"},
    {"NoneInCapitals", "ApplicationDirectory=NONE"},
    {"NoneMixedCase", "ApplicationDirectory=\"nOne\""},
};

class UnconfiguredTest : public StartupTest,
                         public ::testing::WithParamInterface<UnconfiguredCase> {};

TEST_P(UnconfiguredTest, LoadsAndEveryQueryFailsAtItsOpen) {
  testing::ProcessResult r = CallAll(Profile(GetParam().body));
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("GetResolutionStr: file error: fileNotFound"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(kOpenFailures), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Profiles, UnconfiguredTest, ::testing::ValuesIn(kUnconfigured),
                         testing::CaseName());

TEST_F(StartupTest, DirectoryTooLongForItsPathsIsRefused) {
  for (std::size_t length : {243u, 254u}) {
    std::string app = AppDirectoryOfLength(length);
    testing::ProcessResult r = CallAll(Profile("ApplicationDirectory=" + app));
    EXPECT_EQ(r.exitCode, 3) << length;
    EXPECT_NE(r.err.find(kOpenFailures), std::string::npos) << length << ": " << r.err;
  }
}

TEST_F(StartupTest, ValueOverTheLimitIsCutTo254Characters) {
  // Cut to 254 characters, the value names a directory that cannot fit its
  // paths, so it is refused like any other such directory.
  std::string app = AppDirectoryOfLength(200);
  testing::ProcessResult r =
      CallAll(Profile("ApplicationDirectory=" + app + std::string(300, 'z')));
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.err.find(kOpenFailures), std::string::npos) << r.err;
}

// InitInstance has run by the time the load returns, and it read the profile
// the process had then: a later change has no effect on the loaded library.
TEST_F(StartupTest, PathsAreFixedBeforeAnyExportAndNeverReread) {
  std::string app = AppDirectoryOfLength(50);
  std::string profile = Profile("ApplicationDirectory=" + app);
  const std::string library = testing::Paths().Library();
  testing::ScopedEnv winini("WININI", profile.c_str());
  const testing::ProcessResult answers = testing::RunInChild([&](testing::ChildReport& report) {
    std::string error;
    platform::DynamicLibrary lib = platform::DynamicLibrary::Load(library.c_str(), error);
    if (!lib) {
      report.Write("load failed: " + error);
      return;
    }
    Profile("ApplicationDirectory=none");
    auto query = lib.Find<void (*)(char*)>("GetAppVersion");
    if (query == nullptr) {
      report.Write("no GetAppVersion");
      return;
    }
    char first[64] = {}, second[64] = {};
    query(first);
    std::filesystem::remove(app + "/vers_res.inf");
    testing::WriteFile(app + "/vers_res.inf", {0, 0, 0, 0, 24, 0});
    query(second);
    lib.Close();
    report.Write(std::string(first) + "|" + second);
  });
  EXPECT_EQ(answers.exitCode, 0);
  EXPECT_EQ(answers.out, "Pelorin Version 7.0|Pelorin Version 4.1");
}

}  // namespace
}  // namespace vellumar
