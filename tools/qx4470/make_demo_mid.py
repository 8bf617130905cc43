#!/usr/bin/env python3
"""Writes resources/demo.mid, the demo song that `qx4470 render` plays through the instrument.

A format-1 Standard MIDI File of about 23 seconds with three tracks: a conductor track (meter,
tempo 100 and a change to 120 for the last two bars), chords with the sustain pedal, the
modulation wheel and a melody on channel 1, and a bass line with pitch-bend slides on
channel 2. The output is the same bytes on every run.

Usage: make_demo_mid.py [OUTPUT]   (default: resources/demo.mid beside this repository's tools)
"""
import os
import struct
import sys

TICKS = 480  # per quarter note
BAR = 4 * TICKS


def var_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def track_chunk(events):
    """events: (tick, order, bytes); sorted by tick then order; delta times written."""
    data = bytearray()
    now = 0
    for tick, _, message in sorted(events, key=lambda e: (e[0], e[1])):
        data += var_length(tick - now) + message
        now = tick
    data += var_length(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def meta(kind, payload):
    return bytes([0xFF, kind]) + var_length(len(payload)) + payload


def note(events, channel, start, length, key, velocity):
    # Note-offs sort before note-ons at the same tick so repeated keys retrigger cleanly.
    events.append((start, 1, bytes([0x90 | channel, key, velocity])))
    events.append((start + length, 0, bytes([0x80 | channel, key, 0x40])))


def controller(events, channel, tick, number, value):
    events.append((tick, 2, bytes([0xB0 | channel, number, value])))


def bend(events, channel, tick, value):
    value += 8192
    events.append((tick, 2, bytes([0xE0 | channel, value & 0x7F, value >> 7])))


def conductor():
    events = [
        (0, 0, meta(0x03, b"QX-4470 demo")),
        (0, 0, meta(0x58, bytes([4, 2, 24, 8]))),  # 4/4
        (0, 0, meta(0x51, (600000).to_bytes(3, "big"))),  # 100 beats per minute
        (8 * BAR, 0, meta(0x51, (500000).to_bytes(3, "big"))),  # 120 for the coda
    ]
    return events


# A minor: Am F C G | Am F C E | Am(add9) Fmaj7, one chord per bar, notes as MIDI keys.
CHORDS = [
    [57, 60, 64], [53, 57, 60, 65], [55, 60, 64], [55, 59, 62, 67],
    [57, 60, 64, 69], [53, 57, 60, 64], [55, 60, 64, 67], [56, 59, 64, 68],
    [57, 59, 60, 64, 71], [53, 57, 60, 64, 69],
]
ROOTS = [45, 41, 48, 43, 45, 41, 48, 40, 45, 41]
# Melody for bars 5-10: (bar, beat, length in beats, key).
MELODY = [
    (4, 0, 1.5, 76), (4, 1.5, 0.5, 74), (4, 2, 2, 72),
    (5, 0, 1, 69), (5, 1, 1, 72), (5, 2, 2, 77),
    (6, 0, 1.5, 76), (6, 1.5, 0.5, 74), (6, 2, 1, 72), (6, 3, 1, 71),
    (7, 0, 3, 71), (7, 3, 1, 68),
    (8, 0, 2, 69), (8, 2, 1, 71), (8, 3, 1, 72),
    (9, 0, 4, 76),
]


def chords_track():
    events = [(0, 0, meta(0x03, b"Chords"))]
    channel = 0
    for bar, chord in enumerate(CHORDS):
        start = bar * BAR
        last = bar == len(CHORDS) - 1
        # Pedal up just before each bar, down just after the chord is struck.
        controller(events, channel, start + 10, 64, 127)
        controller(events, channel, start + BAR - 20, 64, 0)
        if last:
            for i, key in enumerate(chord):  # a slow strum for the final chord
                note(events, channel, start + 40 * i, BAR - 60 - 40 * i, key, 70)
        else:
            for beat in (0, 2):
                velocity = 84 if beat == 0 else 68
                for key in chord:
                    note(events, channel, start + beat * TICKS, 2 * TICKS - 30, key, velocity)
    # The modulation wheel swells through bars 5-8 and is released for the coda.
    for step in range(33):
        controller(events, channel, 4 * BAR + step * BAR // 8, 1, min(127, step * 4))
    controller(events, channel, 8 * BAR, 1, 0)
    for bar, beat, length, key in MELODY:
        start = bar * BAR + int(beat * TICKS)
        note(events, channel, start, int(length * TICKS) - 20, key, 96)
    return events


def bass_track():
    events = [(0, 0, meta(0x03, b"Bass"))]
    channel = 1
    pattern = [(0, 0), (1, 0), (1.5, 12), (2, 0), (3, 7), (3.5, 12)]  # (beat, interval)
    for bar, root in enumerate(ROOTS):
        start = bar * BAR
        if bar == len(ROOTS) - 1:
            note(events, channel, start, BAR - 60, root, 100)
            continue
        for beat, interval in pattern:
            velocity = 104 if beat == 0 else 82
            note(events, channel, start + int(beat * TICKS), TICKS // 2 - 30, root + interval,
                 velocity)
    # Slide up a whole tone into bar 5, and a fall-off at the very end.
    slide = 4 * BAR
    for step in range(9):
        bend(events, channel, slide + step * 30, -4096 + step * 512)
    for step in range(17):
        bend(events, channel, 9 * BAR + 3 * TICKS + step * 20, -step * 480)
    bend(events, channel, 10 * BAR, 0)
    return events


def song():
    tracks = [conductor(), chords_track(), bass_track()]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS)
    return header + b"".join(track_chunk(t) for t in tracks)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "..", "resources", "demo.mid")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    with open(path, "wb") as out:
        out.write(song())


if __name__ == "__main__":
    main()
