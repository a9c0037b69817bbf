// The built ELF shared library exports exactly the names of the export
// table: nothing of the core, the C++ runtime or any template may reach its
// dynamic table, and nothing of the table may be missing from it.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "library/export_table.h"
#include "support/paths.h"

namespace {

// The names of the symbols that the library defines in its dynamic table.
std::vector<std::string> DefinedDynamicSymbols(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> names;
  if (image.size() < sizeof(Elf64_Ehdr)) return names;
  Elf64_Ehdr eh;
  std::memcpy(&eh, image.data(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) {
    return names;
  }
  auto section = [&](std::size_t i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, image.data() + eh.e_shoff + i * eh.e_shentsize, sizeof sh);
    return sh;
  };
  for (std::size_t i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh = section(i);
    if (sh.sh_type != SHT_DYNSYM) continue;
    Elf64_Shdr strtab = section(sh.sh_link);
    for (std::size_t off = sh.sh_entsize; off + sizeof(Elf64_Sym) <= sh.sh_size;
         off += sh.sh_entsize) {
      Elf64_Sym sym;
      std::memcpy(&sym, image.data() + sh.sh_offset + off, sizeof sym);
      if (sym.st_shndx == SHN_UNDEF) continue;  // an import, not an export
      names.emplace_back(image.data() + strtab.sh_offset + sym.st_name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Exports, DynamicTableHoldsExactlyTheExportTable) {
  std::vector<std::string> expected;
  for (const vellumar::ExportEntry& e : vellumar::kExportTable) expected.emplace_back(e.name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(DefinedDynamicSymbols(vellumar::testing::Paths().Library()), expected);
}

}  // namespace
