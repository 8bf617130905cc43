// The Win32 editor in a real window, run under wine with Xvfb as its display: the built plug-in
// is loaded as a host loads it, its editor opened in a top-level test window, and input is sent
// to the editor window. The effects are checked through the binary interface (getParameter,
// audioMasterAutomate, the parameter display) and in the window's pixels.
//
// Input is real input, through SendInput: wine with Xvfb moves its pointer, and clicks, drags,
// wheel steps and keys arrive at the window under the pointer or with the focus as they do on
// Windows (measured: every event arrived, run after run). Since input is per wine server,
// the window tests of one build hold a resource lock in ctest, so that they never run at once.
#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "host/IPlugBase.h"
#include "instrument/ProvisionalPanelLayout.h"
#include "lice/LICE.h"
#include "tests/plugin/TestHost.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

// Parameters of the panel, one of each kind the input paths treat differently.
const int kOsc1Octave = 0;        // enumerated: 16', 8', 4' (a popup menu)
const int kAutoBendTime = 5;      // 0..31 (wheel)
const int kAutoBendIntensity = 6; // 0..31 (drag)
const int kOsc2Waveform = 8;      // integer 1..16 (text entry)

// A key pressed and released; it goes to the window with the focus.
void Key(WORD virtualKey) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = virtualKey;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// Key messages the host's top-level window received, as (message, virtual key).
std::vector<std::pair<UINT, WPARAM>> hostKeys;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP) hostKeys.emplace_back(message, wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class EditorWindowTest : public testing::Test {
protected:
    void SetUp() override {
        effect = host.Create();
        ASSERT_NE(effect, nullptr);
        host.Call(effect, effOpen);
        ASSERT_TRUE(effect->flags & effFlagsHasEditor);

        ERect* rect = nullptr;
        ASSERT_EQ(host.Call(effect, effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;

        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "QXWindowTest";
        RegisterClassA(&windowClass);
        RECT frame = {0, 0, width, height};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        parent = CreateWindowExA(0, "QXWindowTest", "window test", WS_OVERLAPPEDWINDOW, 0, 0,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(parent, nullptr);
        ShowWindow(parent, SW_SHOW);
        ASSERT_EQ(host.Call(effect, effEditOpen, 0, 0, parent), 1);
        editor = GetWindow(parent, GW_CHILD);
        ASSERT_NE(editor, nullptr);
        Pump(400);
    }

    void TearDown() override {
        if (effect) {
            host.Call(effect, effEditClose);
            host.Close(effect);
        }
        if (parent) DestroyWindow(parent);
        Pump(50);
    }

    // Runs the message loop and the host's idle calls, as a host does between events.
    void Pump(int milliseconds) {
        const DWORD start = GetTickCount();
        do {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            host.Call(effect, effEditIdle);
            Sleep(5);
        } while (GetTickCount() - start < DWORD(milliseconds));
    }

    float Value(int param) { return effect->getParameter(effect, param); }
    bool Automated(int param) const {
        for (const auto& entry : host.automation)
            if (entry.first == param) return true;
        return false;
    }

    // The editor's pixels in the rectangle, as the screen shows them.
    std::vector<uint32_t> Grab(const IRect& rect) {
        RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const int w = rect.width(), h = rect.height();
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC screen = GetDC(editor);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, section);
        BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const uint32_t* pixels = static_cast<const uint32_t*>(bits);
        std::vector<uint32_t> copy(pixels, pixels + size_t(w) * h);
        SelectObject(memory, old);
        DeleteObject(section);
        DeleteDC(memory);
        ReleaseDC(editor, screen);
        for (uint32_t& pixel : copy)
            pixel &= 0xffffff;
        return copy;
    }

    static POINT Centre(const IRect& rect) {
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    // A mouse event at a point of the editor window.
    void Mouse(DWORD flags, POINT at, int wheel = 0) {
        ClientToScreen(editor, &at);
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = (at.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) /
                      (GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = (at.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) /
                      (GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
        input.mi.mouseData = static_cast<DWORD>(wheel);
        ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
        Pump(30);
    }
    void Click(DWORD down, DWORD up, POINT at) {
        Mouse(0, at);
        Mouse(down, at);
        Mouse(up, at);
    }

    TestHost host;
    AEffect* effect = nullptr;
    HWND parent = nullptr, editor = nullptr;
    int width = 0, height = 0;
};

TEST_F(EditorWindowTest, IsAChildWindowOfTheEditorsSizeThatPaintsThePanel) {
    char className[64] = {};
    GetClassNameA(editor, className, sizeof(className));
    EXPECT_STREQ(className, "IPlugWndClass");
    RECT client;
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, width);
    EXPECT_EQ(client.bottom, height);
    // The panel, not an empty window: the knob's area holds several colours.
    const std::vector<uint32_t> knob = Grab(ProvisionalKnobRect(kAutoBendIntensity));
    EXPECT_GT(std::set<uint32_t>(knob.begin(), knob.end()).size(), 3u);

    // Closing removes the window (and with the last window the class); opening again works.
    host.Call(effect, effEditClose);
    Pump(50);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    ASSERT_EQ(host.Call(effect, effEditOpen, 0, 0, parent), 1);
    editor = GetWindow(parent, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    Pump(300);
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, width);
    const std::vector<uint32_t> again = Grab(ProvisionalKnobRect(kAutoBendIntensity));
    EXPECT_EQ(again, knob);
}

TEST_F(EditorWindowTest, DragAndWheelMoveTheirKnobs) {
    const IRect dragKnob = ProvisionalKnobRect(kAutoBendIntensity);
    const float before = Value(kAutoBendIntensity);
    const std::vector<uint32_t> pixelsBefore = Grab(dragKnob);
    const POINT from = Centre(dragKnob);
    Mouse(0, from);
    Mouse(MOUSEEVENTF_LEFTDOWN, from);
    for (int step = 1; step <= 8; ++step)
        Mouse(0, {from.x, from.y - 5 * step});
    Mouse(MOUSEEVENTF_LEFTUP, {from.x, from.y - 40});
    Pump(300);
    EXPECT_GT(Value(kAutoBendIntensity), before + 0.05f) << "an upward drag raises the knob";
    EXPECT_TRUE(Automated(kAutoBendIntensity));
    EXPECT_NE(Grab(dragKnob), pixelsBefore);

    const IRect wheelKnob = ProvisionalKnobRect(kAutoBendTime);
    const float wheelBefore = Value(kAutoBendTime);
    const std::vector<uint32_t> wheelPixelsBefore = Grab(wheelKnob);
    for (int notch = 0; notch < 3; ++notch)
        Mouse(MOUSEEVENTF_WHEEL, Centre(wheelKnob), WHEEL_DELTA);
    Pump(300);
    EXPECT_GT(Value(kAutoBendTime), wheelBefore);
    EXPECT_TRUE(Automated(kAutoBendTime));
    EXPECT_NE(Grab(wheelKnob), wheelPixelsBefore);
}

TEST_F(EditorWindowTest, TextEntryFiltersTypingAndCommitsOnReturn) {
    const IRect knob = ProvisionalKnobRect(kOsc2Waveform);
    const std::vector<uint32_t> pixelsBefore = Grab(ProvisionalValueRect(kOsc2Waveform));
    const POINT at = Centre(knob);
    Click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, at);
    Pump(200);
    HWND box = FindWindowExA(editor, nullptr, "EDIT", nullptr);
    ASSERT_NE(box, nullptr) << "a right click on a numeric knob opens a text box";
    EXPECT_EQ(GetFocus(), box);
    // The whole initial text is selected, so typing replaces it; the letter is refused.
    for (char typed : std::string("1X2"))
        Key(static_cast<WORD>(typed));
    Pump(200);
    char text[32] = {};
    GetWindowTextA(box, text, sizeof(text));
    EXPECT_STREQ(text, "12");
    Key(VK_RETURN);
    Pump(300);
    EXPECT_EQ(FindWindowExA(editor, nullptr, "EDIT", nullptr), nullptr);
    EXPECT_NEAR(Value(kOsc2Waveform), (12.0 - 1.0) / 15.0, 1e-6);
    EXPECT_EQ(host.ParamDisplay(effect, kOsc2Waveform), "12");
    EXPECT_TRUE(Automated(kOsc2Waveform));
    EXPECT_NE(Grab(ProvisionalValueRect(kOsc2Waveform)), pixelsBefore);

    // Escape throws the typing away.
    Click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, at);
    Pump(200);
    box = FindWindowExA(editor, nullptr, "EDIT", nullptr);
    ASSERT_NE(box, nullptr);
    Key('3');
    Key(VK_ESCAPE);
    Pump(300);
    EXPECT_EQ(FindWindowExA(editor, nullptr, "EDIT", nullptr), nullptr);
    EXPECT_EQ(host.ParamDisplay(effect, kOsc2Waveform), "12");
}

TEST_F(EditorWindowTest, KeysTheEditorDoesNotUseReachTheHostWindow) {
    // A click on the panel gives the editor the focus; the knobs take no keys.
    Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, {5, 5});
    ASSERT_EQ(GetFocus(), editor);
    hostKeys.clear();
    Key(VK_F5); // no key code at all
    Key('Q');   // a code nobody takes
    Pump(200);
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_KEYDOWN, VK_F5}, {WM_KEYUP, VK_F5}, {WM_KEYDOWN, 'Q'}, {WM_KEYUP, 'Q'}};
    EXPECT_EQ(hostKeys, expected);
}

