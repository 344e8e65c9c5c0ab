#!/usr/bin/env bash
# Builds and runs every test suite: native, sanitizers (asan), Windows under
# Wine inside one virtual X display, then the fuzz smoke run when
# tools/fuzz-smoke.sh is there. Installs missing packages first.
#
#   bash tools/test.sh [native] [asan] [windows] [fuzz]     (default: all)
#
# Ends with "N passed, N failed" counted over ctest entries (a suite that does
# not configure, or whose build fails, adds one failure) and exits non-zero on
# any failure.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD

# shellcheck source=tools/deps.sh
. tools/deps.sh
zelvo_install "${ZELVO_TEST_PACKAGES[@]}" || exit 1

suites=("$@")
[ ${#suites[@]} -gt 0 ] || suites=(native asan windows fuzz)
for suite in "${suites[@]}"; do
  case $suite in
    native | asan | windows | fuzz) ;;
    *) echo "unknown suite: $suite (native, asan, windows, fuzz)" >&2; exit 2 ;;
  esac
done

passed=0
failed=0
problems=()

# Counts one ctest run from its log; a run that printed no summary is one failure.
count_ctest() {
  local suite=$1 log=$2 rc=$3 summary total bad
  summary=$(grep -Eo '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    failed=$((failed + 1))
    problems+=("$suite: ctest gave no result (exit $rc)")
    return
  fi
  bad=${summary%% *}
  total=${summary##* }
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if [ "$bad" -gt 0 ]; then
    problems+=("$suite: $bad of $total tests failed")
  elif [ "$rc" -ne 0 ]; then
    failed=$((failed + 1))
    problems+=("$suite: ctest exited $rc")
  fi
}

windows_ctest() {
  local prefix=$root/build/windows/wineprefix
  # One display for the whole run; the prefix's server is stopped before the
  # display goes away.
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1/tools/wine-run" --prefix "$2" --init || exit 1
    ctest --preset windows
    rc=$?
    "$1/tools/wine-run" --prefix "$2" --kill
    exit $rc' wine-ctest "$root" "$prefix"
}

run_suite() {
  local suite=$1 log
  log=$root/build/$suite-test.log
  echo "=== $suite: configure and build"
  mkdir -p "$root/build"
  if ! cmake --preset "$suite" >"$root/build/$suite-configure.log" 2>&1; then
    cat "$root/build/$suite-configure.log"
    failed=$((failed + 1))
    problems+=("$suite: configure failed")
    return
  fi
  # Keep going past a broken target so the tests that did build still run;
  # those that did not show up as failed ctest entries.
  if ! cmake --build --preset "$suite" -- -k 0; then
    failed=$((failed + 1))
    problems+=("$suite: build failed")
  fi
  echo "=== $suite: test"
  local rc
  if [ "$suite" = windows ]; then
    windows_ctest 2>&1 | tee "$log"
  else
    ctest --preset "$suite" 2>&1 | tee "$log"
  fi
  rc=${PIPESTATUS[0]}
  count_ctest "$suite" "$log" "$rc"
}

# The fuzz targets' own smoke script (native clang); one entry in the count.
fuzz_smoke() {
  [ -x tools/fuzz-smoke.sh ] || { echo "=== fuzz: no tools/fuzz-smoke.sh, skipped"; return; }
  echo "=== fuzz smoke"
  if tools/fuzz-smoke.sh; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    problems+=("fuzz smoke failed")
  fi
}

for suite in "${suites[@]}"; do
  start=$SECONDS
  case $suite in
    native | asan | windows) run_suite "$suite" ;;
    fuzz) fuzz_smoke ;;
  esac
  echo "=== $suite: $((SECONDS - start)) s"
done

for p in "${problems[@]}"; do
  echo "FAILED: $p"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
