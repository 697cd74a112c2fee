#!/usr/bin/env python3
# MDR.exe -report as a script runs it: the JSON read by a real parser, the exit codes of a
# missing file argument and of a file that cannot be written (and no partial file left).
#   check-report.py <build folder> <install folder>
import json, os, subprocess, sys, tempfile

build, dist = sys.argv[1], sys.argv[2]


def report(*arguments):
    command = '. "$1/testenv/env"; cd "$2"; shift 2; exec "$MDR_WINE" MDR.exe "$@"'
    done = subprocess.run(["sh", "-c", command, "sh", build, dist, *arguments],
                          capture_output=True, timeout=300)
    return done.returncode, done.stderr.decode("utf-8", "replace")


def windows(path):
    return "Z:" + path.replace("/", "\\")


failures = []
with tempfile.TemporaryDirectory() as work:
    target = os.path.join(work, "machine.json")
    code, _ = report("-report", windows(target))
    document = json.load(open(target, encoding="utf-8"))
    if code not in (0, 1) or (code == 1) != bool(document["findings"]):
        failures.append(f"exit code {code} with {len(document['findings'])} findings")
    if sum(document["areas"].values()) != len(document["findings"]) or len(document["areas"]) != 18:
        failures.append("the counts per area do not add up to the findings")
    for finding in document["findings"]:
        if set(finding) != {"area", "key", "value", "data", "safety", "reason", "returnedAfterFix"}:
            failures.append(f"finding with fields {sorted(finding)}")
    if not document["computer"] or not document["version"].count("."):
        failures.append("no computer name or version")
    code, said = report("-report")
    if code != 2 or "-report" not in said:
        failures.append(f"no file: exit code {code}, said {said!r}")
    code, said = report("-report", windows(os.path.join(work, "missing", "r.csv")))
    if code != 4 or "could not be written" not in said or os.listdir(work) != ["machine.json"]:
        failures.append(f"unwritable: exit code {code}, said {said!r}, left {os.listdir(work)}")
for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
