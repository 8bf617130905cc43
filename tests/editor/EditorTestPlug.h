// A small instance for the editor's tests: four parameters of the kinds the editor treats
// differently, and a count of its idle calls.
#pragma once

#include <gtest/gtest.h>

#include "editor/IControls.h"
#include "editor/IGraphicsOffscreen.h"
#include "host/IPlugBase.h"

#include <vector>

class EditorTestPlug : public IPlugBase {
public:
    enum { kLevel, kOffset, kWave, kSteps, kNumParams };
    EditorTestPlug();
    void OnIdle() override { ++idleCalls; }
    void BeginParameterEdit(int index) override { gestures.push_back(index + 1); }
    void EndParameterEdit(int index) override { gestures.push_back(-(index + 1)); }

    int idleCalls = 0;
    std::vector<int> gestures; // +(index + 1) at a gesture's start, -(index + 1) at its end
};

// A test with the small instance and an off-screen editor attached to it.
class EditorTest : public testing::Test {
protected:
    static constexpr int kWidth = 200, kHeight = 120;
    void SetUp() override;
    // Ticks until the editor has drawn everything dirty, so that the next tick starts clean.
    void Settle();
    IMouseMod Left() const;
    IMouseMod Right() const;

    EditorTestPlug plug;
    IGraphicsOffscreen* graphics = nullptr; // owned by plug
};
