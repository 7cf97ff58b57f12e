#!/usr/bin/env python3
"""Checks the layering of the source tree.

Every source file of src/, apps/, tests/, bench/ and fuzz/ is read. Qt may be
included only below src/views and apps/studio (and by the tests and
benchmarks of the views). A file of a layer may include headers of its own layer and of the
layers below it, never of a layer above. Layers, bottom up: the platform's
parts (automation, system, ui, script, ado, word), resources, core (with
core/forms), config, production, query, editors, datasources, designer,
views, apps. The query builder's, the field editors' and the data sources'
forms/ are each a library built over its model, so they form a floor just
above that model: the model never includes its own windows, and the windows
never reach the designer, which opens them. The core's forms/ are one library
with the core (the error handler shows the error dialog) and share its floor.

Usage: check.py SOURCE_ROOT. Prints every violation and exits 1 when there is
one, 0 otherwise. check.py --self-test checks the checker on a tree of its own.
"""
import os
import re
import sys

LAYERS = [
    "platform/automation", "platform/system", "platform/ui", "platform/script",
    "platform/ado", "platform/word", "resources", "core", "config", "production",
    "query", "query/forms", "editors", "editors/forms", "datasources", "datasources/forms",
    "designer", "views", "apps",
]
QT_ALLOWED = ("src/views/", "apps/studio/", "tests/views/", "bench/views/")
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc", ".c", ".inl")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
# Qt's headers: the module folders and the class headers (QWidget, QtCore, ...).
QT_HEADER = re.compile(r"^(Qt[A-Za-z]*/|Q[A-Z][A-Za-z0-9]*$|Qt[A-Z][A-Za-z]*$|q[a-z0-9]+\.h$)")


def layer_of(path):
    """The layer index of a path relative to src/ (or of an include), None if none."""
    for i in range(len(LAYERS) - 1, -1, -1):
        name = LAYERS[i]
        if path == name or path.startswith(name + "/"):
            return i
    return None


def file_layer(rel):
    if rel.startswith("src/"):
        return layer_of(rel[4:])
    if rel.startswith("apps/"):
        return LAYERS.index("apps")
    return None


def check(root):
    problems = []
    for top in ("src", "apps", "tests", "bench", "fuzz"):
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = [d for d in dirs if not d.startswith(".")]
            for name in files:
                if not name.endswith(SOURCE_EXT):
                    continue
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                own = file_layer(rel)
                try:
                    with open(path, encoding="utf-8", errors="replace") as f:
                        lines = f.readlines()
                except OSError as e:
                    problems.append(f"{rel}: cannot be read: {e}")
                    continue
                for n, line in enumerate(lines, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    header = m.group(2).strip()
                    if QT_HEADER.match(header) and not rel.startswith(QT_ALLOWED):
                        problems.append(f"{rel}:{n}: includes the Qt header <{header}>")
                    if own is None or m.group(1) != '"':
                        continue
                    target = layer_of(header)
                    if target is not None and target > own:
                        problems.append(f"{rel}:{n}: {LAYERS[own]} includes \"{header}\" "
                                        f"of the layer above, {LAYERS[target]}")
    return problems


def self_test():
    """Every kind of violation is found, and nothing in a sound tree."""
    import tempfile
    files = {
        "src/platform/system/Ok.cpp": '#include "platform/automation/Variant.h"\n#include <string>\n',
        "src/core/forms/Ok.cpp": '#include "core/ModErrors.h"\n#include "resources/MessageTable.h"\n',
        "src/core/ModErrors.cpp": '#include "core/forms/frmErrors.h"\n',
        "src/views/Ok.cpp": '#include <QWidget>\n#include "designer/Designer.h"\n',
        "tests/views/Ok.cpp": '#include <QtTest/QTest>\n',
        "src/platform/ado/Up.cpp": '#include "platform/word/Document.h"\n',
        "src/config/Up.cpp": '  #  include "designer/forms/frmX.h"\n',
        "src/editors/forms/Up.cpp": '#include "designer/Designer.h"\n',
        "src/datasources/forms/Up.cpp": '#include "designer/forms/frmParameters.h"\n',
        "src/query/forms/Up.cpp": '#include "editors/forms/frmStatement.h"\n',
        "src/editors/Up.cpp": '#include "editors/forms/frmStatement.h"\n',
        "src/datasources/Up.cpp": '#include "datasources/forms/frmDataLink.h"\n',
        "src/query/Up.cpp": '#include "query/forms/frmQueryBuilder.h"\n',
        "src/datasources/forms/Ok.cpp": '#include "query/forms/frmQueryBuilder.h"\n#include "datasources/Dsn.h"\n',
        "src/designer/Ok.cpp": '#include "datasources/forms/frmDataLink.h"\n#include "editors/FieldCode.h"\n',
        "src/core/Qt.cpp": '#include <QString>\n',
        "tests/core/Qt.cpp": '#include <QtCore/qstring.h>\n',
        "apps/qzstudio/Qt.cpp": '#include <qglobal.h>\n',
    }
    expected = {"src/platform/ado/Up.cpp:1", "src/config/Up.cpp:1", "src/core/Qt.cpp:1",
                "src/editors/forms/Up.cpp:1", "src/datasources/forms/Up.cpp:1", "src/query/forms/Up.cpp:1",
                "src/editors/Up.cpp:1", "src/datasources/Up.cpp:1", "src/query/Up.cpp:1",
                "tests/core/Qt.cpp:1", "apps/qzstudio/Qt.cpp:1"}
    with tempfile.TemporaryDirectory() as root:
        for rel, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)
        found = {p.split(": ")[0] for p in check(root)}
    if found != expected:
        print(f"self-test: found {sorted(found)}, expected {sorted(expected)}")
        return 1
    print("self-test: every violation found, nothing else")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        print("usage: check.py SOURCE_ROOT", file=sys.stderr)
        return 2
    problems = check(sys.argv[1])
    for p in problems:
        print(p)
    print(f"layers: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
