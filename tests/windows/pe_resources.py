"""Reads the resources of a Windows PE file (.exe or .dll) and the version
information block, with nothing but the Python standard library."""

import struct

RT_VERSION = 16
RT_MANIFEST = 24


class PeError(Exception):
    pass


def _sections(data):
    if data[:2] != b"MZ":
        raise PeError("not a PE file (no MZ header)")
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe : pe + 4] != b"PE\0\0":
        raise PeError("not a PE file (no PE signature)")
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    (magic,) = struct.unpack_from("<H", data, optional)
    # The data directories follow the fixed part of the optional header,
    # which is longer in PE32+ (64-bit) files; the resource table is entry 2.
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva, resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
    sections = []
    table = optional + optional_size
    for i in range(count):
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        sections.append((rva, max(virtual_size, raw_size), raw_offset))
    return sections, resource_rva, resource_size


def _offset(sections, rva):
    for start, size, raw in sections:
        if start <= rva < start + size:
            return raw + rva - start
    raise PeError(f"address 0x{rva:x} is in no section")


def resources(path):
    """Returns {(type, name, language): bytes}; names and types given as
    strings are read as strings, numeric ones as ints."""
    with open(path, "rb") as f:
        data = f.read()
    sections, rva, size = _sections(data)
    if rva == 0 or size == 0:
        return {}
    base = _offset(sections, rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            if ident & 0x80000000:
                at = base + (ident & 0x7FFFFFFF)
                (length,) = struct.unpack_from("<H", data, at)
                ident = data[at + 2 : at + 2 + 2 * length].decode("utf-16-le")
            yield ident, target

    found = {}
    for kind, kinds in entries(0):
        for name, names in entries(kinds & 0x7FFFFFFF):
            for language, leaf in entries(names & 0x7FFFFFFF):
                data_rva, data_size = struct.unpack_from("<II", data, base + leaf)
                at = _offset(sections, data_rva)
                found[(kind, name, language)] = data[at : at + data_size]
    return found


def _block(data, at):
    """One node of a VS_VERSIONINFO tree: (key, value, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_start = at + 6
    key_end = key_start
    while data[key_end : key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_start:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    if kind == 1:  # text: the length counts UTF-16 units, the final NUL included
        value = data[value_at : value_at + 2 * value_length].decode("utf-16-le").rstrip("\0")
        value_end = value_at + 2 * value_length
    else:
        value = data[value_at : value_at + value_length]
        value_end = value_at + value_length
    children = []
    child = (value_end + 3) & ~3
    while child < end:
        node = _block(data, child)
        children.append(node)
        child = (node[3] + 3) & ~3
    return key, value, children, end


def version_info(block):
    """Reads a version resource: (file version, product version, strings),
    the versions as 4-tuples from VS_FIXEDFILEINFO and the strings of every
    StringTable merged into one dict."""
    key, fixed, children, _ = _block(block, 0)
    if key != "VS_VERSION_INFO":
        raise PeError(f"the version resource's key is {key!r}")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        raise PeError("the version resource has no VS_FIXEDFILEINFO")

    def quad(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for child_key, _, tables, _ in children:
        if child_key == "StringFileInfo":
            for _, _, values, _ in tables:
                for name, value, _, _ in values:
                    strings[name] = value
    return quad(file_ms, file_ls), quad(product_ms, product_ls), strings
