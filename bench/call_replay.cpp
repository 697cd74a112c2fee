// Import-table hooks that record registry and file calls, and their replay.
//
// The scan engine is linked statically into this program, so every call it makes to advapi32 and
// kernel32 goes through this module's import address table. While recording, the table's entries
// point at thin wrappers that call the real function and append what was asked to a list; the
// replay then makes exactly those calls again in a loop. Handles are mapped to slots so that a
// replayed enumeration uses the key the replay itself opened.
#include "bench/call_replay.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "bench/bench_clock.h"
#include "common/lock.h"
#include "common/registry.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Misc);

namespace mdr::bench {
namespace {

Recording* g_rec = nullptr;
// The scan reads on two threads (the walk and its reader ahead): one call is recorded at a time,
// in the order the calls were made.
Mutex g_lock;
std::unordered_map<HKEY, uint32_t> g_keySlots;
std::unordered_map<HANDLE, uint32_t> g_findSlots;
constexpr uint32_t kUnmapped = 0x7FFFFFFFu;

uint32_t Text(const wchar_t* s) {
    if (!s) return kNoText;
    g_rec->texts.emplace_back(s);
    return static_cast<uint32_t>(g_rec->texts.size() - 1);
}

uint32_t KeyRef(HKEY key) {
    // Predefined roots are sign-extended 32-bit values: 0xFFFFFFFF80000002 in a 64-bit program.
    const auto low = static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(key));
    if (low >= 0x80000000u && low <= 0x800000FFu && key == ToHkey(static_cast<RootKey>(low)))
        return low;
    auto it = g_keySlots.find(key);
    if (it != g_keySlots.end()) return it->second;
    ++g_rec->unmappedHandles;
    return kUnmapped;
}

uint32_t NewKeySlot(HKEY key) {
    uint32_t slot = g_rec->keySlots++;
    g_keySlots[key] = slot;
    return slot;
}

template <typename... P> uint32_t NonNullMask(P... pointers) {
    uint32_t mask = 0, bit = 1;
    ((mask |= (pointers ? bit : 0), bit <<= 1), ...);
    return mask;
}

void Push(const Op& op) {
    g_rec->ops.push_back(op);
}

// ---- The real functions and the wrappers ----

#define MDR_REAL(name) decltype(&::name) real_##name = nullptr

MDR_REAL(RegOpenKeyExW);
MDR_REAL(RegCloseKey);
MDR_REAL(RegEnumKeyExW);
MDR_REAL(RegEnumValueW);
MDR_REAL(RegQueryValueExW);
MDR_REAL(RegQueryInfoKeyW);
MDR_REAL(RegGetValueW);
MDR_REAL(FindFirstFileW);
MDR_REAL(FindFirstFileExW);
MDR_REAL(FindClose);
MDR_REAL(GetFileAttributesW);
MDR_REAL(GetFileAttributesExW);
MDR_REAL(GetDriveTypeW);
MDR_REAL(GetLongPathNameW);
MDR_REAL(SleepEx);

LSTATUS WINAPI HookRegOpenKeyExW(HKEY key, LPCWSTR sub, DWORD options, REGSAM sam, PHKEY out) {
    const std::lock_guard<Mutex> hold(g_lock);
    LSTATUS rc = real_RegOpenKeyExW(key, sub, options, sam, out);
    Op op{OpKind::OpenKey};
    op.ref = KeyRef(key);
    op.text = Text(sub);
    op.index = sam;
    op.size = options;
    op.slot = (rc == ERROR_SUCCESS && out) ? NewKeySlot(*out) : kUnmapped;
    Push(op);
    return rc;
}

LSTATUS WINAPI HookRegCloseKey(HKEY key) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::CloseKey};
    op.ref = KeyRef(key);
    g_keySlots.erase(key);
    Push(op);
    return real_RegCloseKey(key);
}

