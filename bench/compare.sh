#!/usr/bin/env bash
# Compares the CPU cost of QX-4470 with amsynth, a two-oscillator instrument with a resonant
# four-pole low-pass of the same kind: both render the same held chords, 60 s of audio at
# 44.1 kHz in 512-frame blocks, through `qx4470 render`, pinned to one core. Reports the CPU
# seconds (user + system) of each render, the real-time factor (60 s / CPU s) and QX-4470's time
# per voice over amsynth's at 8 and 16 notes; then QX-4470 alone with 64 notes on 64 voices and
# the delay on, and an idle instance (no notes) as a share of one core.
#
#   bench/compare.sh                       uses the plug-in and tool of build/linux
#   QX_BUILD_DIR=build/other bench/compare.sh
# `./build.sh bench` builds what it needs and runs it.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${QX_BUILD_DIR:-build/linux}
[[ $BUILD = /* ]] || BUILD=$ROOT/$BUILD
TOOL=$BUILD/qx4470
PLUGIN=$BUILD/qx447064.so
PEER=/usr/lib/vst/amsynth_vst.so
SECONDS_OF_AUDIO=60

for file in "$TOOL" "$PLUGIN" "$PEER"; do
    [ -e "$file" ] || { echo "compare.sh: $file is missing" >&2; exit 1; }
done
for program in python3 taskset; do
    command -v "$program" >/dev/null || { echo "compare.sh: needs $program" >&2; exit 1; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# Both plug-ins read per-user settings: a fresh, empty home makes every run start alike.
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/config
mkdir -p "$XDG_CONFIG_HOME"

# The songs: one chord struck at the start and held for the whole minute, and an empty song.
python3 - "$WORK" "$SECONDS_OF_AUDIO" <<'EOF'
import struct, sys

folder, seconds = sys.argv[1], int(sys.argv[2])
TICKS = 480  # per quarter note; 120 bpm, so two quarters a second

def variable(n):
    out = [n & 0x7F]
    while n > 0x7F:
        n >>= 7
        out.insert(0, 0x80 | (n & 0x7F))
    return bytes(out)

def song(name, keys):
    events = [(0, b"\xff\x51\x03\x07\xa1\x20")]  # tempo: 500000 us per quarter
    events += [(0, bytes([0x90, key, 100])) for key in keys]
    end = seconds * 2 * TICKS
    events += [(end, bytes([0x80, key, 0])) for key in keys]
    track, now = b"", 0
    for tick, data in events:
        track += variable(tick - now) + data
        now = tick
    track += b"\x00\xff\x2f\x00"
    with open(f"{folder}/{name}.mid", "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)

song("chord8", [48, 52, 55, 60, 64, 67, 72, 76])
song("chord16", [36 + 3 * i for i in range(16)])
song("chord64", [30 + i for i in range(64)])
song("empty", [])
EOF

# The '=' in these options belong to their values (--set INDEX=VALUE).
# shellcheck disable=SC2191
{
# QX-4470: saw waves on both oscillators at full level, no noise, the filter half open with
# resonance 16 of 31 and no envelope on it, full sustain, the delay off.
QX_SOUND=(--program 0 --set 1=0 --set 8=0 --set 2=1 --set 9=1 --set 12=0 --set 15=0.5
          --set 16=0.516129 --set 19=0 --set 31=1 --set 46=0)
QX_DELAY_ON=(--set 46=1)
# amsynth: saw waves on both oscillators, the filter half open with about the same resonance,
# full sustain, the reverb dry.
PEER_SOUND=(--set 4=0.5 --set 13=0.5 --set 11=0.5 --set 9=0.516129 --set 10=0.5 --set 2=1
            --set 27=0)
}
# QX-4470's "Voices" (parameter 54) for a voice count: -4..3 stands for 1, 2, 4, 6, 8, 16, 32
# or 64 voices.
declare -A QX_VOICES=([8]=0.571429 [16]=0.714286 [64]=1)

CPU=0
PEAK=
# render <plug-in> <song> [options...]: renders on core 0 and sets CPU (user + system seconds
# of the render) and PEAK (the tool's peak level).
render() {
    local plugin=$1 song=$2 log=$WORK/render.log out
    shift 2
    local command=("$TOOL" render "$plugin" "$WORK/$song.mid" -o "$WORK/out.wav" --rate 44100
                   --block 512 --tail 0 "$@")
    [ "$song" = empty ] && command+=(--tail "$SECONDS_OF_AUDIO")
    out=$(taskset -c 0 "${command[@]}" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }; times)
    # `times` prints the shell's own times, then its children's: the render's.
    CPU=$(printf '%s\n' "$out" | tail -n 1 | awk '{
        split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%.3f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }')
    PEAK=$(sed -n 's/.*peak \(.*\) dBFS.*/\1/p' "$log")
}

row() { # row <label> <CPU s>
    awk -v label="$1" -v cpu="$2" -v peak="$PEAK" -v audio="$SECONDS_OF_AUDIO" \
        'BEGIN { printf "%-42s %8.2f %9.1fx %9s\n", label, cpu, (cpu > 0 ? audio / cpu : 0), peak }'
}

echo "QX-4470 against amsynth: ${SECONDS_OF_AUDIO} s of held chords, 44100 Hz, 512-frame blocks, core 0"
echo "plug-in: $PLUGIN"
printf '%-42s %8s %10s %9s\n' "render" "CPU s" "real time" "peak dBFS"
declare -A ours peer
for notes in 8 16; do
    render "$PLUGIN" "chord$notes" "${QX_SOUND[@]}" --set "54=${QX_VOICES[$notes]}"
    ours[$notes]=$CPU
    row "QX-4470, $notes notes on $notes voices" "$CPU"
    render "$PEER" "chord$notes" "${PEER_SOUND[@]}"
    peer[$notes]=$CPU
    row "amsynth, $notes notes" "$CPU"
done
render "$PLUGIN" chord64 "${QX_SOUND[@]}" --set "54=${QX_VOICES[64]}" "${QX_DELAY_ON[@]}"
row "QX-4470, 64 notes on 64 voices, delay on" "$CPU"
render "$PLUGIN" empty "${QX_SOUND[@]}" --set "54=${QX_VOICES[8]}"
idle=$CPU
row "QX-4470, idle (no notes)" "$CPU"

echo
for notes in 8 16; do
    # Both played the same notes, so the ratio of time per voice is the ratio of CPU times.
    awk -v notes="$notes" -v a="${ours[$notes]}" -v b="${peer[$notes]}" 'BEGIN {
        if (b > 0) printf "time per voice at %2d notes, QX-4470 / amsynth: %.2f\n", notes, a / b
        else printf "time per voice at %2d notes: amsynth took no measurable time\n", notes }'
done
awk -v cpu="$idle" -v audio="$SECONDS_OF_AUDIO" \
    'BEGIN { printf "idle instance: %.2f %% of one core\n", 100 * cpu / audio }'
