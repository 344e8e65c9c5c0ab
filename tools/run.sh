#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine (on a virtual display
# when there is no DISPLAY). Installs missing packages first.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD

# shellcheck source=tools/deps.sh
. tools/deps.sh
zelvo_install "${ZELVO_RUN_PACKAGES[@]}" || exit 1

cmake --preset windows || exit 1
cmake --build --preset windows || exit 1

exe=$root/build/windows/app/zelvo.exe
if [ ! -f "$exe" ]; then
  echo "Everything is built, but the program itself is not there yet: $exe is not part of the tree so far."
  exit 0
fi

prefix=$root/build/windows/wineprefix
if [ -n "${DISPLAY:-}" ]; then
  exec tools/wine-run --prefix "$prefix" --live "$exe" "$@"
fi
echo "No DISPLAY: starting Zelvo on a virtual display (Xvfb); Ctrl-C stops it."
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" --prefix "$2" --live "${@:3}"
  rc=$?
  "$1" --prefix "$2" --kill
  exit $rc' run "$root/tools/wine-run" "$prefix" "$exe" "$@"
