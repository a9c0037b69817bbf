// The record write into a block of random size, against a model: the block
// holds the prefix and the formatted text cut to capacity - 1 bytes, then one
// NUL, and nothing is written past the block (it is allocated at exactly its
// size, for AddressSanitizer) or after the NUL. Input: two bytes of capacity
// (1 to 1024), one byte of mode, then prefix NUL text. Modes: 0 formats the
// text through "%s"; 1 uses the text as the format, with each '%' doubled;
// 2 passes a null prefix; 3 a null format.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "logger/record_write.h"

namespace {

constexpr std::size_t kLargestBlock = 1024;
constexpr unsigned char kFill = 0x5A;

void Write(char* area, std::size_t capacity, const char* prefix, const char* format, ...) {
  va_list argList;
  va_start(argList, format);
  vellumar::logger::WriteRecord(area, capacity, prefix, format, argList);
  va_end(argList);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::size_t capacity =
      1 + (static_cast<std::size_t>(data[0]) << 8 | data[1]) % kLargestBlock;
  const unsigned mode = data[2] % 4u;
  const std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::size_t split = rest.find('\0');
  const std::string prefix = rest.substr(0, split);
  std::string text = split == std::string::npos ? std::string() : rest.substr(split + 1);
  text = text.substr(0, text.find('\0'));

  std::vector<char> block(capacity, static_cast<char>(kFill));
  std::string whole;
  switch (mode) {
    case 0:
      Write(block.data(), capacity, prefix.c_str(), "%s", text.c_str());
      whole = prefix + text;
      break;
    case 1: {
      std::string format;
      for (char c : text) {
        format += c;
        if (c == '%') format += '%';
      }
      Write(block.data(), capacity, prefix.c_str(), format.c_str());
      whole = prefix + text;
      break;
    }
    case 2:
      Write(block.data(), capacity, nullptr, "%s", text.c_str());
      whole = text;
      break;
    default:
      Write(block.data(), capacity, prefix.c_str(), nullptr);
      whole = prefix;
      break;
  }
  const std::string expected = whole.substr(0, capacity - 1);

  const std::size_t length = strnlen(block.data(), capacity);
  vellumar::fuzz::Check(length < capacity, "the record is NUL-terminated inside the block");
  vellumar::fuzz::CheckEqual(std::string(block.data(), length), expected, "the record");
  for (std::size_t i = length + 1; i < capacity; ++i) {
    vellumar::fuzz::Check(static_cast<unsigned char>(block[i]) == kFill,
                          "nothing written after the NUL");
  }
  return 0;
}
