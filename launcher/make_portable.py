#!/usr/bin/env python3
"""Makes the portable Setup: the launcher followed by a compressed payload of the real
program, the libraries it needs that a desktop Linux may lack, Qt's plugins and a qt.conf.

    make_portable.py PROGRAM LAUNCHER STAGE OUT

PROGRAM   the Setup program built here
LAUNCHER  the launcher built here
STAGE     a folder to lay the payload out in (emptied first)
OUT       the portable file to write
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

QT_PLUGINS = "/usr/lib/x86_64-linux-gnu/qt6/plugins"
QT_TRANSLATIONS = "/usr/share/qt6/translations"
PLUGINS = [
    "platforms/libqxcb.so",
    "platforms/libqoffscreen.so",
    "xcbglintegrations/libqxcb-glx-integration.so",
    "xcbglintegrations/libqxcb-egl-integration.so",
    "platforminputcontexts/libcomposeplatforminputcontextplugin.so",
    "platforminputcontexts/libibusplatforminputcontextplugin.so",
    "imageformats/libqjpeg.so",
]
TRANSLATIONS = ["qtbase_ru.qm"]
# GL dispatch libraries the program links but never calls into for its own drawing: the
# system's copies are used where they exist (they must match its GL drivers); ours only
# stand in where one is missing, each in a folder of its own that the launcher adds to the
# library path then.
FALLBACK = re.compile(r"^(libOpenGL|libGLX|libEGL|libGLdispatch)\.so")
# What every desktop with an X server has, and what must match the system's own copies:
# the C library, the GL dispatch and drivers, the X client libraries, fonts, and the C++
# runtime (ours needs glibc 2.36; GCC 12's runtime ships with every system we aim at).
SYSTEM = re.compile(r"^(ld-linux.*|libc|libm|libdl|libpthread|librt|libresolv|libutil|libGL.*|libEGL"
                    r"|libOpenGL|libGLdispatch|libGLX.*|libdrm|libgbm|libX11|libX11-xcb|libxcb|libXau"
                    r"|libXdmcp|libfontconfig|libfreetype|libexpat|libz|libstdc\+\+|libgcc_s)\.so")
# Newer glibc symbol versions some Debian libraries ask for, and an older version of the same
# function that every glibc since 2.2.5 exports.
OLDER_VERSION = {("hypot", "GLIBC_2.35"): "GLIBC_2.2.5", ("hypotf", "GLIBC_2.35"): "GLIBC_2.2.5"}
HIGHEST_GLIBC = (2, 34)


def needed_libraries(binaries, pattern):
    found = {}
    for binary in binaries:
        out = subprocess.run(["ldd", binary], check=True, capture_output=True, text=True).stdout
        for line in out.splitlines():
            m = re.match(r"\s*(\S+) => (/\S+)", line)
            if m:
                name, path = m.groups()
                if pattern(name):
                    found[name] = path
            elif "not found" in line:
                sys.exit(f"make_portable: {binary}: {line.strip()}")
    return found


def elf_hash(name):
    h = 0
    for c in name.encode():
        h = ((h << 4) + c) & 0xFFFFFFFF
        g = h & 0xF0000000
        if g:
            h ^= g >> 24
        h &= ~g & 0xFFFFFFFF
    return h


def lower_glibc_versions(path):
    """Rewrites version needs above HIGHEST_GLIBC to the older version of the same function,
    where OLDER_VERSION knows one; fails for any other need above it."""
    data = bytearray(open(path, "rb").read())
    if data[:4] != b"\x7fELF" or data[4] != 2 or data[5] != 1:
        sys.exit(f"make_portable: {path} is not a 64-bit little-endian ELF file")
    shoff, = struct.unpack_from("<Q", data, 0x28)
    shentsize, shnum = struct.unpack_from("<HH", data, 0x3A)
    sections = []
    for i in range(shnum):
        _, stype, _, _, off, size, link, _, _, entsize = struct.unpack_from("<IIQQQQIIQQ", data, shoff + i * shentsize)
        sections.append((stype, off, size, link, entsize))
    by_type = {s[0]: s for s in sections}
    verneed, dynsym, versym = by_type.get(0x6FFFFFFE), by_type.get(11), by_type.get(0x6FFFFFFF)
    if not verneed or not dynsym or not versym:
        return False
    dynstr = sections[dynsym[3]]

    def string(offset):
        start = dynstr[1] + offset
        return data[start:data.index(0, start)].decode()

    symbols = {}
    for i in range(dynsym[2] // dynsym[4]):
        name_off, = struct.unpack_from("<I", data, dynsym[1] + i * dynsym[4])
        index, = struct.unpack_from("<H", data, versym[1] + i * 2)
        symbols.setdefault(index & 0x7FFF, []).append(string(name_off))
    changed = False
    need = verneed[1]
    while True:
        _, cnt, _, aux, nxt = struct.unpack_from("<HHIII", data, need)
        at = need + aux
        for _ in range(cnt):
            _, flags, other, name_off, aux_next = struct.unpack_from("<IHHII", data, at)
            version = string(name_off)
            m = re.fullmatch(r"GLIBC_(\d+)\.(\d+)(?:\.\d+)?", version)
            if m and (int(m[1]), int(m[2])) > HIGHEST_GLIBC:
                users = symbols.get(other, [])
                targets = {OLDER_VERSION.get((s, version)) for s in users}
                if not users or None in targets or len(targets) != 1:
                    sys.exit(f"make_portable: {path} needs {version} for {', '.join(users)}")
                target = targets.pop()
                target_off = bytes(data[dynstr[1]:dynstr[1] + dynstr[2]]).find(target.encode() + b"\0")
                if target_off < 0:
                    sys.exit(f"make_portable: {path} has no string {target}")
                struct.pack_into("<IHHII", data, at, elf_hash(target), flags, other, target_off, aux_next)
                changed = True
            at += aux_next
        if not nxt:
            break
        need += nxt
    if changed:
        open(path, "wb").write(data)
    return changed


def stage(program, stage_dir):
    if os.path.exists(stage_dir):
        shutil.rmtree(stage_dir)
    lib = os.path.join(stage_dir, "lib")
    os.makedirs(lib)
    plugin_paths = [os.path.join(QT_PLUGINS, p) for p in PLUGINS]
    shutil.copy(program, os.path.join(stage_dir, "Setup"))
    for p in PLUGINS:
        dest = os.path.join(stage_dir, "plugins", p)
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        shutil.copy(os.path.join(QT_PLUGINS, p), dest)
    binaries = [program] + plugin_paths
    for name, path in sorted(needed_libraries(binaries, lambda n: not SYSTEM.match(n)).items()):
        shutil.copy(path, os.path.join(lib, name))  # under its soname, a plain file
    for name, path in sorted(needed_libraries(binaries, FALLBACK.match).items()):
        os.makedirs(os.path.join(stage_dir, "fallback", name))
        shutil.copy(path, os.path.join(stage_dir, "fallback", name, name))
    os.makedirs(os.path.join(stage_dir, "translations"))
    for t in TRANSLATIONS:
        shutil.copy(os.path.join(QT_TRANSLATIONS, t), os.path.join(stage_dir, "translations", t))
    with open(os.path.join(stage_dir, "qt.conf"), "w") as f:
        f.write("[Paths]\nPrefix = .\nLibraries = lib\nPlugins = plugins\nTranslations = translations\n")
    # DT_RPATH, unlike DT_RUNPATH, is searched before LD_LIBRARY_PATH and for every library
    # loaded on the program's behalf: another Qt on the system is never picked up.
    for root, _, files in os.walk(stage_dir):
        for f in files:
            path = os.path.join(root, f)
            if f == "Setup" and root == stage_dir:
                rpath = "$ORIGIN/lib"
            elif ".so" not in f:
                continue
            elif os.path.basename(os.path.dirname(root)) == "fallback":
                rpath = None  # found through the library path, like the system's own
            else:
                rpath = "$ORIGIN" if root == lib else "$ORIGIN/../../lib"
            os.chmod(path, 0o755)
            if rpath:
                subprocess.run(["patchelf", "--force-rpath", "--set-rpath", rpath, path], check=True)
            lower_glibc_versions(path)
            subprocess.run(["strip", "--strip-unneeded", path], check=True)


def records(stage_dir):
    out = bytearray()
    for root, dirs, files in os.walk(stage_dir):
        dirs.sort()
        rel = os.path.relpath(root, stage_dir)
        if rel != ".":
            name = rel.encode()
            out += struct.pack("<cIIQ", b"D", 0o755, len(name), 0) + name
        for f in sorted(files):
            path = os.path.join(root, f)
            name = os.path.normpath(os.path.join(rel, f)).encode()
            body = open(path, "rb").read()
            out += struct.pack("<cIIQ", b"F", os.stat(path).st_mode & 0o777, len(name), len(body)) + name + body
    out += struct.pack("<cIIQ", b"E", 0, 0, 0)
    return bytes(out)


def pack(launcher, stage_dir, out_path):
    stream = records(stage_dir)
    level = os.environ.get("SETUP_PORTABLE_LEVEL", "19")
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "payload")
        open(raw, "wb").write(stream)
        subprocess.run(["zstd", "-q", f"-{level}", "--long=27", "--check", "-T0", "-f", raw, "-o", raw + ".zst"],
                       check=True)
        packed = open(raw + ".zst", "rb").read()
        head_path = os.path.join(tmp, "launcher")
        shutil.copy(launcher, head_path)
        subprocess.run(["strip", "--strip-all", head_path], check=True)
        head = open(head_path, "rb").read()
    trailer = b"SETUP-PAYLOAD-1\n" + struct.pack("<QQQ", len(head), len(packed), len(stream))
    trailer += hashlib.sha256(packed).digest()
    tmp_out = out_path + ".tmp"
    with open(tmp_out, "wb") as f:
        f.write(head + packed + trailer)
    os.chmod(tmp_out, 0o755)
    os.replace(tmp_out, out_path)
    print(f"{out_path}: {os.path.getsize(out_path)} bytes, payload {len(stream)} bytes unpacked")


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    program, launcher, stage_dir, out_path = sys.argv[1:]
    stage(program, stage_dir)
    os.makedirs(os.path.dirname(os.path.abspath(out_path)), exist_ok=True)
    pack(launcher, stage_dir, out_path)


if __name__ == "__main__":
    main()
