#!/usr/bin/env bash
# Configures and builds the program and its tests into build/ (only SETUP_BUILD_TARGET when set).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
cmake --build build -j "$(nproc)" ${SETUP_BUILD_TARGET:+--target "$SETUP_BUILD_TARGET"}
