# The oldest Windows each edition runs on, written once. Every file of an edition is compiled
# against its floor (a declaration newer than the floor is a compile error), functions newer
# than the floor are looked up at run time (common/late_bound.h), MDR's first start-up check
# refuses anything older naming the floor, the installer does the same, and the import test
# (tests/installer/check-imports.py) reads the built programs to prove it.
#
# 32-bit edition: Windows XP SP3. The toolchain's C runtime is msvcrt.dll as Windows XP ships it
# (__MSVCRT_VERSION__ 0x700 in its _mingw.h) and the programs import from it what the msvcrt.dll
# of Windows 2000 lacks (_wcstoi64, for one); nothing in the headers marks those functions, so
# no test could keep Windows 2000 honest. SP3 is the XP that was serviced last.
# 64-bit edition: Windows XP x64 Edition / Windows Server 2003 SP1, the first x64 Windows (NT
# 5.2, built from Server 2003 SP1).
#
# mdr_windows_floor(<32|64> <prefix>) sets <prefix>_WINNT (_WIN32_WINNT and WINVER),
# <prefix>_NTDDI (NTDDI_VERSION: major, minor, service pack), <prefix>_IE (_WIN32_IE: the
# Internet Explorer 6 SP2 that both floors carry) and <prefix>_NAME (how texts name it).
function(mdr_windows_floor bits prefix)
    if(bits EQUAL 64)
        set(${prefix}_WINNT 0x0502 PARENT_SCOPE)
        set(${prefix}_NTDDI 0x05020100 PARENT_SCOPE)
        set(${prefix}_NAME "Windows XP x64 / Server 2003 SP1" PARENT_SCOPE)
    else()
        set(${prefix}_WINNT 0x0501 PARENT_SCOPE)
        set(${prefix}_NTDDI 0x05010300 PARENT_SCOPE)
        set(${prefix}_NAME "Windows XP SP3" PARENT_SCOPE)
    endif()
    set(${prefix}_IE 0x0603 PARENT_SCOPE)
endfunction()
