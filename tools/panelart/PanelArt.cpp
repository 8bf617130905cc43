#include "tools/panelart/PanelArt.h"

#include "tools/panelart/Shapes.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

namespace panelart {

namespace {

constexpr int kMode = LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;

struct Token {
    std::string text;
    bool quoted = false;
};

struct Line {
    int number = 0;
    std::vector<Token> tokens;
    int frame = 0; // 1-based frame it draws into, 0 for every frame
};

struct SectionStyle {
    bool set = false;
    int radius = 0, band = 0, size = 0;
    std::string font;
    LICE_pixel fill = 0, border = 0, bandColor = 0, text = 0;
};

struct BitmapSource {
    int line = 0;
    PanelBitmap bitmap;
    std::vector<Line> shapes;
};

bool Tokenize(const std::string& text, int number, Line* line, std::string* error) {
    line->number = number;
    size_t i = 0;
    while (i < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        Token token;
        if (text[i] == '"') {
            size_t end = text.find('"', i + 1);
            if (end == std::string::npos) {
                *error = "line " + std::to_string(number) + ": unterminated text";
                return false;
            }
            token.text = text.substr(i + 1, end - i - 1);
            token.quoted = true;
            i = end + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
                ++end;
            token.text = text.substr(i, end - i);
            i = end;
        }
        line->tokens.push_back(token);
    }
    return true;
}

// Reads a line's arguments one by one; the first mistake is kept and later reads give zeros.
class Arguments {
public:
    Arguments(const Line& line, const std::map<std::string, LICE_pixel>& colors)
        : line_(line), colors_(colors) {}

    bool ok() const { return error_.empty(); }
    std::string error() const { return "line " + std::to_string(line_.number) + ": " + error_; }
    void fail(const std::string& what) {
        if (error_.empty()) error_ = what;
    }

    double number() {
        const Token* t = next("a number");
        if (!t) return 0;
        char* end = nullptr;
        double v = std::strtod(t->text.c_str(), &end);
        if (t->quoted || t->text.empty() || *end || !(v > -1e6 && v < 1e6)) {
            fail("'" + t->text + "' is not a number");
            return 0;
        }
        return v;
    }
    int integer() {
        const Token* t = next("a whole number");
        if (!t) return 0;
        char* end = nullptr;
        long v = std::strtol(t->text.c_str(), &end, 10);
        if (t->quoted || t->text.empty() || *end || v < -100000 || v > 100000) {
            fail("'" + t->text + "' is not a whole number");
            return 0;
        }
        return int(v);
    }
    LICE_Rect rect() {
        int l = integer(), t = integer(), r = integer(), b = integer();
        return LICE_Rect(l, t, r, b);
    }
    std::string word() {
        const Token* t = next("a word");
        if (t && t->quoted) fail("'" + t->text + "' must not be quoted");
        return t ? t->text : std::string();
    }
    std::string text() {
        const Token* t = next("a quoted text");
        if (t && !t->quoted) fail("'" + t->text + "' must be quoted");
        return t ? t->text : std::string();
    }
    LICE_pixel color() {
        const std::string w = word();
        if (!ok()) return 0;
        if (!w.empty() && w[0] == '#') {
            LICE_pixel value = 0;
            if (ParseHex(w, &value)) return value;
            fail("'" + w + "' is not a colour (#rrggbb or #rrggbbaa)");
            return 0;
        }
        auto found = colors_.find(w);
        if (found == colors_.end()) fail("unknown colour '" + w + "'");
        return found == colors_.end() ? 0 : found->second;
    }
    // Checks that nothing is left over.
    bool finish() {
        if (ok() && next_ < line_.tokens.size())
            fail("too many arguments from '" + line_.tokens[next_].text + "' on");
        return ok();
    }

    static bool ParseHex(const std::string& w, LICE_pixel* value) {
        if (w.size() != 7 && w.size() != 9) return false;
        for (size_t i = 1; i < w.size(); ++i)
            if (!std::isxdigit(static_cast<unsigned char>(w[i]))) return false;
        unsigned long v = std::strtoul(w.c_str() + 1, nullptr, 16);
        *value = w.size() == 7 ? LICE_pixel(0xff000000u | v) : LICE_pixel((v >> 8) | (v << 24));
        return true;
    }

private:
    const Token* next(const char* what) {
        if (!ok()) return nullptr;
        if (next_ >= line_.tokens.size()) {
            fail(std::string("missing ") + what);
            return nullptr;
        }
        return &line_.tokens[next_++];
    }

