#!/usr/bin/env bash
# Runs a Windows executable under Wine, with the mingw runtime DLLs on the
# search path and, unless WINEPREFIX is set, a private prefix in the build
# tree that holds the executable (the directory with CMakeCache.txt).
set -e
if [ -z "${WINEPREFIX:-}" ]; then
  d=$(cd "$(dirname "$1")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  [ "$d" = / ] && d=$(cd "$(dirname "$1")" && pwd)
  export WINEPREFIX=$d/.wineprefix
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
cxx=x86_64-w64-mingw32-g++-posix
rt1=$(cd "$(dirname "$($cxx -print-file-name=libstdc++-6.dll)")" && pwd)
rt2=$(cd "$(dirname "$($cxx -print-file-name=libwinpthread-1.dll)")" && pwd)
# WINEPATH takes Windows paths; Z: is the Unix root.
export WINEPATH="Z:${rt1//\//\\};Z:${rt2//\//\\}${WINEPATH:+;$WINEPATH}"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
# Create the prefix once, under a lock, so parallel tests do not race to do it.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      "$(dirname "$wine")/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
