#include "tools/ostrel/startup_approval.h"

#include "common/handles.h"
#include "common/late_bound.h"
#include "common/text.h"

namespace mdr {
namespace {

constexpr wchar_t kApprovedRoot[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
constexpr size_t kApprovalSize = 12;

// The five keys Windows keeps (HKCU has no Run32).
constexpr struct {
    RootKey root;
    ApprovalKey key;
} kApprovalKeys[] = {{kHkcu, ApprovalKey::Run},
                     {kHkcu, ApprovalKey::StartupFolder},
                     {kHklm, ApprovalKey::Run},
                     {kHklm, ApprovalKey::Run32},
                     {kHklm, ApprovalKey::StartupFolder}};

LONG ReadBytes(HKEY key, const std::wstring& name, DWORD& type, std::string& bytes) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    bytes.assign(size, '\0');
    rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                          &size);
    bytes.resize(size);
    return rc;
}

} // namespace

const wchar_t* StateText(EntryState state) {
    switch (state) {
    case EntryState::Enabled:
        return L"Enabled";
    case EntryState::Disabled:
        return L"Disabled";
    case EntryState::RunsOnce:
        return L"Runs once";
    case EntryState::Always:
        return L"Always";
    case EntryState::Orphaned:
        return L"Orphaned";
    }
    return L"";
}

std::wstring ApprovalKeyPath(ApprovalKey key) {
    return kApprovedRoot + std::wstring(key == ApprovalKey::Run     ? L"Run"
                                        : key == ApprovalKey::Run32 ? L"Run32"
                                                                    : L"StartupFolder");
}

ApprovalPlace ApprovalPlaceOf(SourceKind kind, RootKey root, bool thirtyTwoBitView,
                              std::wstring_view name) {
    const std::wstring value(name);
    switch (kind) {
    case SourceKind::Run:
        if (root == kHklm && thirtyTwoBitView) return {kHklm, ApprovalKey::Run32, value};
        return {root, ApprovalKey::Run, value};
    case SourceKind::UserFolder:
        return {kHkcu, ApprovalKey::StartupFolder, value};
    case SourceKind::CommonFolder:
        return {kHklm, ApprovalKey::StartupFolder, value};
    default:
        return {};
    }
}

bool ApprovalDisables(DWORD type, std::string_view bytes) {
    return type == REG_BINARY && !bytes.empty() && (static_cast<unsigned char>(bytes[0]) & 1);
}

std::string ApprovalBytes(bool disabled, FILETIME when) {
    std::string bytes(kApprovalSize, '\0');
    bytes[0] = disabled ? '\3' : '\2';
    if (disabled) {
        for (int i = 0; i < 4; ++i) {
            bytes[4 + i] = static_cast<char>((when.dwLowDateTime >> (8 * i)) & 0xFF);
            bytes[8 + i] = static_cast<char>((when.dwHighDateTime >> (8 * i)) & 0xFF);
        }
    }
    return bytes;
}

std::wstring WinlogonDefault(std::wstring_view valueName, std::wstring_view systemFolder) {
    return EqualsNoCase(valueName, L"Shell") ? L"explorer.exe"
                                             : std::wstring(systemFolder) + L"userinit.exe,";
}

bool IsWinlogonDefault(std::wstring_view valueName, std::wstring_view data,
                       std::wstring_view systemFolder) {
    const std::wstring text = Trim(data);
    const std::wstring expected = WinlogonDefault(valueName, systemFolder);
    if (EqualsNoCase(text, expected)) return true;
    // Userinit is also written without its comma.
    return !EqualsNoCase(valueName, L"Shell") &&
           EqualsNoCase(text, std::wstring_view(expected).substr(0, expected.size() - 1));
}

REGSAM NativeView() {
    if constexpr (sizeof(void*) == 8) return 0;
    static const REGSAM view = RunsUnderWow64() ? KEY_WOW64_64KEY : 0;
    return view;
}

std::wstring Approvals::KeyOf(const ApprovalPlace& place) {
    return std::to_wstring(place.root) + L"|" + std::to_wstring(static_cast<int>(place.key)) +
           L"|" + ToLower(place.value);
}

void Approvals::Add(const ApprovalPlace& place, ApprovalValue value) {
    slots_[KeyOf(place)] = {place, std::move(value), false};
}

const ApprovalValue* Approvals::Find(const ApprovalPlace& place) const {
    auto it = slots_.find(KeyOf(place));
    return it == slots_.end() ? nullptr : &it->second.value;
}

void Approvals::Claim(const ApprovalPlace& place) {
    auto it = slots_.find(KeyOf(place));
    if (it != slots_.end()) it->second.claimed = true;
}

std::vector<ApprovalPlace> Approvals::Unclaimed() const {
    std::vector<ApprovalPlace> places;
    for (const auto& [key, slot] : slots_)
        if (!slot.claimed) places.push_back(slot.place);
    return places;
}

Approvals Approvals::Read() {
    Approvals approvals;
    for (const auto& [root, which] : kApprovalKeys) {
        UniqueHkey key;
        if (RegOpenKeyExW(ToHkey(root), ApprovalKeyPath(which).c_str(), 0, KEY_READ | NativeView(),
                          key.put()) != ERROR_SUCCESS)
            continue;
        NameReader names(key.get(), NameReader::Values);
        std::wstring name;
        for (DWORD index = 0; names.Read(index, name) != ERROR_NO_MORE_ITEMS; ++index) {
            ApprovalValue value{name, REG_NONE, {}};
            if (!name.empty() &&
                ReadBytes(key.get(), name, value.type, value.bytes) == ERROR_SUCCESS)
                approvals.Add({root, which, name}, std::move(value));
        }
    }
    return approvals;
}

std::optional<ApprovalValue> ReadApproval(const ApprovalPlace& place) {
    UniqueHkey key;
    if (RegOpenKeyExW(ToHkey(place.root), ApprovalKeyPath(place.key).c_str(), 0,
                      KEY_QUERY_VALUE | NativeView(), key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    ApprovalValue value{place.value, REG_NONE, {}};
    if (ReadBytes(key.get(), place.value, value.type, value.bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool WriteApproval(const ApprovalPlace& place, bool disabled) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::string bytes = ApprovalBytes(disabled, now);
    UniqueHkey key;
    if (RegCreateKeyExW(ToHkey(place.root), ApprovalKeyPath(place.key).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | NativeView(), nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS ||
        RegSetValueExW(key.get(), place.value.c_str(), 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS)
        return false;
    const auto back = ReadApproval(place);
    return back && back->type == REG_BINARY && back->bytes == bytes;
}

bool DeleteApproval(const ApprovalPlace& place) {
    UniqueHkey key;
    if (RegOpenKeyExW(ToHkey(place.root), ApprovalKeyPath(place.key).c_str(), 0,
                      KEY_SET_VALUE | NativeView(), key.put()) == ERROR_SUCCESS)
        RegDeleteValueW(key.get(), place.value.c_str());
    return !ReadApproval(place);
}

} // namespace mdr
