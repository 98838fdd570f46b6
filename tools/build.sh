#!/usr/bin/env bash
# tools/build.sh DIR [cmake options...] [-- targets...]
# tools/build.sh --preset NAME [more cmake options...] [-- targets...]
# Configures DIR (again when the options change), then builds incrementally (everything, or
# only the targets named). A preset of CMakePresets.json stands for its folder, compilers and
# options, so "--preset normal" and "build -DKELPA_WERROR=ON" are one and the same build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
generator=Ninja
options=(); targets=()
if [[ "${1:-}" == "--preset" ]]; then
  (($# >= 2)) || { echo "tools/build.sh: --preset needs a name" >&2; exit 2; }
  preset="$2"; shift 2
  resolved="$(cmake -DPRESET="$preset" -DSOURCE_DIR="$root" -P "$root/tools/preset-options.cmake")"
  dir=""
  while IFS= read -r line; do
    case "$line" in
      dir=*) dir="${line#dir=}" ;;
      generator=*) generator="${line#generator=}" ;;
      env=*) export "${line#env=}" ;;
      option=*) options+=("${line#option=}") ;;
    esac
  done <<<"$resolved"
else
  (($# >= 1)) || { echo "usage: tools/build.sh DIR [cmake options...] [-- targets...]" >&2; exit 2; }
  dir="$1"; shift
fi
while (($#)); do
  if [[ "$1" == "--" ]]; then shift; targets=("$@"); break; fi
  options+=("$1"); shift
done
[[ "$dir" == /* ]] || dir="$root/$dir"
# Configured afresh whenever the options or the compilers differ from the last configuration's
# (a fresh cache, so that an option left out goes back to its default). The options are
# compared in a fixed order, the last of several values of one variable counting.
stamp="$dir/.kelpa-build-options"
declare -A last=()
kept=()
for ((i = ${#options[@]} - 1; i >= 0; i--)); do
  option="${options[i]}"
  if [[ "$option" == -D*=* ]]; then
    name="${option%%=*}"; name="${name%%:*}"
    [[ -n "${last[$name]:-}" ]] && continue
    last[$name]=1
  fi
  kept+=("$option")
done
wanted="$( { ((${#kept[@]})) && printf '%s\n' "${kept[@]}"; printf '%s\n' "CC=${CC:-}" "CXX=${CXX:-}"; } | LC_ALL=C sort)"
if [[ ! -f "$dir/CMakeCache.txt" || ! -f "$stamp" || "$(cat "$stamp")" != "$wanted" ]]; then
  rm -f "$dir/CMakeCache.txt"
  cmake -S "$root" -B "$dir" -G "$generator" "${options[@]}" >/dev/null
  printf '%s\n' "$wanted" >"$stamp"
fi
if ((${#targets[@]})); then
  cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
else
  cmake --build "$dir" -j"$(nproc)"
fi
