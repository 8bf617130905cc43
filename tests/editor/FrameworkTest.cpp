// The framework's rules on the small instance: frames, greying, the idle counter, value entry
// by text and by menu, menu numbering, keys and mouse dispatch.
#include "tests/editor/EditorTestPlug.h"

#include <cmath>

namespace {

constexpr int kStrip = 190; // resources/test_strip.png, 8 × 12

TEST(BitmapControl, FrameRoundsAndStaysInTheStrip) {
    EXPECT_EQ(IBitmapControl::FrameOf(0.12, 5), 1); // 4 · 0.12 + 0.5 = 0.98
    EXPECT_EQ(IBitmapControl::FrameOf(0.13, 5), 2);
    EXPECT_EQ(IBitmapControl::FrameOf(0.7, 1), 1);
    EXPECT_EQ(IBitmapControl::FrameOf(0.7, 0), 1);
    EXPECT_EQ(IBitmapControl::FrameOf(-3.0, 5), 1);
    EXPECT_EQ(IBitmapControl::FrameOf(1e300, 5), 5);
    EXPECT_EQ(IBitmapControl::FrameOf(std::nan(""), 5), 1);
}

TEST_F(EditorTest, BitmapControlDrawsItsFrameAndGreysToAQuarter) {
    const LICE_IBitmap* strip = LICE_LoadPNGResource(kStrip);
    ASSERT_NE(strip, nullptr);
    const IRect rect(10, 10, 18, 12);
    auto* control = new IBitmapControl(&plug, rect, -1, kStrip, "strip.png", 5);
    graphics->AddControl(
        new IPanelControl(&plug, IRect(0, 0, kWidth, kHeight), LICE_RGBA(40, 50, 60, 255)));
    graphics->AddControl(control);
    auto expect = [&](int frame, float weight) {
        LICE_MemBitmap reference(kWidth, kHeight);
        LICE_FillRect(&reference, reference.bounds(), LICE_RGBA(40, 50, 60, 255));
        LICE_BlitFrame(&reference, strip, frame - 1, 5, false, rect, weight,
                       LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
        graphics->DrawEverything();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (graphics->DrawBitmap()->getPixel(x, y) != reference.getPixel(x, y))
                    return ::testing::AssertionFailure()
                           << "frame " << frame << " differs at " << x << ", " << y;
        return ::testing::AssertionSuccess();
    };
    for (auto [value, frame] : {std::pair<double, int>{0.0, 1}, {0.5, 3}, {1.0, 5}}) {
        control->SetValue(value);
        EXPECT_TRUE(expect(frame, 1.0f));
    }
    control->SetGreyed(true);
    EXPECT_EQ(control->Blend().weight, 0.25f);
    EXPECT_TRUE(expect(5, 0.25f));
    EXPECT_EQ(graphics->FindControl(12, 11), 0); // greyed controls are not hit
    control->SetGreyed(false);
    EXPECT_EQ(control->Blend().weight, 1.0f);
    EXPECT_EQ(graphics->FindControl(12, 11), 1);
}

TEST_F(EditorTest, TwentyOneCleanTicksCallOnIdleOnce) {
    auto* control = new IPanelControl(&plug, IRect(0, 0, 10, 10), LICE_RGBA(1, 2, 3, 255));
    graphics->AddControl(control);
    Settle();
    for (int i = 0; i < 20; ++i)
        graphics->OnTimerTick();
    EXPECT_EQ(plug.idleCalls, 0);
    graphics->OnTimerTick();
    EXPECT_EQ(plug.idleCalls, 1);
    EXPECT_EQ(graphics->IdleCount(), 0);
    // Counting starts again; something to draw resets it.
    for (int i = 0; i < 15; ++i)
        graphics->OnTimerTick();
    control->MarkChanged(false);
    graphics->OnTimerTick();
    EXPECT_EQ(graphics->IdleCount(), 0);
    for (int i = 0; i < 20; ++i)
        graphics->OnTimerTick();
    EXPECT_EQ(plug.idleCalls, 1);
    graphics->OnTimerTick();
    EXPECT_EQ(plug.idleCalls, 2);
}

TEST(TextEntry, CharacterFilterFollowsTheParameterType) {
    EditorTestPlug plug;
    const IParameter* real = plug.GetParameter(EditorTestPlug::kOffset);
    const IParameter* integer = plug.GetParameter(EditorTestPlug::kSteps);
    const IParameter* choice = plug.GetParameter(EditorTestPlug::kWave);
    for (const IParameter* param : {real, integer, choice}) {
        for (char c : std::string("0123456789+-\b"))
            EXPECT_TRUE(IGraphics::TextEntryAccepts(param, c));
        for (char c : std::string("eE ,x/*"))
            EXPECT_FALSE(IGraphics::TextEntryAccepts(param, c));
    }
    EXPECT_TRUE(IGraphics::TextEntryAccepts(real, '.'));
    EXPECT_FALSE(IGraphics::TextEntryAccepts(integer, '.'));
    EXPECT_FALSE(IGraphics::TextEntryAccepts(choice, '.'));
    EXPECT_TRUE(IGraphics::TextEntryAccepts(nullptr, 'e')); // a free text
}

TEST_F(EditorTest, TypedNumberCommitsOnTheNextTickWithinTheRange) {
    auto* knob = new IKnobMultiControl(&plug, IRect(100, 40, 130, 70), EditorTestPlug::kOffset,
                                       kStrip, "strip.png", 2);
    auto* value = new ITextControl(&plug, IRect(100, 72, 160, 86), IText());
    knob->SetValueDisplay(value);
    graphics->AddControl(knob);
    graphics->AddControl(value);
    Settle();
    std::string typed = "-3.5e";
    graphics->textResponder = [&](const std::string&) {
        return IGraphicsOffscreen::Typing{typed, true};
    };
    graphics->OnMouseDown(110, 50, Right()); // prompting is off by default
    EXPECT_FALSE(graphics->TextEntryOpen());
    graphics->OnMouseUp(110, 50, Right());
    knob->SetPromptEnabled(true);
    graphics->OnMouseDown(110, 50, Right());
    graphics->OnMouseUp(110, 50, Right());
    ASSERT_TRUE(graphics->TextEntryOpen());
    EXPECT_EQ(graphics->shown.textInitial, "0.00");
    EXPECT_EQ(graphics->shown.textRect, IRect(95, 47, 135, 63)); // 40 × 16 on the knob's centre
    EXPECT_EQ(graphics->shown.textTyped, "-3.5");                // 'e' was refused
    EXPECT_EQ(plug.GetParameter(EditorTestPlug::kOffset)->Value(), 0.0);
    graphics->OnTimerTick();
    EXPECT_FALSE(graphics->TextEntryOpen());
    EXPECT_FALSE(graphics->shown.textBoxOpen);
    EXPECT_DOUBLE_EQ(plug.GetParameter(EditorTestPlug::kOffset)->Value(), -3.5);
    EXPECT_DOUBLE_EQ(knob->Value(), 0.325);
    EXPECT_STREQ(value->GetTextString(), "-3.50 dB");

    typed = "-30"; // beyond the range: limited by the conversion to normalised form
    graphics->OnMouseDown(110, 50, Right());
    graphics->OnTimerTick();
    EXPECT_DOUBLE_EQ(plug.GetParameter(EditorTestPlug::kOffset)->Value(), -10.0);
    EXPECT_DOUBLE_EQ(knob->Value(), 0.0);

    plug.GetParameter(EditorTestPlug::kOffset)->SetNegateDisplay(true);
    typed = "2.5";
    graphics->OnMouseDown(110, 50, Right());
    graphics->OnTimerTick();
    EXPECT_DOUBLE_EQ(plug.GetParameter(EditorTestPlug::kOffset)->Value(), -2.5);

    graphics->textResponder = [](const std::string&) {
        return IGraphicsOffscreen::Typing{"7", false};
    };
    graphics->OnMouseDown(110, 50, Right());
    graphics->OnTimerTick();
    EXPECT_FALSE(graphics->TextEntryOpen());
    EXPECT_DOUBLE_EQ(plug.GetParameter(EditorTestPlug::kOffset)->Value(), -2.5); // cancelled

    // A box still open when the panel is clicked commits what it holds.
    graphics->textResponder = nullptr;
    graphics->OnMouseDown(110, 50, Right());
    ASSERT_TRUE(graphics->TextEntryOpen());
    graphics->RequestTextEntryCommit("4");
    graphics->OnMouseDown(10, 10, Left());
    graphics->OnTimerTick();
    EXPECT_DOUBLE_EQ(plug.GetParameter(EditorTestPlug::kOffset)->Value(), -4.0);
}

TEST_F(EditorTest, EnumeratedParameterIsChosenFromAMenu) {
    auto* knob = new IKnobMultiControl(&plug, IRect(10, 10, 40, 40), EditorTestPlug::kWave, kStrip,
                                       "strip.png", 2);
    knob->SetPromptEnabled(true);
    graphics->AddControl(knob);
    graphics->menuResponder = [](const PopupMenuModel& menu) {
        EXPECT_EQ(menu.GetItem(1).flags & PopupMenuModel::kChecked, PopupMenuModel::kChecked);
        EXPECT_EQ(menu.GetItem(0).flags & PopupMenuModel::kChecked, 0);
        return 3; // "Pulse"
    };
    graphics->OnMouseDown(20, 20, Right());
    EXPECT_EQ(graphics->shown.menuLabels, (std::vector<std::string>{"Saw", "Square", "Pulse"}));
    EXPECT_EQ(graphics->shown.menuRect, knob->Rect());
    EXPECT_FALSE(graphics->TextEntryOpen());
    EXPECT_EQ(plug.GetParameter(EditorTestPlug::kWave)->Value(), 2.0);
    EXPECT_EQ(knob->Value(), 1.0);

    graphics->menuResponder = [](const PopupMenuModel&) { return 0; }; // dismissed
    graphics->OnMouseDown(20, 20, Right());
    EXPECT_EQ(plug.GetParameter(EditorTestPlug::kWave)->Value(), 2.0);
}

TEST(PopupMenu, NumberingAndIdentifiersAcrossSubMenus) {
    PopupMenuModel menu(PopupMenuModel::kNumber2);
    for (int i = 1; i <= 12; ++i)
        menu.AddItem("Program " + std::to_string(i));
    EXPECT_EQ(menu.ItemLabel(11), "12: Program 12");
    EXPECT_EQ(menu.ItemLabel(0), "01: Program 1");
    PopupMenuModel one(PopupMenuModel::kNumber1), three(PopupMenuModel::kNumber3);
    one.AddItem("a");
    three.AddItem("b");
    EXPECT_EQ(one.ItemLabel(0), "1: a");
    EXPECT_EQ(three.ItemLabel(0), "001: b");

    // ids: 1 "Copy", 2 separator, 3 "Banks" (opens), 4 "A", 5 "B", 6 "Quit"
    PopupMenuModel top;
    top.AddItem("Copy");
    top.AddSeparator();
    auto* banks = new PopupMenuModel(PopupMenuModel::kNumber1);
    banks->AddItem("A");
    banks->AddItem("B");
    top.AddSubMenu("Banks", banks);
    top.AddItem("Quit");
    EXPECT_EQ(top.ChooseById(5), banks);
    EXPECT_EQ(banks->ChosenIndex(), 1);
    EXPECT_EQ(top.ChooseById(6), &top);
    EXPECT_EQ(top.ChosenIndex(), 3);
    EXPECT_EQ(top.ChooseById(3), nullptr); // a sub-menu's entry, no choice
    EXPECT_EQ(top.ChooseById(2), nullptr); // a separator
    EXPECT_EQ(top.ChooseById(7), nullptr);
    EXPECT_EQ(top.ChooseById(0), nullptr);
    EXPECT_EQ(top.ChooseById(103, 100), banks); // numbering from another first identifier
    EXPECT_EQ(banks->ChosenIndex(), 0);
}

class KeyControl : public IPanelControl {
public:
    using IPanelControl::IPanelControl;
    bool OnKeyDown(int, int, int key) override {
        keys.push_back(key);
        return key != IGraphics::kKeySpace;
    }
    std::vector<int> keys;
};

TEST_F(EditorTest, KeysGoToTheControlUnderTheMouseThenTheCatcher) {
    const std::pair<int, int> table[] = {
        {0x20, 0}, {0x26, 1}, {0x28, 2}, {0x25, 3},  {0x27, 4}, {'0', 5},  {'9', 14},  {'A', 15},
        {'Z', 40}, {'a', 15}, {'z', 40}, {0x0d, -1}, {'@', -1}, {'[', -1}, {0x7b, -1}, {'/', -1}};
    for (auto [virtualKey, code] : table)
        EXPECT_EQ(IGraphics::KeyCodeFromVirtualKey(virtualKey), code) << virtualKey;

    auto* background = new KeyControl(&plug, IRect(0, 0, kWidth, kHeight), 0);
    auto* control = new KeyControl(&plug, IRect(10, 10, 20, 20), 0);
    auto* catcher = new KeyControl(&plug, IRect(), 0);
    graphics->AddControl(background);
    graphics->AddControl(control);
    graphics->AddControl(catcher);
    graphics->SetKeyCatcher(catcher);
    EXPECT_TRUE(graphics->OnKeyDown(15, 15, IGraphics::kKeyUp));
    EXPECT_EQ(control->keys, std::vector<int>{IGraphics::kKeyUp});
    EXPECT_TRUE(catcher->keys.empty());
    EXPECT_FALSE(graphics->OnKeyDown(15, 15, IGraphics::kKeySpace)); // refused by both
    EXPECT_EQ(catcher->keys, std::vector<int>{IGraphics::kKeySpace});
    EXPECT_TRUE(graphics->OnKeyDown(100, 100, IGraphics::kKeyA)); // over the background
    EXPECT_TRUE(background->keys.empty());
    EXPECT_EQ(catcher->keys.back(), IGraphics::kKeyA);
    EXPECT_FALSE(graphics->OnKeyDown(15, 15, -1));
}

TEST_F(EditorTest, MouseDispatchCapturesDragsAndMarksGestures) {
    auto* knob = new IKnobMultiControl(&plug, IRect(10, 10, 40, 40), EditorTestPlug::kLevel, kStrip,
                                       "strip.png", 2);
    auto* hidden = new IPanelControl(&plug, IRect(0, 0, 50, 50), 0);
    graphics->AddControl(knob);
    graphics->AddControl(hidden);
    hidden->Hide(true);
    graphics->OnAttached(); // as opening the window does: values from the instance
    ASSERT_EQ(graphics->FindControl(20, 20), 0);
    EXPECT_DOUBLE_EQ(knob->Value(), 0.5); // taken from the instance at attach
    EXPECT_DOUBLE_EQ(knob->DefaultValue(), 0.5);

    graphics->OnMouseDown(20, 20, Left());
    EXPECT_EQ(graphics->CapturedControl(), 0);
    graphics->OnMouseDrag(25, 8, Left()); // 12 pixels up, far outside: the capture holds
    graphics->OnMouseDrag(25, 8, Left()); // no movement, no change
    IMouseMod fine = Left();
    fine.shift = true;
    graphics->OnMouseDrag(25, 20, fine); // 12 down, ten times finer
    graphics->OnMouseUp(25, 20, Left());
    EXPECT_EQ(graphics->CapturedControl(), -1);
    const double expected = 0.5 + 12.0 / 30 / 4 - 12.0 / 30 / 40;
    EXPECT_NEAR(knob->Value(), expected, 1e-12);
    EXPECT_NEAR(plug.GetParameter(EditorTestPlug::kLevel)->Value(), expected, 0.006); // stepped
    EXPECT_EQ(plug.gestures, (std::vector<int>{1, -1}));

    graphics->OnMouseWheel(20, 20, IMouseMod(), 2);
    EXPECT_NEAR(knob->Value(), expected + 0.02, 1e-12);
    graphics->OnDoubleClick(20, 20, Left()); // back to the default
    EXPECT_DOUBLE_EQ(knob->Value(), 0.5);
    EXPECT_DOUBLE_EQ(plug.GetParameter(EditorTestPlug::kLevel)->Value(), 0.5);
    graphics->OnMouseUp(20, 20, Left()); // the double click's release ends no gesture
    EXPECT_EQ(plug.gestures.size(), 2u);

    knob->SetTooltip("Level");
    graphics->EnableTooltips(true);
    graphics->OnMouseHover(20, 20);
    EXPECT_EQ(graphics->shown.tooltip, "Level");
    graphics->OnMouseOver(100, 100, IMouseMod());
    graphics->OnMouseOver(20, 20, IMouseMod());
    graphics->OnMouseHover(20, 20);
    graphics->OnMouseDown(20, 20, Left());
    EXPECT_EQ(graphics->shown.tooltip, ""); // a click hides it
    graphics->OnMouseUp(20, 20, Left());
}

TEST_F(EditorTest, DrawingRedrawsOnlyWhatIsDirty) {
    auto* back = new IPanelControl(&plug, IRect(0, 0, kWidth, kHeight), LICE_RGBA(0, 0, 0, 255));
    auto* a = new IPanelControl(&plug, IRect(10, 10, 20, 20), LICE_RGBA(255, 0, 0, 255));
    auto* b = new IPanelControl(&plug, IRect(50, 10, 60, 20), LICE_RGBA(0, 255, 0, 255));
    graphics->AddControl(back);
    graphics->AddControl(a);
    graphics->AddControl(b);
    Settle();
    EXPECT_EQ(graphics->DrawBitmap()->getPixel(55, 15), LICE_RGBA(0, 255, 0, 255));
    b->SetColor(LICE_RGBA(0, 0, 255, 255)); // changed without being marked: not redrawn
    a->SetColor(LICE_RGBA(9, 9, 9, 255));
    a->MarkChanged(false);
    IRect dirty;
    ASSERT_TRUE(graphics->NeedsRedraw(&dirty));
    EXPECT_EQ(dirty, a->Rect());
    graphics->shown.repainted = IRect();
    graphics->OnTimerTick();
    EXPECT_EQ(graphics->shown.repainted, a->Rect());
    EXPECT_EQ(graphics->DrawBitmap()->getPixel(15, 15), LICE_RGBA(9, 9, 9, 255));
    EXPECT_EQ(graphics->DrawBitmap()->getPixel(55, 15), LICE_RGBA(0, 255, 0, 255));

    a->Hide(true); // hiding redraws what lies under it, twice (redraw pending)
    graphics->OnTimerTick();
    EXPECT_EQ(graphics->DrawBitmap()->getPixel(15, 15), LICE_RGBA(0, 0, 0, 255));
    EXPECT_TRUE(graphics->NeedsRedraw(nullptr));
    graphics->OnTimerTick();
    EXPECT_FALSE(graphics->NeedsRedraw(nullptr));

    back->MarkChanged(false); // a dirty background redraws everything
    graphics->OnTimerTick();
    EXPECT_EQ(graphics->DrawBitmap()->getPixel(55, 15), LICE_RGBA(0, 0, 255, 255));
    EXPECT_EQ(graphics->DrawBitmap()->getPixel(15, 15), LICE_RGBA(0, 0, 0, 255));
}

TEST_F(EditorTest, TextControlSetToItsOwnTextStaysClean) {
    auto* text = new ITextControl(&plug, IRect(0, 0, 50, 14), IText(), "Level");
    graphics->AddControl(text);
    Settle();
    text->SetTextFromPlug("Level");
    EXPECT_FALSE(text->NeedsRedraw());
    text->SetTextFromPlug(std::string(200, 'x').c_str()); // cut to the fixed capacity
    EXPECT_TRUE(text->NeedsRedraw());
    EXPECT_EQ(std::string(text->GetTextString()), std::string(kControlTextCapacity - 1, 'x'));
}

} // namespace
