// Text measuring and placement, and a reference drawing that every target must reproduce to
// the pixel.
#include "lice/LICE.h"
#include "tests/lice/LiceTestSupport.h"

#include <gtest/gtest.h>

namespace {

LICE_TextStyle Style(const char* font, int size, int style = LICE_TEXT_NORMAL,
                     int align = LICE_ALIGN_CENTER) {
    LICE_TextStyle s;
    s.font = font;
    s.size = size;
    s.style = style;
    s.align = align;
    return s;
}

// The columns and rows that hold ink (pixels no longer white).
LICE_Rect InkBox(const LICE_IBitmap& b) {
    LICE_Rect box;
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            if (b.getPixel(x, y) != LICE_RGBA(255, 255, 255, 255))
                box = LICE_Union(box, LICE_Rect(x, y, x + 1, y + 1));
    return box;
}

TEST(Text, MeasuresFromTheFontsMetrics) {
    LICE_TextStyle verdana = Style("Verdana", 12);
    LICE_TextExtent one = LICE_MeasureText("W", verdana);
    LICE_TextExtent three = LICE_MeasureText("WWW", verdana);
    ASSERT_GT(one.width, 5);
    // No kerning and sub-pixel advances: three letters are three advances, rounded up once.
    EXPECT_GE(three.width, 3 * one.width - 2);
    EXPECT_LE(three.width, 3 * one.width);
    // One line is the pixel size high (the fonts have no line gap); lines stack.
    EXPECT_EQ(one.height, 12);
    LICE_TextExtent lines = LICE_MeasureText("WWW\nW", verdana);
    EXPECT_EQ(lines.height, 24);
    EXPECT_EQ(lines.width, three.width);
    // The faces differ as their fonts do: the bold is wider, Arial narrower than Verdana,
    // twice the size about twice the width.
    EXPECT_GT(LICE_MeasureText("Program 12", Style("Verdana", 12, LICE_TEXT_BOLD)).width,
              LICE_MeasureText("Program 12", verdana).width);
    EXPECT_LT(LICE_MeasureText("Program 12", Style("Arial", 12)).width,
              LICE_MeasureText("Program 12", verdana).width);
    int small = LICE_MeasureText("Program 12", verdana).width;
    int big = LICE_MeasureText("Program 12", Style("Verdana", 24)).width;
    EXPECT_NEAR(big, 2 * small, 2);
    // Nothing measures nothing.
    EXPECT_EQ(LICE_MeasureText("", verdana).width, 0);
    EXPECT_EQ(LICE_MeasureText("W", Style("Verdana", 0)).height, 0);
    // Invalid UTF-8 is read as Latin-1 rather than dropped: "\xe9" is one letter, as "é" is.
    EXPECT_EQ(LICE_MeasureText("caf\xe9", verdana).width,
              LICE_MeasureText("caf\xc3\xa9", verdana).width);
}

TEST(Text, AlignsInsideItsRectangleAndNeverLeavesIt) {
    const LICE_Rect rect(10, 10, 110, 40);
    int inkWidth = 0;
    for (int align : {LICE_ALIGN_NEAR, LICE_ALIGN_CENTER, LICE_ALIGN_FAR}) {
        LICE_MemBitmap b(120, 50);
        LICE_FillRect(&b, b.bounds(), LICE_RGBA(255, 255, 255, 255));
        LICE_TextExtent e = LICE_DrawText(&b, "Hello", rect, Style("Arial", 14, 0, align));
        EXPECT_EQ(e.width, LICE_MeasureText("Hello", Style("Arial", 14)).width);
        LICE_Rect ink = InkBox(b);
        ASSERT_FALSE(ink.empty());
        if (align == LICE_ALIGN_NEAR) {
            EXPECT_NEAR(ink.left, rect.left + 1, 1);
        } else if (align == LICE_ALIGN_FAR) {
            EXPECT_NEAR(ink.right, rect.right - 1, 1);
        } else {
            EXPECT_NEAR(ink.left - rect.left, rect.right - ink.right, 2);
        }
        // Vertically centred: the capitals' ink sits in the middle of the rectangle.
        EXPECT_NEAR((ink.top + ink.bottom) / 2, 25, 3);
        inkWidth = ink.width();
    }
    EXPECT_GT(inkWidth, 25);

    // Too long for its rectangle: cut there, whatever the clip allows.
    LICE_MemBitmap b(120, 50);
    LICE_FillRect(&b, b.bounds(), LICE_RGBA(255, 255, 255, 255));
    LICE_Rect narrow(20, 10, 50, 40);
    LICE_DrawText(&b, "A long program name", narrow, Style("Verdana", 14, LICE_TEXT_ITALIC),
                  nullptr);
    LICE_Rect ink = InkBox(b);
    EXPECT_EQ(LICE_Intersect(ink, narrow), ink);
    EXPECT_FALSE(ink.empty());
}

// Text of both fonts in all styles, translucent fills, a blended frame blit and polylines,
// compared with tests/lice/reference_drawing.png. The committed picture was made by one build;
// every other build must give the same pixels.
TEST(Text, ReferenceDrawingIsIdenticalOnEveryTarget) {
    LICE_MemBitmap canvas(240, 120);
    LICE_FillRect(&canvas, canvas.bounds(), LICE_RGBA(32, 36, 44, 255));
    LICE_FillRect(&canvas, LICE_Rect(0, 60, 240, 120), LICE_RGBA(230, 226, 214, 255));
    const char* fonts[] = {"Verdana", "Arial"};
    for (int f = 0; f < 2; ++f)
        for (int style = 0; style < 4; ++style) {
            LICE_TextStyle s = Style(fonts[f], 11 + style, style, LICE_ALIGN_NEAR);
            s.color = f ? LICE_RGBA(20, 20, 30, 255) : LICE_RGBA(240, 230, 180, 255);
            LICE_Rect r(4 + 60 * style, 4 + 60 * f, 60 + 60 * style, 24 + 60 * f);
            LICE_DrawText(&canvas, style % 2 ? "Qx 47" : "Wave 8", r, s);
        }
    LICE_FillRect(&canvas, LICE_Rect(10, 28, 120, 90), LICE_RGBA(200, 40, 40, 96), 1.0f,
                  LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    LICE_MemBitmap strip = licetest::DrawTestStrip();
    LICE_BlitFrame(&canvas, &strip, 0, 2, false, LICE_Rect(130, 30, 138, 36), 0.75f,
                   LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    LICE_BlitFrame(&canvas, &strip, 1, 2, false, LICE_Rect(140, 30, 148, 36), 0.5f,
                   LICE_BLIT_MODE_ADD);
    LICE_Point wave[40];
    for (int i = 0; i < 40; ++i)
        wave[i] = LICE_Point{150.0f + 2.2f * i, 45.0f + ((i * 7) % 13) - 6.0f};
    LICE_DrawPolyline(&canvas, wave, 40, LICE_RGBA(120, 230, 140, 255), 1.5f);
    LICE_DrawPolyline(&canvas, wave, 40, LICE_RGBA(255, 255, 255, 255), 3.0f, 0.3f,
                      LICE_BLIT_MODE_ADD, nullptr);
    LICE_DrawRect(&canvas, LICE_Rect(2, 2, 238, 118), LICE_RGBA(250, 120, 0, 255), 0.6f);
    EXPECT_EQ(licetest::CompareWithCommitted(canvas, std::string(QX_LICE_TEST_DIR) +
                                                         "/reference_drawing.png"),
              "");
}

} // namespace
