// The library's one application object.
#pragma once

#include "platform/cwinapp.h"

namespace vellumar {

class CScriptLibraryApp : public platform::CWinApp {
 public:
  CScriptLibraryApp() noexcept = default;
  ~CScriptLibraryApp() override = default;

  // Handles no window messages or commands of its own.
  const platform::AFX_MSGMAP* GetMessageMap() const noexcept override;
  // Registers with the logger client, then fixes the two data-file paths
  // from the profile. Always succeeds, so the load always proceeds.
  platform::BOOL InitInstance() override;
  int ExitInstance() override;

 private:
  static const platform::AFX_MSGMAP messageMap;
};

// The profile value that locates the application, and its limits.
inline constexpr char kProfileSection[] = "Pelorin";
inline constexpr char kProfileKey[] = "ApplicationDirectory";
inline constexpr unsigned kProfileCapacity = 255;  // so at most 254 characters

extern CScriptLibraryApp theApp;

}  // namespace vellumar
