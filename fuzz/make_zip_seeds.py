#!/usr/bin/python3
"""Writes seeds of the archive directory fuzz target into the given folder:
archives from the usual writers (zip, 7z, Python's zipfile) that use the
format's features the directory reader knows, each behind the target's
switch byte (bit 0 tolerant, bit 1 alternate signatures, bit 2 names in
the archive's own code page rather than OEM).

    make_zip_seeds.py FOLDER [ARCHIVE...]   (extra archives are added as they are)
"""
import io
import os
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib


def stored_archive(name, extra, data):
    """One stored item, its name taken as raw bytes."""
    crc = zlib.crc32(data)
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0, 0, 0, 0, crc, len(data), len(data), len(name),
                        len(extra)) + name + extra + data
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 10, 0, 0, 0, 0, crc, len(data), len(data),
                          len(name), len(extra), 0, 0, 0, 0, 0) + name + extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    return local + central + end


def python_archives():
    out = {}
    # Every item forced into the 64-bit form, and a stored directory entry.
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("a", mode="w", force_zip64=True) as f:
            f.write(b"abc" * 40)
        z.writestr(zipfile.ZipInfo("dir/"), b"")
        z.writestr("dir/stored.txt", b"kept as it is", compress_type=zipfile.ZIP_STORED)
        z.comment = b"archive comment"
    out["zip64.zip"] = buffer.getvalue()
    # No items at all: only the end record.
    buffer = io.BytesIO()
    zipfile.ZipFile(buffer, "w").close()
    out["empty.zip"] = buffer.getvalue()
    # A UTF-8 name (flag bit 11).
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        z.writestr("Grüße-utf8.txt", b"x")
    out["utf8-name.zip"] = buffer.getvalue()
    # An Info-ZIP Unicode path field beside the code-page name it must match
    # by CRC, and one whose CRC is stale.
    header = "Gr\x81\xe1e.txt".encode("latin-1")
    unicode_name = "Grüße.txt".encode("utf-8")
    for name, crc_of in (("unicode-path.zip", header), ("stale-unicode-path.zip", b"other")):
        field = struct.pack("<BI", 1, zlib.crc32(crc_of)) + unicode_name
        out[name] = stored_archive(header, struct.pack("<HH", 0x7075, len(field)) + field, b"y")
    # Written to a stream that cannot seek: sizes follow in data descriptors.
    class Unseekable(io.RawIOBase):
        def __init__(self):
            self.data = bytearray()

        def writable(self):
            return True

        def write(self, b):
            self.data += b
            return len(b)

    stream = Unseekable()
    with zipfile.ZipFile(stream, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("streamed.txt", b"written without seeking " * 8)
    out["descriptor.zip"] = bytes(stream.data)
    return out


def tool_archives(work):
    def run(*args):
        subprocess.run(args, cwd=work, check=True, stdout=subprocess.DEVNULL)

    with open(os.path.join(work, "a.txt"), "w") as f:
        f.write("hello\n")
    os.mkdir(os.path.join(work, "d"))
    with open(os.path.join(work, "d", "b.txt"), "w") as f:
        f.write("x" * 200)
    with open(os.path.join(work, "big.bin"), "wb") as f:
        f.write(os.urandom(90000))
    run("zip", "-q", "-r", "info-zip.zip", "a.txt", "d")
    subprocess.run(["zip", "-q", "-z", "info-zip.zip"], cwd=work, input=b"comment\n", check=True)
    run("zip", "-q", "-P", "secret", "classic-cipher.zip", "a.txt")
    run("7z", "a", "-tzip", "-bd", "7z.zip", "a.txt", "d")
    run("7z", "a", "-tzip", "-bd", "-psecret", "-mem=AES256", "aes.zip", "a.txt")
    # A volume set: the last volume holds the directory, its items lie on
    # the first.
    run("zip", "-q", "-s", "64k", "volumes.zip", "big.bin")
    out = {}
    for name in ("info-zip.zip", "classic-cipher.zip", "7z.zip", "aes.zip", "volumes.zip"):
        with open(os.path.join(work, name), "rb") as f:
            out[name] = f.read()
    # A self-extracting archive: a stub in front, offsets adjusted (zip -A)
    # and not.
    stub = b"MZ" + b"\0" * 510
    out["stub-unadjusted.zip"] = stub + out["info-zip.zip"]
    with open(os.path.join(work, "sfx.zip"), "wb") as f:
        f.write(out["stub-unadjusted.zip"])
    run("zip", "-q", "-A", "sfx.zip")
    with open(os.path.join(work, "sfx.zip"), "rb") as f:
        out["stub-adjusted.zip"] = f.read()
    return out


def alternate_signatures(data):
    for standard, alternate in ((0x04034B50, 0x05045C61), (0x02014B50, 0x03025C61), (0x06054B50, 0x06054141)):
        data = data.replace(struct.pack("<I", standard), struct.pack("<I", alternate))
    return data


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    archives = python_archives()
    with tempfile.TemporaryDirectory() as work:
        archives.update(tool_archives(work))
    for path in sys.argv[2:]:
        with open(path, "rb") as f:
            archives[os.path.basename(path)] = f.read()

    def put(name, switches, data):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(bytes([switches]) + data)

    for name, data in archives.items():
        put("strict-" + name, 0, data)
        put("tolerant-" + name, 1, data)
    put("alternate-info-zip.zip", 2, alternate_signatures(archives["info-zip.zip"]))
    put("alternate-tolerant-7z.zip", 3, alternate_signatures(archives["7z.zip"]))
    put("codepage-unicode-path.zip", 4, archives["unicode-path.zip"])


if __name__ == "__main__":
    main()
