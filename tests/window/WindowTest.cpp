// The X11 editor in real windows: the built plug-in is loaded as a host loads it, its editor
// opens inside a test window on a private X server (tests/support/with_xvfb.sh), and a "user"
// thread sends clicks, drags, wheel steps and keys through XTest. The checks go through the
// binary interface: getParameter, the display texts and the host's automation callback.
#include "tests/plugin/TestHost.h" // gtest before Xlib, whose macros (None, Bool) it would trip on
#include "tests/support/VstEventBuilder.h"

#include "editor/IGraphicsX11.h"
#include "editor/X11Popup.h" // the menu geometry, to click an item
#include "instrument/ProvisionalPanelLayout.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

namespace {

const int kOsc1Octave = 0;        // enumerated: 16', 8', 4'
const int kAutoBendSelect = 3;    // enumerated: OFF, OSC1, OSC2, BOTH
const int kAutoBendTime = 5;      // 0..31, starts at 0
const int kAutoBendIntensity = 6; // 0..31
const int kNoiseLevel = 12;       // 0..31, starts at 0

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int Centre(int low, int high) {
    return (low + high) / 2;
}

// The pixels of a window's rectangle as the server shows them (children included).
std::vector<unsigned long> Grab(Display* display, Window window, const IRect& rect) {
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, window, rect.left, rect.top, unsigned(rect.width()),
                              unsigned(rect.height()), AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = 0; y < rect.height(); ++y)
        for (int x = 0; x < rect.width(); ++x)
            pixels.push_back(XGetPixel(image, x, y) & 0xffffff);
    XDestroyImage(image);
    return pixels;
}

// The user: its own connection to the server, as a second program would have.
class User {
public:
    User(Window window) : display_(XOpenDisplay(nullptr)), window_(window) {}
    ~User() {
        if (display_) XCloseDisplay(display_);
    }
    Display* display() const { return display_; }
    void MoveTo(int x, int y) {
        Window child;
        int sx = 0, sy = 0;
        XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), x, y, &sx, &sy,
                              &child);
        MoveToScreen(sx, sy);
    }
    void MoveToScreen(int sx, int sy) {
        XTestFakeMotionEvent(display_, -1, sx, sy, 0);
        Flush();
    }
    void Button(unsigned int button, bool down) {
        XTestFakeButtonEvent(display_, button, down, 0);
        Flush();
    }
    void Click(unsigned int button) {
        Button(button, true);
        Button(button, false);
    }
    void Key(KeySym keysym) {
        const KeyCode code = XKeysymToKeycode(display_, keysym);
        XTestFakeKeyEvent(display_, code, True, 0);
        XTestFakeKeyEvent(display_, code, False, 0);
        Flush();
    }
    // Waits until no popup is left on the screen; false when one stays.
    bool PopupsGone(int timeoutMs) {
        XWindowAttributes unused;
        for (int waited = 0;; waited += 20) {
            if (!FindPopup(&unused, 0)) return true;
            if (waited >= timeoutMs) return false;
            Pause(20);
        }
    }
    // The viewable override-redirect windows on the screen (open popups), oldest first.
    std::vector<XWindowAttributes> Popups() {
        std::vector<XWindowAttributes> popups;
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count);
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display_, children[i], &attributes) &&
                attributes.override_redirect && attributes.map_state == IsViewable)
                popups.push_back(attributes);
        }
        if (children) XFree(children);
        return popups;
    }
    // Waits at most timeoutMs for a popup. A popup grabs the pointer and keyboard just after
    // it shows: the caller gives it a moment before it clicks or types.
    bool FindPopup(XWindowAttributes* found, int timeoutMs) {
        for (int waited = 0;; waited += 20) {
            const std::vector<XWindowAttributes> popups = Popups();
            if (!popups.empty()) {
                *found = popups.back();
                return true;
            }
            if (waited >= timeoutMs) return false;
            Pause(20);
        }
    }

private:
    void Flush() {
        XSync(display_, False);
        Pause(40); // one event per idle call or two, as a person's pace
    }
    Display* display_;
    Window window_;
};

