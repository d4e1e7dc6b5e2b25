#!/usr/bin/env bash
# Every test on both targets: Linux debug, ASan+UBSan, ThreadSanitizer (the
# threaded tests) and release, Windows under Wine, the installed-package
# example, and a short run of each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-2}
# linux-tsan builds and runs only the tests that use threads (label "threads").
for preset in linux-debug linux-asan linux-tsan linux-release windows; do
  echo "=== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
echo "=== installed package (Linux)"
scripts/run-example.sh
echo "=== installed package (Windows, under Wine)"
rm -rf build/windows-install
cmake --install build/windows --prefix build/windows-install
cmake -S examples -B build/windows-example -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -Dqxbase_DIR="$PWD/build/windows-install/lib/cmake/qxbase"
cmake --build build/windows-example
# One wine server for all the runs below, kept until the end: a run that
# starts just as an idle server exits is otherwise refused ("recvmsg:
# Connection reset by peer").
export WINEPREFIX=$PWD/build/windows/.wineprefix
wineserver -p
trap 'WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true' EXIT
# A hive file written by the Linux tests, imported with Wine's own regedit and
# read back value by value with reg query and regedit's export.
check=$(mktemp --suffix=.reg)
QX_REGEDIT_CHECK_FILE=$check build/linux-debug/bin/app_test \
  --gtest_filter=RegistryStore.WritesAFileForTheEditor
python3 scripts/regedit-check.py cmake/wine-run.sh "$check" \
  'HKEY_CURRENT_USER\Software\qxbase-regedit-check'
rm -f "$check"
wine_host() {
  WINEPATH="Z:${PWD//\//\\}\\build\\windows-install\\bin" \
    cmake/wine-run.sh build/windows-example/qxhost.exe "$@"
}
wine_host
wine_host --help
wine_host --trace --profile --moveable-mib 64
status=0
wine_host -only [ progress ] --cancel-after 70 || status=$?
[ "$status" -eq 3 ] || { echo "qxhost.exe --cancel-after: exit status $status, not 3" >&2; exit 1; }
wine_host run cmd /c echo started by qxhost.exe
key='HKEY_CURRENT_USER\Software\qxhost example'
wine_host reg set "$key" width 1280 -type dword
wine_host reg get "$key" width | tr -d '\r' | grep -q '^width (dword) = 1280$'
wine_host reg list "$key"
WINEPREFIX=$WINEPREFIX cmake/wine-run.sh reg delete "$key" /f >/dev/null
status=0
wine_host -nosuch || status=$?
[ "$status" -eq 2 ] || { echo "qxhost.exe -nosuch: exit status $status, not 2" >&2; exit 1; }
# The echo server and its client as two programs.
log=$(mktemp)
wine_host serve -clients 1 >"$log" &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$log"; WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true' EXIT
for _ in $(seq 300); do grep -q 'on port' "$log" && break; sleep 0.1; done
port=$(sed -n 's/^echo server on port \([0-9]*\).*/\1/p' "$log" | tr -d '\r')
wine_host send -port "$port" -count 100 -text "from another process"
wait "$server"
cat "$log"
rm -f "$log"
wineserver -k 2>/dev/null || true
trap - EXIT
unset WINEPREFIX
echo "=== fuzz smoke"
cmake --preset linux-fuzz
cmake --build --preset linux-fuzz
fuzz/run-smoke.sh build/linux-fuzz "${QXBASE_FUZZ_SECONDS:-10}"
echo "=== all tests passed"
