#!/usr/bin/env bash
# Shows, step by step, what Zelvo is for: every newly opened Explorer window
# gets the next skin. Three skins are loaded, four Explorer windows are opened
# and closed one after another, and the toolbar values Zelvo writes are read
# after each step; a screenshot is saved after each step.
#
#   demo.sh --zelvo EXE --shellwindows DLL --zimage EXE --zctl EXE --dir DIR [--prefix DIR]
#
# EXE and DLL are the built zelvo.exe, zelvo_shellwindows.dll, zimage.exe
# and zctl.exe. DIR receives a fresh program folder (DIR/Zelvo), the sample
# pictures (DIR/pictures), the screenshots (DIR/*.png) and the programs'
# messages (DIR/wine.log). The Wine prefix (default DIR/wineprefix) is made
# afresh, and deleted when all went well. Needs an X display (DISPLAY).
# Exits 0 when the values were S3, S2, S3, S1, S2; 1 when anything differed,
# after saying what; 2 on misuse.
set -u -o pipefail

usage() {
  sed -n '7,15s/^# \{0,1\}//p' "$0" >&2
  exit 2
}

zelvo_exe='' shellwindows_dll='' zimage_exe='' zctl_exe='' dir='' prefix=''
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --zelvo) zelvo_exe=$2 ;;
    --shellwindows) shellwindows_dll=$2 ;;
    --zimage) zimage_exe=$2 ;;
    --zctl) zctl_exe=$2 ;;
    --dir) dir=$2 ;;
    --prefix) prefix=$2 ;;
    *) usage ;;
  esac
  shift 2
done
for value in "$zelvo_exe" "$shellwindows_dll" "$zimage_exe" "$zctl_exe" "$dir"; do
  [ -n "$value" ] || usage
done

tools=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "FAILED: $*"
  exit 1
}
for file in "$zelvo_exe" "$shellwindows_dll" "$zimage_exe" "$zctl_exe"; do
  [ -f "$file" ] || fail "$file not found; build it first"
done
[ -n "${DISPLAY:-}" ] || fail "no X display (DISPLAY is not set)"
for program in convert import; do
  command -v "$program" >/dev/null || fail "$program not found (apt-get install imagemagick)"
done

mkdir -p "$dir" || exit 1
dir=$(cd "$dir" && pwd)
prefix=${prefix:-$dir/wineprefix}
mkdir -p "$(dirname "$prefix")" || exit 1
# The form tools/wine-run gives the prefix, as its programs see it.
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
progdir=$dir/Zelvo
pictures=$dir/pictures
log=$dir/wine.log
desktop=Zelvo
desktop_size=1024x768
toolbar_key='HKCU\Software\Microsoft\Internet Explorer\Toolbar'
# The browser's command line, also as its process shows it.
browser=(explorer.exe 'C:\windows')
browser_title=windows
exit_command=32771
sc_close=0xF060

wine_run() { "$tools/wine-run" --prefix "$prefix" "$@"; }
# in_desktop DIR PROGRAM [ARGS...]: starts PROGRAM from DIR inside Zelvo's
# Wine desktop: window hooks, and so the event source, only see windows of
# their own desktop.
in_desktop() {
  (cd "$1" && wine_run explorer "/desktop=$desktop,$desktop_size" "${@:2}" </dev/null >>"$log" 2>&1) &
}
zctl() { wine_run "$zctl_exe" --desktop "$desktop" "$@" </dev/null 2>>"$log" | tr -d '\r'; }
win_path() { wine_run winepath -w "$1" </dev/null 2>>"$log" | tr -d '\r'; }
joined() {
  local IFS=,
  local text="$*"
  echo "${text//,/, }"
}
lower() { tr '[:upper:]' '[:lower:]' <<<"$1"; }
crlf() { printf '%s\r\n' "$@"; }

