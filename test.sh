#!/usr/bin/env bash
# Builds Kelpa and runs every test: a normal build, a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh

./tools/build.sh --preset normal
./tools/build.sh --preset asan
./tools/build.sh --preset fuzz

# Tests that need a real X server get one of their own, on a display Xvfb picks itself and
# names once it is ready.
xvfb_pid=""
xvfb_dir="$(mktemp -d)"
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$xvfb_dir"
}
trap cleanup EXIT
mkfifo "$xvfb_dir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_dir/display" >/dev/null 2>&1 &
xvfb_pid=$!
display=""
read -r -t 60 display <"$xvfb_dir/display" || true
if [[ ! "$display" =~ ^[0-9]+$ ]]; then
  echo "test.sh: Xvfb did not start; the tests that need an X server cannot run" >&2
  exit 1
fi
export DISPLAY=":$display"
xvfb_up=""
for _ in $(seq 50); do
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
  if xdpyinfo >/dev/null 2>&1; then xvfb_up=1; break; fi
  sleep 0.1
done
if [[ -z "$xvfb_up" ]]; then
  echo "test.sh: Xvfb did not start on $DISPLAY; the tests that need an X server cannot run" >&2
  exit 1
fi

jobs="$(nproc)"
status=0
# The presets of CMakePresets.json give each build's test environment (Qt platform, sanitizers).
echo "== fuzz targets (bounded time) =="
ctest --preset fuzz -j"$jobs" || status=1
echo "== normal build =="
ctest --preset normal -j"$jobs" || status=1
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ctest --preset asan -j"$jobs" || status=1
exit $status
