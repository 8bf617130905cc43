#!/usr/bin/env python3
"""Auditions every factory program: renders each through `qx4470 render` with a note pattern that
suits it, measures the WAV and fails on a silent program, a peak above full scale, or a level far
from the rest of its bank.

Usage: audition.py [--report FILE] [--keep DIR] [--bank A|B|6000] [--jobs N]

The build folder comes from QX_BUILD_DIR (default build/linux under the repository). Programs
are loaded from the bank files in resources/, so a regenerated bank is auditioned as it stands
on disk, before the plug-in is rebuilt around it. The report lists one line per program; the
exit status is 1 when any program fails and is not an expected exception below.
"""
import argparse
import array
import concurrent.futures
import math
import operator
import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
BANKS = [("A", "bank_a.fxb"), ("B", "bank_b.fxb"), ("6000", "prog6000.fxb")]

SILENCE_DBFS = -60.0  # a peak below this is a program that does not sound
MAX_DEVIATION_DB = 9.0  # from the median RMS level of the program's bank
TAIL_SECONDS = 1.5

# Programs whose level is far from their bank's by their own values, with the values that make it so.
# Keyed by (bank, name); a listed program that passes anyway is marked in the report.
EXPECTED = {
    ("A", "PIZZICATO"): "a pluck: the amplifier falls to 3/31 in 56 ms and is silent after 0.3 s",
    ("A", "TOY PIANO"): "a ping: the amplifier falls to 5/31 within 0.15 s, oscillators at 21/31",
    ("A", "SHAMISEN"): "a snap: the amplifier falls to 2/31 within 0.2 s",
    ("A", "AIRPORT 8000"): "a slow swell: amplifier attack 26 (4.1 s), longer than the held notes",
    ("A", "ELECTRONIC MACHINERY"): "a noise effect: oscillators off, noise pulsed by the MG",
    ("B", "DIGITAL INVASION"): "the negative filter envelope (26) closes the filter while a key "
                               "is held; it sounds in its attack, echoes and release",
    ("B", "ROCKET NOISE"): "a low noise rumble while held; the sweep comes with the release, "
                           "as the negative filter envelope falls",
    ("B", "SYNTH DRUM I"): "a drum hit: noise and a square at 14/31 decaying to silence",
    ("B", "SYNTH DRUM III"): "a drum: its pitch falls from two octaves above the note into a low "
                             "cutoff (8), decaying to silence",
    ("6000", "PAN FLUTE"): "soft by its values: oscillators at 11 and 13 of 31 under cutoff 15",
    ("6000", "BREAK DANCE"): "a blip: no oscillators or noise, only the resonant filter's ring, "
                             "the amplifier falling to 0 in 80 ms",
    ("6000", "JET PLANE"): "a slow noise sweep: the filter envelope's attack takes 5.6 s",
    ("6000", "WIND STORM"): "a slow swell: amplifier attack 29 (6.6 s) on filtered noise",
    ("6000", "THUNDER"): "a rumble: noise at 18 of 31 under cutoff 10",
    ("6000", "TOUCH SENSE VIBES"): "a dull mallet: cutoff 12, the filter envelope opening only "
                                   "at the strike",
}

# Programs whose peak passes full scale by their own values, with the values that make it so. Only these
# excuse clipping; silence always fails.
EXPECTED_PEAKS = {
    ("6000", "SYN DRUM"): "full noise (31, 0.8 in the 6000 curve) in six-voice unison through "
                          "a nearly self-oscillating filter (resonance 30): the resonance gives "
                          "the narrow band of noise a high gain, RMS some 13 dB over the bank",
    ("6000", "SYNTH BASS 1"): "the first note of each of its six unison voices after the "
                              "instrument starts rings out of the filter's seeded start state "
                              "(resonance 19, cutoff 0): one thump over full scale, six voices "
                              "alike; later notes stay below",
}

# --- the note patterns ------------------------------------------------------------------------

TICKS = 480  # per quarter note; the tempo is 120, so one tick is 1/960 s
SECOND = 2 * TICKS


