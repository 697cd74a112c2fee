#include "tools/frame/tool_backup.h"

#include <windows.h>
#include <shellapi.h>

#include "common/handles.h"
#include "regfile/backup_names.h"
#include "regfile/reg_writer.h"

namespace mdr {
namespace {

// Whether the item is there to be backed up, looked for through its view.
bool ItemExists(const BackupItem& item) {
    if (item.view == 0)
        return item.value ? ValueExists(item.root, item.key, *item.value) == 1
                          : KeyExists(item.root, item.key) == 1;
    UniqueHkey key;
    if (RegOpenKeyExW(ToHkey(item.root), WithoutTrailingBackslash(item.key).c_str(), 0,
                      KEY_QUERY_VALUE | item.view, key.put()) != ERROR_SUCCESS)
        return false;
    return !item.value || RegQueryValueExW(key.get(), item.value->c_str(), nullptr, nullptr,
                                           nullptr, nullptr) == ERROR_SUCCESS;
}

bool WriteItem(const BackupItem& item) {
    const BackupViewScope view(item.view);
    if (item.value && item.mayBeAbsent && !ItemExists(item))
        return BackupValueAbsence(item.root, item.key, *item.value) == 1;
    return ItemExists(item) && (item.value ? BackupValue(item.root, item.key, *item.value) == 1
                                           : BackupKey(item.root, item.key) == 1);
}

} // namespace

ToolBackup WriteToolBackup(std::wstring_view program, const std::wstring& folder,
                           const std::vector<BackupItem>& items) {
    if (folder.empty() || items.empty()) return {};
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::wstring file = ReserveBackupFile(folder, program, now);
    if (file.empty()) return {};
    bool ok = CreateBackupFile(file) == 1;
    for (const BackupItem& item : items) {
        if (!ok) break;
        ok = WriteItem(item);
    }
    const bool exact = BackupOmissions().empty();
    if (CloseBackupFile() != 1 || !ok || !exact) {
        DeleteFileW(file.c_str());
        return {};
    }
    return {true, file};
}

bool MoveToRecycleBin(const std::wstring& path) {
    std::wstring from = path;
    from.push_back(L'\0'); // the list ends with two NULs
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted &&
           GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

} // namespace mdr
