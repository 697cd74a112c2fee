#include "common/icon_file.h"

#include <cstdint>
#include <cstring>

#include "common/path_form.h"

namespace mdr {

namespace {

constexpr size_t kMostIconFileBytes = 1024 * 1024;
constexpr size_t kMostImages = 256;
constexpr size_t kFileHeader = 6;  // reserved, type, count
constexpr size_t kFileEntry = 16;  // ..., bytes in image, offset in file
constexpr size_t kGroupEntry = 14; // ..., bytes in image, resource id
constexpr DWORD kIconFormat = 0x00030000;

uint16_t Word(const BYTE* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Dword(const BYTE* p) {
    return static_cast<uint32_t>(Word(p)) | static_cast<uint32_t>(Word(p + 2)) << 16;
}

// True when every byte of [p, p + size) is committed, readable memory: a resource of a program
// loaded as data may claim more bytes than its file holds.
bool ReadableRange(const void* p, size_t size) {
    auto at = reinterpret_cast<uintptr_t>(p);
    const uintptr_t end = at + size;
    if (end < at) return false;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (!VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info)) return false;
        const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                               PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if (info.State != MEM_COMMIT || !(info.Protect & readable) || (info.Protect & PAGE_GUARD))
            return false;
        at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

UniqueHicon IconOfImage(const BYTE* image, size_t size) {
    if (!IconImageIsSound(image, size)) return UniqueHicon();
    return UniqueHicon(CreateIconFromResourceEx(const_cast<BYTE*>(image), static_cast<DWORD>(size),
                                                TRUE, kIconFormat, GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

// The id of the group's image that suits a small icon best.
int ChosenImage(const BYTE* group, size_t size) {
    if (!GroupIsSound(group, size)) return 0;
    return LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group), TRUE,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       LR_DEFAULTCOLOR);
}

// A resource's bytes and size, checked to lie in readable memory; nullptr when they do not.
const BYTE* ResourceBytes(HMODULE module, HRSRC found, size_t& size) {
    if (!found) return nullptr;
    size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes || size == 0 || size > kMostIconFileBytes || !ReadableRange(bytes, size))
        return nullptr;
    return bytes;
}

struct GroupSearch {
    int wanted;
    int seen = 0;
    std::wstring name; // "#<id>" for a numbered group
};

BOOL CALLBACK NoteGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* search = reinterpret_cast<GroupSearch*>(param);
    if (search->seen++ < search->wanted) return TRUE;
    search->name = IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(name))
                                        : std::wstring(name);
    return FALSE;
}

UniqueHicon IconOfModule(const std::wstring& path, int index) {
    UniqueHmodule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return UniqueHicon();
    GroupSearch search{index < 0 ? 0 : index, 0, {}};
    if (index < 0)
        search.name = L"#" + std::to_wstring(-static_cast<long long>(index));
    else
        EnumResourceNamesW(module.get(), RT_GROUP_ICON, NoteGroup,
                           reinterpret_cast<LONG_PTR>(&search));
    if (search.name.empty()) return UniqueHicon();
    size_t groupSize = 0;
    const BYTE* group = ResourceBytes(
        module.get(), FindResourceW(module.get(), search.name.c_str(), RT_GROUP_ICON), groupSize);
    const int id = group ? ChosenImage(group, groupSize) : 0;
    if (id <= 0) return UniqueHicon();
    size_t imageSize = 0;
    const BYTE* image = ResourceBytes(
        module.get(), FindResourceW(module.get(), MAKEINTRESOURCEW(id), RT_ICON), imageSize);
    return image ? IconOfImage(image, imageSize) : UniqueHicon();
}

bool ReadWholeFile(const std::wstring& path, std::vector<BYTE>& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 2 ||
        size.QuadPart >= static_cast<LONGLONG>(kMostIconFileBytes))
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
           got == bytes.size();
}

} // namespace

