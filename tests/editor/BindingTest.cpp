// The editor on a real instance of the instrument, driven through the plug-in's binary
// interface: its own panel, and test controls whose gestures must reach the host.
#include "editor/IControls.h"
#include "editor/IGraphicsOffscreen.h"
#include "host/PluginEntry.h"
#include "instrument/ParameterTable.h"
#include "instrument/ProvisionalPanelLayout.h"
#include "instrument/QX4470.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

struct HostRecord {
    std::mutex lock;
    std::vector<std::pair<int, float>> automation;
    std::vector<int> opcodes;
};
HostRecord* record = nullptr;

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                                   float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (!record) return 0;
    std::lock_guard<std::mutex> guard(record->lock);
    record->opcodes.push_back(opcode);
    if (opcode == audioMasterAutomate) record->automation.emplace_back(index, opt);
    return 0;
}

class InstanceEditorTest : public testing::Test {
protected:
    void SetUp() override {
        record = &host;
        effect = CreateEffectInstance(HostCallback);
        ASSERT_NE(effect, nullptr);
        Call(effOpen);
        plug = static_cast<QX4470*>(static_cast<IPlugVST*>(effect->object));
    }
    void TearDown() override {
        if (effect) Call(effClose);
        record = nullptr;
    }
    VstIntPtr Call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    }
    std::string ParamText(VstInt32 opcode, int index) {
        char text[256] = {};
        Call(opcode, index, 0, text);
        return text;
    }
    int Count(int opcode) {
        std::lock_guard<std::mutex> guard(host.lock);
        return static_cast<int>(std::count(host.opcodes.begin(), host.opcodes.end(), opcode));
    }
    std::pair<int, float> LastAutomation() {
        std::lock_guard<std::mutex> guard(host.lock);
        return host.automation.empty() ? std::pair<int, float>(-1, -1.0f) : host.automation.back();
    }

    HostRecord host;
    AEffect* effect = nullptr;
    QX4470* plug = nullptr;
};

