#!/usr/bin/env bash
# Installs what is missing, builds the application (release with debug info) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVONTARO_TESTS=OFF -DVONTARO_BENCH=ON >/dev/null
cmake --build build/release --target vontaro
exec build/release/src/vontaro "$@"
