#!/usr/bin/env bash
# Runs one libFuzzer target for a fixed time over a scratch copy of its seed
# corpus, with a memory cap; fails on any finding.
set -euo pipefail
target=$1 seeds=$2 seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
[ -d "$seeds" ] && cp -r "$seeds/." "$work/corpus/"
cd "$work"
"$target" -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb=512 \
  -max_len=65536 -print_final_stats=1 corpus 2>&1 | tail -n 25
