#include "tests/plugin/Player.h"

#include "host/IPlugVST.h"
#include "instrument/ParameterTable.h"
#include "tests/support/VstEventBuilder.h"

#include <algorithm>
#include <cstring>

Player::Player(TestHost& host, double sampleRate, int blockSize, uint32_t seed)
    : rate(sampleRate), block(blockSize), host_(host) {
    effect = host_.Create();
    if (!effect) return;
    host_.Call(effect, effOpen);
    host_.Call(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    host_.Call(effect, effSetBlockSize, 0, blockSize);
    host_.Call(effect, effMainsChanged, 0, 1);
    host_.Call(effect, effVendorSpecific, kSeedRandomnessCode, seed);
}

Player::~Player() {
    host_.Close(effect);
}

void Player::Set(int index, double value) {
    const ParameterInfo& info = kParameterTable[index];
    const double normalized =
        (std::clamp(value, info.min, info.max) - info.min) / (info.max - info.min);
    effect->setParameter(effect, index, static_cast<float>(normalized));
}

void Player::SineProgram() {
    for (int i = 0; i < kNumParams; ++i)
        Set(i, kParameterTable[i].defaultValue);
    Set(kOsc1Waveform, 16);
    Set(kOsc2Level, 0);
    Set(kVcfCutoff, 63);
    Set(kVcfKbdTrack, 0);
    Set(kVcaEgRelease, 0);
    Set(kDelayLevel, 0);
    Set(kModWheelOscMg, 0);
    Set(kVolume, 1);
}

void Player::At(long frame, uint8_t status, uint8_t data1, uint8_t data2) {
    pending_.push_back({frame, {status, data1, data2}});
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Scheduled& a, const Scheduled& b) { return a.frame < b.frame; });
}

Stereo Player::Render(long frames) {
    Stereo out;
    out.left.resize(frames);
    out.right.resize(frames);
    for (long done = 0; done < frames;) {
        const int count = static_cast<int>(std::min<long>(block, frames - done));
        std::vector<VstMidiEvent> midi;
        for (const Scheduled& s : pending_)
            if (s.frame >= position_ && s.frame < position_ + count) {
                midi.push_back(MidiEvent(static_cast<int>(s.frame - position_), s.bytes[0],
                                         s.bytes[1], s.bytes[2]));
            }
        std::vector<VstEvent*> list;
        for (VstMidiEvent& event : midi)
            list.push_back(reinterpret_cast<VstEvent*>(&event));
        host_.SendEvents(effect, list);
        double* outputs[2] = {out.left.data() + done, out.right.data() + done};
        effect->processDoubleReplacing(effect, nullptr, outputs, count);
        done += count;
        position_ += count;
    }
    return out;
}
