// Hidden runs of the system registry editor, shared by the backup manager (restore) and the full
// backup (exports).
#pragma once

#include <windows.h>
#include <string>

#include "common/handles.h"

namespace mdr {

// The Windows folder (CSIDL_WINDOWS) + "\regedit.exe"; "" when the folder is unknown.
std::wstring RegistryEditorPath();

// One run of the registry editor: no window, working folder inherited, and its standard
// handles on the NUL device (its messages are not wanted, and a pipe nobody reads would stall
// it once full). Terminated (no effect when it has ended) and released by Release() or at the
// end of the object's life.
class RegistryEditorRun {
  public:
    RegistryEditorRun() = default;
    RegistryEditorRun(const RegistryEditorRun&) = delete;
    RegistryEditorRun& operator=(const RegistryEditorRun&) = delete;
    ~RegistryEditorRun() { Release(); }

    // Starts editorPath with arguments ("\"editorPath\" " + arguments as its command line).
    // False when it could not be started.
    bool Start(const std::wstring& editorPath, const std::wstring& arguments);
    HANDLE Process() const { return process_.get(); }
    void Release();

  private:
    UniqueHandle process_;
};

} // namespace mdr
