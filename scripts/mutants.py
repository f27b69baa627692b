#!/usr/bin/env python3
"""Measures how many planted faults the tests catch.

Plants one small fault at a time in src/ (a comparison negated, an `if`
condition inverted, an integer constant moved by one, a call statement
removed), rebuilds a tree of its own and runs the tests. A fault is caught
when a test fails; a fault that does not compile is skipped and another is
drawn. The faults are drawn from a list shuffled with --seed, so the same seed
and count over the same src/ give the same faults: run it before and after a
change to the tests and compare the scores.

Every source file is restored after each fault, also on Ctrl-C or a kill.

  scripts/mutants.py --count 40 --seed 21 [--build build/mutants] [--log FILE]
  scripts/mutants.py --replay FILE [--only SURVIVED]   # the faults of an earlier log
"""
import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

NEGATED = {"==": "!=", "!=": "==", "<": ">=", ">=": "<", ">": "<=", "<=": ">"}
COMPARISON = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)")
INTEGER = re.compile(r"(?<![\w.'])(\d+)(?![\w.'])")
IF_OPEN = re.compile(r"\bif \(")
CALL_STATEMENT = re.compile(r"^\s*[A-Za-z_][\w:.>\-\[\]]*\(.*\);\s*$")


def code_part(line):
    """The line without a trailing // comment; None for lines to leave alone."""
    stripped = line.strip()
    if not stripped or stripped.startswith(("//", "#", "*", "/*")):
        return None
    cut = line.find("//")
    return line if cut < 0 else line[:cut]


def inside_string(text, position):
    return text[:position].count('"') % 2 == 1 or text[:position].count("'") % 2 == 1


def matching_paren(text, open_at):
    depth = 0
    for index in range(open_at, len(text)):
        if text[index] == "(":
            depth += 1
        elif text[index] == ")":
            depth -= 1
            if depth == 0:
                return index
    return -1


def candidates_in(path):
    """Every fault this file offers: (line number, kind, new line)."""
    found = []
    lines = path.read_text().splitlines(keepends=True)
    for number, line in enumerate(lines):
        code = code_part(line)
        if code is None:
            continue
        for match in COMPARISON.finditer(code):
            if not inside_string(code, match.start()):
                new = line[: match.start()] + NEGATED[match.group(1)] + line[match.end():]
                found.append((number, "comparison negated", new))
        for match in IF_OPEN.finditer(code):
            open_at = match.end() - 1
            close_at = matching_paren(code, open_at)
            if close_at > 0 and not inside_string(code, match.start()):
                condition = code[open_at + 1 : close_at]
                new = line[: open_at + 1] + "!(" + condition + ")" + line[close_at:]
                found.append((number, "condition inverted", new))
        for match in INTEGER.finditer(code):
            if not inside_string(code, match.start()):
                moved = str(int(match.group(1)) + 1)
                new = line[: match.start()] + moved + line[match.end():]
                found.append((number, "constant moved by one", new))
        # reserve() only changes speed: removing it cannot be caught.
        if CALL_STATEMENT.match(code) and not code.lstrip().startswith(("return", "co_return")) \
                and ".reserve(" not in code \
                and code.count("(") == code.count(")"):
            indent = line[: len(line) - len(line.lstrip())]
            found.append((number, "statement removed", indent + ";\n"))
    return [(path, number, kind, new) for number, kind, new in found]


def all_candidates():
    sources = sorted(p for p in (ROOT / "src").rglob("*") if p.suffix in (".cpp", ".h"))
    return [c for path in sources for c in candidates_in(path)]


def replayed(log, only):
    """The compiling faults of an earlier log, found again by place and text."""
    pool = []
    for line in open(log):
        entry = json.loads(line)
        if entry["outcome"] == "does not compile" or (only and entry["outcome"] != only):
            continue
        name, number = entry["where"].rsplit(":", 1)
        path = ROOT / name
        lines = path.read_text().splitlines(keepends=True)
        index = int(number) - 1
        # Edits above a fault move it: take the nearest line that reads the same.
        same = [i for i, text in enumerate(lines) if text.strip() == entry["old"]]
        if not same:
            sys.exit(f"mutants: {name} no longer has {entry['old']!r}")
        index = min(same, key=lambda i: abs(i - index))
        indent = lines[index][: len(lines[index]) - len(lines[index].lstrip())]
        pool.append((path, index, entry["kind"], indent + entry["new"] + "\n"))
    return pool


