#!/usr/bin/env bash
# Rewrites the seed corpus (tests/fuzz/corpus) with the project's own writers.
#   tests/fuzz/make_seeds.sh BUILD_FOLDER   (any native build; fuzz_seedgen is built there)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
cmake --build "$build" --target fuzz_seedgen >/dev/null
rm -rf "$root/tests/fuzz/corpus"
# The instances it makes read and write their configuration: keep that away from the user's.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DOCUMENTS_DIR=$home/documents
"$(find "$build" -name fuzz_seedgen -type f -perm -u+x | head -1)" "$root/tests/fuzz/corpus" \
    "$root/resources/banks/dw8000-tape-bank.hex" "$root/resources/demo.mid"
