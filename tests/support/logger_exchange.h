// Helpers for tests of the logger exchange: the real logger program started
// in the test's namespace (see private_namespace.h), and a stand-in logger
// whose every part a test can leave out.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/message_window.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"
#include "support/child.h"

namespace vellumar::testing {

// Starts kzlogger with `args` and waits until its live window stands in the
// block. Throws when it cannot be started, ends first, or its window does
// not come in time; what it wrote to a piped error stream is in the message.
Child StartKzlogger(const std::vector<std::string>& args, const ChildOptions& options = {});

// A stand-in logger in the test process: the block, the two events and a
// window, each present or not, and a window that may be gone already.
struct FakeLoggerParts {
  std::size_t blockSize = 4096;
  bool window = true;       // a window handle in the block
  bool windowAlive = true;  // ... whose window still exists
  bool mapEvent = true;
  bool mapEventSignalled = true;
  bool debugEvent = true;
};

class FakeLogger {
 public:
  explicit FakeLogger(const FakeLoggerParts& parts = {});
  platform::WindowHandle handle() const { return m_handle; }
  // The block from byte 4, up to its NUL or its end.
  std::string Record() const;
  // Fills the record area with a pattern that no record looks like.
  void FillRecordArea();
  bool RecordAreaUntouched() const;
  platform::NamedEvent& mapEvent() { return m_mapEvent; }
  platform::MessageWindow& window() { return m_window; }

 private:
  platform::SharedMapping m_mapping;
  platform::SharedView m_block;
  platform::NamedEvent m_mapEvent;
  platform::NamedEvent m_debugEvent;
  platform::MessageWindow m_window;
  platform::WindowHandle m_handle = 0;
};

}  // namespace vellumar::testing