# Unix ids of the prefix's processes whose command line is exactly the
# arguments, as Wine shows Windows command lines (the words NUL-separated).
processes() {
  local want="$*" pid word line entry
  local -a words environment
  for pid in $(pgrep -x -- "$1"); do
    mapfile -d '' -t words <"/proc/$pid/cmdline" 2>/dev/null || continue
    line=
    for word in "${words[@]}"; do
      [ -n "$word" ] && line+="${line:+ }$word"
    done
    [ "$line" = "$want" ] || continue
    mapfile -d '' -t environment <"/proc/$pid/environ" 2>/dev/null || continue
    for entry in "${environment[@]}"; do
      [ "$entry" = "WINEPREFIX=$prefix" ] && echo "$pid"
    done
  done
}
# until_true SECONDS COMMAND...: polls COMMAND until it succeeds, for at most SECONDS.
until_true() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}
# Succeeds when none of the processes whose ids are given runs any more.
ended() {
  local pid
  for pid; do
    ! kill -0 "$pid" 2>/dev/null || return 1
  done
}

# Reads BackBitmap and BackBitmapShell into back_bitmap and back_bitmap_shell
# ("(none)" when a value is absent).
read_values() {
  local listing
  listing=$(wine_run reg query "$toolbar_key" </dev/null 2>>"$log" | tr -d '\r')
  back_bitmap=$(awk -F'    ' 'tolower($2) == "backbitmap" { print $4; found = 1 } END { if (!found) print "(none)" }' <<<"$listing")
  back_bitmap_shell=$(awk -F'    ' 'tolower($2) == "backbitmapshell" { print $4; found = 1 } END { if (!found) print "(none)" }' <<<"$listing")
}
# Succeeds once both values are equal and no longer $1; a rotation step
# writes one and then the other.
values_moved_from() {
  read_values
  [ "$back_bitmap" = "$back_bitmap_shell" ] && [ "$back_bitmap" != "$1" ]
}

# The skins: name, picture file, colours of the gradient.
names=("S1 Ocean" "S2 Sunset" "S3 Forest")
files=("S1 Ocean.gif" "S2 Sunset.pcx" "S3 Forest.tga")
formats=(GIF PCX TGA)
gradients=('#0d47a1-#4fc3f7' '#ffd54f-#d84315' '#a5d6a7-#1b5e20')
skin_paths=()

# "S2 Sunset" for a skin's path, else the value itself.
skin_name() {
  local i
  for i in "${!skin_paths[@]}"; do
    [ "$1" = "${skin_paths[i]}" ] && { echo "${names[i]}"; return; }
  done
  echo "$1"
}

shot_count=0
# screenshot NAME CAPTION: saves the Wine desktop as DIR/<n>-NAME.png with
# CAPTION written under it.
screenshot() {
  local file raw
  shot_count=$((shot_count + 1))
  file="$dir/$shot_count-$1.png"
  raw="$dir/.screen.png"
  # The desktop's own X window, so that nothing else on a real screen is taken.
  if ! import -window "$desktop - Wine desktop" "$raw" 2>>"$log"; then
    import -window root "$raw" 2>>"$log" || { echo "        (no screenshot: import failed)"; return; }
  fi
  convert "$raw" -background '#202020' -fill white -gravity South -splice 0x44 -pointsize 18 \
    -annotate +0+12 "$2" "$file" 2>>"$log" && rm -f "$raw"
  echo "        screenshot: $file"
}

seen=()
expected_names=()
differences=()
# check_values STEP SKIN: prints the values and compares them with SKIN's path.
check_values() {
  local name
  name=$(skin_name "$back_bitmap")
  echo "        BackBitmap      = $back_bitmap"
  echo "        BackBitmapShell = $back_bitmap_shell"
  seen+=("$name")
  expected_names+=("$2")
  if [ "$back_bitmap" = "$back_bitmap_shell" ] && [ "$name" = "$2" ]; then
    echo "        ok: both name $2."
  else
    echo "        WRONG: expected both to name $2."
    differences+=("$1: BackBitmap [$back_bitmap], BackBitmapShell [$back_bitmap_shell], expected $2")
  fi
}

