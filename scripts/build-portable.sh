#!/usr/bin/env bash
# Installs what is needed and makes dist/Setup: the one file a packer ships, which runs on
# x86-64 Linux with glibc 2.34 or newer and an X server, with no Qt, OpenSSL or ICU installed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
SETUP_BUILD_TARGET=portable bash scripts/build.sh "$@"
mkdir -p dist
cp build/dist/Setup dist/Setup.tmp
mv dist/Setup.tmp dist/Setup
ls -l dist/Setup
