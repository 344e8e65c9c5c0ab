# Sourced by run.sh, test.sh and package.sh: installs Debian packages that are missing.
# apt-get runs (update first) only when something is missing, so a warm
# machine pays a few dpkg-query calls.

# Needed to build and run the program.
ZELVO_RUN_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 xvfb xauth imagemagick)

# Needed to build and run every test suite and the benchmarks.
ZELVO_TEST_PACKAGES=("${ZELVO_RUN_PACKAGES[@]}" g++ libgtest-dev libgmock-dev libbenchmark-dev
  python3-pil clang libclang-rt-14-dev imagemagick libgif-dev libstb-dev nsis zip)

# Needed by package.sh: the build without Wine, the installer and the zip.
ZELVO_PACKAGE_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest nsis zip)

zelvo_install() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null | grep -qx installed || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local sudo=()
  if [ "$(id -u)" != 0 ]; then
    if command -v sudo >/dev/null; then
      sudo=(sudo)
    else
      echo "Missing packages: ${missing[*]}; run as root to install them." >&2
      return 1
    fi
  fi
  local log=${TMPDIR:-/tmp}/zelvo-apt.log
  echo "Installing ${missing[*]} (log: $log)"
  if ! { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -q &&
         "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q "${missing[@]}"; } \
       </dev/null >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "apt-get failed for: ${missing[*]}" >&2
    return 1
  fi
}