    const Line& line_;
    const std::map<std::string, LICE_pixel>& colors_;
    size_t next_ = 1; // after the command word
    std::string error_;
};

bool ReadTextStyle(Arguments& a, LICE_TextStyle* style) {
    style->font = a.word();
    style->size = a.integer();
    const std::string face = a.word(), align = a.word();
    style->color = a.color();
    if (!a.ok()) return false;
    static const std::map<std::string, int> faces = {
        {"normal", LICE_TEXT_NORMAL},
        {"bold", LICE_TEXT_BOLD},
        {"italic", LICE_TEXT_ITALIC},
        {"bolditalic", LICE_TEXT_BOLD | LICE_TEXT_ITALIC}};
    static const std::map<std::string, int> aligns = {
        {"left", LICE_ALIGN_NEAR}, {"centre", LICE_ALIGN_CENTER}, {"right", LICE_ALIGN_FAR}};
    if (!faces.count(face)) a.fail("unknown text style '" + face + "'");
    if (!aligns.count(align)) a.fail("unknown alignment '" + align + "'");
    if (style->size < 4 || style->size > 200) a.fail("text size out of range 4..200");
    if (!a.ok()) return false;
    style->style = faces.at(face);
    style->align = aligns.at(align);
    return true;
}

class Painter {
public:
    Painter(const std::map<std::string, LICE_pixel>& colors, const SectionStyle& sectionStyle,
            PanelArt* art)
        : colors_(colors), sectionStyle_(sectionStyle), art_(art) {}

    // Draws one shape line into a frame (index 0-based of `frames`).
    bool draw(const Line& line, LICE_IBitmap* frame, int index, int frames, bool recordSections,
              std::string* error) {
        Arguments a(line, colors_);
        const std::string& command = line.tokens[0].text;
        if (command == "fill") {
            LICE_pixel c = a.color();
            // An exact copy, so a clear colour keeps its alpha of 0.
            if (a.finish()) LICE_FillRect(frame, frame->bounds(), c);
        } else if (command == "rect") {
            LICE_Rect r = a.rect();
            LICE_pixel c = a.color();
            if (a.finish()) LICE_FillRect(frame, r, c, 1.0f, kMode);
        } else if (command == "outline") {
            LICE_Rect r = a.rect();
            LICE_pixel c = a.color();
            if (a.finish()) LICE_DrawRect(frame, r, c, 1.0f, kMode);
        } else if (command == "roundrect") {
            LICE_Rect r = a.rect();
            int radius = a.integer();
            LICE_pixel c = a.color();
            if (a.finish()) FillRoundRect(frame, r, radius, c);
        } else if (command == "roundframe") {
            LICE_Rect r = a.rect();
            int radius = a.integer();
            float width = float(a.number());
            LICE_pixel c = a.color();
            if (a.finish()) DrawRoundRect(frame, r, radius, width, c);
        } else if (command == "circle") {
            float x = float(a.number()), y = float(a.number()), r = float(a.number());
            LICE_pixel c = a.color();
            if (a.finish()) FillDisc(frame, x, y, r, c);
        } else if (command == "ring") {
            float x = float(a.number()), y = float(a.number()), r = float(a.number());
            float width = float(a.number());
            LICE_pixel c = a.color();
            if (a.finish()) DrawRing(frame, x, y, r, width, c);
        } else if (command == "arc") {
            float x = float(a.number()), y = float(a.number()), r = float(a.number());
            double from = a.number(), to = a.number();
            float width = float(a.number());
            LICE_pixel c = a.color();
            if (a.finish()) DrawArc(frame, x, y, r, from, to, width, c);
        } else if (command == "line") {
            LICE_Point p[2];
            for (LICE_Point& point : p)
                point = LICE_Point{float(a.number()), float(a.number())};
            float width = float(a.number());
            LICE_pixel c = a.color();
            if (a.finish()) LICE_DrawPolyline(frame, p, 2, c, width, 1.0f, kMode);
        } else if (command == "triangle") {
            LICE_Point p[3];
            for (LICE_Point& point : p)
                point = LICE_Point{float(a.number()), float(a.number())};
            LICE_pixel c = a.color();
            if (a.finish()) FillTriangle(frame, p, c);
        } else if (command == "pointer") {
            float x = float(a.number()), y = float(a.number());
            float r0 = float(a.number()), r1 = float(a.number());
            double from = a.number(), to = a.number();
            float width = float(a.number());
            LICE_pixel c = a.color();
            double angle = frames > 1 ? from + (to - from) * index / (frames - 1) : from;
            if (a.finish()) DrawSpoke(frame, x, y, r0, r1, angle, width, c);
        } else if (command == "sevenseg") {
            LICE_Rect r = a.rect();
            float thickness = float(a.number()), slant = float(a.number());
            LICE_pixel lit = a.color(), unlit = a.color();
            std::string segments = a.text();
            if (segments.find_first_not_of("abcdefg") != std::string::npos)
                a.fail("segments are letters a..g");
            if (a.finish()) DrawSevenSegment(frame, r, thickness, slant, segments, lit, unlit);
        } else if (command == "text") {
            LICE_Rect r = a.rect();
            LICE_TextStyle style;
            ReadTextStyle(a, &style);
            std::string text = a.text();
            if (a.finish()) LICE_DrawText(frame, text, r, style);
        } else if (command == "section") {
            PanelSection section;
            section.name = a.word();
            section.rect = a.rect();
            section.title = a.text();
            if (!sectionStyle_.set) a.fail("section before sectionstyle");
            if (section.rect.empty()) a.fail("empty section rectangle");
            for (char ch : section.name)
                if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_')
                    a.fail("section names are letters, digits and '_'");
            if (recordSections)
                for (const PanelSection& other : art_->sections)
                    if (other.name == section.name) a.fail("section '" + section.name + "' twice");
            if (a.finish()) {
                drawSection(frame, section);
                if (recordSections) art_->sections.push_back(section);
            }
        } else {
            a.fail("unknown command '" + command + "'");
        }
        if (!a.ok()) *error = a.error();
        return a.ok();
    }

private:
    void drawSection(LICE_IBitmap* frame, const PanelSection& section) {
        const SectionStyle& s = sectionStyle_;
        const LICE_Rect& r = section.rect;
        FillRoundRect(frame, r, s.radius, s.fill);
        // The title band: rounded at the top, square where it meets the box.
        FillRoundRect(frame, LICE_Rect(r.left, r.top, r.right, r.top + s.band + s.radius), s.radius,
                      s.bandColor);
        LICE_FillRect(frame, LICE_Rect(r.left, r.top + s.band, r.right, r.top + s.band + s.radius),
                      s.fill, 1.0f, kMode);
        LICE_FillRect(frame, LICE_Rect(r.left, r.top + s.band, r.right, r.top + s.band + 1),
                      s.border, 1.0f, kMode);
        DrawRoundRect(frame, r, s.radius, 1.0f, s.border);
        LICE_TextStyle style;
        style.font = s.font;
        style.size = s.size;
        style.style = LICE_TEXT_BOLD;
        style.align = LICE_ALIGN_NEAR;
        style.color = s.text;
        int inset = s.radius + 5;
        LICE_DrawText(frame, section.title,
                      LICE_Rect(r.left + inset, r.top + 1, r.right - inset, r.top + s.band), style);
    }

