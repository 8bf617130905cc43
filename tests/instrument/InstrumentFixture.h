// An instrument instance made in-process, with a host callback that records what it is sent.
#pragma once

#include "host/PluginEntry.h"
#include "instrument/QX4470.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

struct RecordingHost {
    std::vector<std::vector<uint8_t>> sysex;
    std::vector<std::vector<uint8_t>> midi; // short messages, status first
    std::vector<std::pair<int, float>> automation;
    int programChanges = 0;
};

class InstrumentTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QX4470& Synth() { return *plug_; }
    std::unique_ptr<QX4470> NewInstrument();
    double Value(int index) { return plug_->GetParameter(index)->Value(); }
    void SetValue(int index, double value);
    void Send(std::vector<uint8_t> message);

    RecordingHost host;

private:
    std::unique_ptr<QX4470> plug_;
};
