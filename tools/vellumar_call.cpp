// vellumar-call: a small host that does what the product's script engine
// does. It loads the library, looks an export up by name, calls it, and
// reports what it answered or raised. "vellumar-call PasteFunc NAME" pastes
// the call text of NAME.
//
// Exit status: 0 answered, 2 a ScriptError, 3 a file error, 1 a usage or
// load problem.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "library/export_table.h"  // made by the build from library/exports.txt
#include "platform/dynamic_library.h"
#include "platform/executable_path.h"
#include "platform/os_error.h"
#include "tools/cli.h"
#include "vellumar/vellumar.h"

namespace {

constexpr int kExitAnswered = 0;
constexpr int kExitUsage = 1;
constexpr int kExitScriptError = 2;
constexpr int kExitFileError = 3;

using TextQuery = void (*)(char*);
using IntQuery = void (*)(std::int32_t*, std::int32_t*);
using PasteCall = std::uint32_t (*)(const char*, char*);

// Every buffer handed to the library is larger than any answer it can give.
constexpr std::size_t kAnswerBuffer = 256;

namespace platform = vellumar::platform;
using platform::DynamicLibrary;

constexpr std::string_view kPasteExport = "PasteFunc";

// How each query export is called: with a text buffer, or with two integers.
// The queries and their order come from the export table; this only adds
// what the table cannot say.
struct Export {
  std::string_view name;
  enum Kind { text, twoInts } kind;
};

constexpr Export kQueryKinds[] = {
    {"GetResolutionStr", Export::text}, {"GetResolutionInt", Export::twoInts},
    {"GetAppVersion", Export::text},    {"GetOSVer", Export::text},
    {"GetLastSaveDate", Export::text},
};

constexpr const Export* KindOf(std::string_view name) {
  for (const Export& q : kQueryKinds) {
    if (q.name == name) return &q;
  }
  return nullptr;
}

constexpr bool InExportTable(std::string_view name) {
  for (const vellumar::ExportEntry& e : vellumar::kExportTable) {
    if (e.name == name) return true;
  }
  return false;
}

// Every export but PasteFunc is a query of a known kind, and every kind
// names an export: a change to the table must be reflected here.
constexpr bool KindsMatchTheExportTable() {
  for (const vellumar::ExportEntry& e : vellumar::kExportTable) {
    if ((e.name == kPasteExport) == (KindOf(e.name) != nullptr)) return false;
  }
  for (const Export& q : kQueryKinds) {
    if (!InExportTable(q.name)) return false;
  }
  return InExportTable(kPasteExport);
}
static_assert(KindsMatchTheExportTable(), "vellumar-call does not know how to call every export");

// The queries in the order of the export table.
std::vector<const Export*> AllQueries() {
  std::vector<const Export*> queries;
  for (const vellumar::ExportEntry& e : vellumar::kExportTable) {
    if (const Export* q = KindOf(e.name)) queries.push_back(q);
  }
  return queries;
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

// The library built beside this program, or installed beside its bin/.
std::string DefaultLibrary(const char* fileName) {
  const std::string dir = platform::ExecutableDirectory();
  if (dir.empty()) return fileName;
  std::string beside = dir + fileName;
  if (Exists(beside)) return beside;
  std::string installed = dir + VELLUMAR_INSTALLED_LIBRARY_DIR + "/" + fileName;
  if (Exists(installed)) return installed;
  return beside;
}

// Calls one export and prints its answer (prefixed by its name when asked).
// Returns the exit status for it.
int CallQuery(const DynamicLibrary& library, const Export& query, bool labelled) {
  const std::string queryName(query.name);
  const DynamicLibrary::Symbol symbol = library.Find(queryName.c_str());
  if (symbol == nullptr) {
    std::fprintf(stderr, "vellumar-call: the library exports no %s\n", queryName.c_str());
    return kExitUsage;
  }
  const char* label = labelled ? queryName.c_str() : "";
  const char* separator = labelled ? ": " : "";
  try {
    if (query.kind == Export::text) {
      char answer[kAnswerBuffer] = {};
      reinterpret_cast<TextQuery>(symbol)(answer);
      std::printf("%s%s%s\n", label, separator, answer);
    } else {
      std::int32_t width = 0, height = 0;
      reinterpret_cast<IntQuery>(symbol)(&width, &height);
      std::printf("%s%s%d %d\n", label, separator, width, height);
    }
    return kExitAnswered;
  } catch (vellumar::ScriptError code) {
    const char* name = vellumar::ScriptErrorName(code);
    std::fflush(stdout);
    std::fprintf(stderr, "%s%sScriptError %u (%s)\n", label, separator, code,
                 name != nullptr ? name : "unknown code");
    return kExitScriptError;
  } catch (const CFileException& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s%sfile error: %s (%s)", label, separator,
                 CFileException::CauseName(e.m_cause),
                 platform::OsErrorText(platform::OsError{e.m_lOsError}).c_str());
    if (e.m_strFileName[0] != '\0') std::fprintf(stderr, ", path \"%s\"", e.m_strFileName);
    std::fprintf(stderr, "\n");
    return kExitFileError;
  }
}

// Calls PasteFunc and prints the pasted text, the result, and the
// placeholder that the result marks. PasteFunc raises nothing.
int CallPaste(const DynamicLibrary& library, const std::string& name) {
  const auto paste = library.Find<PasteCall>("PasteFunc");
  if (paste == nullptr) {
    std::fprintf(stderr, "vellumar-call: the library exports no PasteFunc\n");
    return kExitUsage;
  }
  // Room for the name and the longest template the library can append.
  std::vector<char> text(name.size() + kAnswerBuffer, '\0');
  const std::uint32_t result = paste(name.c_str(), text.data());
  const std::size_t length = std::strlen(text.data());
  std::printf("text: %s\n", text.data());
  std::printf("result: 0x%08X (%u)\n", result, result);
  const std::size_t start = result & 0xFFFFu, end = result >> 16;
  if (result == 0) {
    std::printf("unknown name: no placeholder\n");
  } else if (start <= end && end <= length) {
    std::printf("placeholder: %.*s (offsets %zu to %zu)\n", static_cast<int>(end - start),
                text.data() + start, start, end);
  } else {
    std::printf("placeholder: offsets %zu to %zu lie outside the text\n", start, end);
  }
  return kExitAnswered;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Loads the Vellumar script function library and calls its exports as a host would.\n"
      "The library reads the application directory from the profile (WININI, else\n"
      "$XDG_CONFIG_HOME/win.ini, else ~/.config/win.ini) when it is loaded.",
      "vellumar-call"};
  std::string libraryPath = DefaultLibrary(VELLUMAR_DEFAULT_LIBRARY);
  std::string exportName;
  std::string pasteName;
  bool all = false;
  app.add_option("--library", libraryPath, "the library to load")->capture_default_str();
  app.add_flag("--all", all, "call every query and print each answer after its name");
  app.add_option("export", exportName, "the export to call, for example GetAppVersion");
  CLI::Option* pasteOption =
      app.add_option("name", pasteName, "for PasteFunc: the function whose call text to paste");
  app.footer("vellumar-call PasteFunc NAME pastes the call text of NAME and shows the result.\n");
  if (std::optional<int> status = vellumar::tools::ParseCommandLine(app, argc, argv, kExitUsage)) {
    return *status;
  }

