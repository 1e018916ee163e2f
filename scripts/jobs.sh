#!/usr/bin/env bash
# Prints how many compile jobs this machine can take: one per core, but no more
# than one per 2 GB of available memory (a sanitizer build of one file can take
# well over a gigabyte), and at least one.
cores=$(nproc)
available_kb=$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo 2>/dev/null || echo 0)
by_memory=$(( ${available_kb:-0} / (2 * 1024 * 1024) ))
jobs=$(( cores < by_memory ? cores : by_memory ))
echo $(( jobs < 1 ? 1 : jobs ))
