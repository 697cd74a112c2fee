#include "common/ini.h"

#include <windows.h>

#include <algorithm>

#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Misc);

namespace mdr {

namespace {

constexpr unsigned long long kMaxFileBytes = 64ull * 1024 * 1024;

bool IsMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool ValueHoldsLineBreak(std::wstring_view s) {
    return s.find_first_of(L"\r\n") != std::wstring_view::npos;
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    if (slash == 0) return path.substr(0, 1);
    // Keep "C:\" whole: GetTempFileNameW wants a folder, and "C:" alone means "current on C:".
    if (slash == 2 && path[1] == L':') return path.substr(0, 3);
    return path.substr(0, slash);
}

} // namespace

// ---- Whole-file helpers ----

FileState ReadFileBytes(const std::wstring& path, std::string& bytes) {
    MDR_HERE();
    bytes.clear();
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (path.empty()) return FileState::Missing;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info))
        return IsMissingError(GetLastError()) ? FileState::Missing : FileState::Unreadable;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return FileState::Unreadable;
    unsigned long long size =
        (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > kMaxFileBytes) return FileState::Unreadable;

    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return IsMissingError(GetLastError()) ? FileState::Missing : FileState::Unreadable;

    // Read to the end rather than trusting the size: the file may change meanwhile.
    std::string data;
    data.reserve(static_cast<size_t>(size));
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            return FileState::Unreadable;
        if (got == 0) break;
        if (data.size() + got > kMaxFileBytes) return FileState::Unreadable;
        data.append(buffer, got);
    }
    bytes = std::move(data);
    return FileState::Ok;
}

namespace {

// UTF-8; with allowSurrogates also the three-byte form of surrogates that ToUtf8 writes for
// unpaired ones.
bool ValidUtf8(std::string_view bytes, bool allowSurrogates) {
    for (size_t i = 0; i < bytes.size();) {
        unsigned cp = 0;
        const size_t len = DecodeUtf8At(bytes, i, cp);
        if (len == 0) return false;
        if (!allowSurrogates && cp >= 0xD800 && cp <= 0xDFFF) return false; // encoded surrogate
        i += len;
    }
    return true;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    return ValidUtf8(bytes, false);
}

namespace {

std::wstring FromUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring text;
    text.reserve(bytes.size() / 2);
    const int high = bigEndian ? 0 : 1;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i + 1 - high]) |
                                            (static_cast<unsigned char>(bytes[i + high]) << 8)));
    }
    return text;
}

// UTF-16 without a BOM: text of ours is mostly ASCII, so one byte of nearly every pair is NUL,
// always the same one. 0: not UTF-16; 1: little-endian; 2: big-endian.
int SniffUtf16(std::string_view bytes) {
    const size_t pairs = std::min<size_t>(bytes.size(), 8192) / 2;
    if (pairs == 0) return 0;
    size_t evenNul = 0, oddNul = 0;
    for (size_t i = 0; i < pairs; ++i) {
        evenNul += bytes[2 * i] == '\0';
        oddNul += bytes[2 * i + 1] == '\0';
    }
    if (oddNul * 2 >= pairs && evenNul * 8 <= oddNul) return 1;
    if (evenNul * 2 >= pairs && oddNul * 8 <= evenNul) return 2;
    return 0;
}

bool StartsWithBytes(std::string_view bytes, std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
}

} // namespace

std::wstring DecodeText(std::string_view bytes, bool sniff) {
    if (StartsWithBytes(bytes, "\xFF\xFE")) return FromUtf16(bytes.substr(2), false);
    if (StartsWithBytes(bytes, "\xEF\xBB\xBF")) return FromUtf8(bytes.substr(3));
    if (!sniff) return FromAnsi(bytes);
    if (StartsWithBytes(bytes, "\xFE\xFF")) return FromUtf16(bytes.substr(2), true);
    if (int utf16 = SniffUtf16(bytes)) return FromUtf16(bytes, utf16 == 2);
    if (ValidUtf8(bytes, true)) return FromUtf8(bytes);
    return FromAnsi(bytes);
}

bool DecodeTextChecked(std::string_view bytes, std::wstring& text) {
    if (StartsWithBytes(bytes, "\xEF\xBB\xBF") && !ValidUtf8(bytes.substr(3), true)) return false;
    text = DecodeText(bytes, true);
    return text.find(L'\0') == std::wstring::npos;
}

size_t CountTextLines(std::wstring_view text, size_t limit) {
    size_t lines = 0;
    bool blank = true;
    for (wchar_t c : text) {
        if (c == L'\r' || c == L'\n') {
            if (!blank && ++lines > limit) return lines;
            blank = true;
        } else if (c != L' ' && c != L'\t') {
            blank = false;
        }
    }
    return lines + (blank ? 0 : 1);
}

