#!/usr/bin/env python3
"""Checks a compiled Purga.chm against its sources.

Reads the file's own directory (ITSF header, ITSP directory, PMGL listing
chunks) and its #SYSTEM record, and checks that
- every file of the project's [FILES] list, the contents and the index are
  stored, each with the length of its source;
- the default topic, the title and the language are the project's;
- every page's links lead to pages stored in the file;
- with chmls at hand, every stored page decompresses to its source bytes.
Usage: check_chm.py Purga.chm Purga.hhp
"""
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path


def encint(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def read_directory(data):
    """{name: (section, offset, length)} and the offset of content section 0."""
    if data[:4] != b"ITSF":
        raise ValueError("not an ITSF file")
    version, header_len = struct.unpack_from("<II", data, 4)
    dir_offset, dir_len = struct.unpack_from("<QQ", data, 0x48)
    content0 = struct.unpack_from("<Q", data, 0x58)[0] if version >= 3 else dir_offset + dir_len
    itsp = data[dir_offset:dir_offset + dir_len]
    if itsp[:4] != b"ITSP":
        raise ValueError("no ITSP directory header")
    itsp_len, _, chunk_size = struct.unpack_from("<III", itsp, 8)
    first_pmgl, last_pmgl = struct.unpack_from("<iI", itsp, 32)
    chunks = struct.unpack_from("<I", itsp, 44)[0]
    entries = {}
    chunk_no = first_pmgl
    seen = set()
    while chunk_no != -1:
        if chunk_no in seen or not 0 <= chunk_no < chunks:
            raise ValueError(f"bad PMGL chain at chunk {chunk_no}")
        seen.add(chunk_no)
        start = itsp_len + chunk_no * chunk_size
        chunk = itsp[start:start + chunk_size]
        if chunk[:4] != b"PMGL":
            raise ValueError(f"chunk {chunk_no} is not a listing chunk")
        free, _, _, next_chunk = struct.unpack_from("<IIii", chunk, 4)
        pos, end = 20, chunk_size - free
        while pos < end:
            name_len, pos = encint(chunk, pos)
            name = chunk[pos:pos + name_len].decode("utf-8")
            pos += name_len
            section, pos = encint(chunk, pos)
            offset, pos = encint(chunk, pos)
            length, pos = encint(chunk, pos)
            entries[name] = (section, offset, length)
        chunk_no = next_chunk
    return entries, content0


def system_record(data, entries, content0):
    """The #SYSTEM codes: {code: bytes}. #SYSTEM is stored uncompressed."""
    section, offset, length = entries["/#SYSTEM"]
    if section != 0:
        raise ValueError("#SYSTEM is not in the uncompressed section")
    blob = data[content0 + offset:content0 + offset + length]
    codes, pos = {}, 4
    while pos + 4 <= len(blob):
        code, size = struct.unpack_from("<HH", blob, pos)
        codes[code] = blob[pos + 4:pos + 4 + size]
        pos += 4 + size
    return codes


def read_project(hhp):
    options, files, section = {}, [], None
    for line in hhp.read_bytes().decode("cp932").splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line
        elif section == "[OPTIONS]" and "=" in line:
            key, value = line.split("=", 1)
            options[key.strip()] = value.strip()
        elif section == "[FILES]" and line:
            files.append(line)
    return options, files


def main(chm_path, hhp_path):
    chm, hhp = Path(chm_path), Path(hhp_path)
    data = chm.read_bytes()
    entries, content0 = read_directory(data)
    options, files = read_project(hhp)
    failures = []

    stored = files + [options["Contents file"], options["Index file"]]
    for name in stored:
        entry = entries.get("/" + name)
        size = (hhp.parent / name).stat().st_size
        if entry is None:
            failures.append(f"{name}: not in the file's directory")
        elif entry[2] != size:
            failures.append(f"{name}: stored with {entry[2]} bytes, source has {size}")

    codes = system_record(data, entries, content0)
    topic = codes.get(2, b"").rstrip(b"\0").decode("cp932")
    title = codes.get(3, b"").rstrip(b"\0").decode("cp932")
    lcid = struct.unpack_from("<I", codes.get(4, bytes(4)))[0]
    if topic != options["Default topic"]:
        failures.append(f"default topic {topic!r}, project says {options['Default topic']!r}")
    if title != options["Title"]:
        failures.append(f"title {title!r}, project says {options['Title']!r}")
    if lcid != int(options["Language"].split()[0], 16):
        failures.append(f"language {lcid:#x}, project says {options['Language']}")

    pages = [f for f in files if f.endswith(".htm")]
    for page in pages:
        text = (hhp.parent / page).read_bytes().decode("cp932")
        if 'charset=Shift_JIS' not in text:
            failures.append(f"{page}: no Shift_JIS charset")
        for link in re.findall(r'href="([^"#:]+)', text):
            if "/" + link not in entries:
                failures.append(f"{page}: link to {link}, which the file does not hold")

    chmls = shutil.which("chmls")
    if chmls:
        with tempfile.TemporaryDirectory() as tmp:
            for name in (n for n in stored if "/" + n in entries):
                out = Path(tmp) / name
                subprocess.run([chmls, "extract", str(chm), "/" + name, str(out)],
                               capture_output=True)
                if not out.exists() or out.read_bytes() != (hhp.parent / name).read_bytes():
                    failures.append(f"{name}: stored content differs from its source")

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(stored)} files and {len(pages)} pages checked in {chm.name}:",
          "ok" if not failures else f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
