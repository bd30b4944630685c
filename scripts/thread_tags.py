#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Gives every thread tag in C++ comments one wording: each tag opens with [render thread],
# [main thread], [any thread] or [not the render thread]; anything more follows a semicolon.
# A line that grows past 100 columns is split: the tag goes to a comment line of its own (after
# a comment line, before a line of code with a trailing comment).
# Usage: scripts/thread_tags.py FILE...   (rewrites the files in place, prints what changed)
import re
import sys

CANONICAL = ("render thread", "main thread", "any thread", "not the render thread")
TAG = re.compile(r"\[([^\[\]]*\bthread\b[^\[\]]*)\]")

# Whole tags with a wording of their own.
EXACT = {
    "any thread, not the render thread": "not the render thread",
    "any thread but render": "not the render thread",
    "any thread, render thread included": "any thread",
    "read on any thread": "any thread; read only",
    "audio-class thread, not concurrently with run": "render thread; not concurrently with run",
    "instantiation thread": "not the render thread; the instantiation thread",
    "MIDI thread": "any thread; the MIDI delivery thread",
    "MIDI delivery thread or render thread": "any thread; the MIDI delivery or render thread",
}


def canonical(text):
    text = " ".join(text.split())
    if text in EXACT:
        return EXACT[text]
    if text.startswith("main thread or "):  # e.g. a batch worker as well
        return "not the render thread; " + text
    for head in sorted(CANONICAL, key=len, reverse=True):
        if text == head or text.startswith(head + ";"):
            return text
        for joint in (", ", ": ", " "):
            if text.startswith(head + joint):
                return head + "; " + text[len(head) + len(joint):]
    return "any thread; " + text  # the thread of the call, a loop's thread, an owner's


LIMIT = 100


def rewrite_line(line):
    """The line's replacement: a list of one line, or two when the new tag makes it too long."""
    comment = line.find("//")
    if comment < 0:
        return [line]
    head, tail = line[:comment], line[comment:]
    new_tail = TAG.sub(lambda m: "[" + canonical(m.group(1)) + "]", tail)
    new = head + new_tail
    if new_tail == tail or len(new) <= LIMIT:
        return [new]
    indent = line[: len(line) - len(line.lstrip())]
    if head.strip():  # code with a trailing comment: the comment goes on the line before
        return [indent + new_tail, head.rstrip()]
    tags = list(TAG.finditer(new_tail))
    before = new_tail[: tags[-1].start()].rstrip()
    if before.strip() == "//":
        return [new]
    return [head + before, indent + "// " + new_tail[tags[-1].start():]]


def main(paths):
    for path in paths:
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        changed = []
        for line in lines:
            replacement = rewrite_line(line)
            if replacement != [line]:
                print(f"{path}: " + " / ".join(r.strip() for r in replacement))
            changed.extend(replacement)
        if changed != lines:
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(changed))


if __name__ == "__main__":
    main(sys.argv[1:])