bool WriteFileReplacing(const std::wstring& path, std::string_view bytes) {
    MDR_HERE();
    if (path.empty()) return false;
    std::wstring folder = FolderOf(path);
    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(folder.c_str(), L"mdr", 0, temp)) return false;
    std::wstring tempPath = temp;
    ScopeExit removeTemp([&] { DeleteFileW(tempPath.c_str()); });

    {
        UniqueFile file(CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) ||
                written == 0)
                return false;
            done += written;
        }
        if (!FlushFileBuffers(file.get())) return false;
    }
    if (!MoveFileExW(tempPath.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    removeTemp.dismiss();
    return true;
}

long long FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info))
        return -1;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return static_cast<long long>((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) |
                                  info.nFileSizeLow);
}

// ---- IniFile ----

IniFile IniFile::Parse(std::wstring_view text, std::wstring_view onlyGroup) {
    MDR_HERE();
    IniFile ini;
    const bool filtered = !onlyGroup.empty();
    const std::wstring wanted = Trim(onlyGroup);
    std::vector<IniLine>* target = filtered ? nullptr : &ini.preamble_;
    const size_t n = text.size();
    size_t pos = 0;
    while (pos < n) {
        size_t end = text.find_first_of(L"\r\n", pos);
        if (end == std::wstring_view::npos) end = n;
        std::wstring_view raw = text.substr(pos, end - pos);
        // CR LF, LF and a lone CR all end a line.
        pos = end;
        if (pos < n) pos += (text[pos] == L'\r' && pos + 1 < n && text[pos + 1] == L'\n') ? 2 : 1;

        size_t first = raw.find_first_not_of(L" \t");
        if (first == std::wstring_view::npos) continue;
        if (raw[first] == L'[') {
            std::wstring line = Trim(raw);
            size_t close = line.find(L']');
            std::wstring name = Trim(std::wstring_view(line).substr(
                1, close == std::wstring::npos ? std::wstring::npos : close - 1));
            if (filtered && !EqualsNoCase(name, wanted)) {
                target = nullptr;
                continue;
            }
            IniGroup group;
            group.name = std::move(name);
            ini.groups_.push_back(std::move(group));
            target = &ini.groups_.back().lines;
            continue;
        }
        // Lines of groups that are not wanted cost nothing.
        if (!target) continue;
        std::wstring line = Trim(raw);
        IniLine entry;
        size_t eq = line.find(L'=');
        if (line[0] != L';' && eq != std::wstring::npos && target != &ini.preamble_) {
            entry.isKey = true;
            entry.key = Trim(std::wstring_view(line).substr(0, eq));
            entry.value = Trim(std::wstring_view(line).substr(eq + 1));
        } else {
            entry.value = std::move(line);
        }
        target->push_back(std::move(entry));
    }
    return ini;
}

std::wstring IniFile::ToText() const {
    std::wstring out;
    auto writeLines = [&out](const std::vector<IniLine>& lines) {
        for (const IniLine& l : lines) {
            if (l.isKey)
                out.append(l.key).append(L"=").append(l.value);
            else
                out.append(l.value);
            out.append(L"\r\n");
        }
    };
    writeLines(preamble_);
    bool first = preamble_.empty();
    for (const IniGroup& g : groups_) {
        if (!first) out.append(L"\r\n");
        first = false;
        out.append(L"[").append(g.name).append(L"]\r\n");
        writeLines(g.lines);
    }
    return out;
}

FileState IniFile::Load(const std::wstring& path, std::wstring_view onlyGroup) {
    MDR_HERE();
    *this = IniFile();
    std::string bytes;
    FileState state = ReadFileBytes(path, bytes);
    if (state != FileState::Ok) return state;
    std::wstring text;
    const bool decoded = DecodeTextChecked(bytes, text);
    bytes = std::string();
    // Counted before anything is kept: a file of millions of tiny lines is refused, not parsed.
    if (!decoded || CountTextLines(text, kMaxIniLines) > kMaxIniLines)
        return FileState::Undecodable;
    *this = Parse(text, onlyGroup);
    return FileState::Ok;
}

bool IniFile::Save(const std::wstring& path) const {
    MDR_HERE();
    return WriteFileReplacing(path, ToUtf8(ToText()));
}

