#!/usr/bin/env bash
# The Windows programs against the virtual КАДО through Wine's own HID stack (winebus,
# hidclass, hid.dll and SetupAPI), inside scripts/hidstack.sh with a Wine socket folder of its own and so
# a fresh Wine prefix and wineserver:
#   1. the window's table of cases (tests/hidstack), built for Windows, with Qt's "windows"
#      platform under Xvfb: arrivals and removals come as WM_DEVICECHANGE;
#   2. velmora-cli.exe through the CLI table of cases (tests/hidstack/cli_table.sh).
# The virtual КАДО is the Linux build's (VELMORA_BUILD, default build/dev; built here when
# missing). Every Wine call is bounded by a timeout. Exits 77 with one line where the harness
# cannot run.
# usage: scripts/ci-hidstack-windows.sh MINGW-BUILD
set -euo pipefail
. "$(dirname "$0")/windows-common.sh"
without_address_randomization ci-hidstack-windows "$0" "$@"
here="$(cd "$(dirname "$0")/.." && pwd)"

# --cli EXE ARGS: velmora-cli.exe as the CLI table runs it. Wine takes about a second to
# follow a plug, an unplug or a restart; a device command waits until Wine lists what the
# virtual КАДО now is (at most 10 s), so the case meets the device it set up.
if [ "${1:-}" = --cli ]; then
  exe="$2"
  shift 2
  seen="$VELMORA_HIDSTACK_STATE.wine"
  now="$(sed -n 's/^commands=//p' "$VELMORA_HIDSTACK_STATE")"
  case "${1:-}" in
    devices | transfer | flash)
      if [ "$now" != "$(cat "$seen" 2>/dev/null)" ]; then
        plugged="$(sed -n 's/^plugged=//p' "$VELMORA_HIDSTACK_STATE")"
        identity="$(sed -n 's/^identity=//p' "$VELMORA_HIDSTACK_STATE")"
        want='"devices": \[\]'
        [ "$plugged" = 1 ] && want="\"mode\": \"$identity\""
        sleep 1
        for _ in $(seq 36); do
          timeout 30 wine "$exe" devices </dev/null 2>/dev/null | grep -q "$want" && break
          sleep 0.25
        done
        echo "$now" >"$seen"
      fi
      ;;
  esac
  exec timeout 120 wine "$exe" "$@"
fi

if [ "${1:-}" != --inside ]; then
  build="$(cd "${1:?usage: ci-hidstack-windows.sh MINGW-BUILD}" && pwd)"
  for program in cli/velmora-cli.exe tests/hidstack/test_hidstack_window.exe; do
    [ -f "$build/$program" ] || { echo "hidstack: skipped: $build/$program is not built (--with-tests)"; exit 77; }
  done
  command -v xvfb-run >/dev/null || { echo "hidstack: skipped: xvfb-run is not installed (package xvfb)"; exit 77; }
  linux="${VELMORA_BUILD:-$here/build/dev}"
  if [ ! -x "$linux/tests/hidstack/velmora-virtual-kado" ]; then
    [ -f "$linux/CMakeCache.txt" ] || cmake --preset dev -B "$linux" -S "$here" >/dev/null
    cmake --build "$linux" --target velmora-virtual-kado velmora-rdev-shim >/dev/null || true
  fi
  qt="$("$here/scripts/qt-mingw.sh" --print-prefix)"
  runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
  export VELMORA_HIDSTACK_QT="$qt" VELMORA_HIDSTACK_RUNTIME="$runtime"
  exec "$here/scripts/hidstack.sh" --private-tmp --build "$linux" -- \
    "$here/scripts/ci-hidstack-windows.sh" --inside "$build"
fi

