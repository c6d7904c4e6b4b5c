"""Checks what a Windows program carries for Windows itself, read from the
file as the system's loader reads it: the terminal-server-aware flag of the
PE header, and the application manifest, resource 1 of type 24, parsed as
XML: requestedExecutionLevel asInvoker without uiAccess, the supported
Windows versions 7, 8, 8.1 and 10/11, not DPI aware (the window draws fixed
pixels), and no activeCodePage (byte strings are in the system's ANSI code
page). Run by CheckWindowsExecutable.cmake with Debian's /usr/bin/python3:

  check_windows_manifest.py <program.exe>

Prints each problem on standard error and exits 1 when there is one.
"""

import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE = 0x8000
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}


class PeFile:
    """The headers and resources of a PE32 or PE32+ file."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ file")
        header = struct.unpack_from("<I", data, 0x3C)[0]
        if data[header:header + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        section_count, optional_size = struct.unpack_from("<H12xH", data, header + 6)
        optional = header + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic not in (0x10B, 0x20B):
            raise ValueError("optional header of unknown magic %#x" % magic)
        # At the same place in both forms of the optional header.
        self.dll_characteristics = struct.unpack_from("<H", data, optional + 70)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        for index in range(section_count):
            virtual_size, address, raw_size, raw_at = struct.unpack_from(
                "<8xIIII", data, optional + optional_size + 40 * index)
            self.sections.append((address, max(virtual_size, raw_size), raw_at))

    def offset(self, rva):
        for address, size, raw_at in self.sections:
            if address <= rva < address + size:
                return raw_at + rva - address
        raise ValueError("address %#x is in no section" % rva)

    def resource(self, kind, number):
        """The bytes of resource `number` of type `kind` (its first
        language), or None."""
        if not self.resource_rva:
            return None
        base = self.offset(self.resource_rva)

        def find(directory, wanted):
            """The target of the entry named `wanted` (None: the first)."""
            named, numbered = struct.unpack_from("<12xHH", self.data, base + directory)
            for index in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * index)
                if wanted is None or name == wanted:
                    return target
            return None

        # Type, then number: each a subdirectory; then the first language,
        # whose entry leads to the data.
        directory = 0
        for wanted in (kind, number):
            target = find(directory, wanted)
            if target is None or not target & 0x80000000:
                return None
            directory = target & 0x7FFFFFFF
        target = find(directory, None)
        if target is None or target & 0x80000000:
            return None
        rva, size = struct.unpack_from("<II", self.data, base + target)
        start = self.offset(rva)
        return self.data[start:start + size]


def manifest_problems(manifest):
    problems = []
    try:
        root = ET.fromstring(manifest)
    except ET.ParseError as error:
        return ["the manifest is not well-formed XML: %s" % error]
    if root.tag != ASM_V1 + "assembly" or root.get("manifestVersion") != "1.0":
        problems.append("the manifest's root is %s, not an assembly of manifest version 1.0" % root.tag)
    levels = root.findall("%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel" % ((ASM_V3,) * 4))
    if len(levels) != 1 or levels[0].get("level") != "asInvoker" or levels[0].get("uiAccess") != "false":
        problems.append("no requestedExecutionLevel asInvoker with uiAccess false: %s" %
                        [level.attrib for level in levels])
    found = [os_.get("Id") for os_ in root.findall("%scompatibility/%sapplication/%ssupportedOS" % ((COMPATIBILITY,) * 3))]
    if sorted(found) != sorted(SUPPORTED_OS):
        problems.append("supported Windows versions %s, not %s" % (found, sorted(SUPPORTED_OS.values())))
    settings = root.find("%sapplication/%swindowsSettings" % (ASM_V3, ASM_V3))
    dpi_aware = settings.find(WINDOWS_SETTINGS_2005 + "dpiAware") if settings is not None else None
    if dpi_aware is None or dpi_aware.text.strip() != "false":
        problems.append("not declared DPI unaware (the window draws fixed pixels)")
    if settings is not None and any(child.tag.endswith("}activeCodePage") for child in settings):
        problems.append("an activeCodePage: the program's byte strings are in the system's ANSI code page")
    return problems


def problems_of(path):
    with open(path, "rb") as f:
        pe = PeFile(f.read())
    problems = []
    if not pe.dll_characteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE:
        problems.append("not marked terminal-server aware")
    manifest = pe.resource(RT_MANIFEST, 1)
    if manifest is None:
        problems.append("no application manifest (resource 1 of type 24)")
    else:
        problems += manifest_problems(manifest)
    return problems


def main():
    problems = problems_of(sys.argv[1])
    for problem in problems:
        print("%s: %s" % (sys.argv[1], problem), file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
