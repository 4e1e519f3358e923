#!/usr/bin/env bash
# Builds Velmora for 64-bit Windows on Debian and packs what an operator installs:
#   build/mingw/velmora-<version>-win64.zip        a folder to copy anywhere and start
#   build/mingw/velmora-<version>-win64-setup.exe  the installer
# Qt comes from Debian's own qt6-base source, built once and cached (scripts/qt-mingw.sh).
#   --with-tests   build the tests too (scripts/ci-windows.sh runs them under Wine)
# VELMORA_MINGW_BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=OFF
for arg in "$@"; do
  case "$arg" in
    --with-tests) tests=ON ;;
    *) echo "usage: scripts/build-windows.sh [--with-tests]" >&2; exit 2 ;;
  esac
done
build="${VELMORA_MINGW_BUILD:-build/mingw}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
. scripts/windows-common.sh

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v cmake >/dev/null || missing+=(cmake)
command -v makensis >/dev/null || missing+=(nsis)
command -v dpkg-source >/dev/null || missing+=(dpkg-dev)
# The host's moc, rcc and uic, and the licence texts shipped beside the DLLs.
[ -x /usr/lib/qt6/libexec/moc ] || missing+=(qt6-base-dev-tools)
[ -f /usr/share/doc/libqt6core6/copyright ] || missing+=(qt6-base-dev)
[ -f /usr/share/doc/mingw-w64-x86-64-dev/copyright ] || missing+=(mingw-w64-x86-64-dev)
# The workbook libraries are built for Windows at the host's own versions.
for package in libminizip-dev libpugixml-dev libxlsxwriter-dev libz-mingw-w64-dev; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[ "$tests" = OFF ] || [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
install_missing build-windows "${missing[@]}"

VELMORA_QT_PREFIX=$(scripts/qt-mingw.sh | tail -n 1)
[ -f "$VELMORA_QT_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" ] ||
  { echo "build-windows: no Qt in '$VELMORA_QT_PREFIX'" >&2; exit 1; }
VELMORA_MINGW_LIBS=$(scripts/mingw-libs.sh | tail -n 1)
export VELMORA_QT_PREFIX VELMORA_MINGW_LIBS

# The mingw preset: Qt's own toolchain file finds the Windows Qt and hands on to the
# project's MinGW one, and a Qt that is not found stops the configure.
cmake --preset mingw -B "$build" -DVELMORA_BUILD_TESTS="$tests" >/dev/null

status=0
# Keep going past a test file that does not build, so that everything else still builds.
cmake --build "$build" -- -k 0 || { echo "build-windows: the build has errors" >&2; status=1; }
for program in app/velmora.exe cli/velmora-cli.exe; do
  [ -f "$build/$program" ] || { echo "build-windows: $program was not built" >&2; exit 1; }
done

rm -f "$build"/velmora-*-win64*.zip "$build"/velmora-*-win64*.exe
(cd "$build" && cpack -C Release >cpack.log 2>&1) || { tail -n 30 "$build/cpack.log" >&2; exit 1; }
ls -l "$build"/velmora-*-win64.zip "$build"/velmora-*-win64-setup.exe >&2
exit "$status"
