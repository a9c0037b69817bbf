#include "library/app.h"

#include "library/data_paths.h"
#include "logger/logger_client.h"
#include "platform/profile.h"

namespace vellumar {

// Built by static initialisation, before the module entry attaches the
// module (the backend's entry sees to that order). Every other global of the
// library is constant-initialised.
CScriptLibraryApp theApp;

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
