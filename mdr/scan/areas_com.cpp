// COM areas: class registrations (CLSID) and application registrations (AppID) whose servers,
// icons, type libraries or AppIDs are gone, and interfaces whose proxy/stub class and type
// library are both gone. Every report is graded unsafe: a COM registration removed while still
// needed breaks software.
#include <string>

#include "mdr/core/localization.h"
#include "common/trace.h"
#include "mdr/scan/area_containers.h"
#include "mdr/scan/area_support.h"
#include "mdr/scan/areas.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/read_ahead.h"
#include "mdr/scan/scan_memo.h"
#include "mdr/scan/scan_thread.h"

MDR_TRACE_MODULE(ScanEngine);

namespace mdr {

namespace {

constexpr int kUnsafe = 0;
constexpr int kKeyEntry = 0;
constexpr int kValueEntry = 1;

constexpr wchar_t kComCategory[] = L"ActiveX / COM";
constexpr wchar_t kTypelibCategory[] = L"Type libraries";

// Server subkeys of a class in test order, with the description of a missing file.
struct ServerKey {
    const wchar_t* name;
    Text text;
};
constexpr ServerKey kServerKeys[] = {
    {L"InprocServer", Text::InprocServerMissing},
    {L"InprocServer32", Text::InprocServer32Missing},
    {L"InprocHandler", Text::InprocHandlerMissing},
    {L"InprocHandler32", Text::InprocHandler32Missing},
    {L"LocalServer", Text::FileMissing},
    {L"LocalServer32", Text::FileMissing},
};

constexpr const wchar_t* kProxyStubKeys[] = {L"ProxyStubClsid32", L"ProxyStubClsid"};

// What the checks below read of each key, in their order. An interface's proxy/stub subkeys are
// read only when its type library is gone, which is rare: those are left to the check.
constexpr const wchar_t* kClassSubkeys[] = {
    L"DefaultIcon",     L"InprocServer", L"InprocServer32", L"InprocHandler",
    L"InprocHandler32", L"LocalServer",  L"LocalServer32",  L"TypeLib",
};
constexpr const wchar_t* kAppIdValues[] = {L"AppID", L"DllSurrogate", L"DllSurrogateExecutable"};
constexpr const wchar_t* kInterfaceSubkeys[] = {L"TypeLib"};
const ItemPlan kClassPlan{true, false, kClassSubkeys, {}};
const ItemPlan kAppIdPlan{false, false, {}, kAppIdValues};
const ItemPlan kInterfacePlan{false, false, kInterfaceSubkeys, {}};

void ReportCom(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
               const std::wstring& valueData, const std::wstring& description, int entryType) {
    ReportAreaError(root, keyPath, valueName, valueData, kComCategory, description, kUnsafe,
                    entryType);
}

// Runs the walks of one area under the area contract: -1 (with a count of 0) as soon as the user
// stops one of them; a starting key that does not open is simply passed over.
struct Walk {
    RootKey root;
    const wchar_t* keyPath;
    SubkeyCheck check;
    const ItemPlan& plan; // what the check reads of each key, read ahead of it
};

template <size_t N> int RunWalks(const Walk (&walks)[N]) {
    AreaErrorCount() = 0;
    for (const Walk& walk : walks) {
        MDR_HERE();
        if (EnumerateSubkeysInViews(walk.root, walk.keyPath, false, walk.check, &walk.plan) == -1) {
            AreaErrorCount() = 0;
            return -1;
        }
    }
    return AreaErrorCount();
}

int CheckClsidEntry(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    // Opened once for the count and every subkey test that follows.
    ItemKey cls(root, keyPath);
    // No value anywhere below the class: nothing could use it. The whole class key goes.
    if (!cls.HoldsValues()) {
        ReportCom(root, keyPath, L"", L"", Describe(Text::EmptyKey, L"$ENTRY$", keyPath),
                  kKeyEntry);
        return 0;
    }

    std::wstring icon;
    if (cls.Subkey(L"DefaultIcon", icon)) {
        icon = BeforeFirstComma(icon);
        if (!icon.empty() && FileReferenceExists(icon) == 0) {
            ReportCom(root, JoinKey(keyPath, L"DefaultIcon"), L"", L"",
                      Describe(Text::ClassIconMissing, L"$FILEPATH$", icon), kKeyEntry);
            return 0;
        }
    }

    for (const ServerKey& server : kServerKeys) {
        std::wstring path;
        if (!cls.Subkey(server.name, path)) continue;
        if (!path.empty() && FileReferenceExists(path) == 0) {
            ReportCom(root, JoinKey(keyPath, server.name), L"", path,
                      Describe(server.text, L"$FILEPATH$", path), kKeyEntry);
            return 0;
        }
    }

    std::wstring typelib;
    if (cls.Subkey(L"TypeLib", typelib)) {
        const std::wstring typelibKey = JoinKey(keyPath, L"TypeLib");
        // Type libraries are registered machine-wide; only that location is looked at.
        if (!typelib.empty() &&
            ReferencedKeyExists(kHklm, L"Software\\Classes\\TypeLib\\" + typelib) == 0) {
            ReportCom(root, typelibKey, L"", typelib,
                      Describe(Text::ClassTypeLibUnregistered, L"$TYPELIB$", typelib), kKeyEntry);
            return 0;
        }
    }
    return 0;
}

// A surrogate value naming a program that is gone. An empty value asks for the system's default
// surrogate and is never an error.
bool SurrogateMissing(ItemKey& app, const wchar_t* valueName, std::wstring& path) {
    ValueAnswer value = app.Value(valueName);
    if (!value.exists) return false;
    path = std::move(value.text);
    return !path.empty() && FileReferenceExists(path) == 0;
}

int CheckAppIdEntry(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    // Opened once for its three values.
    ItemKey app(root, keyPath);
    if (ValueAnswer value = app.Value(L"AppID"); value.exists) {
        const std::wstring& appId = value.text;
        const std::wstring target = L"Software\\Classes\\AppID\\" + appId;
        if (!appId.empty() && !ReferencedKeyExists(kHklm, target) &&
            !ReferencedKeyExists(kHkcu, target)) {
            ReportCom(root, keyPath, L"", L"", Describe(Text::AppIdUnregistered, L"$APPID$", appId),
                      kKeyEntry);
            return 0;
        }
    }
    for (const wchar_t* valueName : {L"DllSurrogate", L"DllSurrogateExecutable"}) {
        std::wstring path;
        if (SurrogateMissing(app, valueName, path)) {
            ReportCom(root, keyPath, valueName, path,
                      Describe(Text::FileMissing, L"$FILEPATH$", path), kValueEntry);
            return 0;
        }
    }
    return 0;
}

int CheckInterfaceEntry(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    // Each subkey is opened once, by its path: two or three tests do not pay for opening the
    // interface key as well.
    ItemKey itf(root, keyPath);
    // Both tests need the type library subkey, which many interfaces lack, and a registered type
    // library marshals the interface whatever its proxy/stub class: then neither test can fail,
    // and the proxy/stub subkeys need not be asked for.
    std::wstring typelib;
    if (!itf.Subkey(L"TypeLib", typelib) || typelib.empty()) return 0;
    const std::wstring typelibPath = L"Software\\Classes\\Typelib\\" + typelib;
    if (ReferencedKeyExists(kHklm, typelibPath) || ReferencedKeyExists(kHkcu, typelibPath))
        return 0;
    for (const wchar_t* proxyName : kProxyStubKeys) {
        std::wstring clsid;
        if (!itf.Subkey(proxyName, clsid) || clsid.empty()) continue;
        const std::wstring clsidPath = L"Software\\Classes\\CLSID\\" + clsid;
        if (ReferencedKeyExists(kHklm, clsidPath) || ReferencedKeyExists(kHkcu, clsidPath))
            continue;
        ReportAreaError(root, JoinKey(keyPath, L"TypeLib"), L"", typelib, kTypelibCategory,
                        Describe(Text::InterfaceTypeLibUnregistered, L"$TYPELIB$", typelib),
                        kUnsafe, kKeyEntry);
        return 0;
    }
    return 0;
}

} // namespace

int ScanActiveXCom() {
    MDR_HERE();
    static const Walk walks[] = {
        {kHklm, container::kClsid, CheckClsidEntry, kClassPlan},
        {kHkcu, container::kClsid, CheckClsidEntry, kClassPlan},
        {kHklm, container::kAppId, CheckAppIdEntry, kAppIdPlan},
        {kHkcu, container::kAppId, CheckAppIdEntry, kAppIdPlan},
    };
    return RunWalks(walks);
}

int ScanTypelib() {
    MDR_HERE();
    static const Walk walks[] = {
        {kHklm, container::kInterface, CheckInterfaceEntry, kInterfacePlan},
        {kHkcu, container::kInterface, CheckInterfaceEntry, kInterfacePlan},
    };
    return RunWalks(walks);
}

} // namespace mdr
