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
wine_host() {
  WINEPREFIX=$PWD/build/windows/.wineprefix WINEPATH="Z:${PWD//\//\\}\\build\\windows-install\\bin" \
    cmake/wine-run.sh build/windows-example/qxhost.exe "$@"
}
wine_host
wine_host --help
wine_host --trace --profile
status=0
wine_host -only [ progress ] --cancel-after 70 || status=$?
[ "$status" -eq 3 ] || { echo "qxhost.exe --cancel-after: exit status $status, not 3" >&2; exit 1; }
status=0
wine_host -nosuch || status=$?
[ "$status" -eq 2 ] || { echo "qxhost.exe -nosuch: exit status $status, not 2" >&2; exit 1; }
echo "=== fuzz smoke"
cmake --preset linux-fuzz
cmake --build --preset linux-fuzz
fuzz/run-smoke.sh build/linux-fuzz "${QXBASE_FUZZ_SECONDS:-10}"
echo "=== all tests passed"
