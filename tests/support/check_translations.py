#!/usr/bin/python3
"""Checks that the translation catalogues are complete.

Two checks, each printing what it finds:
- lupdate, run over the program's sources into a copy of each catalogue, must leave the copy as
  the catalogue is (no text missing, none left over), must not warn (a call it cannot read is a
  text never translated), and no entry may be unfinished or empty;
- every string literal of the sources that holds non-ASCII text (the program's texts are written
  in Japanese) must be part of some source text of every catalogue, unless a comment on its line
  says `untranslated` (a file name, a settings key or value, a text compared with file contents:
  texts that stay as they are whatever the language).

With --literals-only, only the second check runs, over the C++ files given on the command line:
handy to see what is left in a tree that is not built.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
PREFIXES = {"u8", "u", "U", "L"}
SIMPLE_ESCAPES = {
    "n": "\n", "t": "\t", "r": "\r", "a": "\a", "b": "\b", "f": "\f", "v": "\v",
    "\\": "\\", '"': '"', "'": "'", "?": "?", "0": "\0",
}


class Literal:
    def __init__(self, path, first_line):
        self.path = path
        self.first_line = first_line
        self.last_line = first_line
        self.text = ""
        self.written = ""  # as written in the file, to tell text from escaped bytes


def decode_escapes(body):
    """The text of an ordinary literal's body, C escapes resolved."""
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out += c.encode("utf-8")
            i += 1
            continue
        e = body[i + 1] if i + 1 < len(body) else ""
        if e == "x":
            m = re.match(r"[0-9A-Fa-f]+", body[i + 2:])
            value = int(m.group(0), 16) if m else 0
            out += bytes([value]) if value < 256 else chr(value).encode("utf-8")
            i += 2 + (len(m.group(0)) if m else 0)
        elif e in "01234567":
            m = re.match(r"[0-7]{1,3}", body[i + 1:])
            out.append(int(m.group(0), 8) & 0xFF)
            i += 1 + len(m.group(0))
        elif e in "uU":
            digits = 4 if e == "u" else 8
            out += chr(int(body[i + 2:i + 2 + digits], 16)).encode("utf-8")
            i += 2 + digits
        else:
            out += SIMPLE_ESCAPES.get(e, e).encode("utf-8")
            i += 2
    return out.decode("utf-8", errors="surrogateescape")


def scan(path, source):
    """The string literals of a C++ file (adjacent ones joined) and the comments of each line."""
    comments = {}  # line -> comment text on it
    literals = []
    line = 1
    i = 0
    n = len(source)
    current = None  # the literal being joined, while only blanks and comments follow it

    def add_comment(start_line, text):
        for k, part in enumerate(text.split("\n")):
            comments[start_line + k] = comments.get(start_line + k, "") + part

    while i < n:
        c = source[i]
        if c == "\n":
            line += 1
            i += 1
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if source.startswith("//", i):
            end = source.find("\n", i)
            end = n if end < 0 else end
            # A backslash at the end continues a line comment; rare enough to ignore.
            add_comment(line, source[i:end])
            i = end
            continue
        if source.startswith("/*", i):
            end = source.find("*/", i + 2)
            end = n if end < 0 else end + 2
            add_comment(line, source[i:end])
            line += source.count("\n", i, end)
            i = end
            continue
        prefix = ""
        m = IDENTIFIER.match(source, i)
        if m:
            word = m.group(0)
            after = m.end()
            is_raw = word.endswith("R") and word[:-1] in PREFIXES | {""}
            if after < n and source[after] == '"' and (word in PREFIXES or is_raw):
                prefix = word
                i = after
            else:
                current = None
                i = after
                continue
        c = source[i]
        if c == '"':
            start_line = line
            if prefix.endswith("R"):
                m = re.compile(r'"([^()\\ \n]{0,16})\(').match(source, i)
                close = ")" + m.group(1) + '"'
                end = source.find(close, m.end())
                end = n if end < 0 else end
                written = source[m.end():end]
                text = written
                i = end + len(close)
            else:
                j = i + 1
                while j < n and source[j] != '"':
                    j += 2 if source[j] == "\\" else 1
                written = source[i + 1:j]
                text = decode_escapes(written)
                i = j + 1
            if current is None:
                current = Literal(path, start_line)
                literals.append(current)
            current.text += text
            current.written += written
            line += written.count("\n")
            current.last_line = line
            continue
        if c == "'":
            # A character literal; a digit separator never gets here (numbers are read whole).
            j = i + 1
            while j < n and source[j] not in "'\n":
                j += 2 if source[j] == "\\" else 1
            i = j + 1
            current = None
            continue
        if c.isdigit() or (c == "." and i + 1 < n and source[i + 1].isdigit()):
            j = i + 1
            while j < n and (source[j].isalnum() or source[j] in "_.'"
                             or (source[j] in "+-" and source[j - 1] in "eEpP")):
                j += 1
            i = j
            current = None
            continue
        current = None
        i += 1
    return literals, comments


