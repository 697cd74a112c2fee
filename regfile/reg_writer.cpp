// The .reg backup writer: walks keys and values and writes their import text.
#include "regfile/reg_writer.h"

#include <windows.h>
#include <memory>

#include "common/handles.h"
#include "common/trace.h"
#include "regfile/reg_text.h"
#include "version.h"

MDR_TRACE_MODULE(BackupEngine);

namespace mdr {

namespace {

constexpr size_t kBufferBytes = 4096;
constexpr DWORD kValueNameCapacity = 32767; // the longest value name, 16383, fits with room
constexpr DWORD kKeyNameCapacity = 8192;

class BackupFile {
  public:
    explicit BackupFile(UniqueFile file) : file_(std::move(file)) { buffer_.reserve(kBufferBytes); }

    void Write(std::wstring_view text) {
        for (wchar_t c : text) {
            buffer_.push_back(static_cast<BYTE>(c & 0xFF));
            buffer_.push_back(static_cast<BYTE>(c >> 8));
            if (buffer_.size() >= kBufferBytes) Flush();
        }
    }
    void WriteBytes(const BYTE* data, size_t size) {
        buffer_.insert(buffer_.end(), data, data + size);
    }
    void Line(std::wstring_view text) {
        Write(text);
        Write(L"\r\n");
    }

    // Hands the buffer to the file; remembers any failure for Close.
    void Flush() {
        size_t done = 0;
        while (done < buffer_.size() && !failed_) {
            DWORD written = 0;
            DWORD chunk = static_cast<DWORD>(buffer_.size() - done);
            if (!WriteFile(file_.get(), buffer_.data() + done, chunk, &written, nullptr) ||
                written == 0) {
                failed_ = true;
            }
            done += written;
        }
        buffer_.clear();
    }

    // True when everything written reached the disk.
    bool Close() {
        Flush();
        if (!failed_ && !FlushFileBuffers(file_.get())) failed_ = true;
        if (!CloseHandle(file_.release())) failed_ = true;
        return !failed_;
    }

    bool Failed() const { return failed_; }

  private:
    UniqueFile file_;
    std::vector<BYTE> buffer_;
    bool failed_ = false;
};

std::unique_ptr<BackupFile> g_file;
std::vector<std::wstring> g_omissions;
REGSAM g_view = 0; // BackupViewScope; the writer has one caller at a time, as g_file does

std::wstring KeyText(RootKey root, std::wstring_view keyPath) {
    std::wstring text = RootKeyName(root);
    if (!keyPath.empty()) {
        text += L'\\';
        text += OmissionName(keyPath);
    }
    return text;
}

void AddOmission(std::wstring item) {
    if (g_omissions.empty() || g_omissions.back() != item) g_omissions.push_back(std::move(item));
}

// Reads one value; repeats when it grows between the size query and the read.
LONG ReadValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    for (int attempt = 0; attempt < 16 && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA);
         ++attempt) {
        data.assign(size, 0);
        DWORD got = size;
        rc =
            RegQueryValueExW(key, name.c_str(), nullptr, &type, size ? data.data() : nullptr, &got);
        if (rc == ERROR_SUCCESS) {
            data.resize(got);
            return rc;
        }
        size = got;
    }
    return rc == ERROR_SUCCESS ? ERROR_MORE_DATA : rc;
}

// Writes the value line of one value of an open key. A value that cannot be read is left out,
// or, when unreadableLine is set, written as name + "=" (which imports nothing).
void WriteValueLine(HKEY key, RootKey root, std::wstring_view keyPath, const std::wstring& name,
                    bool unreadableLine) {
    MDR_HERE();
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    LONG rc = ReadValue(key, name, type, data);
    if (rc != ERROR_SUCCESS) {
        if (rc != ERROR_FILE_NOT_FOUND)
            AddOmission(KeyText(root, keyPath) + L" -> " + OmissionName(name));
        if (unreadableLine) g_file->Line(RegValueNameField(name) + L"=");
        return;
    }
    if (!RegValueRestoresExactly(type, data.data(), data.size()))
        AddOmission(KeyText(root, keyPath) + L" -> " + OmissionName(name));
    g_file->Line(RegValueLine(name, type, data.data(), data.size()));
}

// Writes the key line; false when the key cannot be named in the file (a comment says so and
// nothing of the key may follow, or it would land in the key before).
bool WriteKeyLine(RootKey root, std::wstring_view keyPath) {
    std::wstring rootName = RootKeyName(root);
    if (rootName.empty() || !RegKeyPathWritable(keyPath)) {
        g_file->Line(L";Left out, its name cannot be written: " + KeyText(root, keyPath));
        AddOmission(KeyText(root, keyPath));
        return false;
    }
    g_file->Line(RegKeyLine(rootName, keyPath));
    return true;
}

} // namespace

BackupViewScope::BackupViewScope(REGSAM view) : previous_(g_view) {
    g_view = view;
}

BackupViewScope::~BackupViewScope() {
    g_view = previous_;
}

