#!/usr/bin/env python3
# The manifest embedded in every shipped program, read from the built file, as Windows checks it
# strictly where Wine is lenient: each processorArchitecture is "*" or the program's own (PE
# machine field), administrator rights, Common Controls 6.0.0.0, DPI awareness.
#   check-manifests.py <install folder or MDR-Setup.exe>...   (an installer is unpacked with 7zz)
import os, struct, subprocess, sys, tempfile
import xml.etree.ElementTree as ET

ARCH = {0x014C: "x86", 0x8664: "amd64"}


def problems(path):
    with open(path, "rb") as f:
        head = f.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    arch = ARCH.get(struct.unpack_from("<H", head, pe + 4)[0])
    raw = subprocess.run(["wrestool", "-x", "--raw", "-t", "24", path], capture_output=True).stdout
    if arch is None or not raw:
        return [f"no manifest, or not an x86/x64 program ({arch})"]
    tags = [(el.tag.rsplit("}", 1)[-1], el) for el in ET.fromstring(raw).iter()]
    ids = [el for tag, el in tags if tag == "assemblyIdentity"]
    found = [f'{el.get("name")}: processorArchitecture="{el.get("processorArchitecture")}" in a '
             f"{arch} program" for el in ids if el.get("processorArchitecture", "*") not in ("*", arch)]
    if [el.get("level") for tag, el in tags if tag == "requestedExecutionLevel"] != ["requireAdministrator"]:
        found.append("does not require administrator rights")
    if [el.get("version") for el in ids if el.get("name") == "Microsoft.Windows.Common-Controls"] != ["6.0.0.0"]:
        found.append("no single dependency on Common Controls 6.0.0.0")
    if not any(tag == "dpiAware" for tag, _ in tags):
        found.append("no dpiAware setting")
    return found


def main(places):
    failed = False
    with tempfile.TemporaryDirectory() as work:
        for n, place in enumerate(places):
            folder = place
            if os.path.isfile(place):
                folder = os.path.join(work, str(n))
                subprocess.run(["7zz", "x", "-y", "-aou", "-bd", f"-o{folder}", place], capture_output=True, check=True)
            # NSIS's plug-ins and uninstaller carry NSIS's own manifest.
            exes = [os.path.join(top, name) for top, _, names in os.walk(folder) if "$PLUGINSDIR" not in top
                    for name in names if name.lower().endswith(".exe") and name != "Uninstall.exe"]
            for exe in exes:
                for problem in problems(exe):
                    print(f"FAIL {os.path.relpath(exe, folder)} in {place}: {problem}")
                    failed = True
            print(f"{place}: {len(exes)} programs checked")
            failed |= not exes
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
