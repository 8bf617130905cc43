#include "editor/IGraphics.h"

#include "editor/IControls.h"
#include "host/IPlugBase.h"

#include <cmath>
#include <limits>
#include <mutex>

namespace {

constexpr double kNothingPending = std::numeric_limits<double>::quiet_NaN();
// Ticks in a row with nothing to draw before the instance gets its OnIdle.
constexpr int kIdleTicks = 20;
// Longest text a text entry hands over.
constexpr size_t kEntryTextLimit = 31;

// A two-valued integer parameter that names its values: chosen from a menu like an enum.
bool IsSwitchParameter(const IParameter* param) {
    return param->Type() == ParamTypeInt && param->Min() == 0.0 && param->Max() == 1.0 &&
           param->DisplayTextCount() > 0;
}

bool ChoosesFromMenu(const IParameter* param) {
    return param->Type() == ParamTypeEnum || IsSwitchParameter(param);
}

} // namespace

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int frameRate)
    : plug_(plug), width_(width), height_(height), frameRate_(frameRate > 0 ? frameRate : 25) {
    pendingCount_ = plug ? plug->NParams() : 0;
    pendingValues_.reset(new std::atomic<double>[static_cast<size_t>(pendingCount_)]);
    for (int i = 0; i < pendingCount_; ++i)
        pendingValues_[i].store(kNothingPending, std::memory_order_relaxed);
}

IGraphics::~IGraphics() = default;

// --- IEditor.

void IGraphics::SetParameterFromPlug(int index, double value, bool normalized) {
    // May run on the audio thread: arithmetic and two atomic stores, nothing else.
    if (index < 0 || index >= pendingCount_) return;
    if (!normalized) {
        const IParameter* param = plug_->GetParameter(index);
        if (!param) return;
        value = param->ToNormalized(value);
    }
    if (std::isnan(value)) return;
    pendingValues_[index].store(value, std::memory_order_relaxed);
    anyPending_.store(true, std::memory_order_release);
}

bool IGraphics::OpenWindow(void* parent) {
    MakeBitmaps();
    OnAttached(); // the window shows what the instance holds now
    idleCount_ = 0;
    return OpenEditorWindow(parent);
}

void IGraphics::CloseWindow() {
    CloseEditorWindow();
    textEntry_ = TextEntry();
    mouseCapture_ = mouseOver_ = -1;
}

void IGraphics::OnAttached() {
    if (!plug_) return;
    InstanceLock instance(plug_->Mutex());
    for (auto& control : controls_) {
        if (const IParameter* param = plug_->GetParameter(control->ParamIndex()))
            control->TakeInstanceValue(param->GetAsNormalized());
        const auto& aux = control->AuxParameters();
        for (int k = 0; k < static_cast<int>(aux.size()); ++k)
            if (const IParameter* param = plug_->GetParameter(aux[k].paramIndex))
                control->TakeInstanceAuxValue(k, param->GetAsNormalized());
    }
    // Linked name and value displays fill in even where the value did not change.
    MarkAllControlsChanged();
}

// --- Controls.

int IGraphics::AddControl(IControl* control) {
    std::lock_guard<os::RecursiveLock> lock(controlLock_);
    controls_.emplace_back(control);
    return NControls() - 1;
}

void IGraphics::SetBackground(int resourceId, const char* fileName) {
    std::lock_guard<os::RecursiveLock> lock(controlLock_);
    controls_.emplace(controls_.begin(), new IBitmapControl(plug_, IRect(0, 0, width_, height_), -1,
                                                            resourceId, fileName, 1));
}

IControl* IGraphics::GetControl(int index) const {
    return index >= 0 && index < NControls() ? controls_[index].get() : nullptr;
}

// --- Binding to parameters.