// TrackPopupMenu runs its own modal loop inside the right-click handler: a thread timer,
// which that loop dispatches, types the keys that walk the menu.
int menuKeysToSend = 0;
void CALLBACK SendMenuKeys(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    for (int i = 0; i < menuKeysToSend; ++i)
        Key(VK_DOWN);
    Key(VK_RETURN);
}

TEST_F(EditorWindowTest, PopupMenuChoosesAnEnumeratedValue) {
    const IRect knob = ProvisionalKnobRect(kOsc1Octave);
    const int current = static_cast<int>(std::lround(Value(kOsc1Octave) * 2.0f));
    const int wanted = current == 2 ? 0 : 2;
    const std::vector<uint32_t> pixelsBefore = Grab(knob);
    menuKeysToSend = wanted + 1; // the first Down highlights the first item
    SetTimer(nullptr, 0, 300, SendMenuKeys);
    Click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, Centre(knob));
    Pump(800);
    EXPECT_NEAR(Value(kOsc1Octave), wanted / 2.0f, 1e-6);
    EXPECT_EQ(host.ParamDisplay(effect, kOsc1Octave), wanted == 2 ? "4'" : "16'");
    EXPECT_TRUE(Automated(kOsc1Octave));
    EXPECT_NE(Grab(knob), pixelsBefore);
}