  const bool paste = exportName == kPasteExport;
  if (paste != (pasteOption->count() > 0)) {
    std::fprintf(stderr, paste ? "vellumar-call: PasteFunc needs a function name\n"
                               : "vellumar-call: only PasteFunc takes a function name\n");
    return kExitUsage;
  }
  std::vector<const Export*> calls;
  if (all) {
    if (!exportName.empty()) {
      std::fprintf(stderr, "vellumar-call: give either --all or one export, not both\n");
      return kExitUsage;
    }
    calls = AllQueries();
  } else if (exportName.empty()) {
    std::fprintf(stderr, "vellumar-call: name an export or give --all (see --help)\n");
    return kExitUsage;
  } else if (paste) {
    // called once the library is loaded
  } else if (const Export* q = KindOf(exportName)) {
    calls.push_back(q);
  } else {
    std::fprintf(stderr, "vellumar-call: unknown export \"%s\"; known:", exportName.c_str());
    for (const Export* known : AllQueries()) {
      std::fprintf(stderr, " %.*s", static_cast<int>(known->name.size()), known->name.data());
    }
    std::fprintf(stderr, " PasteFunc\n");
    return kExitUsage;
  }

  std::string loadError;
  DynamicLibrary library = DynamicLibrary::Load(libraryPath.c_str(), loadError);
  if (!library) {
    std::fprintf(stderr, "vellumar-call: cannot load %s: %s\n", libraryPath.c_str(),
                 loadError.c_str());
    return kExitUsage;
  }
  int status = paste ? CallPaste(library, pasteName) : kExitAnswered;
  for (const Export* q : calls) {
    int s = CallQuery(library, *q, all);
    if (status == kExitAnswered) status = s;  // the first failure decides
  }
  return status;  // the library is unloaded here
}
