// The module-definition file that the build makes from the export table, as
// the Windows link reads it: the DLL's name, then every export at its
// ordinal, by its plain name, and nothing else.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "library/export_table.h"
#include "support/paths.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Exports, ModuleDefinitionFileListsTheTableByOrdinal) {
  std::vector<std::string> expected = {"LIBRARY vellumar.dll", "EXPORTS"};
  for (const vellumar::ExportEntry& e : vellumar::kExportTable) {
    expected.push_back(std::string(e.name) + " @" + std::to_string(e.ordinal));
  }
  EXPECT_EQ(Lines(vellumar::testing::Paths().DefFile()), expected);
}

}  // namespace
