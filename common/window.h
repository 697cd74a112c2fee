// The window kit every window of the five programs is built with: class registration, owned
// modal windows centred on their owner (built hidden, shown once filled), one modal loop, one
// close, message pumps for long work, a context bound to each window, and the common controls
// made with the program's dialog font.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace mdr {

// ---- Classes ----

struct WindowClassSpec {
    const wchar_t* name = nullptr;
    WNDPROC procedure = nullptr;
    UINT style = 0;
    const wchar_t* cursor = IDC_ARROW; // a system cursor
    HBRUSH background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
};

// Registers the class in this module; true when it is registered now or was already.
bool RegisterWindowClass(const WindowClassSpec& params);

// ---- Context ----

// Binds the CREATESTRUCT's lpCreateParams to window on WM_NCCREATE and returns the context bound
// to window (nullptr before WM_NCCREATE or when none was given). Called once at the top of a
// window procedure.
void* BindWindowContext(HWND window, UINT message, LPARAM lParam);
template <typename T> T* WindowContext(HWND window, UINT message, LPARAM lParam) {
    return static_cast<T*>(BindWindowContext(window, message, lParam));
}
// The context bound to window, for code outside its procedure (child dialogs, for example).
template <typename T> T* BoundContext(HWND window) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// This thread's top-level window of className, nullptr when there is none.
HWND FindThreadWindow(const wchar_t* className);
// The first window of className anywhere below parent (children, their children, ...).
HWND FindDescendantWindow(HWND parent, const wchar_t* className);

// ---- Modal windows ----

constexpr DWORD kModalStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kModalExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

struct ModalSpec {
    const wchar_t* className = nullptr;
    std::wstring title;
    int clientWidth = 0;
    int clientHeight = 0;
    DWORD style = kModalStyle;
    DWORD exStyle = kModalExStyle;
};

// Pure: a rectangle of size centred on around, moved inside area where it would stick out (to
// area's top-left corner when it is larger).
RECT CentredRect(const RECT& around, const RECT& area, SIZE size);
// Window rectangle for a window of this outer size centred on owner (on the work area without a
// visible owner), kept on the owner's monitor so its title bar stays reachable.
RECT CentredFrame(HWND owner, SIZE frame);
// The same for a window of this client size and style, without a menu bar.
RECT CentredFrame(HWND owner, int clientWidth, int clientHeight, DWORD style, DWORD exStyle);

// Disables owner (when given) and creates the window owned by it, centred on it and hidden;
// context is bound to it (WindowContext). nullptr when it could not be made; the owner then
// stays disabled until CloseModal.
HWND CreateModalWindow(const ModalSpec& params, HWND owner, void* context = nullptr);

// Shows a filled modal window, brings it forward and puts the focus on focus when given.
void ShowModalWindow(HWND window, HWND focus = nullptr);

enum class ModalEnd { Done, Quit, Failed };

// The loop of a modal window: dispatches messages (the dialog keys Tab, Enter and Esc of window)
// until done() is true. afterMessage, when given, runs after each message, outside any window
// procedure. A quit message ends the loop and is posted again for the loop that owns it.
ModalEnd RunModalLoop(HWND window, const std::function<bool()>& done,
                      const std::function<void()>& afterMessage = nullptr);

// Ends a modal window: enables the owner first (so that Windows hands the activation back to
// it rather than to another program), destroys the window and makes the owner active.
void CloseModal(HWND window, HWND owner);

// ---- Messages during long work ----

// One message: the dialog keys of dialog when given, else the usual translation and dispatch.
void DispatchDialogMessage(MSG& msg, HWND dialog);

// Hands every waiting message of this thread to its windows, so the program keeps painting and
// answering while it works. A quit message is kept and posted again when the pump goes.
class MessagePump {
  public:
    MessagePump() = default;
    MessagePump(const MessagePump&) = delete;
    MessagePump& operator=(const MessagePump&) = delete;
    ~MessagePump();

    void Drain();
    // Waits about ms milliseconds, handling messages meanwhile.
    void Pause(DWORD ms);

  private:
    bool quit_ = false;
    int quitCode_ = 0;
};

// How WaitDispatchingMessages waits; every part may be left out.
struct MessageWait {
    HWND dialog = nullptr; // whose dialog keys (Tab, Enter, Esc) apply
    // Asked after each batch of messages; true ends the wait with Stopped.
    std::function<bool()> stop = nullptr;
    // Hands on each message instead of DispatchDialogMessage (with a window's accelerators, say).
    std::function<void(MSG&)> dispatch = nullptr;
    // Takes a quit message at once instead of its being posted again when the wait is over.
    std::function<void()> quit = nullptr;
    DWORD timeoutMs = INFINITE; // then the wait ends with TimedOut
};

