#!/usr/bin/env python3
"""An independent walk of a flash image, written apart from fvpack: every firmware volume's header
checksum, every file's header and data checksum, and the same inside LZMA-compressed GUIDed
sections (decoded with Python's lzma) and volume-image sections. Prints one line per problem and
the files found; exit 1 when a checksum is bad.

usage: ffs_check.py FLASH.fd [GUID ...]   (each GUID must name a file somewhere in the image)
"""
import lzma
import struct
import sys
import uuid

LZMA_GUID = uuid.UUID("EE4E5898-3914-4259-9D6E-DC7BD79403CF").bytes_le


def walk_sections(data, where, problems, names):
    at = 0
    while at + 4 <= len(data):
        size = int.from_bytes(data[at:at + 3], "little")
        kind = data[at + 3]
        head = 4
        if size == 0xFFFFFF:
            size = struct.unpack_from("<I", data, at + 4)[0]
            head = 8
        if size < head or at + size > len(data):
            problems.append("%s: section at 0x%X has size 0x%X" % (where, at, size))
            return
        body = data[at + head:at + size]
        if kind == 0x02 and body[:16] == LZMA_GUID:
            offset = struct.unpack_from("<H", body, 16)[0] - head
            packed = body[offset:]
            want = int.from_bytes(packed[5:13], "little")
            try:
                decoded = lzma.LZMADecompressor(lzma.FORMAT_ALONE).decompress(packed)
            except lzma.LZMAError as e:
                problems.append("%s: LZMA section at 0x%X: %s" % (where, at, e))
                decoded = b""
            if len(decoded) < want:
                problems.append("%s: LZMA section at 0x%X gives %d of %d bytes" % (
                    where, at, len(decoded), want))
            walk_sections(decoded[:want], where + "/lzma", problems, names)
        elif kind == 0x17:
            walk_volume(body, 0, where + "/fv", problems, names)
        at = (at + size + 3) & ~3


def walk_volume(data, base, where, problems, names):
    length, sig, _attrs, hlen, _sum, ext = struct.unpack_from("<Q4sIHHH", data, base + 32)
    if sig != b"_FVH":
        problems.append("%s: no volume at 0x%X" % (where, base))
        return
    header = data[base:base + hlen]
    if sum(struct.unpack("<%dH" % (hlen // 2), header)) & 0xFFFF:
        problems.append("%s: volume at 0x%X: bad header checksum" % (where, base))
    polarity = 0xFF if _attrs & 0x800 else 0x00
    at = base + (ext + struct.unpack_from("<I", data, base + ext + 16)[0] if ext else hlen)
    end = base + length
    while True:
        at = base + ((at - base + 7) & ~7)
        if at + 24 > end or all(b == polarity for b in data[at:at + 24]):
            break
        name = uuid.UUID(bytes_le=bytes(data[at:at + 16]))
        kind, attrs = data[at + 18], data[at + 19]
        size = int.from_bytes(data[at + 20:at + 23], "little")
        head = 24
        if attrs & 0x01 and size == 0:
            size = struct.unpack_from("<Q", data, at + 24)[0]
            head = 32
        if size < head or at + size > end:
            problems.append("%s: file %s at 0x%X: size 0x%X" % (where, name, at - base, size))
            return
        h = bytearray(data[at:at + head])
        h[17] = 0
        h[23] = 0
        if sum(h) & 0xFF:
            problems.append("%s: file %s: bad header checksum" % (where, name))
        if attrs & 0x40:
            if (sum(data[at + head:at + size]) + data[at + 17]) & 0xFF:
                problems.append("%s: file %s: bad data checksum" % (where, name))
        elif data[at + 17] != 0xAA:
            problems.append("%s: file %s: data checksum 0x%02X, not 0xAA" % (
                where, name, data[at + 17]))
        state = data[at + 23] ^ polarity
        if state & 0x04 and not state & 0x38:
            names.add(str(name).upper())
            if kind not in (0x01, 0xF0):
                walk_sections(data[at + head:at + size], "%s/%s" % (where, name), problems,
                              names)
        at += size


def check(path):
    data = open(path, "rb").read()
    problems, names = [], set()
    at = 0
    while at + 56 <= len(data):
        if data[at + 40:at + 44] == b"_FVH":
            length = struct.unpack_from("<Q", data, at + 32)[0]
            walk_volume(data, at, "volume@0x%X" % at, problems, names)
            at += max(8, (length + 7) & ~7)
        else:
            at += 8
    return problems, names


def main():
    problems, names = check(sys.argv[1])
    for wanted in sys.argv[2:]:
        if wanted.upper() not in names:
            problems.append("no file named %s" % wanted)
    for p in problems:
        print(p)
    print("%d files, %d problems" % (len(names), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
