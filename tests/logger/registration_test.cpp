// Registering with the logger client and finding the logger's window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "logger/logger_client.h"
#include "platform/registered_message.h"
#include "platform/shared_block.h"
#include "support/case_name.h"
#include "support/child.h"
#include "support/private_namespace.h"

namespace vellumar::logger {
namespace {

using platform::SharedMapping;

struct TagCase {
  const char* name;
  const char* module;
  const char* tag;
};
VELLUMAR_PRINT_AS_CASE_NAME(TagCase)

const TagCase kTagCases[] = {
    {"EightCharacters", "Vellumar", "Vellumar/"},
    {"SevenCharacters", "UNKNOWN", "UNKNOWN /"},
    {"EndsInSlash", "UNKNOWN/", "UNKNOWN//"},
    {"Short", "Ab", "Ab      /"},
    {"LongName", "ScriptFunctionLibrary", "ScriptFu/"},
    {"NineCharacters", "ABCDEFGHI", "ABCDEFGH/"},
    {"Empty", "", "        /"},
};

class ClientTagTest : public ::testing::TestWithParam<TagCase> {};

// Registration happens once per process, so each row registers in a child.
TEST_P(ClientTagTest, IsTheFirstEightCharactersPaddedAndASlash) {
  testing::PrivateNamespace ns;
  testing::ProcessResult child = testing::RunInChild([](testing::ChildReport& report) {
    LoggerInit(GetParam().module);
    LoggerInit("SomethingElse");  // a later name changes nothing
    report.Write(std::string(g_szClientTag) + "|" + std::to_string(g_bLoggerInit.load()));
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, std::string(GetParam().tag) + "|1");
}

INSTANTIATE_TEST_SUITE_P(Names, ClientTagTest, ::testing::ValuesIn(kTagCases), testing::CaseName());

TEST(Registration, MessageNumbersAreSharedByEveryProcessOfTheUser) {
  testing::PrivateNamespace ns;
  testing::ProcessResult child = testing::RunInChild([](testing::ChildReport& report) {
    LoggerInit("Vellumar");
    report.Write(std::to_string(g_uDebugMsg) + " " + std::to_string(g_uAlarmMsg));
  });
  unsigned debug = platform::RegisterMessage("mHandleDebugMsg");
  unsigned alarm = platform::RegisterMessage("MHANDLEDEBUGALARM");  // case is ignored
  EXPECT_GE(debug, 0xC000u);
  EXPECT_LE(debug, 0xFFFFu);
  EXPECT_GE(alarm, 0xC000u);
  EXPECT_NE(debug, alarm);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, std::to_string(debug) + " " + std::to_string(alarm));
  EXPECT_EQ(platform::RegisterMessage("mhandledebugmsg"), debug);
  EXPECT_EQ(platform::RegisterMessage(""), 0u);
}

TEST(Registration, DifferentNamesGetDifferentNumbers) {
  testing::PrivateNamespace ns;
  std::vector<unsigned> numbers;
  for (int i = 0; i < 200; ++i) {
    unsigned n = platform::RegisterMessage(("message-" + std::to_string(i)).c_str());
    ASSERT_NE(n, 0u);
    numbers.push_back(n);
  }
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end());
}

TEST(Registration, ThreadsRegisteringAtOnceLeaveOneTagAndOnePairOfNumbers) {
  testing::PrivateNamespace ns;
  testing::ProcessResult child = testing::RunInChild([](testing::ChildReport& report) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
      threads.emplace_back([i] { LoggerInit(("Module" + std::to_string(i)).c_str()); });
    }
    for (auto& t : threads) t.join();
    std::string tag = g_szClientTag;
    bool known = tag.size() == 9 && tag.compare(0, 6, "Module") == 0 && tag.substr(7) == " /";
    bool numbers = g_uDebugMsg == platform::RegisterMessage("mHandleDebugMsg") &&
                   g_uAlarmMsg == platform::RegisterMessage("mHandleDebugAlarm");
    report.Write(std::string(known ? "tag ok" : "tag " + tag) +
                 (numbers ? " numbers ok" : " numbers"));
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, "tag ok numbers ok");
}

// The logger's block, as a test playing the logger creates it.
class LoggerBlockTest : public ::testing::Test {
 protected:
  SharedMapping CreateBlock(std::size_t size, std::uint32_t window) {
    SharedMapping block = SharedMapping::Create(kMappedFileName, size);
    EXPECT_TRUE(block);
    if (size >= 4) {
      platform::SharedView view = block.MapView();
      std::memcpy(view.data(), &window, sizeof window);
    }
    return block;
  }
  void TearDown() override { SharedMapping::Remove(kMappedFileName); }

  testing::PrivateNamespace ns_;
};

TEST_F(LoggerBlockTest, NoBlockMeansNoLogger) { EXPECT_EQ(LoggerFindWindow(), 0u); }

TEST_F(LoggerBlockTest, WindowIsTheBlocksFirst32Bits) {
  SharedMapping block = CreateBlock(4096, 0x12345678u);
  EXPECT_EQ(LoggerFindWindow(), 0x12345678u);
}

TEST_F(LoggerBlockTest, ZeroWindowCountsAsNoLogger) {
  SharedMapping block = CreateBlock(4096, 0);
  EXPECT_EQ(LoggerFindWindow(), 0u);
}

TEST_F(LoggerBlockTest, BlockTooSmallForAWindowCountsAsNoLogger) {
  SharedMapping block = CreateBlock(2, 0);
  EXPECT_EQ(LoggerFindWindow(), 0u);
}

TEST_F(LoggerBlockTest, EveryInitRefreshesTheCachedWindowFromAnotherProcess) {
  testing::ProcessResult child = testing::RunInChild([](testing::ChildReport& report) {
    LoggerInit("Vellumar");
    std::string before = std::to_string(g_hLoggerWnd.load());
    // The logger starts in another process after registration.
    testing::RunInChild([] {
      SharedMapping block = SharedMapping::Create(kMappedFileName, 64);
      std::uint32_t window = 77;
      std::memcpy(block.MapView().data(), &window, sizeof window);
    });
    LoggerInit("Other");
    report.Write(before + " " + std::to_string(g_hLoggerWnd.load()) + " " + g_szClientTag);
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, "0 77 Vellumar/");
}

}  // namespace
}  // namespace vellumar::logger
