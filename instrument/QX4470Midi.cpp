// MIDI short messages as the host delivers them: thru, what happens at once (learn capture,
// all notes off, program change) and what waits in the queue for its sample.
#include "instrument/QX4470.h"

void QX4470::ProcessMidiMessage(const IMidiMessage& message) {
    if (config.midiThru) SendMidiMessage(message); // everything, also what is ignored below
    IMidiMessage queued = message;
    if (queued.offset < 0) queued.offset = 0;
    // Pressure, bend and controllers late in a block wait half a tick more, so that they land
    // nearer the middle of the tick that takes them in.
    auto delayLate = [&] {
        if (queued.offset > samplesPerMillisecond) queued.offset += samplesPerMillisecond / 2;
    };
    switch (message.status >> 4) {
    case 0x8:
        midiQueue.Add(queued);
        break;
    case 0x9:
        if (queued.data2 == 0) queued.status = static_cast<uint8_t>(0x80 | (message.status & 15));
        midiQueue.Add(queued);
        break;
    case 0xB: {
        const int controller = message.data1;
        if (controller < Configuration::kControllerCount && learnArmed) {
            learnController = controller;
            CompleteLearn();
        } else if (controller == 64) {
            midiQueue.Add(queued);
        } else if (controller < Configuration::kControllerCount) {
            delayLate();
            midiQueue.Add(queued);
        } else if (controller == 120 || controller == 123) {
            AllNotesOff();
        }
        break;
    }
    case 0xC:
        if (!config.ignoreProgramChange) ApplyPreset(message.data1);
        break;
    case 0xD:
    case 0xE:
        delayLate();
        midiQueue.Add(queued);
        break;
    default:
        break;
    }
}
