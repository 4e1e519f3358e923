#!/usr/bin/env bash
# The README's test command on a fresh machine: a minimal Debian 12 (debootstrap
# --variant=minbase) that holds nothing else, a clean clone of the checkout's HEAD (not the
# working tree) in /root/velmora, and scripts/test.sh run there as root, as a newcomer would.
#
# The bootstrapped base is cached (VELMORA_FRESH_CACHE, default as the Qt cache's): it is
# built under a .partial name, its marker written last, and only then renamed, so an
# interrupted bootstrap is never taken for a base. Every run starts from a new copy of the
# base; the packages apt downloads are kept beside it, so a warm run installs them without
# fetching (apt still installs each one). The archive is the machine's own Debian entry.
# Root only (debootstrap, chroot, mount). Prints the time of each step.
set -euo pipefail
cd "$(dirname "$0")/.."
checkout="$PWD"
log() { echo "fresh-check: $*" >&2; }
. scripts/windows-common.sh
suite=bookworm
[ "$(id -u)" -eq 0 ] || { log "needs root (debootstrap, chroot, mount)"; exit 1; }
missing=()
command -v debootstrap >/dev/null || missing+=(debootstrap)
command -v git >/dev/null || missing+=(git)
command -v unshare >/dev/null || missing+=(util-linux)
install_missing fresh-check "${missing[@]}"
start=$SECONDS

# The machine's own deb entries for the suite and its updates, as one-line entries:
#   URI SUITE COMPONENTS... [KEYRING]   (from deb822 .sources files and sources.list)
apt_entries() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no")
          for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
            print uris[i], suites[j], comps (key != "" ? " [" key "]" : "")
        types = ""; enabled = ""; comps = ""; key = ""; nu = 0; ns = 0
      }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[^ \t]/ {
        field = tolower($1); sub(/:$/, "", field); $1 = ""; sub(/^ +/, "")
        if (field == "types") types = $0
        else if (field == "enabled") enabled = tolower($0)
        else if (field == "uris") nu = split($0, uris, " ")
        else if (field == "suites") ns = split($0, suites, " ")
        else if (field == "components") comps = $0
        else if (field == "signed-by" && $0 ~ /^\//) key = $0
      }
      END { flush() }' "$f"
  done
  { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
    awk '$1 == "deb" {
      key = ""
      if ($2 ~ /^\[/) {
        while ($2 !~ /\]$/) { if ($2 ~ /signed-by=/) key = $2; $2 = ""; $0 = $0 }
        if ($2 ~ /signed-by=/) key = $2
        $2 = ""; $0 = $0
        sub(/.*signed-by=/, "", key); sub(/\].*/, "", key)
      }
      line = $2; for (i = 3; i <= NF; i++) line = line " " $i
      print line (key != "" ? " [" key "]" : "")
    }'
}
entries=$(apt_entries | awk -v s="$suite" '$2 == s || index($2, s "-") == 1' | sort -u)
mirror=$(awk -v s="$suite" '$2 == s { print $1; exit }' <<<"$entries")
[ -n "$mirror" ] || { log "no deb entry for $suite in the machine's apt sources"; exit 1; }

cache=$(velmora_cache_folder "${VELMORA_FRESH_CACHE:-}")
hash=$(printf '%s\n' "$suite" minbase "$mirror" | sha256sum | cut -c1-12)
base="$cache/fresh-$suite-$hash"
debs="$cache/fresh-$suite-debs"
marker="$base/velmora-base-complete"
mkdir -p "$cache" "$debs/partial"
exec 9>"$cache/.fresh-$suite.lock"
flock 9   # one fresh check at a time on this cache

if [ -f "$marker" ] && [ "$(cat "$marker")" = "$hash" ]; then
  log "using the cached $suite base"