void IniFile::BuildIndex() const {
    MDR_HERE();
    groupIndex_.clear();
    keyIndex_.clear();
    for (uint32_t g = 0; g < groups_.size(); ++g) {
        const std::wstring name = ToLower(groups_[g].name);
        groupIndex_[name].push_back(g);
        const std::vector<IniLine>& lines = groups_[g].lines;
        for (uint32_t l = 0; l < lines.size(); ++l) {
            if (!lines[l].isKey) continue;
            keyIndex_.try_emplace(name + L'\n' + ToLower(lines[l].key), KeyRef{g, l});
        }
    }
    indexed_ = true;
}

void IniFile::DropIndex() {
    indexed_ = false;
    groupIndex_.clear();
    keyIndex_.clear();
}

const std::vector<uint32_t>& IniFile::GroupsNamed(std::wstring_view group) const {
    static const std::vector<uint32_t> none;
    if (!indexed_) BuildIndex();
    auto found = groupIndex_.find(ToLower(Trim(group)));
    return found == groupIndex_.end() ? none : found->second;
}

const IniFile::KeyRef* IniFile::FindKey(std::wstring_view group, std::wstring_view key) const {
    if (!indexed_) BuildIndex();
    auto found = keyIndex_.find(ToLower(Trim(group)) + L'\n' + ToLower(key));
    return found == keyIndex_.end() ? nullptr : &found->second;
}

bool IniFile::HasGroup(std::wstring_view group) const {
    return !GroupsNamed(group).empty();
}

bool IniFile::HasKey(std::wstring_view group, std::wstring_view key) const {
    return FindKey(group, key) != nullptr;
}

std::wstring IniFile::GetString(std::wstring_view group, std::wstring_view key,
                                std::wstring_view defaultValue) const {
    if (const KeyRef* ref = FindKey(group, key)) return groups_[ref->group].lines[ref->line].value;
    return std::wstring(defaultValue);
}

std::vector<std::wstring> IniFile::Keys(std::wstring_view group) const {
    std::vector<std::wstring> keys;
    for (uint32_t g : GroupsNamed(group)) {
        for (const IniLine& l : groups_[g].lines)
            if (l.isKey) keys.push_back(l.key);
    }
    return keys;
}

int IniFile::CountNamedKeys(std::wstring_view group) const {
    int n = 0;
    for (uint32_t g : GroupsNamed(group)) {
        for (const IniLine& l : groups_[g].lines)
            if (l.isKey && !l.key.empty()) ++n;
    }
    return n;
}

std::vector<std::wstring> IniFile::GroupNames() const {
    std::vector<std::wstring> names;
    for (const IniGroup& g : groups_)
        names.push_back(g.name);
    return names;
}

bool IniFile::Set(std::wstring_view group, std::wstring_view key, std::wstring_view value) {
    std::wstring k = Trim(key);
    if (k.empty() || k.find(L'=') != std::wstring::npos || k[0] == L'[' || k[0] == L';' ||
        ValueHoldsLineBreak(k) || ValueHoldsLineBreak(value) || ValueHoldsLineBreak(group) ||
        group.find(L']') != std::wstring_view::npos)
        return false;
    if (const KeyRef* ref = FindKey(group, k)) {
        groups_[ref->group].lines[ref->line].value = Trim(value);
        return true;
    }
    AddGroup(group);
    const uint32_t g = GroupsNamed(group).front();
    IniLine line;
    line.isKey = true;
    line.value = Trim(value);
    keyIndex_.try_emplace(ToLower(Trim(group)) + L'\n' + ToLower(k),
                          KeyRef{g, static_cast<uint32_t>(groups_[g].lines.size())});
    line.key = std::move(k);
    groups_[g].lines.push_back(std::move(line));
    return true;
}

bool IniFile::SetInt(std::wstring_view group, std::wstring_view key, int value) {
    return Set(group, key, std::to_wstring(value));
}

void IniFile::AddGroup(std::wstring_view group) {
    if (HasGroup(group)) return;
    IniGroup g;
    g.name = Trim(group);
    groupIndex_[ToLower(g.name)].push_back(static_cast<uint32_t>(groups_.size()));
    groups_.push_back(std::move(g));
}

bool IniFile::RemoveKey(std::wstring_view group, std::wstring_view key) {
    bool removed = false;
    for (uint32_t g : GroupsNamed(group)) {
        removed |= std::erase_if(groups_[g].lines, [&](const IniLine& l) {
                       return l.isKey && EqualsNoCase(l.key, key);
                   }) > 0;
    }
    if (removed) DropIndex();
    return removed;
}

bool IniFile::RemoveGroup(std::wstring_view group) {
    size_t before = groups_.size();
    std::erase_if(groups_, [&](const IniGroup& g) { return EqualsNoCase(g.name, group); });
    if (groups_.size() == before) return false;
    DropIndex();
    return true;
}

} // namespace mdr
