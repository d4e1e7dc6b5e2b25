#!/usr/bin/env bash
# The main job: build qxbase, install it into ./_install, build the example
# host program in examples/ against the installed package, and run it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
prefix=$PWD/_install
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DQXBASE_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX="$prefix"
cmake --build build/package
rm -rf "$prefix"
cmake --install build/package
cmake -S examples -B build/example -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix"
cmake --build build/example
# The registry lives in files on Linux: a directory of this run's own.
QX_REGISTRY_DIR=$(mktemp -d)
export QX_REGISTRY_DIR
trap 'rm -rf "$QX_REGISTRY_DIR"' EXIT
build/example/qxhost
# The tool's own usage, and a bad option: its message and exit status 2.
build/example/qxhost --help
# The walk's trace and each demonstration's share of the time (with a
# smaller moveable stream: the full 2 GiB ran above).
build/example/qxhost --trace --profile --moveable-mib 64
# A cancelled progress demonstration: reported, cleaned up, exit status 3.
status=0
build/example/qxhost -only [ progress ] --cancel-after 70 || status=$?
[ "$status" -eq 3 ] || { echo "qxhost --cancel-after: exit status $status, not 3" >&2; exit 1; }
# A program started through the library, its exit code reported.
build/example/qxhost run echo started by qxhost
status=0
build/example/qxhost -nosuch || status=$?
[ "$status" -eq 2 ] || { echo "qxhost -nosuch: exit status $status, not 2" >&2; exit 1; }
# A setting written, read back and listed through the registry subcommands.
key='HKEY_CURRENT_USER\Software\qxhost example'
build/example/qxhost reg set "$key" width 1280 -type dword
build/example/qxhost reg get "$key" width | grep -q '^width (dword) = 1280$'
build/example/qxhost reg list "$key"
status=0
build/example/qxhost reg get "$key" nosuch || status=$?
[ "$status" -eq 1 ] || { echo "qxhost reg get of a missing value: exit status $status, not 1" >&2; exit 1; }
# The echo server and its client as two programs; the server's first line
# names the port it chose.
log=$(mktemp)
build/example/qxhost serve -clients 1 >"$log" &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$log"; rm -rf "$QX_REGISTRY_DIR"' EXIT
for _ in $(seq 100); do grep -q 'on port' "$log" && break; sleep 0.1; done
port=$(sed -n 's/^echo server on port \([0-9]*\).*/\1/p' "$log")
build/example/qxhost send -port "$port" -count 100 -text "from another process"
wait "$server"
cat "$log"