LSTATUS WINAPI HookRegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize,
                                 LPDWORD reserved, LPWSTR cls, LPDWORD clsSize, PFILETIME time) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::EnumKey};
    op.ref = KeyRef(key);
    op.index = index;
    op.size = nameSize ? *nameSize : 0;
    op.size2 = clsSize ? *clsSize : 0;
    op.flags = NonNullMask(name, nameSize, cls, clsSize, time);
    Push(op);
    return real_RegEnumKeyExW(key, index, name, nameSize, reserved, cls, clsSize, time);
}

LSTATUS WINAPI HookRegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize,
                                 LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::EnumValue};
    op.ref = KeyRef(key);
    op.index = index;
    op.size = nameSize ? *nameSize : 0;
    op.size2 = dataSize ? *dataSize : 0;
    op.flags = NonNullMask(name, nameSize, type, data, dataSize);
    Push(op);
    return real_RegEnumValueW(key, index, name, nameSize, reserved, type, data, dataSize);
}

LSTATUS WINAPI HookRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type,
                                    LPBYTE data, LPDWORD dataSize) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::QueryValue};
    op.ref = KeyRef(key);
    op.text = Text(name);
    op.size = dataSize ? *dataSize : 0;
    op.flags = NonNullMask(type, data, dataSize);
    Push(op);
    return real_RegQueryValueExW(key, name, reserved, type, data, dataSize);
}

LSTATUS WINAPI HookRegQueryInfoKeyW(HKEY key, LPWSTR cls, LPDWORD clsSize, LPDWORD reserved,
                                    LPDWORD subKeys, LPDWORD maxSubKey, LPDWORD maxClass,
                                    LPDWORD values, LPDWORD maxValueName, LPDWORD maxValue,
                                    LPDWORD security, PFILETIME time) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::QueryInfoKey};
    op.ref = KeyRef(key);
    op.size = clsSize ? *clsSize : 0;
    op.flags = NonNullMask(cls, clsSize, subKeys, maxSubKey, maxClass, values, maxValueName,
                           maxValue, security, time);
    Push(op);
    return real_RegQueryInfoKeyW(key, cls, clsSize, reserved, subKeys, maxSubKey, maxClass, values,
                                 maxValueName, maxValue, security, time);
}

LSTATUS WINAPI HookRegGetValueW(HKEY key, LPCWSTR sub, LPCWSTR value, DWORD flags, LPDWORD type,
                                PVOID data, LPDWORD dataSize) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::GetValue};
    op.ref = KeyRef(key);
    op.text = Text(sub);
    op.text2 = Text(value);
    op.index = flags;
    op.size = dataSize ? *dataSize : 0;
    op.flags = NonNullMask(type, data, dataSize);
    Push(op);
    return real_RegGetValueW(key, sub, value, flags, type, data, dataSize);
}

HANDLE WINAPI HookFindFirstFileW(LPCWSTR name, LPWIN32_FIND_DATAW data) {
    const std::lock_guard<Mutex> hold(g_lock);
    HANDLE h = real_FindFirstFileW(name, data);
    Op op{OpKind::FindFile};
    op.text = Text(name);
    op.slot = kUnmapped;
    if (h != INVALID_HANDLE_VALUE) {
        op.slot = g_rec->findSlots++;
        g_findSlots[h] = op.slot;
    }
    Push(op);
    return h;
}

HANDLE WINAPI HookFindFirstFileExW(LPCWSTR name, FINDEX_INFO_LEVELS level, LPVOID data,
                                   FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags) {
    const std::lock_guard<Mutex> hold(g_lock);
    HANDLE h = real_FindFirstFileExW(name, level, data, search, filter, flags);
    Op op{OpKind::FindFileEx};
    op.text = Text(name);
    op.index = static_cast<uint32_t>(level);
    op.size = static_cast<uint32_t>(search);
    op.size2 = flags;
    op.slot = kUnmapped;
    if (h != INVALID_HANDLE_VALUE) {
        op.slot = g_rec->findSlots++;
        g_findSlots[h] = op.slot;
    }
    Push(op);
    return h;
}

