// Plants the synthetic machine. Broken entries are counted per area exactly as the areas are
// expected to report them, so the benchmark also shows whether the scan found what was planted.
#include "bench/synthetic_machine.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <unordered_set>
#include <vector>

#include "common/trace.h"

MDR_TRACE_MODULE(Misc);

namespace mdr::bench {
namespace {

enum Area {
    kActiveX = 0,
    kAppPaths,
    kDrivers,
    kHelp,
    kFileExts,
    kFonts,
    kHistory,
    kBho,
    kIeExtensions,
    kIeToolbars,
    kInstalled,
    kMuiCache,
    kObsolete,
    kServices,
    kSharedDlls,
    kSounds,
    kStartup,
    kTypelib
};

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
constexpr wchar_t kExtensionHandler[] = L"{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";

class Planter {
  public:
    Planter(BenchSandbox& box, const MachineSize& size, const std::wstring& recent,
            const std::wstring& fonts)
        : box_(box), size_(size), recent_(recent), fonts_(fonts), rng_(size.seed),
          root_(box.Folder()), gone_(box.Folder() + L"gone\\") {
        tag_ = L"MDRBench-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    }

    MachineStats Build() {
        MDR_HERE();
        TypeLibs();
        Classes();
        AppIds();
        Interfaces();
        AppPaths();
        Drivers();
        Help();
        FileExtensions();
        Fonts();
        History();
        HelperObjects();
        BrowserExtensions();
        Toolbars();
        InstalledSoftware();
        MuiCache();
        Vendors();
        Services();
        SharedDlls();
        Sounds();
        Startup();
        return stats_;
    }

  private:
    bool Broken() {
        return std::uniform_real_distribution<double>(0, 100)(rng_) < size_.brokenPercent;
    }
    bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(rng_) < percent; }
    void Count(Area a) { ++stats_.broken[a]; }

    std::wstring Guid() {
        std::uniform_int_distribution<unsigned> d32;
        unsigned a = d32(rng_), b = d32(rng_), c = d32(rng_), e = d32(rng_);
        wchar_t buf[40];
        swprintf(buf, 40, L"{%08X-%04X-%04X-%04X-%04X%08X}", a, b >> 16, b & 0xFFFF, c >> 16,
                 c & 0xFFFF, e);
        return buf;
    }

    // An existing file below the sandbox folder (created once).
    std::wstring File(const std::wstring& relative) {
        std::wstring path = root_ + relative;
        if (!made_.insert(path).second) return path;
        if (box_.MakeFile(path))
            ++stats_.files;
        else
            ++stats_.fileFailures;
        return path;
    }
    std::wstring Gone(const std::wstring& relative) { return gone_ + relative; }
    std::wstring Foreign(const std::wstring& path) {
        if (box_.MakeForeignFile(path))
            ++stats_.foreignFiles;
        else
            ++stats_.fileFailures;
        return path;
    }
    static std::wstring Num(int n) { return std::to_wstring(n); }
    // Spreads files over folders of a hundred, as installations do.
    static std::wstring Bucket(const wchar_t* kind, int n) {
        return std::wstring(kind) + L"\\" + Num(n / 100) + L"\\";
    }

    // ---- ActiveX / COM and type libraries ----

    void TypeLibs() {
        MDR_HERE();
        int count = std::max(1, size_.classes / 10);
        for (int i = 0; i < count; ++i) {
            std::wstring g = Guid();
            typeLibs_.push_back(g);
            VKey lib(HKEY_LOCAL_MACHINE, kClasses + std::wstring(L"TypeLib\\") + g + L"\\1.0");
            lib.Str(L"", L"Bench type library " + Num(i));
            lib.Sub(L"0\\win32").Str(L"", File(Bucket(L"tlb", i) + L"lib" + Num(i) + L".tlb"));
            lib.Sub(L"FLAGS").Str(L"", L"0");
        }
    }

