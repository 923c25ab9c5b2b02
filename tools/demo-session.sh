#!/usr/bin/env bash
# A scripted front-end session against the core: it connects a tunnel through the engine double
# (a stand-in for the engine, built beside the core) with a share link whose server is
# 127.0.0.1, so nothing is looked up beyond this machine; then it reads the traffic totals,
# changes the routing of the running tunnel in place ("reload"), disconnects and shuts the core
# down. The requests go to the core's standard input one by one;
# its answers and events (standard output) and its log (standard error) are shown as they come.
# Pass "windows" to run kestcore.exe under Wine instead of the native build.
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
# The core's data folder (the engine configuration goes there). Wine keeps its own APPDATA.
APPDATA=$(mktemp -d /tmp/kest-demo.XXXXXX)
export APPDATA
trap 'rm -rf "$APPDATA"' EXIT
# What the engine double reports as the tunnel's traffic totals.
export KEST_DOUBLE_CONNECTIONS_BODY='{"downloadTotal":1048576,"uploadTotal":65536,"connections":[]}'

link='vless://0f1e2d3c-0000-4000-8000-000000000001@127.0.0.1:443?security=tls&sni=demo.example#demo'
# Each request with the seconds to wait before the next one.
requests=(
  '0.3' '{"id":1,"method":"ping"}'
  '3'   '{"id":2,"method":"connect","params":{"link":"'"$link"'","mode":"everywhere","apps":[],"sites":["example.com","telegram","10.0.0.0/8"]}}'
  '0.3' '{"id":3,"method":"is_connected"}'
  '0.5' '{"id":4,"method":"traffic"}'
  '1'   '{"id":5,"method":"connect","params":{"link":"'"$link"'","mode":"everywhere","apps":[],"sites":["example.org"],"reload":true}}'
  '2'   '{"id":6,"method":"disconnect"}'
  '0.3' '{"id":7,"method":"is_connected"}'
  '0.3' '{"id":8,"method":"connect","params":null}'
  '1'   '{"id":9,"method":"shutdown"}'
)
{
  for ((i = 0; i < ${#requests[@]}; i += 2)); do
    printf '>> %s\n' "${requests[i + 1]}" >&2
    printf '%s\n' "${requests[i + 1]}"
    sleep "${requests[i]}"
  done
} | "${core[@]}" 2> >(sed -u 's/^/log: /' >&2) | sed -u 's/^/<< /'
echo "core exited with code ${PIPESTATUS[1]}"
