#!/usr/bin/env bash
# Builds a static libpng for a mingw-w64 target from Debian's own source package, because Debian
# ships no mingw libpng. The result goes to <deps>/<triplet>/{include,lib}; a second run with the
# library in place does nothing.
#   tools/deps/libpng-mingw.sh <triplet> <deps folder>
# Needs dpkg-dev (apt-get source, dpkg-source), cmake, ninja and the mingw compilers with their
# static zlib (libz-mingw-w64-dev). Run as root, or with sudo at hand to add the source list.
set -euo pipefail
triplet=$1
deps=$(mkdir -p "$2" && cd "$2" && pwd)
prefix=$deps/$triplet
[ -f "$prefix/lib/libpng16.a" ] && [ -f "$prefix/include/png.h" ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

# Two builds (win64 and win32) may be configured at once: one fetches and builds at a time.
exec 9>"$deps/.libpng.lock"
flock 9
[ -f "$prefix/lib/libpng16.a" ] && [ -f "$prefix/include/png.h" ] && exit 0

# apt-get source needs deb-src entries: the same archives as the binary packages.
add_source_entries() {
    local list=/etc/apt/sources.list.d/debian.sources
    local out=/etc/apt/sources.list.d/qx4470-deb-src.sources
    [ -f "$out" ] && return 0
    [ -f "$list" ] || { echo "libpng: no $list to derive deb-src entries from" >&2; return 1; }
    sed 's/^Types: deb$/Types: deb-src/' "$list" | $sudo tee "$out" >/dev/null
    $sudo apt-get update -qq
}

fetch_source() {
    local sources=$deps/src version
    mkdir -p "$sources"
    local existing
    existing=$(find "$sources" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
    [ -n "$existing" ] && { echo "$existing"; return 0; }
    add_source_entries
    # The security suite's newest version has answered 404 for its .dsc: try each listed
    # version until one downloads whole.
    for version in $(apt-cache showsrc libpng1.6 | sed -n 's/^Version: //p' | sort -Vru); do
        rm -f "$sources"/libpng1.6_*
        if (cd "$sources" && apt-get source -qq --download-only "libpng1.6=$version") \
            >/dev/null 2>&1; then
            (cd "$sources" && dpkg-source -x --no-check libpng1.6_*.dsc) >/dev/null
            find "$sources" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1
            return 0
        fi
    done
    echo "libpng: no version of Debian's libpng1.6 source package could be downloaded" >&2
    return 1
}

source_dir=$(fetch_source)
work=$deps/build-libpng-$triplet
rm -rf "$work"
cmake -S "$source_dir" -B "$work" -G Ninja --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$triplet-gcc-posix" \
    -DCMAKE_RC_COMPILER="$triplet-windres" -DCMAKE_FIND_ROOT_PATH="/usr/$triplet" \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="/usr/$triplet/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$triplet/include" \
    -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$work" --target install >/dev/null
rm -rf "$work"
[ -f "$prefix/lib/libpng16.a" ]
