// The shared library's entry point: attach when the module is loaded (by
// dlopen or at program start), detach when it is unloaded.
#include <cstdlib>

#include "platform/cwinapp.h"

namespace {

void DetachModule() { vellumar::platform::AfxModuleDetach(); }

// Runs after the application object is built (it has a higher init
// priority) and before any export can be reached. The detach handler is
// registered after the object's destructor, so it runs before it.
__attribute__((constructor(1001))) void AttachModule() {
  if (vellumar::platform::AfxModuleAttach()) std::atexit(DetachModule);
}

}  // namespace
