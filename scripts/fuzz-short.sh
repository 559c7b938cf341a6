#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (no Qt) in build-fuzz and runs each
# for a short while on a copy of its seed corpus, so the repository is never
# written. Prints the executions of every target; fails on any crash or
# broken property.
#   FUZZ_SECONDS   run time per target (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
build=build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

targets=()
for source in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" _fuzz.cpp)
  targets+=("$name")
done

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DMONITOR_FUZZ=ON -DMONITOR_WITH_QT=OFF -DMONITOR_WITH_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
summary=()
for name in "${targets[@]}"; do
  corpus="$work/$name/corpus"
  mkdir -p "$corpus" "$work/$name/artifacts"
  if [[ -d tests/fuzz/corpus/$name ]]; then
    cp -r "tests/fuzz/corpus/$name/." "$corpus/"
  fi
  args=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
        -artifact_prefix="$work/$name/artifacts/")
  [[ -f tests/fuzz/$name.dict ]] && args+=(-dict="tests/fuzz/$name.dict")

  log="$work/$name/log"
  status=0
  "$build/bin/$name" "${args[@]}" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [[ $status -ne 0 ]]; then
    failed=1
    summary+=("$name: FAILED (exit $status) after ${runs:-?} executions")
    echo "---- $name failed; the end of its log:"
    tail -n 40 "$log"
    for artifact in "$work/$name/artifacts"/*; do
      [[ -f $artifact ]] || continue
      echo "---- input that failed ($(basename "$artifact")), as hex:"
      od -An -tx1 -v "$artifact" | head -n 20
    done
  else
    summary+=("$name: ${runs:-?} executions in ${seconds} s, corpus $(ls "$corpus" | wc -l) inputs")
  fi
done

printf '\n==== fuzzing, %s s per target ====\n' "$seconds"
printf '%s\n' "${summary[@]}"
exit "$failed"
