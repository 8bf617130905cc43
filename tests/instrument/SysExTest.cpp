// The hardware's SysEx messages in both dialects, byte for byte.
#include "tests/instrument/InstrumentFixture.h"

#include <random>

namespace {

// The DW-8000 dump of the live program, computed here from the parameter values.
std::vector<uint8_t> ExpectedDw8000Dump(QX4470& synth) {
    std::vector<uint8_t> dump = {0xF0, 0x42, 0x30, 0x03, 0x40};
    for (int i = 0; i <= 50; ++i) {
        const IParameter* param = synth.GetParameter(i);
        dump.push_back(static_cast<uint8_t>(param->Value() - param->Min()));
    }
    dump[5 + 14] = static_cast<uint8_t>(CodeOfEditParameter(synth.editParameterIndex));
    dump.push_back(0xF7);
    return dump;
}

std::vector<double> ProgramValues(QX4470& synth) {
    std::vector<double> values;
    for (int i = 0; i < 69; ++i)
        values.push_back(synth.GetParameter(i)->Value());
    return values;
}

} // namespace

TEST_F(InstrumentTest, ParameterChangesInTheDw8000Dialect) {
    Send({0xF0, 0x42, 0x30, 0x03, 0x41, 0x0F, 0x20, 0xF7});
    EXPECT_EQ(Value(kVcfCutoff), 32);
    ASSERT_FALSE(host.automation.empty());
    EXPECT_EQ(host.automation.back().first, kVcfCutoff);
    EXPECT_FLOAT_EQ(host.automation.back().second, 32.0f / 63.0f);

    const double editParameter = Value(kEditParameter);
    Send({0xF0, 0x42, 0x30, 0x03, 0x41, 0x0E, 0x05, 0xF7});
    EXPECT_EQ(Value(kEditParameter), editParameter) << "byte 14 is not settable this way";
    Send({0xF0, 0x42, 0x30, 0x13, 0x41, 0x01, 0x7F, 0xF7});
    EXPECT_EQ(Value(kOsc1Waveform), 16) << "only the device's low bits count; values are limited";
    Send({0xF0, 0x42, 0x30, 0x03, 0x41, 0x33, 0x05, 0xF7}); // parameter 51 is not program data
    Send({0xF0, 0x42, 0x30, 0x04, 0x41, 0x0F, 0x01, 0xF7}); // DW-6000 device in DW-8000 mode
    Send({0xF0, 0x43, 0x30, 0x03, 0x41, 0x0F, 0x01, 0xF7}); // another maker
    Send({0xF0, 0x42, 0x30, 0x03, 0x41, 0x0F, 0x01});       // no end
    Send({0xF0, 0x42, 0x30, 0x03, 0x41, 0x0F, 0x01, 0x00, 0xF7}); // wrong length
    EXPECT_EQ(Value(kVcfCutoff), 32);
}

TEST_F(InstrumentTest, ParameterChangesInTheDw6000Dialect) {
    SetValue(kEngineMode, 1);
    Send({0xF0, 0x42, 0x30, 0x04, 0x41, 0x00, 0x25, 0xF7});
    EXPECT_EQ(Value(kAssignMode), 2);
    EXPECT_EQ(Synth().unison, true);
    EXPECT_EQ(Value(kBendOsc), 5);
    Send({0xF0, 0x42, 0x40, 0x04, 0x41, 0x15, 0x4A, 0xF7}); // byte 21: track code 2, MG delay 10
    EXPECT_EQ(Value(kVcfKbdTrack), 3);
    EXPECT_EQ(Value(kMgDelay), 10);
    Send({0xF0, 0x42, 0x40, 0x04, 0x41, 0x17, 0x23, 0xF7}); // byte 23: chorus on, MG VCF 3
    EXPECT_EQ(Value(kDelayLevel), 15);
    EXPECT_EQ(Value(kMgVcf), 3);
    Send({0xF0, 0x42, 0x40, 0x04, 0x41, 0x18, 0x3A, 0xF7}); // byte 24: waves 8 and 3
    EXPECT_EQ(Value(kOsc1Waveform), 8);
    EXPECT_EQ(Value(kOsc2Waveform), 3);
    Send({0xF0, 0x42, 0x40, 0x04, 0x41, 0x1A, 0x01, 0xF7}); // byte 26 does not exist
    Send({0xF0, 0x42, 0x30, 0x03, 0x41, 0x0F, 0x20, 0xF7}); // DW-8000 device in DW-6000 mode
    EXPECT_NE(Value(kVcfCutoff), 32);
}