    // A well-formed class with an existing server; returns its identifier.
    std::wstring GoodClass(HKEY root, int i, bool withExtras) {
        std::wstring g = Guid();
        VKey cls(root, kClasses + std::wstring(L"CLSID\\") + g);
        cls.Str(L"", L"Bench class " + Num(i));
        // Several classes share one server, and some live in the system folder.
        std::wstring dll = (i % 5 == 0)
                               ? L"%SystemRoot%\\system32\\ole32.dll"
                               : File(Bucket(L"com", i / 8) + L"cls" + Num(i / 8) + L".dll");
        if (withExtras && Chance(15)) {
            std::wstring exe = File(Bucket(L"com", i) + L"Local Server " + Num(i) + L".exe");
            cls.Sub(L"LocalServer32").Str(L"", L"\"" + exe + L"\" /automation");
        } else {
            VKey server = cls.Sub(L"InprocServer32");
            server.Str(L"", dll, i % 5 == 0 ? REG_EXPAND_SZ : REG_SZ);
            server.Str(L"ThreadingModel", L"Apartment");
        }
        if (withExtras) {
            if (Chance(25))
                cls.Sub(L"DefaultIcon")
                    .Str(L"", File(Bucket(L"ico", i) + L"c" + Num(i) + L".ico") + L",1");
            if (Chance(20)) cls.Sub(L"TypeLib").Str(L"", typeLibs_[i % typeLibs_.size()]);
            if (Chance(30)) cls.Sub(L"ProgID").Str(L"", L"Bench.Class." + Num(i));
            if (Chance(20)) cls.Sub(L"Implemented Categories\\" + Guid());
        }
        return g;
    }

    void Classes() {
        MDR_HERE();
        // Classes every other part relies on come first and are never broken.
        extensionHandler_ = kExtensionHandler;
        {
            VKey cls(HKEY_LOCAL_MACHINE, kClasses + std::wstring(L"CLSID\\") + kExtensionHandler);
            cls.Str(L"", L"Toolbar extension for executables");
            cls.Sub(L"InprocServer32").Str(L"", File(L"com\\ieframe.dll"));
        }
        int proxies = std::max(1, size_.classes / 50);
        for (int i = 0; i < size_.classes; ++i) {
            if (i < proxies || !Broken()) {
                std::wstring g = GoodClass(HKEY_LOCAL_MACHINE, i, i >= proxies);
                if (i < proxies) proxyClasses_.push_back(g);
                continue;
            }
            Count(kActiveX);
            std::wstring g = Guid();
            VKey cls(HKEY_LOCAL_MACHINE, kClasses + std::wstring(L"CLSID\\") + g);
            switch (i % 3) {
            case 0: // server file gone
                cls.Str(L"", L"Broken class " + Num(i));
                cls.Sub(L"InprocServer32").Str(L"", Gone(L"cls" + Num(i) + L".dll"));
                break;
            case 1: // nothing left but empty keys
                cls.Sub(L"Implemented Categories\\" + Guid());
                break;
            default: // type library unregistered
                cls.Str(L"", L"Broken class " + Num(i));
                cls.Sub(L"InprocServer32").Str(L"", File(L"com\\shared.dll"));
                cls.Sub(L"TypeLib").Str(L"", Guid());
                break;
            }
        }
        for (int i = 0; i < std::max(1, size_.classes / 100); ++i) {
            if (!Broken()) {
                GoodClass(HKEY_CURRENT_USER, i, true);
                continue;
            }
            Count(kActiveX);
            VKey cls(HKEY_CURRENT_USER, kClasses + std::wstring(L"CLSID\\") + Guid());
            cls.Str(L"", L"Broken user class " + Num(i));
            cls.Sub(L"InprocServer32").Str(L"", Gone(L"ucls" + Num(i) + L".dll"));
        }
    }

    void AppIds() {
        MDR_HERE();
        int count = std::max(1, size_.classes / 20);
        for (int i = 0; i < count; ++i) {
            std::wstring g = Guid();
            VKey app(HKEY_LOCAL_MACHINE, kClasses + std::wstring(L"AppID\\") + g);
            app.Str(L"", L"Bench application " + Num(i));
            if (Chance(30)) app.Str(L"DllSurrogate", L"");
            if (Chance(20)) app.Str(L"RunAs", L"Interactive User");
            VKey byName(HKEY_LOCAL_MACHINE,
                        kClasses + std::wstring(L"AppID\\benchapp") + Num(i) + L".exe");
            if (Broken()) {
                Count(kActiveX);
                byName.Str(L"AppID", Guid());
            } else {
                byName.Str(L"AppID", g);
            }
        }
    }

