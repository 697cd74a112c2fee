// Move-only owners for Win32 handles: one template over (type, close function, invalid value)
// with one-line aliases (UniqueHkey, UniqueHandle, UniqueFind, ...), a window-DC holder, a
// selected-object guard and ScopeExit.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <utility>

namespace mdr {

// Owns one handle of type T, closed by Close(value) unless it is Invalid (an integer, since
// INVALID_HANDLE_VALUE is no constant a template can take).
template <typename T, auto Close, INT_PTR Invalid = 0> class UniqueAny {
  public:
    using value_type = T;
    static T invalid() noexcept { return reinterpret_cast<T>(Invalid); }

    UniqueAny() noexcept = default;
    explicit UniqueAny(T v) noexcept : value_(v) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != invalid(); }
    T release() noexcept { return std::exchange(value_, invalid()); }
    void reset(T v = invalid()) noexcept {
        T old = std::exchange(value_, v);
        if (old != invalid()) Close(old);
    }
    // For out-parameters: closes what is held and hands out the slot.
    T* put() noexcept {
        reset();
        return &value_;
    }

  private:
    T value_ = invalid();
};

namespace handle_close {
// The predefined roots (0x80000000 and up) are never closed.
inline void Key(HKEY k) noexcept {
    if (reinterpret_cast<ULONG_PTR>(k) < 0x80000000u) RegCloseKey(k);
}
// Kernel handles that may hold either "no handle" value.
inline void Handle(HANDLE h) noexcept {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}
inline void Gdi(HGDIOBJ h) noexcept {
    DeleteObject(h);
}
inline void ImageList(HIMAGELIST h) noexcept {
    ImageList_Destroy(h);
}
inline void CoTaskMem(void* p) noexcept {
    CoTaskMemFree(p);
}
inline void Local(HLOCAL p) noexcept {
    LocalFree(p);
}
} // namespace handle_close

using UniqueHkey = UniqueAny<HKEY, handle_close::Key>;
using UniqueHandle = UniqueAny<HANDLE, handle_close::Handle>;
using UniqueFile = UniqueAny<HANDLE, CloseHandle, -1>;
using UniqueFind = UniqueAny<HANDLE, FindClose, -1>;
using UniqueHicon = UniqueAny<HICON, DestroyIcon>;
using UniqueGdi = UniqueAny<HGDIOBJ, handle_close::Gdi>;
using UniqueHfont = UniqueAny<HFONT, handle_close::Gdi>;
using UniqueHbrush = UniqueAny<HBRUSH, handle_close::Gdi>;
using UniqueHbitmap = UniqueAny<HBITMAP, handle_close::Gdi>;
using UniqueHdc = UniqueAny<HDC, DeleteDC>; // memory DCs (CreateCompatibleDC)
using UniqueHmenu = UniqueAny<HMENU, DestroyMenu>;
using UniqueHaccel = UniqueAny<HACCEL, DestroyAcceleratorTable>;
using UniqueHimagelist = UniqueAny<HIMAGELIST, handle_close::ImageList>;
using UniqueHmodule = UniqueAny<HMODULE, FreeLibrary>;
using UniqueScHandle = UniqueAny<SC_HANDLE, CloseServiceHandle>;
using UniqueCoTaskMem = UniqueAny<void*, handle_close::CoTaskMem>;
using UniqueLocalMem = UniqueAny<HLOCAL, handle_close::Local>;

// The DC of a window (or of the screen for nullptr), released at the end of the scope.
class WindowDc {
  public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back at the end of the scope. A null
// object selects nothing.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Runs a callable when the scope ends.
template <typename F> class ScopeExit {
  public:
    explicit ScopeExit(F f) noexcept : f_(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (armed_) f_();
    }
    void dismiss() noexcept { armed_ = false; }

  private:
    F f_;
    bool armed_ = true;
};

} // namespace mdr
