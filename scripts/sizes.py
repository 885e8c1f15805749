#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists source files over a line limit and function bodies over a line limit.

    scripts/sizes.py [--file-limit 600] [--function-limit 80] [DIR...]   (default: src)

A function is a brace block at namespace or class level whose head ends in a parameter list (with
optional qualifiers, a trailing return type or a constructor's initialiser list). Its length is
counted from the line of its head to its closing brace; lambdas and blocks inside count toward
the function that holds them. Comments, strings and preprocessor lines are ignored.
"""
import argparse
import pathlib
import re
import sys


def strip(text):
    """Blanks comments, string and character literals and preprocessor lines, keeping newlines."""
    out = []
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append(" \n")
                    i += 2
                    continue
                out.append(" ")
                i += 1
            continue
        if c in " \t":
            out.append(c)
            i += 1
            continue
        line_start = c == "\n"
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif c == "R" and text.startswith('R"', i):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append('""' + "".join(ch if ch == "\n" else " " for ch in text[i + 2 : j]))
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                out.append(" ")
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (j - i - 1) + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


HEAD_END = re.compile(
    r"\)\s*(const|noexcept(\s*\([^)]*\))?|override|final|mutable|&|&&|->\s*[\w:<>,\s*&]+|\s)*$")


def functions(text):
    """Yields (name, first line, last line) of each function body in the source text."""
    code = strip(text)
    stack = []  # kinds of open braces: 'scope' (namespace, class) or 'other'
    head_start = 0
    func = None  # (name, line, depth) of the function being read
    for i, c in enumerate(code):
        if c in ";":
            if func is None:
                head_start = i + 1
        elif c == "{":
            if func is None:
                head = code[head_start:i]
                flat = " ".join(head.split())
                kind = "other"
                if re.search(r"\b(namespace|class|struct|union|enum)\b[^()=]*$", flat) or \
                        flat.startswith("extern"):
                    kind = "scope"
                elif "=" not in re.sub(r"\([^()]*\)", "()", re.sub(r"operator\s*\S+\s*\(", "op(", flat)) \
                        and re.search(r"\w[\w:~<>,\s*&]*\s*\(", flat) and \
                        (HEAD_END.search(flat) or re.search(r"\)\s*:\s*[\w:<>]+\s*[({]", flat)):
                    name = re.search(r"([\w:~]+(?:operator\s*\S+?)?)\s*\(", flat)
                    line = code.count("\n", 0, head_start + len(head) - len(head.lstrip())) + 1
                    func = (name.group(1) if name else "?", line, len(stack))
                stack.append(kind)
                if kind == "scope":
                    head_start = i + 1
            else:
                stack.append("other")
        elif c == "}":
            if stack:
                stack.pop()
            if func is not None and len(stack) == func[2]:
                yield func[0], func[1], code.count("\n", 0, i) + 1
                func = None
            if func is None:
                head_start = i + 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--file-limit", type=int, default=600)
    parser.add_argument("--function-limit", type=int, default=80)
    parser.add_argument("dirs", nargs="*", default=["src"])
    args = parser.parse_args()
    files = sorted(p for d in args.dirs for p in pathlib.Path(d).rglob("*")
                   if p.suffix in (".cpp", ".h"))
    long_files, long_functions = [], []
    for path in files:
        text = path.read_text(errors="replace")
        lines = text.count("\n")
        if lines > args.file_limit:
            long_files.append((lines, path))
        for name, first, last in functions(text):
            if last - first + 1 > args.function_limit:
                long_functions.append((last - first + 1, f"{path}:{first}", name))
    print(f"files over {args.file_limit} lines: {len(long_files)}")
    for lines, path in sorted(long_files, reverse=True):
        print(f"  {lines:5d}  {path}")
    print(f"functions over {args.function_limit} lines: {len(long_functions)}")
    for lines, where, name in sorted(long_functions, reverse=True):
        print(f"  {lines:5d}  {where}  {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
