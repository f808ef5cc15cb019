#!/usr/bin/env python3
"""Fails when the portable file, or any program or library it unpacks, asks for a glibc symbol
version above the one given: a system with that glibc could not start it.

    glibc_versions.py MAJOR.MINOR PORTABLE STAGE
"""
import os
import re
import subprocess
import sys


def versions(path):
    out = subprocess.run(["objdump", "-T", "-p", path], capture_output=True, text=True).stdout
    return {(int(a), int(b)) for a, b in re.findall(r"\bGLIBC_(\d+)\.(\d+)", out)}


def main():
    limit = tuple(int(x) for x in sys.argv[1].split("."))
    files = [sys.argv[2]]
    for root, _, names in os.walk(sys.argv[3]):
        files += [os.path.join(root, n) for n in names if n == "Setup" or ".so" in n]
    bad = []
    for f in files:
        found = versions(f)
        if not found:
            if f == files[0]:  # data-only libraries need none; the launcher must
                bad.append(f"{f}: no glibc version needs found (not an ELF file?)")
        elif max(found) > limit:
            bad.append(f"{f}: needs GLIBC_{'.'.join(map(str, max(found)))}")
    print(f"{len(files)} files checked against GLIBC_{sys.argv[1]}")
    if bad:
        sys.exit("\n".join(bad))


if __name__ == "__main__":
    main()
