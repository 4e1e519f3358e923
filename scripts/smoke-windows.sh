#!/usr/bin/env bash
# What an operator does with the Windows installer, under Wine in a fresh prefix and a
# real X display (Xvfb), with the real "windows" platform of Qt:
#   1. the installer runs silently (/S) into Program Files and associates .mrp and .mrg;
#   2. the installed folder holds every DLL its programs import;
#   3. the installed velmora.exe opens a route list with a Cyrillic name given as its
#      argument (the title names it), and F9 writes it into a simulated КАДО: the device's
#      memory holds exactly the image velmora-cli.exe builds from the same file;
#   4. Ctrl+F4 closes the window, and the settings are in the registry under
#      "Informer Morvan", naming that file;
#   5. the uninstaller removes the program and the associations.
# usage: smoke-windows.sh BUILD   (the folder with velmora-*-win64-setup.exe)
set -euo pipefail
. "$(dirname "$0")/windows-common.sh"
without_address_randomization smoke-windows "$0" "$@"
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
setup=$(ls "$build"/velmora-*-win64-setup.exe | head -n 1)
work="$build/smoke"
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# As on an operator's machine: the installed folder's own DLLs and Qt's real platform, not
# what the test run around this one set up (its DLL path, the offscreen platform).
unset WINEPATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR
export LC_ALL=C.UTF-8   # Cyrillic arguments reach the program as UTF-16 through this
step() { echo "smoke-windows: $*"; }
fail() { echo "smoke-windows: FAILED: $*" >&2; exit 1; }
winpath() { echo "Z:$(tr / '\\' <<<"$1")"; }
trap 'timeout 30 wineserver -k >/dev/null 2>&1 || true' EXIT

(setsid wineserver -p </dev/null >/dev/null 2>&1 &)
timeout 300 wine wineboot </dev/null >/dev/null 2>&1 || fail "wineboot"
drive="$WINEPREFIX/drive_c"
installed="$drive/Program Files/Velmora"

step "installing $(basename "$setup") silently"
timeout 300 wine "$setup" /S </dev/null >/dev/null 2>&1 || fail "the installer ended with an error"
timeout 120 wineserver -w || true
[ -f "$installed/velmora.exe" ] || fail "velmora.exe is not in Program Files\\Velmora"
"$here/check-windows-folder.sh" "$installed" "$drive/windows/system32" >/dev/null ||
  fail "the installed folder lacks DLLs"
query() { timeout 60 wine reg query "$@" </dev/null 2>/dev/null | tr -d '\r'; }
query 'HKLM\Software\Classes\.mrp' /ve | grep -q Velmora.RouteList || fail ".mrp is not associated"
query 'HKLM\Software\Classes\.mrg' /ve | grep -q Velmora.RouteGroup || fail ".mrg is not associated"
query 'HKLM\Software\Classes\Velmora.RouteList\shell\open\command' /ve | grep -qi 'velmora.exe" "%1"' ||
  fail "the .mrp command does not start velmora.exe with the file"

# A route list as the program writes it (Windows-1251, CR LF), under a Cyrillic name.
routes="$work/Маршруты депо.mrp"
printf '// smoke\r\n12;Вокзал;Парк;\r\n5А;Рынок\\;ТЦ;Аэропорт;Через центр\r\n' |
  iconv -f UTF-8 -t CP1251 >"$routes"
timeout 60 wine "$installed/velmora-cli.exe" image "$(winpath "$routes")" -o "$(winpath "$work/expected.bin")" \
  </dev/null >/dev/null || fail "velmora-cli.exe could not build the image"

step "starting velmora.exe under Xvfb with the windows platform"
# Wine's desktop process takes the display it is started with: end the one that the
# installer ran under (no display) so that the window's own run starts it under Xvfb.
timeout 60 wineserver -k >/dev/null 2>&1 || true
export VELMORA_SMOKE_ROUTES="$routes" VELMORA_SMOKE_WORK="$work" VELMORA_SMOKE_EXE="$installed/velmora.exe"
timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  wine "$VELMORA_SMOKE_EXE" "--simulate=save=Z:$(tr / "\\\\" <<<"$VELMORA_SMOKE_WORK/kado.bin")" \
    "Z:$(tr / "\\\\" <<<"$VELMORA_SMOKE_ROUTES")" </dev/null >"$VELMORA_SMOKE_WORK/velmora.log" 2>&1 &
  program=$!
  window=$(timeout 120 xdotool search --sync --name "^Velmora v1\.05 " | head -n 1) || true
  [ -n "$window" ] || { echo "no main window within 120 s" >&2; exit 1; }
  xdotool getwindowname "$window" >"$VELMORA_SMOKE_WORK/title.txt"
  # F9 does nothing until the first activation has found the simulated КАДО: ask again
  # until the device holds something.
  for _ in $(seq 30); do
    xdotool windowfocus --sync "$window"
    xdotool key F9
    sleep 2
    [ -s "$VELMORA_SMOKE_WORK/kado.bin" ] && break
  done
  if command -v import >/dev/null; then import -window root "$VELMORA_SMOKE_WORK/window.png" || true; fi
  xdotool windowfocus --sync "$window"
  xdotool key ctrl+F4
  for _ in $(seq 60); do kill -0 "$program" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$program" 2>/dev/null; then echo "the window did not close on Ctrl+F4" >&2; exit 1; fi
  timeout 60 wineserver -w || true
' || fail "the window run (see $work/velmora.log)"

grep -qF "Velmora v1.05 Маршруты депо.mrp" "$work/title.txt" ||
  fail "the title is '$(cat "$work/title.txt")', not the route list's name"
[ -s "$work/kado.bin" ] || fail "F9 wrote nothing into the simulated КАДО"
size=$(stat -c %s "$work/expected.bin")
cmp -n "$size" "$work/expected.bin" "$work/kado.bin" || fail "the КАДО holds other bytes than the route image"
step "F9 wrote the $size-byte route image"

# The program has always been 32-bit: its machine-wide key lies in the registry's 32-bit view.
timeout 60 wine reg export 'HKLM\Software\Informer Morvan' "$(winpath "$work/settings.reg")" /reg:32 </dev/null >/dev/null 2>&1 ||
  fail "no settings key HKLM\\Software\\Informer Morvan"
iconv -f UTF-16 -t UTF-8 "$work/settings.reg" | tr -d '\r' >"$work/settings.txt"
grep -qF '"LastFileBrel"="Z:\\' "$work/settings.txt" && grep -qF 'Маршруты депо.mrp"' "$work/settings.txt" ||
  fail "LastFileBrel does not name the route list: $(grep LastFileBrel "$work/settings.txt")"
grep -q '"LastDateTime"=hex:' "$work/settings.txt" || fail "no LastDateTime"
step "the settings are in HKLM\\Software\\Informer Morvan"

step "uninstalling"
timeout 120 wine "$installed/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the uninstaller ended with an error"
timeout 120 wineserver -w || true
[ ! -e "$installed/velmora.exe" ] || fail "velmora.exe is still there after the uninstall"
if query 'HKLM\Software\Classes\.mrp' /ve | grep -q Velmora.RouteList; then fail ".mrp still names Velmora"; fi
step "passed"
