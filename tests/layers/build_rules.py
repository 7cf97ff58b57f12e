#!/usr/bin/env python3
"""Checks the rules of the build that the include check cannot see.

- No folder of src/, apps/, bench/ or tests/ hides a target behind a
  condition (if(TARGET ...) or if(EXISTS ...)): a missing dependency must
  fail the configuration, not drop code or tests without a word.
- The libraries of src/ link downwards only: a library links no library of a
  layer above its own (the layers of check.py), and no two libraries depend
  on each other, directly or through others.
- Every test binary with a case that runs against the PostgreSQL server the
  tests start (a source that includes common/PgServer.h) carries the label
  "postgres", so that `ctest -L postgres` and `-LE postgres` select them.

Usage: build_rules.py SOURCE_ROOT. Prints every violation and exits 1 when
there is one, 0 otherwise. build_rules.py --self-test checks the checker on a
tree of its own.
"""
import os
import re
import sys

from check import LAYERS, layer_of

GUARD = re.compile(r"^\s*(else)?if\s*\((NOT\s+)?(TARGET|EXISTS)\b", re.I | re.M)
TEST = re.compile(r"qz_add_test\(\s*(\w+)(.*?)\)", re.S)
# A library and what it links: qz_add_library(name ... DEPS ...) and
# add_library(name ...) name it; target_link_libraries(name ...) adds to it.
LIBRARY = re.compile(r"\b(?:qz_add_library|add_library)\(\s*(\w+)(.*?)\)", re.S)
LINKS = re.compile(r"\btarget_link_libraries\(\s*(\w+)(.*?)\)", re.S)
COMMENT = re.compile(r"#[^\n]*")


def cmake_files(root, tops):
    for top in tops:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = [d for d in dirs if not d.startswith(".")]
            if "CMakeLists.txt" in files:
                path = os.path.join(folder, "CMakeLists.txt")
                with open(path, encoding="utf-8") as f:
                    yield folder, os.path.relpath(path, root), COMMENT.sub("", f.read())


def check_guards(root, problems):
    for _, rel, text in cmake_files(root, ("src", "apps", "bench", "tests")):
        for m in GUARD.finditer(text):
            problems.append("%s:%d: a condition on a target or a file" % (rel, text.count("\n", 0, m.start()) + 1))


def check_links(root, problems):
    folder_of, deps = {}, {}
    for folder, _, text in cmake_files(root, ("src",)):
        rel = os.path.relpath(folder, os.path.join(root, "src")).replace(os.sep, "/")
        for m in LIBRARY.finditer(text):
            folder_of[m.group(1)] = rel
            words = m.group(2).split()
            if "DEPS" in words:
                listed = words[words.index("DEPS") + 1:]
                deps.setdefault(m.group(1), set()).update(w for w in listed if w.startswith("qz_"))
            deps.setdefault(m.group(1), set())
        for m in LINKS.finditer(text):
            deps.setdefault(m.group(1), set()).update(w for w in m.group(2).split() if w.startswith("qz_"))
    for lib in sorted(deps):
        own = layer_of(folder_of.get(lib, ""))
        for dep in sorted(deps[lib]):
            target = layer_of(folder_of.get(dep, ""))
            if own is not None and target is not None and target > own:
                problems.append(f"{lib} ({LAYERS[own]}) links {dep} of the layer above, {LAYERS[target]}")
    # Cycles: a library reached again from itself.
    state, reported = {}, set()

    def visit(lib, path):
        state[lib] = "open"
        for dep in sorted(deps.get(lib, ())):
            if state.get(dep) == "open":
                cycle = path[path.index(dep):] + [dep]
                key = frozenset(cycle)
                if key not in reported:
                    reported.add(key)
                    problems.append("libraries that depend on each other: " + " -> ".join(cycle))
            elif dep in deps and dep not in state:
                visit(dep, path + [dep])
        state[lib] = "done"

    for lib in sorted(deps):
        if lib not in state:
            visit(lib, [lib])


def check_labels(root, problems):
    for folder, rel, text in cmake_files(root, ("tests",)):
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


def check(root):
    problems = []
    check_guards(root, problems)
    check_links(root, problems)
    check_labels(root, problems)
    return problems


def self_test():
    """Every kind of violation is found, and nothing in a sound tree."""
    import tempfile
    files = {
        "src/core/CMakeLists.txt": "qz_add_library(qz_core SOURCES a.cpp DEPS qz_ui qz_core_forms)\n",
        "src/core/forms/CMakeLists.txt": "qz_add_library(qz_core_forms SOURCES b.cpp DEPS qz_ui qz_core)\n",
        "src/query/CMakeLists.txt": "qz_add_library(qz_query\n  SOURCES q.cpp\n  DEPS qz_core qz_designer)\n",
        "src/designer/CMakeLists.txt": "qz_add_library(qz_designer SOURCES d.cpp DEPS qz_query)\n"
                                       "# if(TARGET qz_query) in a comment is no condition\n",
        "src/editors/CMakeLists.txt": "qz_add_library(qz_editors SOURCES e.cpp DEPS qz_core)\n"
                                      "if(TARGET qz_query)\n  target_link_libraries(qz_editors PUBLIC qz_views)\nendif()\n",
        "src/views/CMakeLists.txt": "add_library(qz_views OBJECT v.cpp)\ntarget_link_libraries(qz_views PUBLIC qz_designer)\n",
        "bench/x/CMakeLists.txt": "if(EXISTS ${CMAKE_SOURCE_DIR}/y)\nendif()\n",
        "tests/x/CMakeLists.txt": "qz_add_test(x_tests LABELS x SOURCES t.cpp DEPS qz_core)\n",
        "tests/x/t.cpp": '#include "common/PgServer.h"\n',
    }
    expected = {
        "src/editors/CMakeLists.txt:2: a condition on a target or a file",
        "bench/x/CMakeLists.txt:1: a condition on a target or a file",
        "qz_editors (editors) links qz_views of the layer above, views",
        "qz_query (query) links qz_designer of the layer above, designer",
        "libraries that depend on each other: qz_core -> qz_core_forms -> qz_core",
        "libraries that depend on each other: qz_designer -> qz_query -> qz_designer",
        "tests/x/CMakeLists.txt: x_tests uses the PostgreSQL server without the label postgres",
    }
    with tempfile.TemporaryDirectory() as root:
        for rel, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)
        found = set(check(root))
    if found != expected:
        print(f"self-test: found {sorted(found - expected)}, missed {sorted(expected - found)}")
        return 1
    print("self-test: every violation found, nothing else")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        print("usage: build_rules.py SOURCE_ROOT", file=sys.stderr)
        return 2
    problems = check(sys.argv[1])
    for p in problems:
        print(p)
    print(f"build rules: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
