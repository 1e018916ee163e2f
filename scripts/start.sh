#!/usr/bin/env bash
# Installs what is missing, builds the application (release with debug info) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVONTARO_TESTS=OFF -DVONTARO_BENCH=OFF >/dev/null
cmake --build build/app --target vontaro -j "$(bash scripts/jobs.sh)"
exec build/app/src/vontaro "$@"
