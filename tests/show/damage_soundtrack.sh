#!/usr/bin/env bash
# A copy of the soundtrack damaged the way files are found in the wild:
#   damage_soundtrack.sh <in.mp3> <out.mp3> <edit>...
# Each edit is KIND@SECONDS, placed by size (the file is 206 s long; VBR makes it approximate):
#   zeros@S   a kilobyte of zero bytes written over the file S seconds in
#   ff@S      a kilobyte of 0xff bytes (they look like frame headers to a decoder)
#   cut@S     the file ends S seconds in
set -eu
in=$1 out=$2
shift 2
size=$(stat -c %s "$in")
cp "$in" "$out"
for edit in "$@"; do
  kind=${edit%@*} seconds=${edit#*@}
  at=$(awk -v size="$size" -v s="$seconds" 'BEGIN { printf "%d", size * s / 206 }')
  case $kind in
    zeros) head -c 1024 /dev/zero | dd of="$out" bs=1 seek="$at" conv=notrunc status=none ;;
    ff) head -c 1024 /dev/zero | tr '\0' '\377' | dd of="$out" bs=1 seek="$at" conv=notrunc status=none ;;
    cut) truncate -s "$at" "$out" ;;
    *) echo "unknown edit $edit" >&2; exit 2 ;;
  esac
done
