#!/bin/sh
# Builds the libFuzzer targets (preset "fuzz", clang) and runs each of them for
# a fixed time, starting from its seed corpus in tests/fuzz/corpus/<name>, where
# <name> is the target's name without "Fuzz" and "Message", in lower case
# (FuzzDhcpMessage -> dhcp). New inputs go to build/fuzz/corpus/, never into
# the repository. Fails when a target crashes or a check in it aborts.
#
#   scripts/fuzz.sh [seconds per target, default 30]
set -eu

cd "$(dirname "$0")/.."
seconds="${1:-${FUZZ_SECONDS:-30}}"

cmake --preset fuzz
cmake --build --preset fuzz

status=0
found=0
for target in build/fuzz/tests/fuzz/Fuzz*; do
    [ -x "$target" ] && [ -f "$target" ] || continue
    found=1
    name=$(basename "$target")
    seeds=tests/fuzz/corpus/$(echo "$name" | sed 's/^Fuzz//; s/Message$//' | tr 'A-Z' 'a-z')
    work=build/fuzz/corpus/$name
    mkdir -p "$work"
    echo "== $name for ${seconds}s (seeds: $seeds)"
    if [ -d "$seeds" ]; then
        "$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="build/fuzz/$name-" "$work" "$seeds" || status=1
    else
        "$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="build/fuzz/$name-" "$work" || status=1
    fi
done
if [ "$found" -eq 0 ]; then
    echo "no fuzz targets were built" >&2
    exit 1
fi
exit "$status"