TEST_F(InstrumentTest, DumpRequestsAreAnsweredInTheModesDialect) {
    SetValue(kVcfCutoff, 41);
    SetValue(kEditParameter, 15);
    Send({0xF0, 0x42, 0x30, 0x03, 0x10, 0xF7});
    ASSERT_EQ(host.sysex.size(), 1u);
    EXPECT_EQ(host.sysex[0], ExpectedDw8000Dump(Synth()));
    EXPECT_EQ(host.sysex[0][5 + 14], 16) << "the edit parameter travels as its panel code";

    SetValue(kEngineMode, 1);
    SetValue(kVcfKbdTrack, 1); // written as code 1
    SetValue(kDelayLevel, 3);  // chorus on
    SetValue(kOsc1Octave, 2);
    SetValue(kVcaEgRelease, 9);
    Send({0xF0, 0x42, 0x30, 0x04, 0x10, 0xF7});
    ASSERT_EQ(host.sysex.size(), 2u);
    const std::vector<uint8_t>& dump = host.sysex[1];
    ASSERT_EQ(dump.size(), 32u);
    EXPECT_EQ(std::vector<uint8_t>(dump.begin(), dump.begin() + 5),
              (std::vector<uint8_t>{0xF0, 0x42, 0x40, 0x04, 0x40}));
    EXPECT_EQ(dump[5 + 5], 41);
    EXPECT_EQ(dump[5 + 19], (2 << 5) | 9);
    EXPECT_EQ(dump[5 + 21] >> 5, 1);
    EXPECT_EQ(dump[5 + 23] >> 5, 1);
    EXPECT_EQ(dump[31], 0xF7);
    Send({0xF0, 0x42, 0x30, 0x04, 0x10, 0x00, 0xF7}); // wrong length
    EXPECT_EQ(host.sysex.size(), 2u);
}

TEST_F(InstrumentTest, DumpsMoveProgramsBetweenInstruments) {
    std::mt19937 random(3);
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i <= 50; ++i) {
            if (i == kEditParameter) continue;
            const ParameterInfo& info = kParameterTable[i];
            SetValue(i, info.min + random() % static_cast<int>(info.max - info.min + 1));
        }
        SetValue(kEditParameter, random() % 51);
        host.sysex.clear();
        Synth().SendProgramDump();
        ASSERT_EQ(host.sysex.size(), 1u);
        auto other = NewInstrument();
        ISysExMessage message;
        message.size = static_cast<int>(host.sysex[0].size());
        message.data = host.sysex[0].data();
        other->ProcessSysExMessage(message);
        for (int i = 0; i <= 50; ++i) {
            if (i == kEditParameter) continue;
            EXPECT_EQ(other->GetParameter(i)->Value(), Value(i)) << "round " << round << " " << i;
        }
        const int edit = static_cast<int>(Value(kEditParameter));
        EXPECT_EQ(other->editParameterIndex, edit == 13 || edit == 14 ? 0 : edit);
    }
}

