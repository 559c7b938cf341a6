#!/usr/bin/env bash
# Installs what the suite needs, builds, and runs every test: the programs'
# own suite, the same suite under ThreadSanitizer and AddressSanitizer, short
# fuzzing runs, and the Windows cross build. Run as root from the clone.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-packages.sh --test

jobs=$(nproc)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

step() { printf '\n==== %s ====\n' "$*"; }

step "build"
cmake -S . -B build "${launcher[@]}" >/dev/null
cmake --build build -j"$jobs"
step "tests"
ctest --test-dir build --output-on-failure

step "ThreadSanitizer build and tests"
cmake -S . -B build-tsan -DMONITOR_SANITIZER=thread "${launcher[@]}" >/dev/null
cmake --build build-tsan -j"$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure
