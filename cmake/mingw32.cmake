# Cross-compile for 32-bit Windows (the 32-bit edition).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
set(MDR_WINE_LOADER wine)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