TEST_F(InstrumentTest, Dw6000DumpsCarryTheirFields) {
    SetValue(kEngineMode, 1);
    SetValue(kOsc1Waveform, 6);
    SetValue(kOsc2Interval, 4);
    SetValue(kVcfKbdTrack, 1);
    SetValue(kVcfEgPolarity, 1);
    SetValue(kBendVcf, 1);
    SetValue(kAssignMode, 2);
    SetValue(kBendOsc, 12);
    SetValue(kDelayLevel, 9);
    SetValue(kAutoBendTime, 20); // not part of the DW-6000's data
    host.sysex.clear();
    Synth().SendProgramDump();
    ASSERT_EQ(host.sysex.size(), 1u);

    auto other = NewInstrument();
    other->GetParameter(kEngineMode)->SetValueLimited(1);
    other->OnParameterChanged(kEngineMode);
    ISysExMessage message;
    message.size = 32;
    message.data = host.sysex[0].data();
    other->ProcessSysExMessage(message);
    EXPECT_EQ(other->GetParameter(kOsc1Waveform)->Value(), 6);
    EXPECT_EQ(other->GetParameter(kOsc2Interval)->Value(), 4);
    EXPECT_EQ(other->GetParameter(kVcfKbdTrack)->Value(), 2) << "1/4 travels as code 1: 1/2";
    EXPECT_EQ(other->GetParameter(kVcfEgPolarity)->Value(), 1);
    EXPECT_EQ(other->GetParameter(kBendVcf)->Value(), 1);
    EXPECT_EQ(other->GetParameter(kAssignMode)->Value(), 2);
    EXPECT_EQ(other->GetParameter(kBendOsc)->Value(), 12);
    EXPECT_EQ(other->GetParameter(kDelayLevel)->Value(), 15) << "chorus on reads as level 15";
    EXPECT_EQ(other->GetParameter(kAutoBendTime)->Value(), 0);
    EXPECT_EQ(other->GetParameter(kVoices)->Value(), -1);
    EXPECT_EQ(other->GetParameter(kWaveSet)->Value(), 1);
    // A DW-6000 dump in DW-8000 mode is not for this instrument.
    auto eightThousand = NewInstrument();
    const double cutoff = eightThousand->GetParameter(kVcfCutoff)->Value();
    eightThousand->ProcessSysExMessage(message);
    EXPECT_EQ(eightThousand->GetParameter(kVcfCutoff)->Value(), cutoff);
    EXPECT_FALSE(eightThousand->dw6000);
}

TEST_F(InstrumentTest, ParameterChangesAreSentWhenAsked) {
    Synth().SendParameterChange(kVcfCutoff);
    EXPECT_TRUE(host.sysex.empty()) << "the option is off";
    Synth().config.sendParamChangeSysEx = true;
    SetValue(kVcfCutoff, 20);
    Synth().SendParameterChange(kVcfCutoff);
    ASSERT_EQ(host.sysex.size(), 1u);
    EXPECT_EQ(host.sysex[0], (std::vector<uint8_t>{0xF0, 0x42, 0x30, 0x03, 0x41, 0x0F, 20, 0xF7}));
    Synth().SendParameterChange(kEditParameter);
    Synth().SendParameterChange(kVoices);
    EXPECT_EQ(host.sysex.size(), 1u);

    SetValue(kEngineMode, 1);
    SetValue(kOsc2Waveform, 4);
    SetValue(kOsc1Waveform, 2);
    Synth().SendParameterChange(kOsc2Waveform);
    ASSERT_EQ(host.sysex.size(), 2u);
    EXPECT_EQ(host.sysex[1],
              (std::vector<uint8_t>{0xF0, 0x42, 0x40, 0x04, 0x41, 24, (1 << 3) | 3, 0xF7}));
    Synth().SendParameterChange(kAutoBendTime); // no DW-6000 byte
    EXPECT_EQ(host.sysex.size(), 2u);
}

TEST_F(InstrumentTest, HostileMessagesChangeNothing) {
    const std::vector<double> before = ProgramValues(Synth());
    std::mt19937 random(5);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> message(random() % 70);
        for (uint8_t& byte : message)
            byte = static_cast<uint8_t>(random());
        if (message.size() > 2) {
            message[0] = 0xF0;
            message[1] = round % 2 ? 0x43 : 0x41;
        }
        Send(message);
    }
    Send({});
    ISysExMessage nothing;
    nothing.size = 100;
    Synth().ProcessSysExMessage(nothing);
    EXPECT_EQ(ProgramValues(Synth()), before);
}

TEST_F(InstrumentTest, DumpsCutShortKeepTheInitialisedValues) {
    std::vector<uint8_t> dump = ExpectedDw8000Dump(Synth());
    dump[5 + 30] = 0xF7; // a status byte inside the data
    SetValue(kVcaEgSustain, 5);
    Send(dump);
    EXPECT_EQ(Value(kVcaEgSustain), kParameterTable[kVcaEgSustain].defaultValue);
}
