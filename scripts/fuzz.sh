#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer) and runs each for a fixed time on
# its seed corpus, tests/fuzz/corpus/<target name without "fuzz_">, one target
# per core at a time. New inputs go to a scratch folder, never into the
# repository. A crash, a failed check or a leak fails the run.
#
#   scripts/fuzz.sh [seconds per target, default 30]
#
# FUZZ_PRESET names the build: "fuzz" (the default, optimised) or "asan", the
# sanitizer build of the test suite, which has the fuzz targets as well and
# spares the test command a build of its own for them.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-${FUZZ_SECONDS:-30}}"
preset="${FUZZ_PRESET:-fuzz}"

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One target per core at a time: each libFuzzer run uses one.
parallel=$(nproc)
names=()
fuzz_one() {  # target name
  local target=$1 name=$2
  local seeds="tests/fuzz/corpus/${name#fuzz_}" corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build/$preset/$name-" "$corpus" >"$work/$name.log" 2>&1
  echo $? >"$work/$name.rc"
}
for target in "build/$preset/tests/fuzz/"fuzz_*; do
  [ -x "$target" ] && [ -f "$target" ] || continue
  name=$(basename "$target")
  names+=("$name")
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  fuzz_one "$target" "$name" &
done
wait
if [ ${#names[@]} -eq 0 ]; then
  echo "no fuzz targets were built" >&2
  exit 1
fi
failed=()
for name in "${names[@]}"; do
  echo "== $name for ${seconds}s"
  tail -n 8 "$work/$name.log"
  [ "$(cat "$work/$name.rc" 2>/dev/null)" = 0 ] || failed+=("$name")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets failed: ${failed[*]}" >&2
  exit 1
fi
