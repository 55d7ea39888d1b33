#!/usr/bin/env python3
"""Checks a built Purgator.exe: what Windows reads before the program runs.

- a GUI program for the expected machine (x86 or x64);
- no DLL of the MinGW runtime among its imports (it is linked statically and
  must run on a bare Windows);
- exactly one manifest, selecting the version 6 common controls, declaring
  per-monitor DPI awareness (v2, then per-monitor, then the system's DPI)
  and asking for no execution level (so that Windows virtualises the 32-bit
  program's writes to the system folder) and no code page (the program
  converts with code page 932 itself);
- the program icon and the three button pictures, each in the sizes the
  program picks from at the display scales it is drawn for;
- the version information.
Usage: check_exe.py Purgator.exe x86|x64 VERSION_TEXT
"""
import re
import struct
import sys
from xml.etree import ElementTree

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
MACHINES = {"x86": 0x14C, "x64": 0x8664}
MINGW_DLLS = ("libstdc++", "libgcc", "libwinpthread")


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((vaddr, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for vaddr, size, rawptr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + rawptr
        raise ValueError(f"RVA {rva:#x} outside every section")

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def imports(self):
        rva, _ = self.directories[1]
        names, pos = [], self.offset(rva)
        while True:
            name_rva = struct.unpack_from("<I", self.data, pos + 12)[0]
            if name_rva == 0:
                return names
            names.append(self.cstring(name_rva))
            pos += 20

    def resources(self):
        """{(type, id): [data bytes per language]} for numeric ids."""
        root_rva, _ = self.directories[2]
        root = self.offset(root_rva)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                yield name, target

        found = {}
        for rtype, to_names in entries(root):
            for rid, to_langs in entries(root + (to_names & 0x7FFFFFFF)):
                for _, to_data in entries(root + (to_langs & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, root + to_data)
                    start = self.offset(data_rva)
                    found.setdefault((rtype, rid), []).append(self.data[start:start + size])
        return found


def main(path, machine, version):
    image = Image(open(path, "rb").read())
    failures = []
    if image.machine != MACHINES[machine]:
        failures.append(f"machine {image.machine:#x}, not {machine}")
    if image.subsystem != 2:
        failures.append(f"subsystem {image.subsystem}, not the GUI subsystem")
    for dll in image.imports():
        if dll.lower().startswith(MINGW_DLLS):
            failures.append(f"imports {dll}: the MinGW runtime is not linked statically")

    res = image.resources()
    manifests = [key for key in res if key[0] == RT_MANIFEST]
    if manifests != [(RT_MANIFEST, 1)] or len(res[(RT_MANIFEST, 1)]) != 1:
        failures.append(f"manifests {manifests}: want exactly one, id 1")
    else:
        manifest = ElementTree.fromstring(res[(RT_MANIFEST, 1)][0])
        tags = {element.tag.split("}")[-1]: element for element in manifest.iter()}
        controls = [element.attrib for element in manifest.iter()
                    if element.tag.endswith("assemblyIdentity")
                    and element.attrib.get("name") == "Microsoft.Windows.Common-Controls"]
        if [c.get("version") for c in controls] != ["6.0.0.0"]:
            failures.append("the manifest does not select the version 6 common controls")
        settings = {element.tag: (element.text or "").strip() for element in manifest.iter()}
        for tag, want in (("{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware",
                           "true/pm"),
                          ("{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness",
                           "PerMonitorV2, PerMonitor")):
            if settings.get(tag) != want:
                failures.append(f"the manifest's {tag.split('}')[-1]} is "
                                f"{settings.get(tag)!r}, not {want!r}")
        for tag in ("trustInfo", "requestedPrivileges", "requestedExecutionLevel",
                    "activeCodePage"):
            if tag in tags:
                failures.append(f"the manifest has a {tag} element")

    for icon in (1, 101, 102, 103):
        group = res.get((RT_GROUP_ICON, icon))
        if not group:
            failures.append(f"icon {icon} missing")
            continue
        count = struct.unpack_from("<H", group[0], 4)[0]
        sizes = sorted(group[0][6 + 14 * i] or 256 for i in range(count))
        want = [16, 20, 24, 32, 40, 48, 64] if icon == 1 else [32, 40, 48, 64]
        if sizes != want:
            failures.append(f"icon {icon} has sizes {sizes}, want {want}")

    info = res.get((RT_VERSION, 1))
    if not info:
        failures.append("no version information")
    else:
        text = info[0].decode("utf-16-le", errors="replace")
        if not re.search("FileVersion\0+" + re.escape(version) + "\0", text):
            failures.append(f"version information does not give FileVersion {version}")
        if "041103a4" not in text.lower():
            failures.append("version information is not for Japanese, code page 932")

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
