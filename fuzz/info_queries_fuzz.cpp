// The four information queries over random file contents and lengths,
// against a model of the file: width and height u16 at 0 and 2, the version
// u16 at 4, the OS code u32 at 10, all little-endian; bytes past the end of a
// short file read as zero, except that the version needs at least its low
// byte and the OS code needs a file of 18 bytes. Input: one byte that picks
// the query (bits 0-1) and whether the file is there at all (bit 2), then the
// file's bytes.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "library/data_paths.h"
#include "vellumar/vellumar.h"

namespace {

namespace fs = std::filesystem;

// A directory of its own for the information file, removed at exit.
const fs::path& AppDirectory() {
  static const fs::path dir = [] {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path made = fs::temp_directory_path() / ("vellumar-fuzz-" + std::to_string(stamp));
    fs::create_directory(made);
    std::snprintf(vellumar::g_szAppDirectory, sizeof vellumar::g_szAppDirectory, "%s",
                  made.string().c_str());
    vellumar::ComposeDataPaths();
    vellumar::fuzz::Check(vellumar::g_szInfoFilePath[0] != '\0', "the data paths are composed");
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(AppDirectory(), ignored);
    });
    return made;
  }();
  return dir;
}

std::uint32_t ModelField(const std::uint8_t* file, std::size_t length, std::size_t offset,
                         std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (offset + i < length) value |= static_cast<std::uint32_t>(file[offset + i]) << (8 * i);
  }
  return value;
}

std::string ModelVersion(std::uint32_t code) {
  switch (code) {
    case 0:
    case 1999:
      return "Pelorin Version Pre 4.1 (16-bit)";
    case 24:
      return "Pelorin Version 4.1";
    case 25:
      return "Pelorin Version 5.0";
    case 26:
      return "Pelorin Version 5.1";
    case 27:
      return "Pelorin Version 5.6";
    case 2004:
      return "Pelorin Version 5.0b";
    case 2005:
      return "Pelorin Version 5.1b";
    case 2006:
      return "Pelorin Version 6.0";
    case 2008:
      return "Pelorin Version 7.0";
    default:
      return "Unknown Pelorin Version";
  }
}

std::string ModelOs(std::uint32_t code) {
  if (code == 1 || code == 2) return "Windows 3.x";
  if (code == 3) return "Windows NT";
  if (code == 4) return "Windows 9x";
  return "Unknown";
}

// What a call did, as text: the answer, "script <code>" or "file error".
template <typename Call>
std::string Outcome(Call call) {
  try {
    return call();
  } catch (vellumar::ScriptError code) {
    return "script " + std::to_string(code);
  } catch (const CFileException&) {
    return "file error";
  }
}

constexpr unsigned char kFill = 0xA5;
constexpr std::size_t kTextBuffer = 64;

// Calls a text query; a raising call must leave the buffer as it was, and a
// call that answers writes nothing after the answer's NUL.
template <typename Query>
std::string CallText(Query query) {
  char buffer[kTextBuffer];
  std::memset(buffer, kFill, sizeof buffer);
  const std::string outcome = Outcome([&] {
    query(buffer);
    const std::size_t n = strnlen(buffer, sizeof buffer);
    vellumar::fuzz::Check(n < sizeof buffer, "the answer is NUL-terminated");
    for (std::size_t i = n + 1; i < sizeof buffer; ++i) {
      vellumar::fuzz::Check(static_cast<unsigned char>(buffer[i]) == kFill,
                            "nothing written after the NUL");
    }
    return std::string(buffer, n);
  });
  if (outcome.starts_with("script ") || outcome == "file error") {
    for (char c : buffer) {
      vellumar::fuzz::Check(static_cast<unsigned char>(c) == kFill, "a raising call wrote");
    }
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned query = data[0] & 3u;
  const bool present = (data[0] & 4u) == 0;
  const std::uint8_t* file = data + 1;
  const std::size_t length = size - 1;

  const fs::path path = AppDirectory() / "vers_res.inf";
  std::error_code ignored;
  fs::remove(path, ignored);
  if (present) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file), static_cast<std::streamsize>(length));
  }

  const std::uint32_t width = ModelField(file, length, 0, 2);
  const std::uint32_t height = ModelField(file, length, 2, 2);
  std::string got;
  std::string expected;
  switch (query) {
    case 0:
      got = CallText(GetResolutionStr);
      expected = present ? std::to_string(width) + " x " + std::to_string(height) : "file error";
      break;
    case 1: {
      std::int32_t w = -7;
      std::int32_t h = -7;
      got = Outcome([&] {
        GetResolutionInt(&w, &h);
        return std::to_string(w) + " " + std::to_string(h);
      });
      if (got == "file error") vellumar::fuzz::Check(w == -7 && h == -7, "a raising call wrote");
      expected = present ? std::to_string(width) + " " + std::to_string(height) : "file error";
      break;
    }
    case 2:
      got = CallText(GetAppVersion);
      if (!present) {
        expected = "script " + std::to_string(vellumar::ERR_INFO_OPEN);
      } else if (length <= 4) {
        expected = "script " + std::to_string(vellumar::ERR_INFO_READ);
      } else {
        expected = ModelVersion(ModelField(file, length, 4, 2));
      }
      break;
    default:
      got = CallText(GetOSVer);
      if (!present) {
        expected = "script " + std::to_string(vellumar::ERR_INFO_OPEN);
      } else if (length < 18) {
        expected = "Unknown OS";
      } else {
        expected = ModelOs(ModelField(file, length, 10, 4));
      }
      break;
  }
  vellumar::fuzz::CheckEqual(got, expected, "the query's outcome");
  return 0;
}
