#!/usr/bin/env bash
# Builds Kelpa and runs every test: a normal build, a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh

./tools/build.sh build -DKELPA_WERROR=ON
./tools/build.sh build-asan -DKELPA_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DKELPA_SANITIZE=ON -DKELPA_BENCH=OFF
CC=clang CXX=clang++ ./tools/build.sh build-fuzz -DKELPA_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
  -DKELPA_CORE_ONLY=ON -DKELPA_FUZZ=ON -DKELPA_BENCH=OFF -DKELPA_TESTS=OFF

# Tests that need a real X server get one of their own.
xvfb_pid=""
cleanup() { [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
for n in $(seq 90 130); do
  if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    break
  fi
done
if [[ -z "$xvfb_pid" ]]; then
  echo "test.sh: no free X display in :90 to :130 for Xvfb" >&2
  exit 1
fi
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

export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"
status=0
echo "== fuzz targets (bounded time) =="
ctest --test-dir build-fuzz -L fuzz --output-on-failure -j"$jobs" || status=1
echo "== normal build =="
ctest --test-dir build --output-on-failure -j"$jobs" || status=1
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" \
LSAN_OPTIONS="suppressions=$PWD/.ci/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" || status=1
exit $status
