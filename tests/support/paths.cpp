#include "support/paths.h"

#include <cstdlib>
#include <stdexcept>

namespace vellumar::testing {
namespace {

std::string Required(const char* variable, const char* what) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') {
    throw std::runtime_error(std::string(variable) + " is not set: it names " + what +
                             ", and CTest sets it for every test; outside CTest, set it yourself");
  }
  return value;
}

}  // namespace

std::string BuiltPaths::Library() const {
  return Required("VELLUMAR_TEST_LIBRARY", "the built shared library");
}
std::string BuiltPaths::DefFile() const {
  return Required("VELLUMAR_TEST_DEF_FILE", "the module-definition file the build made");
}
std::string BuiltPaths::CallTool() const {
  return Required("VELLUMAR_TEST_CALL_TOOL", "the built vellumar-call");
}
std::string BuiltPaths::Kzlogger() const {
  return Required("VELLUMAR_TEST_KZLOGGER", "the built kzlogger");
}
std::string BuiltPaths::Kzlog() const { return Required("VELLUMAR_TEST_KZLOG", "the built kzlog"); }
std::string BuiltPaths::SourceDir() const {
  return Required("VELLUMAR_TEST_SOURCE_DIR", "the top of the source tree");
}

const BuiltPaths& Paths() {
  static const BuiltPaths paths;
  return paths;
}

}  // namespace vellumar::testing
