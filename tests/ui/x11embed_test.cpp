// The built UI program embedding itself into a real X11 window, as into a host's editor
// window. Needs an X server: run the suite under one, e.g. `xvfb-run -a ctest -L ui`.
#include "channelfiles.h"
#include "uiprocess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <thread>

// Last: Xlib defines macros (None, Bool, Status) that clash with names in other headers.
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;

struct Size {
    unsigned width;
    unsigned height;
};

// The editor's rectangle at 1x, and the window a host gives it at 1.5x and 2x.
constexpr Size kUiSize{260, 517};
constexpr Size kOneAndAHalf{390, 776};
constexpr Size kDouble{520, 1034};

// Windows come and go while the tree is walked; a query about one that has just gone is
// not a failure.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// Shown, at this size.
bool isShownAtSize(Display* display, Window window, Size size, XWindowAttributes& attributes)
{
    return XGetWindowAttributes(display, window, &attributes) &&
           unsigned(attributes.width) == size.width &&
           unsigned(attributes.height) == size.height && attributes.map_state == IsViewable;
}

// Shown, at this size, in the top left corner of the window it lives in.
bool isShownUiWindow(Display* display, Window window, Size size)
{
    XWindowAttributes attributes{};
    return isShownAtSize(display, window, size, attributes) && attributes.x == 0 &&
           attributes.y == 0;
}

bool hasUiDescendant(Display* display, Window window, Size size = kUiSize)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i)
        found = isShownUiWindow(display, children[i], size) ||
                hasUiDescendant(display, children[i], size);
    if (children) XFree(children);
    return found;
}

bool waitForUiDescendant(Display* display, Window window, bool present,
                         std::chrono::milliseconds timeout, Size size = kUiSize)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (hasUiDescendant(display, window, size) != present) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A top-level window of the UI's size whose title is title.
bool hasTitledTopLevel(Display* display, const char* title)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            XWindowAttributes attributes{};
            found = std::string(name) == title &&
                    isShownAtSize(display, children[i], kUiSize, attributes);
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

bool waitForEditorTopLevel(Display* display, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!hasTitledTopLevel(display, "Pravo lindel")) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class HostWindows : public testing::Test {
protected:
    void SetUp() override
    {
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name)
            GTEST_SKIP() << "DISPLAY is not set: run under an X server (xvfb-run -a ctest -L ui)";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "cannot open display " << name;
        XSetErrorHandler(ignoreXError);
    }
    void TearDown() override
    {
        if (display) XCloseDisplay(display);
    }

    // A mapped top-level window standing for the host's editor window, by default as large as
    // the editor's rectangle at 1x.
    Window makeHostWindow(Size size = kUiSize)
    {
        const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                                  size.width, size.height, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
        return window;
    }

    Display* display = nullptr;
};

} // namespace

TEST_F(HostWindows, UiWindowAppearsInTheHostWindowAndMovesToTheNextOne)
{
    const Window first = makeHostWindow();
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    files.makeSharedBlock();
    files.openEnds();
    UiProcess ui({std::to_string(first), std::to_string(files.instance)}, {"QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(waitForUiDescendant(display, first, true, 5s)) << ui.standardError();

    // The editor opened again in a new window: the same process moves there.
    const Window second = makeHostWindow();
    files.writePlugin(openBytes(second));
    EXPECT_TRUE(waitForUiDescendant(display, second, true, 5s)) << ui.standardError();
    EXPECT_TRUE(waitForUiDescendant(display, first, false, 5s)) << "the old container stayed";

    files.writePlugin(terminateBytes());
    const std::optional<int> status = ui.waitForExit(5s);
    ASSERT_TRUE(status) << ui.standardError();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << ui.standardError();
}

TEST_F(HostWindows, HostDestroyingItsWindowLeavesTheUiWaiting)
{
    const Window first = makeHostWindow();
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    files.makeSharedBlock();
    files.openEnds();
    UiProcess ui({std::to_string(first), std::to_string(files.instance)}, {"QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(waitForUiDescendant(display, first, true, 5s)) << ui.standardError();

    XDestroyWindow(display, first);
    XSync(display, False);
    std::this_thread::sleep_for(500ms);
    ASSERT_FALSE(ui.waitForExit(0ms)) << ui.standardError();

    const Window second = makeHostWindow();
    files.writePlugin(openBytes(second));
    EXPECT_TRUE(waitForUiDescendant(display, second, true, 5s)) << ui.standardError();
    files.writePlugin(terminateBytes());
    const std::optional<int> status = ui.waitForExit(5s);
    ASSERT_TRUE(status) << ui.standardError();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << ui.standardError();
}

TEST_F(HostWindows, ContainerTakesTheHostWindowsSizeAndFollowsItWhenTheHostResizesIt)
{
    const Window host = makeHostWindow(kOneAndAHalf);
    UiProcess ui({std::to_string(host)}, {"QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(waitForUiDescendant(display, host, true, 5s, kOneAndAHalf)) << ui.standardError();

    XResizeWindow(display, host, kDouble.width, kDouble.height);
    XSync(display, False);
    EXPECT_TRUE(waitForUiDescendant(display, host, true, 5s, kDouble)) << ui.standardError();
}

// Qt's own scaling stays off however the UI is started: its window keeps the size it asks for.
class ScalingEnvironment : public HostWindows,
                           public testing::WithParamInterface<const char*> {};

TEST_P(ScalingEnvironment, LeavesTheTopLevelWindowAt260x517)
{
    UiProcess ui({}, {"QT_QPA_PLATFORM=xcb", GetParam()});
    EXPECT_TRUE(waitForEditorTopLevel(display, 5s)) << ui.standardError();
}

INSTANTIATE_TEST_SUITE_P(HostWindows, ScalingEnvironment,
                         testing::Values("QT_SCALE_FACTOR=2", "QT_SCREEN_SCALE_FACTORS=2",
                                         "QT_ENABLE_HIGHDPI_SCALING=1"));

TEST_F(HostWindows, WithoutArgumentsTheUiIsATopLevelWindowTitledPravoLindel)
{
    UiProcess ui({}, {"QT_QPA_PLATFORM=xcb"});
    EXPECT_TRUE(waitForEditorTopLevel(display, 5s)) << ui.standardError();
}
