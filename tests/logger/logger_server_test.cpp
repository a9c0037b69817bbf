// The logger program's side of the exchange, driven directly: what a module
// finds while it runs, the record it hands on, and what is left once it has
// stopped.
#include "logger/logger_server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/registered_message.h"
#include "support/case_name.h"
#include "support/logger_exchange.h"
#include "support/private_namespace.h"

namespace vellumar::logger {
namespace {

using platform::BlockAccess;
using platform::NamedEvent;
using platform::SharedMapping;
using platform::WaitResult;

class LoggerServerTest : public ::testing::Test {
 protected:
  testing::PrivateNamespace ns;
};

TEST_F(LoggerServerTest, ReplacesALeftBehindBlockAndPublishesALiveWindow) {
  testing::FakeLogger dead(testing::FakeLoggerParts{.blockSize = 64, .windowAlive = false});
  ASSERT_EQ(LoggerFindWindow(), dead.handle());

  LoggerServer server = LoggerServer::Start(4096);
  ASSERT_TRUE(server);
  const LoggerWindow window = LoggerFindWindow();
  EXPECT_NE(window, dead.handle());
  EXPECT_TRUE(platform::WindowExists(window));
  EXPECT_EQ(SharedMapping::Open(kMappedFileName, BlockAccess::read).size(), 4096u);
  NamedEvent gate = NamedEvent::Open(kMapEventName);
  ASSERT_TRUE(gate);
  EXPECT_EQ(gate.Wait(0), WaitResult::signalled) << "the block starts free";
  NamedEvent taken = NamedEvent::Open(kDebugEventName);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken.Wait(0), WaitResult::timeout) << "no record taken yet";
}

TEST_F(LoggerServerTest, StopClearsTheWindowThenRemovesEverything) {
  LoggerServer server = LoggerServer::Start(4096);
  ASSERT_TRUE(server);
  const LoggerWindow window = LoggerFindWindow();
  SharedMapping held = SharedMapping::Open(kMappedFileName, BlockAccess::read);
  platform::SharedView view = held.MapView();
  ASSERT_TRUE(view);
  server.Stop();
  LoggerWindow inBlock = 1;
  std::memcpy(&inBlock, view.data(), sizeof inBlock);
  EXPECT_EQ(inBlock, 0u) << "a module that holds the block sees the window go";
  EXPECT_FALSE(SharedMapping::Open(kMappedFileName, BlockAccess::read));
  EXPECT_FALSE(NamedEvent::Open(kMapEventName));
  EXPECT_FALSE(NamedEvent::Open(kDebugEventName));
  EXPECT_FALSE(platform::WindowExists(window));
  EXPECT_FALSE(server);
  server.Stop();  // twice is harmless
}

// What the server hands on for a record notice. A block of a whole page
// filled to its end has nothing mapped for it beyond that end, so a reader
// that looked past it would not find a NUL there.
struct RecordCase {
  const char* name;
  std::size_t blockSize;
  std::vector<char> area;  // the record area as a sender left it
  std::string record;
};
VELLUMAR_PRINT_AS_CASE_NAME(RecordCase)

class LoggerServerRecordTest : public LoggerServerTest,
                               public ::testing::WithParamInterface<RecordCase> {};

TEST_P(LoggerServerRecordTest, HandsOnTheRecordUpToItsNulAndNeverPastTheBlock) {
  LoggerServer server = LoggerServer::Start(GetParam().blockSize);
  ASSERT_TRUE(server);
  platform::SharedView block = SharedMapping::Open(kMappedFileName, BlockAccess::write).MapView();
  ASSERT_EQ(block.size(), GetParam().blockSize);
  const std::vector<char>& area = GetParam().area;
  ASSERT_LE(kRecordOffset + area.size(), block.size());
  std::memcpy(static_cast<char*>(block.data()) + kRecordOffset, area.data(), area.size());
  NamedEvent taken = NamedEvent::Open(kDebugEventName);

  const unsigned notice = platform::RegisterMessage(kDebugMessageName);
  std::vector<std::string> handed;
  auto take = [&](std::string_view record) { handed.emplace_back(record); };
  EXPECT_FALSE(server.HandleMessage(platform::WindowMessage{notice ^ 1u, 0, 0}, take));
  EXPECT_EQ(taken.Wait(0), WaitResult::timeout) << "another message takes nothing";
  EXPECT_TRUE(server.HandleMessage(platform::WindowMessage{notice, 0, 0}, take));
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0].size(), GetParam().record.size());
  EXPECT_TRUE(handed[0] == GetParam().record);
  EXPECT_EQ(taken.Wait(0), WaitResult::signalled) << "the sender is told";
}

const RecordCase kRecords[] = {
    {"Short", 16, {'h', 'i', '\0', 'x'}, "hi"},
    {"Empty", 16, {'\0', 'x'}, ""},
    {"FillsASmallBlockWithoutNul", 16, std::vector<char>(12, 'r'), std::string(12, 'r')},
    {"FillsAPageWithoutNul", 4096, std::vector<char>(4092, 'p'), std::string(4092, 'p')},
};

INSTANTIATE_TEST_SUITE_P(Records, LoggerServerRecordTest, ::testing::ValuesIn(kRecords),
                         testing::CaseName());

}  // namespace
}  // namespace vellumar::logger
