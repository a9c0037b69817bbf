// A host built against an installed Vellumar: it links the library (no
// loading by name) and calls two exports. PasteFunc reads nothing; the
// library reads the application directory from the profile when it is
// loaded, and GetAppVersion answers from that application.
#include <vellumar/vellumar.h>

#include <cstdint>
#include <cstdio>

int main() {
  char pasted[64];
  const std::uint32_t marks = PasteFunc("GetAppVersion", pasted);
  std::printf("%s %u-%u\n", pasted, static_cast<unsigned>(marks & 0xFFFFu),
              static_cast<unsigned>(marks >> 16));
  char version[64];
  try {
    GetAppVersion(version);
  } catch (vellumar::ScriptError code) {
    std::printf("ScriptError %u\n", code);
    return 2;
  } catch (const CFileException& e) {
    std::printf("CFileException %s\n", e.what());
    return 3;
  }
  std::printf("%s\n", version);
  return 0;
}
