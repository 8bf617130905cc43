// Parameters through the host's side of the interface: names, displays, text entry and
// normalised values.
#include "tests/plugin/TestHost.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Parameters : OpenPluginTest {

    void Set(int index, float normalized) { effect->setParameter(effect, index, normalized); }
    float Get(int index) { return effect->getParameter(effect, index); }
    std::string Name(int index) { return host.Text(effect, effGetParamName, index); }
    std::string Display(int index) { return host.ParamDisplay(effect, index); }
    VstIntPtr Enter(int index, const char* text) {
        return host.Call(effect, effString2Parameter, index, 0, const_cast<char*>(text));
    }
};

// Index of the first parameter with a name.
int IndexOf(Parameters& p, const char* name) {
    for (int i = 0; i < 69; ++i)
        if (p.Name(i) == name) return i;
    return -1;
}

} // namespace

TEST_F(Parameters, NamesFollowTheHardwareOrder) {
    EXPECT_EQ(Name(0), "OSC1 Octave");
    EXPECT_EQ(Name(14), "Edit Parameter");
    EXPECT_EQ(Name(15), "VCF Cutoff");
    EXPECT_EQ(Name(50), "After Touch VCA");
    EXPECT_EQ(Name(53), "\"Pseudo\" Stereo");
    EXPECT_EQ(Name(57), "DW Mode");
    EXPECT_EQ(Name(58), "DW Mode");
    EXPECT_EQ(Name(59), "VCF MG Mod. Source");
    for (int i = 60; i < 69; ++i)
        EXPECT_EQ(Name(i), "reserved") << i;
    for (int i = 0; i < 69; ++i)
        EXPECT_EQ(host.Text(effect, effGetParamLabel, i), "") << i;
    // Out-of-range indices leave the host's buffer alone.
    char text[32] = "untouched";
    host.Call(effect, effGetParamName, 69, 0, text);
    EXPECT_STREQ(text, "untouched");
    host.Call(effect, effGetParamDisplay, -1, 0, text);
    EXPECT_STREQ(text, "untouched");
}

TEST_F(Parameters, DisplaysUseTextsAndFunctions) {
    Set(0, 0.5f);
    EXPECT_EQ(Display(0), "8'");
    Set(0, 0.0f);
    EXPECT_EQ(Display(0), "16'");
    Set(13, 0.0f);
    EXPECT_EQ(Display(13), "Poly 1");
    Set(13, 1.0f);
    EXPECT_EQ(Display(13), "Unison 2");
    Set(10, 0.25f);
    EXPECT_EQ(Display(10), "-3");
    Set(59, 1.0f);
    EXPECT_EQ(Display(59), "Modulation Wheel");

    Set(54, 0.0f);
    EXPECT_EQ(Display(54), "1");
    Set(54, 4.0f / 7.0f);
    EXPECT_EQ(Display(54), "8");
    Set(54, 1.0f);
    EXPECT_EQ(Display(54), "64");

    Set(55, 0.0f);
    EXPECT_EQ(Display(55), "-oo");
    Set(55, 0.5f);
    EXPECT_EQ(Display(55), "-6.0");
    Set(55, 1.0f);
    EXPECT_EQ(Display(55), "0.0");

    // "Tune" spans a semitone each way and shows cents.
    Set(56, 0.5f);
    EXPECT_EQ(Display(56), "0");
    Set(56, 1.0f);
    EXPECT_EQ(Display(56), "100");
    Set(56, 0.0f);
    EXPECT_EQ(Display(56), "-100");
    Set(56, 0.75f);
    EXPECT_EQ(Display(56), "50");

    Set(15, 32.0f / 63.0f);
    EXPECT_EQ(Display(15), "32");
}

TEST_F(Parameters, NormalisedValuesFollowStepsAndRanges) {
    // An integer parameter snaps to its steps: waveform 1..16.
    Set(1, 0.51f);
    EXPECT_EQ(Display(1), "9"); // 1 + 15 * 0.51 = 8.65 -> 9
    EXPECT_FLOAT_EQ(Get(1), 8.0f / 15.0f);
    // A double parameter keeps a value between steps.
    Set(55, 0.505f);
    EXPECT_FLOAT_EQ(Get(55), 0.505f);
    EXPECT_EQ(Display(55), "-5.9");
    EXPECT_EQ(Get(69), 0.0f);
    EXPECT_EQ(Get(-1), 0.0f);
    Set(-1, 0.3f); // ignored
    Set(69, 0.3f); // ignored
}

TEST_F(Parameters, HostTextEntry) {
    EXPECT_EQ(Enter(18, "NEG."), 1);
    EXPECT_EQ(Display(18), "NEG.");
    EXPECT_EQ(Enter(18, "neg."), 0) << "display texts are matched exactly";
    EXPECT_EQ(Display(18), "NEG.");
    EXPECT_EQ(Enter(15, "40"), 1);
    EXPECT_EQ(Display(15), "40");
    EXPECT_EQ(Enter(15, "  12.7 steps"), 1);
    EXPECT_EQ(Display(15), "12");
    EXPECT_FLOAT_EQ(Get(15), 12.7f / 63.0f) << "text entry is not rounded to the step";
    EXPECT_EQ(Enter(15, "1000"), 1);
    EXPECT_EQ(Display(15), "63");
    EXPECT_EQ(Enter(15, "-3"), 1);
    EXPECT_EQ(Display(15), "0");
    EXPECT_EQ(Enter(15, "no number"), 1);
    EXPECT_EQ(Display(15), "0");
    EXPECT_EQ(Enter(15, "20"), 1);
    for (const char* notANumber : {"nan", "NaN", "-inf", "infinity", "1e999"}) {
        EXPECT_EQ(Enter(15, notANumber), 0) << notANumber;
        EXPECT_EQ(Display(15), "20") << notANumber;
        EXPECT_FALSE(std::isnan(Get(15)));
    }
    EXPECT_EQ(host.Call(effect, effString2Parameter, 15, 0, nullptr), 1);
    EXPECT_EQ(Display(15), "20");
    EXPECT_EQ(Enter(69, "1"), 0);
}

TEST_F(Parameters, DisplayOfAGivenValueAndIntegerStepping) {
    char text[64] = {0};
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 7, 0, text, 1.0f), 0xBEEF);
    EXPECT_STREQ(text, "4'");
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 7, 55, text, 0.0f), 0xBEEF);
    EXPECT_STREQ(text, "-oo");
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 7, 99, text, 0.5f), 0xBEEF);
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 8, 1), 0xBEEF); // integer waveform
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 8, 0), 0xBEEF); // enumerated octave
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 8, 15), 0);     // double cutoff
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 8, 69), 0);
    EXPECT_EQ(host.Call(effect, effVendorSpecific, 9, 1), 0);
    EXPECT_EQ(host.Call(effect, effCanBeAutomated, 33), 1);
}

TEST_F(Parameters, EveryParameterCanBeFoundByName) {
    EXPECT_EQ(IndexOf(*this, "Voices"), 54);
    EXPECT_EQ(IndexOf(*this, "Tune"), 56);
    EXPECT_EQ(IndexOf(*this, "DW Mode"), 57);
}
