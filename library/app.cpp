#include "library/app.h"

#include "library/data_paths.h"
#include "logger/logger_client.h"
#include "platform/profile.h"

namespace vellumar {

// Built first among the library's statics, so that it exists when the
// module is attached; every other global of the library is constant-initialised.
CScriptLibraryApp theApp __attribute__((init_priority(1000)));

const platform::AFX_MSGMAP CScriptLibraryApp::messageMap = {&CWinApp::messageMap};

const platform::AFX_MSGMAP* CScriptLibraryApp::GetMessageMap() const noexcept {
  return &messageMap;
}

platform::BOOL CScriptLibraryApp::InitInstance() {
  logger::LoggerInit("Vellumar");
  platform::ReadProfileString(kProfileSection, kProfileKey, kNoDirectory, g_szAppDirectory,
                              kProfileCapacity);
  ComposeDataPaths();
  return CWinApp::InitInstance();
}

int CScriptLibraryApp::ExitInstance() { return CWinApp::ExitInstance(); }

}  // namespace vellumar
