// Note handling inside the instrument: which voices the assign modes choose, the unison spread,
// held keys and the pedal, MIDI control (learn, thru, program change, the queue's rules) and
// note pitch from a tuning master.
#include "synth/TuningClient.h"
#include "tests/instrument/InstrumentFixture.h"
#include "tests/support/SignalMeasure.h"

#include <algorithm>
#include <cmath>

namespace {

class Notes : public InstrumentTest {
protected:
    void SetUp() override {
        InstrumentTest::SetUp();
        Synth().SetSampleRate(44100);
        Synth().SetBlockSize(512);
        Synth().OnReset();
        Synth().SeedRandomness(3);
    }
    void Midi(uint8_t status, uint8_t data1, uint8_t data2 = 0, int offset = 0) {
        Synth().ProcessMidiMessage({offset, status, data1, data2});
    }
    std::vector<double> Block(int frames = 512) {
        std::vector<double> left(frames), right(frames);
        double* outputs[2] = {left.data(), right.data()};
        Synth().ProcessBlock(nullptr, outputs, frames);
        return left;
    }
    const Voice& VoiceAt(int i) { return Synth().voices[i]; }
    // The pitch steps a voice's note was moved from equal temperament.
    int Offset(int i) { return VoiceAt(i).targetPitch - static_cast<int>(VoiceAt(i).note) * 128; }
};

TEST_F(Notes, PolyphonicModesChooseTheirVoices) {
    SetValue(kVoices, -2); // 4 voices
    // "Poly 1": the voice already on the note, even while it releases; else a silent one.
    Synth().NoteOn(60, 100);
    Synth().NoteOn(64, 100);
    Synth().NoteOff(60);
    Synth().NoteOn(60, 90);
    EXPECT_EQ(VoiceAt(0).note, 60);
    EXPECT_DOUBLE_EQ(VoiceAt(0).velocity, 90 / 127.0);
    EXPECT_FALSE(VoiceAt(2).active());
    // With every voice sounding, the oldest note's voice is taken.
    Synth().NoteOn(67, 100);
    Synth().NoteOn(71, 100);
    Synth().NoteOn(72, 100);
    EXPECT_EQ(VoiceAt(1).note, 72) << "64 was struck before the second 60";

    // "Poly 2": the first voice whose key is up; with every key down the last one again and
    // again.
    SetValue(kAssignMode, 1);
    for (int note : {40, 41, 42, 43, 44, 45})
        Synth().NoteOn(note, 100);
    EXPECT_EQ(VoiceAt(0).note, 40);
    EXPECT_EQ(VoiceAt(2).note, 42);
    EXPECT_EQ(VoiceAt(3).note, 45);
    Synth().NoteOff(41);
    Synth().NoteOn(50, 100);
    EXPECT_EQ(VoiceAt(1).note, 50);
}

TEST_F(Notes, UnisonSpreadsItsVoicesAndFollowsTheHighestKey) {
    SetValue(kAssignMode, 2);
    const struct {
        double voicesValue;
        std::vector<int> offsets; // without the note's common random spread
    } cases[] = {{-4, {0}},
                 {-3, {-2, 2}},
                 {-2, {-6, -2, 2, 6}},
                 {-1, {-10, -6, -2, 2, 6, 10}},
                 {0, {-10, -7, -4, -1, 1, 4, 7, 10}},
                 {3, {-10, -7, -4, -1, 1, 4, 7, 10}}};
    for (const auto& c : cases) {
        SetValue(kVoices, c.voicesValue);
        Synth().NoteOn(60, 100);
        const int spread = Offset(0) - c.offsets[0];
        EXPECT_GE(spread, -4);
        EXPECT_LE(spread, 4);
        for (size_t i = 0; i < c.offsets.size(); ++i) {
            // Halves round away from zero: -7.14 + 3 is -4, -7.14 - 3 is -10.
            const double exact = -10 + i * 20.0 / 7 + spread;
            const int expected =
                c.offsets.size() == 8 ? static_cast<int>(std::round(exact)) : c.offsets[i] + spread;
            EXPECT_EQ(Offset(static_cast<int>(i)), expected) << c.voicesValue << " voice " << i;
        }
        EXPECT_FALSE(VoiceAt(static_cast<int>(c.offsets.size())).active());
        Synth().AllNotesOff();
    }

    // Hold C, then E, release E: the voices return to C with C's velocity.
    SetValue(kVoices, -2);
    Synth().NoteOn(60, 50);
    Synth().NoteOn(64, 120);
    EXPECT_EQ(VoiceAt(3).note, 64);
    Synth().NoteOff(64);
    EXPECT_EQ(VoiceAt(3).note, 60);
    EXPECT_DOUBLE_EQ(VoiceAt(3).velocity, 50 / 127.0);
    Synth().NoteOff(60);
    EXPECT_FALSE(VoiceAt(0).keyHeld);
}

TEST_F(Notes, PedalHoldsKeysAndModeOrVoiceChangesReleaseEverything) {
    Synth().NoteOn(60, 100);
    Synth().SustainPedal(127);
    Synth().NoteOff(60);
    Block();
    EXPECT_NE(VoiceAt(0).path.vcaEnv.stage(), Envelope::kRelease) << "held by the pedal";
    Synth().SustainPedal(0);
    EXPECT_EQ(VoiceAt(0).path.vcaEnv.stage(), Envelope::kRelease);

    Synth().NoteOn(62, 100);
    Block();
    SetValue(kVoices, 1);
    EXPECT_EQ(VoiceAt(1).path.vcaEnv.stage(), Envelope::kRelease);
    EXPECT_TRUE(Synth().heldNotes.Empty());
}

TEST_F(Notes, LearnBindsAndForgetsControllersInEitherOrder) {
    Configuration& config = Synth().config;
    std::fill(config.ccMap, config.ccMap + Configuration::kControllerCount, -1);
    auto arm = [&](bool forget) {
        Synth().learnArmed = true;
        Synth().learnForget = forget;
        Synth().learnController = Synth().learnParameter = -1;
    };
    // Parameter first, then controller.
    arm(false);
    Synth().SetParameterFromEditor(kVcfCutoff, 0.5);
    Midi(0xB0, 74, 10);
    EXPECT_EQ(config.ccMap[74], kVcfCutoff);
    EXPECT_FALSE(Synth().learnArmed);
    // Controller first: a new binding of 74 replaces the old one.
    arm(false);
    Midi(0xB0, 74, 10);
    Synth().SetParameterFromEditor(kVcfResonance, 0.5);
    EXPECT_EQ(config.ccMap[74], kVcfResonance);
    // A parameter follows one controller only.
    arm(false);
    Midi(0xB0, 20, 10);
    Synth().SetParameterFromEditor(kVcfResonance, 0.5);
    EXPECT_EQ(config.ccMap[20], kVcfResonance);
    EXPECT_EQ(config.ccMap[74], -1);

    // A bound controller moves its parameter when its tick comes; 1 stays the wheel.
    config.ccMap[21] = kVoices;
    config.ccMap[1] = kVcfCutoff;
    const double cutoff = Value(kVcfCutoff);
    Midi(0xB0, 21, 127);
    Midi(0xB0, 1, 0);
    Block(64);
    EXPECT_EQ(Value(kVoices), 3);
    EXPECT_EQ(Synth().voiceCount, 64);
    EXPECT_EQ(Value(kVcfCutoff), cutoff) << "controller 1 is only ever the wheel";
    Midi(0xB0, 21, 0);
    Block(64);
    EXPECT_EQ(Synth().voiceCount, 1);

    // Forget by controller alone.
    arm(true);
    Midi(0xB0, 20, 0);
    EXPECT_EQ(config.ccMap[20], -1);
    EXPECT_FALSE(Synth().learnArmed);
}

TEST_F(Notes, ThruProgramChangeAndTheQueueRules) {
    Synth().config.midiThru = true;
    Synth().config.ignoreProgramChange = true;
    Midi(0xC0, 7);
    EXPECT_EQ(Synth().GetCurrentPresetIndex(), 0) << "ignored";
    EXPECT_EQ(host.midi.size(), 1u) << "but passed on";
    Synth().config.ignoreProgramChange = false;
    Midi(0xC0, 7);
    EXPECT_EQ(Synth().GetCurrentPresetIndex(), 7);
    Midi(0xA0, 60, 10); // poly pressure: ignored, but passed on too
    ASSERT_EQ(host.midi.size(), 3u);
    EXPECT_EQ(host.midi[2][0], 0xA0);

    // Controllers, pressure and bend late in a block wait half a tick more.
    Synth().midiQueue.Clear();
    Midi(0xB0, 7, 1, 100);
    Midi(0xE0, 0, 64, 30);
    EXPECT_EQ(Synth().midiQueue[0].offset, 122);
    EXPECT_EQ(Synth().midiQueue[1].offset, 30);
    Midi(0x90, 60, 0, 5);
    EXPECT_EQ(Synth().midiQueue[2].status, 0x80);
}

TEST_F(Notes, DelayTimeTakesTheNearestStepOfAHostsFloat) {
    // Hosts hand normalised values over as floats: 2/7 arrives as 1.9999999 and 5/7 as
    // 5.0000001 steps.
    const int length = Synth().delay.lineLength();
    for (int step = 0; step <= 7; ++step)
        for (double error : {-2e-8, 0.0, 2e-8}) {
            Synth().SetParameterFromEditor(kDelayTime, std::clamp(step / 7.0 + error, 0.0, 1.0));
            EXPECT_EQ(Synth().delay.readOffset(), length >> (7 - step)) << step << " " << error;
        }
}

TEST(MidiQueueOverflow, EndingsAreNeverLostWhileWhatTheyEndIsKept) {
    MidiQueue queue;
    queue.Resize(4);
    queue.Add({0, 0x90, 60, 100});
    queue.Add({1, 0xE0, 0, 64});
    queue.Add({2, 0xB0, 64, 127});
    queue.Add({3, 0x90, 62, 100});
    EXPECT_FALSE(queue.Add({4, 0x90, 64, 100})) << "a new note is dropped when full";
    EXPECT_TRUE(queue.Add({5, 0x80, 62, 0})) << "cancels the waiting note-on of 62";
    EXPECT_EQ(queue.Size(), 3);
    queue.Add({6, 0x90, 65, 1});
    EXPECT_TRUE(queue.Add({7, 0x90, 48, 0})) << "takes the place of the note-on of 65";
    EXPECT_TRUE(queue.Add({8, 0x80, 48, 0})) << "repeats a waiting ending";
    EXPECT_TRUE(queue.Add({9, 0xB0, 64, 0})) << "cancels the pedal going down";
    std::vector<int> offsets;
    queue.TakeDue(100, [&](const IMidiMessage& m) { offsets.push_back(m.offset); });
    EXPECT_EQ(offsets, (std::vector<int>{0, 1, 7}));

    // A queue of endings only makes room by dropping a repeated one.
    for (int note : {1, 2, 1, 3})
        queue.Add({note, 0x80, static_cast<uint8_t>(note), 0});
    EXPECT_TRUE(queue.Add({9, 0x80, 9, 0}));
    offsets.clear();
    queue.TakeDue(100, [&](const IMidiMessage& m) { offsets.push_back(m.offset); });
    EXPECT_EQ(offsets, (std::vector<int>{1, 2, 3, 9}));
}

TEST_F(Notes, ATuningMasterTunesAndFiltersNotes) {
    TuningLibrary& library = TuningLibrary::Instance();
    ASSERT_TRUE(library.Load(FAKE_TUNING_LIBRARY)) << FAKE_TUNING_LIBRARY;
    std::unique_ptr<QX4470> tuned = NewInstrument(); // registers with the master
    tuned->SetSampleRate(48000);
    tuned->OnReset();
    for (int i = 0; i < kNumParams; ++i) {
        IParameter* param = tuned->GetParameter(i);
        param->SetValueLimited(kParameterTable[i].defaultValue);
    }
    tuned->GetParameter(kOsc1Waveform)->SetValueLimited(16);
    tuned->GetParameter(kOsc2Level)->SetValueLimited(0);
    tuned->GetParameter(kAssignMode)->SetValueLimited(2);
    tuned->GetParameter(kVoices)->SetValueLimited(-4); // one voice: no unison spread
    tuned->NotifyAllParametersChanged();
    tuned->NoteOn(61, 100);
    EXPECT_TRUE(tuned->heldNotes.Empty()) << "the master filters note 61";
    tuned->NoteOn(69, 100);
    std::vector<double> left(48000), right(48000);
    double* outputs[2] = {left.data(), right.data()};
    tuned->ProcessBlock(nullptr, outputs, 48000);
    const double hz = measure::Frequency(left, 48000, 4800, 48000);
    EXPECT_NEAR(measure::Semitones(hz, 432.0), 0, 4.5 / 128) << hz;
    tuned.reset();
    library.Unload();
}

} // namespace
