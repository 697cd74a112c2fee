// What other programs leave for the tools to read: icon files whose directory lies, and the many
// spellings of one folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/icon_file.h"
#include "common/path_form.h"
#include "common/text.h"
#include "tests/support/test_files.h"

using namespace mdr;
using namespace mdr::test;

TEST(HostileInput, IconFilesAreCheckedBeforeTheSystemReadsThem) {
    const std::string image = IconImage16();
    std::string tooWide = image;
    tooWide[4] = 0, tooWide[5] = 1; // 256 pixels wide: its pixels cannot fit
    const struct {
        const wchar_t* what;
        std::string bytes;
        bool sound;
    } cases[] = {
        {L"sound", IconFile(1, 1128, 22, image), true},
        {L"no image", IconFile(0, 1128, 22, image), false},
        {L"65,535 images", IconFile(65535, 40, 22), false},
        {L"offset past the end", IconFile(1, 1128, 100000, image), false},
        {L"size past the end", IconFile(1, 5000, 22, image), false},
        {L"image inside the directory", IconFile(1, 1128, 6, image), false},
        {L"pixels past the image", IconFile(1, 1128, 22, tooWide), false},
        {L"empty file", "", false},
    };
    TempFolder temp;
    for (const auto& c : cases) {
        const std::wstring path = temp / (std::wstring(c.what) + L".ico");
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        EXPECT_EQ(static_cast<bool>(SmallIconOf(path, 0)), c.sound) << ToUtf8(c.what);
    }
    EXPECT_TRUE(SmallIconOf(L"C:\\windows\\system32\\notepad.exe", 0)) << "a program's icon";
    EXPECT_FALSE(SmallIconOf(L"\\\\nohost\\share\\app.ico", 0)) << "network paths are not read";
    EXPECT_FALSE(SmallIconOf(L"Q:\\no drive\\app.ico", 0));
}

TEST(HostileInput, SpellingsOfOneFolderCompareEqual) {
    wchar_t shortForm[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(L"C:\\Program Files\\", shortForm, MAX_PATH), 0u);
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\.", L"c:\\"},
        {L"C:\\", L"c:\\"},
        {L"c:\\WINDOWS", L"c:\\windows\\"},
        {L"C:\\windows\\..\\Windows\\.\\", L"c:\\windows\\"},
        {L"C:\\windows\\\\system32", L"c:\\windows\\system32\\"},
        {L"\\\\?\\C:\\Windows\\", L"c:\\windows\\"},
        {shortForm, L"c:\\program files\\"},
        {L"C:\\no such folder\\", L"c:\\no such folder\\"},
        {L"\\\\?\\UNC\\Host\\Share\\", L"\\\\host\\share\\"},
        {L"", L""},
    };
    for (const auto& [path, canonical] : cases)
        EXPECT_EQ(CanonicalPath(path), canonical) << ToUtf8(path);
}
