#!/usr/bin/env python3
"""Checks the package that cpack makes for administrators.

  check_package.py ZIP EXE VERSION

ZIP must be named tarnwick-VERSION-win64.zip and hold, in a folder of the
same name, tarnwick.exe (byte for byte the built EXE), README.txt and
SHA256SUMS, and nothing else: in particular no DLL, never the stand-in
nNOTES.dll. README.txt and SHA256SUMS have CRLF line ends; README.txt names
the version and nNOTES.dll; SHA256SUMS gives the right checksum of each of
the two other files, in the format sha256sum -c reads.

Prints what is wrong and exits 1, or prints one line and exits 0."""

import hashlib
import os
import re
import sys
import zipfile


def crlf_problems(name, data):
    if re.search(rb"(?<!\r)\n|\r(?!\n)", data):
        return [f"{name} has line ends other than CRLF"]
    if not data.endswith(b"\r\n"):
        return [f"{name} does not end with CRLF"]
    return []


def check(path, exe, version):
    base = f"tarnwick-{version}-win64"
    problems = []
    if os.path.basename(path) != base + ".zip":
        problems.append(f"the package is named {os.path.basename(path)}, not {base}.zip")
    with zipfile.ZipFile(path) as package:
        names = [n for n in package.namelist() if not n.endswith("/")]
        contents = {n: package.read(n) for n in names}
    for name in names:
        if name.lower().endswith(".dll"):
            problems.append(f"holds the DLL {name}")
    expected = {f"{base}/{n}" for n in ("tarnwick.exe", "README.txt", "SHA256SUMS")}
    if set(names) != expected or len(names) != len(expected):
        problems.append(f"holds {sorted(names)}, not {sorted(expected)}")
        return problems

    def member(name):
        return contents[f"{base}/{name}"]

    with open(exe, "rb") as f:
        if member("tarnwick.exe") != f.read():
            problems.append(f"its tarnwick.exe is not {exe} (make the package again)")

    readme = member("README.txt")
    problems += crlf_problems("README.txt", readme)
    for text in (f"tarnwick {version}", "nNOTES.dll"):
        if text.encode() not in readme:
            problems.append(f"README.txt does not mention {text}")

    sums = member("SHA256SUMS")
    problems += crlf_problems("SHA256SUMS", sums)
    listed = {}
    for line in sums.decode("ascii", "replace").splitlines():
        match = re.fullmatch(r"([0-9a-f]{64})  (\S+)", line)
        if not match:
            problems.append(f"SHA256SUMS has the line {line!r}")
            continue
        listed[match.group(2)] = match.group(1)
    for name in ("tarnwick.exe", "README.txt"):
        actual = hashlib.sha256(member(name)).hexdigest()
        if listed.get(name) != actual:
            problems.append(f"SHA256SUMS gives {listed.get(name)} for {name}, not {actual}")
    if set(listed) - {"tarnwick.exe", "README.txt"}:
        problems.append(f"SHA256SUMS lists {sorted(listed)}")
    return problems


def main(argv):
    if len(argv) != 4:
        print(__doc__)
        return 2
    path, exe, version = argv[1:]
    try:
        problems = check(path, exe, version)
    except (OSError, zipfile.BadZipFile) as error:
        problems = [f"{error} (cpack --preset windows makes the package)"]
    if problems:
        print(f"{path}: package check failed:")
        for problem in problems:
            print(f"  {problem}")
        return 1
    print(f"{path}: tarnwick.exe, README.txt and SHA256SUMS, as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
