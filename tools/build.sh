#!/usr/bin/env bash
# tools/build.sh DIR [cmake options...] [-- targets...]
# Configures DIR (again when the options change), then builds incrementally (everything, or
# only the targets named).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
options=(); targets=()
while (($#)); do
  if [[ "$1" == "--" ]]; then shift; targets=("$@"); break; fi
  options+=("$1"); shift
done
# Configured afresh whenever the options or the compilers differ from the last configuration's
# (a fresh cache, so that an option left out goes back to its default).
stamp="$root/$dir/.kelpa-build-options"
wanted="$(printf '%s\n' "${options[@]}" "CC=${CC:-}" "CXX=${CXX:-}")"
if [[ ! -f "$root/$dir/CMakeCache.txt" || ! -f "$stamp" || "$(cat "$stamp")" != "$wanted" ]]; then
  rm -f "$root/$dir/CMakeCache.txt"
  cmake -S "$root" -B "$root/$dir" -G Ninja "${options[@]}" >/dev/null
  printf '%s\n' "$wanted" >"$stamp"
fi
if ((${#targets[@]})); then
  cmake --build "$root/$dir" -j"$(nproc)" --target "${targets[@]}"
else
  cmake --build "$root/$dir" -j"$(nproc)"
fi
