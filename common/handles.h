// Move-only owners for Win32 handles (UniqueHkey, UniqueHandle, UniqueFind, ...) and ScopeExit.
#pragma once

#include <windows.h>
#include <utility>

namespace mdr {

// Owns one handle-like value; Traits gives invalid() and close(value).
template <typename Traits> class UniqueAny {
  public:
    using value_type = typename Traits::value_type;

    UniqueAny() noexcept = default;
    explicit UniqueAny(value_type v) noexcept : value_(v) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    value_type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }
    value_type release() noexcept { return std::exchange(value_, Traits::invalid()); }
    void reset(value_type v = Traits::invalid()) noexcept {
        value_type old = std::exchange(value_, v);
        if (old != Traits::invalid()) Traits::close(old);
    }
    // For out-parameters: closes what is held and hands out the slot.
    value_type* put() noexcept {
        reset();
        return &value_;
    }

  private:
    value_type value_ = Traits::invalid();
};

struct HkeyTraits {
    using value_type = HKEY;
    static HKEY invalid() noexcept { return nullptr; }
    // The predefined roots (0x80000000 and up) are never closed.
    static void close(HKEY k) noexcept {
        if (reinterpret_cast<ULONG_PTR>(k) < 0x80000000u) RegCloseKey(k);
    }
};
struct HandleTraits {
    using value_type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
struct FileHandleTraits {
    using value_type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};
struct FindTraits {
    using value_type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindClose(h); }
};
struct HiconTraits {
    using value_type = HICON;
    static HICON invalid() noexcept { return nullptr; }
    static void close(HICON h) noexcept { DestroyIcon(h); }
};
struct GdiTraits {
    using value_type = HGDIOBJ;
    static HGDIOBJ invalid() noexcept { return nullptr; }
    static void close(HGDIOBJ h) noexcept { DeleteObject(h); }
};
struct HfontTraits {
    using value_type = HFONT;
    static HFONT invalid() noexcept { return nullptr; }
    static void close(HFONT h) noexcept { DeleteObject(h); }
};
struct HmenuTraits {
    using value_type = HMENU;
    static HMENU invalid() noexcept { return nullptr; }
    static void close(HMENU h) noexcept { DestroyMenu(h); }
};
struct HmoduleTraits {
    using value_type = HMODULE;
    static HMODULE invalid() noexcept { return nullptr; }
    static void close(HMODULE h) noexcept { FreeLibrary(h); }
};
struct ScHandleTraits {
    using value_type = SC_HANDLE;
    static SC_HANDLE invalid() noexcept { return nullptr; }
    static void close(SC_HANDLE h) noexcept { CloseServiceHandle(h); }
};

using UniqueHkey = UniqueAny<HkeyTraits>;
using UniqueHandle = UniqueAny<HandleTraits>;
using UniqueFile = UniqueAny<FileHandleTraits>;
using UniqueFind = UniqueAny<FindTraits>;
using UniqueHicon = UniqueAny<HiconTraits>;
using UniqueGdi = UniqueAny<GdiTraits>;
using UniqueHfont = UniqueAny<HfontTraits>;
using UniqueHmenu = UniqueAny<HmenuTraits>;
using UniqueHmodule = UniqueAny<HmoduleTraits>;
using UniqueScHandle = UniqueAny<ScHandleTraits>;

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
