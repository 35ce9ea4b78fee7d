#!/usr/bin/env bash
# The generator run again gives the same bytes as the pictures the build embedded.
#   check_deterministic.sh <make_pictures> <pictures folder> <scratch folder>
set -eu
tool=$1 built=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch"
"$tool" "$scratch" >/dev/null
n=0
for f in "$built"/1[2-5][0-9].*; do
    cmp -s "$f" "$scratch/$(basename "$f")" || { echo "FAIL: $(basename "$f") differs between runs" >&2; exit 1; }
    n=$((n + 1))
done
[ "$n" -eq 25 ] || { echo "FAIL: $n pictures, expected 25" >&2; exit 1; }
rm -rf "$scratch"
echo "ok: 25 pictures, same bytes"
