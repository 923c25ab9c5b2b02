#!/usr/bin/env bash
# A scripted front-end session against the core: the requests go to its standard input one by
# one; its answers and events (standard output) and its log (standard error) are shown as they
# come. Pass "windows" to run kestcore.exe under Wine instead of the native build.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-native}
if [ "$target" = windows ]; then
  cmake --preset windows >/dev/null && cmake --build --preset windows --target kestcore vuvezozire >/dev/null
  export WINEDEBUG=-all
  core=(wine build/windows/bin/kestcore.exe)
else
  cmake --preset native >/dev/null && cmake --build --preset native --target kestcore vuvezozire >/dev/null
  core=(build/native/bin/kestcore)
fi

requests=(
  '{"id":1,"method":"ping"}'
  '{"id":2,"method":"memstats"}'
  '{"id":3,"method":"is_connected"}'
  '{"id":4,"method":"traffic"}'
  '[5,"Ping"]'
  '{"id":6,"method":"ping"} trailing'
  '{"id":7,"method":"disconnect"}'
  '{"id":8,"method":"release_apps_cache"}'
  '{"id":9,"method":"shutdown"}'
)
{
  for r in "${requests[@]}"; do
    printf '>> %s\n' "$r" >&2
    printf '%s\n' "$r"
    sleep 0.3
  done
  sleep 1
} | "${core[@]}" 2> >(sed 's/^/log: /' >&2) | sed 's/^/<< /'
echo "core exited with code ${PIPESTATUS[1]}"