class EditorWindowTest : public testing::Test {
protected:
    void SetUp() override {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "no X display: run through tests/support/with_xvfb.sh";
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor));
        effect = host.Create();
        ASSERT_NE(effect, nullptr);
        host.Call(effect, effOpen);
        host.Call(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        host.Call(effect, effSetBlockSize, 0, 512);
        ERect* rect = nullptr;
        ASSERT_EQ(host.Call(effect, effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
        const int screen = DefaultScreen(display);
        window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, unsigned(width),
                                     unsigned(height), 0, BlackPixel(display, screen),
                                     BlackPixel(display, screen));
        XMapWindow(display, window);
        XSync(display, False);
        ASSERT_EQ(host.Call(effect, effEditOpen, 0, 0,
                            reinterpret_cast<void*>(static_cast<uintptr_t>(window))),
                  1);
        Idle(300);
    }
    void TearDown() override {
        if (effect) {
            host.Call(effect, effEditClose);
            host.Close(effect);
        }
        if (display) {
            XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }

    // Idles the editor as a host does (a little faster than 30 a second, for the tests' pace).
    void Idle(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            host.Call(effect, effEditIdle);
            Pause(10);
        }
    }
    // Runs the user's actions on a thread of their own while this thread idles the editor (a
    // popup menu's loop holds the idle call until the user is done with it).
    void Act(const std::function<void(User&)>& actions) {
        std::atomic<bool> done{false};
        std::thread user([&] {
            User person(window);
            if (person.display())
                actions(person);
            else
                ADD_FAILURE() << "the user thread has no display";
            done = true;
        });
        while (!done)
            Idle(10);
        user.join();
        Idle(250); // the tick that carries out what the last event asked for
    }
    float Value(int index) { return effect->getParameter(effect, index); }
    bool Automated(int index, float* last = nullptr) {
        bool seen = false;
        for (const auto& entry : host.automation)
            if (entry.first == index) {
                seen = true;
                if (last) *last = entry.second;
            }
        return seen;
    }

    TestHost host;
    AEffect* effect = nullptr;
    Display* display = nullptr;
    Window window = 0;
    int width = 0, height = 0;
};

TEST_F(EditorWindowTest, DragAndWheelMoveKnobsAndTheScreenShowsIt) {
    EXPECT_EQ(width, provisional_panel::kPanelWidth);
    EXPECT_EQ(height, provisional_panel::kPanelHeight);
    const IRect knob = ProvisionalKnobRect(kAutoBendTime);
    const IRect value = ProvisionalValueRect(kAutoBendTime);
    const auto knobBefore = Grab(display, window, knob);
    const auto valueBefore = Grab(display, window, value);
    ASSERT_FALSE(knobBefore.empty());
    const float before = Value(kAutoBendTime);
    const int x = Centre(knob.left, knob.right), y = Centre(knob.top, knob.bottom);

    // A plain click changes nothing; dragging 60 pixels up raises the knob.
    Act([&](User& user) {
        user.MoveTo(x, y);
        user.Click(Button1);
    });
    EXPECT_EQ(Value(kAutoBendTime), before);
    Act([&](User& user) {
        Pause(450); // else the press ends a double click, which restores the default
        user.MoveTo(x, y);
        user.Button(Button1, true);
        for (int step = 1; step <= 6; ++step)
            user.MoveTo(x, y - 10 * step);
        user.Button(Button1, false);
    });
    const float dragged = Value(kAutoBendTime);
    EXPECT_GT(dragged, before + 0.3f);
    float automated = -1.0f;
    EXPECT_TRUE(Automated(kAutoBendTime, &automated));
    EXPECT_FLOAT_EQ(automated, dragged);
    EXPECT_EQ(host.Count(audioMasterBeginEdit), host.Count(audioMasterEndEdit));
    EXPECT_GE(host.Count(audioMasterBeginEdit), 2);
    // The knob's frame and its value text changed on the screen.
    EXPECT_NE(Grab(display, window, knob), knobBefore);
    EXPECT_NE(Grab(display, window, value), valueBefore);

    // Wheel: five notches up raise another knob, five down bring it back.
    const IRect noise = ProvisionalKnobRect(kNoiseLevel);
    const float noiseBefore = Value(kNoiseLevel);
    Act([&](User& user) {
        user.MoveTo(Centre(noise.left, noise.right), Centre(noise.top, noise.bottom));
        for (int i = 0; i < 5; ++i)
            user.Click(Button4);
    });
    const float raised = Value(kNoiseLevel);
    EXPECT_NEAR(raised, noiseBefore + 0.05f, 0.02f);
    Act([&](User& user) {
        for (int i = 0; i < 5; ++i)
            user.Click(Button5);
    });
    EXPECT_NEAR(Value(kNoiseLevel), noiseBefore, 0.02f);
    EXPECT_TRUE(Automated(kNoiseLevel));
}

