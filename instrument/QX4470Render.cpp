// Rendering a block: one-millisecond control ticks carried across blocks, MIDI taken in at each
// tick, note and pedal events applied at their own sample, and the voices rendered in stretches
// between events, through the delay and the output gain.
#include "instrument/QX4470.h"

#include "dsp/VoiceRenderer.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE__) || defined(_M_X64) || defined(__x86_64__)
#include <xmmintrin.h>
#define QX_HAVE_MXCSR 1
#endif

namespace {

// Denormal numbers cost a hundred times a normal operation on x86; the engine's decaying
// recursions (filters, the delay's feedback) would otherwise run into them after every note.
// Flush them to zero while a block renders, and give the host its own mode back afterwards.
class FlushDenormals {
public:
#ifdef QX_HAVE_MXCSR
    FlushDenormals() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | 0x8040);
    }
    ~FlushDenormals() {
        _mm_setcsr(saved_);
    }

private:
    unsigned saved_;
#endif
};

bool IsNoteOrPedal(const IMidiMessage& m) {
    const int kind = m.status >> 4;
    return kind == 0x8 || kind == 0x9 || (kind == 0xB && m.data1 == 64);
}

} // namespace

void QX4470::ProcessBlock(double**, double** outputs, int frames) {
    for (int channel = 0; channel < 2; ++channel)
        if (outputs[channel]) std::fill(outputs[channel], outputs[channel] + frames, 0.0);
    if (frames <= 0 || !outputs[0] || !outputs[1]) return;
    FlushDenormals flush;

    int position = 0;
    // A tick begun in an earlier block is finished first; messages of this block that fall
    // into it are taken now, so that notes still start at their own sample.
    if (tickCountdown_ > 0) TakeDueMessages(tickCountdown_, tickCountdown_ - tickLength_);
    while (position < frames) {
        if (tickCountdown_ <= 0) {
            TakeDueMessages(position + tickLength_, position);
            tickOutputs_ = modulation.tick(controllers, amounts, unison ? unisonGain : 1.0);
            for (int i = 0; i < voiceCount; ++i) {
                voices[i].pitchMod = tickOutputs_.pitchMod;
                voices[i].cutoffMod = tickOutputs_.cutoffMod;
                voices[i].controlTick(false);
            }
            delay.modulationStep();
            tickCountdown_ = tickLength_;
        }
        const int chunk = std::min(tickCountdown_, frames - position);
        RenderTickPart(outputs, position, chunk, tickLength_ - tickCountdown_);
        tickCountdown_ -= chunk;
        position += chunk;
        if (tickCountdown_ == 0) {
            // Events cannot outlive their tick; any left (none should be) happen now.
            while (nextEvent_ < events_.Size())
                ApplyNoteEvent(events_[nextEvent_++]);
            events_.Clear();
            nextEvent_ = 0;
        }
    }
    midiQueue.Advance(frames);
}

void QX4470::TakeDueMessages(int limit, int tickStart) {
    midiQueue.TakeDue(limit, [&](const IMidiMessage& message) {
        if (IsNoteOrPedal(message)) {
            IMidiMessage event = message;
            event.offset = std::max(0, message.offset - tickStart);
            if ((event.status >> 4) == 0x9 && event.data2 == 0) event.status = 0x80;
            events_.Add(event);
            return;
        }
        switch (message.status >> 4) {
        case 0xB:
            ApplyController(message.data1, message.data2);
            break;
        case 0xD:
            controllers.aftertouch = message.data1 * (1.0 / 127);
            break;
        case 0xE:
            controllers.bend = ((message.data2 - 64) * 128 + message.data1) / 8192.0;
            break;
        default:
            break;
        }
    });
}

void QX4470::ApplyController(int controller, int value) {
    if (controller == 1) {
        controllers.wheel = value / 127.0;
    } else if (controller == 2) {
        controllers.breath = value / 127.0;
    } else if (controller >= 0 && controller < Configuration::kControllerCount) {
        const int parameter = config.ccMap[controller];
        if (parameter >= 0 && parameter < NParams()) {
            SetParameterFromEditor(parameter, value / 127.0);
            // The knob follows the controller; the editor only stores the value here.
            if (IEditor* editor = GetEditor())
                editor->SetParameterFromPlug(parameter, value / 127.0, true);
        }
    }
}

void QX4470::ApplyNoteEvent(const IMidiMessage& event) {
    switch (event.status >> 4) {
    case 0x8:
        NoteOff(event.data1);
        break;
    case 0x9:
        NoteOn(event.data1, event.data2);
        break;
    case 0xB:
        SustainPedal(event.data2);
        break;
    default:
        break;
    }
}

void QX4470::RenderTickPart(double** outputs, int position, int frames, int tickPosition) {
    int done = 0;
    while (done < frames) {
        while (nextEvent_ < events_.Size() && events_[nextEvent_].offset <= tickPosition + done)
            ApplyNoteEvent(events_[nextEvent_++]);
        int stretch = frames - done;
        if (nextEvent_ < events_.Size())
            stretch = std::min(stretch, events_[nextEvent_].offset - (tickPosition + done));
        stretch = std::min(stretch, kMixFrames);
        RenderStretch(outputs[0] + position + done, outputs[1] + position + done, stretch);
        done += stretch;
    }
}

void QX4470::RenderStretch(double* left, double* right, int frames) {
    std::memset(mix_, 0, sizeof(double) * frames);
    RenderVoices(paths_.data(), voiceCount, frames, mix_);
    const double gain = tickOutputs_.gain;
    if (delayLevel > 0) {
        const double side = pseudoStereo ? -1.0 : 1.0;
        for (int i = 0; i < frames; ++i) {
            const double sum = mix_[i];
            const double echo = delay.process(sum) * delayLevel;
            left[i] = (sum + echo) * gain;
            right[i] = (sum + side * echo) * gain;
        }
    } else {
        for (int i = 0; i < frames; ++i)
            left[i] = right[i] = mix_[i] * gain;
    }
}
