#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the program's tests,
# then the window-less code under AddressSanitizer/UBSan with the fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
bash scripts/build.sh
cmake --build build --target portable
ctest --test-dir build -j 2 --output-on-failure --timeout 600
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSETUP_FUZZ=ON -DSETUP_SANITIZE=ON \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-asan -j "$(nproc)"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j 2 --output-on-failure --timeout 600
