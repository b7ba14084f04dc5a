#!/usr/bin/env python3
"""fvpack insert on small volumes it can be checked against by hand: PEIMs rebased to where their
PE32 data lands, the volume's address taken from images already rebased, existing files kept at
their offsets, a-priori lists, and the refusals (exit 2, the file and the reason named, no output).

usage: fvpack_insert_test.py FVPACK FIRMWARE_DIR WORK_DIR
"""
import json
import os
import struct
import subprocess
import sys
import uuid

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ffs_check  # noqa: E402

FVPACK, FIRMWARE, WORK = sys.argv[1:4]
PEIM = os.path.join(FIRMWARE, "BoardEventsPeim32.efi")
FILE_A = "11111111-2222-3333-4444-555555555555"
FILE_B = "66666666-7777-8888-9999-AAAAAAAAAAAA"
NEW_1 = "0A0A0A0A-0B0B-0C0C-0D0D-0E0E0E0E0E01"
NEW_2 = "0A0A0A0A-0B0B-0C0C-0D0D-0E0E0E0E0E02"
PEI_APRIORI = "1B45CC0A-156A-428A-AF62-49864DA0E6E6"
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


def fvpack(*args):
    return subprocess.run([FVPACK] + list(args), capture_output=True, text=True)


def volume(name, size, files):
    """A volume built by fvpack's manifest mode: `files` maps GUIDs to byte counts."""
    manifest = {"files": [], "size": size}
    for guid, count in files.items():
        path = os.path.join(WORK, guid + ".bin")
        with open(path, "wb") as f:
            f.write(bytes([0x5A]) * count)
        manifest["files"].append({"guid": guid, "path": path})
    mpath = os.path.join(WORK, name + ".json")
    with open(mpath, "w") as f:
        json.dump(manifest, f)
    out = os.path.join(WORK, name + ".fv")
    done = fvpack(mpath, "-o", out)
    assert done.returncode == 0, done.stderr
    return out


def files_of(path):
    """name -> (offset, bytes) of each file, and each file's sections, by an independent walk."""
    data = open(path, "rb").read()
    hlen = struct.unpack_from("<H", data, 48)[0]
    ext = struct.unpack_from("<H", data, 52)[0]
    at = ext + struct.unpack_from("<I", data, ext + 16)[0] if ext else hlen
    found = {}
    while True:
        at = (at + 7) & ~7
        if at + 24 > len(data) or data[at:at + 24] == b"\xff" * 24:
            return found
        size = int.from_bytes(data[at + 20:at + 23], "little")
        name = str(uuid.UUID(bytes_le=data[at:at + 16])).upper()
        sections, s = [], at + 24
        while s + 4 <= at + size:
            ssize = int.from_bytes(data[s:s + 3], "little")
            sections.append((data[s + 3], s + 4, data[s + 4:s + ssize]))
            s = (s + ssize + 3) & ~3
        found[name] = (at, data[at:at + size], sections)
        at += size


def pe_image_base(pe):
    e = struct.unpack_from("<I", pe, 0x3C)[0]
    return struct.unpack_from("<I", pe, e + 24 + 28)[0]  # PE32: ImageBase at optional + 28


os.makedirs(WORK, exist_ok=True)
base = 0xFFF00000

# A PEIM goes in rebased to the address of its PE32 data and aligned to its section alignment;
# the files already there keep their offsets; the dependency expression is TRUE.
src = volume("two-files", 0x10000, {FILE_A: 100, FILE_B: 300})
out1 = os.path.join(WORK, "one.fv")
done = fvpack("insert", src, "--volume", FILE_A, "--file", PEIM, "--type", "peim", "--guid",
              NEW_1, "--base", hex(base), "--name", "Board", "--apriori", "first", "-o", out1)
expect(done.returncode == 0, "insert with --base: %s" % done.stderr)
before, after = files_of(src), files_of(out1)
for name in (FILE_A, FILE_B):
    expect(before[name][:2] == after[name][:2], "%s moved or changed" % name)
sections = {kind: (offset, body) for kind, offset, body in after[NEW_1][2]}
expect(sections.get(0x1B, (0, b""))[1] == b"\x06\x08", "PEI dependency section is not TRUE END")
pe_offset, pe = sections[0x10]
expect(pe_image_base(pe) == base + pe_offset, "PE32 based at 0x%X, its data lies at 0x%X" % (
    pe_image_base(pe), base + pe_offset))
