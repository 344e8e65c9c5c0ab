#!/usr/bin/env bash
# Takes the README's screenshots of Zelvo: docs/screenshots/quick-tip.png,
# settings.png, about.png and tray-menu.png. Installs missing packages first.
#
#   bash tools/screenshots.sh
#
# Builds zelvo.exe and the window driver zctl.exe in build/shots, makes a fresh
# Wine prefix there and runs Zelvo from build/shots/Zelvo on a virtual display
# of its own (Xvfb), inside a Wine desktop with a taskbar. Four skins, pictures
# in four formats, are added through the program's own Add button and file
# dialog. Each picture is cut to the windows it shows plus a margin. The
# whole screen of the last picture taken is left in build/shots/screen.png,
# the programs' messages in build/shots/wine.log.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD

if [ -z "${ZELVO_SHOTS_XVFB:-}" ]; then
  # shellcheck source=tools/deps.sh
  . tools/deps.sh
  zelvo_install "${ZELVO_RUN_PACKAGES[@]}" || exit 1
  # A display of the desktop's size; xvfb-run stops it when the script ends.
  exec env ZELVO_SHOTS_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

shots=$root/build/shots
out=$root/docs/screenshots
prefix=$shots/prefix
progdir=$shots/Zelvo
pictures=$shots/pictures
zctl=$shots/tools/zctl/zctl.exe
log=$shots/wine.log
desktop=Zelvo
screen_width=1024
screen_height=768
margin=16

fail() {
  echo "screenshots: $*" >&2
  exit 1
}

cmake --preset windows -B "$shots" >/dev/null || fail "configuring $shots failed"
cmake --build "$shots" --target zelvo zctl || fail "building failed"

wine_run() { "$root/tools/wine-run" --prefix "$prefix" "$@"; }

# A server left behind by an interrupted run goes before its prefix does.
wine_run --kill
rm -rf "$prefix" "$progdir" "$pictures"
mkdir -p "$shots" "$out" "$progdir" "$pictures" || exit 1
: >"$log"
wine_run --init || fail "could not make the Wine prefix $prefix"
# The prefix is made afresh by every run and is large.
trap 'wine_run --kill; rm -rf "$prefix"' EXIT
trap 'exit 130' INT TERM

# Wine's desktop draws a taskbar with a notification area only when asked to;
# a browser installation leaves the toolbar key, which the program only opens.
wine_run reg add 'HKCU\Software\Wine\Explorer\Desktops\Zelvo' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null ||
  fail "could not switch the taskbar on"
wine_run reg add 'HKCU\Software\Microsoft\Internet Explorer\Toolbar' /f >/dev/null || fail "could not make the toolbar key"

cp "$shots/app/zelvo.exe" "$shots/app/tips.txt" "$shots/app/help.html" "$progdir/" || exit 1
# Skins from pictures in four formats.
convert -size 160x120 gradient:'#ffd27f'-'#e0523f' "BMP3:$pictures/sunset.bmp" &&
  convert -seed 7 -size 160x120 plasma:fractal -blur 0x1 "$pictures/plasma.gif" &&
  convert rose: -resize 160x120 "$pictures/rose.pcx" &&
  convert -size 64x64 tile:granite: "$pictures/granite.ico" || fail "could not draw the pictures"
skins=("$pictures/sunset.bmp" "$pictures/plasma.gif" "$pictures/rose.pcx" "$pictures/granite.ico")

# Programs started in the desktop; their output goes to the log.
in_desktop() { wine_run explorer "/desktop=$desktop,${screen_width}x$screen_height" "$@" </dev/null >>"$log" 2>&1 & }
# zctl's answers end their lines with CR LF.
z() { wine_run "$zctl" --desktop "$desktop" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# shot NAME LEFT TOP RIGHT BOTTOM: the screen inside that rectangle widened
# by the margin, as docs/screenshots/NAME.png. PNG time stamps are left out,
# so an unchanged picture gives an unchanged file.
shot() {
  local name=$1 left=$(($2 - margin)) top=$(($3 - margin)) right=$(($4 + margin)) bottom=$(($5 + margin))
  ((left < 0)) && left=0
  ((top < 0)) && top=0
  ((right > screen_width)) && right=$screen_width
  ((bottom > screen_height)) && bottom=$screen_height
  # Until the windows have painted.
  sleep 1
  import -window root "$shots/screen.png" || fail "could not take a picture of the screen"
  convert "$shots/screen.png" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage -strip \
    -define png:exclude-chunks=date,time "$out/$name.png" || fail "could not write $out/$name.png"
  echo "wrote $out/$name.png"
}

# Wine ends its desktop a few seconds after Zelvo starts although Zelvo still
# runs in it (it goes when the program's helper threads end); a program
# that stays in the desktop keeps it open.
(cd "$shots" && in_desktop "$zctl" hold 900)
(cd "$progdir" && in_desktop zelvo.exe)

# A fresh profile: the Quick Tip comes first.
z wait "  Quick Tip" 60 || fail "no Quick Tip at start-up"
z activate "  Quick Tip" || exit 1
box=$(z rect "  Quick Tip") || exit 1
# shellcheck disable=SC2086
shot quick-tip $box
z click "  Quick Tip" 1 && z gone "  Quick Tip" || fail "the Quick Tip did not close"

z wait Zelvo 30 || fail "no settings window"
z click Zelvo 1002 || exit 1
z file-dialog Zelvo "${skins[@]}" || exit 1
# One line per skin in the skin list once all are added.
for ((i = 0; i < 100; i++)); do
  [ "$(grep -c '=' "$progdir/images.ini" 2>/dev/null)" = "${#skins[@]}" ] && break
  sleep 0.2
done
[ "$(grep -c '=' "$progdir/images.ini" 2>/dev/null)" = "${#skins[@]}" ] || fail "the skins were not all added"
z activate Zelvo || exit 1
box=$(z rect Zelvo) || exit 1
# shellcheck disable=SC2086
shot settings $box

z command Zelvo 57664 || exit 1
z wait "About Zelvo" || fail "no About box"
box=$(z rect Zelvo) && read -r l1 t1 r1 b1 <<<"$box" || exit 1
box=$(z rect "About Zelvo") && read -r l2 t2 r2 b2 <<<"$box" || exit 1
shot about $((l1 < l2 ? l1 : l2)) $((t1 < t2 ? t1 : t2)) $((r1 > r2 ? r1 : r2)) $((b1 > b2 ? b1 : b2))
z click "About Zelvo" 1 && z gone "About Zelvo" || fail "the About box did not close"

# Into the tray, then the icon's menu, with some of the taskbar beside it.
z command Zelvo 1004 || exit 1
menu=$(z tray-menu zelvo.exe) || fail "no tray menu"
read -r left top _ _ <<<"$menu"
shot tray-menu $((left - 120)) "$top" "$screen_width" "$screen_height"
z menu-key ESCAPE || exit 1

z command Zelvo 32771 && z gone Zelvo || fail "Zelvo did not exit"
