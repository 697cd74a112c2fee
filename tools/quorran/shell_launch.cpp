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

// A string as the shell's automation takes it.
struct BstrVariant {
    VARIANT v;
    explicit BstrVariant(const std::wstring& text) {
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text.c_str());
    }
    ~BstrVariant() { VariantClear(&v); }
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
    VARIANT empty;
    VariantInit(&empty);
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
    if (!dispatch_) return false;
    BSTR file = SysAllocString(program.c_str());
    BstrVariant arguments(parameters), folder(L""), operation(L"open");
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const HRESULT hr = dispatch_->ShellExecute(file, arguments.v, folder.v, operation.v, show);
    SysFreeString(file);
    return SUCCEEDED(hr);
}

} // namespace mdr