# Inside the harness's namespace.
build="$2"
start=$SECONDS
export VELMORA_HIDSTACK_QT VELMORA_HIDSTACK_RUNTIME
# The st_rdev shim is for Linux programs; Wine opens the node through its own bus.
unset LD_PRELOAD
# A fresh prefix in the harness's own folder, which goes with it.
export WINEPREFIX="$(dirname "$VELMORA_HIDSTACK_STATE")/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
winpath() { echo "Z:$(tr / '\\' <<<"$1")"; }
export WINEPATH="$(winpath "$VELMORA_HIDSTACK_QT/bin");$(winpath "$VELMORA_HIDSTACK_RUNTIME");$(winpath /usr/x86_64-w64-mingw32/lib)"
export LC_ALL=C.UTF-8
unset WINEQT_QPA_FONTDIR
log() { echo "ci-hidstack-windows: $*"; }

# The prefix and winebus's settings, before a wineserver of this namespace starts for the
# cases (libudev's sysfs check is off in the harness's environment already): the udev bus
# reads the fake sysfs and watches /dev itself; the SDL bus would hide it.
timeout 30 wineserver -k >/dev/null 2>&1 || true
(setsid wineserver -p </dev/null >/dev/null 2>&1 &)
timeout 120 wine wineboot </dev/null >/dev/null 2>&1 || { log "wineboot failed"; exit 1; }
key='HKLM\System\CurrentControlSet\Services\winebus'
timeout 60 wine reg add "$key" /v DisableUdevd /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1 &&
  timeout 60 wine reg add "$key" /v "Enable SDL" /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 ||
  { log "the winebus settings were not written"; exit 1; }
timeout 60 wineserver -k >/dev/null 2>&1 || true
timeout 60 wineserver -w >/dev/null 2>&1 || true
log "a fresh prefix in $((SECONDS - start)) s"

status=0
# Wine's desktop takes the display its wineserver first sees: the window's run starts it.
export WINEQT_QPA_PLATFORM=windows
# shellcheck disable=SC2016
# Wine's hidraw bus names the product by the kernel's device name; the program meets the
# device by its interface path, never by the node.
timeout 300 env -u VELMORA_HIDSTACK_NODE VELMORA_HIDSTACK_PRODUCT="Morvan КАДО-08" VELMORA_HIDSTACK_EVERY_RESTART=1 \
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  (setsid wineserver -p </dev/null >/dev/null 2>&1 &)
  # Wine starts its bus with the wineserver: the cases begin once it lists the КАДО, not
  # while its first enumeration and its watch of /dev are still being set up.
  for _ in $(seq 40); do
    timeout 30 wine "$2" devices </dev/null 2>/dev/null | grep -qi "vid_16c0" && break
    sleep 0.25
  done
  timeout 240 wine "$1" </dev/null
  code=$?
  timeout 60 wineserver -k >/dev/null 2>&1
  exit $code
' window "$build/tests/hidstack/test_hidstack_window.exe" "$build/cli/velmora-cli.exe" || status=1
log "window cases done at $((SECONDS - start)) s"

# The CLI table, the КАДО back in its state of the start.
for command in options "mode 666" normal plug; do echo "$command" >"$VELMORA_HIDSTACK_CONTROL"; done
(setsid wineserver -p </dev/null >/dev/null 2>&1 &)
VELMORA_HIDSTACK_CLI="$here/scripts/ci-hidstack-windows.sh --cli $build/cli/velmora-cli.exe" \
VELMORA_HIDSTACK_CLI_PATH='\\\\?\\hid#vid_16c0&pid_05df&mi_00#' \
VELMORA_HIDSTACK_CLI_MAKER=hidraw VELMORA_HIDSTACK_CLI_PRODUCT="Morvan КАДО-08" \
VELMORA_HIDSTACK_SKIP="unopenable-node:Wine's bus opens the node as the wineserver's user, and one prefix serves one user;\
unopenable-write:as unopenable-node;\
held-by-another:Wine lets a second open through while one without sharing is open (Windows refuses it)" \
  timeout 300 bash "$here/tests/hidstack/cli_table.sh" || status=1
timeout 60 wineserver -k >/dev/null 2>&1 || true
log "CLI cases done at $((SECONDS - start)) s"
exit "$status"
