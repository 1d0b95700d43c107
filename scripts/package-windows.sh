#!/usr/bin/env bash
# Builds what is missing and writes build/dist/Zentavo-win64.zip: the Windows
# program with everything a PC that has only Windows needs beside it. Then
# checks every DLL and program in it: each DLL it imports is either in the
# package or a DLL of Windows itself.
set -euo pipefail
cd "$(dirname "$0")/.."

triple=x86_64-w64-mingw32
if [ -z "${LUMARI_WINDOWS_DEPS:-}" ]; then
  LUMARI_WINDOWS_DEPS=$(bash scripts/windows-deps.sh | tail -1)
fi
export LUMARI_WINDOWS_DEPS

# The tools the cross build runs, built for this machine.
if [ ! -f build/default/build.ninja ]; then
  cmake --preset default >/dev/null
fi
cmake --build build/default --target MacTableGen zentavo_svg2png

cmake --preset mingw >/dev/null
cmake --build --preset mingw --target Zentavo Pellion Sorvane

qt=$(ls -d "$LUMARI_WINDOWS_DEPS"/qt-* | sort | tail -1)
gcc_dir=$(dirname "$($triple-g++-posix -print-libgcc-file-name)")
stage=build/dist/Zentavo-win64
rm -rf "$stage" build/dist/Zentavo-win64.zip
mkdir -p "$stage/platforms" "$stage/styles" "$stage/tls" "$stage/translations"

cp build/mingw/app/Zentavo.exe build/mingw/pellion/Pellion.dll build/mingw/sorvane/Sorvane.dll \
  build/mingw/mac.dat "$stage/"
for m in Core Gui Widgets Network; do cp "$qt/bin/Qt6$m.dll" "$stage/"; done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# TLS for the program's https request (the customer-service site), through
# Windows' own Schannel.
cp "$qt/plugins/tls/qschannelbackend.dll" "$stage/tls/"
cp build/mingw/app/qt_zh_CN.qm "$stage/translations/"
# One C++ runtime for the program and Qt: the MinGW runtime DLLs.
cp "$gcc_dir/libstdc++-6.dll" "$gcc_dir/libgcc_s_seh-1.dll" "/usr/$triple/lib/libwinpthread-1.dll" "$stage/"
$triple-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll

bash scripts/check-windows-imports.sh "$stage"

(cd build/dist && rm -f Zentavo-win64.zip && python3 - <<'EOF'
import os, zipfile
with zipfile.ZipFile("Zentavo-win64.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for root, _, files in os.walk("Zentavo-win64"):
        for f in sorted(files):
            z.write(os.path.join(root, f))
EOF
)
echo "written: build/dist/Zentavo-win64.zip ($(du -h build/dist/Zentavo-win64.zip | cut -f1))"
