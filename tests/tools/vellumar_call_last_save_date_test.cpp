// vellumar-call asking GetLastSaveDate, as a host would: the real tool in a
// child process, loading the built library, which reads a real profile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/shared_block.h"
#include "support/child_process.h"
#include "support/time_scopes.h"

namespace vellumar {
namespace {

namespace fs = std::filesystem;

// The seconds-and-nanoseconds pair that utimensat takes.
using FileTime = decltype(stat::st_mtim);

class VellumarCallLastSaveDate : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = fs::temp_directory_path().string() + "/vellumar-call-date-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    std::ofstream(m_dir + "/win.ini") << "[Pelorin]\nApplicationDirectory=" << m_dir << "\n";
    const unsigned char info[18] = {0x00, 0x04, 0x00, 0x03, 0xD8, 0x07, 0, 0, 0, 0, 3};
    std::ofstream(m_dir + "/vers_res.inf", std::ios::binary)
        .write(reinterpret_cast<const char*>(info), sizeof info);
  }
  void TearDown() override {
    // The library made its per-namespace message registry in the child.
    const char* inherited = std::getenv("VELLUMAR_NAMESPACE");
    const std::string previous = inherited != nullptr ? inherited : "";
    ::setenv("VELLUMAR_NAMESPACE", m_namespace.c_str(), 1);
    platform::SharedMapping::Remove("vellumar-messages");
    if (inherited != nullptr) {
      ::setenv("VELLUMAR_NAMESPACE", previous.c_str(), 1);
    } else {
      ::unsetenv("VELLUMAR_NAMESPACE");
    }
    std::error_code ignored;
    if (!m_dir.empty()) fs::remove_all(m_dir, ignored);
  }

  void WriteStamp(platform::Instant lastWrite) {
    const std::string path = m_dir + "/app.ver";
    std::ofstream(path).flush();
    const FileTime times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(lastWrite.unixSeconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  struct Result {
    int status;
    std::string out;
    std::string err;
  };
  // In a zone without daylight-saving time the text does not depend on the
  // moment of the call, which a child process cannot have fixed.
  Result Call(const std::vector<std::string>& args) {
    std::vector<std::string> argv{VELLUMAR_CALL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    testing::ChildProcess call(
        argv, {"WININI=" + m_dir + "/win.ini", "TZ=UTC0", "VELLUMAR_NAMESPACE=" + m_namespace});
    Result r;
    r.status = call.Finish(r.out, r.err);
    return r;
  }

  std::string m_dir;
  const std::string m_namespace = "vellumar-last-save-date-" + std::to_string(::getpid());
};

TEST_F(VellumarCallLastSaveDate, PrintsTheText) {
  WriteStamp(testing::Utc(2004, 3, 3, 19, 5, 9));
  const Result r = Call({"GetLastSaveDate"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "19:05:09  March 03, 2004\n");
}

TEST_F(VellumarCallLastSaveDate, PrintsTheEmptyTextAsAnEmptyLine) {
  WriteStamp(testing::Utc(2040, 1, 1));
  const Result r = Call({"GetLastSaveDate"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\n");
}

TEST_F(VellumarCallLastSaveDate, AllIncludesIt) {
  WriteStamp(testing::Utc(1999, 5, 1));
  const Result r = Call({"--all"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nGetLastSaveDate: 00:00:00  May 01, 1999\n"), std::string::npos) << r.out;
}

TEST_F(VellumarCallLastSaveDate, ReportsAMissingStamp) {
  const Result r = Call({"GetLastSaveDate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ScriptError 2564 (ERR_STAMP_OPEN)\n");
}

}  // namespace
}  // namespace vellumar
