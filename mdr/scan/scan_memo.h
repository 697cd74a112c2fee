// The answers of one scan. Thousands of entries name the same proxy/stub class, type library or
// system DLL, so a scan asks the registry and the file system the same questions again and again.
// While a scan runs, its thread holds one memo: each question is asked once and then answered
// from the memo. The memo is made when the scan starts and dropped when it ends; a later scan, a
// fix and the tools never see it, and without a memo the questions go straight to the system.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "common/registry.h"

namespace mdr {

class ScanMemo;

// Installs a fresh, empty memo on this thread for its lifetime (one scan).
class ScanMemoScope {
  public:
    ScanMemoScope();
    ~ScanMemoScope();
    ScanMemoScope(const ScanMemoScope&) = delete;
    ScanMemoScope& operator=(const ScanMemoScope&) = delete;

  private:
    std::unique_ptr<ScanMemo> memo_;
    ScanMemo* outer_;
};

// Answers held by this thread's memo (0 without one).
size_t ScanMemoSize();
// What the last memo held when it was dropped, and about how much memory that took.
struct ScanMemoStats {
    size_t keys = 0;
    size_t values = 0;
    size_t paths = 0;
    size_t bytes = 0;
};
ScanMemoStats LastScanMemoStats();

// KeyExists, ValueExists, ReadValueAsText and PathExists, answered once per scan. Keys and
// values are remembered by registry view, root and path (value names too), ignoring letter case,
// since the 32-bit view expands and maps paths differently; paths by the exact text tested,
// ignoring letter case.
int MemoKeyExists(RootKey root, const std::wstring& keyPath);
int MemoValueExists(RootKey root, const std::wstring& keyPath, std::wstring_view valueName);
std::wstring MemoReadValue(RootKey root, const std::wstring& keyPath, std::wstring_view valueName);
bool MemoPathExists(std::wstring_view path);

// What one examined key answered, apart from its handle, so that the answers can be read on one
// thread and used on another (read_ahead.h).
struct ItemAnswers {
    struct Subkey {
        std::wstring name;
        bool exists;
        std::wstring value;
    };
    bool opened = false; // an opening of the key was tried
    LONG openResult = ERROR_INVALID_HANDLE;
    bool counted = false;   // the key's own values were counted (and its subkeys listed)
    bool countable = false; // ...and the count could be read
    DWORD values = 0;
    std::optional<bool> holdsValues;
    bool listed = false; // names holds every subkey's name (lower case)
    std::vector<std::wstring> names;
    std::vector<Subkey> subkeys;
    std::vector<std::pair<std::wstring, ValueAnswer>> valueAnswers;
};

// One examined key opened once for all of its tests. Subkeys are opened relative to it; once asked
// for its values, a key with only a few subkeys has their names listed once, which answers every
// test for a subkey it does not have. Nothing of it is remembered beyond the item. When the key
// was read ahead of the scan, its answers are taken from there.
class ItemKey {
  public:
    ItemKey(RootKey root, const std::wstring& keyPath);
    ItemKey(const ItemKey&) = delete;
    ItemKey& operator=(const ItemKey&) = delete;

    // KeyHoldsValues of the key.
    bool HoldsValues();
    // Whether the subkey exists as KeyExists says (a refused subkey exists), with its default
    // value as ReadValueAsText reads it ("" for a refused one).
    bool Subkey(const wchar_t* name, std::wstring& defaultValue);
    // ValueExists and ReadValueAsText of one of the key's values.
    ValueAnswer Value(std::wstring_view name);

    // The first step of HoldsValues alone: the key's own values counted and its subkeys listed,
    // nothing below it walked.
    void Count();
    // The answers so far; the key is closed.
    ItemAnswers TakeAnswers();

  private:
    // The open key, opened on first use; nullptr when it does not open.
    HKEY Handle();
    bool Probe(const wchar_t* name, std::wstring& value);
    bool Listed(std::wstring_view name) const;

    RootKey root_;
    std::wstring path_;
    UniqueHkey key_;
    ItemAnswers a_;
};

} // namespace mdr
