// A test panel drawn off-screen must match tests/editor/golden_panel.png pixel for pixel on
// every target: a background, bitmap strips in several frames, a greyed one, a fader, and text
// in both fonts. QX_EDITOR_REGENERATE=1 rewrites the golden file.
#include "tests/editor/EditorTestPlug.h"

#include <cstdlib>
#include <string>

namespace {

constexpr int kStrip = 190; // 8 × 12: two frames of 8 × 6, or two of 4 × 12 side by side

IText Style(const char* font, int size, LICE_pixel color, int style = IText::kStyleNormal,
            int align = IText::kAlignCenter) {
    IText text;
    text.font = font;
    text.size = size;
    text.color = color;
    text.style = style;
    text.align = align;
    return text;
}

TEST_F(EditorTest, TestPanelMatchesTheGoldenPixels) {
    const LICE_pixel light = LICE_RGBA(225, 228, 232, 255);
    graphics->AddControl(
        new IPanelControl(&plug, IRect(0, 0, kWidth, kHeight), LICE_RGBA(36, 40, 48, 255)));
    graphics->AddControl(
        new IPanelControl(&plug, IRect(4, 4, 96, 56), LICE_RGBA(200, 60, 30, 128)));
    auto* off = new IBitmapControl(&plug, IRect(10, 10, 18, 16), -1, kStrip, "strip.png", 2);
    auto* on = new IBitmapControl(&plug, IRect(22, 10, 30, 16), -1, kStrip, "strip.png", 2);
    auto* wide = new IBitmapControl(&plug, IRect(34, 10, 38, 22), -1, kStrip, "strip.png", 2, true);
    auto* greyed = new IBitmapControl(&plug, IRect(42, 10, 50, 16), -1, kStrip, "strip.png", 2);
    on->SetValue(1.0);
    wide->SetValue(1.0);
    greyed->SetValue(1.0);
    greyed->SetGreyed(true);
    auto* level = new IKnobMultiControl(&plug, IRect(56, 10, 64, 16), EditorTestPlug::kLevel,
                                        kStrip, "strip.png", 2);
    auto* levelText = new ITextControl(&plug, IRect(4, 26, 96, 40), Style("Verdana", 12, light));
    auto* levelName =
        new ITextControl(&plug, IRect(4, 40, 96, 54), Style("Arial", 11, light, IText::kStyleBold));
    level->SetValueDisplay(levelText);
    level->SetNameDisplay(levelName);
    auto* fader = new IFaderControl(&plug, IRect(110, 6, 118, 110), EditorTestPlug::kOffset, kStrip,
                                    "strip.png");
    auto* faderText = new ITextControl(
        &plug, IRect(124, 6, 196, 20),
        Style("Arial", 12, LICE_RGBA(255, 210, 90, 255), IText::kStyleNormal, IText::kAlignFar));
    fader->SetValueDisplay(faderText);
    auto* note =
        new ITextControl(&plug, IRect(4, 64, 106, 110),
                         Style("Verdana", 10, light, IText::kStyleItalic, IText::kAlignNear),
                         "Greyed: faded\nNear aligned");
    auto* greyText =
        new ITextControl(&plug, IRect(124, 90, 196, 110), Style("Arial", 12, light), "Greyed");
    greyText->SetGreyed(true);
    for (IControl* control : std::initializer_list<IControl*>{
             off, on, wide, greyed, level, levelText, levelName, fader, faderText, note, greyText})
        graphics->AddControl(control);
    graphics->OnAttached();
    plug.SetParameterFromEditor(EditorTestPlug::kOffset, 0.3);
    graphics->ShowParameterValue(EditorTestPlug::kOffset, 0.3, true);
    graphics->DrawEverything();

    const std::string path = std::string(QX_EDITOR_TEST_DIR) + "/golden_panel.png";
    const LICE_IBitmap& drawing = *graphics->DrawBitmap();
    if (std::getenv("QX_EDITOR_REGENERATE")) {
        ASSERT_TRUE(LICE_SavePNG(path, &drawing)) << path;
        return;
    }
    LICE_MemBitmap golden;
    ASSERT_TRUE(LICE_LoadPNG(path, &golden)) << "cannot read " << path;
    ASSERT_EQ(golden.getWidth(), drawing.getWidth());
    ASSERT_EQ(golden.getHeight(), drawing.getHeight());
    for (int y = 0; y < golden.getHeight(); ++y)
        for (int x = 0; x < golden.getWidth(); ++x)
            ASSERT_EQ(drawing.getPixel(x, y), golden.getPixel(x, y)) << "at " << x << ", " << y;
}

} // namespace