expect((base + pe_offset) % 32 == 0, "PE32 data not aligned to the image's 32 bytes")
expect(sections.get(0x15, (0, b""))[1] == "Board\0".encode("utf-16-le"), "name section")
apriori = {kind: body for kind, _, body in after[PEI_APRIORI][2]}
expect(apriori.get(0x19) == uuid.UUID(NEW_1).bytes_le, "a-priori file lists the PEIM first")
problems, _ = ffs_check.check(out1)
expect(not problems, "checksums: %s" % problems)

# Without --base the volume's address comes from the PEIM already rebased in it; a second
# a-priori entry goes after the first.
out2 = os.path.join(WORK, "two.fv")
done = fvpack("insert", out1, "--volume", FILE_A, "--file", PEIM, "--type", "peim", "--guid",
              NEW_2, "--apriori", "after:" + NEW_1, "-o", out2)
expect(done.returncode == 0, "insert without --base: %s" % done.stderr)
if done.returncode == 0:
    second = files_of(out2)
    sec2 = {kind: (offset, body) for kind, offset, body in second[NEW_2][2]}
    expect(pe_image_base(sec2[0x10][1]) == base + sec2[0x10][0], "derived base is wrong")
    expect(second[NEW_1][:2] == after[NEW_1][:2], "the first PEIM moved")
    ap = {kind: body for kind, _, body in second[PEI_APRIORI][2]}
    expect(ap.get(0x19) == uuid.UUID(NEW_1).bytes_le + uuid.UUID(NEW_2).bytes_le,
           "a-priori order after:")


# Refusals: exit 2, the input and the reason named, and no output file.
def refused(label, args, words):
    out = os.path.join(WORK, label + ".out")
    if os.path.exists(out):
        os.remove(out)
    done = fvpack("insert", *args, "-o", out)
    expect(done.returncode == 2, "%s: exit %d" % (label, done.returncode))
    for w in words:
        expect(w in done.stderr, "%s: %r not in %r" % (label, w, done.stderr))
    expect(not os.path.exists(out), "%s: output written" % label)


not_volume = os.path.join(WORK, "not-a-volume.bin")
with open(not_volume, "wb") as f:
    f.write(b"\x00" * 8192)
refused("not-a-volume", [not_volume, "--volume", FILE_A, "--file", PEIM, "--type", "peim",
                         "--guid", NEW_1, "--base", "0"], [not_volume, "no firmware volume"])
full = volume("full", 0x1000, {FILE_A: 100})
refused("no-room", [full, "--volume", FILE_A, "--file", os.path.join(FIRMWARE, "BootProgressPei.efi"),
                    "--type", "peim", "--guid", NEW_1, "--base", hex(base)], [full, "no room"])
no_relocs = os.path.join(WORK, "no-relocations.efi")
pe = bytearray(open(PEIM, "rb").read())
e = struct.unpack_from("<I", pe, 0x3C)[0]
struct.pack_into("<II", pe, e + 24 + 96 + 5 * 8, 0, 0)  # the base-relocation directory
with open(no_relocs, "wb") as f:
    f.write(pe)
refused("no-relocations", [src, "--volume", FILE_A, "--file", no_relocs, "--type", "peim",
                           "--guid", NEW_1, "--base", hex(base)],
        [no_relocs, "no base relocations"])
refused("unknown-volume", [src, "--volume", NEW_2, "--file", PEIM, "--type", "peim", "--guid",
                           NEW_1, "--base", hex(base)], ["no volume", NEW_2])
refused("no-base", [src, "--volume", FILE_A, "--file", PEIM, "--type", "peim", "--guid",
                    NEW_1], ["give --base"])
ovmf = "/usr/share/OVMF/OVMF32_CODE_4M.secboot.fd"
if os.path.exists(ovmf):
    broken = bytearray(open(ovmf, "rb").read())
    # Bytes in the middle of the compressed stream of the first volume's only file.
    for i in range(0x40000, 0x40100):
        broken[i] ^= 0xA5
    bad = os.path.join(WORK, "bad-lzma.fd")
    with open(bad, "wb") as f:
        f.write(broken)
    refused("bad-lzma", [bad, "--volume", "6938079B-B503-4E3D-9D24-B28337A25806", "--file", PEIM,
                         "--type", "peim", "--guid", NEW_1], [bad, "does not decompress"])

# The independent checker itself notices a bad header checksum (a changed file type).
corrupt = bytearray(open(out1, "rb").read())
corrupt[files_of(out1)[FILE_B][0] + 18] ^= 1
with open(os.path.join(WORK, "corrupt.fv"), "wb") as f:
    f.write(corrupt)
problems, _ = ffs_check.check(os.path.join(WORK, "corrupt.fv"))
expect(problems != [], "a flipped data byte went unnoticed by the checker")

for f in failures:
    print("FAIL: " + f)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