def _notes(phrases):
    """phrases: (start in seconds, length in seconds, keys, velocity) -> note events in ticks."""
    events = []
    for start, length, keys, velocity in phrases:
        for key in keys:
            events.append((round(start * SECOND), round(length * SECOND), key, velocity))
    return events


# A musician's moderate touch: three-note chords and single-note lines at velocity 72 to 90.
PATTERNS = {
    # C major, C major, A minor, A minor: a chord struck on every beat (at 100 beats a minute),
    # so plucked and struck sounds are heard as often as sustained ones.
    "chord": _notes([(i * 0.6, 0.55, keys, 72)
                     for i, keys in enumerate(((60, 64, 67),) * 2 + ((57, 60, 64),) * 2)]),
    # Eighth notes around C2: root, octave, fifth, the way a bass part moves.
    "low": _notes([(i * 0.25, 0.22, (key,), 90)
                   for i, key in enumerate((36, 36, 48, 36, 43, 46, 41, 43))]
                  + [(2.0, 0.5, (36,), 90)]),
    # A melody around C5 in quarter notes.
    "high": _notes([(i * 0.4, 0.37, (key,), 90)
                    for i, key in enumerate((72, 76, 79, 77, 76, 74, 72))]),
    # One A minor triad held for three seconds: room for slow attacks and swells.
    "held": _notes([(0.0, 3.0, (57, 60, 64), 72)]),
}


def played_seconds(pattern):
    return max(start + length for start, length, _, _ in PATTERNS[pattern]) / SECOND


def _var_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def midi_file(pattern):
    """A format-0 Standard MIDI File playing the pattern on channel 1."""
    timed = [(0, 0, b"\xff\x51\x03" + (500000).to_bytes(3, "big"))]
    for start, length, key, velocity in PATTERNS[pattern]:
        timed.append((start, 2, bytes([0x90, key, velocity])))
        timed.append((start + length, 1, bytes([0x80, key, 64])))  # offs before ons
    data = bytearray()
    now = 0
    for tick, _, message in sorted(timed, key=lambda e: (e[0], e[1])):
        data += _var_length(tick - now) + message
        now = tick
    data += b"\x00\xff\x2f\x00"
    return (b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS) + b"MTrk" + struct.pack(">I", len(data))
            + bytes(data))


# --- choosing a pattern -----------------------------------------------------------------------

LOW_WORDS = r"BASS|TOM|DRUM I|DRUM II|DRUM III|SYN DRUM"
HELD_WORDS = (r"STRINGS|CELLOS|PAD|CHOIR|VOICE|SE|NOISE|SPACE|SWEEP|JET|HELICOPTER|THUNDER|WIND"
              r"|MONSTERS|ROCKET|HORROR|AIRPORT|MACHINERY|GIANT|INSECT|INVASION|GHOST|STAR"
              r"|DROPS|DEEP SEA|PROLOGUE|EPILOGUE|DISINTEGRATOR|LFO-MOD|AUTOPULSE|NEW WORLD")
HIGH_WORDS = (r"LEAD|SOLO|BELLS?|WHISTLE|FLUTE|VIOLINS?|CLARINET|TRUMPETS|HARMONICA|SAXS"
              r"|MUSICBOX|CELESTE|STEEL DRUMS?|TRUMPET")


def choose_pattern(name, mode, vca):
    """Picks the pattern from the program's name and values. Held notes only suit a sound that
    sustains: an effect that dies away by itself is struck like an instrument. A unison program
    plays one note at a time (a line); a slow amplifier attack wants held notes."""
    attack, _, _, _, sustain, _ = vca
    def has(words):
        return re.search(r"\b(" + words + r")\b", name) is not None
    if has(r"STEEL DRUMS?"):
        return "high"  # tuned percussion, not a drum kit
    if has(LOW_WORDS):
        return "low"
    if has(HELD_WORDS) and (sustain > 0 or attack >= 8):
        return "held"
    if has(HIGH_WORDS):
        return "high"
    if mode.startswith("Unison"):
        return "high"
    if attack >= 8:
        return "held"
    return "chord"


# --- the programs -----------------------------------------------------------------------------