void IGraphics::ShowParameterValue(int index, double value, bool normalized) {
    if (!normalized) {
        const IParameter* param = plug_->GetParameter(index);
        if (!param) return;
        value = param->ToNormalized(value);
    }
    for (auto& control : controls_) {
        if (control->ParamIndex() == index) control->TakeInstanceValue(value);
        const auto& aux = control->AuxParameters();
        for (int k = 0; k < static_cast<int>(aux.size()); ++k) {
            if (aux[k].paramIndex != index) continue;
            control->TakeInstanceAuxValue(k, value);
            break;
        }
    }
}

void IGraphics::MarkAllControlsChanged() {
    for (auto& control : controls_)
        control->MarkChanged(false);
}

void IGraphics::ApplyPendingValues() {
    if (!anyPending_.exchange(false, std::memory_order_acquire)) return;
    InstanceLock instance(plug_->Mutex());
    for (int i = 0; i < pendingCount_; ++i) {
        const double value = pendingValues_[i].exchange(kNothingPending, std::memory_order_acq_rel);
        if (!std::isnan(value)) ShowParameterValue(i, value, true);
    }
}

// --- Drawing cycle.

void IGraphics::OnTimerTick() {
    if (textEntry_.open) HandleTextEntryRequest();
    ApplyPendingValues();
    IRect dirty;
    if (!NeedsRedraw(&dirty)) {
        if (++idleCount_ > kIdleTicks) {
            idleCount_ = 0;
            InstanceLock instance(plug_->Mutex());
            plug_->OnIdle();
        }
        return;
    }
    idleCount_ = 0;
    if (textEntry_.open) {
        // The box sits over the panel: repainting under it every tick would make it flicker.
        if (textEntry_.skipNextTick) {
            textEntry_.skipNextTick = false;
            return;
        }
        textEntry_.skipNextTick = true;
    }
    InvalidateRect(dirty);
}

bool IGraphics::NeedsRedraw(IRect* rect) {
    std::lock_guard<os::RecursiveLock> lock(controlLock_);
    IRect dirty;
    bool any = false;
    for (auto& control : controls_) {
        if (!control->NeedsRedraw()) continue;
        dirty = any ? LICE_Union(dirty, control->Rect()) : control->Rect();
        any = true;
    }
    if (rect) *rect = dirty;
    return any;
}

void IGraphics::MakeBitmaps() {
    if (drawBitmap_.getWidth() != width_ || drawBitmap_.getHeight() != height_)
        drawBitmap_.resize(width_, height_);
    if (scratchBitmap_.getWidth() != width_ || scratchBitmap_.getHeight() != height_)
        scratchBitmap_.resize(width_, height_);
}

void IGraphics::Draw(const IRect& rect) {
    std::lock_guard<os::RecursiveLock> lock(controlLock_);
    MakeBitmaps();
    drawnRegion_ = rect;
    const IRect bounds = drawBitmap_.bounds();
    const int count = NControls();
    auto visible = [this](int i) { return i == 0 || !controls_[i]->IsHidden(); };

    if (strictDrawing_) {
        const IRect region = LICE_Intersect(rect, bounds);
        for (int i = 0; i < count; ++i) {
            if (!visible(i) || LICE_Intersect(controls_[i]->Rect(), region).empty()) continue;
            drawRegion_ = region;
            controls_[i]->Draw(this);
        }
        for (auto& control : controls_)
            control->MarkDrawn();
    } else if (count > 0 && controls_[0]->NeedsRedraw()) {
        drawRegion_ = bounds;
        for (int i = 0; i < count; ++i)
            if (visible(i)) controls_[i]->Draw(this);
        for (auto& control : controls_)
            control->MarkDrawn();
    } else {
        for (int i = 0; i < count; ++i) {
            if (!controls_[i]->NeedsRedraw()) continue;
            const IRect region = LICE_Intersect(controls_[i]->Rect(), bounds);
            for (int j = 0; j < count && !region.empty(); ++j) {
                if (!visible(j) || LICE_Intersect(controls_[j]->Rect(), region).empty()) continue;
                drawRegion_ = region;
                controls_[j]->Draw(this);
            }
            controls_[i]->MarkDrawn();
        }
    }
    drawRegion_ = IRect();
}

