// FindProfileValue over random text, against a model of the profile rules
// written separately: the text is cut into lines first, then each line is
// classified. Input: section NUL key NUL text; without two NULs the whole
// input is the text and the names are "Sec" and "Key".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/profile_text.h"

namespace {

bool ModelBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A'; }

std::string ModelTrim(const std::string& s) {
  std::size_t first = 0;
  std::size_t last = s.size();
  while (first < last && ModelBlank(s[first])) ++first;
  while (last > first && ModelBlank(s[last - 1])) --last;
  return s.substr(first, last - first);
}

std::string ModelLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool ModelSameName(const std::string& a, std::string_view b) {
  return ModelLower(a) == ModelLower(std::string(b));
}

std::optional<std::string> Model(std::string text, std::string_view section, std::string_view key) {
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  enum { before, inside } state = before;
  for (const std::string& raw : lines) {
    const std::string line = ModelTrim(raw);
    if (line.empty() || line[0] == ';') continue;
    const std::size_t close = line.rfind(']');
    if (line[0] == '[' && close != std::string::npos) {
      if (state == inside) return std::nullopt;  // the first matching section ended
      if (ModelSameName(ModelTrim(line.substr(1, close - 1)), section)) state = inside;
      continue;
    }
    if (state != inside) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (!ModelSameName(ModelTrim(line.substr(0, eq)), key)) continue;
    std::string value = ModelTrim(line.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string section = "Sec";
  std::string key = "Key";
  std::string text = input;
  const std::size_t first = input.find('\0');
  const std::size_t second = first == std::string::npos ? first : input.find('\0', first + 1);
  if (second != std::string::npos) {
    section = input.substr(0, first);
    key = input.substr(first + 1, second - first - 1);
    text = input.substr(second + 1);
  }

  // The text in a block of its own size, so that a read past it is caught.
  std::vector<char> block(text.begin(), text.end());
  const std::string_view view(block.data(), block.size());
  std::string_view value;
  const bool found = vellumar::platform::FindProfileValue(view, section, key, value);
  const std::optional<std::string> expected = Model(text, section, key);

  vellumar::fuzz::Check(found == expected.has_value(), "whether the key is found");
  if (found) {
    vellumar::fuzz::CheckEqual(value, *expected, "the value");
    vellumar::fuzz::Check(
        value.data() >= view.data() && value.data() + value.size() <= view.data() + view.size(),
        "the value lies inside the text");
  }
  return 0;
}
