#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root, validates its desktop entry,
# AppStream metainfo and MIME package, and runs the installed velmora-cli from there:
# --help and convert round trips. The dev preset's build (the one the tests ran on) is
# packed; VELMORA_PACKAGE_PRESET=release packs a build of the programs alone.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# The validators of the desktop files come from Debian's own packages.
tools=()
command -v dpkg-shlibdeps >/dev/null || tools+=(dpkg-dev)
command -v desktop-file-validate >/dev/null || tools+=(desktop-file-utils)
command -v appstreamcli >/dev/null || tools+=(appstream)
command -v update-mime-database >/dev/null || tools+=(shared-mime-info)
if [ ${#tools[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "ci-package: needs ${tools[*]}: sudo apt-get install -y ${tools[*]}" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${tools[@]}"
fi

preset="${VELMORA_PACKAGE_PRESET:-dev}"
build="build/$preset"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
(cd "$build" && cpack -G DEB)

debs=("$build"/velmora_*_"$(dpkg --print-architecture)".deb)
deb="${debs[0]}"
test -f "$deb" || { echo "ci-package: no velmora_*.deb was built in $build" >&2; exit 1; }
dpkg-deb --field "$deb" Package Version Architecture Depends Section

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
root="$scratch/root"
for f in usr/bin/velmora usr/bin/velmora-cli \
         usr/share/applications/org.velmora.Velmora.desktop \
         usr/share/metainfo/org.velmora.Velmora.metainfo.xml \
         usr/share/mime/packages/org.velmora.Velmora.xml \
         usr/share/icons/hicolor/scalable/apps/velmora.svg \
         usr/share/icons/hicolor/48x48/apps/velmora.png \
         usr/share/icons/hicolor/256x256/apps/velmora.png \
         usr/lib/udev/rules.d/70-kado.rules \
         usr/share/doc/velmora/README.md usr/share/doc/velmora/LICENSE \
         usr/share/doc/velmora/copyright; do
  test -e "$root/$f" || { echo "ci-package: $f is missing from the package" >&2; exit 1; }
done
desktop="$root/usr/share/applications/org.velmora.Velmora.desktop"
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.velmora.Velmora.metainfo.xml"
# The desktop hands the double-clicked file over, and knows both kinds of route file.
grep -qx 'Exec=velmora %f' "$desktop" || { echo "ci-package: the desktop entry has no Exec with %f" >&2; exit 1; }
for type in application/x-velmora-route-list application/x-dorlan-route-group \
            application/vnd.openxmlformats-officedocument.spreadsheetml.sheet \
            application/vnd.oasis.opendocument.spreadsheet; do
  grep -q "^MimeType=.*$type;" "$desktop" ||
    { echo "ci-package: the desktop entry does not name $type" >&2; exit 1; }
  grep -q "<mediatype>$type</mediatype>" "$root/usr/share/metainfo/org.velmora.Velmora.metainfo.xml" ||
    { echo "ci-package: the metainfo does not provide $type" >&2; exit 1; }
done
# The MIME package builds a database that maps both extensions in any letter case (a
# case-sensitive glob would carry ":cs").
cp -r "$root/usr/share/mime" "$scratch/mime"
update-mime-database "$scratch/mime" 2>/dev/null
for glob in '*.mrp' '*.mrg'; do
  if ! grep -qF ":$glob" "$scratch/mime/globs2" || grep -qF ":$glob:cs" "$scratch/mime/globs2"; then
    echo "ci-package: $glob is not in the MIME database in any letter case" >&2
    exit 1
  fi
done

cli="$root/usr/bin/velmora-cli"
"$cli" --help >/dev/null

# A route list in the file's own Windows-1251: read, written, read again.
printf '// hand-written\r\n12;Вокзал;Парк;\r\n5А;Рынок\\;ТЦ;Аэропорт;Через центр\r\n' |
  iconv -f UTF-8 -t CP1251 >"$scratch/in.mrp"
"$cli" convert "$scratch/in.mrp" "$scratch/a.mrp"
"$cli" convert "$scratch/a.mrp" "$scratch/b.mrp"
"$cli" routes "$scratch/b.mrp" >"$scratch/routes.json"
expected='{"routes": [{"designation": "12", "start": "Вокзал", "final": "Парк", "message": ""}, {"designation": "5А", "start": "Рынок;ТЦ", "final": "Аэропорт", "message": "Через центр"}]}'
if [ "$(cat "$scratch/routes.json")" != "$expected" ]; then
  echo "ci-package: the installed velmora-cli read back:" >&2
  cat "$scratch/routes.json" >&2
  exit 1
fi
# Through a table and the routes JSON and back: the same routes.
"$cli" convert "$scratch/b.mrp" "$scratch/t.csv"
"$cli" convert "$scratch/t.csv" "$scratch/t.mrp"
"$cli" convert "$scratch/t.mrp" "$scratch/t.json"
"$cli" convert "$scratch/t.json" "$scratch/j.mrp"
if [ "$("$cli" routes "$scratch/j.mrp")" != "$expected" ]; then
  echo "ci-package: the routes did not come back through .csv and .json" >&2
  exit 1
fi
# Written twice, the files differ at most in the line with the date of the save.
if [ "$(diff <(tr -d '\r' <"$scratch/a.mrp") <(tr -d '\r' <"$scratch/b.mrp") | grep -c '^[<>]')" -gt 2 ]; then
  echo "ci-package: convert did not round-trip" >&2
  exit 1
fi
# The installed window starts (and keeps running) on a virtual screen, with a scratch home
# so that no real settings are touched. SCREENSHOT=FILE keeps a picture of it.
if command -v xvfb-run >/dev/null; then
  mkdir -p "$scratch/home"
  set +e
  HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" timeout 20 \
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
      "$1" & app=$!
      sleep 4
      kill -0 "$app" || exit 3
      if [ -n "$2" ] && command -v import >/dev/null; then import -window root "$2"; fi
      kill "$app"; wait "$app"; exit 0' sh "$root/usr/bin/velmora" "${SCREENSHOT:-}"
  started=$?
  set -e
  if [ "$started" -ne 0 ]; then
    echo "ci-package: the installed velmora did not keep running under Xvfb ($started)" >&2
    exit 1
  fi
fi
echo "ci-package: $deb installs, its window starts and its velmora-cli works"
