#!/usr/bin/env python3
"""Writes player/engine/core/LanguageTable.cpp, the built-in language table, from the ISO 639-2
code list of Debian's iso-codes package (/usr/share/iso-codes/json/iso_639-2.json).

    gen_language_table.py [--data FILE] [--output FILE]   write the table (default: stdout)
    gen_language_table.py [--data FILE] --check FILE       exit 1 unless FILE is what we write

The table's order is the lookup order (the first entry of a code wins), so the rules below are
the contract of LanguageNameFromCode and LanguageIdFromCode:
1. One entry per line of the code list ordered by English name. A code with several names
   ("Dutch; Flemish") has one line per name: that name first, the others after it in their
   order ("Flemish; Dutch"). Each line gives its bibliographic code and the line's name.
2. Where the terminology code differs, the line is followed by an entry for it named
   "Unknown " + code.
3. Croatian and Serbian keep their old bibliographic codes "scr" and "scc".
4. The first entry of the codes in PRIMARY_LANGUAGE_IDS carries that Windows primary language
   id; all other entries carry 0.
Names are written in code page 1252, the player's code page for these English texts.
"""
import argparse
import difflib
import json
import sys
import unicodedata

DEFAULT_DATA = "/usr/share/iso-codes/json/iso_639-2.json"

# Old bibliographic codes the ISO list no longer carries but media files still do.
LEGACY_BIBLIOGRAPHIC = {"hrv": "scr", "srp": "scc"}

# Every terminology code that differs from its bibliographic one; the data must agree with it,
# so that a changed iso-codes release cannot silently change the lookups.
EXPECTED_TERMINOLOGY = set(
    "sqi hye eus mya zho hrv ces nld fra kat deu ell isl mkd msa mri fas ron srp slk bod cym".split())

PRIMARY_LANGUAGE_IDS = {
    "afr": 0x36, "alb": 0x1C, "amh": 0x5E, "ara": 0x01, "arm": 0x2B, "asm": 0x4D, "aze": 0x2C,
    "baq": 0x2D, "bel": 0x23, "ben": 0x45, "bul": 0x02, "bur": 0x55, "cat": 0x03, "chr": 0x5C,
    "chi": 0x04, "scr": 0x1A, "cze": 0x05, "dan": 0x06, "div": 0x65, "dut": 0x13, "eng": 0x09,
    "est": 0x25, "fao": 0x38, "fin": 0x0B, "fre": 0x0C, "fry": 0x62, "gaa": 0x56, "gla": 0x3C,
    "geo": 0x37, "ger": 0x07, "grc": 0x08, "gre": 0x08, "grn": 0x74, "guj": 0x47, "hau": 0x68,
    "haw": 0x75, "heb": 0x0D, "hin": 0x39, "hun": 0x0E, "ice": 0x0F, "ibo": 0x70, "ind": 0x21,
    "iku": 0x5D, "gle": 0x3C, "ita": 0x10, "jpn": 0x11, "jav": 0x11, "kan": 0x4B, "kau": 0x71,
    "kas": 0x60, "kaz": 0x3F, "khm": 0x53, "kir": 0x40, "kok": 0x57, "kor": 0x12, "lao": 0x54,
    "lat": 0x76, "lav": 0x26, "lit": 0x27, "mac": 0x2F, "may": 0x3E, "mal": 0x4C, "mlt": 0x3A,
    "mni": 0x58, "mar": 0x4E, "mon": 0x50, "nep": 0x61, "nor": 0x14, "ori": 0x48, "orm": 0x72,
    "pap": 0x79, "peo": 0x29, "pol": 0x15, "por": 0x16, "pus": 0x63, "rum": 0x18, "rus": 0x19,
    "smi": 0x3B, "san": 0x4F, "scc": 0x1A, "snd": 0x59, "sin": 0x5B, "slo": 0x1B, "slv": 0x24,
    "som": 0x77, "swa": 0x41, "swe": 0x1D, "syr": 0x5A, "tgl": 0x64, "tgk": 0x28, "tam": 0x49,
    "tat": 0x44, "tel": 0x4A, "tha": 0x1E, "tib": 0x51, "tir": 0x73, "tso": 0x31, "tur": 0x1F,
    "tuk": 0x42, "ukr": 0x22, "urd": 0x20, "uzb": 0x43, "ven": 0x33, "vie": 0x2A, "wel": 0x52,
    "xho": 0x34, "yid": 0x3D, "yor": 0x6A, "zul": 0x35,
}


