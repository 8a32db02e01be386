#!/usr/bin/env python3
"""Checks that doc/morfe.1 documents every message the tool can print and
every option that `morfe -h` lists.

Usage: man_coverage.py <source root> <path-to-morfe>

Messages are taken from the C++ sources under src/: every string literal
inside a call to one of the diagnostic or output functions (multi-line calls
included), and every other literal that reads as words ("file not found",
a format kept in a variable). printf conversions such as %s match any text
in the page; roff escapes and fonts are removed from the page first.
"""
import re
import subprocess
import sys
from pathlib import Path

CALLS = re.compile(r"\b(diag_fatal|diag_error|diag_warning|diag_unsafe|diag_portability|diag_tip"
                   r"|diag_report|out_printf|out_vprintf|fputs)\s*\(")
SKIPPED_CALLS = re.compile(r"\bstatic_assert\s*\(")
CONVERSION = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l|z|j|t)?[diouxXcsp]")
WORDS = re.compile(r"[A-Za-z]\s+[A-Za-z%\"(]")
ESCAPES = {"n": "\n", "t": "\t", "v": "\v", "f": "\f", "\\": "\\", '"': '"', "'": "'", "?": "?"}


def scan(text):
    """Splits C++ text into code (comments removed, each string literal
    replaced by a marker @N@) and the list of literal bodies, with adjacent
    literals joined."""
    code, literals, i, n = [], [], 0, len(text)
    after_literal = False
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = n if i < 0 else i
        elif text.startswith("/*", i):
            i = text.find("*/", i + 2) + 2
            code.append(" ")
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            body = text[i + 1:j]
            i = j + 1
            if c == "'":
                code.append("'x'")
                after_literal = False
            elif after_literal:
                literals[-1] += body  # "abc" "def" is one literal
            else:
                code.append(f"@{len(literals)}@")
                literals.append(body)
                after_literal = True
        else:
            code.append(c)
            after_literal = after_literal and c.isspace()
            i += 1
    return "".join(code), literals


def unescape(body):
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), "\\" + m.group(1)), body)


def call_spans(code, pattern):
    """Yields the argument text of every call that pattern starts."""
    for m in pattern.finditer(code):
        depth, j = 1, m.end()
        while j < len(code) and depth:
            depth += {"(": 1, ")": -1}.get(code[j], 0)
            j += 1
        yield code[m.end():j]


def messages(src):
    found = set()
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        code, literals = scan(path.read_text(encoding="utf-8", errors="replace"))
        code = re.sub(r"^\s*#\s*include.*$", "", code, flags=re.M)
        skipped = {int(k) for span in call_spans(code, SKIPPED_CALLS) for k in re.findall(r"@(\d+)@", span)}
        called = {int(k) for span in call_spans(code, CALLS) for k in re.findall(r"@(\d+)@", span)}
        for k in map(int, re.findall(r"@(\d+)@", code)):
            text = unescape(literals[k]).strip()
            if k in skipped or not re.search(r"[A-Za-z]{2,}", CONVERSION.sub("", text)):
                continue
            if k in called or WORDS.search(CONVERSION.sub("x", text)):
                found.add((text, str(path.relative_to(src.parent))))
    return found


def roff_args(rest):
    args, i = [], 0
    while i < len(rest):
        if rest[i] == " ":
            i += 1
        elif rest[i] == '"':
            j, arg = i + 1, ""
            while j < len(rest):
                if rest.startswith('""', j):
                    arg, j = arg + '"', j + 2
                elif rest[j] == '"':
                    break
                else:
                    arg, j = arg + rest[j], j + 1
            args.append(arg)
            i = j + 1
        else:
            j = rest.find(" ", i)
            j = len(rest) if j < 0 else j
            args.append(rest[i:j])
            i = j
    return args


def page_text(man):
    """The page as one line of plain text: macros dropped (their arguments
    kept, alternating-font ones joined), fonts and escapes resolved."""
    out = []
    for line in man.read_text(encoding="utf-8").splitlines():
        if line.startswith(".\\\"") or line.startswith("'\\\""):
            continue
        if line.startswith("."):
            name, _, rest = line[1:].partition(" ")
            joiner = "" if re.fullmatch(r"(B|I|R)(B|I|R)", name) else " "
            line = joiner.join(roff_args(rest))
        out.append(line)
    text = " ".join(out)
    text = re.sub(r"\\f(\(..|\[[^]]*\]|.)", "", text)
    named = {"dq": '"', "aq": "'", "bu": "*", "em": "--", "en": "-", "rs": "\\"}
    text = re.sub(r"\\\((..)", lambda m: named.get(m.group(1), ""), text)
    text = re.sub(r"\\(.)", lambda m: {"e": "\\", "\\": "\\", "-": "-", "&": "", " ": " ", "~": " "}
                  .get(m.group(1), m.group(1)), text)
    return re.sub(r"\s+", " ", text)


def as_pattern(message):
    pieces = CONVERSION.split(message)
    literal = [r"\s+".join(re.escape(w) for w in p.split()) if p.strip() else re.escape(p) for p in pieces]
    literal = [re.sub(r"(\\ )+", r"\\s+", p) for p in literal]
    return re.compile(".{1,60}?".join(literal))


def usage_options(morfe):
    """The short and long form of every option that `morfe -h` lists."""
    usage = subprocess.run([morfe, "-q", "-h"], capture_output=True, text=True, check=True).stdout
    rows = re.findall(r"^\s+(-\S+)\s+(-\S+)(?: <name>)?\s+- ", usage, flags=re.M)
    return [(re.sub(r"<name>$", "", s), l) for s, l in rows]


def main():
    root, morfe = Path(sys.argv[1]), sys.argv[2]
    text = page_text(root / "doc" / "morfe.1")
    found = messages(root / "src")
    missing = sorted((t, where) for t, where in found if not as_pattern(t).search(text))
    for t, where in missing:
        print(f"not in doc/morfe.1: {t!r} ({where})")
    options = usage_options(morfe)
    option_text = " " + text + " "
    for short, long in options:
        for form in (short, long):
            if not re.search(r"[\s(,]" + re.escape(form) + r"[\s,.;)]", option_text):
                missing.append((form, "morfe -h"))
                print(f"option not in doc/morfe.1: {form}")
    print(f"{len(found)} messages and {len(options)} options checked, {len(missing)} missing")
    if len(found) < 40 or len(options) < 15:
        print("too few messages or options found: the extraction no longer fits the sources")
        return 1
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
