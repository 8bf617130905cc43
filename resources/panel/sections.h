// The titled boxes of the panel background, generated with the bitmaps by
// tools/panelart from resources/panel/panel.txt: edit that file, not this one.
#pragma once

struct PanelSectionRect {
    const char* name;
    int left, top, right, bottom;
};

constexpr PanelSectionRect kPanelSections[] = {
    {"osc", 10, 94, 330, 294},
    {"noise", 338, 94, 418, 294},
    {"autobend", 426, 94, 566, 294},
    {"vcf", 574, 94, 774, 294},
    {"mg", 782, 94, 982, 294},
    {"edit", 990, 94, 1140, 294},
    {"vcfeg", 10, 302, 296, 502},
    {"vcaeg", 304, 302, 590, 502},
    {"delay", 598, 302, 812, 502},
    {"perform", 820, 302, 1140, 502},
    {"waves", 10, 510, 550, 708},
    {"settings", 558, 510, 1140, 708},
};
