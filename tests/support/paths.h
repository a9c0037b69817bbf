// Where the built programs are. The test run passes their paths in the
// environment (CTest sets these variables on every test), since a run on
// another system finds them elsewhere, under other names:
//
//   VELLUMAR_TEST_LIBRARY     the shared library a host loads
//   VELLUMAR_TEST_DEF_FILE    the module-definition file made from the export table
//   VELLUMAR_TEST_CALL_TOOL   vellumar-call
//   VELLUMAR_TEST_KZLOGGER    kzlogger
//   VELLUMAR_TEST_KZLOG       kzlog
//   VELLUMAR_TEST_SOURCE_DIR  the top of the source tree
//
// Asking for one that is not set throws, which fails the test with the
// variable's name.
#pragma once

#include <string>

namespace vellumar::testing {

class BuiltPaths {
 public:
  std::string Library() const;
  std::string DefFile() const;
  std::string CallTool() const;
  std::string Kzlogger() const;
  std::string Kzlog() const;
  std::string SourceDir() const;
};

const BuiltPaths& Paths();

}  // namespace vellumar::testing
