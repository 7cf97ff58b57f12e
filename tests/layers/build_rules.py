#!/usr/bin/env python3
"""Checks the rules of the test build.

- No test folder hides a suite behind a condition (if(TARGET ...) or
  if(EXISTS ...)): a missing dependency must fail the configuration, not drop
  tests without a word.
- Every test binary with a case that runs against the PostgreSQL server the
  tests start (a source that includes common/PgServer.h) carries the label
  "postgres", so that `ctest -L postgres` and `-LE postgres` select them.

Usage: build_rules.py SOURCE_ROOT. Prints every violation and exits 1 when
there is one, 0 otherwise.
"""
import os
import re
import sys

GUARD = re.compile(r"^\s*(else)?if\s*\((NOT\s+)?(TARGET|EXISTS)\b", re.I | re.M)
TEST = re.compile(r"qz_add_test\(\s*(\w+)(.*?)\)", re.S)


def check(root):
    problems = []
    for folder, _, files in os.walk(os.path.join(root, "tests")):
        if "CMakeLists.txt" not in files:
            continue
        path = os.path.join(folder, "CMakeLists.txt")
        text = open(path, encoding="utf-8").read()
        rel = os.path.relpath(path, root)
        for m in GUARD.finditer(text):
            problems.append("%s:%d: a condition on a target or a file" % (rel, text.count("\n", 0, m.start()) + 1))
        for m in TEST.finditer(text):
            name, body = m.group(1), m.group(2)
            words = body.split()
            labels = []
            if "LABELS" in words:
                labels = words[words.index("LABELS") + 1].split(";")
            needs_server = False
            for w in words:
                if not w.endswith(".cpp"):
                    continue
                src = w.replace("${CMAKE_SOURCE_DIR}", root)
                src = src if os.path.isabs(src) else os.path.join(folder, src)
                if os.path.exists(src) and '#include "common/PgServer.h"' in open(src, encoding="utf-8").read():
                    needs_server = True
            if needs_server and "postgres" not in labels:
                problems.append("%s: %s uses the PostgreSQL server without the label postgres" % (rel, name))
    return problems


def main():
    problems = check(sys.argv[1])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
