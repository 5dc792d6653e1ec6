#!/usr/bin/env python3
"""Prints the target and the working folder of a Windows shortcut (.lnk) as "TARGET<tab>WORKDIR".

Reads the Shell Link format: the 76-byte header, the item id list (skipped), the link info (its
local base path and common path suffix give the target) and the string data, whose third string is
the working folder when its flag is set. Wine counts a string's terminating NUL; it is dropped.
Fails with a message on anything it cannot read.
"""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR = 0x1, 0x2, 0x4, 0x8, 0x10
IS_UNICODE = 0x80
LINK_CLSID = bytes.fromhex("0114020000000000c000000000000046")


def c_string(data, offset, unicode):
    if unicode:
        end = offset
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[offset:end].decode("utf-16-le")
    return data[offset:data.index(b"\0", offset)].decode("latin-1")


def read(data):
    size, clsid, flags = struct.unpack_from("<I16sI", data, 0)
    if size != 0x4C or clsid != LINK_CLSID:
        raise ValueError("not a shell link")
    pos = size
    if flags & HAS_ID_LIST:
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = ""
    if flags & HAS_LINK_INFO:
        info_size, header_size, info_flags, _, base_off, _, suffix_off = struct.unpack_from("<7I", data, pos)
        if info_flags & 1:  # VolumeIDAndLocalBasePath
            unicode = header_size >= 0x24
            if unicode:
                base_off, suffix_off = struct.unpack_from("<2I", data, pos + 0x1C)
            target = c_string(data, pos + base_off, unicode) + c_string(data, pos + suffix_off, unicode)
        pos += info_size
    unicode = bool(flags & IS_UNICODE)
    strings = {}
    for flag in (HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR):
        if flags & flag:
            count = struct.unpack_from("<H", data, pos)[0]
            width = 2 if unicode else 1
            raw = data[pos + 2:pos + 2 + count * width]
            strings[flag] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
            pos += 2 + count * width
    if not target:
        raise ValueError("no local target path")
    return target, strings.get(HAS_WORKING_DIR, "")


if __name__ == "__main__":
    try:
        with open(sys.argv[1], "rb") as f:
            print("\t".join(read(f.read())))
    except (OSError, ValueError, struct.error, IndexError) as e:
        sys.exit(f"{sys.argv[1]}: {e}")
