#!/usr/bin/env bash
# Ardour 7's plug-in scanner must find a MIDI instrument with no inputs and two outputs.
# Its exit code says nothing (it is 0 even when loading fails), so its cache file is read.
set -u
plugin=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache" HOME="$work"
output=$(LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 /usr/lib/ardour7/ardour-vst-scanner -f -v "$plugin" 2>&1)
echo "$output"
cache=$(ls "$work"/cache/ardour7/vst/*.v2i 2>/dev/null | head -1)
fail() { echo "FAIL: $*"; exit 1; }
echo "$output" | grep -q "Found Plugin" || fail "the scanner did not find the plug-in"
[ -n "$cache" ] || fail "no cache file written"
for fact in 'name="QX-4470"' 'creator="Marten Hollow Lab"' 'n_inputs="0"' 'n_outputs="2"' \
            'n_midi_inputs="1"' 'is_instrument="1"' 'category="Instrument"'; do
    grep -q "$fact" "$cache" || fail "cache lacks $fact"
done
echo "PASS"
