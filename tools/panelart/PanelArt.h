// The panel bitmaps drawn from their readable description (resources/panel/panel.txt; the
// language is documented at the top of that file).
#pragma once

#include "lice/LICE.h"

#include <string>
#include <vector>

namespace panelart {

struct PanelBitmap {
    int resource = 0;
    std::string fileName;
    int frames = 1; // stacked vertically, each getHeight() / frames tall
    LICE_MemBitmap pixels;
};

// A titled box of the background, kept so that the panel layout can place controls in it.
struct PanelSection {
    std::string name, title;
    LICE_Rect rect;
};

struct PanelArt {
    std::vector<PanelBitmap> bitmaps; // in the order of the description
    std::vector<PanelSection> sections;
};

// Draws every bitmap of the description. On a mistake returns false with `error` naming the line.
bool DrawPanelArt(const std::string& description, PanelArt* art, std::string* error);

// The sections as a C++ header with the constexpr table kPanelSections.
std::string SectionsHeader(const std::vector<PanelSection>& sections);

} // namespace panelart
