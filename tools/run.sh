#!/usr/bin/env bash
# Builds Zelvo and starts it under Wine inside a Wine desktop with a taskbar,
# so its window and its tray icon can be seen. Installs missing packages first.
#
#   bash tools/run.sh [ARGS...]      ARGS go to zelvo.exe (e.g. -min)
#
# The program lives in build/run/Zelvo (its skins and images.ini stay there
# between runs) with a Wine prefix of its own, build/run/wineprefix. With no
# DISPLAY it runs on a virtual display and saves a screenshot every few
# seconds to build/run/screen.png.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD

# shellcheck source=tools/deps.sh
. tools/deps.sh
zelvo_install "${ZELVO_RUN_PACKAGES[@]}" || exit 1

cmake --preset windows >/dev/null || exit 1
cmake --build --preset windows --target zelvo || exit 1

run=$root/build/run
prefix=$run/wineprefix
progdir=$run/Zelvo
mkdir -p "$progdir"
cp build/windows/app/zelvo.exe res/tips.txt res/help.html "$progdir/" || exit 1

# Everything below runs on the display Zelvo will use: the prefix's server
# remembers the display it first saw.
start() {
  local wine_run=$1/tools/wine-run prefix=$2 progdir=$3
  shift 3
  "$wine_run" --prefix "$prefix" --init || return 1
  # A browser installation leaves this key; the program only opens it.
  WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Microsoft\Internet Explorer\Toolbar' /f \
    </dev/null >/dev/null 2>&1
  cd "$progdir" || return 1
  echo "Starting Zelvo from $progdir in a Wine desktop (1024x768); its icon is in the taskbar's notification area."
  echo "Exit it from the tray menu (right click the icon, Exit), or press Ctrl-C here."
  "$wine_run" --prefix "$prefix" --live explorer /desktop=Zelvo,1024x768 zelvo.exe "$@"
}

if [ -n "${DISPLAY:-}" ]; then
  start "$root" "$prefix" "$progdir" "$@"
  exit $?
fi

echo "No DISPLAY: Zelvo runs on a virtual display (Xvfb); a screenshot is saved every 5 s to $run/screen.png."
export -f start
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  ( while sleep 5; do import -window root "$4/screen.png" 2>/dev/null; done ) &
  shooter=$!
  start "$1" "$2" "$3" "${@:5}"
  rc=$?
  kill $shooter 2>/dev/null
  "$1/tools/wine-run" --prefix "$2" --kill
  exit $rc' run "$root" "$prefix" "$progdir" "$run" "$@"
