#!/usr/bin/env bash
# Builds the libraries behind Velmora's workbooks for 64-bit Windows with MinGW-w64, from
# Debian's own sources of the versions the host builds with: minizip, pugixml and
# libxlsxwriter, all static, with Debian's MinGW zlib (libz-mingw-w64-dev) beside them.
# Installs headers and libraries into a cache folder named by those versions and a hash of
# everything that shapes the build. A complete cache folder is used as it is; one that is
# not (an interrupted build) is never used and is built anew.
#
# Prints the prefix as its last line of standard output (pass it to CMake as
# -DVELMORA_MINGW_LIBS=<prefix>); everything else goes to stderr.
#   VELMORA_MINGW_LIBS_CACHE  the cache folder (default /var/cache/velmora as root, else
#                             $XDG_CACHE_HOME/velmora or ~/.cache/velmora)
#   --print-prefix            print the prefix the options give and stop (nothing is built)
set -euo pipefail
cd "$(dirname "$0")/.."
checkout="$PWD"
log() { echo "mingw-libs: $*" >&2; }
. scripts/windows-common.sh
cache=$(velmora_cache_folder "${VELMORA_MINGW_LIBS_CACHE:-}")

# The source versions of the host's own packages: Windows gets the same code.
sources=(minizip:libminizip-dev pugixml:libpugixml-dev libxlsxwriter:libxlsxwriter-dev)
versions=()
for entry in "${sources[@]}"; do
  package="${entry#*:}"
  version=$(dpkg-query -W -f='${source:Version}' "$package" 2>/dev/null || true)
  if [ -z "$version" ]; then
    log "$package is not installed (scripts/deps.sh installs it): its version is the one built"
    exit 1
  fi
  versions+=("${entry%%:*}=$version")
done
zlib_version=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev 2>/dev/null || true)

# What is built. Anything that changes the result belongs in these lists or in the hash.
pugixml_options=(-DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF)
xlsxwriter_options=(-DBUILD_SHARED_LIBS=OFF -DUSE_SYSTEM_MINIZIP=ON -DUSE_OPENSSL_MD5=OFF
                    -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF)
minizip_sources=(ioapi.c unzip.c zip.c mztools.c)
toolchain="$checkout/cmake/mingw-w64.cmake"
compiler=x86_64-w64-mingw32-gcc-posix
hash=$( { printf '%s\n' "${versions[@]}" "zlib=$zlib_version" "${pugixml_options[@]}" \
            "${xlsxwriter_options[@]}" "${minizip_sources[@]}"; cat "$toolchain" "$0";
          "$compiler" --version 2>/dev/null | head -n 1; } | sha256sum | cut -c1-12)
label=$(printf '%s-' "${versions[@]}" | tr -c 'A-Za-z0-9.\n-' '_')
prefix="$cache/mingw-libs-${label}${hash}"
marker="$prefix/velmora-mingw-libs-complete"

if [ "${1:-}" = "--print-prefix" ]; then
  echo "$prefix"
  exit 0
fi
if [ -f "$marker" ] && [ "$(cat "$marker")" = "$hash" ]; then
  log "using the cached libraries in $prefix"
  echo "$prefix"
  exit 0
fi

missing=()
command -v "$compiler" >/dev/null || missing+=(gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v dpkg-source >/dev/null || missing+=(dpkg-dev)
[ -n "$zlib_version" ] || missing+=(libz-mingw-w64-dev)
if [ ${#missing[@]} -gt 0 ]; then
  install_missing mingw-libs "${missing[@]}"
  exec "$0" "$@"   # the zlib version is part of the name
fi

mkdir -p "$cache"
exec 9>"$cache/.mingw-libs-$hash.lock"
if ! flock -n 9; then
  log "another build of these libraries is running; waiting for it"
  flock 9
  if [ -f "$marker" ] && [ "$(cat "$marker")" = "$hash" ]; then
    echo "$prefix"
    exit 0
  fi
fi

work="$cache/work-mingw-libs-$hash"
rm -rf "$work" "$prefix" "$prefix.partial"
mkdir -p "$work" "$prefix.partial/include/minizip" "$prefix.partial/lib"
out="$prefix.partial"
start=$SECONDS

fetch_debian_sources mingw-libs "$work" "${versions[@]}"
for dsc in "$work"/*.dsc; do
  name=$(basename "$dsc" .dsc)
  (cd "$work" && dpkg-source --no-check -x "$dsc" "src-${name%%_*}" >&2)
done

# zlib: Debian's static MinGW build, so the prefix holds all a link needs.
cp /usr/x86_64-w64-mingw32/include/zlib.h /usr/x86_64-w64-mingw32/include/zconf.h "$out/include/"
cp /usr/x86_64-w64-mingw32/lib/libz.a "$out/lib/"

cmake_build() {  # name source-dir [options...]
  local name=$1 dir=$2
  shift 2
  log "building $name"
  cmake -S "$dir" -B "$work/build-$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out" -DCMAKE_INSTALL_LIBDIR=lib \
    "$@" >"$work/$name.log" 2>&1 &&
  cmake --build "$work/build-$name" >>"$work/$name.log" 2>&1 &&
  cmake --install "$work/build-$name" >>"$work/$name.log" 2>&1 ||
    { tail -n 40 "$work/$name.log" >&2; exit 1; }
}

# minizip ships autotools only; its few files need no more than this.
mkdir -p "$work/minizip-project"
{
  echo 'cmake_minimum_required(VERSION 3.13)'
  echo 'project(minizip C)'
  echo "set(src \"$work/src-minizip\")"
  echo 'add_library(minizip STATIC)'
  for f in "${minizip_sources[@]}"; do echo "target_sources(minizip PRIVATE \"\${src}/$f\")"; done
  echo "target_include_directories(minizip PRIVATE \"$out/include\")"
  echo 'install(TARGETS minizip ARCHIVE DESTINATION lib)'
  for f in crypt.h ioapi.h mztools.h unzip.h zip.h; do
    echo "install(FILES \"\${src}/$f\" DESTINATION include/minizip)"
  done
} >"$work/minizip-project/CMakeLists.txt"
cmake_build minizip "$work/minizip-project"
cmake_build pugixml "$work/src-pugixml" "${pugixml_options[@]}"
cmake_build libxlsxwriter "$work/src-libxlsxwriter" "${xlsxwriter_options[@]}" \
  -DZLIB_INCLUDE_DIR="$out/include" -DZLIB_LIBRARY="$out/lib/libz.a" \
  -DMINIZIP_INCLUDE_DIR="$out/include" -DMINIZIP_LIBRARY="$out/lib/libminizip.a"

for f in lib/libz.a lib/libminizip.a lib/libpugixml.a lib/libxlsxwriter.a \
         include/minizip/unzip.h include/pugixml.hpp include/xlsxwriter.h; do
  [ -f "$out/$f" ] || { log "$f was not installed"; exit 1; }
done

# The marker is the last thing written; the folder takes its name only when it is whole.
echo "$hash" >"$out/velmora-mingw-libs-complete"
mv "$out" "$prefix"
rm -rf "$work"
log "built in $((SECONDS - start)) s"
echo "$prefix"
