# Cross-compile for 64-bit Windows (the 64-bit edition).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
set(MDR_WINE_LOADER wine64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
