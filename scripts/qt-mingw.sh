#!/usr/bin/env bash
# Builds the smallest Qt 6 the Windows window and its tests need, from Debian's own qt6-base
# source (the version of the host's qt6-base-dev, whose moc, rcc and uic it uses), with
# MinGW-w64, and installs it into a cache folder named by the Qt version and a hash of
# everything that shapes the build. A cache folder that is complete is used as it is; one
# that is not (an interrupted build) is never used and is built anew.
#
# Prints the Qt prefix as its last line of standard output; everything else goes to stderr.
#   VELMORA_QT_CACHE   the cache folder (default /var/cache/velmora as root, else
#                      $XDG_CACHE_HOME/velmora or ~/.cache/velmora)
#   VELMORA_QT_JOBS    parallel compile jobs (default: the number of processors)
#   --print-prefix     print the prefix the options give and stop (nothing is built)
#   --check            exit 0 when that prefix holds a complete build, else 1 (nothing is built)
set -euo pipefail
cd "$(dirname "$0")/.."
checkout="$PWD"
log() { echo "qt-mingw: $*" >&2; }
. scripts/windows-common.sh
cache=$(velmora_cache_folder "${VELMORA_QT_CACHE:-}")

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
if [ -z "$host_version" ]; then
  log "qt6-base-dev is not installed: the host tools must match the Qt that is built"
  exit 1
fi
upstream="${host_version%%+*}"   # 6.4.2+dfsg-10 -> 6.4.2

# What is built. Anything that changes the result belongs in this list or in the hash below.
options=(
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no
  -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF
  -DFEATURE_sql=OFF -DFEATURE_testlib_selfcover=OFF
  # Bundled third-party code: nothing of the build machine's MinGW root is taken.
  -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
  -DFEATURE_harfbuzz=ON -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_doubleconversion=OFF
  # Direct2D is a paint engine Velmora does not use; the DirectWrite font database is an
  # opt-in that Qt 6.4 only links together with it. Tablets need the Wintab header that
  # Debian's source leaves out.
  -DFEATURE_direct2d=OFF -DFEATURE_direct2d1_1=OFF -DFEATURE_directwrite3=OFF
  -DFEATURE_tabletevent=OFF
  # Widgets and text formats the window never shows.
  -DFEATURE_graphicsview=OFF -DFEATURE_graphicseffect=OFF -DFEATURE_mdiarea=OFF
  -DFEATURE_calendarwidget=OFF -DFEATURE_datetimeedit=OFF -DFEATURE_dial=OFF
  -DFEATURE_fontcombobox=OFF -DFEATURE_fontdialog=OFF -DFEATURE_colordialog=OFF
  -DFEATURE_lcdnumber=OFF -DFEATURE_splashscreen=OFF -DFEATURE_syntaxhighlighter=OFF
  -DFEATURE_toolbox=OFF -DFEATURE_undoview=OFF -DFEATURE_wizard=OFF -DFEATURE_columnview=OFF
  -DFEATURE_keysequenceedit=OFF -DFEATURE_errormessage=OFF
  -DFEATURE_scroller=OFF -DFEATURE_datawidgetmapper=OFF -DFEATURE_commandlinkbutton=OFF
  -DFEATURE_textodfwriter=OFF -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF
  -DFEATURE_pdf=OFF -DFEATURE_movie=OFF -DFEATURE_sessionmanager=OFF -DFEATURE_systemtrayicon=OFF
  -DFEATURE_jalalicalendar=OFF -DFEATURE_hijricalendar=OFF -DFEATURE_islamiccivilcalendar=OFF
)
toolchain="$checkout/cmake/mingw-w64.cmake"
compiler=x86_64-w64-mingw32-g++-posix
# The compiler's first --version line is part of the hash. Without the compiler the hash
# lacks that line: --print-prefix and --check still answer (no build can be complete there),
# and a build installs the compiler first and hashes again.
set_prefix() {
  local version
  version=$("$compiler" --version 2>/dev/null) || version=""
  version=${version%%$'\n'*}
  hash=$( { echo "$host_version"; printf '%s\n' "${options[@]}"; cat "$toolchain";
            [ -z "$version" ] || echo "$version"; } | sha256sum | cut -c1-12)
  prefix="$cache/qt-$upstream-mingw-$hash"
  marker="$prefix/velmora-qt-complete"
}
set_prefix

# Complete means: the marker holds this very hash, and it is written only after the install.
complete() { [ -f "$marker" ] && [ "$(cat "$marker")" = "$hash" ]; }
case "${1:-}" in
  --print-prefix) echo "$prefix"; exit 0 ;;
  --check) complete; exit ;;
  "") ;;
  *) log "usage: scripts/qt-mingw.sh [--print-prefix | --check]"; exit 2 ;;
esac
if complete; then
  log "using the cached Qt $upstream in $prefix"
  echo "$prefix"
  exit 0
fi

missing=()
command -v "$compiler" >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v dpkg-source >/dev/null || missing+=(dpkg-dev)
[ -x /usr/lib/qt6/libexec/moc ] || missing+=(qt6-base-dev-tools)
install_missing qt-mingw "${missing[@]}"
set_prefix
if complete; then
  log "using the cached Qt $upstream in $prefix"
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/.qt-$hash.lock"
if ! flock -n 9; then
  log "another build of this Qt is running; waiting for it"
  flock 9
  if complete; then
    echo "$prefix"
    exit 0
  fi
fi

work="$cache/work-$hash"
rm -rf "$work" "$prefix" "$prefix.partial"
mkdir -p "$work"
start=$SECONDS

# The source of the host's qt6-base, with Debian's patches (security fixes among them).
fetch_debian_sources qt-mingw "$work" "qt6-base=$host_version"
(cd "$work" && dpkg-source --no-check -x qt6-base_*.dsc src >&2)

log "configuring Qt $upstream for Windows into $prefix"
cmake -S "$work/src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$prefix.partial" \
  "${options[@]}" >"$work/configure.log" 2>&1 || { tail -n 40 "$work/configure.log" >&2; exit 1; }
log "building ($(nproc) processors)"
cmake --build "$work/build" --parallel "${VELMORA_QT_JOBS:-$(nproc)}" >"$work/build.log" 2>&1 ||
  { tail -n 60 "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 20 "$work/install.log" >&2; exit 1; }

# The marker is the last thing written; the folder takes its name only when it is whole.
echo "$hash" >"$prefix.partial/velmora-qt-complete"
mv "$prefix.partial" "$prefix"
rm -rf "$work"
log "Qt $upstream built in $((SECONDS - start)) s"
echo "$prefix"
