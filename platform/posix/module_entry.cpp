// The shared library's entry on POSIX: what DllMain is to a Windows DLL. The
// module is attached when it is loaded (by dlopen, or at program start for a
// host linked against it) and detached when it is unloaded (dlclose, or at
// exit), through the same hooks that DllMain calls.
//
// Nothing here may run before the application object exists, and detach must
// call ExitInstance before that object is destroyed. Both follow from where
// this object stands among the module's static initialisers: the build links
// this file last into the shared library only (in a library of its own, after
// the core and the platform layer), and static initialisers without a
// priority run in link order, so the entry is built after the application
// object. Objects are destroyed in the reverse order, at dlclose as at exit,
// so the entry detaches while the application object still exists. Tests and
// tools that link the core do not carry this file and do not attach.
#include "platform/cwinapp.h"

namespace vellumar::platform {
namespace {

class ModuleEntry {
 public:
  ModuleEntry() noexcept { AfxModuleAttach(); }
  ~ModuleEntry() { AfxModuleDetach(); }  // does nothing unless attached

  ModuleEntry(const ModuleEntry&) = delete;
  ModuleEntry& operator=(const ModuleEntry&) = delete;
};

const ModuleEntry g_moduleEntry;

}  // namespace
}  // namespace vellumar::platform
