#!/usr/bin/env python3
# Each edition's Windows floor (cmake/floor.cmake), proved from its five built programs: none
# imports a function the floor lacks (declared by the headers the programs include for Windows 10
# but not for the floor), a K32 name (the floor's are psapi.dll's) or a DLL the floor lacks.
#   check-imports.py <source dir> <32-bit floor: _WIN32_WINNT NTDDI_VERSION _WIN32_IE name>
#                    <64-bit floor: the same> <install folder of each edition>...
import os, re, subprocess, sys

PROGRAMS = ["MDR.exe"] + [f"Plugins/Tools/{t}.exe" for t in ("Ostrel", "Pellick", "Quorran", "Sevrid")]
# Each is part of Windows XP SP3 and of Windows XP x64.
FLOOR_DLLS = {f"{name}.dll" for name in ("advapi32", "comctl32", "comdlg32", "gdi32", "kernel32", "msvcrt",
                                         "ole32", "psapi", "shell32", "shlwapi", "user32", "version")}
TOOLCHAINS = {"pei-i386": "i686-w64-mingw32", "pei-x86-64": "x86_64-w64-mingw32"}  # as cmake/mingw*.cmake


def run(*command, stdin=None):
    return subprocess.run(command, input=stdin, capture_output=True, text=True, check=True).stdout


def declared(source, compiler, winnt, ntddi, ie):
    """The names the programs' system headers declare as functions (a name before "(")."""
    headers = {"windows.h"}
    for folder, _, names in (w for top in ("common", "regfile", "mdr", "tools") for w in os.walk(f"{source}/{top}")):
        for name in names:
            headers |= set(re.findall(r"^\s*#\s*include\s*<(\w+\.h)>", open(f"{folder}/{name}").read(), re.M))
    text = run(compiler, "-E", "-P", "-x", "c++", "-std=c++20", "-DUNICODE", "-DNOMINMAX", "-DWIN32_LEAN_AND_MEAN",
               f"-D_WIN32_WINNT={winnt}", f"-DWINVER={winnt}", f"-DNTDDI_VERSION={ntddi}", f"-D_WIN32_IE={ie}",
               "-", stdin="".join(f"#include <{h}>\n" for h in sorted(headers)))
    return set(re.findall(r"\b([A-Za-z_]\w*)\s*\(", text))


def main(source, *args):
    floors, failed = {"pei-i386": args[0:4], "pei-x86-64": args[4:8]}, len(args) < 10
    for dist in args[8:]:
        kind = re.search(r"format (\S+)", run("x86_64-w64-mingw32-objdump", "-f", f"{dist}/MDR.exe")).group(1)
        prefix, (winnt, ntddi, ie, floor) = TOOLCHAINS[kind], floors[kind]
        newer = declared(source, f"{prefix}-g++-win32", "0x0A00", "0x0A000000", "0x0A00") - \
            declared(source, f"{prefix}-g++-win32", winnt, ntddi, ie)
        for program in PROGRAMS:
            dll, wrong, count = None, [], 0
            for line in run(f"{prefix}-objdump", "-p", f"{dist}/{program}").splitlines():
                if m := re.match(r"\s*DLL Name: (\S+)", line):
                    dll = m.group(1).lower()
                elif dll and (m := re.match(r"\t[0-9a-f]+\t +\d+  (\S+)$", line)):
                    name, count = m.group(1), count + 1
                    wrong += [f"{dll}!{name}: a DLL the floor does not ship"] * (dll not in FLOOR_DLLS) + \
                        [f"{dll}!{name}: newer than the floor"] * (name in newer) + \
                        [f"{dll}!{name}: a K32 name"] * name.startswith("K32")
            for line in wrong + ["no imports read"] * (count == 0):
                print(f"FAIL {dist}/{program} ({floor}): {line}")
            print(f"{dist}/{program}: {count} imports checked against {floor} ({len(newer)} newer functions)")
            failed |= bool(wrong) or count == 0
    print("" if len(args) >= 10 else "FAIL: both editions' install folders are needed (scripts/build.sh)")
    return 1 if failed else 0


sys.exit(main(*sys.argv[1:]))
