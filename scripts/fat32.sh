#!/usr/bin/env bash
# Runs the device-writing tests on a real FAT32 file system, mounted as a
# desktop mounts an iPod (shortname=mixed,utf8=1,flush, then the plain
# defaults), with drills for a full disk, a failing disk and a vanishing disk.
# The kernel used is user-mode Linux (an ordinary process; its modules bring
# vfat and device-mapper), so no driver or privilege of this machine's kernel
# is needed. Where it can't be started, one line says so and nothing fails.
set -uo pipefail
cd "$(dirname "$0")/.."

skip() {
  echo "FAT32 stage skipped: $*"
  exit 0
}

. scripts/uml.sh
uml_find || skip "$uml_missing"

# The tests run unsanitised here: the sanitisers' shadow memory does not fit
# the address space of a user-mode Linux process.
tests=(transfer playlists cleanup backup themes storage fat32drill)
targets=()
for t in "${tests[@]}"; do targets+=("test_device_$t"); done
cmake -S . -B build/fat -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVONTARO_SANITIZE=OFF -DVONTARO_TESTS=ON >/dev/null ||
  { echo "FAT32 stage: configuring the build failed"; exit 1; }
cmake --build build/fat -j "$(bash scripts/jobs.sh)" --target "${targets[@]}" >build/fat/build.log 2>&1 ||
  { tail -n 30 build/fat/build.log; echo "FAT32 stage: building the tests failed"; exit 1; }

work=$(realpath build/fat)/uml
rm -rf "$work"
mkdir -p "$work/dev" "$work/mnt" "$work/tmp"
truncate -s 96M "$work/disk.img"
bin=$(realpath build/fat/tests)

# Tests that need what FAT has not got (symbolic links, FIFOs, Unix modes,
# names FAT refuses) are left out; the rest must pass on FAT as anywhere.
filter=$(grep -v -e '^#' -e '^$' scripts/fat32-excluded.txt | paste -sd: -)

uml_init_head "$work" >"$work/init.sh"
cat >>"$work/init.sh" <<INIT
export GTEST_COLOR=no DM_DEV_DIR=$work/dev
sectors=\$(cat /sys/block/ubda/size)
dmsetup create fatdrill --noudevsync --table "0 \$sectors linear $work/dev/ubda 0" || { echo 2 >$work/result; power_off; }
device=$work/dev/mapper/fatdrill
[ -b \$device ] || device=$work/dev/dm-0
status=0
for options in shortname=mixed,utf8=1,flush ""; do
  echo "== FAT32 mounted with options: \${options:-defaults}"
  # An error a drill left on the disk's cache is no business of the new file system.
  blockdev --flushbufs \$device 2>/dev/null; sync
  mkfs.fat -F 32 -n IPOD \$device >/dev/null
  if [ -n "\$options" ]; then mount -t vfat -o \$options \$device $work/mnt; else mount -t vfat \$device $work/mnt; fi || { status=1; continue; }
  mkdir -p $work/mnt/tmp
  for t in ${tests[*]}; do
    if [ \$t = fat32drill ]; then
      VONTARO_FAT_MOUNT=$work/mnt VONTARO_FAT_DEVICE=\$device VONTARO_FAT_DISK=$work/dev/ubda \\
      VONTARO_FAT_SECTORS=\$sectors VONTARO_FAT_OPTIONS="\$options" TMPDIR=$work/tmp \\
        $bin/test_device_\$t --gtest_brief=1 || status=1
    else
      TMPDIR=$work/mnt/tmp $bin/test_device_\$t --gtest_brief=1 --gtest_filter="-$filter" || status=1
    fi
  done
  umount -l $work/mnt
done
echo \$status >$work/result
power_off
INIT
chmod +x "$work/init.sh"

# Bounded: a kernel that hangs must not hold up the test command.
uml_boot "$work" "$work/disk.img" 1536M 900
booted=$?
if ! uml_started "$work"; then
  tail -n 20 "$work/console.log"
  skip "the user-mode Linux kernel could not be started here."
fi
summary() { grep -E '^(== |\[  (FAILED|PASSED|SKIPPED) +\]|.*Failure$)' "$work/console.log" || true; }
if [ ! -s "$work/result" ]; then
  summary
  tail -n 20 "$work/console.log"
  echo "FAT32 stage: FAILED — the tests' results were not written (the kernel stopped or hung; full output: $work/console.log)"
  exit 1
fi
result=$(cat "$work/result")
if [ "$result" = 2 ]; then
  skip "device-mapper could not be set up inside the user-mode Linux kernel."
fi
if [ "$result" != 0 ]; then
  summary
  echo "FAT32 stage: FAILED — tests failed on FAT32 (full output: $work/console.log)"
  exit 1
fi
if [ "$booted" != 0 ]; then
  tail -n 20 "$work/console.log"
  echo "FAT32 stage: FAILED — the tests passed but the kernel did not power off cleanly (status $booted; full output: $work/console.log)"
  exit 1
fi
# One line per mount setting: how many tests passed there.
counts=$(awk '/^== FAT32 mounted with options: /{o=$6} /^\[  PASSED  \] [0-9]+ test/{n[o]+=$4} END{for (k in n) printf "%s%s: %d", (c++ ? "; " : ""), k, n[k]}' "$work/console.log")
echo "FAT32 stage: every device-writing test passed on FAT32 ($counts)."
