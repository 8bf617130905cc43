// Geometry of the provisional editor panel: every parameter as a knob in a grid of 12 columns
// by 6 rows on the 1150 × 718 panel, with its name above and its value below. Window tests
// click at these rectangles, so the panel and the tests share this one definition.
#pragma once

#include "editor/IControl.h"

class IGraphics;

// Adds the panel's controls (background, and per parameter a knob with its name and value) to
// an empty editor of kPanelWidth × kPanelHeight.
void AddProvisionalPanel(IGraphics* graphics);

namespace provisional_panel {

constexpr int kPanelWidth = 1150, kPanelHeight = 718;
constexpr int kColumns = 12, kRows = 6;
constexpr int kCellWidth = 92, kCellHeight = 112;
constexpr int kMarginX = (kPanelWidth - kColumns * kCellWidth) / 2; // 23
constexpr int kMarginY = (kPanelHeight - kRows * kCellHeight) / 2;  // 23
constexpr int kKnobSize = 30;                                       // one frame of knob.png
constexpr int kTextHeight = 14, kNameHeight = 26;                   // a long name takes two lines
constexpr int kNameTop = 18, kKnobTop = 46, kValueTop = 80;         // within a cell

inline IRect CellRect(int paramIndex) {
    const int left = kMarginX + (paramIndex % kColumns) * kCellWidth;
    const int top = kMarginY + (paramIndex / kColumns) * kCellHeight;
    return IRect(left, top, left + kCellWidth, top + kCellHeight);
}

} // namespace provisional_panel

// The knob of parameter `paramIndex` (0..68).
inline IRect ProvisionalKnobRect(int paramIndex) {
    using namespace provisional_panel;
    const IRect cell = CellRect(paramIndex);
    const int left = cell.left + (kCellWidth - kKnobSize) / 2;
    const int top = cell.top + kKnobTop;
    return IRect(left, top, left + kKnobSize, top + kKnobSize);
}

// The parameter's name display, above the knob.
inline IRect ProvisionalNameRect(int paramIndex) {
    using namespace provisional_panel;
    const IRect cell = CellRect(paramIndex);
    return IRect(cell.left + 2, cell.top + kNameTop, cell.right - 2,
                 cell.top + kNameTop + kNameHeight);
}

// The parameter's value display, below the knob.
inline IRect ProvisionalValueRect(int paramIndex) {
    using namespace provisional_panel;
    const IRect cell = CellRect(paramIndex);
    return IRect(cell.left + 2, cell.top + kValueTop, cell.right - 2,
                 cell.top + kValueTop + kTextHeight);
}
