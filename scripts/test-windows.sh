#!/usr/bin/env bash
# The Windows part of the test command: the third-party libraries cross-built
# (cached), the Windows program, its DLLs and test programs for 64-bit Windows,
# the platform and the two DLLs for 32-bit Windows, the package with its
# import check, the test programs under Wine (their reports read, since Wine
# exits 0 when a program crashes) and a smoke run of the packaged program.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== Windows: third-party libraries (cross-built once, then cached)"
LUMARI_WINDOWS_DEPS=$(bash scripts/windows-deps.sh | tail -1)
export LUMARI_WINDOWS_DEPS

echo "== Windows: the program and its tests (MinGW-w64, 64-bit), the platform and DLLs (32-bit)"
cmake --build build/default --target MacTableGen zentavo_svg2png
cmake --preset mingw >/dev/null
cmake --build --preset mingw
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32

echo "== Windows: libraries other programs load, and the test programs, carry their runtime"
for binary in build/mingw/pellion/Pellion.dll build/mingw/sorvane/Sorvane.dll \
  build/mingw32/pellion/Pellion.dll build/mingw32/sorvane/Sorvane.dll \
  build/mingw/tests/windows/windows_tests.exe build/mingw/tests/windows/windows_engine_tests.exe; do
  imports=$(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
  if grep -Eiq 'libstdc\+\+|libgcc|libwinpthread' <<<"$imports"; then
    echo "$binary needs the MinGW runtime beside it:" $imports >&2
    exit 1
  fi
  echo "$binary:" $imports
done

echo "== Windows: the package and its import check"
bash scripts/package-windows.sh

export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
/usr/lib/wine/wineserver64 -p </dev/null >/dev/null 2>&1 || true
$wine wineboot </dev/null >/dev/null 2>&1 || true
trap '/usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true' EXIT

# Runs a test program under Wine from its folder; only a report that names no
# failure counts, and a hang fails within five minutes. Prints the count. The
# report's path is absolute on the drive Wine maps to the root (Z:).
run_under_wine() {  # program report [gtest arguments...]
  local program=$1 report=$2
  shift 2
  local attempt
  for attempt in 1 2; do
    rm -f "$report"
    (cd "$(dirname "$program")" && timeout -k 10 300 $wine "./$(basename "$program")" \
      --gtest_output="xml:Z:$report" "$@" </dev/null) >"$report.log" 2>&1 || true
    # A program that printed nothing at all never reached its main (Wine
    # now and then fails a start that way): that start is made once more.
    # Anything it printed counts as its run.
    [ -s "$report.log" ] || [ -f "$report" ] || { echo "Wine started nothing for $* (attempt $attempt)" >&2; continue; }
    break
  done
  local summary
  summary=$(grep -o '<testsuites tests="[0-9]*" failures="[0-9]*" disabled="[0-9]*" errors="[0-9]*"' \
    "$report" 2>/dev/null || true)
  if [[ -z "$summary" || "$summary" != *'failures="0"'* || "$summary" != *'errors="0"'* ]]; then
    grep -E '^\[  FAILED|Failure|Unhandled' "$report.log" | head -20 >&2 || true
    echo "$(basename "$program") $* did not finish cleanly under Wine (${summary:-no report}); log: $report.log" >&2
    tail -n 30 "$report.log" >&2
    return 1
  fi
  sed 's/.*tests="\([0-9]*\)".*/\1/' <<<"$summary"
}

echo "== Windows: portable tests and the Windows backend under Wine, in the Simplified Chinese code page (936)"
# Wine takes the system code page from the locale, and the names of files on
# the Linux side from its character set: zh_CN.UTF-8 gives Windows' 936 with
# UTF-8 file names. localedef makes the locale when the system lacks it.
locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' || localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
portable=$(LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 \
  run_under_wine build/mingw/tests/windows/windows_tests.exe "$PWD/build/windows_tests.xml")

echo "== Windows: the engine's tests on the simulated PC under Wine, one process per suite"
# The suites in tests/windows/engine-suites-left-out.txt are left out (see
# there and README.md); they run on Linux.
engine_program=build/mingw/tests/windows/windows_engine_tests.exe
left_out=$(grep -v '^#' tests/windows/engine-suites-left-out.txt | sed '/^$/d' || true)
engine=0
suites=0
for suite in $( (cd "$(dirname "$engine_program")" && timeout 120 $wine ./windows_engine_tests.exe \
  --gtest_list_tests </dev/null 2>/dev/null) | tr -d '\r' | sed -n 's/^\([A-Za-z0-9_/]*\)\.$/\1/p'); do
  if grep -qx "$suite" <<<"$left_out"; then
    echo "left out under Wine: $suite"
    continue
  fi
  n=$(run_under_wine "$engine_program" "$PWD/build/windows_engine_tests.xml" --gtest_filter="$suite.*")
  engine=$((engine + n))
  suites=$((suites + 1))
done
[ "$suites" -gt 0 ] || { echo "no engine test suite ran under Wine" >&2; exit 1; }

echo "== Windows: the window's tests on the simulated PC under Wine (Qt's offscreen platform)"
# Beside the program: the Qt DLLs the Windows program ships and Qt Test, the
# MinGW runtime, the offscreen platform plugin, the TLS plugin, and the fonts the Linux run
# finds through fontconfig (Qt's own font reader looks in lib/fonts).
app_program=build/mingw/tests/windows/windows_app_tests.exe
app_dir=$(dirname "$app_program")
qt=$(ls -d "$LUMARI_WINDOWS_DEPS"/qt-* | sort | tail -1)
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
mkdir -p "$app_dir/platforms" "$app_dir/tls" "$app_dir/lib/fonts"
for m in Core Gui Widgets Network Test; do cp -u "$qt/bin/Qt6$m.dll" "$app_dir/"; done
cp -u "$qt/plugins/platforms/qoffscreen.dll" "$app_dir/platforms/"
cp -u "$qt/plugins/tls/qschannelbackend.dll" "$app_dir/tls/"
cp -u "$gcc_dir/libstdc++-6.dll" "$gcc_dir/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$app_dir/"
cp -u /usr/share/fonts/truetype/wqy/wqy-microhei.ttc /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$app_dir/lib/fonts/"
# Each class writes its own report; a class counts only with a finished
# report that names no failure (Wine exits 0 on a crash).
reports=$PWD/build/windows_app_tests
rm -rf "$reports"
mkdir -p "$reports"
(cd "$app_dir" && LUMARI_APP_TEST_REPORTS="Z:$reports" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 \
  timeout -k 10 900 $wine ./windows_app_tests.exe </dev/null) >"$reports/run.log" 2>&1 || true
app=0
classes=0
[ -s "$reports/classes.txt" ] || { echo "the window's tests did not start under Wine; log: $reports/run.log" >&2; exit 1; }
for class in $(tr -d '\r' <"$reports/classes.txt"); do
  report=$reports/$class.txt
  totals=$(grep -a '^Totals: ' "$report" 2>/dev/null || true)
  if ! grep -aq "^\*\*\*\*\*\*\*\*\* Finished testing of $class " "$report" 2>/dev/null ||
    [[ "$totals" != *" 0 failed,"* ]]; then
    grep -a -A3 '^FAIL\|^QFATAL' "$report" 2>/dev/null | head -20 >&2 || true
    echo "$class did not finish cleanly under Wine (${totals:-no report}); log: $reports/run.log" >&2
    exit 1
  fi
  app=$((app + $(sed 's/^Totals: \([0-9]*\) passed.*/\1/' <<<"$totals")))
  classes=$((classes + 1))
done
echo "Windows test programs under Wine: $((portable + engine + app)) tests passed, $engine of them engine tests ($suites suites), $app window tests ($classes classes)"

echo "== Windows: smoke run of the packaged program under Wine and Xvfb"
/usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
bash scripts/windows-smoke.sh