void IGraphics::Resize(int width, int height) {
    {
        std::lock_guard<os::RecursiveLock> lock(controlLock_);
        if (textEntry_.open) DestroyTextEntry();
        textEntry_ = TextEntry();
        width_ = width;
        height_ = height;
        mouseCapture_ = mouseOver_ = -1;
        keyCatcher_ = nullptr;
        controls_.clear();
        drawBitmap_.resize(0, 0);
        scratchBitmap_.resize(0, 0);
        MakeBitmaps();
    }
    plug_->ResizeEditor();
}

// --- Drawing primitives.

void IGraphics::DrawBitmapFrame(const LICE_IBitmap* strip, int frameCount, bool horizontal,
                                int frame, const IRect& rect, const IBlend& blend) {
    if (!strip) return;
    LICE_BlitFrame(&drawBitmap_, strip, frame - 1, frameCount, horizontal, rect, blend.weight,
                   blend.mode, &drawRegion_);
}

void IGraphics::FillRect(LICE_pixel color, const IRect& rect, const IBlend& blend) {
    LICE_FillRect(&drawBitmap_, rect, color, blend.weight, blend.mode, &drawRegion_);
}

void IGraphics::DrawRect(LICE_pixel color, const IRect& rect, const IBlend& blend) {
    LICE_DrawRect(&drawBitmap_, rect, color, blend.weight, blend.mode, &drawRegion_);
}

void IGraphics::DrawPolyline(const LICE_Point* points, size_t count, LICE_pixel color, float width,
                             const IBlend& blend) {
    LICE_DrawPolyline(&drawBitmap_, points, count, color, width, blend.weight, blend.mode,
                      &drawRegion_);
}

void IGraphics::DrawText(const IText& text, const char* string, IRect* rect, bool measure) {
    if (!string || !rect) return;
    if (measure) {
        const LICE_TextExtent extent = LICE_MeasureText(string, text.ToLice());
        rect->right = rect->left + extent.width;
        rect->bottom = rect->top + extent.height;
        return;
    }
    LICE_DrawText(&drawBitmap_, string, *rect, text.ToLice(), &drawRegion_);
}

const LICE_IBitmap* IGraphics::LoadBitmap(int resourceId, const char*) {
    // The library keeps every decoded resource for the process: instances share one copy.
    return LICE_LoadPNGResource(resourceId);
}

// --- Mouse and keys.

int IGraphics::FindControl(int x, int y) const {
    for (int i = NControls() - 1; i >= 0; --i) {
        const IControl* control = controls_[i].get();
        if (control->IsHidden() || control->IsGreyed()) continue;
        if (control->ContainsPoint(x, y)) return i;
    }
    return -1;
}

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod) {
    HideTooltip();
    if (textEntry_.open) {
        // The click ends the typing. A back end that holds newer text has reported it already.
        if (textEntry_.request == TextEntry::kNone) RequestTextEntryCommit(textEntry_.text);
        return;
    }
    const int index = FindControl(x, y);
    mouseCapture_ = index;
    lastMouseX_ = x;
    lastMouseY_ = y;
    if (index < 0) return;
    IControl* control = controls_[index].get();
    if (control->IsBound()) plug_->BeginParameterEdit(control->ParamIndex());
    control->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, const IMouseMod& mod) {
    const int captured = mouseCapture_;
    mouseCapture_ = -1;
    const int index = captured >= 0 ? captured : FindControl(x, y);
    IControl* control = GetControl(index);
    if (!control) return;
    control->OnMouseUp(x, y, mod);
    // Only a gesture that began with a capture ends one: hosts want the pairs matched.
    if (captured >= 0 && control->IsBound()) plug_->EndParameterEdit(control->ParamIndex());
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod) {
    IControl* control = GetControl(mouseCapture_);
    if (!control || (x == lastMouseX_ && y == lastMouseY_)) return;
    const int dX = x - lastMouseX_, dY = y - lastMouseY_;
    lastMouseX_ = x;
    lastMouseY_ = y;
    control->OnMouseDrag(x, y, dX, dY, mod);
}