    void Interfaces() {
        MDR_HERE();
        for (int i = 0; i < size_.interfaces; ++i) {
            VKey itf(HKEY_LOCAL_MACHINE, kClasses + std::wstring(L"Interface\\") + Guid());
            itf.Str(L"", L"IBench" + Num(i));
            itf.Sub(L"NumMethods").Str(L"", Num(3 + i % 20));
            bool withTypeLib = Chance(70);
            if (withTypeLib && Broken()) {
                Count(kTypelib);
                itf.Sub(L"ProxyStubClsid32").Str(L"", Guid());
                itf.Sub(L"TypeLib").Str(L"", Guid());
                continue;
            }
            itf.Sub(L"ProxyStubClsid32").Str(L"", proxyClasses_[i % proxyClasses_.size()]);
            if (withTypeLib) {
                VKey lib = itf.Sub(L"TypeLib");
                lib.Str(L"", typeLibs_[i % typeLibs_.size()]);
                lib.Str(L"Version", L"1.0");
            }
        }
    }

    // ---- Software and system ----

    void AppPaths() {
        MDR_HERE();
        for (int i = 0; i < 150; ++i) {
            VKey app(HKEY_LOCAL_MACHINE,
                     kCurrentVersion + std::wstring(L"App Paths\\benchapp") + Num(i) + L".exe");
            std::wstring folder = L"Program Files\\Bench App " + Num(i) + L"\\";
            bool broken = Broken();
            app.Str(L"", broken ? Gone(L"app" + Num(i) + L".exe") : File(folder + L"app.exe"));
            app.Str(L"Path", root_ + folder);
            if (broken && Chance(20))
                app.Dword(L"BlockOnTSNonInstallMode", 1);
            else if (broken)
                Count(kAppPaths);
        }
    }

    void Drivers() {
        MDR_HERE();
        VKey key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32");
        for (int i = 0; i < 40; ++i) {
            bool broken = Broken();
            if (broken) Count(kDrivers);
            key.Str(L"msacm.bench" + Num(i), broken ? Gone(L"d" + Num(i) + L".acm")
                                                    : File(L"drivers\\d" + Num(i) + L".acm"));
        }
    }

