#!/usr/bin/env bash
# Gives apt the source twin (deb-src) of each of the machine's own Debian entries, so that
# `apt-get source` finds the sources of the installed packages. Entries of other origins
# are left alone. Writes /etc/apt/sources.list.d/velmora-deb-src.sources (root only); run
# `apt-get update` afterwards.
set -euo pipefail
out=/etc/apt/sources.list.d/velmora-deb-src.sources
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT

# deb822 files: copy each stanza that is a Debian "deb" entry, as "deb-src".
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && [ "$f" != "$out" ] || continue
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       /(^|\n)Types:([^\n]*[ \t])?deb([ \t]|\n|$)/ && /debian\.org/ {
         sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f" >>"$tmp"
done
# One-line entries: "deb [options] URI suite components" of Debian.
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n -E 's/^[[:space:]]*deb[[:space:]]+((\[[^]]*\][[:space:]]+)?[^[:space:]]*debian\.org[^[:space:]]*[[:space:]].*)$/\1/p' "$f" |
    while read -r rest; do
      printf 'Types: deb-src\n' >>"$tmp"
      opts=""
      case "$rest" in \[*) opts="${rest%%]*}"; opts="${opts#[}"; rest="${rest#*] }" ;; esac
      read -r uri suite components <<<"$rest"
      printf 'URIs: %s\nSuites: %s\nComponents: %s\n' "$uri" "$suite" "$components" >>"$tmp"
      for o in $opts; do
        case "$o" in signed-by=*) printf 'Signed-By: %s\n' "${o#signed-by=}" >>"$tmp" ;; esac
      done
      printf '\n' >>"$tmp"
    done
done
if [ ! -s "$tmp" ]; then
  echo "deb-src: no Debian entry found in /etc/apt to take the sources from" >&2
  exit 1
fi
install -m 644 "$tmp" "$out"
echo "deb-src: wrote $out" >&2