void IGraphics::OnMouseOver(int x, int y, const IMouseMod& mod) {
    lastMouseX_ = x;
    lastMouseY_ = y;
    int index = mouseCapture_;
    if (index < 0) {
        index = FindControl(x, y);
        // Greyed controls that ask for it still hear the mouse pass over them.
        for (int i = NControls() - 1; i > index; --i) {
            const IControl* control = controls_[i].get();
            if (!control->IsHidden() && control->IsGreyed() && control->MouseOverWhenGreyed() &&
                control->ContainsPoint(x, y)) {
                index = i;
                break;
            }
        }
    }
    if (index != mouseOver_) {
        HideTooltip();
        if (handleMouseOver_)
            if (IControl* previous = GetControl(mouseOver_)) previous->OnMouseOut();
        mouseOver_ = index;
    }
    if (handleMouseOver_)
        if (IControl* control = GetControl(index)) control->OnMouseOver(x, y, mod);
}

void IGraphics::OnMouseOut() {
    HideTooltip();
    for (auto& control : controls_)
        control->OnMouseOut();
    mouseOver_ = -1;
}

void IGraphics::OnDoubleClick(int x, int y, const IMouseMod& mod) {
    if (textEntry_.open) return;
    const int index = FindControl(x, y);
    IControl* control = GetControl(index);
    if (!control) return;
    if (control->DoubleClickAsClick()) {
        OnMouseDown(x, y, mod);
        return;
    }
    control->OnDoubleClick(x, y, mod);
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int notches) {
    if (textEntry_.open || notches == 0) return;
    const int index = mouseCapture_ >= 0 ? mouseCapture_ : FindControl(x, y);
    if (IControl* control = GetControl(index)) control->OnMouseWheel(x, y, mod, notches);
}

void IGraphics::OnMouseHover(int x, int y) {
    if (!tooltips_) return;
    const IControl* control = GetControl(FindControl(x, y));
    if (control && !control->Tooltip().empty()) ShowTooltip(control->Rect(), control->Tooltip());
}

bool IGraphics::OnKeyDown(int x, int y, int keyCode) {
    if (keyCode < 0) return false;
    const int index = FindControl(x, y);
    if (index > 0 && controls_[index]->OnKeyDown(x, y, keyCode)) return true;
    return keyCatcher_ && keyCatcher_->OnKeyDown(x, y, keyCode);
}

int IGraphics::KeyCodeFromVirtualKey(int virtualKey) {
    switch (virtualKey) {
    case 0x20:
        return kKeySpace; // VK_SPACE
    case 0x26:
        return kKeyUp; // VK_UP
    case 0x28:
        return kKeyDown; // VK_DOWN
    case 0x25:
        return kKeyLeft; // VK_LEFT
    case 0x27:
        return kKeyRight; // VK_RIGHT
    default:
        break;
    }
    if (virtualKey >= '0' && virtualKey <= '9') return kKeyDigit0 + virtualKey - '0';
    if (virtualKey >= 'A' && virtualKey <= 'Z') return kKeyA + virtualKey - 'A';
    if (virtualKey >= 'a' && virtualKey <= 'z') return kKeyA + virtualKey - 'a';
    return -1;
}

// --- Value entry.

