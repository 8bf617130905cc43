// Reads a song the test built and expects the reader to accept it.
#pragma once

#include "SmfBuilder.h"
#include "tools/qx4470/MidiFile.h"

#include <gtest/gtest.h>

inline midi::Song ReadOk(const testmidi::Bytes& bytes) {
    midi::ReadResult result = midi::ReadSong(bytes.data(), bytes.size());
    EXPECT_TRUE(result.ok()) << midi::DescribeFailure(result);
    return result.song;
}
