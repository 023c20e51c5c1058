#!/usr/bin/env python3
"""Writes a NUL-terminated marker twice, directly behind the section table of
a PE file, into the header area's free space, and brings the header's
checksum up to date. Fails when that space is not free (all zero) or too
small for both copies."""
import struct
import sys


def pe_checksum(data, field):
    """The optional header's CheckSum: the file's 16-bit words summed with
    end-around carry, the field itself counted as zero, plus the length."""
    padded = bytes(data[:field]) + b"\0\0\0\0" + bytes(data[field + 4:]) + b"\0" * (len(data) % 2)
    total = sum(struct.unpack_from(f"<{len(padded) // 2}H", padded))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: pe-marker.py FILE MARKER")
    path, marker = sys.argv[1], sys.argv[2].encode("ascii") + b"\0"
    data = bytearray(open(path, "rb").read())
    if data[:2] != b"MZ":
        sys.exit(f"{path}: not a PE file")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: no PE signature")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional_size
    start = table + 40 * sections
    raw_starts = [struct.unpack_from("<I", data, table + 40 * i + 20)[0] for i in range(sections)]
    first_raw = min(r for r in raw_starts if r) if any(raw_starts) else len(data)
    size_of_headers = struct.unpack_from("<I", data, pe + 24 + 60)[0]
    limit = min(first_raw, size_of_headers)
    end = start + 2 * len(marker)
    payload = marker * 2
    if data[start:end] == payload:
        return  # already there
    if end > limit:
        sys.exit(f"{path}: no room for the marker behind the section table ({limit - start} bytes free)")
    if any(data[start:end]):
        sys.exit(f"{path}: the space behind the section table is in use")
    data[start:end] = payload
    checksum_field = pe + 24 + 64
    struct.pack_into("<I", data, checksum_field, pe_checksum(data, checksum_field))
    open(path, "wb").write(data)


if __name__ == "__main__":
    main()
