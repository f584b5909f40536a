#include "editoronscreen.h"

#include "heldinstances.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

using namespace std::chrono_literals;

namespace musician {

EditorOnScreen::EditorOnScreen(int x, int y)
    : plugin(std::make_unique<hostcore::LoadedPlugin>(PL3_PLUGIN_PATH, host)),
      window(std::make_unique<editorrig::HostWindow>(layout::kEditorWidth, layout::kEditorHeight, x,
                                                     y)),
      x_(x), y_(y)
{
    // Instance numbers only grow within a process: the newest engine holds the largest.
    const auto held = heldInstances();
    instance_ = held.empty() ? -1 : held.back();
    plugin->startSession(44100.0, 512);
    if (!open()) throw std::runtime_error("the editor did not show within 5 s");
}

EditorOnScreen::~EditorOnScreen()
{
    plugin->close();
    if (block_) munmap(const_cast<SharedBlock*>(block_), sharedBlockSize);
}

bool EditorOnScreen::open()
{
    plugin->editorOpen(window->id());
    std::optional<std::pair<int, int>> position;
    const bool shows = editorrig::waitFor(
        [&] {
            position = window->screenPositionOf(layout::kEditorWidth, layout::kEditorHeight);
            return position.has_value();
        },
        5s);
    if (!shows) return false;
    x_ = position->first;
    y_ = position->second;
    settledShot(layout::strips());
    return true;
}

// Hosts destroy their editor window when they close the editor; the UI's window goes with it.
void EditorOnScreen::close()
{
    plugin->editorClose();
    window.reset();
}

bool EditorOnScreen::reopen()
{
    window = std::make_unique<editorrig::HostWindow>(layout::kEditorWidth, layout::kEditorHeight,
                                                     x_, y_);
    return open();
}

layout::Point EditorOnScreen::onScreen(layout::Point point) const
{
    return {x_ + point.x, y_ + point.y};
}

Rect EditorOnScreen::onScreen(Rect area) const
{
    return {x_ + area.x, y_ + area.y, area.width, area.height};
}

Shot EditorOnScreen::settledShot(Rect area) const
{
    return settledShotOf(onScreen(area));
}

const SharedBlock& EditorOnScreen::block()
{
    if (!block_) {
        const int fd = shm_open(sharedBlockName(instance_).c_str(), O_RDONLY, 0);
        void* mapping =
            fd < 0 ? MAP_FAILED : mmap(nullptr, sharedBlockSize, PROT_READ, MAP_SHARED, fd, 0);
        if (fd >= 0) ::close(fd);
        if (mapping == MAP_FAILED) throw std::runtime_error("the shared block cannot be read");
        block_ = static_cast<const SharedBlock*>(mapping);
    }
    return *block_;
}

} // namespace musician
