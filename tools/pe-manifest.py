#!/usr/bin/env python3
"""Prints the application manifest of a Windows program: resource type 24 (RT_MANIFEST), id 1,
the one the loader reads when the program starts. Exits 1 when the program has none.

Usage: pe-manifest.py <program.exe>
"""
import struct
import sys

RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
RESOURCE_DIRECTORY_ENTRY = 2  # index of the resource table among the data directories
SUBDIRECTORY_FLAG = 0x80000000


def sections(image, pe):
    count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    first = pe + 24 + optional_size
    for i in range(count):
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<4I", image, first + 40 * i + 8)
        yield rva, max(virtual_size, raw_size), raw_offset


def file_offset(image, pe, rva):
    for start, size, raw_offset in sections(image, pe):
        if start <= rva < start + size:
            return raw_offset + rva - start
    raise ValueError("address 0x%x lies in no section" % rva)


def entries(image, directory):
    named, numbered = struct.unpack_from("<HH", image, directory + 12)
    for i in range(named + numbered):
        yield struct.unpack_from("<II", image, directory + 16 + 8 * i)


def child(image, root, directory, wanted):
    for name, target in entries(image, directory):
        if wanted is None or name == wanted:
            return root + (target & ~SUBDIRECTORY_FLAG), bool(target & SUBDIRECTORY_FLAG)
    return None, False


def manifest(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rva, size = struct.unpack_from("<II", image, directories + 8 * RESOURCE_DIRECTORY_ENTRY)
    if not size:
        return None
    root = file_offset(image, pe, rva)
    node = root
    for wanted in (RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID):  # type, then id
        node, is_directory = child(image, root, node, wanted)
        if node is None or not is_directory:
            return None
    node, is_directory = child(image, root, node, None)  # the first language
    if node is None or is_directory:
        return None
    data_rva, data_size = struct.unpack_from("<II", image, node)
    start = file_offset(image, pe, data_rva)
    return image[start:start + data_size]


def main():
    with open(sys.argv[1], "rb") as program:
        found = manifest(program.read())
    if found is None:
        return 1
    sys.stdout.write(found.decode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
