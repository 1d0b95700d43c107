#!/usr/bin/env bash
# Checks that a folder of Windows binaries runs on a PC that has only Windows:
# every DLL that any program or DLL in it imports is either in the folder (or
# a subfolder) or one of Windows' own DLLs. Prints each file's imports.
set -euo pipefail
folder=$1

# The DLLs of Windows itself (Windows 10 and 11), as the program and Qt use them.
windows_dlls="advapi32 bcrypt cfgmgr32 comctl32 comdlg32 crypt32 d2d1 d3d11 d3d9 dbghelp dnsapi dwmapi
dwrite dxgi gdi32 imm32 iphlpapi kernel32 mpr msvcrt ncrypt netapi32 ole32 oleaut32 rpcrt4 secur32
setupapi shell32 shcore shlwapi user32 userenv uxtheme version winmm wlanapi ws2_32 wtsapi32 authz
combase winhttp wininet normaliz"

declare -A have=()
while IFS= read -r -d '' f; do
  name=$(basename "$f")
  have[${name,,}]=1
done < <(find "$folder" -type f -iname '*.dll' -print0)

status=0
while IFS= read -r -d '' f; do
  imports=$(x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p')
  echo "${f#"$folder"/}: $(echo $imports)"
  for dll in $imports; do
    lower=${dll,,}
    base=${lower%.dll}
    [ -n "${have[$lower]:-}" ] && continue
    [[ " $(echo $windows_dlls) " == *" $base "* ]] && continue
    [[ $base == api-ms-win-* ]] && continue
    echo "  $dll is neither in the package nor a DLL of Windows" >&2
    status=1
  done
done < <(find "$folder" -type f \( -iname '*.dll' -o -iname '*.exe' \) -print0 | sort -z)
exit $status
