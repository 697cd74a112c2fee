// File information of the tools on real files: MD5 digests, version strings, information lines
// and the file behind a command line.
#include <gtest/gtest.h>
#include <windows.h>
#include "tests/support/test_files.h"
#include "tests/support/edition.h"
#include "tools/frame/file_info.h"

namespace mdr {
namespace {
using test::TempFolder;
using test::WriteFileBytes;

TEST(FileMd5, KnownDigestsIncludingChunkBoundaries) {
    struct Case {
        std::string bytes;
        const wchar_t* digest;
    };
    const Case cases[] = {
        {"", L"d41d8cd98f00b204e9800998ecf8427e"},
        {"a", L"0cc175b9c0f1b6a831c399e269772661"},
        {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         L"d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         L"57edf4a22be3c955ac49da2e2107b67a"},
        // Exactly one read chunk, one byte past it, and several chunks.
        {std::string(1000000, 'a'), L"7707d6ae4e027c70eea2a935c2296f21"},
        {std::string(1000001, 'a'), L"71cc81ae0d23051b78b2b25319f187ad"},
        {std::string(2500000, 'a'), L"810b761e68a4f58192e0448bc415517e"}};
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        WriteFileBytes(folder / L"data.bin", c.bytes);
        EXPECT_EQ(FileMd5(folder / L"data.bin"), c.digest);
    }
    EXPECT_EQ(FileMd5(folder / L"missing.bin"), L"");
}

TEST(VersionStrings, OwnProgramAndAResourceWithoutTranslation) {
    // One field at a time is read through FileInfoLines below.
    EXPECT_EQ(QueryVersionString(test::DistDir() + L"MDR.exe",
                                 kCompanyName | kFileVersion | kComments, true),
              std::wstring(L"FileVersion : \t") + test::kVersionText +
                  L"\nCompanyName : \tVeltrane");

    const std::wstring bare = test::BuildDir() + L"tests\\no_translation.dll";
    EXPECT_EQ(QueryVersionString(bare, 0x1FFF, false), L"");
    EXPECT_EQ(FileInfoLines(bare).size(), 4u) << "name, path, size and digest only";
}

TEST(FileInfoLines, StartupAndProcessForms) {
    TempFolder folder;
    WriteFileBytes(folder / L"plain.txt", "abc");
    EXPECT_EQ(FileInfoLines(folder / L"plain.txt"),
              (std::vector<std::wstring>{L"File name\nplain.txt", L"Path\n" + folder.Path(),
                                         L"File size\n3 B",
                                         L"MD5 hash\n900150983cd24fb0d6963f7d28e17f72"}));
    EXPECT_EQ(FileInfoLines(folder / L"gone.exe"),
              (std::vector<std::wstring>{L"Path\nn/a", L"File size\nn/a"}));
    EXPECT_EQ(FileInfoLines(folder / L"gone.exe", FileInfoForm::Process),
              (std::vector<std::wstring>{L"File name\ngone.exe", L"Path\n" + folder.Path(),
                                         L"File size\n-1 B", L"MD5 hash\n"}));
    EXPECT_EQ(ExportedInfoLine(L"File size\n3 B"), L"File size : 3 B");

    const auto mdr = FileInfoLines(test::DistDir() + L"MDR.exe");
    ASSERT_GE(mdr.size(), 5u);
    EXPECT_EQ(mdr[4], std::wstring(L"File version\n") + test::kVersionText);
    EXPECT_EQ(mdr.back(), L"Language\nEnglish");
}

TEST(CommandToFilePath, ResolvesWhatACommandRuns) {
    TempFolder root;
    const std::wstring t = root.Path();
    CreateDirectoryW((t + L"My Folder").c_str(), nullptr);
    CreateDirectoryW((t + L"search").c_str(), nullptr);
    WriteFileBytes(t + L"My Folder\\app.exe", "x");
    WriteFileBytes(t + L"prog.exe", "x");
    WriteFileBytes(t + L"x.dll", "x");
    WriteFileBytes(t + L"search\\tool.exe", "x");
    const CommandSearch search{{t + L"search\\"}, L"C:\\sys\\"};

    struct Case {
        std::wstring command;
        std::wstring file;
    };
    const Case cases[] = {
        // The shortest prefix that is a file keeps its trailing blank.
        {t + L"My Folder\\app.exe /a /b", t + L"My Folder\\app.exe "},
        {L"\"" + t + L"My Folder\\app.exe\" -x", t + L"My Folder\\app.exe"},
        // Quotes at both ends: all of them go, then the prefix walk finds the program.
        {L"\"" + t + L"My Folder\\app.exe\" -x \"y\"", t + L"My Folder\\app.exe "},
        {L"  \"" + t + L"prog.exe\"  ", t + L"prog.exe"},
        {L"regsvr32 /s " + t + L"x.dll", L"C:\\sys\\regsvr32.exe"},
        {L"REGSVR32.EXE", L"C:\\sys\\regsvr32.exe"},
        {L"tool.exe shell32.dll,Control_RunDLL", t + L"search\\tool.exe "},
        {L"tool.exe", t + L"search\\tool.exe"},
        // A file before a comma and a folder are returned as they stand.
        {t + L"x.dll,EntryPoint", t + L"x.dll,EntryPoint"},
        {t + L"My Folder", t + L"My Folder"},
        {t + L"missing.exe -a ", t + L"missing.exe -a"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command.begin(), c.command.end()));
        EXPECT_EQ(CommandToFilePath(c.command, search), c.file);
    }
    // The real search folders find the system's own programs.
    const std::wstring rundll = CommandToFilePath(L"rundll32.exe shell32.dll,Control_RunDLL");
    EXPECT_EQ(rundll.substr(rundll.size() - 23), L"\\system32\\rundll32.exe ");
}
} // namespace
} // namespace mdr
