// How Windows records that a startup entry is switched off without deleting it: a 12-byte
// REG_BINARY value under Explorer\StartupApproved, the record Task Manager and the Settings app
// read and write. The byte rules and the routing of an entry to its key are pure; the registry
// adapters read the keys once per refresh and write one value at a time.
#pragma once

#include <windows.h>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/registry.h"

namespace mdr {

// What the State column says.
enum class EntryState { Enabled, Disabled, RunsOnce, Always, Orphaned };
const wchar_t* StateText(EntryState state);

// Where an entry comes from, as far as switching it off goes.
enum class SourceKind {
    Run,          // a Run value: governed by StartupApproved\Run (or Run32)
    RunOnce,      // runs once and is deleted: nothing to switch off
    Always,       // Winlogon, policies, Load: Windows offers no switch
    UserFolder,   // the user's startup folder
    CommonFolder, // the all-users startup folder
};

enum class ApprovalKey { Run, Run32, StartupFolder };
std::wstring ApprovalKeyPath(ApprovalKey key);

struct ApprovalPlace {
    RootKey root = 0; // 0: no StartupApproved value governs the entry
    ApprovalKey key = ApprovalKey::Run;
    std::wstring value; // the Run value's name, or the startup file's name with its extension
};

// The governing value: a Run value under HKCU or HKLM goes to Run of the same root, one seen in
// the 32-bit view of HKLM (Wow6432Node) to HKLM Run32; a file of the user's startup folder to
// HKCU StartupFolder, of the all-users one to HKLM StartupFolder; anything else to none.
ApprovalPlace ApprovalPlaceOf(SourceKind kind, RootKey root, bool thirtyTwoBitView,
                              std::wstring_view name);

// The reading rule: a REG_BINARY value whose byte 0 is odd switches the entry off; an even byte
// 0, no bytes, another type or no value leave it on.
bool ApprovalDisables(DWORD type, std::string_view bytes);
// The value Windows writes: 02 or 03, three zeros, then the FILETIME of the switching off (zero
// when switched on).
std::string ApprovalBytes(bool disabled, FILETIME when);

// Whether a Winlogon value holds Windows' own data: Shell "explorer.exe", Userinit
// "<system folder>\userinit.exe" with or without its trailing comma; any letter case, blanks
// around ignored. systemFolder ends in "\".
bool IsWinlogonDefault(std::wstring_view valueName, std::wstring_view data,
                       std::wstring_view systemFolder);
std::wstring WinlogonDefault(std::wstring_view valueName, std::wstring_view systemFolder);

// The registry view the StartupApproved keys (and the machine's 64-bit keys) are opened in:
// KEY_WOW64_64KEY for this 32-bit program on 64-bit Windows, as a 64-bit program sees them; 0
// elsewhere. Non-zero also means that the machine keys this program sees by default are the
// 32-bit ones. The one place that tells the editions apart.
REGSAM NativeView();

struct ApprovalValue {
    std::wstring name; // as stored
    DWORD type = REG_NONE;
    std::string bytes;
};
// Every value of the five StartupApproved keys, read once; found by place, the name compared
// without regard to case.
class Approvals {
  public:
    static Approvals Read();
    void Add(const ApprovalPlace& place, ApprovalValue value);
    const ApprovalValue* Find(const ApprovalPlace& place) const;
    // Marks a value as governing a listed entry; the values never marked are orphans.
    void Claim(const ApprovalPlace& place);
    std::vector<ApprovalPlace> Unclaimed() const;

  private:
    struct Slot {
        ApprovalPlace place;
        ApprovalValue value;
        bool claimed = false;
    };
    static std::wstring KeyOf(const ApprovalPlace& place);
    std::map<std::wstring, Slot> slots_;
};

// The value as it is now; none when absent or unreadable.
std::optional<ApprovalValue> ReadApproval(const ApprovalPlace& place);
// Writes the value (creating its key) and reads it back; true when it holds the bytes written.
bool WriteApproval(const ApprovalPlace& place, bool disabled);
// Deletes the value; true when it is gone.
bool DeleteApproval(const ApprovalPlace& place);

} // namespace mdr
