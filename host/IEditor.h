// What the framework asks of an attached editor. The editor (panel, controls, window) lives in
// editor/; the framework only tells it about values and opens and closes its window.
#pragma once

class IEditor {
public:
    virtual ~IEditor() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Moves the controls bound to a parameter without notifying back.
    virtual void SetParameterFromPlug(int index, double value, bool normalized) = 0;
    // Opens the window inside the host's parent window; false when no window results.
    virtual bool OpenWindow(void* parent) = 0;
    virtual void CloseWindow() = 0;
    // The instance has taken the editor (under the instance lock): controls take its values.
    virtual void OnAttached() {}
    // The host's idle call for the editor (effEditIdle), on its user-interface thread and
    // outside the instance lock. Window systems without a timer of their own run the editor
    // from here.
    virtual void OnHostIdle() {}
};
