#!/usr/bin/env python3
"""Writes resources/demo.mid, the demo song that `qx4470 render` plays through the instrument.

A short piece in A minor of 28 seconds at 128 beats a minute that walks through four
factory programs of bank A by program change, four bars each over the same progression:
a pad plays the chords (PROLOGUE), a bass plays the line (SYNTH BASS 1), a lead sings the
melody (UNISON LEAD), and a bell closes with arpeggios and a last ringing chord (BELL SE 1).
The instrument plays one program at a time, so each section features one sound. A format-1
Standard MIDI File: a conductor track and one music track on channel 1. The output is the same
bytes on every run.

Usage: make_demo_mid.py [OUTPUT]   (default: resources/demo.mid beside this repository's tools)
"""
import os
import struct
import sys

TICKS = 480  # per quarter note
BAR = 4 * TICKS
TEMPO = 128  # beats a minute

# Bank A program numbers (0-based, in keypad order 11..88).
PAD = 48  # 71 PROLOGUE
BASS = 45  # 66 SYNTH BASS 1
LEAD = 40  # 61 UNISON LEAD
BELL = 1  # 12 BELL SE 1

# Am F C G, one chord a bar, as (root, chord tones for the pad in close voicing).
PROGRESSION = [(45, (57, 60, 64)), (41, (57, 60, 65)), (48, (55, 60, 64)), (43, (55, 59, 62))]


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


CHANNEL = 0


def program(events, tick, number):
    # Before the notes of the same tick: a program change releases whatever still sounds.
    events.append((tick, 0, bytes([0xC0 | CHANNEL, number])))


def note(events, start, length, key, velocity):
    # Note-offs sort before note-ons at the same tick so repeated keys retrigger cleanly.
    events.append((start, 2, bytes([0x90 | CHANNEL, key, velocity])))
    events.append((start + length, 1, bytes([0x80 | CHANNEL, key, 0x40])))


def controller(events, tick, number, value):
    events.append((tick, 3, bytes([0xB0 | CHANNEL, number, value])))


def conductor():
    return [
        (0, 0, meta(0x03, b"QX-4470 demo")),
        (0, 0, meta(0x58, bytes([4, 2, 24, 8]))),  # 4/4
        (0, 0, meta(0x51, (60000000 // TEMPO).to_bytes(3, "big"))),
    ]


def pad(events, start):
    """Whole-bar chords, each tied into the next so the pad never drops out."""
    program(events, start, PAD)
    for bar, (_, chord) in enumerate(PROGRESSION):
        for key in chord:
            note(events, start + bar * BAR, BAR - 10, key, 40)


def bass(events, start):
    """Eighth notes on the roots with octave and fifth jumps, a fill into each next chord."""
    program(events, start, BASS)
    groove = [(0, 0), (0.5, 0), (1, 12), (1.5, 0), (2, 7), (2.5, 0), (3, 12), (3.5, 10)]
    for bar, (root, _) in enumerate(PROGRESSION):
        for beat, interval in groove:
            velocity = 100 if beat in (0, 2) else 84
            note(events, start + bar * BAR + int(beat * TICKS), TICKS // 2 - 40, root + interval,
                 velocity)


# The melody over Am F C G: (bar, beat, length in beats, key).
MELODY = [
    (0, 0, 1.5, 76), (0, 1.5, 0.5, 74), (0, 2, 1, 72), (0, 3, 1, 69),
    (1, 0, 1, 72), (1, 1, 1, 69), (1, 2, 2, 77),
    (2, 0, 1.5, 76), (2, 1.5, 0.5, 74), (2, 2, 1, 72), (2, 3, 1, 67),
    (3, 0, 3, 71), (3, 3, 1, 74),
]


def lead(events, start):
    """The tune, legato, with a touch of wheel vibrato on its long notes."""
    program(events, start, LEAD)
    for bar, beat, length, key in MELODY:
        note(events, start + bar * BAR + int(beat * TICKS), int(length * TICKS) - 20, key, 92)
    for bar in (1, 3):  # vibrato swells in on the half notes and goes again
        controller(events, start + bar * BAR + 2 * TICKS, 1, 30)
        controller(events, start + (bar + 1) * BAR - 40, 1, 0)


def bell(events, start):
    """F and G arpeggios resolving to a last A minor chord that rings out."""
    program(events, start, BELL)
    arpeggios = [(65, 69, 72, 77, 72, 69, 72, 77), (67, 71, 74, 79, 74, 71, 74, 79)]
    for bar, keys in enumerate(arpeggios):
        for step, key in enumerate(keys):
            note(events, start + bar * BAR + step * TICKS // 2, TICKS // 2 - 20, key, 52)
    for i, key in enumerate((69, 72, 76, 81)):  # a gentle strum
        note(events, start + 2 * BAR + 60 * i, BAR - 60 * i, key, 50)


def music():
    events = [(0, 0, meta(0x03, b"Pad, bass, lead, bell"))]
    pad(events, 0)
    bass(events, 4 * BAR)
    lead(events, 8 * BAR)
    bell(events, 12 * BAR)
    return events


def song():
    tracks = [conductor(), music()]
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