else
  rm -rf "$base" "$base.partial"
  log "bootstrapping a minimal $suite from the machine's Debian archive"
  debootstrap --variant=minbase "$suite" "$base.partial" "$mirror" >"$cache/fresh-$suite.log" 2>&1 ||
    { tail -n 30 "$cache/fresh-$suite.log" >&2; exit 1; }
  echo "$hash" >"$base.partial/velmora-base-complete"
  mv "$base.partial" "$base"
  log "base bootstrapped in $((SECONDS - start)) s"
fi
base_done=$SECONDS

run=$(mktemp -d "$cache/fresh-run.XXXXXX")
root="$run/root"
# Whatever happens: the processes left in the chroot end, its mounts go, the copy goes.
cleanup() {
  local pid
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "$pid" 2>/dev/null
  done
  grep -F " $root/" /proc/self/mounts | cut -d' ' -f2 | sort -r |
    while read -r point; do umount -l "$point" 2>/dev/null || true; done
  if grep -qF " $root/" /proc/self/mounts; then
    log "mounts are left under $root"
  else
    rm -rf --one-file-system "$run"
  fi
}
trap cleanup EXIT

cp -a "$base" "$root"
rm -f "$root/velmora-base-complete"
# The machine's entries, with the keyrings they name.
: >"$root/etc/apt/sources.list"
while read -r uri entry_suite rest; do
  key=""
  case "$rest" in *" ["*"]") key=${rest##*[}; key=${key%]}; rest=${rest% [*} ;; esac
  if [ -n "$key" ]; then
    [ -f "$root$key" ] || { mkdir -p "$root$(dirname "$key")"; cp "$key" "$root$key"; }
    echo "deb [signed-by=$key] $uri $entry_suite $rest" >>"$root/etc/apt/sources.list"
  else
    echo "deb $uri $entry_suite $rest" >>"$root/etc/apt/sources.list"
  fi
done <<<"$entries"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

sha=$(git rev-parse HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  log "the working tree has changes that are not checked: only HEAD ($sha) is"
git clone --quiet --no-checkout "$checkout" "$root/root/velmora"
git -C "$root/root/velmora" checkout --quiet --detach "$sha"

# The mounts of a machine: /proc, /sys, a /dev of its own with the host's basic nodes (and
# /dev/fuse), pseudo-terminals, /dev/shm; the download cache over apt's archive folder.
mount -t proc proc "$root/proc"
mount -t sysfs -o ro sysfs "$root/sys"
mount -t tmpfs -o mode=755,nosuid tmpfs "$root/dev"
for node in null zero full random urandom tty fuse; do
  [ -e "/dev/$node" ] || continue
  touch "$root/dev/$node"
  mount --bind "/dev/$node" "$root/dev/$node"
done
mkdir -p "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
mount --bind "$debs" "$root/var/cache/apt/archives"

in_chroot() {
  env -i HOME=/root TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    chroot "$root" /bin/bash -c "cd /root/velmora && $1" </dev/null
}
log "running scripts/test.sh in a clean clone of $sha"
test_start=$SECONDS
rc=0
in_chroot scripts/test.sh || rc=$?
log "base $((base_done - start)) s, scripts/test.sh $((SECONDS - test_start)) s, total $((SECONDS - start)) s"
if [ "$rc" -ne 0 ]; then
  log "FAILED: scripts/test.sh exited with $rc on a fresh $suite"
  exit "$rc"
fi
log "scripts/test.sh passes on a fresh $suite"

# The other command: scripts/start.sh builds (nothing left to build) and its window with a
# simulated КАДО keeps running on a virtual screen.
rc=0
in_chroot 'timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
  scripts/start.sh --simulate >/tmp/start.log 2>&1 & app=\$!
  sleep 10
  kill -0 \$app || exit 3
  kill \$app; wait \$app; exit 0"' || rc=$?
if [ "$rc" -ne 0 ]; then
  tail -n 20 "$root/tmp/start.log" >&2 || true
  log "FAILED: scripts/start.sh --simulate did not keep its window running ($rc)"
  exit 1
fi
log "scripts/start.sh --simulate runs; done in $((SECONDS - start)) s"
