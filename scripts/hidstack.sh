#!/usr/bin/env bash
# Runs COMMAND beside a virtual КАДО on the real HID stack (docs/hidstack.md):
#   scripts/hidstack.sh [--kado OPTIONS] [--detached] [--private-tmp] [--build DIR] -- COMMAND ARGS...
#   scripts/hidstack.sh [--kado OPTIONS] [--detached] [--build DIR] --window FILE
# As root it makes a private mount namespace with its own sysfs entries for hidraw, its own
# /dev and the virtual КАДО (build/dev/tests/hidstack/velmora-virtual-kado) serving
# /dev/hidraw0. COMMAND gets VELMORA_HIDSTACK_CONTROL (the FIFO: echo unplug > "$_"),
# VELMORA_HIDSTACK_STATE, VELMORA_HIDSTACK_MEMORY, VELMORA_HIDSTACK_NODE and LD_PRELOAD.
# Where it cannot run it says why in one line and exits 77.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

skip() { echo "hidstack: skipped: $*"; exit 77; }

kado="" detached=0 privatetmp=0 window="" inside=0 announce=0
build="${VELMORA_BUILD:-$here/build/dev}"
while [ $# -gt 0 ]; do
  case "$1" in
    --kado) kado="$2"; shift 2 ;;
    --detached) detached=1; shift ;;
    --private-tmp) privatetmp=1; shift ;;
    --build) build="$2"; shift 2 ;;
    --window) window="$2"; shift 2 ;;
    --inside) inside=1; shift ;;
    --announce) announce=1; shift ;;
    --) shift; break ;;
    *) echo "hidstack: unknown option $1" >&2; exit 2 ;;
  esac
done
build="$(cd "$build" 2>/dev/null && pwd || echo "$build")"
program="$build/tests/hidstack/velmora-virtual-kado"
shim="$build/tests/hidstack/libvelmora-rdev-shim.so"
if [ -n "$window" ]; then
  command -v xvfb-run >/dev/null || skip "xvfb-run is not installed (package xvfb)"
  [ -x "$build/app/velmora" ] || skip "$build/app/velmora is not built"
  set -- xvfb-run -a -s "-screen 0 1024x768x24" env -u QT_QPA_PLATFORM "$build/app/velmora" "$window"
fi
[ $# -gt 0 ] || { echo "hidstack: no COMMAND after --" >&2; exit 2; }

if [ "$inside" -eq 0 ]; then
  [ "$(id -u)" -eq 0 ] || skip "needs root (mount namespace, FUSE, sysfs)"
  [ -c /dev/fuse ] || skip "no /dev/fuse"
  command -v unshare >/dev/null || skip "no unshare (util-linux)"
  [ -x "$program" ] && [ -f "$shim" ] || skip "$program is not built (libfuse3-dev, target velmora-virtual-kado)"
  unshare -m --propagation private true 2>/dev/null || skip "unshare -m is not allowed here"
  args=(--inside --build "$build")
  [ -n "$kado" ] && args+=(--kado "$kado")
  [ "$detached" -eq 1 ] && args+=(--detached)
  [ "$privatetmp" -eq 1 ] && args+=(--private-tmp)
  [ -n "$window" ] && args+=(--announce)
  exec unshare -m --propagation private "$0" "${args[@]}" -- "$@"
fi

# Inside the namespace: whatever is mounted here goes with it; the files are cleaned up.
if [ "$privatetmp" -eq 1 ]; then
  # Wine's socket folder (/tmp/.wine-UID) must be this namespace's own. Only that folder: the
  # rest of /tmp stays, since a checkout and its build may live there.
  sockets="/tmp/.wine-$(id -u)"
  mkdir -p "$sockets"
  mount -t tmpfs -o mode=700 velmora-wine "$sockets"
fi
state="$(mktemp -d /tmp/velmora-hidstack.XXXXXX)"
chmod 755 "$state"
kadopid=""
cleanup() {
  if [ -n "$kadopid" ]; then
    kill -TERM "$kadopid" 2>/dev/null || true
    wait "$kadopid" 2>/dev/null || true
  fi
  umount -l "$state/fuse" 2>/dev/null || true
  umount -l "$state/hostdev" 2>/dev/null || true
  rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# sysfs: the class folder of hidraw, and /sys/dev/char with the host's links plus ours.
mount -t tmpfs -o mode=755 velmora-hidraw /sys/class/hidraw
mapfile -t chars < <(cd /sys/dev/char && for l in *; do printf '%s\t%s\n' "$l" "$(readlink "$l")"; done)
mount -t tmpfs -o mode=755 velmora-char /sys/dev/char
for entry in "${chars[@]}"; do ln -s "${entry#*$'\t'}" "/sys/dev/char/${entry%%$'\t'*}"; done
# No udev daemon here: programs that look for its control socket must poll.
[ -d /run/udev ] && mount -t tmpfs -o mode=755 velmora-udev /run/udev

# /dev: a tmpfs of its own with the host's few nodes bound in.
mkdir "$state/hostdev"
mount --bind /dev "$state/hostdev"
mount -t tmpfs -o mode=755 velmora-dev /dev
for node in null zero full random urandom tty fuse ptmx; do
  [ -e "$state/hostdev/$node" ] || continue
  touch "/dev/$node"
  mount --bind "$state/hostdev/$node" "/dev/$node"
done
for folder in pts shm; do
  mkdir -p "/dev/$folder"
  [ -d "$state/hostdev/$folder" ] && mount --bind "$state/hostdev/$folder" "/dev/$folder"
done
chmod 1777 /dev/shm
ln -s /proc/self/fd /dev/fd
ln -s /proc/self/fd/0 /dev/stdin
ln -s /proc/self/fd/1 /dev/stdout
ln -s /proc/self/fd/2 /dev/stderr
umount -l "$state/hostdev"

devnum=245:0
options="$kado"
case "$options" in *save=*) ;; *) options="${options:+$options,}save=$state/memory.bin" ;; esac
kadoargs=(--state "$state" --options "$options" --devnum "$devnum")
[ "$detached" -eq 1 ] && kadoargs+=(--detached)
"$program" "${kadoargs[@]}" &
kadopid=$!
for _ in $(seq 100); do
  [ -f "$state/state" ] && break
  kill -0 "$kadopid" 2>/dev/null || { echo "hidstack: the virtual КАДО did not start" >&2; exit 1; }
  sleep 0.05
done
[ -f "$state/state" ] || { echo "hidstack: the virtual КАДО did not start" >&2; exit 1; }

export VELMORA_HIDSTACK_CONTROL="$state/control"
export VELMORA_HIDSTACK_STATE="$state/state"
export VELMORA_HIDSTACK_MEMORY="${options##*save=}"
export VELMORA_HIDSTACK_NODE=/dev/hidraw0
export VELMORA_HIDSTACK_FUSEFILE="$state/fuse/kado"
export VELMORA_HIDSTACK_RDEV="$devnum"
export LD_PRELOAD="$shim${LD_PRELOAD:+:$LD_PRELOAD}"
# libudev takes the tmpfs for sysfs only when told not to check.
export SYSTEMD_DEVICE_VERIFY_SYSFS=0
if [ "$announce" -eq 1 ]; then
  echo "hidstack: the window runs; from another shell: echo unplug > $VELMORA_HIDSTACK_CONTROL" >&2
fi
set +e
"$@"
status=$?
set -e
exit "$status"
