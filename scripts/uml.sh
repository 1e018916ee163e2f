# Shared by the FAT32 test stage (fat32.sh) and the FAT32 benchmark
# (fat32-bench.sh): the user-mode Linux kernel, which brings vfat and
# device-mapper as modules and runs as an ordinary process, so no driver or
# privilege of this machine's kernel is needed. Sourced, not run.

# Finds the kernel and its modules: sets uml and modules, or sets uml_missing
# to the reason and returns 1.
uml_find() {
  uml=$(command -v linux.uml || true)
  modules=$(ls -d /usr/lib/uml/modules/*/kernel 2>/dev/null | head -n 1)
  local tool
  for tool in mkfs.fat fsck.fat insmod dmsetup; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      uml_missing="$tool is missing (scripts/setup.sh installs it)."
      return 1
    fi
  done
  if [ -z "$uml" ] || [ -z "$modules" ] || [ ! -f "$modules/fs/fat/vfat.ko" ]; then
    uml_missing="no user-mode Linux kernel with vfat (scripts/setup.sh installs user-mode-linux)."
    return 1
  fi
}

# Prints the start of an init script for a work folder holding dev/ and tmp/:
# proc, sys and device nodes mounted, the FAT and device-mapper modules loaded,
# "uml init started" on the console, and power_off, which ends the script: the
# kernel powers itself off through sysrq (a minimal root has no poweroff
# command, and an init that just ends makes the kernel panic).
uml_init_head() {
  local work=$1
  cat <<HEAD
#!/bin/sh
export PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=$work/tmp
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev $work/dev
echo "uml init started"
power_off() {
  sync
  echo o >/proc/sysrq-trigger
  # The power-off runs in a kernel worker; init must not end before it.
  while :; do sleep 1; done
}
for m in fs/fat/fat.ko fs/fat/vfat.ko fs/nls/nls_cp437.ko fs/nls/nls_iso8859-1.ko fs/nls/nls_utf8.ko \\
         drivers/md/dm-mod.ko; do
  [ -f $modules/\$m ] && insmod $modules/\$m 2>/dev/null
done
HEAD
}

# Boots the kernel on this machine's root file system with a disk image as
# ubda, running work/init.sh, its console in work/console.log. Bounded by a
# time limit, so a kernel that hangs can't hold anything up. Returns the
# kernel's status; the subshell (which must not end in the kernel's command,
# or bash would run that in its place) keeps the shell's note on a kernel that
# died of a signal out of the caller's output: console.log's last line says it.
uml_boot() {
  local work=$1 disk=$2 memory=$3 limit=$4 status=0
  ( timeout "$limit" "$uml" mem="$memory" ubd0="$disk" root=/dev/root rootfstype=hostfs rootflags=/ rw \
      init="$work/init.sh" con=null con0=null,fd:1 </dev/null >"$work/console.log" 2>&1; exit $? ) 2>/dev/null || status=$?
  [ "$status" -eq 0 ] || echo "[the kernel ended with status $status]" >>"$work/console.log"
  return "$status"
}

# Whether the kernel got as far as running work/init.sh.
uml_started() {
  grep -q '^uml init started' "$1/console.log" 2>/dev/null
}
