// Starting a per-user uninstaller as Windows starts it: without administrator rights, through
// the desktop shell, which runs with the user's unelevated token. Any program the user runs can
// write a per-user entry, so starting its string from this elevated tool would hand that program
// administrator rights.
#pragma once

#include <string>

#include "common/registry.h"

struct IShellDispatch2;

namespace mdr {

enum class LaunchMethod {
    Direct,              // CreateProcess from this tool, waited for
    ShellUnelevated,     // the desktop shell starts it; nothing to wait for
    ElevatedAfterWarning // the shell cannot: it runs from here once the user has seen that
};
// Per-user entries of an elevated tool go through the shell when it can take them.
LaunchMethod ChooseLaunchMethod(RootKey root, bool elevated, bool shellAvailable);

// Whether this process runs elevated (a split token's full half); false before Vista.
bool RunsElevated();

// The desktop shell's ShellExecute (IShellDispatch2), reached through the desktop window.
class DesktopShell {
  public:
    DesktopShell();
    ~DesktopShell();
    DesktopShell(const DesktopShell&) = delete;
    DesktopShell& operator=(const DesktopShell&) = delete;

    bool Available() const { return dispatch_ != nullptr; }
    // Asks the shell to start program with parameters; true when it took the request.
    bool Start(const std::wstring& program, const std::wstring& parameters) const;

  private:
    bool com_ = false;
    ::IShellDispatch2* dispatch_ = nullptr;
};

} // namespace mdr
