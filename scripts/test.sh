#!/usr/bin/env bash
# Runs the whole test suite: the normal build, the Debian packages built and
# checked (scripts/test-debian.sh), the same suite under
# AddressSanitizer+UBSan and under ThreadSanitizer, the fuzz targets for a short
# fixed time, and the Windows program (scripts/test-windows.sh): built with its
# cross-built libraries, packaged, its tests and a smoke run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each stage's header says how long the run has taken so far.
stage() { echo "== $* (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"; }

# The packages the Windows program's libraries are built with come first: their
# build starts in the background (below) as soon as they are there.
bash scripts/windows-deps.sh --host-tools

# The Windows program's third-party libraries (Qt above all: close to an hour
# of CPU on a machine that has never built them) start building now, in the
# background at idle priority, so that they take only the CPU the rest leaves
# unused: the installation of the other packages, and the Linux stages' test
# runs, configure steps, links and packaging. The Windows stage waits for what
# is left. With the libraries cached this ends at once.
mkdir -p build
deps_log=build/windows-deps.log
idle=(nice -n 19)
command -v chrt >/dev/null && idle=(chrt --idle 0 "${idle[@]}")
# Its own process group, so that a failing stage stops the whole build with
# it; not its own session, which the kernel would schedule as a group of its
# own, with an equal share of the CPU whatever its priority.
set -m
"${idle[@]}" bash scripts/windows-deps.sh >"$deps_log" 2>&1 </dev/null &
deps_pid=$!
set +m
trap 'kill -- -"$deps_pid" 2>/dev/null || true' EXIT

# The rest of the packages, installed while that build runs.
bash scripts/setup.sh --packages-only

# Every build goes through ccache (installed by setup.sh), with paths taken
# relative to the clone, so a run in a fresh clone finds what an earlier run
# compiled in the cache outside it.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
fi

stage "normal build"
cmake --preset default
cmake --build --preset default

stage "tests (normal build)"
ctest --preset default

# --- Debian packages (kept in scripts/test-debian.sh) ---
stage "Debian packages: build, lintian, desktop entry, metadata, unpacked install"
bash scripts/test-debian.sh
# --- end of the Debian packages ---

stage "tests under AddressSanitizer + UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

stage "tests under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan

if [ -x scripts/fuzz.sh ] || [ -f scripts/fuzz.sh ]; then
  stage "fuzz targets"
  # Built with the sanitizer build above (clang, with libFuzzer's coverage).
  FUZZ_PRESET=asan bash scripts/fuzz.sh
fi

# --- Windows (kept in scripts/test-windows.sh) ---
stage "Windows program"
# The 32-bit build (the platform and the two DLLs) needs none of those
# libraries: it runs while they finish and takes the CPU their build leaves
# idle in its configure steps and links. test-windows.sh finds it done.
echo "== Windows: the platform and the two DLLs for 32-bit Windows, while the libraries finish"
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32
waited=$SECONDS
if ! wait "$deps_pid"; then
  cat "$deps_log" >&2
  echo "the Windows program's libraries failed to build (above)" >&2
  exit 1
fi
grep '^windows-deps: ' "$deps_log" || true
echo "waited $((SECONDS - waited)) s for them; their build log: $deps_log"
bash scripts/test-windows.sh
# --- end of Windows ---

stage "all suites passed"
