#include "mdr/repair/fix_preview.h"

#include <windows.h>

#include <vector>

#include "common/handles.h"
#include "common/registry.h"
#include "mdr/core/localization.h"
#include "regfile/reg_text.h"

namespace mdr {

namespace {

// Whether the value survives the backup: its bytes, and its name on a line of its own.
bool ValueExact(HKEY key, const std::wstring& name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> data(size ? size : 1);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return false;
    return RegValueRestoresExactly(type, data.data(), size);
}

// Counts what lies in and below the key, and notes anything the backup cannot carry.
void Walk(HKEY key, const std::wstring& path, FixPreview& preview, uint64_t& keys) {
    if (++keys > kMostPreviewKeys) {
        preview.countStopped = true;
        return;
    }
    if (!RegKeyPathWritable(path)) preview.exact = false;
    NameReader values(key, NameReader::Values);
    std::wstring name;
    for (DWORD i = 0; values.Read(i, name) != ERROR_NO_MORE_ITEMS; ++i) {
        ++preview.values;
        if (!ValueExact(key, name)) preview.exact = false;
    }
    NameReader subkeys(key, NameReader::Subkeys);
    for (DWORD i = 0; !preview.countStopped && subkeys.Read(i, name) != ERROR_NO_MORE_ITEMS; ++i) {
        ++preview.subkeys;
        UniqueHkey child;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, child.put()) == ERROR_SUCCESS)
            Walk(child.get(), path + L"\\" + name, preview, keys);
        else
            preview.exact = false; // what cannot be read cannot be backed up
    }
}

} // namespace

FixPreview PreviewFix(const DetectedError& e) {
    FixPreview preview;
    preview.value = e.entryType == 1;
    UniqueHkey key;
    if (RegOpenKeyExW(ToHkey(e.root), e.keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return preview;
    if (preview.value) {
        DWORD type = 0;
        preview.present = RegQueryValueExW(key.get(), e.valueName.c_str(), nullptr, &type, nullptr,
                                           nullptr) == ERROR_SUCCESS;
        preview.exact = preview.present && ValueExact(key.get(), e.valueName);
        return preview;
    }
    preview.present = true;
    uint64_t keys = 0;
    Walk(key.get(), e.keyPath, preview, keys);
    return preview;
}

std::wstring FixPreviewText(const FixPreview& preview, const std::wstring& valueName) {
    if (!preview.present) return LangText(Text::FixPreviewGone);
    std::wstring text;
    if (preview.value) {
        text = ReplacePlaceholder(LangText(Text::FixPreviewValue), L"$NAME$",
                                  valueName.empty() ? L"(Default)" : valueName);
    } else {
        text = LangText(preview.countStopped ? Text::FixPreviewKeyAtLeast : Text::FixPreviewKey);
        text = ReplacePlaceholder(text, L"$SUBKEYS$", std::to_wstring(preview.subkeys));
        text = ReplacePlaceholder(text, L"$VALUES$", std::to_wstring(preview.values));
    }
    return text + L"\r\n" +
           LangText(preview.exact ? Text::FixPreviewExact : Text::FixPreviewInexact);
}

} // namespace mdr
