#!/usr/bin/env python3
"""Checks the resources of tarnwick.exe.

  check_resources.py version  EXE VERSION
      one version resource; its fixed FileVersion and ProductVersion are
      VERSION as four numbers (1.3 is 1.3.0.0), its strings FileVersion and
      ProductVersion are VERSION, ProductName and InternalName "tarnwick",
      OriginalFilename "tarnwick.exe", and FileDescription is not empty.
  check_resources.py manifest EXE VERSION
      one application manifest, resource 1: it asks for asInvoker without
      UI access, declares Windows 7, 8, 8.1 and 10/11 supported and no other
      system, and its assembly version is VERSION as four numbers.

Prints what is wrong and exits 1, or prints one line and exits 0."""

import sys
import xml.etree.ElementTree as ElementTree

import pe_resources

SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"


def four_numbers(version):
    numbers = [int(part) for part in version.split(".")]
    return tuple(numbers + [0] * (4 - len(numbers)))


def dotted(numbers):
    return ".".join(str(n) for n in numbers)


def of_type(found, kind):
    return {key: value for key, value in found.items() if key[0] == kind}


def check_version(found, version):
    blocks = of_type(found, pe_resources.RT_VERSION)
    if len(blocks) != 1:
        return [f"has {len(blocks)} version resources, not one"]
    file_version, product_version, strings = pe_resources.version_info(next(iter(blocks.values())))
    problems = []
    expected = four_numbers(version)
    for name, value in (("FileVersion", file_version), ("ProductVersion", product_version)):
        if value != expected:
            problems.append(f"fixed {name} is {dotted(value)}, not {dotted(expected)}")
    expected_strings = {
        "FileVersion": version,
        "ProductVersion": version,
        "ProductName": "tarnwick",
        "InternalName": "tarnwick",
        "OriginalFilename": "tarnwick.exe",
    }
    for name, value in expected_strings.items():
        if strings.get(name) != value:
            problems.append(f"string {name} is {strings.get(name)!r}, not {value!r}")
    if not strings.get("FileDescription"):
        problems.append("string FileDescription is missing or empty")
    return problems


def check_manifest(found, version):
    manifests = of_type(found, pe_resources.RT_MANIFEST)
    if len(manifests) != 1:
        return [f"has {len(manifests)} manifests, not one"]
    (kind, name, _), text = next(iter(manifests.items()))
    problems = []
    if name != 1:
        problems.append(f"the manifest is resource {name!r}, not 1")
    root = ElementTree.fromstring(text)
    identity = root.find(ASM_V1 + "assemblyIdentity")
    expected = dotted(four_numbers(version))
    if identity is None or identity.get("version") != expected:
        got = None if identity is None else identity.get("version")
        problems.append(f"the manifest's assembly version is {got!r}, not {expected!r}")
    levels = root.findall(f".//{ASM_V3}requestedExecutionLevel")
    if [(e.get("level"), e.get("uiAccess")) for e in levels] != [("asInvoker", "false")]:
        problems.append("the manifest does not ask for asInvoker without UI access, once")
    declared = [e.get("Id", "").lower() for e in root.findall(f".//{COMPATIBILITY}supportedOS")]
    if sorted(declared) != sorted(SUPPORTED_OS):
        missing = [SUPPORTED_OS[i] for i in SUPPORTED_OS if i not in declared]
        problems.append(f"the manifest declares the systems {declared}; missing: {missing}")
    return problems


def main(argv):
    if len(argv) != 4 or argv[1] not in ("version", "manifest"):
        print(__doc__)
        return 2
    mode, exe, version = argv[1:]
    try:
        found = pe_resources.resources(exe)
        problems = (check_version if mode == "version" else check_manifest)(found, version)
    except (OSError, pe_resources.PeError, ElementTree.ParseError) as error:
        problems = [str(error)]
    if problems:
        print(f"{exe}: {mode} check failed:")
        for problem in problems:
            print(f"  {problem}")
        return 1
    print(f"{exe}: {mode} {version} as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
