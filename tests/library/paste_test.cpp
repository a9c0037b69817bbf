// PasteFunc: the pasted text, the packed placeholder offsets, what it leaves
// of the caller's buffer, and its independence of the process locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/environment.h"
#include "support/paths.h"
#include "support/private_namespace.h"
#include "support/temp_files.h"
#include "vellumar/vellumar.h"

namespace {

struct PasteCase {
  const char* label;
  const char* name;
  const char* text;
  std::uint32_t result;
  const char* placeholder;  // nullptr for an unknown name
};

[[maybe_unused]] void PrintTo(const PasteCase& c, std::ostream* os) { *os << c.label; }

const PasteCase kCases[] = {
    {"GetResolutionStr", "GetResolutionStr", "GetResolutionStr( ResolutionStr );", 0x1F0012,
     "ResolutionStr"},
    {"GetResolutionInt", "GetResolutionInt", "GetResolutionInt( ResWidth, ResHeight );", 0x1A0012,
     "ResWidth"},
    {"GetAppVersion", "GetAppVersion", "GetAppVersion( AppVersion );", 0x19000F, "AppVersion"},
    {"GetOSVer", "GetOSVer", "GetOSVer( OSVersion );", 0x13000A, "OSVersion"},
    {"GetLastSaveDate", "GetLastSaveDate", "GetLastSaveDate( Updated );", 0x180011, "Updated"},
    {"LowerCaseKeepsCallerSpelling", "getosver", "getosver( OSVersion );", 0x13000A, "OSVersion"},
    {"UpperCase", "GETRESOLUTIONINT", "GETRESOLUTIONINT( ResWidth, ResHeight );", 0x1A0012,
     "ResWidth"},
    {"LowerCaseWithI", "getresolutionint", "getresolutionint( ResWidth, ResHeight );", 0x1A0012,
     "ResWidth"},
    {"EmptyName", "", "(", 0, nullptr},
    {"PasteFuncHasNoEntry", "PasteFunc", "PasteFunc(", 0, nullptr},
    {"TrailingBlank", "GetOSVer ", "GetOSVer (", 0, nullptr},
    {"LongerName", "GetOSVersion", "GetOSVersion(", 0, nullptr},
    {"ShorterName", "GetResolution", "GetResolution(", 0, nullptr},
    {"NameWithParenthesis", "GetOSVer(", "GetOSVer((", 0, nullptr},
    // 0xDD is the dotted capital I of ISO-8859-9, which a Turkish locale
    // lower-cases to "i"; only ASCII letters fold.
    {"HighByteIsNoLetterI", "GetResolut\xDDonInt", "GetResolut\xDDonInt(", 0, nullptr},
};

constexpr char kGarbage = '\xA5';
// Room for the name, the longest template and its NUL, and a canary after.
constexpr std::size_t kRoom = 25 + 32;

// Calls PasteFunc on a buffer full of garbage and checks the text, the
// result, the marked range, and that no byte after the text's NUL changed.
void ExpectPaste(const PasteCase& c) {
  std::vector<char> buffer(std::strlen(c.name) + kRoom, kGarbage);
  const std::uint32_t result = PasteFunc(c.name, buffer.data());
  EXPECT_EQ(result, c.result) << std::hex << "result 0x" << result << ", expected 0x" << c.result;

  const std::size_t length = strnlen(buffer.data(), buffer.size());
  ASSERT_LT(length, buffer.size()) << "the pasted text has no NUL";
  const std::string text(buffer.data(), length);
  EXPECT_EQ(text, c.text);
  const auto touched = std::find_if(buffer.begin() + static_cast<std::ptrdiff_t>(length) + 1,
                                    buffer.end(), [](char b) { return b != kGarbage; });
  EXPECT_EQ(touched, buffer.end())
      << "byte written past the NUL at offset " << (touched - buffer.begin());

  if (c.placeholder == nullptr) return;
  const std::size_t start = result & 0xFFFFu, end = result >> 16;
  ASSERT_LE(start, end);
  ASSERT_LE(end, text.size());
  EXPECT_EQ(text.substr(start, end - start), c.placeholder);
}

class PasteFuncTable : public ::testing::TestWithParam<PasteCase> {};

TEST_P(PasteFuncTable, PastesCallTextAndMarksFirstPlaceholder) { ExpectPaste(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Names, PasteFuncTable, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.label); });

// Runs a program with its output thrown away; true when it exited with 0.
bool RunQuietly(const std::vector<std::string>& argv) {
  vellumar::testing::ChildOptions quiet;
  quiet.output = quiet.error = vellumar::testing::Redirect::NullDevice();
  return vellumar::testing::RunProgram(argv, quiet).exitCode == 0;
}

// Switches the process to a Turkish locale, where the C library folds "I" to
// the dotless i and the dotted capital I to "i". The locale is built into a
// private directory when localedef can; an installed one serves otherwise.
class PasteFuncTurkishLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = "tr_TR.ISO-8859-9";
    if (RunQuietly({"localedef", "-i", "tr_TR", "-f", "ISO-8859-9", m_dir / name})) {
      m_locPath.emplace("LOCPATH", m_dir.path().c_str());
      if (std::setlocale(LC_ALL, name.c_str()) != nullptr) return;
    }
    m_locPath.reset();
    for (const char* installed : {"tr_TR.ISO-8859-9", "tr_TR.UTF-8", "tr_TR.utf8"}) {
      if (std::setlocale(LC_ALL, installed) != nullptr) return;
    }
    GTEST_SKIP() << "no Turkish locale: localedef could not build tr_TR and none is installed";
  }

  void TearDown() override { std::setlocale(LC_ALL, "C"); }

 private:
  vellumar::testing::TempDir m_dir;
  std::optional<vellumar::testing::ScopedEnv> m_locPath;
};

TEST_F(PasteFuncTurkishLocale, AnswersAsInTheCLocale) {
  ASSERT_NE(std::tolower('I'), 'i') << "the locale does not change letter case; nothing to show";
  for (const PasteCase& c : kCases) {
    SCOPED_TRACE(c.label);
    ExpectPaste(c);
  }
}

// vellumar-call loads the built library and reports what PasteFunc answered.
TEST(PasteFuncCallTool, PrintsTextResultAndPlaceholder) {
  struct Row {
    const char* name;
    const char* output;
  };
  const Row rows[] = {
      {"GetResolutionInt",
       "text: GetResolutionInt( ResWidth, ResHeight );\n"
       "result: 0x001A0012 (1703954)\n"
       "placeholder: ResWidth (offsets 18 to 26)\n"},
      {"PasteFunc",
       "text: PasteFunc(\n"
       "result: 0x00000000 (0)\n"
       "unknown name: no placeholder\n"},
  };
  vellumar::testing::PrivateNamespace ns;  // the library registers at load
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    vellumar::testing::ProcessResult r = vellumar::testing::RunProgram(
        {vellumar::testing::Paths().CallTool(), "PasteFunc", row.name});
    EXPECT_EQ(r.out, row.output);
    EXPECT_EQ(r.exitCode, 0) << r.err;
  }
}

}  // namespace
