// The debugger break in a real child process with no debugger, and its test
// hook.
#include "platform/debug_break.h"

#include <gtest/gtest.h>

#include "support/child.h"

namespace vellumar::platform {
namespace {

TEST(DebugBreakTest, WithoutADebuggerTheProcessGoesOn) {
  testing::Child child = testing::Child::Run([] {
    if (DebuggerAttached()) return 1;
    BreakIntoDebugger();
    return 0;  // still alive
  });
  EXPECT_EQ(child.Wait(), 0);
}

int g_breaks = 0;
void CountBreak() { ++g_breaks; }

TEST(DebugBreakTest, TheHookIsCalledInPlaceOfTheBreak) {
  testing::Child child = testing::Child::Run([] {
    test::SetDebugBreakHook(CountBreak);
    BreakIntoDebugger();
    BreakIntoDebugger();
    test::SetDebugBreakHook(nullptr);
    BreakIntoDebugger();  // the real break: no debugger, nothing happens
    return g_breaks;
  });
  EXPECT_EQ(child.Wait(), 2);
}

}  // namespace
}  // namespace vellumar::platform
