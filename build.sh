#!/usr/bin/env bash
# Builds QX-4470 on a Debian machine, installing what is missing first.
#   ./build.sh demo   build the Linux plug-in and tool, render resources/demo.mid to demo.wav
#   ./build.sh test   build all three targets and run every test (Windows ones under wine),
#                     then ThreadSanitizer, Address+UB-Sanitizer and brief fuzzing builds
#   ./build.sh build  build all three targets without testing
#   ./build.sh bench  build the Linux release, run the benchmarks and compare with amsynth
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=$(nproc)

BASE_PACKAGES=(cmake ninja-build g++ googletest libbenchmark-dev zlib1g-dev libpng-dev libstb-dev
               fonts-dejavu-core fonts-liberation2 libx11-dev)
CROSS_PACKAGES=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev
                binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine64 wine32:i386
                dpkg-dev)
HOST_PACKAGES=(ardour qtractor amsynth)
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# The editor's window tests: a private X server and XTest to play the user.
WINDOW_TEST_PACKAGES=(xvfb libxtst-dev)

log() { printf '== %s\n' "$*"; }

# Installs the Debian packages of the list that are not installed yet.
need_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
        ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    log "installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# configure_and_build <folder> [toolchain file] [targets...]
configure_and_build() {
    local folder=$1 toolchain=${2:-}
    shift 2 || shift $#
    local args=(-S "$ROOT" -B "$ROOT/build/$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release)
    [ -n "$toolchain" ] && args+=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain")
    log "configuring build/$folder"
    cmake "${args[@]}" >/dev/null
    log "building build/$folder"
    if [ $# -gt 0 ]; then
        cmake --build "$ROOT/build/$folder" -j"$JOBS" --target "$@"
    else
        cmake --build "$ROOT/build/$folder" -j"$JOBS"
    fi
}

build_all() {
    configure_and_build linux ""
    configure_and_build win64 toolchain-mingw-x86_64.cmake
    configure_and_build win32 toolchain-mingw-i686.cmake
}

# Wine keeps background processes that would hold ctest's output open: start and warm it
# first with all output redirected, and stop it at the end. Its desktop process owns every
# window of the prefix, and the first program to need a desktop starts it with that program's
# display: a test without a display would leave the window tests unable to open any window. So
# wine gets a private X server for the session, and every Windows test runs with it.
WINE_XVFB_PID=""
WINE_DISPLAY=""
start_wine() {
    export WINEPREFIX="$ROOT/build/wineprefix" WINEDEBUG=-all
    mkdir -p "$WINEPREFIX"
    wineserver -k >/dev/null 2>&1 || true # one left from before may have no display
    local display="" number_file
    if command -v Xvfb >/dev/null 2>&1; then
        number_file=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp 3>"$number_file" \
            </dev/null >/dev/null 2>&1 &
        WINE_XVFB_PID=$!
        for _ in $(seq 1 100); do
            [ -s "$number_file" ] && display=:$(head -n 1 "$number_file") && break
            sleep 0.1
        done
        rm -f "$number_file"
    fi
    WINE_DISPLAY=$display
    DISPLAY=$display wineserver -p </dev/null >/dev/null 2>&1 || true
    DISPLAY=$display wine wineboot </dev/null >/dev/null 2>&1 || true
}
stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$WINE_XVFB_PID" ] && kill "$WINE_XVFB_PID" 2>/dev/null
    return 0
}

run_tests() {
    local folder=$1
    log "testing build/$folder"
    (cd "$ROOT/build/$folder" && ctest --output-on-failure -j"$JOBS")
}

# The ThreadSanitizer build: only the plug-in and the test programs whose threaded tests drive the
# dispatcher, the editor and the audio callbacks on several threads at once. Any report
# ends the program with a failure.
build_tsan() {
    log "configuring build/tsan (ThreadSanitizer)"
    cmake -S "$ROOT" -B "$ROOT/build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1" \
        -DQX_SANITIZE=thread -DQX_BUILD_BENCH=OFF >/dev/null || return 1
    log "building build/tsan"
    cmake --build "$ROOT/build/tsan" -j"$JOBS" --target qxplugin plugin_host_test editor_test
}
run_tsan_tests() {
    log "testing build/tsan (ThreadSanitizer)"
    (cd "$ROOT/build/tsan" &&
        GTEST_FILTER='Concurrency.*:*FromAnotherThread*:*EditOpcodes*' \
        TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
        ctest --output-on-failure -R '^(plugin_host_test|editor_test)$')
}

# The AddressSanitizer + UndefinedBehaviorSanitizer build: the plug-in, the tool and every
# native test program, at -O1 (readable stacks, and the tests run far faster than at -O0) with
# line tables only (file and line in every report, for less compile time), and without the
# benchmarks. Any report ends the program with a failure. Left out: the
# scanner tests (they load the plug-in into third-party programs without the sanitizer runtime,
# which refuses to start there), the peer renders and the peer's editor (amsynth's own leaks and
# its reading past a chunk are reported inside our tool) and the factory audition (it renders every program
# through the tool again, which takes minutes under the sanitizers and adds no new path).
build_asan() {
    log "configuring build/asan (AddressSanitizer, UndefinedBehaviorSanitizer)"
    cmake -S "$ROOT" -B "$ROOT/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" \
        -DQX_SANITIZE=address,undefined -DQX_BUILD_BENCH=OFF >/dev/null || return 1
    log "building build/asan"
    cmake --build "$ROOT/build/asan" -j"$JOBS"
}
run_asan_tests() {
    log "testing build/asan (AddressSanitizer, UndefinedBehaviorSanitizer)"
    (cd "$ROOT/build/asan" &&
        ASAN_OPTIONS="halt_on_error=1 detect_leaks=1 strict_string_checks=1 ${ASAN_OPTIONS:-}" \
        UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1 ${UBSAN_OPTIONS:-}" \
        GTEST_FILTER='-PeerRender.*:*PeerPlugin*' \
        ctest --output-on-failure -j"$JOBS" -E '^(scanner_.*|factory_audition)$')
}

# The libFuzzer build (clang, with both sanitizers): only the fuzz programs. Each runs briefly
# from the committed seeds; tests/fuzz/run_long.sh runs them for longer.
FUZZ_SECONDS=${FUZZ_SECONDS:-10}
build_fuzz() {
    log "configuring build/fuzz (libFuzzer)"
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$ROOT/build/fuzz" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
        -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DQX_SANITIZE=address,undefined -DQX_FUZZ=ON \
        -DQX_BUILD_BENCH=OFF >/dev/null || return 1
    log "building build/fuzz"
    cmake --build "$ROOT/build/fuzz" -j"$JOBS" --target fuzz_chunk fuzz_preset_file fuzz_sysex \
        fuzz_tape fuzz_ini fuzz_midi_file
}
run_fuzz_briefly() {
    log "fuzzing each reader for ${FUZZ_SECONDS} s (build/fuzz)"
    # From the committed inputs only, so that the run takes the same time on every machine.
    rm -rf "$ROOT/build/fuzz/brief-corpus"
    FUZZ_WORK_CORPUS="$ROOT/build/fuzz/brief-corpus" \
        FUZZ_SEED=${FUZZ_SEED:-1} "$ROOT/tests/fuzz/run_fuzzers.sh" "$ROOT/build/fuzz" "$FUZZ_SECONDS"
}

case "${1:-}" in
demo)
    need_packages "${BASE_PACKAGES[@]}"
    configure_and_build linux "" qxplugin qx4470_tool
    log "rendering resources/demo.mid to demo.wav"
    rendered=$("$ROOT/build/linux/qx4470" render "$ROOT/build/linux/qx447064.so" \
        "$ROOT/resources/demo.mid" -o "$ROOT/demo.wav")
    printf '%s\n' "$rendered"
    # The tool measures the peak before 16-bit conversion, so a clipping demo shows above 0.
    log "done: $ROOT/demo.wav, peak ${rendered##*peak }"
    ;;
test)
    need_packages "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}" "${HOST_PACKAGES[@]}" \
        "${FUZZ_PACKAGES[@]}" "${WINDOW_TEST_PACKAGES[@]}"
    build_all
    start_wine
    trap stop_wine EXIT
    status=0
    run_tests linux || status=1
    for folder in win64 win32; do (export DISPLAY=$WINE_DISPLAY && run_tests "$folder") || status=1; done
    { build_tsan && run_tsan_tests; } || status=1
    { build_asan && run_asan_tests; } || status=1
    { build_fuzz && run_fuzz_briefly; } || status=1
    [ $status -eq 0 ] && log "all tests passed" || log "some tests failed"
    exit $status
    ;;
build)
    need_packages "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
    build_all
    ;;
bench)
    need_packages "${BASE_PACKAGES[@]}" amsynth python3
    configure_and_build linux "" qxbench qxplugin qx4470_tool
    "$ROOT/build/linux/bench/qxbench" --benchmark_min_time=2
    log "comparing with amsynth"
    "$ROOT/bench/compare.sh"
    ;;
*)
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
