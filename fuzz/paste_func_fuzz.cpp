// PasteFunc over random names, against a model: the five templates with
// their placeholder offsets counted by hand, ASCII-only letter case, and the
// offsets packed as stop << 16 | start, each cut to 16 bits. The output
// buffer is exactly strlen(name) + 25 bytes, the most a call may write, so
// that AddressSanitizer catches a write past it; within it, nothing may be
// written after the answer's NUL.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "vellumar/vellumar.h"

namespace {

struct ModelTemplate {
  const char* name;
  const char* text;
  std::size_t stop;  // where the first placeholder ends
};

const ModelTemplate kModel[] = {
    {"getresolutionstr", "( ResolutionStr );", 15},
    {"getresolutionint", "( ResWidth, ResHeight );", 10},
    {"getappversion", "( AppVersion );", 12},
    {"getosver", "( OSVersion );", 11},
    {"getlastsavedate", "( Updated );", 9},
};

constexpr std::size_t kMostAdded = 25;  // the longest template and its NUL
constexpr unsigned char kFill = 0xA5;

std::string ModelLower(const std::string& s) {
  static constexpr char kUpper[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  static constexpr char kLower[] = "abcdefghijklmnopqrstuvwxyz";
  std::string lower = s;
  for (char& c : lower) {
    const char* at = std::strchr(kUpper, c);
    if (c != '\0' && at != nullptr) c = kLower[at - kUpper];
  }
  return lower;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size);
  name = name.substr(0, name.find('\0'));

  std::vector<char> buffer(name.size() + kMostAdded, static_cast<char>(kFill));
  const std::uint32_t packed = PasteFunc(name.c_str(), buffer.data());

  std::string expected = name + "(";
  std::uint32_t expectedPacked = 0;
  for (const ModelTemplate& t : kModel) {
    if (ModelLower(name) == t.name) {
      expected = name + t.text;
      const auto start = static_cast<std::uint16_t>(name.size() + 2);
      const auto stop = static_cast<std::uint16_t>(name.size() + t.stop);
      expectedPacked = static_cast<std::uint32_t>(stop) << 16 | start;
    }
  }

  const std::size_t length = strnlen(buffer.data(), buffer.size());
  vellumar::fuzz::Check(length < buffer.size(), "the text is NUL-terminated in the buffer");
  vellumar::fuzz::CheckEqual(std::string(buffer.data(), length), expected, "the pasted text");
  vellumar::fuzz::Check(packed == expectedPacked, "the packed placeholder offsets");
  for (std::size_t i = length + 1; i < buffer.size(); ++i) {
    vellumar::fuzz::Check(static_cast<unsigned char>(buffer[i]) == kFill,
                          "nothing written after the NUL");
  }
  return 0;
}
