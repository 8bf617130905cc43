// The plug-in as a host sees it: the effect record, identity, capabilities, channels and the
// instance lifecycle.
#include "tests/plugin/TestHost.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using Plugin = OpenPluginTest;

TEST_F(Plugin, EffectRecordDescribesAStereoInstrument) {
    EXPECT_EQ(effect->magic, VstFourCC('V', 's', 't', 'P'));
    EXPECT_EQ(effect->uniqueID, VstFourCC('q', 'x', '4', '4'));
    EXPECT_EQ(effect->version, 10106);
    EXPECT_EQ(effect->numParams, 69);
    EXPECT_EQ(effect->numPrograms, 64);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags & ~effFlagsHasEditor, 0x1130);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->process, nullptr);
}

TEST_F(Plugin, BothEntryPointsMakeInstances) {
    AEffect* other = host.Create("main");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, effect);
    EXPECT_EQ(other->uniqueID, effect->uniqueID);
    host.Close(other);
}

TEST_F(Plugin, IdentityAndVersions) {
    EXPECT_EQ(host.Call(effect, effGetVendorVersion), 10106);
    EXPECT_EQ(host.Call(effect, effGetVstVersion), 2400);
    EXPECT_EQ(host.Call(effect, effIdentify), VstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(host.Call(effect, effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(host.Call(effect, effGetTailSize), 0);
    EXPECT_EQ(host.Text(effect, effGetEffectName), "QX-4470");
    EXPECT_EQ(host.Text(effect, effGetVendorString), "Marten Hollow Lab");
    EXPECT_EQ(host.Text(effect, effGetProductString), "");
    EXPECT_EQ(host.Call(effect, effGetEffectName), 0); // no buffer
    EXPECT_EQ(host.Call(effect, 9999), 0);             // unknown opcodes do nothing
}

TEST_F(Plugin, CanDoAnswersExactTexts) {
    auto canDo = [&](const char* text) {
        return static_cast<uint32_t>(host.Call(effect, effCanDo, 0, 0, const_cast<char*>(text)));
    };
    EXPECT_EQ(canDo("receiveVstEvents"), 1u);
    EXPECT_EQ(canDo("receiveVstMidiEvent"), 1u);
    EXPECT_EQ(canDo("sendVstEvents"), 1u);
    EXPECT_EQ(canDo("sendVstMidiEvent"), 1u);
    EXPECT_EQ(canDo("receiveVstTimeInfo"), 1u);
    EXPECT_EQ(canDo("ReceiveVstEvents"), 0u);
    EXPECT_EQ(canDo("receiveVstEvents "), 0u);
    EXPECT_EQ(canDo("offline"), 0u);
    EXPECT_EQ(canDo("hasCockosExtensions"), 0xBEEF0000u);
    EXPECT_EQ(canDo("hasCockosViewAsConfig"), 0xBEEF0000u);
    EXPECT_EQ(host.Call(effect, effCanDo), 0);
}

TEST_F(Plugin, OutputPinsAreOneStereoPair) {
    VstPinProperties pin;
    std::memset(&pin, 0, sizeof(pin));
    EXPECT_EQ(host.Call(effect, effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Output 1");
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    std::memset(&pin, 0, sizeof(pin));
    EXPECT_EQ(host.Call(effect, effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Output 2");
    EXPECT_EQ(pin.flags, kVstPinIsActive);
    EXPECT_EQ(host.Call(effect, effGetOutputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(host.Call(effect, effGetOutputProperties, -1, 0, &pin), 0);
    EXPECT_EQ(host.Call(effect, effGetInputProperties, 0, 0, &pin), 0);
}

TEST_F(Plugin, SpeakerArrangementsAreNoInputsAndStereoOutputs) {
    VstSpeakerArrangement* inputs = nullptr;
    VstSpeakerArrangement* outputs = nullptr;
    EXPECT_EQ(host.Call(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inputs),
                        &outputs),
              1);
    ASSERT_NE(inputs, nullptr);
    ASSERT_NE(outputs, nullptr);
    EXPECT_EQ(inputs->numChannels, 0);
    EXPECT_EQ(inputs->type, kSpeakerArrEmpty);
    EXPECT_EQ(outputs->numChannels, 2);
    EXPECT_EQ(outputs->type, kSpeakerArrStereo);

    // A host that offers a mono output gets the second output disconnected; rendering must
    // still be safe.
    VstSpeakerArrangement mono;
    std::memset(&mono, 0, sizeof(mono));
    mono.numChannels = 1;
    EXPECT_EQ(host.Call(effect, effSetSpeakerArrangement, 0, 0, &mono), 1);
    float left[64], right[64];
    for (float& s : right)
        s = 0.5f;
    float* buffers[2] = {left, right};
    effect->processReplacing(effect, nullptr, buffers, 64);
    EXPECT_EQ(right[10], 0.5f) << "a disconnected output's host buffer is not written";
}

TEST_F(Plugin, EditorRectangleIsThePanelSize) {
    EXPECT_TRUE(effect->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(host.Call(effect, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 718);
    EXPECT_EQ(rect->right, 1150);
    EXPECT_EQ(host.Call(effect, effEditGetRect), 0); // nowhere to put it
    EXPECT_EQ(host.Call(effect, effEditClose), 1);   // closing an unopened editor is harmless
}

TEST_F(Plugin, MidiKeyNamesAreEmpty) {
    char key[88];
    std::memset(key, 'x', sizeof(key));
    reinterpret_cast<VstInt32*>(key)[1] = 60;
    EXPECT_EQ(host.Call(effect, effGetMidiKeyName, 0, 0, key), 0);
    EXPECT_EQ(key[8], '\0');
}

TEST(PluginLifecycle, CategoryBeforeOpenAndInstancesNeverOpened) {
    TestHost host;
    // A scanner asks the category before opening, and makes an instance it never opens.
    AEffect* scanned = host.Create();
    ASSERT_NE(scanned, nullptr);
    EXPECT_EQ(host.Call(scanned, effGetPlugCategory), kPlugCategSynth);
    AEffect* unopened = host.Create();
    ASSERT_NE(unopened, nullptr);
    EXPECT_EQ(unopened->numParams, 69);
    host.Call(scanned, effOpen);
    host.Call(scanned, effMainsChanged, 0, 0);
    host.Close(scanned);
    host.Close(unopened);
}

TEST(PluginLifecycle, RateAndBlockChangesInAnyOrder) {
    TestHost host;
    AEffect* effect = host.Create();
    ASSERT_NE(effect, nullptr);
    std::vector<float> left(5000, 1.0f), right(5000, 1.0f);
    float* buffers[2] = {left.data(), right.data()};
    // Before effOpen, with odd rates and sizes, and with more frames than announced.
    host.Call(effect, effSetSampleRate, 0, 0, nullptr, 0.0f);
    host.Call(effect, effSetBlockSize, 0, 0);
    effect->processReplacing(effect, nullptr, buffers, 100);
    host.Call(effect, effOpen);
    for (float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, -1.0f, 1e12f}) {
        host.Call(effect, effSetSampleRate, 0, 0, nullptr, rate);
        host.Call(effect, effMainsChanged, 0, 1);
        for (int block : {1, 17, 64, 4096, -5}) {
            host.Call(effect, effSetBlockSize, 0, block);
            effect->processReplacing(effect, nullptr, buffers, 5000);
        }
        host.Call(effect, effMainsChanged, 0, 0);
    }
    for (float sample : left)
        ASSERT_LT(std::fabs(sample), 1e-9f); // no notes: silence
    host.Close(effect);
}

TEST_F(Plugin, OpenAsksTheHostWhoItIs) {
    TestHost other;
    other.product = "REAPER";
    AEffect* fresh = other.Create();
    ASSERT_NE(fresh, nullptr);
    other.opcodes.clear();
    other.Call(fresh, effOpen);
    EXPECT_EQ(other.Count(audioMasterGetProductString), 1);
    EXPECT_EQ(other.Count(audioMasterGetVendorVersion), 1);
    other.Call(fresh, effOpen); // once only
    EXPECT_EQ(other.Count(audioMasterGetProductString), 1);
    other.Close(fresh);
}
