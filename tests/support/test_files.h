// Files and folders for every test: the Windows form of the build's Unix paths, the install,
// build, source and settings folders, temporary folders removed with their contents, whole-file
// bytes and the byte forms of text in each encoding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mdr::test {
// "/a/b" -> "Z:\a\b" (how a Unix path is seen from inside Wine).
std::wstring WinePath(std::string_view unixPath);
// The install folder (MDR_DIST_DIR), the build folder (MDR_BUILD_DIR) and the source tree, as
// Windows paths ending in "\".
std::wstring DistDir();
std::wstring BuildDir();
std::wstring SourceDir();
// C:\users\<user>\Application Data\Veltrane\Veltrane Mendora\ (where MDR keeps its settings).
std::wstring SettingsDir();

// A fresh, empty folder under %TEMP% ("...\"), and recursive removal of a folder.
std::wstring MakeTempDir(std::wstring_view prefix);
bool RemoveTree(const std::wstring& folder);
bool CopyTree(const std::wstring& from, const std::wstring& to);

// A temporary folder removed with its contents at the end of its scope.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Ends in "\".
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(std::wstring_view name) const { return path_ + std::wstring(name); }
    // Number of entries (files and folders) directly inside.
    int CountEntries() const;

  private:
    std::wstring path_;
};

// Removes from the Recycle Bin the files whose names start with prefix. Wine keeps it in the
// Linux user's trash ("Trash" in $XDG_DATA_HOME or the home folder's .local\share), outside the
// test prefix, so tests that recycle files empty it of theirs. The number of files removed.
int PurgeRecycledFiles(std::wstring_view prefix);

// Whole files, bytes as they are on disk ("" when the file cannot be read).
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

// UTF-16LE bytes of text (no BOM), with BOM, UTF-8 with BOM, and the ANSI code page's bytes
// (empty when the code page cannot hold every character).
std::string Utf16Bytes(std::wstring_view text);
std::string Utf16LeWithBom(std::wstring_view text);
std::string Utf8WithBom(std::wstring_view text);
std::string AnsiBytes(std::wstring_view text);
// 60 MB of "a" lines: under the 64 MB cap on input files, but tens of millions of lines.
std::string TinyLines();
// An icon file whose directory claims count images, of which only the first entry is written:
// size bytes at offset; image follows the directory. IconFile(65535, 40, 22) is 22 bytes that
// lie about everything.
std::string IconFile(uint16_t count, uint32_t size, uint32_t offset, std::string_view image = {});
// A sound 16x16 image of 32 bits per pixel: header, pixels and mask (1,128 bytes).
std::string IconImage16();
} // namespace mdr::test