TEST_F(EditorWindowTest, RightClickTypesAValueIntoTheTextBox) {
    const IRect knob = ProvisionalKnobRect(kAutoBendIntensity);
    const int x = Centre(knob.left, knob.right), y = Centre(knob.top, knob.bottom);
    const IRect box(x - 16, y - 6, x + 16, y + 6); // inside the 40 x 16 box
    bool boxShown = false;
    Act([&](User& user) {
        user.MoveTo(x, y);
        user.Click(Button3);
        Pause(150);
        // Letters are refused, the digits replace the selected text; the box is drawn white.
        for (KeySym key : {XK_e, XK_1, XK_x, XK_7})
            user.Key(key);
        Pause(150);
        int white = 0;
        const auto pixels = Grab(user.display(), window, box);
        for (unsigned long pixel : pixels)
            white += pixel == 0xffffff;
        boxShown = white > int(pixels.size()) / 2;
        user.Key(XK_Return);
    });
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(host.Text(effect, effGetParamDisplay, kAutoBendIntensity), "17");
    float automated = -1.0f;
    EXPECT_TRUE(Automated(kAutoBendIntensity, &automated));
    EXPECT_NEAR(automated, 17.0f / 31.0f, 1e-4f);

    // Escape leaves the value alone; so does a click elsewhere in the editor.
    Act([&](User& user) {
        user.MoveTo(x, y);
        user.Click(Button3);
        Pause(150);
        user.Key(XK_3);
        user.Key(XK_Escape);
        user.MoveTo(x, y);
        user.Click(Button3);
        Pause(150);
        user.Key(XK_4);
        user.MoveTo(10, 10);
        user.Click(Button1);
    });
    EXPECT_EQ(host.Text(effect, effGetParamDisplay, kAutoBendIntensity), "17");
}

