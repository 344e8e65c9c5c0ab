#!/usr/bin/env bash
# Builds zelvo.exe and packs it with tips.txt and help.html:
#   build/package/zelvo-setup.exe     per-user installer (installer/zelvo.nsi)
#   build/package/zelvo-<version>.zip portable copy, in a folder Zelvo/
# Installs missing packages first.
#
#   bash tools/package.sh
#
# ZELVO_BUILD_DIR=<dir> builds in that directory instead of the windows
# preset's own (build/windows).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# shellcheck source=tools/deps.sh
. tools/deps.sh
zelvo_install "${ZELVO_PACKAGE_PACKAGES[@]}"

if [ -n "${ZELVO_BUILD_DIR:-}" ]; then
  cmake --preset windows -B "$ZELVO_BUILD_DIR" >/dev/null
  cmake --build "$ZELVO_BUILD_DIR" --target zelvo
  build=$(cd "$ZELVO_BUILD_DIR" && pwd)
else
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target zelvo
  build=$root/build/windows
fi

version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' installer/zelvo.nsi)
out=$root/build/package
stage=$out/Zelvo
rm -rf "$out"
mkdir -p "$stage"

# The build is a debug build; users get the program without its symbols.
x86_64-w64-mingw32-strip -o "$stage/zelvo.exe" "$build/app/zelvo.exe"
cp res/tips.txt res/help.html "$stage/"

makensis -V2 -WX "-DZELVO_EXE=$stage/zelvo.exe" "-DOUTFILE=$out/zelvo-setup.exe" installer/zelvo.nsi
(cd "$out" && zip -q -X -r "zelvo-$version.zip" Zelvo)
rm -rf "$stage"

echo "Installer:     $out/zelvo-setup.exe"
echo "Portable zip:  $out/zelvo-$version.zip"
