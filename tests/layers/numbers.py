#!/usr/bin/env python3
"""Checks that no code of src/ or apps/ reads or writes a floating-point
number through the C library's locale.

The studio runs under the user's locale, which the toolkit gives to the C
library: strtod and its kin then stop at a "." where the locale has a decimal
comma, and printf's %f, %e, %g and %a write a comma. Numbers in data and code
go through platform/automation/DecimalText.h (std::from_chars and
std::to_chars) instead. Refused: strtod, strtof, strtold, atof, std::stod,
std::stof, std::stold; a printf- or scanf-family call whose format has a
floating-point conversion; std::locale::global and std::locale("") (which
would carry the locale into the streams). Comments are not read.

Usage: numbers.py SOURCE_ROOT (exit 1 and a line per finding when there is
one); numbers.py --self-test checks the checker on a tree of its own.
"""
import os
import re
import sys

SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc", ".c", ".inl")
COMMENT = re.compile(r'//[^\n]*|/\*.*?\*/|("(?:\\.|[^"\\\n])*")|(\'(?:\\.|[^\'\\\n])+\')', re.S)
READERS = re.compile(r"\b(?:std::)?(strtod|strtof|strtold|atof|stod|stof|stold)\s*\(")
FORMATTED = re.compile(r"\b(?:std::)?((?:v?(?:s|sn|f|as)?printf)|g_strdup_printf|(?:v?[sf]?scanf))\s*\(")
FLOAT_CONVERSION = re.compile(r"%[-+ #0*]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:l|L)?[fFeEgGaA]")
GLOBAL_LOCALE = re.compile(r'\bstd::locale::global\s*\(|\bstd::locale\s*\(\s*""\s*\)')


def strip_comments(text):
    """The text with comments and character literals blanked (line breaks
    kept), strings kept."""
    def keep(m):
        if m.group(1):
            return m.group(1)
        return re.sub(r"[^\n]", " ", m.group(0))
    return COMMENT.sub(keep, text)


def findings(text):
    code = strip_comments(text)
    # The same with the texts of strings blanked (their quotes kept).
    bare = re.sub(r'"((?:\\.|[^"\\\n])*)"', lambda m: '"' + " " * len(m.group(1)) + '"', code)
    out = []
    line = lambda at: code.count("\n", 0, at) + 1
    for m in READERS.finditer(bare):
        out.append((line(m.start()), f"{m.group(1)} reads by the C library's locale"))
    for m in FORMATTED.finditer(bare):
        end = code.find(";", m.end())
        call = code[m.end():end if end >= 0 else len(code)]
        literals = "".join(re.findall(r'"((?:\\.|[^"\\\n])*)"', call)).replace("%%", "")
        if FLOAT_CONVERSION.search(literals):
            out.append((line(m.start()), f"{m.group(1)} with a floating-point conversion follows the C library's locale"))
    for m in GLOBAL_LOCALE.finditer(bare):
        out.append((line(m.start()), "sets the streams' locale from the environment"))
    return out


def check(root):
    problems = []
    for top in ("src", "apps"):
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = [d for d in dirs if not d.startswith(".")]
            for name in sorted(files):
                if not name.endswith(SOURCE_EXT):
                    continue
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                with open(path, encoding="utf-8", errors="replace") as f:
                    for n, why in findings(f.read()):
                        problems.append(f"{rel}:{n}: {why}")
    return problems


def self_test():
    """Every kind of finding is found, and nothing in sound code."""
    bad = {
        "a": 'double d = std::strtod(s.c_str(), nullptr);',
        "b": 'x = atof(p);',
        "c": 'v = std::stod(text);',
        "d": 'std::snprintf(buf, sizeof buf,\n  "%.*g", 15, v);',
        "e": 'sscanf(t, "%lf", &d);',
        "f": 'printf("%5.2f\\n", x);',
        "g": 'std::locale::global(std::locale(""));',
        "h": 'g_strdup_printf("%e", v);',
    }
    sound = [
        'readDecimal(text, d); // not strtod(...) here',
        '/* atof(x) in a comment */ int n = 0;',
        'std::snprintf(hex, sizeof hex, "%08X", n);',
        'std::sscanf(t, "%d.%d", &a, &b);',
        'std::printf("100%% done %s", s);',
        'const char* s = "strtod(";',
        'if (c == \'"\') n = 1; const char* t = "atof(";',
        'auto r = std::from_chars(b, e, d); std::string t = std::to_string(n);',
    ]
    failures = [k for k, t in bad.items() if not findings(t)]
    failures += [t for t in sound if findings(t)]
    if failures:
        print("self-test: wrong on", failures)
        return 1
    print("self-test: every finding found, nothing else")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        print("usage: numbers.py SOURCE_ROOT", file=sys.stderr)
        return 2
    problems = check(sys.argv[1])
    for p in problems:
        print(p)
    print(f"numbers: {len(problems)} locale-dependent call(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