TEST_F(EditorWindowTest, RightClickOnAnEnumeratedKnobChoosesFromAMenu) {
    const IRect knob = ProvisionalKnobRect(kAutoBendSelect);
    const int x = Centre(knob.left, knob.right), y = Centre(knob.top, knob.bottom);
    // Items: OFF, OSC1, OSC2, BOTH; choose one the program does not hold.
    const bool holdsOsc2 = host.Text(effect, effGetParamDisplay, kAutoBendSelect) == "OSC2";
    const int item = holdsOsc2 ? 1 : 2;
    bool menuShown = false;
    XWindowAttributes menu = {};
    Act([&](User& user) {
        user.MoveTo(x, y);
        user.Click(Button3);
        menuShown = user.FindPopup(&menu, 2000);
        if (!menuShown) return;
        Pause(100);
        const int itemY = menu.y + kMenuBorder + item * kMenuItemHeight + kMenuItemHeight / 2;
        user.MoveToScreen(menu.x + 30, itemY);
        user.Click(Button1);
    });
    ASSERT_TRUE(menuShown);
    // The menu opens at the knob's left-bottom corner (the test window sits at the origin).
    Window child;
    int kx = 0, ky = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), knob.left, knob.bottom, &kx,
                          &ky, &child);
    EXPECT_EQ(menu.x, kx);
    EXPECT_EQ(menu.y, ky);
    EXPECT_EQ(menu.height, 2 * kMenuBorder + 4 * kMenuItemHeight);
    EXPECT_EQ(host.Text(effect, effGetParamDisplay, kAutoBendSelect), holdsOsc2 ? "OSC1" : "OSC2");
    EXPECT_NEAR(Value(kAutoBendSelect), item / 3.0f, 1e-4f);
    EXPECT_EQ(host.Count(audioMasterBeginEdit), host.Count(audioMasterEndEdit));

    // Escape closes the next menu without a choice; the editor takes clicks again afterwards.
    const std::string octave = host.Text(effect, effGetParamDisplay, kOsc1Octave);
    XWindowAttributes unused;
    bool closed = false;
    Act([&](User& user) {
        const IRect octave = ProvisionalKnobRect(kOsc1Octave);
        user.MoveTo(Centre(octave.left, octave.right), Centre(octave.top, octave.bottom));
        user.Click(Button3);
        if (!user.FindPopup(&unused, 2000)) return;
        Pause(100);
        user.Key(XK_Escape);
        closed = user.PopupsGone(2000);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(host.Text(effect, effGetParamDisplay, kOsc1Octave), octave);
}

// A host that destroys its window before it closes the editor must not lose its process to an
// X error; the editor opens again in a new window afterwards.
TEST_F(EditorWindowTest, HostWindowDestroyedBeforeClose) {
    XDestroyWindow(display, window);
    XSync(display, False);
    Idle(100);
    EXPECT_EQ(host.Call(effect, effEditClose), 1);
    const int screen = DefaultScreen(display);
    window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, unsigned(width),
                                 unsigned(height), 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    EXPECT_EQ(host.Call(effect, effEditOpen, 0, 0,
                        reinterpret_cast<void*>(static_cast<uintptr_t>(window))),
              1);
    Idle(200);
    const IRect knob = ProvisionalKnobRect(kAutoBendTime);
    const auto pixels = Grab(display, window, knob);
    EXPECT_NE(std::count(pixels.begin(), pixels.end(), pixels[0]), long(pixels.size()));
}

// The back end on its own: the drawn dialogs (a desktop without zenity and kdialog), a menu
// with a sub-menu, and the tooltip.
TEST_F(EditorWindowTest, DialogsMenusAndTooltipOfTheBackEnd) {
    const char* savedPath = std::getenv("PATH");
    const std::string path = savedPath ? savedPath : "";
    setenv("PATH", "/nonexistent", 1);
    IGraphicsX11 graphics(nullptr, 200, 100, 25);
    ASSERT_TRUE(graphics.OpenWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(window))));
    std::vector<std::pair<int, int>> dialogSizes;
    auto answer = [&](std::vector<KeySym> keys) {
        return std::thread([this, keys, &dialogSizes] {
            User user(window);
            XWindowAttributes dialog;
            if (user.FindPopup(&dialog, 2000)) {
                dialogSizes.emplace_back(dialog.width, dialog.height);
            } else {
                ADD_FAILURE() << "no dialog"; // the keys below may still close it
            }
            Pause(100); // the dialog grabs the keyboard just after it shows
            for (KeySym key : keys)
                user.Key(key);
        });
    };
    std::thread user = answer({XK_Return});
    EXPECT_EQ(graphics.ShowMessageBox("Replace the bank?", "Question", IGraphics::kMessageYesNo),
              IGraphics::kResultYes);
    user.join();
    user = answer({XK_Escape});
    EXPECT_EQ(graphics.ShowMessageBox("Replace the bank?", "Question", IGraphics::kMessageYesNo),
              IGraphics::kResultNo);
    user.join();
    user = answer({XK_Escape});
    EXPECT_EQ(graphics.ShowMessageBox("Cannot load file!", "Error", IGraphics::kMessageOk),
              IGraphics::kResultOk);
    user.join();
    // The file prompt starts with the proposed path; a typed name gets the default extension.
    std::string chosen;
    user = answer({XK_2, XK_Return});
    EXPECT_TRUE(graphics.AskForFile(true, "fxb", "bank", "/tmp/banks", &chosen));
    user.join();
    EXPECT_EQ(chosen, "/tmp/banks/bank2.fxb");
    user = answer({XK_BackSpace, XK_Escape});
    EXPECT_FALSE(graphics.AskForFile(false, "fxp", "a.fxp", "/tmp", &chosen));
    user.join();
    EXPECT_EQ(chosen, "");
    EXPECT_EQ(dialogSizes.size(), 5u);

    // A menu with a separator, a greyed item and a sub-menu that opens to the right of its
    // item when the pointer rests on it; a click on the greyed item chooses nothing.
    PopupMenuModel menu;
    menu.AddItem("First");
    menu.AddSeparator();
    menu.AddItem("Greyed", PopupMenuModel::kGreyed);
    PopupMenuModel* more = new PopupMenuModel(PopupMenuModel::kNumber2);
    more->AddItem("X");
    more->AddItem("Y");
    menu.AddSubMenu("More", more);
    size_t subMenusSeen = 0;
    bool openAfterGreyedClick = false;
    user = std::thread([&] {
        User person(window);
        XWindowAttributes top;
        if (!person.FindPopup(&top, 2000)) return;
        Pause(100);
        const int greyedY = top.y + kMenuBorder + kMenuItemHeight + kMenuSeparatorHeight + 10;
        const int moreY = greyedY + kMenuItemHeight;
        person.MoveToScreen(top.x + 20, greyedY);
        person.Click(Button1);
        openAfterGreyedClick = person.Popups().size() == 1;
        person.MoveToScreen(top.x + 20, moreY);
        Pause(200);
        const std::vector<XWindowAttributes> popups = person.Popups();
        subMenusSeen = popups.size();
        if (popups.size() != 2) {
            person.Key(XK_Escape);
            return;
        }
        const XWindowAttributes& sub = popups.back();
        EXPECT_GE(sub.x, top.x + top.width - 2);
        person.MoveToScreen(sub.x + 20, sub.y + kMenuBorder + kMenuItemHeight + 10); // "Y"
        person.Click(Button1);
    });
    EXPECT_EQ(graphics.ShowPopupMenu(&menu, IRect(20, 20, 60, 40)), more);
    user.join();
    EXPECT_TRUE(openAfterGreyedClick);
    EXPECT_EQ(subMenusSeen, 2u);
    EXPECT_EQ(more->ChosenIndex(), 1);
    EXPECT_EQ(menu.ChosenIndex(), -1);

    graphics.ShowTooltip(IRect(10, 10, 40, 40), "Cutoff");
    XWindowAttributes tip;
    User user2(window);
    ASSERT_TRUE(user2.FindPopup(&tip, 1000));
    EXPECT_EQ(tip.y, 44);
    graphics.HideTooltip();
    EXPECT_TRUE(user2.PopupsGone(1000));
    graphics.CloseWindow();
    setenv("PATH", path.c_str(), 1);
}

