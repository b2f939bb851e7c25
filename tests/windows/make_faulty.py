#!/usr/bin/env python3
"""Makes faulty copies of the Windows deliverables, on which the checks must
report a fault.

  make_faulty.py manifest EXE OUT
      EXE with its manifest asking for another execution level and missing
      the Windows 10 and 11 entry (bytes replaced in place, same lengths).
  make_faulty.py package ZIP DLL OUT
      the package with DLL added beside tarnwick.exe."""

import os
import sys
import zipfile


def faulty_manifest(exe, out):
    with open(exe, "rb") as f:
        data = f.read()
    for old, new in (
        (b'level="asInvoker"', b'level="highest"  '),
        (b"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", b"{00000000-bfb3-4fe8-b9a5-48fd50a15a9a}"),
    ):
        if data.count(old) != 1:
            raise SystemExit(f"{exe}: {old!r} is not there once")
        data = data.replace(old, new)
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(data)


def package_with_dll(package, dll, out):
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with zipfile.ZipFile(package) as source, zipfile.ZipFile(out, "w") as target:
        folder = ""
        for info in source.infolist():
            target.writestr(info, source.read(info))
            folder = info.filename.rsplit("/", 1)[0]
        target.write(dll, f"{folder}/{os.path.basename(dll)}")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "manifest":
        faulty_manifest(*sys.argv[2:])
    elif len(sys.argv) == 5 and sys.argv[1] == "package":
        package_with_dll(*sys.argv[2:])
    else:
        raise SystemExit(__doc__)