# Whatever happens, the prefix's server goes, and with it every program
# started here, before the display may go.
cleanup() {
  wine_run --kill
  wait
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "Zelvo demo: each newly opened Explorer or browser window gets the next skin."
echo "When the shell reports a new window (\"WindowRegistered\"), Zelvo writes the next"
echo "skin's bitmap path into $toolbar_key,"
echo "values BackBitmap (Internet Explorer) and BackBitmapShell (Explorer), which the"
echo "next window opened reads. Wine's Explorer draws no toolbar picture, so the demo"
echo "reads the values after each step."
echo "Display: $DISPLAY. Everything goes to $dir."
echo

echo "Step 1. A fresh Wine prefix and program folder (about 15 s)."
wine_run --kill
if [ -e "$prefix" ] && [ ! -e "$prefix/.zelvo-owned" ] && [ -n "$(ls -A "$prefix")" ]; then
  fail "$prefix was not made by tools/wine-run; not deleting it"
fi
rm -rf "$prefix" "$progdir" "$pictures" "$dir"/[0-9]*-*.png
mkdir -p "$progdir" "$pictures" || exit 1
: >"$log"
wine_run --init 2>>"$log" || fail "could not make the Wine prefix $prefix (see $log)"
echo "        $prefix"

echo "Step 2. Wine's own shell window list never reports new windows, so Zelvo's"
echo "        event source (zelvo_shellwindows.dll) is registered for it in the prefix."
# Registering waits for the prefix's server to end: a server of its own
# ends sooner than the warm one.
wine_run --kill
"$tools/wine-shellwindows.sh" register "$prefix" "$shellwindows_dll" 2>>"$log" ||
  fail "could not register $shellwindows_dll (see $log)"
wine_run --init 2>>"$log" || fail "could not start the Wine prefix $prefix again (see $log)"
dll_win=$(win_path "$shellwindows_dll")
server=$(wine_run reg query 'HKCR\CLSID\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\InprocServer32' /ve \
  </dev/null 2>>"$log" | tr -d '\r' | awk -F'    ' '$3 == "REG_SZ" { print $4 }')
[ "$(lower "$server")" = "$(lower "$dll_win")" ] ||
  fail "ShellWindows is served by [$server], not by [$dll_win]"
echo "        ShellWindows is now served by $server"

# Wine draws the desktop's taskbar (with Zelvo's tray icon) only when asked;
# a browser installation leaves the toolbar key, which Zelvo only opens.
settings=$dir/prefix-settings.reg
crlf 'REGEDIT4' '' \
  "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops\\$desktop]" '"EnableShell"=dword:00000001' '' \
  '[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Toolbar]' >"$settings"
wine_run reg import "$(win_path "$settings")" </dev/null >>"$log" 2>&1 || fail "could not import $settings"
# No Quick Tip at start-up.
crlf '[Tip]' 'StartUp=1' >"$prefix/drive_c/windows/zelvo.INI"
# Wine's own fonts draw the caption buttons; it does not load them by itself.
if [ -d /usr/share/wine/fonts ]; then
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>>"$log"
fi

echo "Step 3. Three sample pictures, in three of the formats Zelvo reads:"
for i in "${!names[@]}"; do
  label=${names[i]% *}
  title=${names[i]#* }
  picture=$pictures/${files[i]}
  # ImageMagick records a bottom-left origin in a TGA but writes the rows
  # top down; told the origin is top-left, it records that.
  convert -size 192x128 "gradient:${gradients[i]}" -gravity center -fill white \
    -pointsize 44 -annotate +0-16 "$label" -pointsize 26 -annotate +0+28 "$title" \
    -orient top-left "$picture" 2>>"$log" || fail "convert could not make $picture"
  echo "        $picture  (${formats[i]})"
done

echo "Step 4. Zelvo's own image library (zimage convert) turns each into a Windows"
echo "        bitmap in the program folder; images.ini lists them in the order S1, S2, S3,"
echo "        as Zelvo's Add command would (the folder part of each path in lower case):"
cp "$zelvo_exe" "$progdir/zelvo.exe" || exit 1
folder_win=$(lower "$(win_path "$progdir")")
[ -n "$folder_win" ] || fail "winepath could not name $progdir"
ini_lines=('[Images]')
for i in "${!names[@]}"; do
  bitmap=$progdir/${names[i]}.bmp
  wine_run "$zimage_exe" convert "$(win_path "$pictures/${files[i]}")" "$(win_path "$bitmap")" \
    </dev/null >>"$log" 2>&1 || fail "zimage could not convert ${files[i]} (see $log)"
  [ -s "$bitmap" ] || fail "zimage wrote no $bitmap"
  skin_paths+=("$folder_win\\${names[i]}.bmp")
  ini_lines+=("${names[i]}=${skin_paths[i]}")
done
crlf "${ini_lines[@]}" >"$progdir/images.ini"
printf '          %s\n' "${ini_lines[@]}"

echo "Step 5. Starting Zelvo. It loads the skins in that order, writing each to the"
echo "        values, so they name the last one, S3. Its window shows the thumbnails."
in_desktop "$progdir" zelvo.exe
zctl wait Zelvo 60 >/dev/null || fail "Zelvo's window did not show within 60 s (see $log)"
mapfile -t zelvo_pids < <(processes zelvo.exe)
[ ${#zelvo_pids[@]} -gt 0 ] || fail "found no process of Zelvo"
read_values
check_values "after start-up" "${names[2]}"
screenshot zelvo-started "Zelvo started with skins S1, S2, S3: the toolbar values name $(skin_name "$back_bitmap")"

expected=("${names[1]}" "${names[2]}" "${names[0]}" "${names[1]}")
for n in 1 2 3 4; do
  echo "Step $((n + 5)). Opening Explorer window $n of 4: the shell reports it, Zelvo writes the next skin."
  ! ended "${zelvo_pids[@]}" || fail "Zelvo is no longer running"
  before=$back_bitmap
  in_desktop "$dir" "${browser[@]}"
  zctl wait "$browser_title" 60 >/dev/null || fail "Explorer window $n did not open within 60 s"
  mapfile -t browser_pids < <(processes "${browser[@]}")
  [ ${#browser_pids[@]} -gt 0 ] || fail "found no process of Explorer window $n"
  if ! until_true 30 values_moved_from "$before"; then
    echo "        The values did not change within 30 s: Zelvo saw no new window."
  fi
  check_values "Explorer window $n" "${expected[n - 1]}"
  # Zelvo's window in front, so that its thumbnails show beside Explorer's.
  zctl activate Zelvo >/dev/null || echo "        (Zelvo's window could not be brought to the front)"
  screenshot "explorer-$n" "Explorer window $n opened: the toolbar values now name $(skin_name "$back_bitmap")"

  # Closed as its close box does (WM_CLOSE), and waited for to the end of its
  # process: a file browser started while another is ending opens no window.
  zctl syscommand "$browser_title" "$sc_close" >/dev/null || fail "could not close Explorer window $n"
  zctl gone "$browser_title" 30 >/dev/null || fail "Explorer window $n did not close within 30 s"
  until_true 30 ended "${browser_pids[@]}" || fail "Explorer window $n's process did not end within 30 s"
  after=$back_bitmap
  read_values
  if [ "$back_bitmap" = "$after" ] && [ "$back_bitmap_shell" = "$after" ]; then
    echo "        Closed it; a window going away (\"WindowRevoked\") leaves the values as they are."
  else
    echo "        WRONG: closing it changed the values to [$back_bitmap] and [$back_bitmap_shell]."
    differences+=("closing Explorer window $n changed the values to [$back_bitmap], [$back_bitmap_shell]")
  fi
done

echo "Step 10. Exiting Zelvo through its Exit command."
zctl command Zelvo "$exit_command" >/dev/null || fail "could not send Exit to Zelvo"
zctl gone Zelvo 30 >/dev/null || fail "Zelvo's window did not go within 30 s"
until_true 30 ended "${zelvo_pids[@]}" || fail "Zelvo's process did not end within 30 s"
echo "        Zelvo ended."

echo
echo "Expected: $(joined "${expected_names[@]}")"
echo "Seen:     $(joined "${seen[@]}")"
if [ ${#differences[@]} -eq 0 ]; then
  echo "The rotation was exactly as expected. Screenshots: $dir/*.png"
  # Made afresh by every run, and large.
  wine_run --kill
  rm -rf "$prefix"
  exit 0
fi
printf 'Differed: %s\n' "${differences[@]}"
echo "The prefix is left in $prefix, the programs' messages in $log."
exit 1
