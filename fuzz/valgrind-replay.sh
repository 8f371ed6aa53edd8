#!/usr/bin/env bash
# Builds the fuzz targets plainly (the `fuzz-replay` preset: no sanitizers, no libFuzzer) and
# replays every committed corpus and regression input of every target once under valgrind
# memcheck. Any memory error, use of an uninitialised value, or definite or indirect leak fails.
#   fuzz/valgrind-replay.sh [TARGET...]      (default: every target with a corpus)
set -uo pipefail
cd "$(dirname "$0")/.."

cmake --preset fuzz-replay >/dev/null || exit 1
cmake --build --preset fuzz-replay || exit 1
build=build-fuzz-replay/fuzz

targets=("$@")
if ((${#targets[@]} == 0)); then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

memcheck=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full
          --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect
          --track-origins=yes --quiet)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
for target in "${targets[@]}"; do
  inputs=()
  [[ -d fuzz/corpus/$target ]] && inputs+=("fuzz/corpus/$target")
  [[ -d fuzz/regressions/$target ]] && inputs+=("fuzz/regressions/$target")
  log=$work/$target.log
  if [[ ! -x $build/$target ]]; then
    echo "$target: FAILED (not built)"
    failed=$((failed + 1))
  elif TMPDIR=$work "${memcheck[@]}" "$build/$target" "${inputs[@]}" >"$log" 2>&1; then
    echo "$target: ok, $(grep -o 'replayed [0-9]* inputs' "$log")"
    passed=$((passed + 1))
  else
    echo "$target: FAILED"
    tail -n 80 "$log"
    failed=$((failed + 1))
  fi
done
echo "valgrind: $passed passed, $failed failed"
((failed == 0))
