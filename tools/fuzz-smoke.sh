#!/usr/bin/env bash
# A short run of every fuzzer, for CI: the seeds and a few seconds each.
exec "$(dirname "$0")/fuzz.sh" "${ZELVO_FUZZ_SMOKE_SECONDS:-15}" 2
