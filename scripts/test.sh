#!/usr/bin/env bash
# Installs what is missing, builds Velmora and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -j2
