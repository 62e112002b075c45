#!/usr/bin/env python3
"""Builds default.dat from default_words.txt beside it.

default.dat is code page 932 text, one word a line, CR LF after every line;
the server reads it as its built-in dictionary. Run after editing the word list:
    python3 data/make_default_dat.py
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent


def drawn_form(word):
    """The word as the server plays it: katakana as hiragana, "ヴ" as "う゛"."""
    out = []
    for ch in word:
        if "\u30a1" <= ch <= "\u30f3":
            out.append(chr(ord(ch) - 0x60))
        elif ch == "\u30f4":
            out.append("\u3046\u309b")
        else:
            out.append(ch)
    return "".join(out).replace("\uff0d", "\u30fc").replace("-", "\u30fc")


def main():
    words = []
    seen = {}
    errors = []
    source = HERE / "default_words.txt"
    for number, raw in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
        word = raw.strip()
        if not word or word.startswith("#"):
            continue
        if "//" in word or any(c in word for c in " \t\u3000"):
            errors.append(f"line {number}: not a plain word: {raw!r}")
            continue
        key = drawn_form(word)
        if key in seen:
            errors.append(f"line {number}: {word} repeats line {seen[key]}")
            continue
        seen[key] = number
        words.append(word)
    if errors:
        sys.exit("\n".join(errors))
    data = "".join(w + "\r\n" for w in words).encode("cp932")
    (HERE / "default.dat").write_bytes(data)
    print(f"default.dat: {len(words)} words, {len(data)} bytes")


if __name__ == "__main__":
    main()
