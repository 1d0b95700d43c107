#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer) and runs each for a short fixed
# time on its seed corpus. A crash, a failed check or a leak fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-30}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds="tests/fuzz/corpus/${name#fuzz_}"
  corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$corpus" 2>&1 | tail -n 12
  test "${PIPESTATUS[0]}" -eq 0
done