    void Help() {
        MDR_HERE();
        VKey help(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\Help");
        VKey html(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\HTML Help");
        for (int i = 0; i < 200; ++i) {
            bool chm = i >= 150;
            std::wstring name = tag_ + L"help" + Num(i) + (chm ? L".chm" : L".hlp");
            const VKey& key = chm ? html : help;
            if (Broken()) {
                Count(kHelp);
                key.Str(name, gone_);
                continue;
            }
            File(L"help\\" + name);
            key.Str(name, root_ + (i % 5 == 0 ? L"help" : L"help\\"));
        }
    }

    void FileExtensions() {
        MDR_HERE();
        for (int i = 0; i < size_.extensions; ++i) {
            std::wstring ext = L".bext" + Num(i);
            VKey user(HKEY_CURRENT_USER, kExplorer + std::wstring(L"FileExts\\") + ext);
            VKey list = user.Sub(L"OpenWithList");
            list.Str(L"a", L"notepad.exe");
            list.Str(L"MRUList", L"a");
            user.Sub(L"OpenWithProgids").Bin(L"bext" + Num(i) + L"file", "", 0);
            if (Broken()) {
                Count(kFileExts);
                continue;
            }
            HKEY root = Chance(10) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
            VKey(root, kClasses + ext).Str(L"", L"bext" + Num(i) + L"file");
        }
    }

    void Fonts() {
        MDR_HERE();
        VKey key(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
        for (int i = 0; i < 300; ++i) {
            std::wstring file = tag_ + L"font" + Num(i) + L".ttf";
            if (Broken())
                Count(kFonts);
            else
                Foreign(fonts_ + file);
            key.Str(L"Bench Font " + Num(i) + L" (TrueType)", file);
        }
    }

    static std::vector<BYTE> MruDatum(const std::wstring& first, const std::wstring& second) {
        std::wstring text = first + L'\0' + second + L'\0';
        std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()),
                                reinterpret_cast<const BYTE*>(text.data() + text.size()));
        for (int i = 0; i < 24; ++i)
            bytes.push_back(static_cast<BYTE>(i * 7)); // item id list
        return bytes;
    }

    void History() {
        MDR_HERE();
        VKey recent(HKEY_CURRENT_USER, kExplorer + std::wstring(L"RecentDocs"));
        std::vector<BYTE> order;
        for (int i = 0; i < size_.mru; ++i) {
            std::wstring doc = tag_ + L"doc" + Num(i) + L".txt";
            if (Broken())
                Count(kHistory);
            else if (!recent_.empty())
                Foreign(recent_ + doc + L".lnk");
            auto datum = MruDatum(doc, doc.substr(0, doc.size() - 4) + L".lnk");
            recent.Bin(Num(i), datum.data(), static_cast<DWORD>(datum.size()));
            for (int b = 0; b < 4; ++b)
                order.push_back(static_cast<BYTE>((i >> (8 * b)) & 0xFF));
        }
        for (int b = 0; b < 4; ++b)
            order.push_back(0xFF);
        recent.Bin(L"MRUListEx", order.data(), static_cast<DWORD>(order.size()));

        int lists = std::max(1, size_.mru / 10);
        for (int l = 0; l < lists; ++l) {
            VKey list(HKEY_CURRENT_USER,
                      kExplorer + std::wstring(L"ComDlg32\\OpenSaveMRU\\e") + Num(l));
            std::wstring mru;
            for (int v = 0; v < 10; ++v) {
                std::wstring name(1, static_cast<wchar_t>(L'a' + v));
                mru = name + mru;
                bool broken = Broken();
                if (broken) Count(kHistory);
                list.Str(name, broken ? Gone(L"doc" + Num(l) + name + L".txt")
                                      : File(L"Documents\\doc" + Num(l) + name + L".txt"));
            }
            list.Str(L"MRUList", mru);
        }

        VKey visited(HKEY_CURRENT_USER, kExplorer + std::wstring(L"ComDlg32\\LastVisitedMRU"));
        std::wstring mru;
        int programs = std::min(26, std::max(1, size_.mru / 6));
        for (int v = 0; v < programs; ++v) {
            std::wstring name(1, static_cast<wchar_t>(L'a' + v));
            mru = name + mru;
            bool broken = Broken();
            if (broken) Count(kHistory);
            std::wstring program =
                broken ? L"benchgone" + Num(v) + L".exe" : (v % 2 ? L"notepad.exe" : L"cmd.exe");
            auto datum = MruDatum(program, root_ + L"Documents");
            visited.Bin(name, datum.data(), static_cast<DWORD>(datum.size()));
        }
        visited.Str(L"MRUList", mru);
    }

    std::wstring ServerClass(const std::wstring& dll) {
        std::wstring g = Guid();
        VKey cls(HKEY_LOCAL_MACHINE, kClasses + std::wstring(L"CLSID\\") + g);
        cls.Str(L"", L"Bench add-on");
        cls.Sub(L"InprocServer32").Str(L"", dll);
        return g;
    }

    void HelperObjects() {
        MDR_HERE();
        for (int i = 0; i < 12; ++i) {
            bool broken = Broken();
            std::wstring g = broken ? Guid() : ServerClass(File(L"ie\\bho" + Num(i) + L".dll"));
            VKey bho(HKEY_LOCAL_MACHINE, kExplorer + std::wstring(L"Browser Helper Objects\\") + g);
            if (broken) {
                Count(kBho);
                bho.Str(L"", L"Broken helper " + Num(i));
            } else if (i % 2) {
                bho.Dword(L"NoExplorer", 1);
            } // else: the usual bare key
        }
    }

    void BrowserExtensions() {
        MDR_HERE();
        for (int i = 0; i < 12; ++i) {
            VKey ext(HKEY_LOCAL_MACHINE,
                     std::wstring(L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\") +
                         Guid());
            ext.Str(L"CLSID", extensionHandler_);
            ext.Str(L"ButtonText", L"Bench " + Num(i));
            ext.Str(L"Default Visible", L"Yes");
            ext.Str(L"Icon", File(L"ie\\ext" + Num(i) + L".ico"));
            ext.Str(L"HotIcon", File(L"ie\\ext" + Num(i) + L"hot.ico"));
            if (Broken()) {
                Count(kIeExtensions);
                ext.Str(L"Exec", Gone(L"ext" + Num(i) + L".exe"));
            } else {
                ext.Str(L"Exec", File(L"ie\\ext" + Num(i) + L".exe"));
            }
        }
    }

    void Toolbars() {
        MDR_HERE();
        VKey bar(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar");
        for (int i = 0; i < 6; ++i) {
            bool broken = Broken();
            if (broken) Count(kIeToolbars);
            std::wstring g = broken ? Guid() : ServerClass(File(L"ie\\bar" + Num(i) + L".dll"));
            bar.Bin(g, "", 0);
        }
        bar.Str(L"LinksFolderName", L"Links");
    }

    void InstalledSoftware() {
        MDR_HERE();
        std::vector<std::wstring> names;
        for (int i = 0; i < size_.uninstall; ++i) {
            bool msi = Chance(30);
            std::wstring name = msi ? Guid() : L"Bench App " + Num(i);
            names.push_back(name);
            VKey app(HKEY_LOCAL_MACHINE, kCurrentVersion + std::wstring(L"Uninstall\\") + name);
            app.Str(L"DisplayName", L"Bench Application " + Num(i));
            app.Str(L"DisplayVersion", L"1." + Num(i % 10));
            app.Str(L"Publisher", L"Bench Vendor " + Num(i % 40));
            app.Dword(L"EstimatedSize", 1000 + i);
            if (msi) {
                app.Dword(L"WindowsInstaller", 1);
                app.Str(L"UninstallString", L"MsiExec.exe /X" + name, REG_EXPAND_SZ);
                continue;
            }
            std::wstring folder = root_ + L"Program Files\\Bench App " + Num(i);
            if (Broken()) {
                Count(kInstalled);
                folder = gone_ + L"Bench App " + Num(i);
            } else {
                File(L"Program Files\\Bench App " + Num(i) + L"\\unins000.exe");
                File(L"Program Files\\Bench App " + Num(i) + L"\\app.exe");
            }
            app.Str(L"InstallLocation", folder);
            app.Str(L"DisplayIcon", folder + L"\\app.exe,0");
            app.Str(L"UninstallString", L"\"" + folder + L"\\unins000.exe\" /SILENT");
            app.Dword(L"NoModify", 1);
        }
        for (int i = 0; i < std::max(1, size_.uninstall / 5); ++i) {
            std::wstring name = names[(i * 5) % names.size()];
            if (Broken()) {
                Count(kInstalled);
                name = L"Removed App " + Num(i);
            }
            VKey cache(HKEY_LOCAL_MACHINE,
                       kCurrentVersion + std::wstring(L"App Management\\ARPCache\\") + name);
            BYTE info[16] = {0x10};
            cache.Bin(L"SlowInfoCache", info, sizeof(info));
            cache.Dword(L"Changed", 0);
        }
    }

    void MuiCache() {
        MDR_HERE();
        VKey cache(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache");
        BYTE lang[4] = {9, 4, 0, 0};
        cache.Bin(L"LangID", lang, sizeof(lang));
        for (int i = 0; i < 20; ++i)
            cache.Str(L"@shell32.dll,-" + Num(21000 + i), L"Shell text");
        for (int i = 0; i < 300; ++i) {
            bool broken = Broken();
            if (broken) Count(kMuiCache);
            std::wstring program = broken ? Gone(L"prog" + Num(i) + L".exe")
                                          : File(Bucket(L"mui", i) + L"prog" + Num(i) + L".exe");
            cache.Str(program, L"Bench program " + Num(i));
        }
    }

    void Vendors() {
        MDR_HERE();
        for (int i = 0; i < size_.vendors; ++i) {
            HKEY root = (i % 3 == 2) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
            VKey vendor(root, L"SOFTWARE\\Bench Vendor " + Num(i));
            bool broken = Broken();
            if (broken) Count(kObsolete);
            int products = 1 + i % 3;
            for (int p = 0; p < products; ++p) {
                VKey settings = vendor.Sub(L"Product " + Num(p) + L"\\Settings");
                if (broken) continue;
                settings.Str(L"InstallDir", root_ + L"Program Files\\Vendor " + Num(i));
                settings.Dword(L"Version", 0x00010000 + p);
                settings.Str(L"Language", L"en-US");
            }
            if (!broken && Chance(30)) vendor.Str(L"", L"Bench Vendor " + Num(i));
        }
    }

    void Services() {
        MDR_HERE();
        for (int i = 0; i < size_.services; ++i) {
            VKey svc(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\BenchSvc" + Num(i));
            bool driver = i % 10 < 3;
            svc.Dword(L"Type", driver ? 1 : 16);
            svc.Dword(L"Start", 2 + i % 3);
            svc.Dword(L"ErrorControl", 1);
            svc.Str(L"DisplayName", L"Bench Service " + Num(i));
            BYTE security[20] = {1, 0, 0x14, 0x80};
            svc.Sub(L"Security").Bin(L"Security", security, sizeof(security));
            if (i % 10 == 9) continue; // no image path, nothing to test
            VKey enumKey = svc.Sub(L"Enum");
            enumKey.Dword(L"Count", 1);
            enumKey.Str(L"0", L"Root\\LEGACY_BENCHSVC" + Num(i) + L"\\0000");
            bool broken = Broken();
            if (broken) Count(kServices);
            std::wstring image;
            if (driver) {
                std::wstring sys = broken ? Gone(L"svc" + Num(i) + L".sys")
                                          : File(L"drivers\\svc" + Num(i) + L".sys");
                image = L"\\??\\" + sys;
            } else {
                std::wstring rel = L"Program Files\\Bench Svc " + Num(i) + L"\\svc.exe";
                std::wstring exe = broken ? Gone(L"svc" + Num(i) + L".exe") : File(rel);
                // Some services are registered unquoted, the rest quoted, all with arguments.
                image = (i % 4 == 0) ? exe + L" -service" : L"\"" + exe + L"\" -k bench";
                svc.Str(L"ObjectName", L"LocalSystem");
                svc.Sub(L"Parameters").Str(L"ServiceDll", root_ + L"svc\\host.dll", REG_EXPAND_SZ);
            }
            svc.Str(L"ImagePath", image, REG_EXPAND_SZ);
        }
    }

    void SharedDlls() {
        MDR_HERE();
        VKey shared(HKEY_LOCAL_MACHINE, kCurrentVersion + std::wstring(L"SharedDlls"));
        for (int i = 0; i < 500; ++i) {
            bool broken = Broken();
            if (broken) Count(kSharedDlls);
            std::wstring dll = broken ? Gone(L"shared" + Num(i) + L".dll")
                                      : File(Bucket(L"shared", i) + L"lib" + Num(i) + L".dll");
            shared.Dword(dll, 1 + i % 4);
        }
    }

    void Sounds() {
        MDR_HERE();
        for (int a = 0; a < 25; ++a) {
            std::wstring app = a == 0 ? L".Default" : L"BenchApp" + Num(a);
            for (int e = 0; e < 12; ++e) {
                VKey event(HKEY_CURRENT_USER,
                           L"AppEvents\\Schemes\\Apps\\" + app + L"\\Event" + Num(e));
                bool broken = Broken();
                if (broken) Count(kSounds);
                std::wstring wav = File(L"media\\a" + Num(a) + L"e" + Num(e) + L".wav");
                event.Sub(L".Current")
                    .Str(L"", broken ? Gone(L"a" + Num(a) + L"e" + Num(e) + L".wav")
                                     : (e % 5 == 4 ? std::wstring() : wav));
                event.Sub(L".Default").Str(L"", wav);
            }
        }
    }

    void Startup() {
        MDR_HERE();
        const wchar_t* places[] = {L"Run", L"Run", L"RunOnce"};
        for (int i = 0; i < size_.startup; ++i) {
            HKEY root = (i % 3 == 1) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
            VKey run(root, std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\") +
                               places[i % 3]);
            bool broken = Broken();
            if (broken) Count(kStartup);
            std::wstring exe = broken ? Gone(L"start" + Num(i) + L".exe")
                                      : File(L"Program Files\\Start " + Num(i) + L"\\start.exe");
            run.Str(L"BenchStart" + Num(i), L"\"" + exe + L"\" /background");
        }
    }

    BenchSandbox& box_;
    MachineSize size_;
    std::wstring recent_, fonts_;
    std::mt19937 rng_;
    std::wstring root_, gone_, tag_;
    MachineStats stats_;
    std::vector<std::wstring> typeLibs_, proxyClasses_;
    std::unordered_set<std::wstring> made_;
    std::wstring extensionHandler_;
};

} // namespace

MachineStats BuildMachine(BenchSandbox& box, const MachineSize& size,
                          const std::wstring& recentFolder, const std::wstring& fontsFolder) {
    MDR_HERE();
    return Planter(box, size, recentFolder, fontsFolder).Build();
}

} // namespace mdr::bench