PROGRAM_LINE = re.compile(r"^\s*(\d+) \[(\d+)\] (.+?)\s+(8000|6000) (Poly \d|Unison \d)\s.*"
                          r"\bvca (\d+)/(\d+)/(\d+)/(\d+)/(\d+)/(\d+)")


def list_programs(tool, bank_file, env):
    out = subprocess.run([tool, "programs", bank_file], capture_output=True, text=True, env=env,
                         check=True).stdout
    programs = []
    for line in out.splitlines():
        match = PROGRAM_LINE.match(line)
        if match:
            index, number, name, _, mode = match.groups()[:5]
            vca = tuple(int(value) for value in match.groups()[5:])
            programs.append((int(index), number, name.strip(), mode, vca))
    if len(programs) != 64:
        raise SystemExit(f"audition: {bank_file}: expected 64 programs, read {len(programs)}")
    return programs


# --- measuring --------------------------------------------------------------------------------


def read_wav(path):
    """Returns (sample rate, channels, samples, scale to -1..1) of a float or 16-bit WAV."""
    with open(path, "rb") as wav:
        data = wav.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a WAV file")
    chunks, position = {}, 12
    while position + 8 <= len(data):
        size = struct.unpack("<I", data[position + 4:position + 8])[0]
        chunks.setdefault(data[position:position + 4], data[position + 8:position + 8 + size])
        position += 8 + size + (size & 1)
    if b"fmt " not in chunks or b"data" not in chunks:
        raise ValueError(f"{path}: no fmt or data chunk")
    fmt = chunks[b"fmt "]
    code, channels, rate, _, _, bits = struct.unpack("<HHIIHH", fmt[:16])
    if code == 0xFFFE:  # extensible: the sub-format GUID starts with the format code
        code = struct.unpack("<H", fmt[24:26])[0]
    if code == 3 and bits == 32:
        values, scale = array.array("f", chunks[b"data"]), 1.0
    elif code == 1 and bits == 16:
        values, scale = array.array("h", chunks[b"data"]), 1 / 32768
    else:
        raise ValueError(f"{path}: unsupported sample format {code}/{bits}")
    if sys.byteorder == "big":
        values.byteswap()
    return rate, channels, values, scale


def decibels(value):
    return 20 * math.log10(value) if value > 0 else -math.inf


def measure(path, played):
    """Peak over the whole file; RMS over the time the keys are played (the release tail would
    otherwise favour programs with long releases and echoes)."""
    rate, channels, values, scale = read_wav(path)
    peak = max(max(values, default=0), -min(values, default=0)) * scale
    window = values[:int(played * rate) * channels]
    energy = math.fsum(map(operator.mul, window, window))
    rms = math.sqrt(energy / max(1, len(window))) * scale
    return decibels(peak), decibels(rms)


# --- the run ----------------------------------------------------------------------------------