BOOL WINAPI HookFindClose(HANDLE h) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::FindClose};
    auto it = g_findSlots.find(h);
    op.ref = it == g_findSlots.end() ? kUnmapped : it->second;
    if (it != g_findSlots.end()) g_findSlots.erase(it);
    Push(op);
    return real_FindClose(h);
}

DWORD WINAPI HookGetFileAttributesW(LPCWSTR name) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::FileAttributes};
    op.text = Text(name);
    Push(op);
    return real_GetFileAttributesW(name);
}

BOOL WINAPI HookGetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::FileAttributesEx};
    op.text = Text(name);
    op.index = static_cast<uint32_t>(level);
    Push(op);
    return real_GetFileAttributesExW(name, level, info);
}

UINT WINAPI HookGetDriveTypeW(LPCWSTR root) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::DriveType};
    op.text = Text(root);
    Push(op);
    return real_GetDriveTypeW(root);
}

DWORD WINAPI HookGetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD size) {
    const std::lock_guard<Mutex> hold(g_lock);
    Op op{OpKind::LongPathName};
    op.text = Text(shortPath);
    op.size = size;
    op.flags = NonNullMask(longPath);
    Push(op);
    return real_GetLongPathNameW(shortPath, longPath, size);
}

DWORD WINAPI HookSleepEx(DWORD milliseconds, BOOL alertable) {
    InterlockedIncrement64(reinterpret_cast<volatile LONG64*>(&g_rec->yields));
    return real_SleepEx(milliseconds, alertable);
}

// ---- Import table patching ----

void** FindImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         imp->Name; ++imp) {
        if (_stricmp(reinterpret_cast<char*>(base + imp->Name), dll) != 0) continue;
        DWORD namesRva = imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void WriteSlot(void** slot, void* value) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

struct Patch {
    const char* dll;
    const char* function;
    void* hook;
    void** real; // where the original pointer is kept
    void** slot = nullptr;
};

#define MDR_PATCH(dll, name)                                                                       \
    Patch {                                                                                        \
        dll, #name, reinterpret_cast<void*>(&Hook##name), reinterpret_cast<void**>(&real_##name)   \
    }

Patch g_patches[] = {
    MDR_PATCH("advapi32.dll", RegOpenKeyExW),
    MDR_PATCH("advapi32.dll", RegCloseKey),
    MDR_PATCH("advapi32.dll", RegEnumKeyExW),
    MDR_PATCH("advapi32.dll", RegEnumValueW),
    MDR_PATCH("advapi32.dll", RegQueryValueExW),
    MDR_PATCH("advapi32.dll", RegQueryInfoKeyW),
    MDR_PATCH("advapi32.dll", RegGetValueW),
    MDR_PATCH("kernel32.dll", FindFirstFileW),
    MDR_PATCH("kernel32.dll", FindFirstFileExW),
    MDR_PATCH("kernel32.dll", FindClose),
    MDR_PATCH("kernel32.dll", GetFileAttributesW),
    MDR_PATCH("kernel32.dll", GetFileAttributesExW),
    MDR_PATCH("kernel32.dll", GetDriveTypeW),
    MDR_PATCH("kernel32.dll", GetLongPathNameW),
    MDR_PATCH("kernel32.dll", SleepEx),
};

} // namespace

const char* OpName(OpKind kind) {
    static const char* const names[] = {
        "RegOpenKeyExW",    "RegCloseKey",      "RegEnumKeyExW",      "RegEnumValueW",
        "RegQueryValueExW", "RegQueryInfoKeyW", "RegGetValueW",       "FindFirstFileW",
        "FindFirstFileExW", "FindClose",        "GetFileAttributesW", "GetFileAttributesExW",
        "GetDriveTypeW",    "GetLongPathNameW", "(area start)"};
    int i = static_cast<int>(kind);
    return i >= 0 && i < kOpKinds ? names[i] : "?";
}

