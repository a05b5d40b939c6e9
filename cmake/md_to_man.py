#!/usr/bin/env python3
"""Writes a roff man page from one "## NAME" section of docs/command-line.md.

usage: md_to_man.py MARKDOWN SECTION_NAME MAN_SECTION VERSION SUMMARY OUT

The manual's Markdown is plain: paragraphs, fenced code, tables of two
columns, "-" lists, `code`, **bold** and [links](target). Each becomes the
roff that man(7) reads; nothing else is needed.
"""
import re
import sys


def inline(text):
    text = text.replace("\\", "\\e")
    text = re.sub(r"\[([^\]]+)\]\([^)]+\)", r"\1", text)
    text = re.sub(r"\*\*([^*]+)\*\*", r"\\fB\1\\fR", text)
    text = re.sub(r"`([^`]+)`", r"\\fB\1\\fR", text)
    text = text.replace("…", "...").replace("—", "\\(em").replace("×", "\\(mu")
    return text


def line(text):
    # A roff line must not start with a control character.
    text = inline(text)
    return "\\&" + text if text[:1] in ".'" else text


def section_lines(markdown, name):
    out, inside = [], False
    for raw in markdown.splitlines():
        if raw.startswith("## "):
            inside = raw[3:].strip() == name
            continue
        if raw.startswith("# "):
            continue
        if inside:
            out.append(raw)
    if not out:
        sys.exit(f"md_to_man: no section '## {name}'")
    return out


def convert(lines, name, man_section, version, summary):
    roff = [
        f'.TH {name.upper()} {man_section} "" "{name} {version}" "kxrun manual"',
        ".SH NAME",
        f"{name} \\- {summary}",
    ]
    i, first = 0, True
    heading = lambda h: roff.append(".SH " + inline(h).upper())
    while i < len(lines):
        l = lines[i]
        if l.startswith("```"):
            if first:
                heading("Synopsis")
            i += 1
            roff.append(".nf")
            while i < len(lines) and not lines[i].startswith("```"):
                roff.append("\\&" + lines[i].replace("\\", "\\e"))
                i += 1
            roff.append(".fi")
            if first:
                heading("Description")
                first = False
            i += 1
            continue
        if l.startswith("### "):
            heading(l[4:])
        elif l.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                cells = [c.strip() for c in re.split(r"(?<!\\)\|", lines[i].strip())[1:-1]]
                if not all(re.fullmatch(r":?-+:?", c) for c in cells):
                    rows.append(cells)
                i += 1
            for cells in rows[1:]:
                roff.append(".TP")
                roff.append(line(cells[0]))
                roff.append(line(" ".join(cells[1:]).replace("\\|", "|")))
            continue
        elif l.startswith("- "):
            text = l[2:]
            while i + 1 < len(lines) and lines[i + 1].startswith("  ") and lines[i + 1].strip():
                i += 1
                text += " " + lines[i].strip()
            roff.append(".IP \\(bu 2")
            roff.append(line(text))
        elif not l.strip():
            roff.append(".PP")
        else:
            text = l.strip()
            while i + 1 < len(lines) and lines[i + 1].strip() and not re.match(r"(```|\||- |#)", lines[i + 1]):
                i += 1
                text += " " + lines[i].strip()
            roff.append(line(text))
        i += 1
    # Empty paragraphs in a row, or before a heading, say nothing.
    tidy = []
    for r in roff:
        if r == ".PP" and tidy and (tidy[-1] in (".PP", ".fi") or tidy[-1].startswith(".SH")):
            continue
        if r.startswith((".SH", ".TP", ".IP")) and tidy and tidy[-1] == ".PP":
            tidy.pop()
        tidy.append(r)
    roff = tidy
    roff += [".SH SEE ALSO", "kxrun(6), kxpack(1); the manual in /usr/share/doc/kxrun/"]
    return "\n".join(roff) + "\n"


def main():
    md, name, man_section, version, summary, out = sys.argv[1:7]
    with open(md, encoding="utf-8") as f:
        lines = section_lines(f.read(), name)
    with open(out, "w", encoding="utf-8") as f:
        f.write(convert(lines, name, man_section, version, summary))


if __name__ == "__main__":
    main()
