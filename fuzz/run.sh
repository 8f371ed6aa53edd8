#!/usr/bin/env bash
# Runs fuzz targets of the `fuzz` preset, each for SECONDS on a copy of its corpus, so the
# repository is never written. Inputs kept under fuzz/regressions/<target>/ run first, once.
# Any crash, broken invariant, leak, timeout or oversized allocation fails the run.
#   fuzz/run.sh SECONDS [TARGET...]      (default: every target; FUZZ_BUILD=build-fuzz)
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
build=${FUZZ_BUILD:-build-fuzz}/fuzz
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(token_reader_fuzz token_reader_differential_fuzz parse_lights_fuzz parse_camera_fuzz
           parse_materials_fuzz parse_objects_fuzz threaded_objects_fuzz load_fuzz render_fuzz
           convert_fuzz write_fuzz import_gltf_fuzz import_obj_fuzz)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
limits=(-rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=10)

passed=0
failed=0
for target in "${targets[@]}"; do
  binary=$build/$target
  dir=$work/$target
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp -R "fuzz/corpus/$target/." "$dir/corpus/"
  ok=1
  shopt -s nullglob
  regressions=(fuzz/regressions/"$target"/*)
  shopt -u nullglob
  if ((${#regressions[@]})); then
    "$binary" "${limits[@]}" "${regressions[@]}" >"$dir/regressions.log" 2>&1 || ok=0
    ((ok)) || tail -n 40 "$dir/regressions.log"
  fi
  if ((ok)); then
    "$binary" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/fuzz.log" 2>&1 || ok=0
  fi
  if ((ok)); then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/fuzz.log" | grep -o '[0-9]*$')
    echo "$target: ok, ${runs:-?} runs in ${seconds}s, corpus $(ls "$dir/corpus" | wc -l) inputs"
    passed=$((passed + 1))
  else
    echo "$target: FAILED"
    tail -n 60 "$dir/fuzz.log" 2>/dev/null
    for artifact in "$dir"/artifacts/*; do
      [[ -f $artifact ]] || continue
      echo "-- $(basename "$artifact") ($(stat -c %s "$artifact") bytes), first 512 as hex:"
      head -c 512 "$artifact" | od -An -tx1 | head -n 32
    done
    failed=$((failed + 1))
  fi
done
# The parse with several threads also runs once over every other target's corpus: each is some
# kind of text, and each must come out of it as it does from one thread.
for target in "${targets[@]}"; do
  [[ $target == threaded_objects_fuzz ]] || continue
  if "$build/threaded_objects_fuzz" "${limits[@]}" fuzz/corpus/*/* >"$work/every-corpus.log" 2>&1; then
    echo "threaded_objects_fuzz over every corpus: ok"
    passed=$((passed + 1))
  else
    echo "threaded_objects_fuzz over every corpus: FAILED"
    tail -n 60 "$work/every-corpus.log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
((failed == 0))
