// The application object of a library module, and its load and unload hooks.
//
// A module defines exactly one static object of a class derived from
// CWinApp. Its constructor registers it with the framework; when the module is
// attached to a process the framework initialises itself and calls
// InitInstance, and when the module is detached it calls ExitInstance before
// static clean-up destroys the object.
//
// The attach and detach hooks are called by the module's entry, which belongs
// to the backend: DllMain for a Windows DLL, and on POSIX an object of
// platform/posix/module_entry.cpp built after the application object.
#pragma once

namespace vellumar::platform {

using BOOL = int;  // non-zero for success

// A message map: which window messages and commands an object handles, and
// the map it falls back to. Application objects of this library handle none,
// so a map is only its link to the base.
struct AFX_MSGMAP {
  const AFX_MSGMAP* pBaseMap;
};

class CWinApp {
 public:
  CWinApp() noexcept;
  virtual ~CWinApp();

  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual const AFX_MSGMAP* GetMessageMap() const noexcept;
  virtual BOOL InitInstance();
  virtual int ExitInstance();

 protected:
  static const AFX_MSGMAP messageMap;
};

// Process attach: the framework's own initialisation for the module, then
// InitInstance. Returns false, without calling InitInstance, when the
// framework cannot initialise (no application object). When InitInstance
// fails, ExitInstance is called and the attach fails.
bool AfxModuleAttach() noexcept;

// Process detach: ExitInstance, then the framework's own shutdown. Does
// nothing unless the module was attached.
void AfxModuleDetach() noexcept;

}  // namespace vellumar::platform
