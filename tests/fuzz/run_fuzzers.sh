#!/usr/bin/env bash
# Runs each libFuzzer program of a fuzz build for a while, starting from the committed seeds.
#   run_fuzzers.sh BUILD_FOLDER SECONDS [TARGET...]   (default: every target)
# New inputs that reach new code go to BUILD_FOLDER/fuzz-corpus/<target> (or $FUZZ_WORK_CORPUS/
# <target>), which later runs start from too; an input that breaks a
# check is kept as BUILD_FOLDER/fuzz-artifacts/<target>-crash-*; copy it to
# tests/fuzz/regressions/<target>/ once it is fixed. Exits non-zero when any target failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(chunk preset_file sysex tape ini midi_file)

# FUZZ_SEED fixes libFuzzer's random seed, so that a brief run tries the same inputs every time
# (the test run sets it); without it each run explores afresh.
seed_flags=()
[ -n "${FUZZ_SEED:-}" ] && seed_flags=(-seed="$FUZZ_SEED")

export ASAN_OPTIONS="halt_on_error=1 detect_leaks=1 ${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1 ${UBSAN_OPTIONS:-}"
status=0
for target in "${targets[@]}"; do
    corpus=${FUZZ_WORK_CORPUS:-$build/fuzz-corpus}/$target
    mkdir -p "$corpus" "$build/fuzz-artifacts"
    log=$build/fuzz-artifacts/$target.log
    # Slow inputs count as faults too: a host waits for every call.
    "$build/fuzz_$target" "${seed_flags[@]}" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
        "$corpus" "$here/corpus/$target" $(ls -d "$here/regressions/$target" 2>/dev/null) \
        >"$log" 2>&1
    result=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -ao 'cov: [0-9]*' "$log" | tail -1)
    printf 'fuzz %-12s %s runs, %s, exit %s\n' "$target" "${runs:-?}" "${coverage:-cov: ?}" "$result"
    if [ $result -ne 0 ]; then
        status=1
        tail -40 "$log"
    fi
done
exit $status
