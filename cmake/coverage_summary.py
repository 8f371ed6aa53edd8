#!/usr/bin/env python3
"""Coverage figures for src/ from every .gcda under a build folder, read through gcov's JSON.

gcov's JSON marks every exception edge, run or not, whereas its text output (what gcovr 5 reads)
marks only the edges that ran. An inline function is compiled into every file that includes it
and the linker keeps one copy; the copies it drops never run, so read as text their exception
edges would count as branches never taken. Here each function's lines and branches are summed
over all of its copies, exception edges are left out, and so are lines with nothing but braces
(branches the compiler made there, such as a destructor call at a closing brace). As gcovr does,
the instantiations of a template share the branches of each line: branch i of a line is taken
when any instantiation took its branch i.

Prints one line per folder of src/ and then, last, "coverage: lines L% branches B%".
usage: coverage_summary.py BUILD_DIR SOURCE_DIR [--list]   (--list: every line not run, and
every line with a branch not taken, before the figures)
"""
import collections
import json
import os
import re
import subprocess
import sys


def gcov_documents(build_dir):
    for folder, _, names in os.walk(build_dir):
        for name in sorted(names):
            if name.endswith(".gcda"):
                run = subprocess.run(
                    ["gcov", "--json-format", "--branch-probabilities", "--stdout", os.path.join(folder, name)],
                    cwd=folder, capture_output=True, text=True, check=True)
                for text in run.stdout.splitlines():
                    if text.strip():
                        yield json.loads(text)


def only_braces(source_line):
    code = re.sub(r"//.*", "", source_line)
    return not re.search(r"[A-Za-z0-9_]", code)


def percent(covered, total):
    # Rounded down to one decimal, so 99.96% never shows as 100.0%.
    tenths = covered * 1000 // total if total else 1000
    return f"{tenths // 10}.{tenths % 10}"


def main():
    build_dir, source_dir = (os.path.realpath(p) for p in sys.argv[1:3])
    listing = "--list" in sys.argv[3:]
    src = os.path.join(source_dir, "src") + os.sep
    lines = collections.defaultdict(int)     # (file, line) -> runs
    branches = collections.defaultdict(int)  # (file, line, index) -> runs
    for document in gcov_documents(build_dir):
        cwd = document.get("current_working_directory", build_dir)
        for entry in document["files"]:
            path = os.path.realpath(os.path.join(cwd, entry["file"]))
            if not path.startswith(src):
                continue
            for line in entry["lines"]:
                lines[(path, line["line_number"])] += line["count"]
                for index, branch in enumerate(line["branches"]):
                    if not branch.get("throw", False):
                        branches[(path, line["line_number"], index)] += branch["count"]

    sources = {}
    def text_of(path, number):
        if path not in sources:
            with open(path, encoding="utf-8", errors="replace") as f:
                sources[path] = f.read().split("\n")
        return sources[path][number - 1] if number <= len(sources[path]) else ""

    totals = collections.defaultdict(lambda: [0, 0, 0, 0])  # folder -> lines, covered, ...
    for (path, number), runs in lines.items():
        folder = os.path.relpath(os.path.dirname(path), source_dir)
        totals[folder][0] += 1
        totals[folder][1] += runs > 0
    for (path, number, _), runs in branches.items():
        if only_braces(text_of(path, number)):
            continue
        folder = os.path.relpath(os.path.dirname(path), source_dir)
        totals[folder][2] += 1
        totals[folder][3] += runs > 0

    if listing:
        missed = collections.defaultdict(lambda: [0, 0])  # (file, line) -> branches not taken, of
        for (path, number), runs in lines.items():
            if runs == 0:
                missed[(path, number)]
        for (path, number, _), runs in branches.items():
            if not only_braces(text_of(path, number)):
                missed[(path, number)][1] += 1
                missed[(path, number)][0] += runs == 0
        for (path, number), (untaken, of) in sorted(missed.items()):
            if lines[(path, number)] == 0 or untaken:
                where = f"{os.path.relpath(path, source_dir)}:{number}"
                what = f"{untaken}/{of} branches not taken" if lines[(path, number)] else "not run"
                print(f"{where}: {what}: {text_of(path, number).strip()}")

    all_totals = [0, 0, 0, 0]
    for folder in sorted(totals):
        line_total, line_covered, branch_total, branch_covered = totals[folder]
        print(f"  {folder}: lines {percent(line_covered, line_total)}% ({line_covered}/{line_total})"
              f" branches {percent(branch_covered, branch_total)}% ({branch_covered}/{branch_total})")
        all_totals = [a + b for a, b in zip(all_totals, totals[folder])]
    print(f"coverage: lines {percent(all_totals[1], all_totals[0])}%"
          f" branches {percent(all_totals[3], all_totals[2])}%")


if __name__ == "__main__":
    main()
