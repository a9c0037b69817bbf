// What the kzlogger tests share: a namespace and a directory of each test's
// own, records sent with kzlog, and the table of ways to ask a running
// logger to stop, to which the POSIX-only tests add the requests that only
// POSIX has.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/case_name.h"
#include "support/child.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"

// Not an unnamed namespace: the stop table is filled from two files, and
// both must name the same fixture.
namespace vellumar::logger::kzlogger_testing {

class KzloggerTest : public ::testing::Test {
 protected:
  testing::PrivateNamespace ns;
  testing::TempDir dir;
  std::string log = dir / "log";
};

// kzlog's exit code after it sent `text` to the logger of the namespace.
inline int KzlogSend(const std::string& text) {
  return testing::RunProgram({testing::Paths().Kzlog(), "send", text}).exitCode;
}

// One way to ask the logger to stop; false when the request could not be
// made.
struct StopCase {
  const char* name;
  bool (*stop)(testing::Child& logger);
};
VELLUMAR_PRINT_AS_CASE_NAME(StopCase)

class StopSignalTest : public KzloggerTest, public ::testing::WithParamInterface<StopCase> {};

}  // namespace vellumar::logger::kzlogger_testing
