// The editor's bitmaps: redrawn from resources/panel/panel.txt they must equal, pixel for
// pixel, the committed files and the copies embedded in the module, with the sizes and frame
// strips the editor's controls rely on.
#include "tools/panelart/PanelArt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first pixel where two bitmaps differ, as text, or empty when they are equal.
std::string Difference(const LICE_IBitmap& a, const LICE_IBitmap& b) {
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight())
        return "size " + std::to_string(b.getWidth()) + " x " + std::to_string(b.getHeight());
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixel(x, y) != b.getPixel(x, y))
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return std::string();
}

struct Expected {
    int resource;
    const char* file;
    int width, height, frames;
};
const Expected kBitmaps[] = {
    {101, "back.png", 1150, 718, 1},
    {102, "button.png", 59, 114, 2},
    {103, "button_led_off.png", 59, 114, 2},
    {104, "button_led_on.png", 59, 114, 2},
    {105, "handle.png", 53, 32, 1},
    {106, "digits_red.png", 26, 408, 12},
    {107, "digits_green.png", 26, 408, 12},
    {108, "dot_red.png", 6, 10, 2},
    {109, "dot_green.png", 6, 10, 2},
    {110, "learn.png", 52, 22, 2},
    {111, "unlearn.png", 52, 22, 2},
    {112, "vcfmg.png", 87, 24, 2},
    {113, "up.png", 24, 48, 2},
    {114, "down.png", 24, 48, 2},
    {115, "knob.png", 30, 930, 31},
    {116, "knob_red.png", 30, 930, 31},
};

} // namespace

TEST(PanelArt, RedrawingGivesTheCommittedAndEmbeddedBitmaps) {
    const std::string dir = QX_PANEL_DIR;
    panelart::PanelArt art;
    std::string error;
    ASSERT_TRUE(panelart::DrawPanelArt(ReadFile(dir + "/panel.txt"), &art, &error)) << error;
    ASSERT_EQ(art.bitmaps.size(), std::size(kBitmaps));

    // Through a PNG file of our own, so the encoder is part of the round trip.
    const std::filesystem::path temp = std::filesystem::temp_directory_path() / "qx_panelart_test";
    std::filesystem::create_directories(temp);
    for (size_t i = 0; i < art.bitmaps.size(); ++i) {
        const panelart::PanelBitmap& b = art.bitmaps[i];
        const Expected& e = kBitmaps[i];
        SCOPED_TRACE(e.file);
        EXPECT_EQ(b.resource, e.resource);
        EXPECT_EQ(b.fileName, e.file);
        EXPECT_EQ(b.frames, e.frames);
        ASSERT_EQ(b.pixels.getWidth(), e.width);
        ASSERT_EQ(b.pixels.getHeight(), e.height);

        const std::string written = (temp / e.file).string();
        ASSERT_TRUE(LICE_SavePNG(written, &b.pixels));
        LICE_MemBitmap redrawn, committed;
        ASSERT_TRUE(LICE_LoadPNG(written, &redrawn));
        ASSERT_TRUE(LICE_LoadPNG(dir + "/" + e.file, &committed)) << "missing " << e.file;
        EXPECT_EQ(Difference(redrawn, committed), "") << "committed file differs";
        const LICE_IBitmap* embedded = LICE_LoadPNGResource(e.resource);
        ASSERT_NE(embedded, nullptr) << "no PNG resource " << e.resource;
        EXPECT_EQ(Difference(*embedded, committed), "") << "embedded copy differs";

        // A frame must not bleed into its neighbour: each starts on a row of its own, and
        // consecutive frames of an animated strip differ.
        const int frameHeight = e.height / e.frames;
        for (int f = 0; f < e.frames; ++f)
            EXPECT_EQ(LICE_FrameRect(&b.pixels, f, e.frames, false),
                      LICE_Rect(0, f * frameHeight, e.width, (f + 1) * frameHeight));
        for (int f = 1; f < e.frames; ++f) {
            LICE_MemBitmap previous(e.width, frameHeight), current(e.width, frameHeight);
            LICE_BlitFrame(&previous, &b.pixels, f - 1, e.frames, false, previous.bounds());
            LICE_BlitFrame(&current, &b.pixels, f, e.frames, false, current.bounds());
            EXPECT_NE(Difference(previous, current), "") << "frames " << f << " and " << f + 1;
        }
    }
    std::filesystem::remove_all(temp);

    EXPECT_EQ(panelart::SectionsHeader(art.sections), ReadFile(dir + "/sections.h"));
}

TEST(PanelArt, KnobFramesMirrorAboutTwelveOClock) {
    // Frame f and frame 30 − f point at mirrored angles: an off-centre knob or a sweep that is
    // not symmetric about 12 o'clock breaks this.
    panelart::PanelArt art;
    std::string error;
    ASSERT_TRUE(
        panelart::DrawPanelArt(ReadFile(std::string(QX_PANEL_DIR) + "/panel.txt"), &art, &error));
    for (const panelart::PanelBitmap& b : art.bitmaps) {
        if (b.frames != 31) continue;
        SCOPED_TRACE(b.fileName);
        int worst = 0;
        for (int f = 0; f <= 15; ++f)
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 30; ++x) {
                    LICE_pixel p = b.pixels.getPixel(x, f * 30 + y);
                    LICE_pixel q = b.pixels.getPixel(29 - x, (30 - f) * 30 + y);
                    for (int shift = 0; shift < 32; shift += 8)
                        worst = std::max(
                            worst, std::abs(int((p >> shift) & 255) - int((q >> shift) & 255)));
                }
        EXPECT_LE(worst, 2);
        // And the first frame points down to the left, so the sweep runs clockwise.
        EXPECT_NE(b.pixels.getPixel(10, 22), b.pixels.getPixel(19, 22));
    }
}

TEST(PanelArt, MistakesNameTheirLine) {
    const std::string head = "colour c #102030\nbitmap 1 a.png 4 4 2\n";
    const std::pair<std::string, std::string> cases[] = {
        {"rect 0 0 4 x c\n", "line 3: 'x' is not a whole number"},
        {"circle 1 1 1 nocolour\n", "line 3: unknown colour 'nocolour'"},
        {"line 0 0 1 1 1 #12345\n", "line 3: '#12345' is not a colour"},
        {"frame 3\n", "line 3: frame '3' is not * or 1..2"},
        {"text 0 0 4 4 Arial 10 bold middle c \"x\"\n", "line 3: unknown alignment 'middle'"},
        {"sevenseg 0 0 4 4 1 0 c c \"ah\"\n", "line 3: segments are letters a..g"},
        {"fill c c\n", "line 3: too many arguments"},
        {"section s 0 0 4 4 \"S\"\n", "line 3: section before sectionstyle"},
        {"bitmap 2 b.png 4 5 2\n", "line 3: the height must be a whole number of frames"},
        {"bitmap 1 b.png 4 4 1\n", "line 3: bitmap 1 b.png twice"},
        {"spiral 1 1\n", "line 3: unknown command 'spiral'"},
    };
    for (const auto& c : cases) {
        panelart::PanelArt art;
        std::string error;
        EXPECT_FALSE(panelart::DrawPanelArt(head + c.first, &art, &error)) << c.first;
        EXPECT_EQ(error.rfind(c.second, 0), 0u) << c.first << " gave: " << error;
    }
}
