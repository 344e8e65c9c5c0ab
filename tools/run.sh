#!/usr/bin/env bash
# Builds Zelvo and starts it under Wine inside a Wine desktop with a taskbar,
# so its window and its tray icon can be seen. Installs missing packages first.
#
#   bash tools/run.sh [ARGS...]      ARGS go to zelvo.exe (e.g. -min)
#   bash tools/run.sh --demo         shows Zelvo's job step by step (tools/demo.sh)
#
# The program lives in build/run/Zelvo (its skins and images.ini stay there
# between runs) with a Wine prefix of its own, build/run/wineprefix, in which
# the event source for new shell windows is registered. With no DISPLAY it
# runs on a virtual display and saves a screenshot every few seconds to
# build/run/screen.png.
#
# --demo gives Zelvo three sample skins, opens four Explorer windows one after
# another and shows how the toolbar values follow, with screenshots in
# build/demo; it uses a fresh program folder and prefix of its own there, and
# exits 0 only when the values were exactly as expected.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD

demo=0
if [ "${1:-}" = --demo ]; then
  [ $# -eq 1 ] || { echo "run.sh: --demo takes no arguments" >&2; exit 2; }
  demo=1
fi

if [ -z "${DISPLAY:-}" ]; then
  if [ "$demo" = 1 ]; then
    echo "No DISPLAY: the demo runs on a virtual display (Xvfb); see its screenshots in $root/build/demo."
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
  fi
  echo "No DISPLAY: Zelvo runs on a virtual display (Xvfb); a screenshot is saved every 5 s to $root/build/run/screen.png."
  exec env ZELVO_VIRTUAL_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

# shellcheck source=tools/deps.sh
. tools/deps.sh
zelvo_install "${ZELVO_RUN_PACKAGES[@]}" || exit 1

cmake --preset windows >/dev/null || exit 1
targets=(zelvo zelvo_shellwindows)
[ "$demo" = 1 ] && targets+=(zimage_tool zctl)
cmake --build --preset windows --target "${targets[@]}" || exit 1
shellwindows_dll=$root/build/windows/platform/wine/zelvo_shellwindows.dll

if [ "$demo" = 1 ]; then
  exec tools/demo.sh --zelvo build/windows/app/zelvo.exe --shellwindows "$shellwindows_dll" \
    --zimage build/windows/tools/zimage.exe --zctl build/windows/tools/zctl/zctl.exe --dir "$root/build/demo"
fi

run=$root/build/run
prefix=$run/wineprefix
progdir=$run/Zelvo
mkdir -p "$progdir"
cp build/windows/app/zelvo.exe res/tips.txt res/help.html "$progdir/" || exit 1

# The prefix's server remembers the display it first saw, so it is started
# here, on the display Zelvo uses, and stopped at the end.
tools/wine-run --prefix "$prefix" --init || exit 1
# The traps run after the cd into the program folder: full paths.
trap '"$root/tools/wine-run" --prefix "$prefix" --kill' EXIT
trap 'exit 130' INT TERM
# Wine's own shell window list never reports a new window; the event source
# does. Registering waits for the prefix's server to end (a server of its own
# ends sooner than the warm one), so it is done only when the prefix does not
# name this DLL yet.
registered=$(tools/wine-run --prefix "$prefix" reg query \
  'HKCR\CLSID\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\InprocServer32' /ve </dev/null 2>/dev/null |
  tr -d '\r' | awk -F'    ' '$3 == "REG_SZ" { print tolower($4) }')
dll_windows_path=$(tools/wine-run --prefix "$prefix" winepath -w "$shellwindows_dll" </dev/null 2>/dev/null |
  tr -d '\r' | tr '[:upper:]' '[:lower:]')
if [ "$registered" != "$dll_windows_path" ]; then
  echo "Registering the event source for new shell windows ($shellwindows_dll) in $prefix."
  tools/wine-run --prefix "$prefix" --kill
  tools/wine-shellwindows.sh register "$prefix" "$shellwindows_dll" || exit 1
  tools/wine-run --prefix "$prefix" --init || exit 1
fi
# A browser installation leaves the toolbar key; the program only opens it.
# Wine's desktop draws a taskbar with a notification area only when asked to.
reg() { WINEPREFIX=$prefix WINEDEBUG=-all wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
reg 'HKCU\Software\Microsoft\Internet Explorer\Toolbar'
reg 'HKCU\Software\Wine\Explorer\Desktops\Zelvo' /v EnableShell /t REG_DWORD /d 1

if [ -n "${ZELVO_VIRTUAL_DISPLAY:-}" ]; then
  ( while sleep 5; do import -window root "$run/screen.png" 2>/dev/null; done ) &
  trap 'kill $! 2>/dev/null; "$root/tools/wine-run" --prefix "$prefix" --kill' EXIT
fi

echo "Starting Zelvo from $progdir in a Wine desktop (1024x768); its icon is in the taskbar's notification area."
echo "Exit it from the tray menu (right click the icon, Exit), or press Ctrl-C here."
cd "$progdir" || exit 1
"$root/tools/wine-run" --prefix "$prefix" --live explorer /desktop=Zelvo,1024x768 zelvo.exe "$@"