    const std::map<std::string, LICE_pixel>& colors_;
    const SectionStyle& sectionStyle_;
    PanelArt* art_;
};

bool ReadSectionStyle(const Line& line, const std::map<std::string, LICE_pixel>& colors,
                      SectionStyle* style, std::string* error) {
    Arguments a(line, colors);
    style->radius = a.integer();
    style->band = a.integer();
    style->font = a.word();
    style->size = a.integer();
    style->fill = a.color();
    style->border = a.color();
    style->bandColor = a.color();
    style->text = a.color();
    style->set = true;
    if (a.finish() && (style->radius < 0 || style->band < style->size))
        a.fail("the title band must hold the title's size");
    if (!a.ok()) *error = a.error();
    return a.ok();
}

bool ReadBitmapHeader(const Line& line, const std::map<std::string, LICE_pixel>& colors,
                      const std::vector<BitmapSource>& earlier, BitmapSource* source,
                      std::string* error) {
    Arguments a(line, colors);
    PanelBitmap& b = source->bitmap;
    b.resource = a.integer();
    b.fileName = a.word();
    int width = a.integer(), height = a.integer();
    b.frames = a.integer();
    if (a.finish()) {
        if (width < 1 || height < 1 || width > 4096 || height > 4096)
            a.fail("bitmap size out of range 1..4096");
        else if (b.frames < 1 || height % b.frames != 0)
            a.fail("the height must be a whole number of frames");
        if (b.fileName.size() < 5 || b.fileName.substr(b.fileName.size() - 4) != ".png" ||
            b.fileName.find_first_of("/\\:") != std::string::npos)
            a.fail("the file name must be a plain name ending in .png");
        for (const BitmapSource& other : earlier)
            if (other.bitmap.resource == b.resource || other.bitmap.fileName == b.fileName)
                a.fail("bitmap " + std::to_string(b.resource) + " " + b.fileName + " twice");
    }
    if (!a.ok()) {
        *error = a.error();
        return false;
    }
    source->line = line.number;
    b.pixels.resize(width, height);
    return true;
}

} // namespace

bool DrawPanelArt(const std::string& description, PanelArt* art, std::string* error) {
    *art = PanelArt();
    std::map<std::string, LICE_pixel> colors;
    SectionStyle sectionStyle;
    std::vector<BitmapSource> sources;
    std::vector<Line> styleLines;

    // First the structure: colours, bitmaps and their shapes by frame.
    std::istringstream in(description);
    std::string text;
    int number = 0;
    int frame = 0;
    while (std::getline(in, text)) {
        ++number;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') continue;
        Line line;
        if (!Tokenize(text, number, &line, error)) return false;
        const std::string command = line.tokens[0].quoted ? "" : line.tokens[0].text;
        Arguments a(line, colors);
        if (command == "colour") {
            std::string name = a.word();
            std::string value = a.word();
            LICE_pixel pixel = 0;
            if (a.finish() && !Arguments::ParseHex(value, &pixel))
                a.fail("'" + value + "' is not a colour (#rrggbb or #rrggbbaa)");
            if (a.ok() && (name.empty() || name[0] == '#' || colors.count(name)))
                a.fail("colour '" + name + "' is already defined or not a name");
            if (!a.ok()) {
                *error = a.error();
                return false;
            }
            colors[name] = pixel;
        } else if (command == "sectionstyle") {
            if (!ReadSectionStyle(line, colors, &sectionStyle, error)) return false;
        } else if (command == "bitmap") {
            BitmapSource source;
            if (!ReadBitmapHeader(line, colors, sources, &source, error)) return false;
            sources.push_back(std::move(source));
            frame = 0;
        } else if (command == "frame") {
            std::string which = a.word();
            if (sources.empty()) a.fail("frame outside a bitmap");
            if (which == "*") {
                frame = 0;
            } else {
                char* end = nullptr;
                long n = std::strtol(which.c_str(), &end, 10);
                if (a.ok() && (which.empty() || *end || n < 1 || n > sources.back().bitmap.frames))
                    a.fail("frame '" + which + "' is not * or 1.." +
                           std::to_string(sources.back().bitmap.frames));
                frame = int(n);
            }
            if (!a.finish()) {
                *error = a.error();
                return false;
            }
        } else {
            if (sources.empty()) {
                *error = "line " + std::to_string(number) + ": '" + line.tokens[0].text +
                         "' outside a bitmap";
                return false;
            }
            line.frame = frame;
            sources.back().shapes.push_back(line);
        }
    }
    if (sources.empty()) {
        *error = "no bitmap described";
        return false;
    }

    // Then the drawing, frame by frame, each frame in a bitmap of its own so that shapes are
    // placed in frame coordinates and cannot spill into a neighbour.
    Painter painter(colors, sectionStyle, art);
    for (BitmapSource& source : sources) {
        PanelBitmap& b = source.bitmap;
        const int w = b.pixels.getWidth(), h = b.pixels.getHeight() / b.frames;
        for (int f = 0; f < b.frames; ++f) {
            LICE_MemBitmap frameBitmap(w, h);
            for (const Line& line : source.shapes) {
                if (line.frame != 0 && line.frame != f + 1) continue;
                if (!painter.draw(line, &frameBitmap, f, b.frames, f == 0, error)) return false;
            }
            LICE_Blit(&b.pixels, &frameBitmap, 0, f * h, frameBitmap.bounds());
        }
        art->bitmaps.push_back(std::move(b));
    }
    return true;
}

std::string SectionsHeader(const std::vector<PanelSection>& sections) {
    std::string out =
        "// The titled boxes of the panel background, generated with the bitmaps by\n"
        "// tools/panelart from resources/panel/panel.txt: edit that file, not this one.\n"
        "#pragma once\n"
        "\n"
        "struct PanelSectionRect {\n"
        "    const char* name;\n"
        "    int left, top, right, bottom;\n"
        "};\n"
        "\n"
        "constexpr PanelSectionRect kPanelSections[] = {\n";
    for (const PanelSection& s : sections)
        out += "    {\"" + s.name + "\", " + std::to_string(s.rect.left) + ", " +
               std::to_string(s.rect.top) + ", " + std::to_string(s.rect.right) + ", " +
               std::to_string(s.rect.bottom) + "},\n";
    out += "};\n";
    return out;
}

} // namespace panelart
