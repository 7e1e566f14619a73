#!/usr/bin/env python3
"""Replays the seeded faults of scripts/faults.txt against the test suite.

Each fault is a one-line change: a text that occurs exactly once under src/
or tools/ (or in the files of one name, with "in:") and what it becomes. For each fault the script applies it, builds,
runs the tests until the first failure, puts the file back and records
whether the fault was caught.

Usage: scripts/faults.py [--build-dir DIR] [--only ID[,ID...]] [--out FILE] [--hints FILE] [--check]
Prints one line per fault (id, caught or missed, the first failing test) and a
summary; with --out also writes them to FILE. Exits 1 when a fault is missed.
"""
import argparse
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCES = [ROOT / "src", ROOT / "tools"]


def read_faults(path):
    faults, current = [], None
    for line in path.read_text(encoding="utf-8").splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        head = re.match(r"^\[(\w+)\]\s*(.*)$", line)
        if head:
            current = {"id": head.group(1), "what": head.group(2)}
            faults.append(current)
        elif line.startswith("find: "):
            current["find"] = line[len("find: "):]
        elif line.startswith("in: "):
            current["in"] = line[len("in: "):]
        elif line.startswith("replace: "):
            current["replace"] = line[len("replace: "):]
        else:
            sys.exit(f"faults.txt: cannot read line: {line}")
    return faults


def locate(text, name=None):
    hits = []
    for top in SOURCES:
        for f in sorted(top.rglob("*")):
            if f.suffix in (".cpp", ".h") and f.is_file() and (name is None or f.name == name):
                n = f.read_text(encoding="utf-8").count(text)
                if n:
                    hits.append((f, n))
    return hits


def run(cmd, cwd):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def first_failure(output):
    m = re.search(r"Test\s+#\d+: (\S+) \.+\*+\s*(Failed|Timeout|Exception|\w+)", output)
    return m.group(1) if m else "?"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build-dir", default=str(ROOT / "build-faults"))
    ap.add_argument("--only", default="")
    ap.add_argument("--out", default="")
    ap.add_argument("--check", action="store_true", help="only list faults whose text is not found once")
    ap.add_argument("--hints", default="", help="an earlier --out file: its catching test is tried first")
    args = ap.parse_args()
    if args.check:
        stale = 0
        for fault in read_faults(ROOT / "scripts" / "faults.txt"):
            hits = locate(fault["find"], fault.get("in"))
            if len(hits) != 1 or hits[0][1] != 1:
                stale += 1
                print(fault["id"], "found", [(str(p.relative_to(ROOT)), n) for p, n in hits] or "nowhere")
        return 1 if stale else 0

    build = pathlib.Path(args.build_dir)
    if not (build / "CMakeCache.txt").exists():
        r = run(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                 "-DBUILD_TESTING=ON", "-DVELLUMARK_SANITIZE=ON", "-Wno-dev"], ROOT)
        if r.returncode:
            sys.exit(r.stdout)
    r = run(["cmake", "--build", str(build)], ROOT)
    if r.returncode:
        sys.exit("the unchanged tree does not build:\n" + r.stdout[-3000:])

    hints = {}
    if args.hints:
        for line in pathlib.Path(args.hints).read_text(encoding="utf-8").splitlines():
            cells = line.split("\t")
            if len(cells) >= 3 and cells[1] == "caught":
                hints[cells[0]] = cells[2]
    only = set(filter(None, args.only.split(",")))
    faults = [f for f in read_faults(ROOT / "scripts" / "faults.txt") if not only or f["id"] in only]
    lines, missed = [], 0
    for fault in faults:
        hits = locate(fault["find"], fault.get("in"))
        if len(hits) != 1 or hits[0][1] != 1:
            where = ", ".join(f"{p.relative_to(ROOT)} x{n}" for p, n in hits) or "nowhere"
            lines.append(f"{fault['id']}\tstale\t(the text is found {where})\t{fault['what']}")
            missed += 1
            print(lines[-1], flush=True)
            continue
        path = hits[0][0]
        original = path.read_text(encoding="utf-8")
        path.write_text(original.replace(fault["find"], fault["replace"]), encoding="utf-8")
        try:
            verdict, test = None, "-"
            hint = hints.get(fault["id"])
            # The test that caught it last time alone first: one target to link, one to run.
            if hint and run(["cmake", "--build", str(build), "--target", hint], ROOT).returncode == 0:
                if run(["ctest", "-R", f"^{hint}$", "--timeout", "120"], build).returncode:
                    verdict, test = "caught", hint
            if verdict is None:
                if run(["cmake", "--build", str(build)], ROOT).returncode:
                    verdict = "nobuild"
                else:
                    t = run(["ctest", "--stop-on-failure", "--timeout", "120", "-j2"], build)
                    verdict = "caught" if t.returncode else "missed"
                    test = first_failure(t.stdout) if t.returncode else "-"
        finally:
            path.write_text(original, encoding="utf-8")
        if verdict != "caught":
            missed += 1
        lines.append(f"{fault['id']}\t{verdict}\t{test}\t{fault['what']}")
        print(lines[-1], flush=True)
    run(["cmake", "--build", str(build)], ROOT)  # leave the build matching the tree
    summary = f"{len(faults) - missed} of {len(faults)} faults caught"
    print(summary)
    if args.out:
        pathlib.Path(args.out).write_text("\n".join(lines + [summary]) + "\n", encoding="utf-8")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