def run(command, timeout):
    try:
        return subprocess.run(command, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def failed_tests(build):
    """The tests ctest's last run saw fail: which test a fault was caught by."""
    try:
        lines = (build / "Testing" / "Temporary" / "LastTestsFailed.log").read_text().splitlines()
    except OSError:
        return []
    return [line.split(":", 1)[-1] for line in lines if line]


def configure(build):
    if (build / "build.ninja").exists():
        return
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                    "-DCMAKE_CXX_FLAGS=-g0", "-DQUORVELA_BUILD_BENCH=OFF",
                    "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld", "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld"],
                   check=True, stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--count", type=int, default=40)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--build", default="build/mutants")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--exclude-label", default="browser", help="ctest label to leave out")
    parser.add_argument("--log", help="write every fault and its outcome here as JSON lines")
    parser.add_argument("--replay", help="plant the faults of an earlier --log instead of drawing them")
    parser.add_argument("--only", help="with --replay: only the faults that had this outcome")
    args = parser.parse_args()
    # A kill must restore the planted source as Ctrl-C does.
    signal.signal(signal.SIGTERM, signal.default_int_handler)

    build = (ROOT / args.build).resolve()
    configure(build)
    def rebuild():
        return run(["cmake", "--build", str(build), "-j", str(args.jobs)], 3600)

    if rebuild() != 0:
        sys.exit("mutants: the unchanged tree does not build")
    tests = ["ctest", "--test-dir", str(build), "-j", str(args.jobs), "--stop-on-failure",
             "--timeout", "120", "-LE", args.exclude_label]
    if run(tests, 3600) != 0:
        sys.exit("mutants: the tests fail on the unchanged tree")

    if args.replay:
        pool = replayed(args.replay, args.only)
        args.count = len(pool)
    else:
        pool = all_candidates()
        random.Random(args.seed).shuffle(pool)
    log = open(args.log, "w") if args.log else None
    caught = survived = skipped = 0
    for path, number, kind, new in pool:
        if caught + survived == args.count:
            break
        original = path.read_text()
        lines = original.splitlines(keepends=True)
        old = lines[number]
        lines[number] = new
        started = time.monotonic()
        try:
            path.write_text("".join(lines))
            caught_by = []
            if rebuild() != 0:
                outcome = "does not compile"
            elif run(tests, 1800) != 0:
                outcome = "caught"
                caught_by = failed_tests(build)
            else:
                outcome = "SURVIVED"
        finally:
            path.write_text(original)
        where = f"{path.relative_to(ROOT)}:{number + 1}"
        if outcome == "does not compile":
            skipped += 1
        elif outcome == "caught":
            caught += 1
        else:
            survived += 1
        seconds = round(time.monotonic() - started)
        by = f" by {', '.join(caught_by)}" if caught_by else ""
        print(f"[{caught + survived}/{args.count}] {outcome:16} {where} {kind}: {old.strip()}  =>  {new.strip()}"
              f"  ({seconds} s){by}", flush=True)
        if log:
            log.write(json.dumps({"where": where, "kind": kind, "old": old.strip(), "new": new.strip(),
                                  "outcome": outcome, "caught_by": caught_by, "seconds": seconds}) + "\n")
            log.flush()
    # Leave the tree built from the restored sources.
    rebuild()
    tested = caught + survived
    score = 100.0 * caught / tested if tested else 0.0
    print(f"mutants: seed {args.seed}, {tested} faults: {caught} caught, {survived} survived "
          f"({score:.1f} %); {skipped} did not compile")


if __name__ == "__main__":
    main()
