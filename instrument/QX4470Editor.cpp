// The instrument's editor for now: every parameter as a knob with its name and value, on the
// panel background. A plain fill stands in wherever a panel bitmap is missing.
#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "instrument/ProvisionalPanelLayout.h"
#include "instrument/QX4470.h"

#include <cstdlib>
#include <string>

namespace {

constexpr int kBackground = 101, kKnob = 115, kRedKnob = 116;
constexpr int kKnobFrames = 31;
constexpr int kFrameRate = 25;
const LICE_pixel kPanelColor = LICE_RGBA(34, 36, 40, 255);
// The front panel's artwork has its own sections and labels; the grid does not follow them,
// so they are dimmed to a backdrop.
const LICE_pixel kDimming = LICE_RGBA(16, 18, 22, 190);

class PanelBackground : public IBitmapControl {
public:
    PanelBackground(IPlugBase* plug, int width, int height)
        : IBitmapControl(plug, IRect(0, 0, width, height), -1, kBackground, "back.png", 1) {}
    void Draw(IGraphics* graphics) override {
        graphics->FillRect(kPanelColor, rect_);
        if (!Bitmap(graphics)) return;
        IBitmapControl::Draw(graphics);
        graphics->FillRect(kDimming, rect_);
    }
};

// A parameter name that breaks into two lines, at the blank nearest its middle, when it is
// too wide for one.
class NameDisplay : public ITextControl {
public:
    using ITextControl::ITextControl;
    void Draw(IGraphics* graphics) override {
        std::string name = GetTextString();
        IRect extent = rect_;
        graphics->DrawText(text_, name.c_str(), &extent, true);
        if (extent.width() > rect_.width()) {
            size_t best = std::string::npos;
            for (size_t i = name.find(' '); i != std::string::npos; i = name.find(' ', i + 1))
                if (best == std::string::npos || std::abs(int(i) - int(name.size() / 2)) <
                                                     std::abs(int(best) - int(name.size() / 2)))
                    best = i;
            if (best != std::string::npos) name[best] = '\n';
        }
        IRect rect = rect_;
        graphics->DrawText(text_, name.c_str(), &rect);
    }
};

IText LabelStyle(const char* font, int size, LICE_pixel color) {
    IText text;
    text.font = font;
    text.size = size;
    text.color = color;
    return text;
}

} // namespace

void AddProvisionalPanel(IGraphics* graphics) {
    using namespace provisional_panel;
    IPlugBase* plug = graphics->Plug();
    // Not SetBackground: the plain fill must come first, under the bitmap.
    graphics->AddControl(new PanelBackground(plug, graphics->Width(), graphics->Height()));
    const IText nameStyle = LabelStyle("Arial", 11, LICE_RGBA(214, 218, 224, 255));
    const IText valueStyle = LabelStyle("Verdana", 10, LICE_RGBA(150, 200, 235, 255));
    for (int i = 0; i < plug->NParams() && i < kColumns * kRows; ++i) {
        const bool enumerated = plug->GetParameter(i)->Type() == ParamTypeEnum;
        auto* knob =
            new IKnobMultiControl(plug, ProvisionalKnobRect(i), i, enumerated ? kRedKnob : kKnob,
                                  enumerated ? "knob_red.png" : "knob.png", kKnobFrames);
        knob->SetPromptEnabled(true);
        auto* name = new NameDisplay(plug, ProvisionalNameRect(i), nameStyle);
        auto* value = new ITextControl(plug, ProvisionalValueRect(i), valueStyle);
        knob->SetNameDisplay(name);
        knob->SetValueDisplay(value);
        graphics->AddControl(name);
        graphics->AddControl(value);
        graphics->AddControl(knob);
    }
}

void QX4470::CreateEditor() {
    IGraphics* graphics = MakePlatformGraphics(this, provisional_panel::kPanelWidth,
                                               provisional_panel::kPanelHeight, kFrameRate);
    if (!graphics) return;
    AddProvisionalPanel(graphics);
    AttachEditor(graphics);
}

IGraphics* QX4470::GetGraphics() const {
    return dynamic_cast<IGraphics*>(GetEditor());
}
