// Facts about the program file behind a listed item, shared by the four tools: version-resource
// strings, the file-information lines of the information panels and exports, the MD5 digest,
// special folders, and the file that a command line runs.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"

namespace mdr {

// Version fields, one bit each, looked up in this order (kVersionLanguage is the language name
// of the translation table, not a resource string).
enum VersionField : unsigned {
    kFileVersion = 0x0001,
    kFileDescription = 0x0002,
    kLegalCopyright = 0x0004,
    kInternalName = 0x0008,
    kOriginalFilename = 0x0010,
    kProductName = 0x0020,
    kProductVersion = 0x0040,
    kCompanyName = 0x0080,
    kLegalTrademarks = 0x0100,
    kSpecialBuild = 0x0200,
    kPrivateBuild = 0x0400,
    kComments = 0x0800,
    kVersionLanguage = 0x1000,
};

// The version strings selected by `fields` of an existing file of more than 0 bytes, joined by
// LF; labelled gives "<ResourceName> : \t<value>" for each. "" when the file has no version
// resource; no string fields and no language without a translation table.
std::wstring QueryVersionString(const std::wstring& path, unsigned fields, bool labelled);

// One line of an information panel: label, LF, value. An export shows the LF as " : ".
using FileInfoLine = std::wstring;
enum class FileInfoForm {
    Startup, // "n/a" lines for a missing file
    Process, // name, folder, size and digest for every path, never "n/a"
};
std::vector<FileInfoLine> FileInfoLines(const std::wstring& path,
                                        FileInfoForm form = FileInfoForm::Startup);
// The line as an export writes it: the LF shown as " : ".
std::wstring ExportedInfoLine(std::wstring_view line);

// 32 lower-case hexadecimal digits of the file's MD5 digest; "" when it cannot be read.
std::wstring FileMd5(const std::wstring& path);

// A special folder (CSIDL) ending in "\", or "".
std::wstring SpecialFolderPath(int csidl);

// Where the tools look for a program named without a folder: the Windows folder and its
// system32 folder, each ending in "\".
struct CommandSearch {
    std::vector<std::wstring> folders;
    std::wstring systemFolder; // ends in "\"
};
const CommandSearch& ToolCommandSearch();

// The file that a command line runs (possibly not an existing file): the text itself when it is
// a file or names a folder; else without quotes and arguments, regsvr32 in the system folder,
// the shortest blank-separated prefix that is a file (it keeps its trailing blank), or the same
// inside each search folder.
std::wstring CommandToFilePath(std::wstring_view command, const CommandSearch& search);
std::wstring CommandToFilePath(std::wstring_view command);

} // namespace mdr