def fail(message):
    sys.exit("gen_language_table: " + message)


def is_code(text):
    return len(text) == 3 and text.isascii() and text.isalpha() and text.islower()


def sort_key(name):
    # Alphabetical as a reader expects: accents and letter case do not move a name.
    folded = unicodedata.normalize("NFKD", name)
    folded = "".join(c for c in folded if not unicodedata.combining(c)).casefold()
    return (folded, name)


def name_lines(record):
    names = [n.strip() for n in record["name"].split(";")]
    for i, first in enumerate(names):
        yield "; ".join([first] + names[:i] + names[i + 1:])


def build_entries(records):
    lines = []
    for record in records:
        terminology = record["alpha_3"]
        if not is_code(terminology):
            continue  # the range "qaa-qtz" names no single code
        bibliographic = record.get("bibliographic") or LEGACY_BIBLIOGRAPHIC.get(terminology, terminology)
        for line in name_lines(record):
            lines.append((sort_key(line), bibliographic, terminology, line))
    lines.sort()

    found_terminology = {t for _, b, t, _ in lines if b != t}
    if found_terminology != EXPECTED_TERMINOLOGY:
        fail("terminology codes differ from the expected set: extra %s, missing %s" % (
            sorted(found_terminology - EXPECTED_TERMINOLOGY),
            sorted(EXPECTED_TERMINOLOGY - found_terminology)))

    entries = []
    seen = set()
    for _, bibliographic, terminology, name in lines:
        language_id = 0 if bibliographic in seen else PRIMARY_LANGUAGE_IDS.get(bibliographic, 0)
        seen.add(bibliographic)
        entries.append((bibliographic, name, language_id))
        if terminology != bibliographic:
            seen.add(terminology)
            entries.append((terminology, "Unknown " + terminology, 0))

    missing = sorted(set(PRIMARY_LANGUAGE_IDS) - seen)
    if missing:
        fail("language ids for codes the data does not have: %s" % missing)
    return entries


def c_string(text):
    out = []
    for byte in text.encode("cp1252"):
        ch = chr(byte)
        if ch in '"\\':
            out.append("\\" + ch)
        elif 0x20 <= byte < 0x7F:
            out.append(ch)
        else:
            out.append("\\%03o" % byte)  # octal: a hex escape would swallow following letters
    return '"' + "".join(out) + '"'


def render(entries):
    out = [
        "// Generated by player/engine/tools/gen_language_table.py from Debian's iso-codes",
        "// (iso_639-2.json). Do not edit: regenerate (see player/engine/README.md).",
        '#include "player/engine/core/LanguageNames.h"',
        "",
        "namespace qvr::engine {",
        "namespace {",
        "",
        "constexpr TLanguageEntry kLanguageTable[] = {",
    ]
    for code, name, language_id in entries:
        out.append('    {"%s", %s, 0x%02X},' % (code, c_string(name), language_id))
    out += [
        "};",
        "",
        "}  // namespace",
        "",
        "std::span<const TLanguageEntry> LanguageTable() { return kLanguageTable; }",
        "",
        "}  // namespace qvr::engine",
        "",
    ]
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default=DEFAULT_DATA)
    group = parser.add_mutually_exclusive_group()
    group.add_argument("--output")
    group.add_argument("--check")
    args = parser.parse_args()

    try:
        with open(args.data, encoding="utf-8") as f:
            records = json.load(f)["639-2"]
    except (OSError, ValueError, KeyError) as e:
        fail("cannot read %s: %s" % (args.data, e))
    text = render(build_entries(records))

    if args.check:
        with open(args.check, encoding="cp1252", newline="") as f:
            committed = f.read()
        if committed != text:
            sys.stdout.writelines(difflib.unified_diff(
                committed.splitlines(True), text.splitlines(True), args.check, "generated"))
            fail("%s differs from what the generator writes; regenerate it" % args.check)
        return
    if args.output:
        with open(args.output, "w", encoding="cp1252", newline="") as f:
            f.write(text)
    else:
        sys.stdout.buffer.write(text.encode("cp1252"))


if __name__ == "__main__":
    main()
