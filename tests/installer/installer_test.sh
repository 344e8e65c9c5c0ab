#!/usr/bin/env bash
# Installs Zelvo into a fresh Wine prefix, runs the installed program, then
# uninstalls it twice: once removing the skins, once keeping them, and checks
# what each step leaves behind.
#
#   installer_test.sh SETUP PROBE PREFIX ZELVO_EXE RES_DIR
#
# SETUP is zelvo-setup.exe, PROBE installer_probe.exe, PREFIX a folder for the
# prefix (made afresh), ZELVO_EXE the program the setup holds, RES_DIR res/.
# Runs inside an X display (xvfb-run). The prefix's server, and with it every
# program started here, is stopped on exit, whatever the outcome; the prefix
# is deleted when every check passed.
set -u

[ $# -eq 5 ] || { sed -n '6p' "$0" >&2; exit 2; }
setup=$1 probe=$2 prefix=$3 zelvo_exe=$4 res=$5
wine_run=$(cd "$(dirname "$0")/../../tools" && pwd)/wine-run

failures=0
pass() { echo "ok   $1"; }
fail() { echo "FAIL $1${2:+: $2}"; failures=$((failures + 1)); }
# check DESCRIPTION COMMAND...: the command's success is the check.
check() {
  if "${@:2}"; then pass "$1"; else fail "$1"; fi
}
# expect DESCRIPTION ACTUAL EXPECTED
expect() {
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1" "got [$2], expected [$3]"; fi
}

stop_prefix() { "$wine_run" --prefix "$prefix" --kill; }
trap stop_prefix EXIT
trap 'exit 130' INT TERM

in_prefix() { "$wine_run" --prefix "$prefix" "$@"; }
win_path() { local p=${1//\//\\}; echo "Z:$p"; }
# Value of a registry value under HKCU, or nothing (status 1) when absent.
reg_value() {
  in_prefix reg query "HKCU\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -F'    ' -v name="$2" 'tolower($2) == tolower(name) { print $4; found = 1 } END { exit !found }'
}
reg_set() { in_prefix reg add "HKCU\\$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null 2>&1; }
no_key() { ! in_prefix reg query "HKCU\\$1" >/dev/null 2>&1; }
no_value() { ! reg_value "$1" "$2" >/dev/null; }
lower() { tr '[:upper:]' '[:lower:]' <<<"$1"; }
crlf() { printf '%s\r\n' "$@"; }

# A fresh prefix: the test must see what a first install sees.
stop_prefix
if [ -e "$prefix/.zelvo-owned" ]; then rm -rf "$prefix"; fi
"$wine_run" --prefix "$prefix" --init || { echo "FAIL cannot make the Wine prefix $prefix"; exit 1; }

user=$(ls "$prefix/drive_c/users" | grep -vx Public | head -n 1)
home_win="C:\\users\\$user"
folder_win="$home_win\\AppData\\Local\\Programs\\Zelvo"
folder="$prefix/drive_c/users/$user/AppData/Local/Programs/Zelvo"
shortcut="$prefix/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zelvo.lnk"
shortcut_win="$home_win\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Zelvo.lnk"
uninst_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelvo'
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
toolbar_key='Software\Microsoft\Internet Explorer\Toolbar'
# Zelvo names its skins with the folder part in lower case.
skin_folder_win=$(lower "$folder_win")
pictures="$prefix/drive_c/users/$user/Pictures"
outside_win="$home_win\\Pictures\\mine.bmp"

install() {
  check "$1: silent install ends with status 0" in_prefix "$probe" run 120 "$(win_path "$setup")" /S
}

# start_zelvo LABEL WINDOW [ARGS...]: starts the installed Zelvo and waits
# for the window it shows first.
start_zelvo() {
  in_prefix "$folder_win\\zelvo.exe" "${@:3}" &
  zelvo_pid=$!
  check "$1: installed Zelvo runs" in_prefix "$probe" window 30 "$2"
}

# Waits for the Zelvo started by start_zelvo; fails when it does not end.
zelvo_ended() {
  local i
  for i in $(seq 50); do
    kill -0 "$zelvo_pid" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

# A 1 x 1 24-bit Windows bitmap.
pixel_bmp() {
  printf 'BM\x3a\0\0\0\0\0\0\0\x36\0\0\0'
  printf '\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0'
  printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
  printf '\xff\x80\0\0'
}

# The program's own data, as Zelvo leaves it: two skins in its folder and
# one list line naming a picture elsewhere, which no uninstall may touch.
# A running Zelvo writes the last line to the toolbar values: a skin.
make_skins() {
  local bmp
  mkdir -p "$pictures"
  for bmp in "$pictures/mine.bmp" "$folder/Blue Sky.bmp" "$folder/dots.bmp"; do
    pixel_bmp >"$bmp"
  done
  crlf '[Images]' "mine=$outside_win" "Blue Sky=$skin_folder_win\\Blue Sky.bmp" \
    "dots=$skin_folder_win\\dots.bmp" >"$folder/images.ini"
}

# Zelvo's Quick Tip settings file; arguments are more lines to write into it.
tip_profile() { find "$prefix/drive_c/windows" -maxdepth 1 -iname zelvo.ini | head -n 1; }
make_tip_profile() {
  local file
  file=$(tip_profile)
  file=${file:-$prefix/drive_c/windows/ZELVO.INI}
  crlf '[Tip]' 'StartUp=0' 'FilePos=0' "$@" >"$file"
}

# Runs the registered quiet uninstall command ("path" /S), plus more switches.
uninstall() {
  local listing quiet exe
  listing=$(in_prefix reg query "HKCU\\$uninst_key" /v QuietUninstallString 2>&1 | tr -d '\r')
  quiet=$(awk -F'    ' '$2 == "QuietUninstallString" { print $4 }' <<<"$listing")
  if [ -z "$quiet" ]; then
    fail "$1: the Uninstall entry names the quiet uninstall command" "$listing"
    return
  fi
  exe=${quiet#\"}
  exe=${exe%%\"*}
  read -ra switches <<<"${quiet##*\"}"
  check "$1: silent uninstall ends" in_prefix "$probe" run 120 "$exe" "${switches[@]}" "${@:2}"
}

first_tip=$(grep -v -e '^;' -e '^[[:space:]]' "$res/tips.txt" | tr -d '\r' | grep -m 1 .)

# --- Round 1: install, use, uninstall removing everything -------------------
install "install"
for f in zelvo.exe:"$zelvo_exe" tips.txt:"$res/tips.txt" help.html:"$res/help.html"; do
  check "install: ${f%%:*} is the packaged file" cmp -s "$folder/${f%%:*}" "${f#*:}"
done
check "install: uninstaller in the program folder" test -f "$folder/uninstall.exe"

check "install: Start menu shortcut" test -f "$shortcut"
mapfile -t lnk < <(in_prefix "$probe" shortcut "$shortcut_win" | tr -d '\r')
expect "install: shortcut target" "${lnk[0]:-}" "$folder_win\\zelvo.exe"
expect "install: shortcut starts in the program folder" "${lnk[1]:-}" "$folder_win"

while IFS='|' read -r name value; do
  expect "install: Uninstall entry $name" "$(reg_value "$uninst_key" "$name")" "$value"
done <<EOF
DisplayName|Zelvo
DisplayVersion|1.11
Publisher|Zelvo
DisplayIcon|$folder_win\\zelvo.exe
UninstallString|"$folder_win\\uninstall.exe"
QuietUninstallString|"$folder_win\\uninstall.exe" /S
InstallLocation|$folder_win
NoModify|0x1
NoRepair|0x1
EOF
size=$(reg_value "$uninst_key" EstimatedSize)
check "install: Uninstall entry EstimatedSize ($size) counts the files in KiB" \
  test $((size)) -ge $(($(stat -c %s "$zelvo_exe") / 1024))

tip=$(in_prefix "$probe" tip 30 "$folder_win\\zelvo.exe" "$home_win" | tr -d '\r')
expect "run: started elsewhere, Zelvo shows the first tip of its tips.txt" "$tip" "$first_tip"

make_skins
make_tip_profile
reg_set "$run_key" Zelvo "\"$folder_win\\zelvo.exe\" -min"
reg_set "$toolbar_key" BackBitmap "$skin_folder_win\\Blue Sky.bmp"
reg_set "$toolbar_key" BackBitmapShell "$skin_folder_win\\dots.bmp"
start_zelvo "uninstall" Zelvo -min
uninstall "uninstall"
check "uninstall: the running Zelvo was ended" zelvo_ended
check "uninstall: program folder removed" test ! -e "$folder"
check "uninstall: shortcut removed" test ! -e "$shortcut"
check "uninstall: Uninstall entry removed" no_key "$uninst_key"
for value in "$run_key|Zelvo" "$toolbar_key|BackBitmap" "$toolbar_key|BackBitmapShell"; do
  check "uninstall: ${value#*|} removed" no_value "${value%|*}" "${value#*|}"
done
check "uninstall: Quick Tip settings file removed" test -z "$(tip_profile)"
check "uninstall: a listed picture outside the program folder stays" test -f "$pictures/mine.bmp"

# --- Round 2: upgrade over a running Zelvo, uninstall keeping the skins ------
install "reinstall"
make_skins
# Still at its start-up Quick Tip: its main window does not exist yet.
start_zelvo "upgrade" "  Quick Tip"
install "upgrade"
check "upgrade: the running Zelvo was ended" zelvo_ended
check "upgrade: program in place" cmp -s "$folder/zelvo.exe" "$zelvo_exe"

make_tip_profile '[Other]' 'Kept=1'
other_run="C:\\Tools\\zelvo.exe -min"
reg_set "$run_key" Zelvo "$other_run"
reg_set "$toolbar_key" BackBitmap "$outside_win"
reg_set "$toolbar_key" BackBitmapShell "$skin_folder_win\\dots.bmp"
uninstall "keep skins" /KEEPSKINS
expect "keep skins: the folder holds exactly the skins" \
  "$(cd "$folder" 2>/dev/null && ls | tr '\n' '|')" "Blue Sky.bmp|dots.bmp|images.ini|"
check "keep skins: shortcut removed" test ! -e "$shortcut"
check "keep skins: Uninstall entry removed" no_key "$uninst_key"
expect "keep skins: another program's Run value stays" "$(reg_value "$run_key" Zelvo)" "$other_run"
expect "keep skins: BackBitmap naming a picture elsewhere stays" \
  "$(reg_value "$toolbar_key" BackBitmap)" "$outside_win"
check "keep skins: BackBitmapShell naming a skin removed" no_value "$toolbar_key" BackBitmapShell
profile=$(tip_profile)
check "keep skins: the rest of the settings file stays" grep -q '^Kept=1' "${profile:-/dev/null}"
check "keep skins: Quick Tip settings removed" test -z "$(grep -i '^\[Tip\]' "${profile:-/dev/null}")"

# --- Round 3: the uninstaller asks, the user keeps the skins ----------------
install "ask"
in_prefix "$probe" run 120 "$folder_win\\uninstall.exe" &
uninstaller=$!
wizard="Zelvo 1.11 Uninstall"
check "ask: confirm the uninstall" in_prefix "$probe" click 60 "$wizard" 1
check "ask: answer Yes to keeping the skins" in_prefix "$probe" click 60 "$wizard" 6
check "ask: close the finished uninstaller" in_prefix "$probe" click 60 "$wizard" 1
check "ask: the uninstaller ends" wait "$uninstaller"
expect "ask: the folder holds exactly the skins" \
  "$(cd "$folder" 2>/dev/null && ls | tr '\n' '|')" "Blue Sky.bmp|dots.bmp|images.ini|"

echo "$failures failed"
if [ "$failures" -eq 0 ]; then
  stop_prefix
  rm -rf "$prefix"
fi
[ "$failures" -eq 0 ]
