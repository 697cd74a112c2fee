// Unelevated starts through the desktop shell.
#include "tools/quorran/shell_launch.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>

#include <memory>

#include "common/handles.h"

namespace mdr {

namespace {

template <typename T> struct ComRelease {
    void operator()(T* p) const noexcept { p->Release(); }
};
template <typename T> using ComPtr = std::unique_ptr<T, ComRelease<T>>;

template <typename To, typename From> ComPtr<To> QueryAs(From* from, REFIID iid) {
    To* to = nullptr;
    if (!from || FAILED(from->QueryInterface(iid, reinterpret_cast<void**>(&to)))) to = nullptr;
    return ComPtr<To>(to);
}

// The automation strings' allocator, from oleaut32.dll (part of every Windows, though not among
// the DLLs the programs import), loaded while the shell is asked.
struct Bstrs {
    UniqueHmodule module{LoadLibraryW(L"oleaut32.dll")};
    BSTR(WINAPI* alloc)(const OLECHAR*) = nullptr;
    void(WINAPI* free)(BSTR) = nullptr;
    Bstrs() {
        if (!module) return;
        alloc = reinterpret_cast<decltype(alloc)>(
            reinterpret_cast<void*>(GetProcAddress(module.get(), "SysAllocString")));
        free = reinterpret_cast<decltype(free)>(
            reinterpret_cast<void*>(GetProcAddress(module.get(), "SysFreeString")));
    }
    bool Ok() const { return alloc && free; }
};

// A string as the shell's automation takes it.
struct BstrVariant {
    const Bstrs& bstrs;
    VARIANT v{};
    BstrVariant(const Bstrs& b, const std::wstring& text) : bstrs(b) {
        v.vt = VT_BSTR;
        v.bstrVal = bstrs.alloc(text.c_str());
    }
    ~BstrVariant() { bstrs.free(v.bstrVal); }
    BstrVariant(const BstrVariant&) = delete;
    BstrVariant& operator=(const BstrVariant&) = delete;
};

} // namespace

LaunchMethod ChooseLaunchMethod(RootKey root, bool elevated, bool shellAvailable) {
    if (root != kHkcu || !elevated) return LaunchMethod::Direct;
    return shellAvailable ? LaunchMethod::ShellUnelevated : LaunchMethod::ElevatedAfterWarning;
}

bool RunsElevated() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    const UniqueHandle token(raw);
    // TokenElevation is known from Vista on; before it the call fails, and there is no split
    // token to run with either.
    struct {
        DWORD elevated;
    } elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.get(), static_cast<TOKEN_INFORMATION_CLASS>(20), &elevation,
                               sizeof(elevation), &size) &&
           elevation.elevated != 0;
}

DesktopShell::DesktopShell() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    com_ = SUCCEEDED(hr);
    if (!com_ && hr != RPC_E_CHANGED_MODE) return;
    IShellWindows* rawWindows = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                reinterpret_cast<void**>(&rawWindows))))
        return;
    const ComPtr<IShellWindows> windows(rawWindows);
    VARIANT empty{}; // VT_EMPTY
    long window = 0;
    IDispatch* rawDesktop = nullptr;
    if (windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              &rawDesktop) != S_OK)
        return;
    const ComPtr<IDispatch> desktop(rawDesktop);
    const auto provider = QueryAs<IServiceProvider>(desktop.get(), IID_IServiceProvider);
    IShellBrowser* rawBrowser = nullptr;
    if (!provider || FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                                   reinterpret_cast<void**>(&rawBrowser))))
        return;
    const ComPtr<IShellBrowser> browser(rawBrowser);
    IShellView* rawView = nullptr;
    if (FAILED(browser->QueryActiveShellView(&rawView)) || !rawView) return;
    const ComPtr<IShellView> view(rawView);
    IDispatch* rawBackground = nullptr;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                   reinterpret_cast<void**>(&rawBackground))))
        return;
    const ComPtr<IDispatch> background(rawBackground);
    const auto folderView =
        QueryAs<IShellFolderViewDual>(background.get(), IID_IShellFolderViewDual);
    IDispatch* rawApplication = nullptr;
    if (!folderView || FAILED(folderView->get_Application(&rawApplication)) || !rawApplication)
        return;
    const ComPtr<IDispatch> application(rawApplication);
    dispatch_ = QueryAs<IShellDispatch2>(application.get(), IID_IShellDispatch2).release();
}

DesktopShell::~DesktopShell() {
    if (dispatch_) dispatch_->Release();
    if (com_) CoUninitialize();
}

bool DesktopShell::Start(const std::wstring& program, const std::wstring& parameters) const {
    const Bstrs bstrs;
    if (!dispatch_ || !bstrs.Ok()) return false;
    const BstrVariant file(bstrs, program), arguments(bstrs, parameters), folder(bstrs, L""),
        operation(bstrs, L"open");
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(
        dispatch_->ShellExecute(file.v.bstrVal, arguments.v, folder.v, operation.v, show));
}

} // namespace mdr
