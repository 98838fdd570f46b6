#!/usr/bin/env bash
# tools/build.sh DIR [cmake options...] [-- targets...]
# Configures DIR once, then builds incrementally (everything, or only the targets named).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
options=(); targets=()
while (($#)); do
  if [[ "$1" == "--" ]]; then shift; targets=("$@"); break; fi
  options+=("$1"); shift
done
if [[ ! -f "$root/$dir/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$root/$dir" -G Ninja "${options[@]}" >/dev/null
fi
if ((${#targets[@]})); then
  cmake --build "$root/$dir" -j"$(nproc)" --target "${targets[@]}"
else
  cmake --build "$root/$dir" -j"$(nproc)"
fi
