#!/usr/bin/env bash
# Installs what is missing, builds Velmora and starts it. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
exec build/dev/app/velmora "$@"
