#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVONTARO_SANITIZE=ON -DVONTARO_TESTS=ON -DVONTARO_PCH=tests >/dev/null
jobs=$(bash scripts/jobs.sh)
cmake --build build/sanitize -j "$jobs"
cd build/sanitize
export LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen
status=0
ctest --output-on-failure -j "$jobs" --timeout 300 || status=$?
cd ../..
# The optimised build sees what the sanitizer build at -O0 does not (GCC's
# object-size and overflow warnings need its data-flow analysis): the
# application's sources are compiled once optimised too, warnings as errors.
cmake -S . -B build/release-check -G Ninja -DCMAKE_BUILD_TYPE=Release -DVONTARO_TESTS=OFF -DVONTARO_WERROR=ON \
  -DVONTARO_PCH=sources >/dev/null
if ! cmake --build build/release-check --target vontaro -j "$jobs" >build/release-check/build.log 2>&1; then
  grep -E -A15 '(error|warning):' build/release-check/build.log | head -n 80
  echo "The optimised build failed or printed a warning (full log: build/release-check/build.log)."
  status=1
fi
# Device writes on a real FAT32 file system; skipped with one line where it can't run.
bash scripts/fat32.sh || status=1
exit "$status"
