#!/usr/bin/env python3
"""Builds the UTF-16 message files from the UTF-8 sources in src/.

src/messages_uk.utf8 lists the keys, one a line; it becomes the master file
messages_uk.txt (key, ";", tab, CR, LF). Every other src/messages_XX.utf8
holds "key; text" lines and becomes messages_XX.txt (key, "; ", text, CR, LF).
All outputs are UTF-16 little-endian with a byte-order mark. A translation
that misses a master key, has a key the master lacks, or an empty text is
refused, so the shipped files never log missing texts. A key with "|" holds
plural forms; its translation holds its own language's forms, each keeping
the placeholder.

Run from anywhere: python3 language/make-language-files.py
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
SRC = HERE / "src"


def source_lines(path):
    lines = path.read_text(encoding="utf-8").splitlines()
    return [line for line in lines if line.strip()]


def write_utf16(path, lines):
    data = "\ufeff" + "".join(lines)
    path.write_bytes(data.encode("utf-16-le"))


def main():
    keys = [line.strip() for line in source_lines(SRC / "messages_uk.utf8")]
    problems = []
    if len(set(keys)) != len(keys):
        problems.append("messages_uk.utf8: repeated key")
    for key in keys:
        if ";" in key:
            problems.append(f"messages_uk.utf8: ';' in key {key!r}")
    write_utf16(HERE / "messages_uk.txt", [f"{key};\t\r\n" for key in keys])

    for source in sorted(SRC.glob("messages_*.utf8")):
        if source.name == "messages_uk.utf8":
            continue
        entries = {}
        order = []
        for line in source_lines(source):
            key, sep, text = line.partition(";")
            text = text.strip()
            if not sep or not text:
                problems.append(f"{source.name}: no text in {line!r}")
                continue
            if key in entries:
                problems.append(f"{source.name}: repeated key {key!r}")
                continue
            entries[key] = text
            order.append(key)
        for key in keys:
            if key not in entries:
                problems.append(f"{source.name}: missing {key!r}")
        for key in order:
            if key not in keys:
                problems.append(f"{source.name}: unknown key {key!r}")
        for key in order:
            if key not in keys:
                continue
            if "|" in key:
                # Plural forms: as many as the language counts, each with the placeholder.
                wanted = key.split("|")[0].count("%")
                if any(form.count("%") != wanted for form in entries[key].split("|")):
                    problems.append(f"{source.name}: every form of {key!r} must keep its placeholder")
            elif entries[key].count("%") != key.count("%"):
                problems.append(f"{source.name}: {key!r} must keep its placeholders")
        target = HERE / source.name.replace(".utf8", ".txt")
        write_utf16(target, [f"{key}; {entries[key]}\r\n" for key in keys if key in entries])

    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
