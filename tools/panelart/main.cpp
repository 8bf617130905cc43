// panelart: draws the editor's panel bitmaps from their readable description.
//   panelart <panel.txt> <output folder> [<sections.h>]
// Writes every bitmap of the description into the folder under its file name and, when asked,
// the table of the background's section boxes as a C++ header.
#include "tools/panelart/PanelArt.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: panelart <panel.txt> <output folder> [<sections.h>]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "panelart: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();

    panelart::PanelArt art;
    std::string error;
    if (!panelart::DrawPanelArt(text.str(), &art, &error)) {
        std::fprintf(stderr, "panelart: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    for (const panelart::PanelBitmap& b : art.bitmaps) {
        const std::string path = std::string(argv[2]) + "/" + b.fileName;
        std::vector<unsigned char> png;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (LICE_EncodePNG(&b.pixels, &png))
            out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
        if (png.empty() || !out.flush()) {
            std::fprintf(stderr, "panelart: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%d %-20s %4d x %-4d %2d frame(s) %7zu bytes\n", b.resource, b.fileName.c_str(),
                    b.pixels.getWidth(), b.pixels.getHeight(), b.frames, png.size());
    }
    if (argc == 4) {
        std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
        out << panelart::SectionsHeader(art.sections);
        if (!out.flush()) {
            std::fprintf(stderr, "panelart: cannot write %s\n", argv[3]);
            return 1;
        }
        std::printf("%zu sections written to %s\n", art.sections.size(), argv[3]);
    }
    return 0;
}
