#include "mdr/scan/scan_memo.h"

#include <unordered_map>

#include "common/text.h"
#include "common/trace.h"
#include "mdr/scan/area_support.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/read_ahead.h"

MDR_TRACE_MODULE(Registry);

namespace mdr {

class ScanMemo {
  public:
    std::unordered_map<std::string, bool> keys;
    std::unordered_map<std::string, ValueAnswer> values;
    std::unordered_map<std::string, bool> paths;
};

namespace {

// The memo of the scan running on this thread, if any.
thread_local ScanMemo* t_memo = nullptr;
ScanMemoStats g_lastStats;

// Text on the heap, a map node and its bucket: a rough measure for the benchmark.
size_t Footprint(const std::wstring& text) {
    return text.capacity() > 7 ? (text.capacity() + 1) * sizeof(wchar_t) + 16 : 0;
}
size_t Footprint(const std::string& text) {
    return text.capacity() > 15 ? text.capacity() + 1 + 16 : 0;
}
template <typename Map, typename Size> size_t MapBytes(const Map& map, Size valueBytes) {
    size_t bytes = map.bucket_count() * sizeof(void*);
    for (const auto& [key, value] : map)
        bytes += 64 + Footprint(key) + valueBytes(value);
    return bytes;
}

// The text in lower case, as ToLower gives it; ASCII text (nearly every path) without a call into
// the system's locale tables, which would cost more than the lookups it serves.
std::wstring FoldCase(std::wstring_view text) {
    std::wstring folded(text);
    for (wchar_t& c : folded) {
        if (c >= 0x80) return ToLower(text);
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return folded;
}

// Text in lower case, one byte per character below 0x80 and three for any other, so that the
// mostly ASCII paths take half the room and no two texts share a key.
void AppendKeyText(std::string& key, std::wstring_view text) {
    for (wchar_t c : FoldCase(text)) {
        if (c < 0x80) {
            key += static_cast<char>(c);
        } else {
            key += '\x80';
            key += static_cast<char>(c >> 8);
            key += static_cast<char>(c & 0xFF);
        }
    }
}

// View, root and path: the registry ignores letter case in key names, and the two views expand
// the same text differently.
std::string KeyOf(RootKey root, std::wstring_view keyPath) {
    std::string key;
    key.reserve(keyPath.size() + 12);
    key += CurrentView() == RegistryView::Wow32 ? '3' : 'n';
    key += std::to_string(root);
    key += '\\';
    AppendKeyText(key, WithoutTrailingBackslash(keyPath));
    return key;
}

// Value names may hold any character but NUL, so NUL parts them from the key.
std::string ValueKeyOf(RootKey root, std::wstring_view keyPath, std::wstring_view valueName) {
    std::string key = KeyOf(root, keyPath);
    key += '\0';
    AppendKeyText(key, valueName);
    return key;
}

const ValueAnswer& ValueOf(RootKey root, const std::wstring& keyPath, std::wstring_view valueName) {
    std::string key = ValueKeyOf(root, keyPath, valueName);
    auto found = t_memo->values.find(key);
    if (found != t_memo->values.end()) return found->second;
    return t_memo->values.emplace(std::move(key), LookUpValue(root, keyPath, valueName))
        .first->second;
}

} // namespace

ScanMemoScope::ScanMemoScope() : memo_(std::make_unique<ScanMemo>()), outer_(t_memo) {
    t_memo = memo_.get();
}

ScanMemoScope::~ScanMemoScope() {
    t_memo = outer_;
    const ScanMemo& m = *memo_;
    auto none = [](bool) { return size_t{0}; };
    g_lastStats = {m.keys.size(), m.values.size(), m.paths.size(),
                   MapBytes(m.keys, none) + MapBytes(m.paths, none) +
                       MapBytes(m.values, [](const ValueAnswer& v) { return Footprint(v.text); })};
}

ScanMemoStats LastScanMemoStats() {
    return g_lastStats;
}

size_t ScanMemoSize() {
    return t_memo ? t_memo->keys.size() + t_memo->values.size() + t_memo->paths.size() : 0;
}

int MemoKeyExists(RootKey root, const std::wstring& keyPath) {
    if (!t_memo) return KeyExists(root, keyPath);
    std::string key = KeyOf(root, keyPath);
    auto found = t_memo->keys.find(key);
    if (found != t_memo->keys.end()) return found->second ? 1 : 0;
    const bool exists = KeyExists(root, keyPath) != 0;
    t_memo->keys.emplace(std::move(key), exists);
    return exists ? 1 : 0;
}

int MemoValueExists(RootKey root, const std::wstring& keyPath, std::wstring_view valueName) {
    if (!t_memo) return ValueExists(root, keyPath, valueName);
    return ValueOf(root, keyPath, valueName).exists ? 1 : 0;
}

std::wstring MemoReadValue(RootKey root, const std::wstring& keyPath, std::wstring_view valueName) {
    if (!t_memo) return ReadValueAsText(root, keyPath, valueName);
    return ValueOf(root, keyPath, valueName).text;
}

bool MemoPathExists(std::wstring_view path) {
    if (!t_memo) return PathExists(path);
    // The file system ignores letter case; the text is the one tested, already mapped for the
    // view, so it needs no view of its own.
    std::string key;
    AppendKeyText(key, path);
    auto found = t_memo->paths.find(key);
    if (found != t_memo->paths.end()) return found->second;
    const bool exists = PathExists(path);
    t_memo->paths.emplace(std::move(key), exists);
    return exists;
}

// ---- One examined key ----

namespace {
// A key with more subkeys than this is probed name by name: listing them would cost more.
constexpr DWORD kMostSubkeysListed = 6;
// Key names are at most 255 characters.
constexpr DWORD kKeyNameChars = 256;
} // namespace

ItemKey::ItemKey(RootKey root, const std::wstring& keyPath) : root_(root), path_(keyPath) {
    TakeReadAhead(root, keyPath, a_);
}

HKEY ItemKey::Handle() {
    if (key_) return key_.get();
    // A key that did not open is not tried again; one read ahead and closed is opened again.
    if (a_.opened && a_.openResult != ERROR_SUCCESS) return nullptr;
    a_.opened = true;
    a_.openResult = RegOpenKeyExW(ToHkey(root_), WithoutTrailingBackslash(path_).c_str(), 0,
                                  KEY_READ, key_.put());
    return a_.openResult == ERROR_SUCCESS ? key_.get() : nullptr;
}

ValueAnswer ItemKey::Value(std::wstring_view name) {
    for (const auto& [known, answer] : a_.valueAnswers)
        if (EqualsNoCase(known, name)) return answer;
    // A key that does not open has no values to show, as ValueExists and ReadValueAsText say.
    HKEY key = Handle();
    ValueAnswer answer = key ? LookUpValue(key, name) : ValueAnswer{};
    a_.valueAnswers.emplace_back(std::wstring(name), std::move(answer));
    return a_.valueAnswers.back().second;
}

void ItemKey::Count() {
    MDR_HERE();
    if (a_.counted) return;
    a_.counted = true;
    HKEY key = Handle();
    if (!key) return;
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &a_.values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    a_.countable = true;
    if (subkeys > kMostSubkeysListed) return;
    // The count says how many names there are: no call is spent on the end of the list.
    a_.listed = true;
    wchar_t name[kKeyNameChars];
    for (DWORD index = 0; index < subkeys; ++index) {
        DWORD length = kKeyNameChars;
        LONG rc = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            // Anything unexpected: the subkeys are probed one by one instead.
            a_.listed = false;
            a_.names.clear();
            break;
        }
        a_.names.push_back(FoldCase(std::wstring_view(name, length)));
    }
}

bool ItemKey::HoldsValues() {
    if (!a_.holdsValues) {
        Count();
        // A key without values of its own is empty only when nothing below it holds one either.
        a_.holdsValues = a_.countable && (a_.values > 0 || SubkeysHoldValues(Handle()));
    }
    return *a_.holdsValues;
}

bool ItemKey::Listed(std::wstring_view name) const {
    const std::wstring lower = FoldCase(name);
    for (const std::wstring& listed : a_.names)
        if (listed == lower) return true;
    return false;
}

bool ItemKey::Probe(const wchar_t* name, std::wstring& value) {
    MDR_HERE();
    value.clear();
    if (a_.listed && !Listed(name)) return false;
    UniqueHkey child;
    // Relative to the key where it is open, else by the whole path as KeyExists does.
    const LONG rc =
        key_ ? RegOpenKeyExW(key_.get(), name, 0, KEY_READ, child.put())
             : RegOpenKeyExW(ToHkey(root_), JoinKey(path_, name).c_str(), 0, KEY_READ, child.put());
    if (rc == ERROR_SUCCESS) {
        value = ReadOpenValueAsText(child.get(), L"");
        return true;
    }
    // A refused subkey exists, and its value reads as "".
    return rc == ERROR_ACCESS_DENIED;
}

bool ItemKey::Subkey(const wchar_t* name, std::wstring& defaultValue) {
    for (const ItemAnswers::Subkey& answer : a_.subkeys) {
        if (answer.name == name) {
            defaultValue = answer.value;
            return answer.exists;
        }
    }
    const bool exists = Probe(name, defaultValue);
    a_.subkeys.push_back(ItemAnswers::Subkey{name, exists, defaultValue});
    return exists;
}

ItemAnswers ItemKey::TakeAnswers() {
    key_.reset();
    return std::move(a_);
}

} // namespace mdr