int CreateBackupFile(const std::wstring& path) {
    MDR_HERE();
    if (g_file) CloseBackupFile();
    g_omissions.clear();
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) return 0;
    auto backup = std::make_unique<BackupFile>(std::move(file));
    static constexpr BYTE kBom[] = {0xFF, 0xFE};
    backup->WriteBytes(kBom, sizeof kBom);
    backup->Write(RegFileHeader(MDR_VERSION_TEXT));
    backup->Flush();
    if (backup->Failed()) {
        backup->Close();
        DeleteFileW(path.c_str());
        return 0;
    }
    g_file = std::move(backup);
    return 1;
}

int CloseBackupFile() {
    MDR_HERE();
    if (!g_file) return 0;
    bool ok = g_file->Close();
    g_file.reset();
    return ok ? 1 : 0;
}

int BackupKey(RootKey root, std::wstring_view keyPath) {
    MDR_HERE();
    if (!g_file) return 0;
    BackupKeyValues(root, keyPath);
    g_file->Line(L"");
    BackupSubkeys(root, keyPath);
    return 1;
}

int BackupKeyValues(RootKey root, std::wstring_view rawPath) {
    MDR_HERE();
    if (!g_file) return 0;
    const std::wstring keyPath = WithoutTrailingBackslash(rawPath);
    if (!WriteKeyLine(root, keyPath)) return 0;

    UniqueHkey key;
    LONG rc = RegOpenKeyExW(ToHkey(root), keyPath.c_str(), 0, KEY_QUERY_VALUE | g_view, key.put());
    if (rc != ERROR_SUCCESS) {
        if (rc != ERROR_FILE_NOT_FOUND) AddOmission(KeyText(root, keyPath));
        return 0;
    }
    std::vector<wchar_t> nameBuffer(kValueNameCapacity);
    for (DWORD index = 0;; ++index) {
        MDR_HERE();
        DWORD length = kValueNameCapacity;
        rc = RegEnumValueW(key.get(), index, nameBuffer.data(), &length, nullptr, nullptr, nullptr,
                           nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            AddOmission(KeyText(root, keyPath));
            break;
        }
        WriteValueLine(key.get(), root, keyPath, std::wstring(nameBuffer.data(), length), false);
        SleepEx(0, TRUE);
    }
    return 0;
}

int BackupSubkeys(RootKey root, std::wstring_view rawPath) {
    MDR_HERE();
    if (!g_file) return 0;
    const std::wstring keyPath = WithoutTrailingBackslash(rawPath);
    UniqueHkey key;
    LONG rc =
        RegOpenKeyExW(ToHkey(root), keyPath.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | g_view, key.put());
    if (rc != ERROR_SUCCESS) {
        if (rc != ERROR_FILE_NOT_FOUND) AddOmission(KeyText(root, keyPath));
        return 0;
    }
    std::vector<wchar_t> nameBuffer(kKeyNameCapacity);
    for (DWORD index = 0;; ++index) {
        MDR_HERE();
        DWORD length = kKeyNameCapacity;
        rc = RegEnumKeyExW(key.get(), index, nameBuffer.data(), &length, nullptr, nullptr, nullptr,
                           nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            AddOmission(KeyText(root, keyPath));
            break;
        }
        std::wstring child(nameBuffer.data(), length);
        std::wstring full = keyPath.empty() ? child : keyPath + L'\\' + child;
        BackupKeyValues(root, full);
        g_file->Line(L"");
        BackupSubkeys(root, full);
        SleepEx(0, TRUE);
    }
    return 1;
}

int BackupValue(RootKey root, std::wstring_view rawPath, std::wstring_view valueName) {
    MDR_HERE();
    if (!g_file) return 0;
    const std::wstring keyPath = WithoutTrailingBackslash(rawPath);
    if (!WriteKeyLine(root, keyPath)) {
        AddOmission(KeyText(root, keyPath) + L" -> " + OmissionName(valueName));
        return 0;
    }
    UniqueHkey key;
    LONG rc = RegOpenKeyExW(ToHkey(root), keyPath.c_str(), 0, KEY_QUERY_VALUE | g_view, key.put());
    if (rc != ERROR_SUCCESS) {
        if (rc != ERROR_FILE_NOT_FOUND)
            AddOmission(KeyText(root, keyPath) + L" -> " + OmissionName(valueName));
        return 0;
    }
    WriteValueLine(key.get(), root, keyPath, std::wstring(valueName), true);
    g_file->Line(L"");
    return 1;
}

int BackupValueAbsence(RootKey root, std::wstring_view rawPath, std::wstring_view valueName) {
    MDR_HERE();
    if (!g_file) return 0;
    const std::wstring keyPath = WithoutTrailingBackslash(rawPath);
    if (!WriteKeyLine(root, keyPath)) return 0;
    g_file->Line(RegValueNameField(valueName) + L"=-");
    g_file->Line(L"");
    return 1;
}

const std::vector<std::wstring>& BackupOmissions() {
    return g_omissions;
}

} // namespace mdr