def render(job):
    tool, plugin, bank_path, index, midi, wav, env = job
    command = [tool, "render", plugin, midi, "-o", wav, "--format", "f32", "--load", bank_path,
               "--program", str(index), "--tail", str(TAIL_SECONDS)]
    result = subprocess.run(command, capture_output=True, text=True, env=env)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(command)}: {result.stderr.strip()}")


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def verdicts(rows):
    """rows of one bank: dicts with peak and rms; adds 'verdict' and 'failed'. An expected
    exception excuses a level far from the median, an expected peak one over full scale: silence
    always fails."""
    centre = median([row["rms"] for row in rows if row["rms"] > -math.inf])
    for row in rows:
        faults, level = [], None
        if row["peak"] < SILENCE_DBFS:
            faults.append("silent")
        elif abs(row["rms"] - centre) > MAX_DEVIATION_DB:
            level = f"{'loud' if row['rms'] > centre else 'quiet'} {row['rms'] - centre:+.1f} dB"
        peak_reason = EXPECTED_PEAKS.get((row["bank"], row["name"]))
        clips = row["peak"] > 0.0
        if clips and not peak_reason:
            faults.append("clips")
        reason = EXPECTED.get((row["bank"], row["name"])) or peak_reason
        if level and not reason:
            faults.append(level)
        row["failed"] = bool(faults)
        if faults:
            row["verdict"] = "FAIL: " + ", ".join(faults)
        elif level or clips:
            what = ", ".join(x for x in (level, "clips" if clips else None) if x)
            row["verdict"] = f"expected ({what}): {reason}"
        else:
            row["verdict"] = "ok" + (" (listed as an exception)" if reason else "")
    return centre


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--report", help="also write the report to this file")
    parser.add_argument("--keep", help="keep the rendered WAVs in this folder")
    parser.add_argument("--bank", choices=[bank for bank, _ in BANKS], action="append")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = parser.parse_args()

    build = os.environ.get("QX_BUILD_DIR", os.path.join(ROOT, "build", "linux"))
    tool = os.path.join(build, "qx4470")
    plugin = os.path.join(build, "qx447064.so")
    for path in (tool, plugin):
        if not os.path.exists(path):
            raise SystemExit(f"audition: {path} is missing; build it or set QX_BUILD_DIR")

    with tempfile.TemporaryDirectory(prefix="qx-audition-") as scratch:
        # A fresh settings folder: no user's startup bank or controller bindings take part.
        env = dict(os.environ, XDG_CONFIG_HOME=scratch, HOME=scratch)
        wav_folder = args.keep or scratch
        os.makedirs(wav_folder, exist_ok=True)
        midis = {}
        for pattern in PATTERNS:
            midis[pattern] = os.path.join(scratch, pattern + ".mid")
            with open(midis[pattern], "wb") as out:
                out.write(midi_file(pattern))

        rows, jobs = [], []
        for bank, file_name in BANKS:
            if args.bank and bank not in args.bank:
                continue
            bank_path = os.path.join(ROOT, "resources", file_name)
            for index, number, name, mode, vca in list_programs(tool, bank_path, env):
                pattern = choose_pattern(name, mode, vca)
                wav = os.path.join(wav_folder, f"{bank}-{number}.wav")
                rows.append(dict(bank=bank, number=number, name=name, pattern=pattern, wav=wav))
                jobs.append((tool, plugin, bank_path, index, midis[pattern], wav, env))
        with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
            list(pool.map(render, jobs))
        for row in rows:
            row["peak"], row["rms"] = measure(row["wav"], played_seconds(row["pattern"]))

    lines = [
        "# Factory-sound audition: every program rendered by qx4470 at 44100 Hz, 32-bit float.",
        f"# Fails on a peak below {SILENCE_DBFS:.0f} dBFS (silent), above 0 dBFS, or an RMS level "
        f"(while the keys are played) more than {MAX_DEVIATION_DB:.0f} dB from the bank's median.",
        "# Regenerate: tools/audition/audition.py --report tools/audition/AUDITION.txt",
        "",
        f"{'bank':<5}{'no':<4}{'name':<22}{'pattern':<8}{'peak':>8}{'RMS':>8}  verdict",
    ]
    failures = 0
    for bank, _ in BANKS:
        bank_rows = [row for row in rows if row["bank"] == bank]
        if not bank_rows:
            continue
        centre = verdicts(bank_rows)
        for row in bank_rows:
            failures += row["failed"]
            lines.append(f"{row['bank']:<5}{row['number']:<4}{row['name']:<22}{row['pattern']:<8}"
                         f"{row['peak']:>8.1f}{row['rms']:>8.1f}  {row['verdict']}")
        passed = sum(1 for row in bank_rows if row["verdict"].startswith("ok"))
        excused = sum(1 for row in bank_rows if row["verdict"].startswith("expected"))
        lines.append(f"# bank {bank}: median RMS {centre:.1f} dBFS; {passed} ok, {excused} "
                     f"expected exceptions, {len(bank_rows) - passed - excused} failed")
        lines.append("")
    lines.append(f"# {failures} program(s) failed" if failures else "# all programs passed")
    report = "\n".join(lines) + "\n"
    sys.stdout.write(report)
    if args.report:
        with open(args.report, "w") as out:
            out.write(report)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