// The instrument's panel has no tooltips yet: a panel of the test's own, in its own copy of the
// framework, shows one after the pointer rests on a control.
TEST(EditorTooltip, AppearsWhenThePointerRestsOnItsControl) {
    const PlugIdentity identity = {
        "Tip", "Tip", "Marten Hollow Lab", 1, 1, 0x10000, 0, 0, "0-2", 0, true, false, false};
    IPlugBase plug(identity);
    IGraphics* graphics = MakePlatformGraphics(&plug, 200, 100);
    IPanelControl* panel = new IPanelControl(&plug, IRect(0, 0, 200, 100), LICE_RGBA(9, 9, 9, 255));
    graphics->AddControl(panel);
    IPanelControl* tipped =
        new IPanelControl(&plug, IRect(50, 20, 150, 80), LICE_RGBA(0, 90, 0, 255));
    tipped->SetTooltip("Cutoff of the low-pass filter");
    graphics->AddControl(tipped);
    graphics->EnableTooltips(true);
    plug.AttachEditor(graphics);

    HWND parent = CreateWindowExA(0, "STATIC", "tooltip test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                  0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_TRUE(graphics->OpenWindow(parent));
    HWND editor = static_cast<HWND>(graphics->GetEditorWindow());
    POINT at = {100, 50};
    ClientToScreen(editor, &at);
    auto pump = [](int milliseconds) {
        for (const DWORD start = GetTickCount(); GetTickCount() - start < DWORD(milliseconds);) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            Sleep(5);
        }
    };
    pump(200);
    SetCursorPos(at.x - 3, at.y);
    pump(50);
    SetCursorPos(at.x, at.y);
    pump(1500);
    HWND tip = FindWindowA(TOOLTIPS_CLASSA, nullptr);
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(IsWindowVisible(tip));
    char text[64] = {};
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = editor;
    tool.uId = 1;
    tool.lpszText = text;
    SendMessageA(tip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, "Cutoff of the low-pass filter");
    graphics->CloseWindow();
    DestroyWindow(parent);
}

// `qx4470 edit --screenshot` on our own plug-in: the PNG has the editor's size and shows a
// panel, not one flat colour.
TEST(EditTool, ScreenshotsThePluginsEditor) {
    std::string folder = TestHost::pluginPath;
    const size_t slash = folder.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
    const std::string png = folder + "/window_win_screenshot.png";
    DeleteFileA(png.c_str());
    std::string command = "\"" + folder + "/qx4470.exe\" edit \"" + TestHost::pluginPath +
                          "\" --screenshot \"" + png + "\" --after 800";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << command;
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);

    LICE_MemBitmap image;
    ASSERT_TRUE(LICE_LoadPNG(png, &image));
    EXPECT_EQ(image.getWidth(), provisional_panel::kPanelWidth);
    EXPECT_EQ(image.getHeight(), provisional_panel::kPanelHeight);
    std::set<LICE_pixel> colours;
    for (int y = 0; y < image.getHeight(); y += 7)
        for (int x = 0; x < image.getWidth(); x += 7)
            colours.insert(image.getPixel(x, y));
    EXPECT_GT(colours.size(), 10u);
}

} // namespace
