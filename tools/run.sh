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

if [ -z "${DISPLAY:-}" ]; then
  echo "No DISPLAY: Zelvo runs on a virtual display (Xvfb); a screenshot is saved every 5 s to $root/build/run/screen.png."
  exec env ZELVO_VIRTUAL_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

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

# The prefix's server remembers the display it first saw, so it is started
# here, on the display Zelvo uses, and stopped at the end.
tools/wine-run --prefix "$prefix" --init || exit 1
trap 'tools/wine-run --prefix "$prefix" --kill' EXIT
trap 'exit 130' INT TERM
# A browser installation leaves the toolbar key; the program only opens it.
# Wine's desktop draws a taskbar with a notification area only when asked to.
reg() { WINEPREFIX=$prefix WINEDEBUG=-all wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
reg 'HKCU\Software\Microsoft\Internet Explorer\Toolbar'
reg 'HKCU\Software\Wine\Explorer\Desktops\Zelvo' /v EnableShell /t REG_DWORD /d 1

if [ -n "${ZELVO_VIRTUAL_DISPLAY:-}" ]; then
  ( while sleep 5; do import -window root "$run/screen.png" 2>/dev/null; done ) &
  trap 'kill $! 2>/dev/null; tools/wine-run --prefix "$prefix" --kill' EXIT
fi

echo "Starting Zelvo from $progdir in a Wine desktop (1024x768); its icon is in the taskbar's notification area."
echo "Exit it from the tray menu (right click the icon, Exit), or press Ctrl-C here."
cd "$progdir" || exit 1
"$root/tools/wine-run" --prefix "$prefix" --live explorer /desktop=Zelvo,1024x768 zelvo.exe "$@"
