// What every fuzz target does when its result and its model disagree: say
// what differed and abort, so that libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vellumar::fuzz {

[[noreturn]] inline void Mismatch(const char* what, std::string_view got,
                                  std::string_view expected) {
  std::fprintf(stderr, "model mismatch: %s\n  got:      \"%.*s\"\n  expected: \"%.*s\"\n", what,
               static_cast<int>(got.size()), got.data(), static_cast<int>(expected.size()),
               expected.data());
  std::abort();
}

inline void Check(bool ok, const char* what) {
  if (!ok) Mismatch(what, "false", "true");
}

inline void CheckEqual(std::string_view got, std::string_view expected, const char* what) {
  if (got != expected) Mismatch(what, got, expected);
}

}  // namespace vellumar::fuzz
