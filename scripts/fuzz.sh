#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz", clang, libFuzzer) and runs each for a
# fixed time on its seed corpus, tests/fuzz/corpus/<target name without
# "fuzz_">. New inputs go to a scratch folder, never into the repository. A
# crash, a failed check or a leak fails the run.
#
#   scripts/fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-${FUZZ_SECONDS:-30}}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
found=0
for target in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] && [ -f "$target" ] || continue
  found=1
  name=$(basename "$target")
  seeds="tests/fuzz/corpus/${name#fuzz_}"
  corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/$name-" "$corpus" 2>&1 | tail -n 8
  test "${PIPESTATUS[0]}" -eq 0
done
if [ "$found" -eq 0 ]; then
  echo "no fuzz targets were built" >&2
  exit 1
fi
