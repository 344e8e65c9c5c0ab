#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#
#   tools/fuzz.sh SECONDS [JOBS] [bmp gif ico tga pcx wbmp]
#
# Runs JOBS fuzzers at a time (default 2). Seeds come from the conformance
# corpus and tests/codecs/fixtures; what a fuzzer finds is kept in
# build/fuzz/corpus/NAME, crashes in build/fuzz/crashes/NAME. Prints one line
# per fuzzer with its execution count; exits non-zero when any fuzzer found
# a crash.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD
seconds=${1:?usage: tools/fuzz.sh SECONDS [JOBS] [formats...]}
shift
jobs=2
if [[ ${1:-} =~ ^[0-9]+$ ]]; then jobs=$1; shift; fi
formats=("$@")
[ ${#formats[@]} -gt 0 ] || formats=(bmp gif ico tga pcx wbmp)

# shellcheck source=tools/deps.sh
. tools/deps.sh
zelvo_install cmake ninja-build clang libclang-rt-14-dev || exit 1

build=$root/build/fuzz
cmake -S . -B "$build" -G Ninja -DZELVO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
targets=()
for f in "${formats[@]}"; do targets+=("fuzz_$f"); done
cmake --build "$build" --target "${targets[@]}" >"$build.build.log" 2>&1 ||
  { tail -n 40 "$build.build.log"; exit 1; }

corpus_dir=$root/../shared/corpus
seeds_for() {
  case $1 in
    ico) echo "$corpus_dir/ico $corpus_dir/cur" ;;
    *) echo "$corpus_dir/$1" ;;
  esac
}

run_one() {
  local f=$1 seeds=$build/seeds/$1 out=$build/corpus/$1 crashes=$build/crashes/$1
  mkdir -p "$seeds" "$out" "$crashes"
  # Only the pictures, not the reference decodes beside them.
  for d in $(seeds_for "$f") "$root/tests/codecs/fixtures/$f"; do
    [ -d "$d" ] && find "$d" -type f ! -name '*.rgba' -exec cp -f {} "$seeds/" \;
  done
  "$build/fuzz/fuzz_$f" "$out" "$seeds" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=6144 -malloc_limit_mb=2600 -print_final_stats=1 \
    -artifact_prefix="$crashes/" >"$build/$f.log" 2>&1
  local rc=$? runs
  runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$build/$f.log" | grep -Eo '[0-9]+$')
  if [ $rc -eq 0 ]; then
    echo "fuzz_$f: ${runs:-?} executions in ${seconds} s, no crash"
  else
    echo "fuzz_$f: CRASH after ${runs:-?} executions (exit $rc): see $build/$f.log and $crashes"
    grep -E '^(==[0-9]+==ERROR|SUMMARY)' "$build/$f.log" | head -n 3
  fi
  return $rc
}

status=0
pids=()
for f in "${formats[@]}"; do
  run_one "$f" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
