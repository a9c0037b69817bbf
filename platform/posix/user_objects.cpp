#include "platform/posix/user_objects.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/object_namespace.h"

namespace vellumar::platform {
namespace {

const char* NamespaceName() noexcept {
  const char* ns = std::getenv("VELLUMAR_NAMESPACE");
  return ns != nullptr && *ns != '\0' ? ns : nullptr;
}

}  // namespace

std::string ObjectNamespaceText() {
  std::string text = "user " + std::to_string(::geteuid());
  if (const char* ns = NamespaceName()) text += " in namespace \"" + std::string(ns) + "\"";
  return text;
}

namespace posix {

bool PerUserObjectName(const char* name, char* out, std::size_t capacity) noexcept {
  const char* ns = NamespaceName();
  const unsigned user = static_cast<unsigned>(::geteuid());
  int n = ns != nullptr ? std::snprintf(out, capacity, "/%s.%s.%u", ns, name, user)
                        : std::snprintf(out, capacity, "/%s.%u", name, user);
  if (n < 0 || static_cast<std::size_t>(n) >= capacity) return false;
  for (char* p = out + 1; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') *p = '_';
  }
  return true;
}

bool OwnedByUserAlone(int fd, struct stat& st) noexcept {
  if (::fstat(fd, &st) != 0) return false;
  return st.st_uid == ::geteuid() && (st.st_mode & 077) == 0 && S_ISREG(st.st_mode);
}

}  // namespace posix
}  // namespace vellumar::platform
