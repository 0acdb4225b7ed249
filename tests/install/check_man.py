#!/usr/bin/env python3
"""Fails when a manual page and its program's --help have drifted apart.

Usage: check_man.py MANPAGE PROGRAM

Compared both ways: every option named anywhere in --help against the options in the page's
item tags (.TP); the commands and keys that begin an item line of --help against the page's item
tags; the exit statuses after "exit status:" in --help against the page's EXIT STATUS items; and
each key's values, word for word. Every *.ini or *.csv file that --help names must be in FILES.
The page must also format without a warning from man, with no line wider than 80 columns and
every item tag on one line of its own (a tag continued past .TP's one line lands in the item's
text).
"""
import re
import shlex
import subprocess
import sys
import unicodedata

OPTION = re.compile(r"(?<![\w-])(--[a-z][a-z0-9-]*)")
NAME_WORD = re.compile(r"[a-z0-9][a-z0-9._]*$")
FILE_NAME = re.compile(r"[^\s\"“”()]+\.(?:ini|csv)\b")
EXIT_CODE = re.compile(r"(?:^|[;,:])\s*(\d{1,3})\s+[a-z(]", re.M)
ALTERNATING = {"BR", "RB", "BI", "IB", "IR", "RI"}


def plain(roff):
    """The text of one roff line: font macros applied, escapes removed."""
    if roff.startswith("."):
        parts = roff[1:].split(None, 1)
        macro, rest = parts[0], parts[1] if len(parts) > 1 else ""
        args = shlex.split(rest.replace("\\", "\\\\"), posix=True)
        roff = ("" if macro in ALTERNATING else " ").join(args) if macro != "TP" else ""
    roff = re.sub(r"\\f(\[[^]]*\]|.)", "", roff)
    roff = roff.replace("\\-", "-").replace("\\ ", " ").replace("\\&", "")
    return re.sub(r"\\\(lq|\\\(rq", '"', roff)


def name_of(term):
    """The command or key that a term begins with ("table show" of "table show [--all]")."""
    words = []
    for word in term.split():
        if not NAME_WORD.match(word):
            break
        words.append(word)
    if not words or words[0].isdigit():
        return None
    return " ".join(words)


def read_page(path):
    """Item tags per section, the text of each item, and the text of each section."""
    tags, items, sections = [], {}, {}
    section, take_tag, current = "", False, None
    for line in open(path, encoding="utf-8").read().splitlines():
        if line.startswith((".SH", ".SS")):
            if line.startswith(".SH"):
                section = plain(line).strip().strip('"').upper()
            current = None
            continue
        if line.startswith(".TP"):
            take_tag, current = True, None
            continue
        text = plain(line).strip()
        sections[section] = sections.get(section, "") + " " + text
        if take_tag:
            tags.append((section, text))
            current, take_tag = (section, text), False
            items[current] = ""
        elif current:
            items[current] = (items[current] + " " + text).strip()
    return tags, items, sections


def read_help(program):
    out = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=30)
    if out.returncode != 0:
        sys.exit(f"{program} --help exited with {out.returncode}: {out.stderr}")
    return out.stdout


def help_items(text):
    """(header, name, description) of each item line: two to four spaces, a term, then two
    spaces or the line's end. Deeper lines continue the item above."""
    header, found = "", []
    for line in text.splitlines():
        if line and not line[0].isspace():
            header = line.rstrip(":").upper()
            continue
        if header == "EXIT STATUS":
            continue  # compared by its numbers below
        m = re.match(r" {2,4}(\S.*?)(?: {2,}(.*)|$)", line)
        if m and not re.match(r" {5}", line):
            found.append([header, m.group(1), m.group(2) or ""])
        elif found and line.strip():
            found[-1][2] += " " + line.strip()
    return found


def width(line):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in line)


def rendered(page):
    env = {"MANWIDTH": "80", "PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
    return subprocess.run(["man", "-E", "UTF-8", "-l", page], capture_output=True, text=True,
                          env=env).stdout


def main():
    page, program = sys.argv[1], sys.argv[2]
    text = read_help(program)
    tags, items, sections = read_page(page)
    faults = []

    def compare(what, in_help, in_page):
        for name in sorted(in_help - in_page):
            faults.append(f"{what} {name} is in --help but not in the manual page")
        for name in sorted(in_page - in_help):
            faults.append(f"{what} {name} is in the manual page but not in --help")

    compare("option", set(OPTION.findall(text)), {o for _, t in tags for o in OPTION.findall(t)})

    listed = help_items(text)
    compare("command or key", {n for _, t, _ in listed if (n := name_of(t))},
            {n for s, t in tags if s not in ("EXIT STATUS", "FILES") and (n := name_of(t))})

    for header, term, values in listed:
        if header == "KEYS":
            shown = " ".join(items.get(("KEYS", term), "").split())
            if shown != " ".join(values.split()):
                faults.append(f"key {term}: --help says '{values}', the page '{shown}'")

    status = re.search(r"exit status:(.*?)(?:\n\n|\Z)", text, re.I | re.S)
    compare("exit status", set(EXIT_CODE.findall(":" + status.group(1))) if status else set(),
            {t for s, t in tags if s == "EXIT STATUS" and t.isdigit()})

    for name in sorted(set(FILE_NAME.findall(text))):
        if name not in sections.get("FILES", ""):
            faults.append(f"file {name} is named by --help but not under FILES")

    lint = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page],
                          capture_output=True, text=True)
    if lint.returncode != 0 or lint.stderr.strip():
        faults.append(f"man reports: {lint.stderr.strip()}")

    for number, line in enumerate(rendered(page).splitlines(), 1):
        if width(line) > 80:
            faults.append(f"line {number} of the page at 80 columns is {width(line)} wide")
    with open(page, encoding="utf-8") as f:
        lines = f.read().splitlines()
    for number, line in enumerate(lines, 1):
        if line == ".TP" and ".br" in lines[number:number + 4]:
            faults.append(f"the item tag after line {number} spans more than one line")

    for fault in faults:
        print(f"{page}: {fault}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
