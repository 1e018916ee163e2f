#!/usr/bin/env bash
# Measures the transfer onto a real FAT32 file system against `cp -r` + `sync`
# and a copy that synchronises each file (bench/transfer_bench.cpp), inside
# the user-mode Linux kernel of the FAT32 test stage, once for each way a
# desktop mounts an iPod: shortname=mixed,utf8=1,flush and the plain defaults.
# Run by hand; arguments go to the benchmark program (default: the transfer
# shapes only), VONTARO_TRANSFER_ITERATIONS sets the rounds (3) and
# VONTARO_FAT_OPTIONS the option sets (both). The sources lie in memory inside
# that kernel, the copies on a 1.3 GB sparse FAT32 image whose writes reach
# this machine's disk.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/uml.sh
uml_find || { echo "FAT32 benchmark can't run: $uml_missing"; exit 1; }

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVONTARO_BENCH=ON -DVONTARO_TESTS=OFF >/dev/null &&
  nice -n 19 cmake --build build/release -j "$(bash scripts/jobs.sh)" --target transfer_bench >/dev/null ||
  { echo "FAT32 benchmark: building transfer_bench failed"; exit 1; }

arguments=("$@")
[ ${#arguments[@]} -gt 0 ] || arguments=(--benchmark_filter=BM_TransferAgainstReferences)
quoted=$(printf ' %q' "${arguments[@]}")
# VONTARO_FAT_OPTIONS picks the mount options (a list; "defaults" for none).
option_sets=${VONTARO_FAT_OPTIONS:-shortname=mixed,utf8=1,flush defaults}

work=$(realpath build/release)/uml
rm -rf "$work"
mkdir -p "$work/dev" "$work/mnt" "$work/tmp" "$work/sources"
# Room for the largest shape's 1 GB once: each copy is removed when timed.
truncate -s 1300M "$work/disk.img"
bench=$(realpath build/release/bench/transfer_bench)

uml_init_head "$work" >"$work/init.sh"
cat >>"$work/init.sh" <<INIT
# The library's files lie in memory, as a warm cache holds them.
mount -t tmpfs -o size=1400M tmpfs $work/sources
for options in $option_sets; do
  echo "== FAT32 mounted with options: \$options"
  mkfs.fat -F 32 -n IPOD /dev/ubda >/dev/null
  mount -t vfat -o \$options /dev/ubda $work/mnt || continue
  TMPDIR=$work/sources VONTARO_TRANSFER_TARGET=$work/mnt VONTARO_TRANSFER_ITERATIONS=${VONTARO_TRANSFER_ITERATIONS:-3} \\
    $bench --benchmark_color=false$quoted
  umount $work/mnt
done
echo done >$work/result
power_off
INIT
chmod +x "$work/init.sh"

echo "load before: $(uptime)"
uml_boot "$work" "$work/disk.img" 3G 7200
echo "load after: $(uptime)"
grep -E '^(== |BM_|Benchmark|-----|Run on|Load Average)' "$work/console.log"
[ -f "$work/result" ] || { tail -n 20 "$work/console.log"; echo "FAT32 benchmark: the kernel did not finish"; exit 1; }
