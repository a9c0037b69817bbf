// A fresh application directory for the information-file queries, and the
// files to put in it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "library/data_paths.h"
#include "support/query_outcome.h"
#include "support/temp_files.h"
#include "vellumar/vellumar.h"

namespace vellumar::testing {

// Points the library at a fresh application directory.
class InfoFileTest : public ::testing::Test {
 protected:
  void SetUp() override { UseDirectory(dir_.path()); }

  static void UseDirectory(const std::string& directory) {
    std::memset(g_szAppDirectory, 0, sizeof g_szAppDirectory);
    std::memcpy(g_szAppDirectory, directory.data(), directory.size());
    ComposeDataPaths();
  }
  std::string InfoPath() const { return dir_ / "vers_res.inf"; }
  void WriteInfo(const std::vector<unsigned char>& bytes) const { WriteFile(InfoPath(), bytes); }

  // What each of the four queries answered or raised.
  struct Answers {
    Outcome str, ints, version, os;
  };
  static Answers AskAll() {
    return {CallText(GetResolutionStr), CallResolutionInt(), CallText(GetAppVersion),
            CallText(GetOSVer)};
  }

  TempDir dir_;
};

// An 18-byte file with the given version and system codes.
inline std::vector<unsigned char> InfoFile(std::uint16_t version, std::uint32_t os) {
  std::vector<unsigned char> b(18, 0);
  b[4] = static_cast<unsigned char>(version);
  b[5] = static_cast<unsigned char>(version >> 8);
  for (int i = 0; i < 4; ++i)
    b[10 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(os >> (8 * i));
  return b;
}

}  // namespace vellumar::testing
