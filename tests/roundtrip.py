#!/usr/bin/env python3
"""Writes the sample library and every corpus export as ENW, RIS and BibTeX,
reads RIS and BibTeX back with bibutils (ris2xml, bib2xml), which nobody here
wrote, and compares each record's title, authors, year, DOI and files with
the ENW output of the same run. Exits 77 (skipped) where bibutils is missing.

Usage: roundtrip.py PROGRAM EXAMPLES_DIR CORPUS_DIR"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse
import xml.etree.ElementTree as ET

MODS = "{http://www.loc.gov/mods/v3}"
failures = []


def simplified(text):
    return " ".join(text.split())


def letters(name):
    """An author as the sorted letters and digits of its parts: readers split
    names into given and family parts in their own ways."""
    return "".join(sorted(c for c in name if c.isalnum()))


def year_of(text):
    match = re.search(r"(?<!\d)([12]\d{3})(?!\d)", text or "")
    return match.group(1) if match else ""


def bare_doi(text):
    return re.sub(r"^(doi:|https?://(dx\.)?doi\.org/)", "", (text or "").strip(), flags=re.I)


def enw_records(path):
    """The records of an ENW output, read here with plain string handling."""
    with open(path, "rb") as handle:
        text = handle.read().decode("utf-16")
    records, record = [], None
    for line in text.split("\r\n"):
        tag, value = line[:2], line[3:].strip() if len(line) > 2 else ""
        if not line:
            record = None
        elif tag == "%0":
            record = {"title": None, "authors": [], "year": "", "doi": "", "files": []}
            records.append(record)
        elif record is None:
            continue
        elif tag in ("%T", "%t") and record["title"] is None:
            record["title"] = simplified(value)
        elif tag in ("%A", "%a"):
            record["authors"] += [a.strip() for a in re.split("[;；]", value) if a.strip()]
        elif tag in ("%D", "%d") and not record["year"]:
            record["year"] = year_of(value)
        elif tag in ("%R", "%r") and not record["doi"] and "10." in value:
            record["doi"] = bare_doi(value)
        elif tag == "%>":
            record["files"].append(urllib.parse.unquote(value[7:]) if value.lower().startswith("file://") else value)
    return records


def unescaped_split(text, separator):
    """JabRef's file field: `separator` splits where no backslash escapes it."""
    parts, part, escaped = [], "", False
    for c in text:
        if escaped:
            part, escaped = part + c, False
        elif c == "\\":
            escaped = True
        elif c == separator:
            parts, part = parts + [part], ""
        else:
            part += c
    return parts + [part]


def mods_records(xml, bibtex):
    records = []
    for mods in ET.fromstring(xml).findall(MODS + "mods"):
        info = mods.find(MODS + "titleInfo")
        title = ""
        if info is not None:
            title = info.findtext(MODS + "title") or ""
            if info.findtext(MODS + "subTitle"):
                title += ": " + info.findtext(MODS + "subTitle")
        authors = []
        for name in mods.findall(MODS + "name"):
            if name.findtext(f"{MODS}role/{MODS}roleTerm") == "author":
                authors.append(letters("".join(part.text or "" for part in name.findall(MODS + "namePart"))))
        year = year_of(mods.findtext(f"{MODS}originInfo/{MODS}dateIssued") or mods.findtext(f"{MODS}part/{MODS}date"))
        doi = ""
        for identifier in mods.findall(MODS + "identifier"):
            if identifier.get("type") == "doi":
                doi = bare_doi(identifier.text)
        files = []
        for url in mods.findall(f"{MODS}location/{MODS}url"):
            if url.get("access") != "raw object":
                continue
            text = url.text or ""
            if bibtex:
                # bib2xml takes off the field's first description and last type.
                for entry in unescaped_split(":" + text + ":X", ";"):
                    files.append("".join(unescaped_split(entry, ":")[1:-1]))
            elif text.startswith("///") or text.lower().startswith("file://"):
                files.append(urllib.parse.unquote(text[text.index("///") + 2:]))
            else:
                files.append(text)
        records.append({"title": simplified(title), "authors": authors, "year": year, "doi": doi, "files": files})
    return records


def compare(case, kind, expected, got, raw):
    if len(expected) != len(got):
        failures.append(f"{case} {kind}: {len(got)} records read back, {len(expected)} written")
        return
    for number, (want, have) in enumerate(zip(expected, got), 1):
        checks = {
            "authors": (sorted(letters(a) for a in want["authors"]), sorted(have["authors"])),
            "year": (want["year"], have["year"]),
            "files": (want["files"], have["files"]),
        }
        # Without a title bib2xml takes the book's title for it.
        if want["title"] is not None:
            checks["title"] = (want["title"], have["title"])
        # bibutils takes only DOIs of four-digit registrants from RIS: a
        # longer one is looked for in the file itself.
        if want["doi"] and not have["doi"] and kind == "ris" and f"DO  - {want['doi']}\r\n" in raw:
            have["doi"] = want["doi"]
        if want["doi"]:
            checks["doi"] = (want["doi"], have["doi"])
        for field, (a, b) in checks.items():
            if a != b:
                failures.append(f"{case} {kind} record {number} {field}: wrote {a!r}, read back {b!r}")


def run_case(program, case, source, folder, work):
    outputs = {kind: os.path.join(work, "out." + kind) for kind in ("enw", "ris", "bib")}
    for kind, output in outputs.items():
        status = subprocess.run([program, source, folder, output], capture_output=True, timeout=120).returncode
        if status not in (0, 4):
            return 0  # nothing to link in it: the run refuses every format alike
    written = enw_records(outputs["enw"])
    for kind, reader in (("ris", "ris2xml"), ("bib", "bib2xml")):
        xml = subprocess.run([reader, "-i", "utf8", "-o", "utf8", outputs[kind]], capture_output=True, check=True,
                             timeout=120)
        with open(outputs[kind], encoding="utf-8-sig", newline="") as handle:
            raw = handle.read()
        compare(case, kind, written, mods_records(xml.stdout.decode("utf-8-sig"), kind == "bib"), raw)
    return sum(len(record["files"]) for record in written)


def main():
    program, examples, corpus = sys.argv[1:4]
    if not (shutil.which("ris2xml") and shutil.which("bib2xml")):
        print("SKIP: bibutils (ris2xml, bib2xml) is not installed")
        return 77
    linked = 0
    with tempfile.TemporaryDirectory() as work:
        linked += run_case(program, "examples", os.path.join(examples, "library.enw"),
                           os.path.join(examples, "fulltexts"), work)
        for source in sorted(glob.glob(os.path.join(corpus, "*"))):
            if source.endswith("README.md"):
                continue
            # A folder of files named after the export's titles, as a download would name them.
            folder = os.path.join(work, "lib-" + os.path.basename(source))
            os.makedirs(folder)
            with open(source, "rb") as handle:
                for title in re.findall(rb"^%T (.+?)\r?$", handle.read(), re.M):
                    try:
                        name = re.sub(r'[\\/:*?"<>|]', "_", title.decode("utf-8").strip())[:120]
                    except UnicodeDecodeError:
                        continue
                    open(os.path.join(folder, name + ".pdf"), "w").close()
            linked += run_case(program, os.path.basename(source), source, folder, work)
    for failure in failures:
        print(failure)
    print(f"{linked} files linked in the ENW outputs, {len(failures)} differences")
    return 1 if failures or linked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
