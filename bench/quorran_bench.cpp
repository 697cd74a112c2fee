// MDRQuorranBench: times Quorran's refresh on a machine with 2,000 uninstall entries spread over
// every place the tool reads (the machine's views and the user's), one in five with an install
// folder of a few hundred files and no "EstimatedSize", one in ten a system component: the first
// refresh, the share of it spent in the size walks and in the icon search, the longest stretch
// between two drains of the window events (the wait window repaints at each), and a refresh
// with nothing changed (sizes from the cache) with the list rows it rewrote.
//
//   MDRQuorranBench [--entries N] [--files N]
// The planted entries and folders are removed at the end.
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

#include "bench/bench_clock.h"
#include "tools/quorran/uninstall_entries.h"

using namespace mdr;

namespace {

constexpr wchar_t kPrefix[] = L"MDRBenchQuorran";

void SetText(HKEY key, const wchar_t* name, const std::wstring& data) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int entries = 2000;
    int files = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--entries") == 0) entries = _wtoi(argv[i + 1]);
        if (std::wcscmp(argv[i], L"--files") == 0) files = _wtoi(argv[i + 1]);
    }
    CoInitialize(nullptr);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"MDRQuorranBench\\";
    CreateDirectoryW(root.c_str(), nullptr);
    int folders = 0;
    const std::vector<UninstallSource> sources = UninstallSources();
    auto sourceOf = [&](int i) { return sources[static_cast<size_t>(i) % sources.size()]; };
    for (int i = 0; i < entries; ++i) {
        const std::wstring name = kPrefix + std::to_wstring(i);
        const UninstallSource source = sourceOf(i);
        HKEY key = nullptr;
        RegCreateKeyExW(ToHkey(source.root), (std::wstring(source.path) + L"\\" + name).c_str(), 0,
                        nullptr, 0, KEY_SET_VALUE | source.view, nullptr, &key, nullptr);
        if (i % 10 == 1) {
            const DWORD one = 1;
            RegSetValueExW(key, L"SystemComponent", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&one), sizeof(one));
        }
        SetText(key, L"DisplayName", name);
        SetText(key, L"Publisher", L"Veltrane");
        SetText(key, L"InstallDate", L"20090517");
        if (i % 5 == 0) {
            const std::wstring folder = root + name + L"\\";
            CreateDirectoryW(folder.c_str(), nullptr);
            for (int f = 0; f < files; ++f) {
                HANDLE file = CreateFileW((folder + std::to_wstring(f) + L".dat").c_str(),
                                          GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
                DWORD written = 0;
                WriteFile(file, "0123456789", 10, &written, nullptr);
                CloseHandle(file);
            }
            SetText(key, L"InstallLocation", folder);
            SetText(key, L"UninstallString", L"\"" + folder + L"unins000.exe\" /SILENT");
            ++folders;
        } else {
            SetText(key, L"UninstallString", L"MsiExec.exe /X{" + name + L"}");
            DWORD size = 2048;
            RegSetValueExW(key, L"EstimatedSize", 0, REG_DWORD, reinterpret_cast<BYTE*>(&size),
                           sizeof(size));
            SetText(key, L"DisplayIcon", L"C:\\windows\\system32\\notepad.exe,0");
        }
        RegCloseKey(key);
    }

    bench::Stopwatch clock;
    bench::Stopwatch sinceDrain;
    double longestGap = 0;
    auto entriesRead = ReadUninstallEntries({}, [&] {
        longestGap = std::max(longestGap, sinceDrain.Seconds());
        sinceDrain.Restart();
    });
    longestGap = std::max(longestGap, sinceDrain.Seconds());
    const double refresh = clock.Seconds();

    // The rows as the tool's list holds them, then a refresh with nothing changed.
    InitCommonControls();
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                  nullptr, nullptr);
    SyncedList list;
    list.Attach(CreateToolList(parent, 1, {0, 0, 800, 600},
                               std::vector<ListColumn>(8, ListColumn{L"Column", 100}), true),
                nullptr);
    auto rowsOf = [](const std::vector<UninstallEntry>& all) {
        std::vector<RowContent> rows;
        for (const UninstallEntry& e : all)
            rows.push_back(EntryRow(e));
        return rows;
    };
    list.Sync(rowsOf(entriesRead));
    clock.Restart();
    entriesRead = ReadUninstallEntries(std::move(entriesRead), nullptr);
    const int rewritten = list.Sync(rowsOf(entriesRead));
    const double unchanged = clock.Seconds();
    DestroyWindow(parent);

    // The two costly steps again on their own, entry by entry.
    clock.Restart();
    for (int i = 0; i < entries; i += 5)
        FolderSize(root + kPrefix + std::to_wstring(i) + L"\\", kSizeWalkFileLimit, nullptr);
    const double walks = clock.Seconds();
    clock.Restart();
    for (const UninstallEntry& e : entriesRead) {
        std::wstring text = ReadValueAsText(e.root, e.keyPath, L"DisplayIcon");
        if (text.empty()) text = e.uninstallString;
        std::wstring folder = ReadValueAsText(e.root, e.keyPath, L"InstallLocation");
        if (folder.empty() || folder.back() != L'\\') folder += L'\\';
        FindEntryIcon(text, folder);
    }
    const double icons = clock.Seconds();

    std::printf("Quorran refresh: %d planted entries (%d with install folders of %d files), "
                "%zu listed\n",
                entries, folders, files, entriesRead.size());
    std::printf("  one refresh: %.3f s\n", refresh);
    std::printf("  size walks:  %.3f s (%.0f%%)\n", walks, 100 * walks / refresh);
    std::printf("  icon search: %.3f s (%.0f%%)\n", icons, 100 * icons / refresh);
    std::printf("  longest stretch between event drains: %.1f ms (target: at most 100 ms)\n",
                longestGap * 1000);
    std::printf("  unchanged refresh: %.3f s (target: at most 0.2 s), %d rows rewritten "
                "(target: 0)\n",
                unchanged, rewritten);

    entriesRead.clear();
    for (int i = 0; i < entries; ++i) {
        const std::wstring name = kPrefix + std::to_wstring(i);
        const UninstallSource source = sourceOf(i);
        HKEY parentKey = nullptr;
        if (RegOpenKeyExW(ToHkey(source.root), source.path, 0, KEY_ALL_ACCESS | source.view,
                          &parentKey) == ERROR_SUCCESS) {
            RegDeleteKeyW(parentKey, name.c_str());
            RegCloseKey(parentKey);
        }
        if (i % 5 == 0) {
            const std::wstring folder = root + name + L"\\";
            for (int f = 0; f < files; ++f)
                DeleteFileW((folder + std::to_wstring(f) + L".dat").c_str());
            RemoveDirectoryW(folder.c_str());
        }
    }
    RemoveDirectoryW(root.c_str());
    CoUninitialize();
    return 0;
}
