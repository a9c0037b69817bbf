// Named objects - shared blocks, events, windows, instance locks and
// registered message numbers - live in a namespace of the user's own: no
// other user can see, plant, open, notify or take over a name in it.
// VELLUMAR_NAMESPACE, when set and not empty, names a separate set of
// objects inside it, so that a second logger (a test run's, say) never
// meets the user's usual one.
#pragma once

#include <string>

namespace vellumar::platform {

// The namespace in words, for messages: the user, and the name that
// VELLUMAR_NAMESPACE gives when it is set.
std::string ObjectNamespaceText();

}  // namespace vellumar::platform
