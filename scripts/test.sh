#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVONTARO_SANITIZE=ON -DVONTARO_TESTS=ON >/dev/null
jobs=$(bash scripts/jobs.sh)
cmake --build build/sanitize -j "$jobs"
cd build/sanitize
export LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen
status=0
ctest --output-on-failure -j "$jobs" --timeout 300 || status=$?
cd ../..
# Device writes on a real FAT32 file system; skipped with one line where it can't run.
bash scripts/fat32.sh || status=1
exit "$status"
