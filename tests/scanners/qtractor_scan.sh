#!/usr/bin/env bash
# Qtractor's plug-in scanner asks the category before effOpen and makes an instance it never
# opens or closes. It must report a MIDI instrument with 0 inputs, 2 outputs and 69 parameters.
set -u
plugin=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/config"
output=$(echo "VST:$plugin" | timeout 120 /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan 2>&1)
echo "$output"
line=$(echo "$output" | grep '^VST|' | head -1)
fail() { echo "FAIL: $*"; exit 1; }
[ -n "$line" ] || fail "the scanner reported no plug-in"
IFS='|' read -r kind name audio midi params flags path index id <<<"$line"
[ "$name" = "QX-4470" ] || fail "name $name"
[ "$audio" = "0:2" ] || fail "audio inputs:outputs $audio"
[ "${midi%%:*}" = "1" ] || fail "MIDI inputs:outputs $midi"
[ "${params%%:*}" = "69" ] || fail "parameters $params"
[ "$id" = "0x71783434" ] || fail "unique ID $id"
echo "PASS"
