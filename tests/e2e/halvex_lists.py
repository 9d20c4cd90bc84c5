"""Writer of the client view program's list files, for the end-to-end tests.

Kept apart from the C++ test encoder on purpose: the library is checked
against a second, independent reading of the file layouts.

A list file is a payload followed by the CRC-32 of the payload, least
significant byte first. The payload is a big-endian record count followed by
the records back to back.

Package record (menu and store lists):
  PkgId u32 | PkgAttr1 u32 | PkgName 33 | PkgIDCClass 65 | PkgLocalClass u32 |
  MainExe 65 | RunExe 65 | PkgAttr2 u32 | PkgType i8 | PkgIDCVer u32 |
  PkgNewVer u32 | PkgLocalVer u32 | PkgIdxCRC u32 | PkgAttr3 u32 | PkgAttr4 u32 |
  VDiskUpdateDate u32 | PkgPath, VDiskPath, LargeUrl, SmallUrl: u32 length and
  bytes | PkgExtra1..PkgExtra5 u32
Extension record:
  PkgId u32 | PkgAttr1 u32 | PkgName 32 | PkgIDCClass 64 | MainExe 64 |
  RunExe 64 | PkgAttr2 u32 | PkgType i8 | PkgNewVer u32 | PkgExAttr u32 |
  PkgAttr3 u32 | ExtParams u32 length and bytes
"""

import struct
import zlib


def _text(text, size):
    raw = text.encode("latin-1")
    if len(raw) >= size:
        raise ValueError("text %r does not fit %d bytes" % (text, size))
    return raw + b"\0" * (size - len(raw))


def _field(text):
    """A byte field holding a text: the text and one zero byte."""
    raw = text.encode("latin-1") + b"\0"
    return struct.pack(">I", len(raw)) + raw


def package(pkg_id, name, path, vdisk="", pkg_type=0):
    out = struct.pack(">II", pkg_id, 0)
    out += _text(name, 33) + _text("", 65) + struct.pack(">I", 0)
    out += _text(name + ".exe", 65) + _text(name + ".exe", 65)
    out += struct.pack(">Ib", 0, pkg_type)
    out += struct.pack(">7I", 0, 0, 0, 0, 0, 0, 0)
    out += _field(path) + _field(vdisk) + _field("") + _field("")
    out += struct.pack(">5I", 0, 0, 0, 0, 0)
    return out


def package_ex(pkg_id, name, ext_params="", pkg_type=0):
    out = struct.pack(">II", pkg_id, 0)
    out += _text(name, 32) + _text("", 64) + _text(name + ".exe", 64) + _text(name + ".exe", 64)
    out += struct.pack(">Ib", 0, pkg_type)
    out += struct.pack(">III", 0, 0, 0)
    raw = ext_params.encode("latin-1")
    out += struct.pack(">I", len(raw)) + raw
    return out


def list_file(records):
    payload = struct.pack(">I", len(records)) + b"".join(records)
    return payload + struct.pack("<I", zlib.crc32(payload) & 0xFFFFFFFF)
