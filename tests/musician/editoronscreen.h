// An engine whose editor is open in a host window at a known place on the screen, for the
// tests that play it with the real pointer.
#pragma once

#include "editorlayout.h"
#include "editorrig.h"
#include "loadedplugin.h"
#include "screenshot.h"
#include "sharedblock.h"

#include <memory>
#include <string>

namespace musician {

class EditorOnScreen {
public:
    // The host window's top-left corner at (x, y), low enough for a knob near the top to be
    // dragged upwards; returns once the editor shows, painted.
    explicit EditorOnScreen(int x = 100, int y = 200);
    ~EditorOnScreen();
    EditorOnScreen(const EditorOnScreen&) = delete;
    EditorOnScreen& operator=(const EditorOnScreen&) = delete;

    hostcore::Host host;
    std::unique_ptr<hostcore::LoadedPlugin> plugin;
    std::unique_ptr<editorrig::HostWindow> window;

    // Opens the editor in the host window and waits until it shows and its pixels settle;
    // false if it did not within 5 s.
    bool open();
    // Closes the editor and destroys the host window, as hosts do.
    void close();
    // Opens the editor again in a new host window where the last one was.
    bool reopen();

    layout::Point onScreen(layout::Point point) const;
    Rect onScreen(Rect area) const;
    Shot shot(Rect area) const { return Shot::ofScreen(onScreen(area)); }
    // Waits until two shots 150 ms apart agree, and returns the last.
    Shot settledShot(Rect area) const;

    // The engine's shared block, as the UI maps it.
    const SharedBlock& block();

private:
    int x_; // the editor's top-left corner on the screen
    int y_;
    int32_t instance_ = -1;
    const SharedBlock* block_ = nullptr;
};

} // namespace musician
