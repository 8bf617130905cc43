#!/usr/bin/env bash
# The long fuzzing run: every target for 10 minutes (or SECONDS), in the clang fuzz build.
#   tests/fuzz/run_long.sh [SECONDS]
# Needs build/fuzz (made by ./build.sh test, or by build_fuzz in build.sh).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
exec "$root/tests/fuzz/run_fuzzers.sh" "$root/build/fuzz" "${1:-600}"
