#!/usr/bin/env bash
# Checks a Windows program folder (the unpacked zip, or the installed folder):
#   - the files an operator needs are there (the programs, the Qt platform and style
#     plug-ins, the README and the licence texts);
#   - every DLL that an .exe or .dll of the folder imports lies in the folder itself or is
#     one of Windows' own (found in SYSTEM32, a Wine prefix's windows/system32, or an API
#     set such as api-ms-win-core-synch-l1-2-0.dll);
#   - every DLL in the folder is imported by something there: nothing ships that is not used.
# usage: check-windows-folder.sh FOLDER SYSTEM32
set -euo pipefail
folder="$1"
system32="$2"
objdump="${OBJDUMP:-x86_64-w64-mingw32-objdump}"
failed=0
fail() { echo "check-windows-folder: $*" >&2; failed=1; }

for f in velmora.exe velmora-cli.exe platforms/qwindows.dll styles/qwindowsvistastyle.dll \
         README.md LICENSE.txt licenses/README.txt licenses/Qt6-copyright.txt \
         licenses/LGPL-3.txt licenses/GPL-3.txt licenses/GCC-runtime-copyright.txt \
         licenses/MinGW-w64-copyright.txt; do
  [ -f "$folder/$f" ] || fail "$f is missing"
done

lower() { tr '[:upper:]' '[:lower:]'; }
# DLLs of the folder's own top level, and of Windows, in small letters.
own=$(find "$folder" -maxdepth 1 -iname '*.dll' -printf '%f\n' | lower | sort -u)
windows=$(find "$system32" -maxdepth 1 -iname '*.dll' -printf '%f\n' | lower | sort -u)
used=""
while IFS= read -r -d '' binary; do
  imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | lower | sort -u)
  [ -n "$imports" ] || fail "${binary#"$folder"/} imports nothing: not a Windows program?"
  for dll in $imports; do
    if grep -qxF "$dll" <<<"$own"; then
      used+="$dll"$'\n'
    elif [[ "$dll" == api-ms-win-* || "$dll" == ext-ms-win-* ]]; then
      :   # an API set: a contract of Windows 7 and later that the loader resolves, no file
    elif ! grep -qxF "$dll" <<<"$windows"; then
      fail "${binary#"$folder"/} needs $dll, which is neither in the folder nor in Windows"
    fi
  done
  echo "${binary#"$folder"/}: $(tr '\n' ' ' <<<"$imports")"
done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \) ! -iname 'uninstall.exe' -print0)

for dll in $own; do
  grep -qxF "$dll" <<<"$used" || fail "$dll is in the folder but nothing imports it"
done
[ "$failed" -eq 0 ] && echo "check-windows-folder: $(wc -l <<<"$own") DLLs, each needed and each there"
exit "$failed"