// A headless machine: no display, no editor window, and the instance still plays.
TEST(EditorWithoutDisplay, OpenFailsAndTheInstanceStillPlays) {
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    unsetenv("DISPLAY");
    TestHost host;
    AEffect* effect = host.Create();
    ASSERT_NE(effect, nullptr);
    host.Call(effect, effOpen);
    host.Call(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    host.Call(effect, effSetBlockSize, 0, 512);
    EXPECT_EQ(host.Call(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(1))), 0);
    host.Call(effect, effEditIdle);
    host.Call(effect, effEditClose);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);

    host.Call(effect, effMainsChanged, 0, 1);
    VstMidiEvent note = MidiEvent(0, 0x90, 60, 100);
    host.SendEvents(effect, {reinterpret_cast<VstEvent*>(&note)});
    std::vector<float> left(512), right(512);
    float* outputs[] = {left.data(), right.data()};
    float peak = 0.0f;
    for (int block = 0; block < 20; ++block) {
        effect->processReplacing(effect, nullptr, outputs, 512);
        for (float sample : left)
            peak = std::max(peak, std::fabs(sample));
    }
    EXPECT_GT(peak, 0.01f);
    host.Close(effect);
}

// `qx4470 edit --screenshot` hosts the plug-in's editor in its own window and saves it.
TEST(EditCommand, ScreenshotShowsTheEditor) {
    const std::string out = "edit_screenshot.png";
    std::remove(out.c_str());
    const std::string command = std::string("./" QX_TOOL_FILE " edit ") + TestHost::pluginPath +
                                " --screenshot " + out + " --after 400";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    LICE_MemBitmap shot;
    ASSERT_TRUE(LICE_LoadPNG(out, &shot));
    EXPECT_EQ(shot.getWidth(), provisional_panel::kPanelWidth);
    EXPECT_EQ(shot.getHeight(), provisional_panel::kPanelHeight);
    // The panel, not an empty window: many colours, and knobs where the layout puts them.
    int differing = 0;
    for (int y = 0; y < shot.getHeight(); y += 7)
        for (int x = 0; x < shot.getWidth(); x += 7)
            differing += shot.getPixel(x, y) != shot.getPixel(0, 0);
    EXPECT_GT(differing, 1000);
    const IRect knob = ProvisionalKnobRect(kAutoBendTime);
    EXPECT_NE(shot.getPixel(knob.left + 2, Centre(knob.top, knob.bottom)),
              shot.getPixel(Centre(knob.left, knob.right), Centre(knob.top, knob.bottom)));
}

// The tool hosts other makers' editors too: amsynth's, from Debian, when it is installed.
TEST(EditCommand, ScreenshotShowsAPeerPluginsEditor) {
    const std::string peer = "/usr/lib/vst/amsynth_vst.so";
    if (!std::ifstream(peer)) GTEST_SKIP() << peer << " is not installed";
    const std::string out = "edit_peer_screenshot.png";
    const std::string command =
        std::string("./" QX_TOOL_FILE " edit ") + peer + " --screenshot " + out + " --after 400";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    LICE_MemBitmap shot;
    ASSERT_TRUE(LICE_LoadPNG(out, &shot));
    EXPECT_GT(shot.getWidth(), 100);
    EXPECT_GT(shot.getHeight(), 100);
    int differing = 0;
    for (int y = 0; y < shot.getHeight(); y += 5)
        for (int x = 0; x < shot.getWidth(); x += 5)
            differing += shot.getPixel(x, y) != shot.getPixel(0, 0);
    EXPECT_GT(differing, 100) << "the window shows no editor";
}

} // namespace
