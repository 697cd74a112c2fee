#!/bin/sh
# Sourced by the build, run, test and benchmark scripts after deps.sh. Chooses the edition this
# machine can run under Wine and sets:
#   MDR_EDITION  32 or 64 (MDR_EDITION=32|64 in the environment chooses it by hand)
#   MDR_BUILD    the build folder (default build/ for the 32-bit edition, build64/ for the 64-bit)
#   MDR_WINE     the Wine loader of that edition; WINEARCH to match
#   MDR_OTHER_EDITION, MDR_OTHER_BUILD  the other edition and its build folder (default
#                build<edition>-compile/): it is only built, for the installer, which carries both
# Some machines run no 32-bit Linux code at all (the kernel refuses i386 executables): there the
# 32-bit Wine loader cannot start, and the 64-bit edition is built and tested instead.
: "${root:?root not set}"
if [ -z "${MDR_EDITION:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then MDR_EDITION=32; else MDR_EDITION=64; fi
fi
if [ "$MDR_EDITION" = 64 ]; then
    MDR_BUILD="${MDR_BUILD:-$root/build64}"
    MDR_WINE=/usr/lib/wine/wine64
    WINEARCH=win64
    # The loader starts every further Windows process, so it must be the 64-bit one too.
    WINELOADER=/usr/lib/wine/wine64
    export WINELOADER
else
    MDR_EDITION=32
    MDR_BUILD="${MDR_BUILD:-$root/build}"
    MDR_WINE=/usr/lib/wine/wine
    WINEARCH=win32
fi
if [ "$MDR_EDITION" = 64 ]; then MDR_OTHER_EDITION=32; else MDR_OTHER_EDITION=64; fi
MDR_OTHER_BUILD="${MDR_OTHER_BUILD:-$root/build$MDR_OTHER_EDITION-compile}"
export MDR_EDITION MDR_BUILD MDR_WINE WINEARCH MDR_OTHER_EDITION MDR_OTHER_BUILD
