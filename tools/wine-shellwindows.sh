#!/usr/bin/env bash
# Lets a Wine prefix's ShellWindows object fire DShellWindowsEvents, which
# Wine's own never does, by registering zelvo_shellwindows.dll as its
# in-process server; or gives the class back to Wine.
#
#   wine-shellwindows.sh register PREFIX DLL     DLL serves CLSID_ShellWindows in PREFIX
#   wine-shellwindows.sh unregister PREFIX DLL   Wine's ieframe.dll serves it again
#
# DLL is the built build/<dir>/platform/wine/zelvo_shellwindows.dll. The
# registry names it by its path, so leave it there while it is registered.
# PREFIX must be made and booted already (tools/wine-run --prefix PREFIX --init).
# Runs regsvr32 with tools/wine-run's environment. The change is live at once
# for programs in the prefix; the script returns when the prefix's server has
# ended and written the registry files, which with a server kept warm by
# wine-run is about 10 s after the prefix's last program ends.
set -u

usage() {
  sed -n '2,15s/^# \{0,1\}//p' "$0" >&2
  exit 2
}
fail() {
  echo "wine-shellwindows: $*" >&2
  exit 1
}

[ $# -eq 3 ] || usage
case $1 in
  register) unregister=() ;;
  unregister) unregister=(/u) ;;
  *) usage ;;
esac
prefix=$2
dll=$3
# A prefix still being made would register Wine's server over ours.
[ -f "$prefix/system.reg" ] || fail "$prefix is not a Wine prefix; make it with tools/wine-run --prefix $prefix --init"
[ -f "$dll" ] || fail "$dll not found"

export WINEPREFIX
WINEPREFIX=$(cd "$prefix" && pwd) || exit 1
export WINEARCH=win64
# As tools/wine-run sets them.
export WINEDEBUG=-all${WINEDEBUG:+,$WINEDEBUG}
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

if [ -x /usr/lib/wine/wineserver64 ]; then
  server=/usr/lib/wine/wineserver64
else
  server=$(command -v wineserver) || fail "wineserver not found (apt-get install wine wine64)"
fi

dll_dir=$(cd "$(dirname "$dll")" && pwd) || exit 1
# A server started here inherits stdout: the file keeps the substitution from
# waiting for it.
path_file=$(mktemp "${TMPDIR:-/tmp}/wine-shellwindows.XXXXXX") || exit 1
winepath -w "$dll_dir/$(basename "$dll")" </dev/null >"$path_file" 2>/dev/null
windows_dll=$(head -n 1 "$path_file")
rm -f "$path_file"
[ -n "$windows_dll" ] || fail "winepath could not name $dll in $WINEPREFIX"

wine regsvr32 /s "${unregister[@]}" "$windows_dll" </dev/null >/dev/null 2>&1
status=$?
"$server" -w </dev/null >/dev/null 2>&1
[ "$status" -eq 0 ] || fail "regsvr32 could not $1 $windows_dll (exit status $status)"
