// Pieces shared by the backup manager and the full backup: hidden runs of the system registry
// editor, waiting for a process while the thread's windows stay responsive, and the small
// modal windows both of them open.
#pragma once

#include <windows.h>
#include <functional>
#include <string>

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
    HANDLE Process() const { return process_; }
    void Release();

  private:
    HANDLE process_ = nullptr;
};

enum class WaitEnd { Signalled, Stopped };

// Waits for handle without using the processor, dispatching the thread's window messages as
// they come (through IsDialogMessage for dialog when given, so Tab, Enter and Esc work there).
// stop, when given, is asked after each batch of messages; true ends the wait with Stopped.
// A WM_QUIT seen meanwhile is posted again once the wait is over.
WaitEnd WaitDispatchingMessages(HANDLE handle, HWND dialog,
                                const std::function<bool()>& stop = nullptr);

// One message of a modal window's loop: the dialog keys of dialog, else the usual dispatch.
void DispatchModalMessage(MSG& msg, HWND dialog);

// ---- Small modal windows ----

// Registers (once) a window class with the dialog background and the arrow cursor.
bool RegisterModalClass(const wchar_t* className, WNDPROC procedure);

// A hidden top-level window of the given client size, centred on owner (on the work area when
// there is none) and kept on the owner's monitor. param reaches WM_NCCREATE/WM_CREATE.
HWND CreateModalWindow(const wchar_t* className, const std::wstring& title, DWORD style,
                       int clientWidth, int clientHeight, HWND owner, void* param);

// A child control with the dialog font; nullptr when it could not be made.
HWND AddControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x,
                int y, int width, int height, int id, DWORD exStyle = 0);

// A horizontal separator of the given band (drawn as one etched line across its middle).
HWND AddSeparator(HWND parent, int x, int y, int width, int height, int id);
// Draws a separator made by AddSeparator; true when dis was one (WM_DRAWITEM).
bool DrawSeparator(const DRAWITEMSTRUCT* dis);

// Ends a modal window: enables owner again, destroys window, and makes owner active.
void CloseModalWindow(HWND window, HWND owner);

} // namespace mdr