TEST_F(InstanceEditorTest, InstrumentAttachesItsPanelWithoutDrawingYet) {
    EXPECT_TRUE(effect->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(Call(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right, 1150);
    EXPECT_EQ(rect->bottom, 718);
    IGraphics* graphics = plug->GetGraphics();
    ASSERT_NE(graphics, nullptr);
    EXPECT_EQ(graphics->DrawBitmap()->getWidth(), 0); // no 3 MB bitmap before a window opens
    ASSERT_EQ(graphics->NControls(), 1 + 3 * kNumParams);
    graphics->OnTimerTick(); // shows the values the startup bank brought
    for (int i = 0; i < kNumParams; ++i) {
        const IRect knobRect = ProvisionalKnobRect(i);
        const IControl* knob = graphics->GetControl(
            graphics->FindControl((knobRect.left + knobRect.right) / 2, knobRect.bottom - 1));
        ASSERT_NE(knob, nullptr);
        EXPECT_EQ(knob->ParamIndex(), i);
        EXPECT_NEAR(knob->Value(), effect->getParameter(effect, i), 1e-6) << i;
        const IRect nameRect = ProvisionalNameRect(i);
        auto* name = dynamic_cast<const ITextControl*>(
            graphics->GetControl(graphics->FindControl(nameRect.left + 1, nameRect.top + 1)));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->GetTextString(), ParamText(effGetParamName, i));
        const IRect valueRect = ProvisionalValueRect(i);
        auto* value = dynamic_cast<const ITextControl*>(
            graphics->GetControl(graphics->FindControl(valueRect.left + 1, valueRect.top + 1)));
        ASSERT_NE(value, nullptr);
        // The host's display text, with the unit when there is one.
        const std::string label = ParamText(effGetParamLabel, i);
        EXPECT_EQ(value->GetTextString(),
                  ParamText(effGetParamDisplay, i) + (label.empty() ? "" : " " + label));
    }
}

TEST_F(InstanceEditorTest, KnobAndFaderGesturesReachTheHost) {
    auto* graphics = new IGraphicsOffscreen(plug, 300, 200);
    auto* knob =
        new IKnobMultiControl(plug, IRect(10, 10, 40, 40), kVcfCutoff, 115, "knob.png", 31);
    auto* fader = new IFaderControl(plug, IRect(100, 10, 120, 110), kVolume, 105, "handle.png");
    graphics->AddControl(knob);
    graphics->AddControl(fader);
    plug->AttachEditor(graphics); // replaces the instrument's panel
    ASSERT_NEAR(knob->Value(), effect->getParameter(effect, kVcfCutoff), 1e-6);
    const double start = knob->Value();
    const int begins = Count(audioMasterBeginEdit), ends = Count(audioMasterEndEdit);

    IMouseMod left;
    left.left = true;
    graphics->OnMouseDown(25, 25, left);
    graphics->OnMouseDrag(25, 13, left); // 12 pixels up on a 30-pixel knob, gearing 4
    graphics->OnMouseUp(25, 13, left);
    EXPECT_EQ(Count(audioMasterBeginEdit), begins + 1);
    EXPECT_EQ(Count(audioMasterEndEdit), ends + 1);
    const double dragged = std::min(1.0, start + 0.1);
    EXPECT_NEAR(knob->Value(), dragged, 1e-9);
    EXPECT_EQ(LastAutomation().first, kVcfCutoff);
    EXPECT_NEAR(LastAutomation().second, dragged, 1e-6);
    // The instance steps the value; the host reads it back through getParameter.
    EXPECT_NEAR(effect->getParameter(effect, kVcfCutoff), dragged, 0.5 / 63);

    const LICE_IBitmap* handle = LICE_LoadPNGResource(105);
    const int length = handle ? handle->getHeight() : 0;
    const double travel = 100 - length;
    const int y = 10 + static_cast<int>(length / 2.0 + 0.25 * travel); // three quarters up
    graphics->OnMouseDown(110, y, left);
    graphics->OnMouseUp(110, y, left);
    const double clicked = 1.0 - (y - length / 2.0 - 10) / travel;
    EXPECT_EQ(LastAutomation().first, kVolume);
    EXPECT_NEAR(LastAutomation().second, clicked, 1e-6);
    EXPECT_NEAR(effect->getParameter(effect, kVolume), clicked, 1e-6);

    graphics->OnMouseWheel(110, y, IMouseMod(), 3);
    EXPECT_NEAR(effect->getParameter(effect, kVolume), clicked + 0.03, 1e-6);
    IMouseMod control;
    control.control = true;
    graphics->OnMouseWheel(110, y, control, -2);
    EXPECT_NEAR(effect->getParameter(effect, kVolume), clicked + 0.028, 1e-6);
    EXPECT_NEAR(LastAutomation().second, clicked + 0.028, 1e-6);
}

TEST_F(InstanceEditorTest, HostValuesFromAnotherThreadShowAtTheNextTick) {
    auto* graphics = new IGraphicsOffscreen(plug, 300, 200);
    auto* knob = new IKnobMultiControl(plug, IRect(10, 10, 40, 40), kVolume, 115, "knob.png", 31);
    auto* value = new ITextControl(plug, IRect(10, 42, 90, 56), IText());
    knob->SetValueDisplay(value);
    graphics->AddControl(knob);
    graphics->AddControl(value);
    plug->AttachEditor(graphics);

    effect->setParameter(effect, kVolume, 0.25f);
    EXPECT_NE(knob->Value(), 0.25); // only stored until the editor's tick
    graphics->OnTimerTick();
    EXPECT_EQ(knob->Value(), 0.25);
    const std::string label = ParamText(effGetParamLabel, kVolume);
    EXPECT_EQ(value->GetTextString(),
              ParamText(effGetParamDisplay, kVolume) + (label.empty() ? "" : " " + label));

    // An automation thread keeps setting values while the editor ticks.
    constexpr int kSteps = 20000;
    std::atomic<bool> done{false};
    std::thread automation([&] {
        for (int i = 0; i <= kSteps; ++i)
            effect->setParameter(effect, kVolume, static_cast<float>(i) / kSteps);
        done = true;
    });
    int ticks = 0;
    do {
        graphics->OnTimerTick();
        ++ticks;
    } while (!done);
    automation.join();
    graphics->OnTimerTick();
    EXPECT_EQ(knob->Value(), 1.0);
}

class LockProbe : public IGraphicsOffscreen {
public:
    using IGraphicsOffscreen::IGraphicsOffscreen;
    void OnHostIdle() override {
        // Another thread takes the instance lock while the host's idle call is in here.
        prober = std::thread([this] {
            Plug()->Mutex().lock();
            acquired = true;
            Plug()->Mutex().unlock();
        });
        for (int i = 0; i < 400 && !acquired; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        acquiredDuringIdle = acquired.load();
    }
    std::thread prober;
    std::atomic<bool> acquired{false};
    bool acquiredDuringIdle = false;
};

TEST_F(InstanceEditorTest, EditOpcodesOpenIdleAndCloseTheEditor) {
    auto* graphics = new LockProbe(plug, 300, 200);
    plug->AttachEditor(graphics);
    EXPECT_EQ(Call(effEditOpen), 1);
    EXPECT_TRUE(graphics->WindowIsOpen());
    EXPECT_EQ(graphics->DrawBitmap()->getWidth(), 300);
    Call(effEditIdle);
    graphics->prober.join();
    EXPECT_TRUE(graphics->acquiredDuringIdle); // the editor idles outside the instance lock
    EXPECT_EQ(Call(effEditClose), 1);
    EXPECT_FALSE(graphics->WindowIsOpen());
}

TEST_F(InstanceEditorTest, ProvisionalPanelDrawsOffScreen) {
    auto* graphics = new IGraphicsOffscreen(plug, provisional_panel::kPanelWidth,
                                            provisional_panel::kPanelHeight);
    AddProvisionalPanel(graphics);
    plug->AttachEditor(graphics);
    graphics->DrawEverything();
    const LICE_IBitmap* bitmap = graphics->DrawBitmap();
    // QX_EDITOR_PANEL_PNG=path saves the drawing for a look.
    if (const char* path = std::getenv("QX_EDITOR_PANEL_PNG")) LICE_SavePNG(path, bitmap);
    // Opaque everywhere, and text drawn in each name rectangle.
    for (int y = 0; y < bitmap->getHeight(); y += 7)
        for (int x = 0; x < bitmap->getWidth(); x += 7)
            ASSERT_EQ(LICE_GETA(bitmap->getPixel(x, y)), 255) << x << ", " << y;
    for (int i = 0; i < kNumParams; ++i) {
        const IRect r = ProvisionalNameRect(i);
        const LICE_pixel corner = bitmap->getPixel(r.left, r.top);
        bool inked = false;
        for (int y = r.top; y < r.bottom && !inked; ++y)
            for (int x = r.left; x < r.right && !inked; ++x)
                inked = bitmap->getPixel(x, y) != corner;
        EXPECT_TRUE(inked) << "no name drawn for parameter " << i;
    }
}

} // namespace
