#!/usr/bin/env python3
"""The list of the runtime's routines in docs/runtime.md, made from its public headers.

Each routine of the public headers runtime/core/core.h, runtime/window/window.h,
runtime/draw/draw.h and runtime/dialog/dialog.h is listed under its header's section
banner, with the first sentence of the comment that stands right above it. A routine without such a comment is an error.

  python3 tools/runtime_routines.py           check: exit 1 and show the difference when
                                              docs/runtime.md and the headers disagree, or a
                                              routine has no comment
  python3 tools/runtime_routines.py --write   rewrite the section of docs/runtime.md
"""
import difflib
import re
import sys
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
HEADERS = [
    ("Core", "runtime/core/core.h"),
    ("Windows and events", "runtime/window/window.h"),
    ("Drawing and images", "runtime/draw/draw.h"),
    ("Dialogs and controls", "runtime/dialog/dialog.h"),
]
LISTING = "docs/runtime.md"  # the file that holds the list, between the markers below
BEGIN = "<!-- runtime-routines: begin (tools/runtime_routines.py --write) -->"
END = "<!-- runtime-routines: end -->"

BANNER = re.compile(r"^// ={20,}$")
# A routine's first line: optional attribute and constexpr, a return type, the name, "(".
ROUTINE = re.compile(r"^(?:\[\[\w+\]\]\s+)?(?:constexpr\s+|inline\s+)?[\w:<>*&\s]+?\b(\w+)\s*\(")


def first_sentence(comment):
    """The comment up to its first full stop followed by a blank: the list's one line."""
    return re.split(r"(?<=\.)\s+", comment, maxsplit=1)[0]


def routines(path):
    """[(section, [(name, comment)])] in header order; raises ValueError on a bare routine."""
    lines = (TOP / path).read_text().splitlines()
    sections = []
    pending = []  # the comment block right above the current line
    last_was_comment = False
    depth = 0  # brace depth: only top-level declarations count
    continuing = False  # inside a declaration that spans lines
    i = 0
    while i < len(lines):
        text = lines[i].strip()
        i += 1
        if BANNER.match(text):
            if i + 1 < len(lines) and BANNER.match(lines[i + 1].strip()):
                sections.append((lines[i].strip()[3:], []))
                i += 2
            pending, last_was_comment = [], False
            continue
        code = text.split("//", 1)[0]
        if continuing:
            continuing = not (";" in code or "{" in code)
            depth += code.count("{") - code.count("}")
            continue
        if depth > 0:
            depth += code.count("{") - code.count("}")
            continue
        if text.startswith("//"):
            if not last_was_comment:
                pending = []
            pending.append(text[2:].strip())
            last_was_comment = True
            continue
        last_was_comment = False
        if not text:
            pending = []
            continue
        if text.startswith("using "):
            # A seam's routine type stands between its comment and its setter.
            continuing = ";" not in code
            continue
        match = ROUTINE.match(code)
        is_routine = (
            match is not None
            and "=" not in code[: match.end()]
            and not re.match(r"^(static_assert|extern|struct|enum|#|return)\b", text)
        )
        if is_routine:
            if not pending:
                raise ValueError(f"{path}: {match.group(1)} has no comment above it")
            if not sections:
                raise ValueError(f"{path}: {match.group(1)} stands before the first section")
            sections[-1][1].append((match.group(1), first_sentence(" ".join(pending))))
            continuing = not (";" in code or "{" in code)
        pending = []
        depth += code.count("{") - code.count("}")
    return [(title, entries) for title, entries in sections if entries]


def section_text():
    out = []
    for area, path in HEADERS:
        out.append(f"**{area}** (`{path}`)")
        out.append("")
        for title, entries in routines(path):
            out.append(f"- *{title}*")
            for name, comment in entries:
                out.append(f"  - `{name}`: {comment}")
        out.append("")
    return "\n".join(out).rstrip("\n") + "\n"


def main():
    write = "--write" in sys.argv[1:]
    listing = TOP / LISTING
    text = listing.read_text()
    try:
        made = section_text()
    except ValueError as error:
        print(f"runtime_routines: {error}")
        return 1
    start, end = text.find(BEGIN), text.find(END)
    if start < 0 or end < start:
        print(f"runtime_routines: {LISTING} lacks the markers {BEGIN} and {END}")
        return 1
    current = text[start + len(BEGIN) + 1 : end]
    if current == made:
        print(f"runtime_routines: {LISTING} lists the headers' routines")
        return 0
    if write:
        listing.write_text(text[: start + len(BEGIN) + 1] + made + text[end:])
        print(f"runtime_routines: {LISTING} rewritten")
        return 0
    sys.stdout.writelines(
        difflib.unified_diff(
            current.splitlines(True), made.splitlines(True), LISTING, "the headers"
        )
    )
    print(f"runtime_routines: {LISTING} and the headers disagree; "
          "run python3 tools/runtime_routines.py --write")
    return 1


if __name__ == "__main__":
    sys.exit(main())
