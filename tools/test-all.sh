#!/usr/bin/env bash
# Builds both targets and runs every test: natively, under ThreadSanitizer (the thread-heavy
# suites), under Wine for the Windows build, and a short bounded run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native

echo "== native tests under ThreadSanitizer"
cmake --preset native-tsan >/dev/null
cmake --build --preset native-tsan -j "$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset native-tsan -R '^(vpn|rpc|e2e|net|platform|apps)$'

echo "== Windows build and tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
WINEPREFIX=$(mktemp -d /tmp/kest-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1 || true
wineserver -w
ctest --preset windows
wineserver -w

if [ -x fuzz/run.sh ] || [ -f fuzz/run.sh ]; then
  echo "== fuzz targets, bounded run"
  bash fuzz/run.sh "${KEST_FUZZ_RUNS:-20000}"
fi
echo "== all tests passed"
