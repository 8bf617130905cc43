#include <gtest/gtest.h>

#include "tests/editor/EditorTestPlug.h"

namespace {

const PlugIdentity kIdentity = {
    "Editor Test",
    "",
    "Marten Hollow Lab",
    1,
    2,
    0x10000,
    EditorTestPlug::kNumParams,
    1,
    "0-2",
    0,
    true,
    true,
    false,
};
const char* const kWaves[] = {"Saw", "Square", "Pulse"};

} // namespace

EditorTestPlug::EditorTestPlug() : IPlugBase(kIdentity) {
    GetParameter(kLevel)->InitNumberParameter("Level", 0.5, 0.0, 1.0, 0.01, 1.0);
    GetParameter(kOffset)->InitNumberParameter("Offset", 0.0, -10.0, 10.0, 0.01, 1.0);
    GetParameter(kOffset)->SetLabel("dB");
    GetParameter(kWave)->InitEnumParameter("Wave", 1, 3, kWaves);
    GetParameter(kSteps)->SetType(ParamTypeInt);
    GetParameter(kSteps)->InitNumberParameter("Steps", 4, 0, 20, 1, 1.0);
}

void EditorTest::SetUp() {
    graphics = new IGraphicsOffscreen(&plug, kWidth, kHeight);
    plug.AttachEditor(graphics);
}

void EditorTest::Settle() {
    for (int i = 0; i < 5 && graphics->NeedsRedraw(nullptr); ++i)
        graphics->OnTimerTick();
    ASSERT_FALSE(graphics->NeedsRedraw(nullptr));
    ASSERT_EQ(graphics->IdleCount(), 0);
}

IMouseMod EditorTest::Left() const {
    IMouseMod mod;
    mod.left = true;
    return mod;
}

IMouseMod EditorTest::Right() const {
    IMouseMod mod;
    mod.right = true;
    return mod;
}