bool StartRecording(Recording& into) {
    MDR_HERE();
    g_rec = &into;
    g_keySlots.clear();
    g_findSlots.clear();
    bool all = true;
    for (Patch& p : g_patches) {
        p.slot = FindImportSlot(p.dll, p.function);
        if (!p.slot) {
            // Not imported: this program never calls it, so there is nothing to record.
            *p.real = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(p.dll), p.function));
            all = all && *p.real != nullptr;
            continue;
        }
        *p.real = *p.slot;
        WriteSlot(p.slot, p.hook);
    }
    return all;
}

void StopRecording() {
    MDR_HERE();
    for (Patch& p : g_patches) {
        if (p.slot) WriteSlot(p.slot, *p.real);
        p.slot = nullptr;
    }
    g_rec = nullptr;
}

void RecordAreaStart(int item) {
    if (!g_rec) return;
    Op op{OpKind::AreaStart};
    op.index = static_cast<uint32_t>(item);
    Push(op);
}

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& f) {
        return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) / 1e7;
}

double TimeYields(uint64_t count) {
    Stopwatch watch;
    for (uint64_t i = 0; i < count; ++i)
        SleepEx(0, TRUE);
    return watch.Seconds();
}

ReplayResult Replay(const Recording& rec, bool timePerCall) {
    MDR_HERE();
    ReplayResult result;
    std::vector<HKEY> keys(rec.keySlots, nullptr);
    std::vector<HANDLE> finds(rec.findSlots, INVALID_HANDLE_VALUE);
    std::vector<wchar_t> name(32768), cls(32768), longPath(32768);
    std::vector<BYTE> data(1 << 16);
    WIN32_FIND_DATAW fd;
    WIN32_FILE_ATTRIBUTE_DATA fad;
    FILETIME ft;
    auto key = [&](uint32_t ref) -> HKEY {
        if (ref >= 0x80000000u) return ToHkey(static_cast<RootKey>(ref));
        return ref < keys.size() ? keys[ref] : nullptr;
    };
    auto text = [&](uint32_t t) -> const wchar_t* {
        return t == kNoText ? nullptr : rec.texts[t].c_str();
    };
    auto has = [](const Op& op, int bit) { return (op.flags >> bit) & 1u; };
    auto room = [&](uint32_t bytes) {
        if (data.size() < bytes) data.resize(bytes);
        return data.data();
    };

    double cpuStart = ThreadCpuSeconds();
    Stopwatch total;
    LARGE_INTEGER freq, before, after;
    QueryPerformanceFrequency(&freq);
    int area = 0;
    for (const Op& op : rec.ops) {
        if (op.kind == OpKind::AreaStart) {
            area = static_cast<int>(op.index);
            continue;
        }
        if (timePerCall) QueryPerformanceCounter(&before);
        DWORD n = op.size, n2 = op.size2, type = 0, d1 = 0;
        switch (op.kind) {
        case OpKind::OpenKey: {
            HKEY h = nullptr;
            if (RegOpenKeyExW(key(op.ref), text(op.text), op.size, op.index, &h) == 0) {
                if (op.slot < keys.size())
                    keys[op.slot] = h;
                else
                    RegCloseKey(h);
            }
            break;
        }
        case OpKind::CloseKey:
            if (op.ref < keys.size() && keys[op.ref]) {
                RegCloseKey(keys[op.ref]);
                keys[op.ref] = nullptr;
            }
            break;
        case OpKind::EnumKey:
            RegEnumKeyExW(key(op.ref), op.index, has(op, 0) ? name.data() : nullptr,
                          has(op, 1) ? &n : nullptr, nullptr, has(op, 2) ? cls.data() : nullptr,
                          has(op, 3) ? &n2 : nullptr, has(op, 4) ? &ft : nullptr);
            break;
        case OpKind::EnumValue:
            RegEnumValueW(key(op.ref), op.index, has(op, 0) ? name.data() : nullptr,
                          has(op, 1) ? &n : nullptr, nullptr, has(op, 2) ? &type : nullptr,
                          has(op, 3) ? room(op.size2) : nullptr, has(op, 4) ? &n2 : nullptr);
            break;
        case OpKind::QueryValue:
            RegQueryValueExW(key(op.ref), text(op.text), nullptr, has(op, 0) ? &type : nullptr,
                             has(op, 1) ? room(op.size) : nullptr, has(op, 2) ? &n : nullptr);
            break;
        case OpKind::QueryInfoKey: {
            DWORD v[8];
            RegQueryInfoKeyW(key(op.ref), has(op, 0) ? cls.data() : nullptr,
                             has(op, 1) ? &n : nullptr, nullptr, has(op, 2) ? &v[0] : nullptr,
                             has(op, 3) ? &v[1] : nullptr, has(op, 4) ? &v[2] : nullptr,
                             has(op, 5) ? &v[3] : nullptr, has(op, 6) ? &v[4] : nullptr,
                             has(op, 7) ? &v[5] : nullptr, has(op, 8) ? &v[6] : nullptr,
                             has(op, 9) ? &ft : nullptr);
            break;
        }
        case OpKind::GetValue:
            RegGetValueW(key(op.ref), text(op.text), text(op.text2), op.index,
                         has(op, 0) ? &type : nullptr, has(op, 1) ? room(op.size) : nullptr,
                         has(op, 2) ? &n : nullptr);
            break;
        case OpKind::FindFile: {
            HANDLE h = FindFirstFileW(text(op.text), &fd);
            if (h != INVALID_HANDLE_VALUE) {
                if (op.slot < finds.size())
                    finds[op.slot] = h;
                else
                    FindClose(h);
            }
            break;
        }
        case OpKind::FindFileEx: {
            HANDLE h =
                FindFirstFileExW(text(op.text), static_cast<FINDEX_INFO_LEVELS>(op.index), &fd,
                                 static_cast<FINDEX_SEARCH_OPS>(op.size), nullptr, op.size2);
            if (h != INVALID_HANDLE_VALUE) {
                if (op.slot < finds.size())
                    finds[op.slot] = h;
                else
                    FindClose(h);
            }
            break;
        }
        case OpKind::FindClose:
            if (op.ref < finds.size() && finds[op.ref] != INVALID_HANDLE_VALUE) {
                FindClose(finds[op.ref]);
                finds[op.ref] = INVALID_HANDLE_VALUE;
            }
            break;
        case OpKind::FileAttributes:
            d1 = GetFileAttributesW(text(op.text));
            break;
        case OpKind::FileAttributesEx:
            GetFileAttributesExW(text(op.text), static_cast<GET_FILEEX_INFO_LEVELS>(op.index),
                                 &fad);
            break;
        case OpKind::DriveType:
            GetDriveTypeW(text(op.text));
            break;
        case OpKind::LongPathName:
            GetLongPathNameW(text(op.text), has(op, 0) ? longPath.data() : nullptr,
                             std::min<DWORD>(op.size, static_cast<DWORD>(longPath.size())));
            break;
        default:
            break;
        }
        (void)d1;
        int k = static_cast<int>(op.kind);
        ++result.count[k];
        if (timePerCall) {
            QueryPerformanceCounter(&after);
            double s = static_cast<double>(after.QuadPart - before.QuadPart) / freq.QuadPart;
            result.opSeconds[k] += s;
            if (area >= 0 && area < 19) result.areaSeconds[area] += s;
        }
    }
    result.seconds = total.Seconds();
    result.cpuSeconds = ThreadCpuSeconds() - cpuStart;
    // Anything the scan left open (it should be nothing) is closed now.
    for (HKEY h : keys)
        if (h) RegCloseKey(h);
    for (HANDLE h : finds)
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
    return result;
}

} // namespace mdr::bench
