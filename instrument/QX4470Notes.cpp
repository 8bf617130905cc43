// Notes: the held keys, the four assign modes, the sustain pedal and stopping everything.
#include "instrument/QX4470.h"

#include <algorithm>
#include <cmath>

namespace {

// The unison voices spread around the note by these pitch steps (plus the note's random
// spread): one voice plays the note, two and four sit 4 steps apart, other counts spread
// evenly over -10..+10.
void UnisonSpread(int count, int spread, double* start, double* step) {
    switch (count) {
    case 1:
        *start = spread, *step = 0;
        break;
    case 2:
        *start = spread - 2, *step = 4;
        break;
    case 4:
        *start = spread - 6, *step = 4;
        break;
    default:
        *start = spread - 10, *step = 20.0 / (count - 1);
        break;
    }
}

} // namespace

void QX4470::NoteOn(int note, int velocity) {
    if (note < 0 || note > 127) return;
    if (velocity <= 0) return NoteOff(note);
    if (mtsClient && mtsClient->ShouldFilter(note)) return;
    heldNotes.Set(note, velocity);
    Allocate(note, velocity);
    // The MG fades in afresh with the first key of a phrase.
    if (heldNotes.Count() == 1) modulation.restartDelay();
}

void QX4470::StartVoice(int index, int note, int velocity, int serial, int spread) {
    const int pitch = (mtsClient ? mtsClient->NotePitch(note) : note * 128) + spread;
    voices[index].noteOn(note, velocity, serial, pitch);
}

void QX4470::Allocate(int note, int velocity) {
    const int spread = random.below(9) - 4;
    const int n = voiceCount;
    switch (assignMode) {
    case 0: { // "Poly 1": the voice already on this note, else a silent one, else the oldest
        int chosen = -1;
        for (int i = 0; i < n && chosen < 0; ++i)
            if (static_cast<int>(voices[i].note) == note) chosen = i;
        for (int i = 0; i < n && chosen < 0; ++i)
            if (!voices[i].active()) chosen = i;
        if (chosen < 0) {
            chosen = 0;
            for (int i = 1; i < n; ++i)
                if (voices[i].serial < voices[chosen].serial) chosen = i;
        }
        StartVoice(chosen, note, velocity, ++nextSerial, spread);
        break;
    }
    case 1: { // "Poly 2": the first voice whose key is up, else the last one
        int chosen = n - 1;
        for (int i = 0; i < n - 1; ++i)
            if (!voices[i].keyHeld) {
                chosen = i;
                break;
            }
        StartVoice(chosen, note, velocity, nextSerial++, spread);
        break;
    }
    default: { // "Unison 1" and "Unison 2": up to eight voices on one note
        double offset, step;
        UnisonSpread(unisonCount, spread, &offset, &step);
        for (int i = 0; i < unisonCount; ++i) {
            StartVoice(i, note, velocity, nextSerial++, static_cast<int>(std::round(offset)));
            offset += step;
        }
        break;
    }
    }
}

void QX4470::NoteOff(int note) {
    if (note < 0 || note > 127) return;
    heldNotes.Remove(note);
    if (!unison) {
        for (int i = 0; i < voiceCount; ++i)
            if (static_cast<int>(voices[i].note) == note) voices[i].keyUp();
        return;
    }
    if (!voices[0].active() || heldNotes.Empty()) {
        for (int i = 0; i < 8; ++i)
            voices[i].keyUp();
        return;
    }
    // High-note priority: the unison voices return to the highest key still down.
    const int highest = heldNotes.Highest();
    if (static_cast<int>(voices[0].note) != highest) Allocate(highest, heldNotes.Velocity(highest));
}

void QX4470::SustainPedal(int value) {
    sustain = value > 0;
    for (Voice& voice : voices) {
        voice.sustained = sustain;
        if (!voice.keyHeld && !sustain) voice.release();
    }
}

void QX4470::AllNotesOff() {
    heldNotes.Clear();
    // Note and pedal events still waiting for their sample would start notes again.
    events_.Clear();
    nextEvent_ = 0;
    SustainPedal(0);
    for (Voice& voice : voices) {
        voice.keyHeld = false;
        voice.release();
    }
}

void QX4470::SetVoiceCount(int count) {
    if (count == voiceCount) return;
    voiceCount = count;
    unisonCount = std::clamp(count, 1, 8);
    unisonGain = UnisonGainOf(unisonCount);
    if (!constructing) AllNotesOff();
}
