#!/usr/bin/env bash
# Installs what the suite needs, builds, and runs every test: the programs'
# own suite (unit, integration and end-to-end), the same suite under
# ThreadSanitizer and under AddressSanitizer with UndefinedBehaviorSanitizer,
# short fuzzing runs, the Debian package from a Release build with its own
# test, and the Windows programs cross-built, zipped and tested under Wine
# (also at two screen scales). Warnings are errors in every build. Ends with
# the list of tests that did not run; with MONITOR_CI set (as CI sets it)
# any such test fails the run. Run as root from the clone.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-packages.sh --test

jobs=$(nproc)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

started=$SECONDS
step() { printf '\n==== %s (at %d s) ====\n' "$*" $((SECONDS - started)); }

# Every registered test that did not run (skipped or not run), by build.
not_run=()

# Builds one configuration and runs its whole suite.
build_and_test() {
  local folder=$1
  shift
  cmake -S . -B "$folder" "${launcher[@]}" "$@" >/dev/null
  cmake --build "$folder" -j"$jobs"
  ctest --test-dir "$folder" --output-on-failure -j"$jobs" | tee "$folder/ctest.out"
  local test
  while read -r test; do
    not_run+=("$folder: $test")
  done < <(sed -n '/^The following tests did not run:/,/^$/{s/^[[:space:]]*[0-9]* - //p}' \
             "$folder/ctest.out")
}

# Runs a test script of its own; status 77 is a skip and is counted as one.
run_script() {
  local status=0
  "$@" || status=$?
  if ((status == 77)); then
    not_run+=("script: $(basename "$1") (Skipped)")
  elif ((status != 0)); then
    exit "$status"
  fi
}

# The Windows programs first: the suite drives them under Wine on a screen.
step "Windows cross build"
cmake -S . -B build-win --toolchain cmake/mingw-w64.cmake "${launcher[@]}" -DMONITOR_WERROR=ON >/dev/null
cmake --build build-win -j"$jobs"
(cd build-win && cpack -G ZIP)
zip=build-win/kelvane-sorrel-1.0.3.0-windows-x64.zip
if [[ "$(cmake -E tar tf "$zip" | grep -v '/$' | sort | tr '\n' ' ')" != \
    "kelvane-sorrel-1.0.3.0-windows-x64/Kelvane.exe kelvane-sorrel-1.0.3.0-windows-x64/Sorrel.exe kelvane-sorrel-1.0.3.0-windows-x64/readme.txt " ]]; then
  echo "the Windows zip holds other files than both programs and the note"
  exit 1
fi
if x86_64-w64-mingw32-objdump -p build-win/bin/Kelvane.exe build-win/bin/Sorrel.exe |
    grep 'DLL Name' | grep -viE 'kernel32|user32|gdi32|comdlg32|comctl32|ws2_32|iphlpapi|version|msvcrt|advapi32|shell32'; then
  echo "a Windows program loads a DLL that Windows does not ship"
  exit 1
fi

step "build and tests"
build_and_test build -DMONITOR_WINDOWS_BUILD="$PWD/build-win" -DMONITOR_WERROR=ON

# The package from a Release build of the programs, as a packager builds
# them (no tests: their suite is the one above, and the sanitizer builds
# below build every test again).
step "Debian package"
cmake -S . -B build-release "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release -DMONITOR_WERROR=ON \
  -DMONITOR_WITH_TESTS=OFF >/dev/null
cmake --build build-release -j"$jobs"
(cd build-release && cpack -G DEB)
run_script tests/package/package_test.sh build-release/kelvane_1.0.3.0_amd64.deb build/bin/device_sim

step "ThreadSanitizer"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  build_and_test build-tsan -DMONITOR_SANITIZER=thread -DMONITOR_WERROR=ON

step "AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" \
  build_and_test build-asan -DMONITOR_SANITIZER=address -DMONITOR_WERROR=ON

step "fuzzing"
FUZZ_SECONDS=20 ./scripts/fuzz-short.sh

step "Wine smoke, scale and file replacement tests"
run_script tests/wine/wine_smoke.sh build-win/bin build/bin/device_sim
run_script tests/wine/wine_dpi.sh build-win/bin
run_script tests/wine/wine_replace.sh build-win/bin

step "Wine churn: the server stopped and started 50 times while devices come and go"
run_script tests/wine/wine_churn.sh build-win/bin build/bin/device_sim

# CI installs everything the suite needs, so there a test that did not run is
# a failure; elsewhere it is listed.
step "tests that did not run"
if ((${#not_run[@]} == 0)); then
  echo "none: every registered test ran"
else
  printf '%s\n' "${not_run[@]}"
  if [[ -n "${MONITOR_CI:-}" ]]; then
    echo "${#not_run[@]} tests did not run; in CI every test must run"
    exit 1
  fi
  echo "${#not_run[@]} tests did not run on this machine (CI fails on this)"
fi
