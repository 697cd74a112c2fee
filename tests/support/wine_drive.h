// Drives as Wine sees them: a drive letter defined (or removed) through Wine's mount manager, the
// request winecfg uses (it makes the dosdevices link and the HKLM\Software\Wine\Drives type entry,
// and removes both), and the Unix path behind a Windows path.
#pragma once

#include <windows.h>
#include <string>

namespace mdr::test {

// Defines letter as a drive of type (DRIVE_CDROM, ...) over unixPath; DRIVE_NO_ROOT_DIR with an
// empty path removes it again. False when the mount manager refused.
bool DefineWineDrive(wchar_t letter, UINT type, const std::string& unixPath);
// The Unix path of a Windows path ("" outside Wine or when it has none).
std::string UnixPathOf(const std::wstring& path);

} // namespace mdr::test
