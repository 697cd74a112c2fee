// The eighteen scan-area procedures, in tree order. Each returns its error count, or -1 when
// the user cancelled.
#pragma once

namespace mdr {

int ScanActiveXCom();
int ScanApplicationPaths();
int ScanDrivers();
int ScanHelp();
int ScanExtensions();
int ScanFonts();
int ScanHistory();
int ScanIEBHOs();
int ScanIEExtensions();
int ScanIEToolbars();
int ScanInstalledSoftware();
int ScanMUICache();
int ScanObsoleteSoftware();
int ScanServices();
int ScanSharedDLLs();
int ScanSounds();
int ScanStartupSoftware();
int ScanTypelib();

} // namespace mdr