bool IconImageIsSound(const BYTE* image, size_t size) {
    static constexpr BYTE kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= sizeof kPng + 25 && std::memcmp(image, kPng, sizeof kPng) == 0) return true;
    if (size < 40) return false;
    const uint32_t header = Dword(image);
    const int32_t width = static_cast<int32_t>(Dword(image + 4));
    const int32_t height = static_cast<int32_t>(Dword(image + 8)) / 2; // picture and mask
    const uint16_t planes = Word(image + 12);
    const uint16_t bits = Word(image + 14);
    const uint32_t compression = Dword(image + 16);
    const uint32_t used = Dword(image + 32);
    if (header < 40 || header > size || width < 1 || width > 256 || height < 1 || height > 256 ||
        planes != 1 || compression != BI_RGB || used > 256)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const uint64_t colours = used ? used : (bits <= 8 ? 1u << bits : 0);
    const uint64_t pictureRow = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    const uint64_t maskRow = (static_cast<uint64_t>(width) + 31) / 32 * 4;
    return header + colours * 4 + (pictureRow + maskRow) * height <= size;
}

bool GroupIsSound(const BYTE* group, size_t size) {
    if (size < kFileHeader || Word(group) != 0 || Word(group + 2) != 1) return false;
    const size_t count = Word(group + 4);
    return count >= 1 && count <= kMostImages && kFileHeader + count * kGroupEntry <= size;
}

std::vector<BYTE> GroupOfIconFile(const std::vector<BYTE>& file) {
    const size_t size = file.size();
    if (size < kFileHeader || size >= kMostIconFileBytes || Word(file.data()) != 0) return {};
    const uint16_t type = Word(file.data() + 2); // 1 icon, 2 cursor
    const size_t count = Word(file.data() + 4);
    const size_t directoryEnd = kFileHeader + count * kFileEntry;
    if ((type != 1 && type != 2) || count < 1 || count > kMostImages || directoryEnd > size)
        return {};
    std::vector<BYTE> group(kFileHeader + count * kGroupEntry);
    group[2] = 1; // an icon group, whatever the file was
    group[4] = static_cast<BYTE>(count & 0xFF);
    group[5] = static_cast<BYTE>(count >> 8);
    for (size_t i = 0; i < count; ++i) {
        const BYTE* entry = file.data() + kFileHeader + i * kFileEntry;
        const uint64_t bytes = Dword(entry + 8);
        const uint64_t offset = Dword(entry + 12);
        if (bytes == 0 || offset < directoryEnd || offset + bytes > size) return {};
        BYTE* out = group.data() + kFileHeader + i * kGroupEntry;
        std::memcpy(out, entry, 12);
        if (type == 2) { // a cursor's planes and bits hold its hot spot
            out[4] = 1, out[5] = 0, out[6] = 0, out[7] = 0;
        }
        out[12] = static_cast<BYTE>((i + 1) & 0xFF);
        out[13] = static_cast<BYTE>((i + 1) >> 8);
    }
    return group;
}

UniqueHicon SmallIconOf(const std::wstring& path, int index) {
    if (path.empty() || IsNetworkPath(path)) return UniqueHicon();
    std::vector<BYTE> bytes;
    const bool module = [&] {
        // Only the first two bytes decide; a program's file is read by the loader, not here.
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
        char magic[2] = {};
        DWORD got = 0;
        return file && ReadFile(file.get(), magic, 2, &got, nullptr) && got == 2 &&
               magic[0] == 'M' && magic[1] == 'Z';
    }();
    if (module) return IconOfModule(path, index);
    if (index != 0 || !ReadWholeFile(path, bytes)) return UniqueHicon();
    const std::vector<BYTE> group = GroupOfIconFile(bytes);
    const int id = group.empty() ? 0 : ChosenImage(group.data(), group.size());
    if (id <= 0 || static_cast<size_t>(id) > Word(group.data() + 4)) return UniqueHicon();
    const BYTE* entry = bytes.data() + kFileHeader + (id - 1) * kFileEntry;
    return IconOfImage(bytes.data() + Dword(entry + 12), Dword(entry + 8));
}

} // namespace mdr
