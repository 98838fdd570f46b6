#!/usr/bin/env bash
# tools/build.sh DIR [cmake options...]: configure once, then build incrementally.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
if [[ ! -f "$root/$dir/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
fi
cmake --build "$root/$dir" -j"$(nproc)"