def catalogue_sources(ts):
    # lupdate writes a control character as <byte value="xd"/> inside the text.
    def text_of(source):
        text = source.text or ""
        for part in source:
            if part.tag == "byte":
                text += chr(int(part.get("value").lstrip("x"), 16))
            text += part.tail or ""
        return text
    return [text_of(source) for source in ET.parse(ts).getroot().iter("source")]


def literal_misses(files, catalogues):
    """The non-ASCII literals that no catalogue source holds and no comment excuses."""
    sources = {ts: catalogue_sources(ts) for ts in catalogues}
    misses = []
    for path in files:
        with open(path, encoding="utf-8") as f:
            literals, comments = scan(path, f.read())
        for literal in literals:
            if literal.written.isascii():
                continue
            lines = range(literal.first_line, literal.last_line + 1)
            if any("untranslated" in comments.get(k, "") for k in lines):
                continue
            missing = [os.path.basename(ts) for ts, texts in sources.items()
                       if not any(literal.text in text for text in texts)]
            if missing:
                misses.append("%s:%d: not in %s: %s" % (
                    path, literal.first_line, ", ".join(missing),
                    literal.text.replace("\n", "\\n")))
    return misses


def lupdate_problems(lupdate, options, source_list, catalogues, work_dir):
    problems = []
    os.makedirs(work_dir, exist_ok=True)
    for ts in catalogues:
        name = os.path.basename(ts)
        copy = os.path.join(work_dir, name)
        shutil.copyfile(ts, copy)
        run = subprocess.run([lupdate, *options, "@" + source_list, "-ts", copy],
                             capture_output=True, text=True)
        if run.returncode != 0:
            problems.append("%s: lupdate failed (%d):\n%s%s" % (
                name, run.returncode, run.stdout, run.stderr))
            continue
        # A call lupdate cannot read ("Cannot invoke tr() like this") is a text never translated.
        if re.search(r"[Ww]arning|[Ee]rror", run.stderr):
            problems.append("%s: lupdate warned:\n%s" % (name, run.stderr))
        with open(ts, "rb") as f:
            committed = f.read()
        with open(copy, "rb") as f:
            updated = f.read()
        if committed != updated:
            problems.append(
                "%s is not up to date with the sources (texts added, changed or removed): run "
                "`cmake --build <build> --target update_translations`, translate, and commit "
                "it.\n%s" % (name, run.stdout))
        text = updated.decode("utf-8")
        # Unfinished, vanished and obsolete entries all carry a type; a finished one has none.
        unfinished = re.findall(r'type="[a-z]+"', text)
        empty = re.findall(r"<(translation|numerusform)( [^>]*)?></(translation|numerusform)>",
                           text)
        if unfinished or empty:
            which = re.findall(r'<source>[^<]*</source>\s*<translation type="[a-z]+"', text)
            problems.append("%s: %d entries unfinished or left over, %d empty:\n%s" % (
                name, len(unfinished), len(empty), "\n".join(which)))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--lupdate")
    parser.add_argument("--options", default="", help="lupdate's options, separated by commas")
    parser.add_argument("--ts", action="append", required=True, help="a catalogue")
    parser.add_argument("--sources", help="a file listing the translated sources, one a line")
    parser.add_argument("--work-dir")
    parser.add_argument("--literals-only", action="store_true")
    parser.add_argument("files", nargs="*", help="with --literals-only: the C++ files")
    args = parser.parse_args()

    problems = []
    if args.literals_only:
        files = args.files
    else:
        with open(args.sources, encoding="utf-8") as f:
            files = [name for name in f.read().split("\n") if name]
        options = [o for o in args.options.split(",") if o]
        problems += lupdate_problems(args.lupdate, options, args.sources, args.ts, args.work_dir)
    misses = literal_misses(files, args.ts)
    if misses:
        problems.append(
            "%d texts are in no catalogue: wrap them for translation, or, where a text must stay "
            "as it is (a file name, a settings key or value, a text compared with file contents), "
            "say why in a comment with the word `untranslated` on its line:\n%s"
            % (len(misses), "\n".join(misses)))
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        return 1
    print("Translations complete: " + " ".join(args.ts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
