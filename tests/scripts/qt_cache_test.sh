#!/usr/bin/env bash
# The Windows Qt cache is used only when it is whole: an interrupted build (a folder
# without its marker, a marker of other options, a folder still under its .partial name)
# is never taken for a complete one, and a complete one is used without building.
set -euo pipefail
script="$1/scripts/qt-mingw.sh"
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT
export VELMORA_QT_CACHE="$cache"
prefix=$("$script" --print-prefix)
hash=${prefix##*-}
failed=0
expect() {   # expect 0|1 WHAT: what --check must answer in the state just made
  local rc=0
  "$script" --check || rc=$?
  if [ "$rc" -ne "$1" ]; then echo "FAIL: $2: --check gave $rc, not $1"; failed=1; fi
}
case "$prefix" in "$cache"/qt-*-mingw-*) ;; *) echo "FAIL: prefix $prefix is not in the cache"; exit 1 ;; esac

expect 1 "an empty cache"
mkdir -p "$prefix.partial/lib"
echo "$hash" >"$prefix.partial/velmora-qt-complete"
expect 1 "an install still under its .partial name"
mkdir -p "$prefix/lib"
expect 1 "a folder without its marker"
echo "0123456789ab" >"$prefix/velmora-qt-complete"
expect 1 "a marker of other options"
echo "$hash" >"$prefix/velmora-qt-complete"
expect 0 "a complete build"
# A complete cache is used as it is: the prefix comes back at once, nothing is fetched.
if [ "$(timeout 20 "$script" 2>/dev/null)" != "$prefix" ]; then
  echo "FAIL: a complete cache was not used as it is"; failed=1
fi
[ "$failed" -eq 0 ] && echo "qt cache: every case holds"
exit "$failed"
