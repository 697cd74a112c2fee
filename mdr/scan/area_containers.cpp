#include "mdr/scan/area_containers.h"

#include <algorithm>

#include "common/text.h"

namespace mdr {

namespace {

// Lower case, no "Wow6432Node" part, no backslash at either end.
std::wstring ComparableForm(std::wstring_view path) {
    std::wstring text = ToLower(path);
    text = ReplaceAll(text, L"\\wow6432node\\", L"\\");
    if (text.starts_with(L"wow6432node\\")) text.erase(0, 12);
    if (text.ends_with(L"\\wow6432node")) text.resize(text.size() - 12);
    while (!text.empty() && text.front() == L'\\')
        text.erase(0, 1);
    while (!text.empty() && text.back() == L'\\')
        text.pop_back();
    return text;
}

} // namespace

const std::vector<ContainerKey>& AreaContainers() {
    static const std::vector<ContainerKey> containers = [] {
        using namespace container;
        std::vector<ContainerKey> list;
        for (RootKey root : {kHklm, kHkcu}) {
            for (const wchar_t* path : {kClsid, kAppId, kInterface, kTypeLib, kSoftware})
                list.push_back({root, path});
            for (const wchar_t* path : kStartup)
                list.push_back({root, path});
        }
        for (const wchar_t* path :
             {kAppPaths, kDrivers32, kHelp, kHtmlHelp, kFonts, kUninstall, kArpCache, kServices,
              kSharedDlls, kBho, kIeExtensions, kIeToolbar})
            list.push_back({kHklm, path});
        for (const wchar_t* path :
             {kMuiCache, kSounds, kFileExts, kRecentDocs, kOpenSave, kLastVisited})
            list.push_back({kHkcu, path});
        return list;
    }();
    return containers;
}

std::wstring ContainerHitBy(RootKey root, std::wstring_view keyPath, bool value) {
    std::wstring key = ComparableForm(keyPath);
    const std::wstring rootName = RootKeyName(root);
    if (key.empty()) return rootName.empty() ? std::wstring(L"(unknown root)") : rootName;
    if (value) return L"";
    std::vector<RootKey> roots{root};
    if (root == kHkcr) { // the classes of the machine and the user, merged
        key = L"software\\classes\\" + key;
        roots = {kHklm, kHkcu};
    }
    for (const ContainerKey& c : AreaContainers()) {
        if (std::find(roots.begin(), roots.end(), c.root) == roots.end()) continue;
        const std::wstring container = ComparableForm(c.path);
        if (container == key || container.starts_with(key + L"\\"))
            return RootKeyName(c.root) + L"\\" + c.path;
    }
    return L"";
}

} // namespace mdr
