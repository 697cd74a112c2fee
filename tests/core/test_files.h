// Test helpers: a temporary folder removed with its contents, raw file bytes, and the Windows
// form of the build's Unix paths.
#pragma once

#include <string>
#include <string_view>

namespace mdr::test {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
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

void WriteBytes(const std::wstring& path, std::string_view bytes);
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// UTF-16LE with BOM / UTF-8 with BOM / UTF-8 / ANSI code page encodings of text.
std::string Utf16LeWithBom(std::wstring_view text);
std::string Utf8WithBom(std::wstring_view text);
// ANSI bytes of text; empty when the ANSI code page cannot hold every character.
std::string AnsiBytes(std::wstring_view text);
// Windows path of a Unix path seen through drive Z: ("/a/b" -> "Z:\a\b\" for folders).
std::wstring WindowsFolderFromUnix(std::string_view unixFolder);
// MDR_DIST_DIR as a Windows folder ending in "\", or "" when unset.
std::wstring DistFolder();
// The source tree as a Windows folder ending in "\".
std::wstring SourceFolder();

} // namespace mdr::test
