#include "platform/cwinapp.h"

namespace vellumar::platform {
namespace {

// The module's one application object while it exists.
CWinApp* g_pApp = nullptr;
bool g_bAttached = false;

}  // namespace

const AFX_MSGMAP CWinApp::messageMap = {nullptr};

CWinApp::CWinApp() noexcept { g_pApp = this; }

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

const AFX_MSGMAP* CWinApp::GetMessageMap() const noexcept { return &messageMap; }

BOOL CWinApp::InitInstance() { return 1; }

// A library module writes no settings at exit; nothing else to do here.
int CWinApp::ExitInstance() { return 0; }

bool AfxModuleAttach() noexcept {
  if (g_bAttached) return true;
  CWinApp* app = g_pApp;
  if (app == nullptr) return false;
  try {
    if (!app->InitInstance()) {
      app->ExitInstance();
      return false;
    }
  } catch (...) {
    return false;
  }
  g_bAttached = true;
  return true;
}

void AfxModuleDetach() noexcept {
  if (!g_bAttached) return;
  g_bAttached = false;
  if (CWinApp* app = g_pApp) {
    try {
      app->ExitInstance();  // its code is ignored, as for any library module
    } catch (...) {
    }
  }
}

}  // namespace vellumar::platform
