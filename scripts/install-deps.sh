#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the Windows cross build
# and the fuzzers need, when any is missing (apt-get update first).
set -euo pipefail
packages=(
  cmake ninja-build g++ ccache python3
  libgtest-dev googletest libbenchmark-dev libabsl-dev libxxhash-dev libicu-dev libfmt-dev
  liburiparser-dev libasio-dev libtbb-dev libstb-dev
  g++-mingw-w64-x86-64-posix wine64
  clang-14 libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
