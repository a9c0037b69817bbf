// vellumar-call asking GetLastSaveDate, as a host would: the real tool in a
// child process, loading the built library, which reads a real profile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/instant.h"
#include "support/child.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"
#include "support/time_scopes.h"

namespace vellumar {
namespace {

class VellumarCallLastSaveDate : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteText(m_dir / "win.ini", "[Pelorin]\nApplicationDirectory=" + m_dir.path() + "\n");
    testing::WriteFile(m_dir / "vers_res.inf",
                       {0x00, 0x04, 0x00, 0x03, 0xD8, 0x07, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0});
  }

  void WriteStamp(platform::Instant lastWrite) {
    const std::string path = m_dir / "app.ver";
    testing::WriteText(path, "");
    ASSERT_TRUE(testing::SetLastWriteTime(path, lastWrite.unixSeconds))
        << "the file system does not keep the time " << lastWrite.unixSeconds << " s";
  }

  // In a zone without daylight-saving time the text does not depend on the
  // moment of the call, which a child process cannot have fixed.
  testing::ProcessResult Call(std::vector<std::string> args) {
    args.insert(args.begin(), testing::Paths().CallTool());
    return testing::RunProgram(args, {.environment = {"WININI=" + (m_dir / "win.ini"), "TZ=UTC0",
                                                      m_ns.EnvironmentEntry()}});
  }

  testing::TempDir m_dir;
  testing::PrivateNamespace m_ns;  // the library's message registry goes with it
};

TEST_F(VellumarCallLastSaveDate, PrintsTheText) {
  WriteStamp(testing::Utc(2004, 3, 3, 19, 5, 9));
  const testing::ProcessResult r = Call({"GetLastSaveDate"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "19:05:09  March 03, 2004\n");
}

TEST_F(VellumarCallLastSaveDate, PrintsTheEmptyTextAsAnEmptyLine) {
  WriteStamp(testing::Utc(2040, 1, 1));
  const testing::ProcessResult r = Call({"GetLastSaveDate"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "\n");
}

TEST_F(VellumarCallLastSaveDate, AllIncludesIt) {
  WriteStamp(testing::Utc(1999, 5, 1));
  const testing::ProcessResult r = Call({"--all"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\nGetLastSaveDate: 00:00:00  May 01, 1999\n"), std::string::npos) << r.out;
}

TEST_F(VellumarCallLastSaveDate, ReportsAMissingStamp) {
  const testing::ProcessResult r = Call({"GetLastSaveDate"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ScriptError 2564 (ERR_STAMP_OPEN)\n");
}

}  // namespace
}  // namespace vellumar