enum class WaitEnd { Signalled, Stopped, TimedOut };

// Waits for handle without using the processor, dispatching the thread's window messages as
// they come. A quit message seen meanwhile is posted again once the wait is over.
WaitEnd WaitDispatchingMessages(HANDLE handle, const MessageWait& how = {});

// ---- Menus ----

// Owner-drawn menu items that show a 16x16 picture before their text. WM_MEASUREITEM: room for
// the picture; false when mis is not a menu item's.
bool MeasureMenuPicture(MEASUREITEMSTRUCT* mis);
// WM_DRAWITEM: draws picture in the middle of the item; a greyed item's in the form grey gives,
// or greyed by the system without one. False when dis is not a menu item's.
bool DrawMenuPicture(const DRAWITEMSTRUCT* dis, HICON picture,
                     const std::function<HICON()>& grey = nullptr);

// ---- Other windows ----

// Greys (0) or enables (1) the Close item of window's system menu. Does nothing unless enable is
// 0 or 1 and window is valid. Returns 1.
int EnableCloseCommand(HWND window, int enable);

// Shows, restores and brings forward the first visible top-level window whose title contains
// title (ignoring case). 1 when one was found, 0 otherwise.
int ActivateWindowByTitle(const std::wstring& title);

// A window's height (0 for none), and its text and the text of a dialog's item.
int WindowHeight(HWND window);
std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);

// The common file dialog (open or save) with a filter of NUL-separated pairs ending in two
// NULs, starting from file; true with the chosen file in file. flags add to OFN_EXPLORER,
// OFN_HIDEREADONLY and OFN_NOCHANGEDIR.
bool AskFileName(HWND owner, const wchar_t* title, const wchar_t* filter, bool save, DWORD flags,
                 std::wstring& file);

// Puts text on the clipboard as Unicode text, replacing what it held; false when it could not.
bool SetClipboardText(HWND owner, const std::wstring& text);

// ---- Controls ----

// Where a control goes inside its parent.
struct Place {
    int x;
    int y;
    int width;
    int height;
};

// The font of the programs' dialogs and their controls.
HFONT DialogFont();

// A visible child control with font (the dialog font when nullptr); nullptr on failure.
HWND AddControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                Place place, int id, DWORD exStyle = 0, HFONT font = nullptr);
// A static text, by default without mnemonics (paths may hold "&").
HWND AddLabel(HWND parent, const std::wstring& text, Place place, int id = -1,
              DWORD style = SS_LEFT | SS_NOPREFIX);
// A push button that takes the focus with Tab; style adds BS_DEFPUSHBUTTON and the like.
HWND AddButton(HWND parent, int id, const std::wstring& text, Place place, DWORD style = 0);
// A check box that takes the focus with Tab.
HWND AddCheckBox(HWND parent, int id, const std::wstring& text, Place place);
// A drop-down list of items; place.height is that of the closed box, the list opens below it.
HWND AddDropDown(HWND parent, int id, Place place, const std::vector<std::wstring>& items);
struct ListColumn {
    std::wstring title;
    int width;
};
// A report list view with a sunken edge, full-row selection and these columns; style adds list
// view styles (LVS_SINGLESEL and the like).
HWND AddReportList(HWND parent, int id, Place place, DWORD style,
                   const std::vector<ListColumn>& columns, HFONT font = nullptr);
// A report list's rows, its selected row (the focused one when it is selected, else the first
// selected; -1 when none) and a cell's whole text.
int RowCount(HWND list);
int SelectedRow(HWND list);
std::wstring CellText(HWND list, int row, int column);
// Selects and focuses a row of a report list and scrolls it into view.
void SelectRow(HWND list, int row);
// Shows the sort arrow (HDF_SORTUP, or HDF_SORTDOWN when descending) on one column of a report
// list's header and on no other; column -1 shows none.
void ShowSortArrow(HWND list, int column, bool descending);
// A progress bar from 0 to 100.
HWND AddProgressBar(HWND parent, int id, Place place, DWORD style = 0);
// Puts text on a toolbar button and makes the button as wide as the text in the toolbar's font
// plus 10 pixels, then lets the toolbar lay itself out again.
void SetToolbarCaption(HWND toolbar, int button, const std::wstring& text);
// A horizontal separator of the given band (drawn as one etched line across its middle).
HWND AddSeparator(HWND parent, Place place, int id);
// Draws a separator made by AddSeparator; true when dis was one (WM_DRAWITEM).
bool DrawSeparator(const DRAWITEMSTRUCT* dis);

} // namespace mdr
