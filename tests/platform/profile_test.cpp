// Finding a value in the text of the user's profile, as the Windows profile
// reader does.
#include "platform/profile_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/case_name.h"

namespace vellumar::platform {
namespace {

struct LookupCase {
  const char* name;
  std::string text;
  std::optional<std::string> value;  // nullopt: the key is not found
  const char* section = "Pelorin";   // the section looked up
};
VELLUMAR_PRINT_AS_CASE_NAME(LookupCase)

const LookupCase kLookupCases[] = {
    {"Plain", "[Pelorin]\nApplicationDirectory=/a/b\n", "/a/b"},
    {"NamesIgnoreCase", "[pELORIN]\napplicationdirectory=/a\n", "/a"},
    {"BlanksTrimmed", "  [ Pelorin ]  \n\t ApplicationDirectory \t=  /a b  \r\n", "/a b"},
    {"CrLfLines", "[Pelorin]\r\nApplicationDirectory=/a\r\n", "/a"},
    {"DoubleQuotesRemoved", "[Pelorin]\nApplicationDirectory=\" /a \"\n", " /a "},
    {"SingleQuotesRemoved", "[Pelorin]\nApplicationDirectory='/a'\n", "/a"},
    {"UnmatchedQuotesKept", "[Pelorin]\nApplicationDirectory=\"/a'\n", "\"/a'"},
    {"InnerQuotesKept", "[Pelorin]\nApplicationDirectory=/a\"b\"\n", "/a\"b\""},
    {"EmptyValue", "[Pelorin]\nApplicationDirectory=\n", ""},
    {"SemicolonInsideValueKept", "[Pelorin]\nApplicationDirectory=/a;b ; c\n", "/a;b ; c"},
    {"CommentLineSkipped", "[Pelorin]\n;ApplicationDirectory=/x\nApplicationDirectory=/a\n", "/a"},
    {"IndentedCommentSkipped", "[Pelorin]\n  ; ApplicationDirectory=/x\n", std::nullopt},
    {"FirstKeyWins", "[Pelorin]\nApplicationDirectory=/a\nApplicationDirectory=/b\n", "/a"},
    {"FirstSectionWins", "[Pelorin]\nOther=1\n[Pelorin]\nApplicationDirectory=/b\n", std::nullopt},
    {"OtherSectionIgnored", "[Other]\nApplicationDirectory=/x\n[Pelorin]\nApplicationDirectory=/a",
     "/a"},
    {"KeyOutsideAnySection", "ApplicationDirectory=/x\n", std::nullopt},
    {"KeyPrefixIsNotTheKey", "[Pelorin]\nApplicationDirectoryX=/x\n", std::nullopt},
    {"LineWithoutEqualsIgnored", "[Pelorin]\nApplicationDirectory\nApplicationDirectory=/a", "/a"},
    {"EqualsInValueKept", "[Pelorin]\nApplicationDirectory=/a=b\n", "/a=b"},
    {"NoFinalNewline", "[Pelorin]\nApplicationDirectory=/a", "/a"},
    {"EmptyProfile", "", std::nullopt},
    // Line ends: CR alone (old Macintosh files), LF, CR LF, mixed.
    {"CrOnlyLines", "[Pelorin]\rApplicationDirectory=/a\r", "/a"},
    {"CrEndsTheValue", "[Pelorin]\nApplicationDirectory=/a\rb=c\n", "/a"},
    {"CrEndsTheSectionLine", "[Other]\r[Pelorin]\rApplicationDirectory=/a", "/a"},
    {"MixedLineEnds", "[Other]\r\nX=1\r[Pelorin]\n\rApplicationDirectory=/a\r\n", "/a"},
    {"CrCommentLineSkipped", "[Pelorin]\r;ApplicationDirectory=/x\rApplicationDirectory=/a", "/a"},
    // A UTF-8 byte-order mark is skipped at the start of the file only.
    {"ByteOrderMarkSkipped", "\xEF\xBB\xBF[Pelorin]\nApplicationDirectory=/a\n", "/a"},
    {"ByteOrderMarkInsideIsPartOfTheName",
     "[Pelorin]\n\xEF\xBB\xBF"
     "ApplicationDirectory=/x\n",
     std::nullopt},
    {"TwoByteOrderMarksOnlyOneSkipped",
     "\xEF\xBB\xBF\xEF\xBB\xBF[Pelorin]\nApplicationDirectory=/a", std::nullopt},
    // Ctrl-Z is trimmed like a blank around names and values.
    {"CtrlZAfterTheValue", "[Pelorin]\nApplicationDirectory=/a\x1A\n", "/a"},
    {"CtrlZAtTheEndOfTheFile", "[Pelorin]\nApplicationDirectory=/a\n\x1A", "/a"},
    {"CtrlZAroundNames", "\x1A[\x1APelorin \x1A]\n\x1A ApplicationDirectory\x1A= \x1A/a", "/a"},
    {"CtrlZInsideTheValueKept", "[Pelorin]\nApplicationDirectory=/a\x1A/b\n", "/a\x1A/b"},
    {"CtrlZInsideQuotesKept", "[Pelorin]\nApplicationDirectory=\"/a\x1A\"\n", "/a\x1A"},
    // A '[' line without ']' is an ordinary line, not a section header.
    {"UnclosedBracketIsNoSection", "[Pelorin\nApplicationDirectory=/x\n", std::nullopt},
    {"UnclosedBracketDoesNotEndTheSection", "[Pelorin]\n[Other\nApplicationDirectory=/a\n", "/a"},
    // A section name runs to the last ']' of its line.
    {"SectionNameRunsToTheLastBracket", "[Pelorin]]\nApplicationDirectory=/a\n", "/a", "Pelorin]"},
    {"InnerBracketIsPartOfTheName", "[Pel]orin]\nApplicationDirectory=/a\n", "/a", "Pel]orin"},
    {"FirstBracketDoesNotEndTheName", "[Pelorin] x]\nApplicationDirectory=/x\n", std::nullopt},
    {"TextAfterTheLastBracketIgnored", "[Pelorin] ; note\nApplicationDirectory=/a\n", "/a"},
    // Values are bytes, never transcoded.
    {"HighBytesKept", "[Pelorin]\nApplicationDirectory=/caf\xC3\xA9/\xE9\xFF\n",
     "/caf\xC3\xA9/\xE9\xFF"},
};

class ProfileLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookupTest, FindsTheValueAsTheProfileReaderDoes) {
  const LookupCase& c = GetParam();
  std::string_view found;
  bool ok = FindProfileValue(c.text, c.section, "ApplicationDirectory", found);
  ASSERT_EQ(ok, c.value.has_value());
  if (ok) {
    EXPECT_EQ(std::string(found), *c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ProfileLookupTest, ::testing::ValuesIn(kLookupCases),
                         vellumar::testing::CaseName());

}  // namespace
}  // namespace vellumar::platform
