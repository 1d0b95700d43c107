#!/usr/bin/env bash
# Runs the whole test suite: the normal build, the Debian packages built and
# checked (scripts/test-debian.sh), the same suite under
# AddressSanitizer+UBSan and under ThreadSanitizer, the fuzz targets for a short
# fixed time, the Windows backend's cross build and the portable tests run as
# a Windows program under Wine (its report checked, since Wine exits 0 on a crash).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

echo "== tests (normal build)"
ctest --preset default

# --- Debian packages (kept in scripts/test-debian.sh) ---
echo "== Debian packages: build, lintian, desktop entry, metadata, unpacked install"
bash scripts/test-debian.sh
# --- end of the Debian packages ---

echo "== tests under AddressSanitizer + UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

echo "== tests under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan

if [ -x scripts/fuzz.sh ] || [ -f scripts/fuzz.sh ]; then
  echo "== fuzz targets"
  bash scripts/fuzz.sh
fi

echo "== Windows backend (MinGW-w64 cross builds, 64-bit and 32-bit)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32

echo "== Windows binaries import only what Windows has"
for binary in build/mingw/pellion/Pellion.dll build/mingw/sorvane/Sorvane.dll \
  build/mingw32/pellion/Pellion.dll build/mingw32/sorvane/Sorvane.dll \
  build/mingw/tests/windows/windows_tests.exe; do
  imports=$(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
  if grep -Eiq 'libstdc\+\+|libgcc|libwinpthread' <<<"$imports"; then
    echo "$binary needs the MinGW runtime beside it:" $imports >&2
    exit 1
  fi
  echo "$binary:" $imports
done

echo "== portable tests as a Windows program under Wine (text forms, UDP socket, the DHCP server: handler, lease table, exports on the simulated PC, Winsock server on loopback ports 67/68)"
# Wine's exit code does not tell a crash from a pass: the run counts only when
# it ends within ten minutes (a hang fails, not the CI's clock), and only when
# GoogleTest wrote its report at the end and the report names no failure.
rm -f build/windows_tests.xml
WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all timeout 600 \
  /usr/lib/wine/wine64 build/mingw/tests/windows/windows_tests.exe \
  --gtest_output=xml:build/windows_tests.xml
summary=$(grep -o '<testsuites tests="[0-9]*" failures="[0-9]*" disabled="[0-9]*" errors="[0-9]*"' \
  build/windows_tests.xml 2>/dev/null || true)
if [[ -z "$summary" || "$summary" != *'failures="0"'* || "$summary" != *'errors="0"'* ]]; then
  echo "the Windows test program did not finish cleanly under Wine (${summary:-no report})" >&2
  exit 1
fi
echo "Windows test program under Wine: $summary"

echo "== all suites passed"
