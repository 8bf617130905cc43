#include "editor/IControl.h"

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "host/IPlugBase.h"

#include <algorithm>
#include <cstring>

LICE_TextStyle IText::ToLice() const {
    LICE_TextStyle style;
    style.font = font;
    style.size = size;
    style.color = color;
    style.style = this->style & (LICE_TEXT_BOLD | LICE_TEXT_ITALIC);
    style.align = align;
    return style;
}

IControl::IControl(IPlugBase* plug, const IRect& rect, int paramIndex, IBlend blend)
    : plug_(plug), rect_(rect), targetRect_(rect), paramIndex_(paramIndex), blend_(blend) {}

IGraphics* IControl::Graphics() const {
    return plug_ ? dynamic_cast<IGraphics*>(plug_->GetEditor()) : nullptr;
}

void IControl::OnMouseDown(int, int, const IMouseMod& mod) {
    if (!mod.right) return;
    if (IGraphics* graphics = Graphics()) graphics->OpenValueEntry(this, paramIndex_, rect_);
}

void IControl::OnDoubleClick(int, int, const IMouseMod&) {
    if (defaultValue_ < 0.0) return;
    value_ = defaultValue_;
    MarkChanged(true);
}

void IControl::TakeInstanceValue(double value) {
    if (defaultValue_ < 0.0) defaultValue_ = value;
    if (value == value_) return;
    value_ = value;
    MarkChanged(false);
    redrawPending_ = true;
}

void IControl::TakeUserValue(double value) {
    if (value == value_) return;
    value_ = value;
    MarkChanged(true);
    redrawPending_ = true;
}

void IControl::Hide(bool hidden) {
    hidden_ = hidden;
    redrawPending_ = true;
    MarkChanged(false);
}

void IControl::SetGreyed(bool greyed) {
    greyed_ = greyed;
    blend_.weight = greyed ? 0.25f : 1.0f;
    MarkChanged(false);
}

bool IControl::ContainsPoint(int x, int y) const {
    const IRect& r = targetRect_;
    // A control without a target rectangle is only drawn, never hit.
    if (r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0) return false;
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void IControl::MarkChanged(bool pushToPlug) {
    value_ = std::min(std::max(value_, clampLow_), clampHigh_);
    dirty_ = true;
    if (pushToPlug && paramIndex_ >= 0 && plug_) plug_->SetParameterFromEditor(paramIndex_, value_);
    UpdateDisplays();
}

void IControl::MarkDrawn() {
    dirty_ = redrawPending_;
    redrawPending_ = false;
}

void IControl::TakeInstanceAuxValue(int auxIndex, double value) {
    if (auxIndex < 0 || auxIndex >= static_cast<int>(aux_.size())) return;
    if (aux_[auxIndex].value == value) return;
    aux_[auxIndex].value = value;
    MarkChanged(false);
    redrawPending_ = true;
}

void IControl::SetClamp(double low, double high) {
    clampLow_ = low;
    clampHigh_ = high;
}

void IControl::AddAuxParameter(int paramIndex) {
    aux_.push_back(AuxParameter{0.0, paramIndex});
}

void IControl::UpdateDisplays() {
    if (!plug_ || paramIndex_ < 0 || (!valueDisplay_ && !nameDisplay_)) return;
    // The instance's value may change on other threads; its lock keeps the reading whole.
    InstanceLock lock(plug_->Mutex());
    const IParameter* param = plug_->GetParameter(paramIndex_);
    if (!param) return;
    if (valueDisplay_) {
        char value[kParamTextCapacity];
        param->FormatValue(param->Value(), false, value, true);
        value[31] = '\0';
        char label[32];
        CopyText(label, param->GetLabel(), sizeof label);
        // At most 31 + 1 + 31 characters: the display's array holds them all.
        char text[kControlTextCapacity];
        CopyText(text, value, kControlTextCapacity);
        if (label[0]) {
            const size_t length = std::strlen(text);
            text[length] = ' ';
            CopyText(text + length + 1, label, kControlTextCapacity - int(length) - 1);
        }
        valueDisplay_->SetTextFromPlug(text);
    }
    if (nameDisplay_) nameDisplay_->SetTextFromPlug(param->Name());
}
