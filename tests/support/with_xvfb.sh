#!/bin/sh
# Runs a command against a private X server: starts Xvfb on a free display (the server picks
# it and reports it through -displayfd), exports DISPLAY, runs the command, stops the server
# and exits with the command's status.
#   with_xvfb.sh COMMAND [ARGS...]
set -u
if [ "$#" -eq 0 ]; then
    echo "usage: with_xvfb.sh COMMAND [ARGS...]" >&2
    exit 2
fi
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "with_xvfb.sh: Xvfb is not installed" >&2
    exit 1
fi

workdir=$(mktemp -d "${TMPDIR:-/tmp}/with_xvfb.XXXXXX") || exit 1

# Xvfb writes the display number and a newline to fd 3 once it accepts connections. A plain
# file (not a pipe) lets the wait below give up on a server that neither starts nor dies.
: >"$workdir/display" # there before the first look, however late the server starts
Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp -noreset 3>"$workdir/display" \
    >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!

stop_server() {
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    rm -rf "$workdir"
}
trap 'stop_server; exit 130' INT TERM HUP

display=""
for _ in $(seq 1 300); do
    if [ "$(wc -l <"$workdir/display")" -ge 1 ]; then
        display=$(head -n 1 "$workdir/display")
        break
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$display" ]; then
    echo "with_xvfb.sh: Xvfb did not start:" >&2
    cat "$workdir/xvfb.log" >&2
    stop_server
    exit 1
fi

DISPLAY=":$display"
export DISPLAY
"$@"
status=$?
stop_server
exit "$status"