void IGraphics::OpenValueEntry(IControl* control, int paramIndex, const IRect& rect) {
    if (!control || paramIndex < 0 || control->PromptDisabled() || textEntry_.open) return;
    const IParameter* param = plug_->GetParameter(paramIndex);
    if (!param) return;

    PopupMenuModel menu;
    std::string initialText;
    bool useMenu, hasTexts;
    int count = 0;
    double min = 0.0;
    {
        InstanceLock instance(plug_->Mutex());
        useMenu = ChoosesFromMenu(param);
        hasTexts = param->DisplayTextCount() > 0;
        min = param->Min();
        if (useMenu) {
            count = static_cast<int>(std::lround(param->Max() - min)) + 1;
            const int current = static_cast<int>(std::lround(param->Value() - min));
            for (int k = 0; k < count; ++k) {
                const char* text = param->DisplayText(static_cast<int>(min) + k);
                menu.AddItem(text ? text : "", k == current ? PopupMenuModel::kChecked : 0);
            }
        } else {
            char text[kParamTextCapacity];
            param->FormatValue(param->Value(), false, text, false);
            initialText = text;
        }
    }

    if (useMenu) {
        // The menu runs its own loop; no lock of the instance is held meanwhile.
        PopupMenuModel* chosen = ShowPopupMenu(&menu, rect);
        if (chosen == &menu && menu.ChosenIndex() >= 0 && menu.ChosenIndex() < count) {
            double normalized;
            {
                InstanceLock instance(plug_->Mutex());
                normalized = param->ToNormalized(min + menu.ChosenIndex());
            }
            control->TakeUserValue(normalized);
        }
        InvalidateRect(IRect(0, 0, width_, height_));
        return;
    }
    IRect box = rect;
    if (!hasTexts) {
        const int cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2;
        box = IRect(cx - 20, cy - 8, cx + 20, cy + 8);
    }
    OpenTextEntry(control, paramIndex, box, initialText);
}

void IGraphics::OpenTextEntry(IControl* control, int paramIndex, const IRect& rect,
                              const std::string& initialText) {
    if (!control || textEntry_.open) return;
    textEntry_ = TextEntry();
    textEntry_.open = true;
    textEntry_.text = initialText;
    textEntry_.control = control;
    textEntry_.paramIndex = paramIndex;
    ShowTextEntry(control, control->Text(), rect, initialText, plug_->GetParameter(paramIndex));
}

bool IGraphics::TextEntryAccepts(const IParameter* param, int character) {
    if (character == 8) return true; // backspace
    // A free text (no parameter) takes any printable character.
    if (!param) return character >= 32 && character != 127;
    if ((character >= '0' && character <= '9') || character == '+' || character == '-') return true;
    return character == '.' && param->Type() == ParamTypeDouble;
}

void IGraphics::RequestTextEntryCommit(const std::string& text) {
    if (!textEntry_.open) return;
    textEntry_.request = TextEntry::kCommit;
    textEntry_.text = text;
}

void IGraphics::RequestTextEntryCancel() {
    if (!textEntry_.open) return;
    textEntry_.request = TextEntry::kCancel;
}

void IGraphics::HandleTextEntryRequest() {
    if (textEntry_.request == TextEntry::kNone) return;
    const TextEntry entry = textEntry_;
    textEntry_ = TextEntry();
    if (entry.request == TextEntry::kCommit && entry.control) {
        const std::string text = entry.text.substr(0, kEntryTextLimit);
        if (entry.paramIndex < 0) {
            entry.control->OnTextEntered(text.c_str());
        } else if (const IParameter* param = plug_->GetParameter(entry.paramIndex)) {
            double value = 0.0, normalized = 0.0;
            bool valid = true;
            {
                InstanceLock instance(plug_->Mutex());
                if (ChoosesFromMenu(param)) {
                    if (!param->ValueOfDisplayText(text.c_str(), &value)) value = 0.0;
                } else {
                    // A text that names no finite number changes nothing.
                    valid = ParseLeadingNumber(text.c_str(), &value);
                    if (param->NegateDisplay()) value = -value;
                }
                if (valid) normalized = param->ToNormalized(value);
            }
            if (valid) entry.control->TakeUserValue(normalized);
        }
    }
    DestroyTextEntry();
}
