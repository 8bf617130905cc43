// Micro-tuning through a tuning master, with a stand-in library.
#include "synth/TuningClient.h"
#include "dsp/PitchTable.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

struct Tuning : testing::Test {
    void TearDown() override { TuningLibrary::Instance().Unload(); }
};

} // namespace

TEST_F(Tuning, WithoutAMasterNotesAreEqualTempered) {
    TuningLibrary::Instance().Unload();
    TuningClient client;
    EXPECT_FALSE(client.MasterPresent());
    EXPECT_EQ(client.NotePitch(69), 8832);
    EXPECT_EQ(client.NotePitch(0), 0);
    EXPECT_FALSE(client.ShouldFilter(61));
    EXPECT_EQ(client.TuningText(), "");
}

TEST_F(Tuning, AMasterRetunesAndFiltersNotes) {
    TuningLibrary& library = TuningLibrary::Instance();
    ASSERT_TRUE(library.Load(FAKE_TUNING_LIBRARY)) << FAKE_TUNING_LIBRARY;
    TuningClient client;
    ASSERT_TRUE(client.MasterPresent());
    // The master's 432 Hz lies within one step of the pitch found, in the semitone below A.
    const int pitch = client.NotePitch(69);
    EXPECT_GT(pitch, 68 * 128);
    EXPECT_LT(pitch, 69 * 128);
    EXPECT_LE(PitchToFrequency(pitch - 1), 432.0);
    EXPECT_GE(PitchToFrequency(pitch + 1), 432.0);
    EXPECT_EQ(client.NotePitch(69 + 128), pitch) << "notes wrap into 0..127";
    EXPECT_EQ(client.NotePitch(127), 17276) << "above the scale the search stops at its top";
    EXPECT_EQ(client.NotePitch(0), 4) << "below the scale it stops at its bottom";
    EXPECT_TRUE(client.ShouldFilter(61));
    EXPECT_FALSE(client.ShouldFilter(60));
    EXPECT_EQ(client.TuningText(), "Micro Tuning: 432 Hz");
}
